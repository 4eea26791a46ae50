#include "WeekScheduleEditor.h"

#include "WeekGridWidget.h"
#include "app/platform/Clock.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QLabel* textLabel(const QString& text, int size, QFont::Weight weight, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setFont(BrandFonts::font(size, weight));
    return label;
}

void paintLabel(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

constexpr int workingHour = 7;

} // namespace

// ---- ToggleSwitch ----

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent)
{
    // Pressed through assistive technology, it saves as a click does.
    BrandAccessibility::setButtonRole(this, QAccessible::CheckBox);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        m_position = on ? 1 : 0;
        update();
    });
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QSize ToggleSwitch::sizeHint() const
{
    return { 38, 22 };
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double on = isChecked() ? 1.0 : 0.0;
    painter.fillPath(BrandShapes::capsule(track),
        on > 0 ? BrandTokens::accent() : BrandTokens::mix(palette.paper, palette.ink, 0.18));
    const double knob = track.height() - 4;
    const QRectF knobRect(track.left() + 2 + (track.width() - knob - 4) * on, track.top() + 2, knob, knob);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0, 0, 0, 30), 0.5));
    painter.drawEllipse(knobRect);
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette.focusRing, 1.5));
        painter.drawPath(BrandShapes::capsule(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75)));
    }
}

// ---- WeekDayHeader ----

WeekDayHeader::WeekDayHeader(Clock& clock, QWidget* parent) : QWidget(parent), m_clock(clock)
{
    // The painted day names only label the columns; each block of the grid
    // is read with its day.
    BrandAccessibility::setDecorative(this);
    setAccessibleName(u"Dias da semana"_s);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void WeekDayHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const double columnWidth = std::max(0.0, (width() - WeekGrid::gutter - 6 * WeekGrid::gap) / 7);
    // Sunday first: the grid's order, not the Monday-first one of summaries.
    const int today = m_clock.now().toLocalTime().date().dayOfWeek() % 7;
    for (int column = 0; column < 7; ++column) {
        const int day = WeekSchedule::gridOrder[size_t(column)];
        const QRectF cell(WeekGrid::gutter + (columnWidth + WeekGrid::gap) * column, 0, columnWidth, height());
        const bool isToday = day == today;
        painter.setFont(BrandFonts::font(11, isToday ? QFont::Bold : QFont::DemiBold));
        if (isToday) {
            const QString text = WeekSchedule::dayShort().value(day);
            const double w = painter.fontMetrics().horizontalAdvance(text) + 14;
            const QRectF pill(cell.center().x() - w / 2, cell.center().y() - 9, w, 18);
            painter.fillPath(BrandShapes::capsule(pill), BrandTokens::accent());
            painter.setPen(BrandTokens::onAccent());
        } else {
            painter.setPen(palette.mutedInk);
        }
        painter.drawText(cell, Qt::AlignCenter, WeekSchedule::dayShort().value(day));
    }
}

// ---- WeekScheduleEditor ----

WeekScheduleEditor::Services WeekScheduleEditor::Services::shared()
{
    return { ConfigurationManager::shared(), BlockingService::shared(), &ScheduleManager::shared(), Scheduler::system(),
        Clock::system(), &DesktopAccountService::shared() };
}

WeekScheduleEditor::WeekScheduleEditor(Services services, bool embedded, QWidget* parent)
    : QWidget(parent), m_embedded(embedded)
{
    m_model = new WeekEditorModel(services.config, services.blocking, services.schedule, services.scheduler, this);
    if (DesktopAccountService* account = services.account) {
        m_model->onLocalEdit = [account] { account->localEditChanged(); };
        const auto followAccount = [this, account] {
            const auto& snapshot = account->snapshot();
            const AccountSaveState& save = account->saveState();
            m_model->setAccount(
                { account->session() && snapshot && snapshot->settings.onboarded, save.state, save.message });
        };
        connect(account, &DesktopAccountService::snapshotChanged, this, followAccount);
        connect(account, &DesktopAccountService::stateChanged, this, followAccount);
        followAccount();
    }
    m_grid = new WeekGridWidget(*m_model);
    m_header = new WeekDayHeader(services.clock);
    const BrandPalette& palette = BrandPalette::current();
    {
        QPalette ink = this->palette();
        ink.setColor(QPalette::WindowText, palette.ink);
        setPalette(ink);
    }

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    auto* hint = textLabel(
        u"Arraste para criar · ↑↓ move 30 min · ←→ troca o dia · Delete apaga · Esc solta"_s, 11, QFont::Normal, this);
    paintLabel(hint, palette.mutedInk);

    m_undoToast = new QWidget(this);
    {
        auto* row = new QHBoxLayout(m_undoToast);
        row->setContentsMargins(0, 0, 0, 0);
        auto* removed = textLabel(u"Bloco removido."_s, 12, QFont::Medium, m_undoToast);
        auto* undo = new BrandButton(u"Desfazer"_s, false, m_undoToast);
        undo->setAccessibleName(u"Desfazer remoção do bloco"_s);
        connect(undo, &QAbstractButton::clicked, m_model, &WeekEditorModel::undoDelete);
        row->addWidget(removed);
        row->addWidget(undo);
        row->addStretch();
        m_undoToast->hide();
    }
    connect(m_model, &WeekEditorModel::undoChanged, this,
        [this] { m_undoToast->setVisible(m_model->undoable().has_value()); });

    if (embedded) {
        column->setSpacing(8);
        m_grid->setFirstHour(6);
        m_grid->setHourHeight(m_fittedHour);
        column->addWidget(m_header);
        column->addWidget(m_grid, 1);
        column->addWidget(m_undoToast);
        column->addWidget(hint);
    } else {
        column->setSpacing(12);
        auto* headerRow = new QHBoxLayout;
        auto* titles = new QVBoxLayout;
        titles->setSpacing(2);
        auto* title = textLabel(u"Horários automáticos"_s, 17, QFont::Bold, this);
        auto* subtitle = textLabel(u"Escolha quando os bloqueios começam sozinhos."_s, 12, QFont::Normal, this);
        paintLabel(subtitle, palette.mutedInk);
        titles->addWidget(title);
        titles->addWidget(subtitle);
        headerRow->addLayout(titles, 1);
        m_switch = new ToggleSwitch(this);
        m_switch->setAccessibleName(u"Horários automáticos"_s);
        m_switch->setChecked(m_model->enabled());
        connect(m_switch, &QAbstractButton::clicked, this, [this](bool on) { m_model->setEnabled(on); });
        headerRow->addWidget(m_switch, 0, Qt::AlignVCenter);
        column->addLayout(headerRow);

        auto* statusRow = new QHBoxLayout;
        m_status = textLabel({}, 12, QFont::DemiBold, this);
        // The text is what is read; what the line is about goes to the description.
        m_status->setAccessibleDescription(u"Estado do salvamento"_s);
        m_notice = textLabel({}, 12, QFont::Normal, this);
        m_notice->setAccessibleDescription(u"Aviso"_s);
        m_notice->setMinimumWidth(0);
        m_notice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        paintLabel(m_notice, palette.mutedInk);
        // An empty line leaves the tree (a reader would stop on a blank) but
        // keeps its room, so the grid does not jump when a status appears.
        for (QLabel* line : { m_status, m_notice }) {
            QSizePolicy policy = line->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            line->setSizePolicy(policy);
        }
        statusRow->addWidget(m_status);
        statusRow->addWidget(m_notice, 1);
        column->addLayout(statusRow);

        m_grid->setFirstHour(0);
        m_grid->setHourHeight(28);
        auto* body = new QWidget;
        auto* bodyColumn = new QVBoxLayout(body);
        bodyColumn->setContentsMargins(0, 0, 8, 0);
        bodyColumn->setSpacing(4);
        bodyColumn->addWidget(m_grid);
        // The day names stay in view while the hours scroll beneath them.
        auto* dayRow = new QHBoxLayout;
        dayRow->setContentsMargins(0, 0, 8 + style()->pixelMetric(QStyle::PM_ScrollBarExtent), 0);
        dayRow->addWidget(m_header);
        column->addLayout(dayRow);
        m_scroll = new QScrollArea(this);
        // The grid inside takes the keys; the area itself is no tab stop.
        m_scroll->setFocusPolicy(Qt::NoFocus);
        m_scroll->setFrameShape(QFrame::NoFrame);
        m_scroll->setWidgetResizable(true);
        m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setWidget(body);
        m_scroll->setAccessibleName(u"Grade da semana"_s);
        m_scroll->viewport()->setAutoFillBackground(false);
        body->setAutoFillBackground(false);
        column->addWidget(m_scroll, 1);
        column->addWidget(m_undoToast);
        column->addWidget(hint);
    }

    connect(m_model, &WeekEditorModel::statusChanged, this, &WeekScheduleEditor::refreshStatus);
    connect(m_model, &WeekEditorModel::changed, this, &WeekScheduleEditor::refreshEnabled);
    connect(m_model, &WeekEditorModel::activeChanged, this, [this](bool active) {
        if (onActiveChange) {
            onActiveChange(active);
        }
    });
    refreshStatus();
    refreshEnabled();
}

void WeekScheduleEditor::refreshStatus()
{
    if (m_status) {
        m_status->setText(m_model->statusText());
        m_status->setVisible(!m_status->text().isEmpty());
        m_notice->setText(m_model->notice());
        m_notice->setToolTip(m_model->notice());
        m_notice->setVisible(!m_notice->text().isEmpty());
    }
}

void WeekScheduleEditor::refreshEnabled()
{
    const bool enabled = m_model->enabled();
    if (m_switch && m_switch->isChecked() != enabled) {
        m_switch->setChecked(enabled);
    }
    if (!m_embedded) {
        m_grid->setFaded(!enabled);
    }
}

QString WeekScheduleEditor::statusText() const
{
    return m_model->statusText();
}

QString WeekScheduleEditor::notice() const
{
    return m_model->notice();
}

void WeekScheduleEditor::setPresetPulse(std::optional<int> tick)
{
    m_grid->setPresetPulse(tick);
}

void WeekScheduleEditor::fit(double height)
{
    const int hour = WeekGrid::fit(height, m_embedded);
    if (hour == m_fittedHour) {
        return;
    }
    m_fittedHour = hour;
    if (m_embedded) {
        m_grid->setHourHeight(hour);
    }
}

void WeekScheduleEditor::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_embedded) {
        fit(height());
    }
}

void WeekScheduleEditor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_scroll && !m_scrolled) {
        m_scrolled = true;
        // Open on the working day rather than on midnight.
        m_scroll->verticalScrollBar()->setValue(int(workingHour * m_grid->hourHeight()));
    }
}

} // namespace kestravin
