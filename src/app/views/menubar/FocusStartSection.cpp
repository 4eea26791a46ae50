#include "FocusStartSection.h"

#include "MenuBarPalette.h"
#include "MenuControls.h"

#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/LinkPressStyle.h"
#include "app/views/brand/PlainLabel.h"
#include "app/views/brand/RollingText.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QLabel* mutedLine(const QString& text, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setFont(BrandFonts::font(11));
    label->setWordWrap(true);
    label->setProperty("muted", true);
    return label;
}

} // namespace

MinutesDisplay::MinutesDisplay(QWidget* parent)
    : QAbstractButton(parent), m_text(new RollingText(QString(), this)), m_press(new LinkPressStyle(this))
{
    m_text->setFont(BrandFonts::font(15, QFont::DemiBold, BrandFonts::Design::Rounded));
    m_text->setAttribute(Qt::WA_TransparentForMouseEvents);
    setToolTip(u"Clique para digitar: 90, 1h30, 4h…"_s);
    setCursor(Qt::IBeamCursor);
    setFixedHeight(30);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void MinutesDisplay::resizeEvent(QResizeEvent*)
{
    m_text->setGeometry(rect());
}

void MinutesDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect().center());
    painter.scale(m_press->scale(), m_press->scale());
    painter.translate(-rect().center());
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrandTokens::sunk(Appearance::shared().colorScheme()));
    painter.drawPath(BrandShapes::continuousRect(QRectF(rect()), 8));
}

FocusStartSection::FocusStartSection(FocusStartModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_enter(new BrandTween(1.0, this))
{
    connect(m_enter, &BrandTween::valueChanged, this, [this](double value) {
        if (!m_entering) {
            return;
        }
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_entering->graphicsEffect())) {
            effect->setOpacity(value);
        }
        m_entering->move(qRound((1.0 - value) * m_enterOffset), 0);
        if (value >= 1.0) {
            m_entering->setGraphicsEffect(nullptr);
            m_entering = nullptr;
        }
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* title = plainLabel(u"Começar um foco agora"_s, this);
    title->setFont(BrandFonts::font(12, QFont::DemiBold));
    layout->addWidget(title);

    m_soon = mutedLine(u"Seu próximo foco começa em instantes."_s, this);
    layout->addWidget(m_soon);

    m_body = new QWidget(this);
    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(10);
    layout->addWidget(m_body);

    m_durationRow = new QStackedWidget(m_body);
    m_durationRow->setFixedHeight(30);
    body->addWidget(m_durationRow);

    m_chipsHolder = new QWidget(m_durationRow);
    auto* chipsLayout = new QHBoxLayout(m_chipsHolder);
    chipsLayout->setContentsMargins(0, 0, 0, 0);
    m_durationRow->addWidget(m_chipsHolder);

    m_customRow = new QWidget(m_durationRow);
    auto* custom = new QHBoxLayout(m_customRow);
    custom->setContentsMargins(0, 0, 0, 0);
    custom->setSpacing(6);
    m_back = new StepButton(u"chevron.left"_s, u"Voltar às durações"_s, m_customRow);
    m_minus = new StepButton(u"minus"_s, u"Menos 5 minutos"_s, m_customRow);
    m_plus = new StepButton(u"plus"_s, u"Mais 5 minutos"_s, m_customRow);
    m_display = new MinutesDisplay(m_customRow);
    m_field = new QLineEdit(m_customRow);
    m_field->setPlaceholderText(u"Ex.: 1h30"_s);
    m_field->setAccessibleName(u"Duração do foco"_s);
    m_field->setAlignment(Qt::AlignCenter);
    m_field->setFont(BrandFonts::font(15, QFont::DemiBold, BrandFonts::Design::Rounded));
    m_field->setFixedHeight(30);
    m_field->setFrame(false);
    m_field->installEventFilter(this);
    m_field->hide();
    custom->addWidget(m_back);
    custom->addWidget(m_minus);
    custom->addWidget(m_display, 1);
    custom->addWidget(m_field, 1);
    custom->addWidget(m_plus);
    m_durationRow->addWidget(m_customRow);

    m_start = new RowButton(true, m_body);
    m_startPrefix = plainLabel(u"Começar foco de "_s, m_start);
    m_startDuration = new RollingText(QString(), m_start);
    for (QWidget* part : { static_cast<QWidget*>(m_startPrefix), static_cast<QWidget*>(m_startDuration) }) {
        part->setFont(BrandFonts::font(13, QFont::DemiBold));
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    auto* arrow = new BrandMotionIcon(u"arrow.right"_s, BrandIconMotion::Forward, m_start);
    arrow->setFont(BrandFonts::font(11));
    m_start->row()->addWidget(m_startPrefix);
    m_start->row()->addWidget(m_startDuration);
    m_start->row()->addStretch(1);
    m_start->row()->addWidget(arrow);
    body->addWidget(m_start);

    m_error = mutedLine(QString(), m_body);
    body->addWidget(m_error);
    m_hint = mutedLine(QString(), m_body);
    body->addWidget(m_hint);

    connect(m_back, &QAbstractButton::clicked, this, [this] {
        m_model.stepBack();
        changed();
    });
    connect(m_minus, &QAbstractButton::clicked, this, [this] {
        m_model.stepMinus();
        changed();
    });
    connect(m_plus, &QAbstractButton::clicked, this, [this] {
        m_model.stepPlus();
        changed();
    });
    connect(m_display, &QAbstractButton::clicked, this, [this] {
        m_model.startTyping();
        m_field->setText(m_model.minutesText);
        changed();
        // The field exists and is shown only after this turn of the event loop.
        QTimer::singleShot(0, m_field, [field = m_field] {
            field->setFocus(Qt::MouseFocusReason);
            field->selectAll();
        });
    });
    connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) { m_model.minutesText = text; });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { commitTyping(); });
    connect(m_start, &QAbstractButton::clicked, this, [this] {
        m_model.minutesText = m_model.typingMinutes ? m_field->text() : m_model.minutesText;
        if (m_probe) {
            m_model.minutesUntilNextSchedule = m_probe();
        }
        const int minutes = m_model.minutesToStart();
        changed();
        Q_EMIT startRequested(minutes);
    });
    connect(&Appearance::shared(), &Appearance::changed, this, &FocusStartSection::applyColors);
    applyColors();
}

FocusStartSection::~FocusStartSection() = default;

ChoiceChips* FocusStartSection::chips() const
{
    return m_chips ? m_chips->row() : nullptr;
}

void FocusStartSection::commitTyping()
{
    if (!m_model.typingMinutes) {
        return;
    }
    m_model.minutesText = m_field->text();
    m_model.commitMinutes();
    changed();
}

bool FocusStartSection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
            && m_model.typingMinutes) {
            // The typed text is dropped.
            m_model.cancelTyping();
            changed();
            return true;
        }
        if (event->type() == QEvent::FocusOut) {
            commitTyping();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusStartSection::changed()
{
    refresh(m_focusError);
    Q_EMIT edited();
}

void FocusStartSection::rebuildChips(const QList<int>& options)
{
    if (m_chips && options == m_chipOptions) {
        m_chips->select(m_model.durationChoice());
        return;
    }
    m_chipOptions = options;
    if (m_chips) {
        delete m_chips->row();
        m_chips.reset();
    }
    std::vector<int> values(options.begin(), options.end());
    values.push_back(FocusStartModel::customChoice);
    m_chips = std::make_unique<ChoiceBinding<ChoiceChips, int>>(
        values, m_model.durationChoice(),
        [](const int& value) {
            return value == FocusStartModel::customChoice ? u"Outro"_s : FocusStartModel::durationLabel(value);
        },
        [this](const int& value) {
            m_model.chooseDuration(value);
            changed();
        },
        m_chipsHolder);
    m_chipsHolder->layout()->addWidget(m_chips->row());
}

void FocusStartSection::refresh(const std::optional<QString>& focusError)
{
    m_focusError = focusError;
    if (m_probe) {
        m_model.minutesUntilNextSchedule = m_probe();
    }
    const QList<int> options = m_model.durationOptions();
    const bool soon = options.isEmpty();
    m_soon->setVisible(soon);
    m_body->setVisible(!soon);
    if (soon) {
        return;
    }

    // Leaving the custom row ends typing without taking the text.
    if (!m_model.showingCustomDuration) {
        m_model.typingMinutes = false;
    }
    rebuildChips(options);
    QWidget* row = m_model.showingCustomDuration ? m_customRow : m_chipsHolder;
    m_durationRow->setCurrentWidget(row);
    if (m_shownCustom && *m_shownCustom != m_model.showingCustomDuration) {
        // The presets come in from the left, the custom row from the right.
        enterRow(row, m_model.showingCustomDuration ? 10.0 : -10.0);
    }
    m_shownCustom = m_model.showingCustomDuration;

    const QString chosen = FocusStartModel::durationLabel(m_model.chosenMinutes());
    m_minus->setEnabled(!m_model.minusDisabled());
    m_plus->setEnabled(!m_model.plusDisabled());
    m_display->setVisible(!m_model.typingMinutes);
    m_field->setVisible(m_model.typingMinutes);
    m_display->text()->setText(chosen, m_model.stepDirection);
    m_display->setAccessibleName(u"Duração: "_s + chosen + u". Clique para digitar."_s);
    if (m_model.typingMinutes && m_field->text() != m_model.minutesText) {
        m_field->setText(m_model.minutesText);
    }

    m_startDuration->setText(chosen, m_model.stepDirection);
    m_start->setAccessibleName(u"Começar foco de "_s + chosen);

    m_error->setVisible(focusError.has_value());
    m_error->setText(focusError.value_or(QString()));
    const auto hint = m_model.hintText();
    m_hint->setVisible(hint.has_value());
    m_hint->setText(hint.value_or(QString()));
}

void FocusStartSection::enterRow(QWidget* row, double fromOffset)
{
    if (m_entering && m_entering != row) {
        m_entering->setGraphicsEffect(nullptr);
        m_entering->move(0, 0);
    }
    const bool reduceMotion = Appearance::shared().reduceMotion();
    m_entering = row;
    m_enterOffset = reduceMotion ? 0.0 : fromOffset;
    auto* effect = new QGraphicsOpacityEffect(row);
    effect->setOpacity(0.0);
    row->setGraphicsEffect(effect);
    m_enter->jumpTo(0.0);
    const BrandAnimation& easeOut = BrandTokens::easeOut();
    m_enter->animateTo(1.0, easeOut.curve, easeOut.durationMs);
}

void FocusStartSection::applyColors()
{
    const auto palette = MenuBarPalette::current();
    const QColor onButton = m_start->labelColor();
    m_startPrefix->setStyleSheet(u"QLabel { color: %1; }"_s.arg(onButton.name()));
    QPalette colors = m_startDuration->palette();
    colors.setColor(QPalette::WindowText, onButton);
    m_startDuration->setPalette(colors);
    QPalette displayColors = m_display->text()->palette();
    displayColors.setColor(QPalette::WindowText, palette.ink);
    m_display->text()->setPalette(displayColors);
    QColor border = BrandTokens::accent();
    border.setAlphaF(0.8f);
    m_field->setStyleSheet(u"QLineEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 8px; }"_s.arg(
        palette.fieldSurface.name(), palette.ink.name(), border.name(QColor::HexArgb)));
}

} // namespace kestravin
