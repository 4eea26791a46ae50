#include "app/views/assistant/DesktopAIView.h"

#include "app/models/BrowserBridgePolicy.h"
#include "app/models/OrlaConversation.h"
#include "app/models/SiteGrantPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ScreenReader.h"
#include "app/views/assistant/AssistantPort.h"
#include "app/views/assistant/CountdownDigits.h"
#include "app/views/assistant/OrlaGlow.h"
#include "app/views/assistant/SceneTransition.h"
#include "app/views/assistant/SiteSelect.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/KeyDownMonitor.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

using AssistantScenes::Action;
using AssistantScenes::Stage;

// How a text of the window is coloured; applied again when the scheme changes.
enum class Tone { ink, muted, accent };
constexpr const char* toneProperty = "kestravinAssistantTone";

QColor inkColor(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? QColor(0xFA, 0xF7, 0xF1) : QColor(0x2C, 0x29, 0x25);
}

QColor mutedColor(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? QColor(0xBD, 0xB6, 0xAC) : QColor(0x71, 0x6B, 0x63);
}

void setTone(QWidget* widget, Tone tone)
{
    widget->setProperty(toneProperty, static_cast<int>(tone));
}

// Every text from outside (the assistant's answer, the account's message) is
// shown as plain text.
QLabel* textLabel(const QString& text, int size, QFont::Weight weight, Tone tone, QWidget* parent,
    BrandFonts::Design design = BrandFonts::Design::Default)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(BrandFonts::font(size, weight, design));
    label->setWordWrap(true);
    setTone(label, tone);
    return label;
}

// A symbol beside a text, for the hint and the link's problem.
class SymbolMark : public QWidget {
public:
    SymbolMark(QString symbol, int size, bool accent, QWidget* parent)
        : QWidget(parent), m_symbol(std::move(symbol)), m_size(size), m_accent(accent)
    {
        BrandAccessibility::setDecorative(this);
        setFixedSize(size + 2, size + 2);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = m_accent ? BrandTokens::accent() : mutedColor(BrandPalette::schemeOf(this));
        BrandMotionIcon::paintSymbol(painter, m_symbol, QRectF(1, 1, m_size, m_size), color, {});
    }

private:
    QString m_symbol;
    int m_size;
    bool m_accent;
};

// The notice card of the gate: a rounded rectangle on the sunk surface.
class NoticeCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(BrandTokens::sunk(BrandPalette::schemeOf(this)));
        painter.drawPath(BrandShapes::continuousRect(QRectF(rect()), 16));
    }
};

// A line that changes while the person types (the link's problem, the reply's
// length warning). Readers on this desktop have no way to watch an element for
// changes, so the line tells them: its accessible name follows its text and
// each change sends one name-change event, at most one a second, the last text
// always delivered once the second is over.
class SpokenLine : public QObject {
public:
    static constexpr std::chrono::milliseconds pace { 1000 };

    explicit SpokenLine(QLabel* label) : QObject(label), m_label(label)
    {
        m_wait.setSingleShot(true);
        m_wait.setInterval(pace);
        connect(&m_wait, &QTimer::timeout, this, [this] {
            if (m_pending) {
                speak();
            }
        });
    }

    void setText(const QString& text)
    {
        if (text == m_label->text()) {
            return;
        }
        m_label->setText(text);
        if (m_wait.isActive()) {
            m_pending = true;
        } else {
            speak();
        }
    }

private:
    void speak()
    {
        m_pending = false;
        // A space keeps the name set while the line is empty, so that the
        // label's own text changes never reach the reader unpaced.
        const QString name = m_label->text().isEmpty() ? u" "_s : m_label->text();
        if (m_label->accessibleName() != name) {
            m_label->setAccessibleName(name);
        }
        m_wait.start();
    }

    QLabel* m_label;
    QTimer m_wait;
    bool m_pending = false;
};

std::function<void(const QString&)> spokenLine(QLabel* label)
{
    label->setAccessibleName(u" "_s);
    auto* line = new SpokenLine(label);
    return [line](const QString& text) { line->setText(text); };
}

// Takes a widget out of its layout and deletes it once the event that may be
// running inside it (a click on it) has ended.
void retire(QWidget* widget)
{
    if (widget) {
        widget->hide();
        if (QWidget* parent = widget->parentWidget(); parent && parent->layout()) {
            parent->layout()->removeWidget(widget);
        }
        widget->setParent(nullptr);
        widget->deleteLater();
    }
}

QWidget* centred(QWidget* widget, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    layout->addWidget(widget);
    layout->addStretch();
    return row;
}

} // namespace

DesktopAIView::DesktopAIView(Services services, QWidget* parent) : QWidget(parent), m_services(std::move(services))
{
    Q_ASSERT(
        m_services.port && m_services.clock && m_services.scheduler && m_services.screenReader && m_services.icons);
    m_pages = new QStackedLayout(this);
    m_pages->setContentsMargins(0, 0, 0, 0);
    m_gatePage = makeGate();
    m_formPage = makeForm();
    m_evaluatingPage = makeEvaluating();
    m_answerPage = makeAnswer();
    for (QWidget* page : { m_gatePage, m_formPage, m_evaluatingPage, m_answerPage }) {
        m_pages->addWidget(page);
    }
    m_transition = new SceneTransition(this);

    AssistantPort* port = m_services.port;
    connect(port, &AssistantPort::changed, this, &DesktopAIView::refresh);
    connect(port, &AssistantPort::selectedPlatformPublished, this, [this](const QString& platform) {
        if (stage() == Stage::form) {
            adopt(platform);
            refresh();
        }
    });
    connect(port, &AssistantPort::prefilledURLPublished, this, [this](const QString& link) {
        if (stage() == Stage::form) {
            usePrefilledLink(link);
            refresh();
        }
    });
    connect(m_services.screenReader, &ScreenReader::runningChanged, this, &DesktopAIView::refresh);
    connect(&Appearance::shared(), &Appearance::changed, this, &DesktopAIView::applyColors);

    m_keys = onKeyDown(this, false, [this](QKeyEvent* event) { return handleKey(event); });
    refresh();
    applyColors();
}

DesktopAIView::~DesktopAIView() = default;

// MARK: derived values

Stage DesktopAIView::stage() const
{
    return AssistantScenes::stage(m_services.port->busy(), m_services.port->message());
}

bool DesktopAIView::focusActive() const
{
    const AssistantPort& port = *m_services.port;
    return AssistantScenes::focusActive(
        { port.isBlocking(), port.bridgeEnabled(), port.bridgeFocus(), port.accountFocus() });
}

bool DesktopAIView::gateShown() const
{
    return !m_services.port->hasSession() || !focusActive();
}

bool DesktopAIView::closesItself() const
{
    const AssistantPort& port = *m_services.port;
    return AssistantScenes::closesItself(
        m_services.screenReader->isRunning(), m_target && m_target->link, port.bridgeEnabled(), port.bridgeConnected());
}

QStringList DesktopAIView::roots() const
{
    return SiteGrantPolicy::roots(m_services.port->blockedSites());
}

QStringList DesktopAIView::kinds() const
{
    return AssistantForm::kinds(linkRoute().offered(), roots());
}

QString DesktopAIView::kind() const
{
    return AssistantForm::shownKind(kinds(), m_currentKind);
}

QString DesktopAIView::currentSite() const
{
    return AssistantForm::currentSite(roots(), m_siteChoice);
}

void DesktopAIView::setKind(const QString& kind)
{
    m_currentKind = kind;
    m_services.port->setSelectedPlatform(AssistantForm::platformOf(kind, currentSite()));
    refresh();
}

AssistantForm::LinkRoute DesktopAIView::linkRoute() const
{
    const AssistantPort& port = *m_services.port;
    return { port.bridgeEnabled(), port.bridgeConnected(), port.helperReady(), port.hasSession() };
}

AssistantForm::Fields DesktopAIView::fields() const
{
    return { kind(), m_url, m_minutes, m_reason, currentSite() };
}

bool DesktopAIView::canSend() const
{
    return AssistantForm::canSend(fields(), linkRoute(), m_services.port->busy());
}

AssistantForm::ReplyLimits DesktopAIView::replyLimits() const
{
    const QString original = m_target ? m_target->original : m_reason;
    const QString question = m_services.port->message();
    return AssistantForm::replyLimits(
        [&](const QString& answer) {
            QList<AssistantForm::Turn> turns = m_thread;
            turns.append({ question, answer });
            return OrlaConversation::reason(original, turns);
        },
        m_reply);
}

bool DesktopAIView::canReply() const
{
    return AssistantForm::canReply(m_reply, replyLimits(), m_services.port->busy(), m_target.has_value());
}

AssistantScenes::Answer DesktopAIView::answer() const
{
    const AssistantPort& port = *m_services.port;
    return { port.decision(), port.message(), port.accessUntil(), port.applyFailed() };
}

QWidget* DesktopAIView::currentPage() const
{
    return m_pages->currentWidget();
}

bool DesktopAIView::isCountdownTicking() const
{
    return m_countdownTimer && m_countdownTimer->isActive();
}

bool DesktopAIView::isClosePending() const
{
    return m_closeTimer && m_closeTimer->isActive();
}

// MARK: building

QWidget* DesktopAIView::makeHeader(QWidget* parent)
{
    auto* header = new QWidget(parent);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    auto* mascot = new Firefly(64, header);
    // It flies to the scenes and back; its place stays while it is away.
    QSizePolicy keep = mascot->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    mascot->setSizePolicy(keep);
    mascot->setObjectName(u"headerMascot"_s);
    row->addWidget(mascot);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(5);
    texts->addWidget(textLabel(
        u"O que você precisa para seguir?"_s, 22, QFont::DemiBold, Tone::ink, header, BrandFonts::Design::Rounded));
    texts->addWidget(textLabel(u"A Orla avalia seu pedido e libera só o necessário, por pouco tempo."_s, 13,
        QFont::Normal, Tone::muted, header));
    row->addLayout(texts, 1);
    return header;
}

QWidget* DesktopAIView::makeGate()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(22);
    column->addWidget(makeHeader(page));
    auto* card = new NoticeCard(page);
    auto* stack = new QVBoxLayout(card);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSpacing(10);
    m_gateTitle = textLabel({}, 15, QFont::DemiBold, Tone::ink, card);
    m_gateDetail = textLabel({}, 13, QFont::Normal, Tone::muted, card);
    stack->addWidget(m_gateTitle);
    stack->addWidget(m_gateDetail);
    m_connect = new BrandButton(u"Conectar minha conta"_s, true, card);
    connect(m_connect, &QAbstractButton::clicked, this, [this] { m_services.port->connectAccount(); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_connect);
    buttonRow->addStretch();
    stack->addLayout(buttonRow);
    m_code = textLabel({}, 20, QFont::DemiBold, Tone::ink, card, BrandFonts::Design::Monospaced);
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    stack->addWidget(m_code);
    column->addWidget(card);
    column->addStretch(1);
    return page;
}

QWidget* DesktopAIView::field(const QString& title, QWidget* parent, QVBoxLayout*& content)
{
    auto* box = new QWidget(parent);
    content = new QVBoxLayout(box);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(8);
    content->addWidget(textLabel(title, 13, QFont::DemiBold, Tone::ink, box));
    return box;
}

QWidget* DesktopAIView::makeForm()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(22);
    QWidget* header = makeHeader(page);
    m_formMascot = header->findChild<Firefly*>(u"headerMascot"_s);
    column->addWidget(header);

    auto* form = new QVBoxLayout;
    form->setSpacing(18);
    form->addWidget(field(u"O que você precisa?"_s, page, m_kindContent));
    m_link = new QLineEdit(page);
    m_link->setPlaceholderText(u"Cole o link do vídeo, do tweet ou da autorização no X"_s);
    m_link->setFont(BrandFonts::font(13));
    BrandTextFieldStyle::apply(m_link);
    connect(m_link, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_url = text;
        refresh();
    });
    m_kindContent->addWidget(m_link);
    m_problemRow = new QWidget(page);
    auto* problem = new QHBoxLayout(m_problemRow);
    problem->setContentsMargins(0, 0, 0, 0);
    problem->setSpacing(6);
    problem->addWidget(new SymbolMark(u"exclamationmark.circle"_s, 12, true, m_problemRow), 0, Qt::AlignTop);
    m_problem = textLabel({}, 12, QFont::Normal, Tone::ink, m_problemRow);
    m_problemLine = spokenLine(m_problem);
    problem->addWidget(m_problem, 1);
    m_kindContent->addWidget(m_problemRow);

    QVBoxLayout* minutesContent = nullptr;
    form->addWidget(field(u"Por quanto tempo?"_s, page, minutesContent));
    QStringList minuteLabels;
    for (const int choice : AssistantForm::minuteChoices) {
        minuteLabels << AssistantForm::minutesLabel(choice);
    }
    m_minuteChips = new ChoiceChips(minuteLabels, 0, page);
    connect(m_minuteChips, &ChoiceRow::picked, this, [this](int index) {
        m_minutes = AssistantForm::minuteChoices.value(index, 5);
        refresh();
    });
    minutesContent->addWidget(m_minuteChips);
    m_xDuration = textLabel(AssistantForm::xAuthorizationDuration(), 13, QFont::Normal, Tone::muted, page);
    minutesContent->addWidget(m_xDuration);

    QVBoxLayout* reasonContent = nullptr;
    QWidget* reasonField = field(u"Para que você precisa disso?"_s, page, reasonContent);
    m_reasonEditor = new BrandTextEditor(page);
    m_reasonEditor->setFixedHeight(110);
    m_reasonEditor->editor()->setPlaceholderText(u"Ex.: preciso ver uma aula para um trabalho da faculdade."_s);
    m_reasonEditor->editor()->setAccessibleName(u"Para que você precisa disso?"_s);
    connect(m_reasonEditor, &BrandTextEditor::textChanged, this, [this] {
        m_reason = m_reasonEditor->text();
        refresh();
    });
    reasonContent->addWidget(m_reasonEditor);
    form->addWidget(reasonField);

    auto* hintRow = new QHBoxLayout;
    hintRow->setSpacing(6);
    hintRow->addWidget(new SymbolMark(u"info.circle"_s, 11, false, page), 0, Qt::AlignTop);
    m_hint = textLabel({}, 11, QFont::Normal, Tone::muted, page);
    hintRow->addWidget(m_hint, 1);
    form->addLayout(hintRow);

    auto* sendRow = new QHBoxLayout;
    sendRow->setSpacing(12);
    m_send = new BrandButton(u"Pedir à Orla"_s, true, page);
    m_send->setSymbol(u"arrow.right"_s, BrandIconMotion::Forward);
    connect(m_send, &QAbstractButton::clicked, this, &DesktopAIView::send);
    sendRow->addWidget(m_send);
    sendRow->addStretch();
    form->addLayout(sendRow);

    column->addLayout(form);
    column->addStretch(1);
    return page;
}

QWidget* DesktopAIView::makeEvaluating()
{
    auto* page = new QWidget(this);
    // Read as one element: the title as its name, the request's lines as its
    // description.
    BrandAccessibility::setPaintedText(page);
    page->setAccessibleName(u"A Orla está avaliando seu pedido"_s);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(22);
    column->addSpacing(40);
    column->addStretch(1);
    m_evaluatingGlow = new OrlaGlow(OrlaGlow::Mode::breathing, 112, page);
    // Room for the light at its widest (1.05 × 110 points of radius).
    m_evaluatingGlow->setFixedSize(240, 240);
    column->addWidget(m_evaluatingGlow, 0, Qt::AlignHCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    auto* title = textLabel(
        u"A Orla está avaliando seu pedido"_s, 22, QFont::DemiBold, Tone::ink, page, BrandFonts::Design::Rounded);
    title->setAlignment(Qt::AlignHCenter);
    texts->addWidget(title);
    m_sentSummary = textLabel({}, 13, QFont::Medium, Tone::muted, page);
    m_sentSummary->setAlignment(Qt::AlignHCenter);
    texts->addWidget(m_sentSummary);
    m_sentReason = textLabel({}, 13, QFont::Normal, Tone::muted, page);
    QFont italic = m_sentReason->font();
    italic.setItalic(true);
    m_sentReason->setFont(italic);
    m_sentReason->setAlignment(Qt::AlignHCenter);
    m_sentReason->setFixedWidth(400);
    m_sentReason->setMaximumHeight(QFontMetrics(italic).lineSpacing() * 3 + 2);
    texts->addWidget(centred(m_sentReason, page));
    column->addLayout(texts);
    column->addStretch(1);
    column->addSpacing(40);
    return page;
}

QWidget* DesktopAIView::makeAnswer()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    m_answerGlow = new OrlaGlow(OrlaGlow::Mode::dim, 112, page);
    // Room for the opened light (1.25 × 110 points of radius) around the 190-point stage.
    m_answerGlow->setFixedSize(280, 280);
    column->addWidget(m_answerGlow, 0, Qt::AlignHCenter);

    m_verdict = new QWidget(page);
    auto* verdict = new QVBoxLayout(m_verdict);
    verdict->setContentsMargins(0, 0, 0, 0);
    verdict->setSpacing(10);
    m_eyebrow = textLabel({}, 11, QFont::DemiBold, Tone::muted, m_verdict);
    QFont tracked = m_eyebrow->font();
    tracked.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    m_eyebrow->setFont(tracked);
    m_eyebrow->setAlignment(Qt::AlignHCenter);
    verdict->addWidget(m_eyebrow);
    m_headline = textLabel({}, 22, QFont::DemiBold, Tone::ink, m_verdict, BrandFonts::Design::Rounded);
    m_headline->setAlignment(Qt::AlignHCenter);
    m_headline->setFixedWidth(440);
    verdict->addWidget(centred(m_headline, m_verdict));

    m_countdown = new QWidget(m_verdict);
    auto* countdown = new QVBoxLayout(m_countdown);
    countdown->setContentsMargins(0, 0, 0, 0);
    countdown->setSpacing(6);
    m_countdownTime = new CountdownDigits(m_countdown);
    m_countdownTime->setFont(BrandFonts::font(52, QFont::DemiBold, BrandFonts::Design::Rounded));
    setTone(m_countdownTime, Tone::ink);
    countdown->addWidget(m_countdownTime, 0, Qt::AlignHCenter);
    m_countdownLine = textLabel({}, 13, QFont::Medium, Tone::ink, m_countdown);
    m_countdownLine->setAlignment(Qt::AlignHCenter);
    countdown->addWidget(m_countdownLine);
    m_closingNote = textLabel({}, 12, QFont::Normal, Tone::muted, m_countdown);
    m_closingNote->setAlignment(Qt::AlignHCenter);
    countdown->addWidget(m_closingNote);
    // Read as one line that says the end time, not the ticking digits.
    BrandAccessibility::setPaintedText(m_countdown);
    verdict->addWidget(m_countdown);

    m_detail = textLabel({}, 13, QFont::Normal, Tone::muted, m_verdict);
    m_detail->setAlignment(Qt::AlignHCenter);
    m_detail->setFixedWidth(420);
    verdict->addWidget(centred(m_detail, m_verdict));
    column->addWidget(m_verdict);

    m_replyBox = new QWidget(page);
    m_replyBox->setFixedWidth(460);
    auto* replyColumn = new QVBoxLayout(m_replyBox);
    replyColumn->setContentsMargins(0, 4, 0, 0);
    replyColumn->setSpacing(6);
    m_replyEditor = new BrandTextEditor(m_replyBox);
    m_replyEditor->editor()->setPlaceholderText(u"Sua resposta"_s);
    m_replyEditor->editor()->setAccessibleName(u"Sua resposta à Orla"_s);
    m_replyEditor->editor()->setFont(BrandFonts::font(14));
    connect(m_replyEditor, &BrandTextEditor::textChanged, this, [this] {
        m_reply = m_replyEditor->text();
        refresh();
    });
    replyColumn->addWidget(m_replyEditor);
    m_replyWarning = textLabel({}, 12, QFont::Normal, Tone::ink, m_replyBox);
    m_replyWarningLine = spokenLine(m_replyWarning);
    replyColumn->addWidget(m_replyWarning);
    column->addWidget(centred(m_replyBox, page));

    column->addStretch(1);
    column->addSpacing(12);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(12);
    column->addLayout(m_buttonRow);
    return page;
}

// MARK: refreshing

void DesktopAIView::refresh()
{
    if (m_refreshing) {
        return;
    }
    m_refreshing = true;
    const bool gate = gateShown();
    const Stage now = stage();
    const bool stageMoved = !m_shownStage || *m_shownStage != now;
    const bool gateMoved = gate != m_shownGate;
    const std::optional<Stage> before = m_shownStage;
    m_shownStage = now;
    m_shownGate = gate;
    if (stageMoved && before) {
        stageChanged(*before, now);
    }
    if (gate) {
        refreshGate();
        showPage(m_gatePage);
    } else {
        if (now == Stage::form && (stageMoved || gateMoved)) {
            formShown();
        }
        switch (now) {
        case Stage::form:
            refreshForm();
            showPage(m_formPage);
            break;
        case Stage::evaluating:
            refreshEvaluating();
            showPage(m_evaluatingPage);
            break;
        case Stage::answer:
            refreshAnswer();
            showPage(m_answerPage);
            break;
        }
    }
    followAccessUntil();
    followTicking();
    m_refreshing = false;
}

void DesktopAIView::stageChanged(Stage, Stage to)
{
    if (to == Stage::form) {
        clearConversation();
    }
}

void DesktopAIView::clearConversation()
{
    m_thread.clear();
    m_reply.clear();
    if (m_replyEditor->text() != m_reply) {
        m_replyEditor->setText(m_reply);
    }
}

void DesktopAIView::showPage(QWidget* page)
{
    QWidget* before = m_pages->currentWidget();
    if (before == page) {
        return;
    }
    // Scenes change with the transition; the gate comes and goes at once.
    const bool scenes = isVisible() && before && before != m_gatePage && page != m_gatePage;
    m_transition->finish();
    if (!scenes) {
        m_pages->setCurrentWidget(page);
        return;
    }
    // The old scene as a picture, without its mascot, which flies.
    const std::optional<QRectF> from = mascotRect(before);
    const QImage fromPicture = mascotPicture(before);
    setMascotShown(before, false);
    // Drawn without a background of its own: the window's backdrop stays behind it.
    QPixmap leaving(before->size() * devicePixelRatioF());
    leaving.setDevicePixelRatio(devicePixelRatioF());
    leaving.fill(Qt::transparent);
    before->render(&leaving, QPoint(), QRegion(), QWidget::DrawChildren);
    setMascotShown(before, true);
    m_pages->setCurrentWidget(page);
    // Laid out now, so that the mascot knows where it lands.
    page->layout()->activate();
    std::optional<SceneTransition::Flight> flight;
    if (const std::optional<QRectF> to = mascotRect(page); from && to) {
        flight = SceneTransition::Flight { *from, *to, [this, page](bool shown) { setMascotShown(page, shown); },
            fromPicture, mascotPicture(page) };
    }
    m_transition->play(leaving, page, flight);
}

std::optional<QRectF> DesktopAIView::mascotRect(QWidget* page) const
{
    const auto within
        = [this](QWidget* widget, const QRectF& rect) { return rect.translated(widget->mapTo(this, QPoint(0, 0))); };
    if (page == m_formPage && m_formMascot) {
        const double side = m_formMascot->artworkSize();
        QRectF square(0, 0, side, side);
        square.moveCenter(QRectF(m_formMascot->rect()).center());
        return within(m_formMascot, square);
    }
    if (page == m_evaluatingPage) {
        return within(m_evaluatingGlow, m_evaluatingGlow->mascotRect());
    }
    if (page == m_answerPage) {
        return within(m_answerGlow, m_answerGlow->mascotRect());
    }
    return std::nullopt;
}

QImage DesktopAIView::mascotPicture(QWidget* page)
{
    if (page == m_evaluatingPage) {
        return m_evaluatingGlow->mascotPicture();
    }
    if (page == m_answerPage) {
        return m_answerGlow->mascotPicture();
    }
    if (page == m_formPage && m_formMascot) {
        const double ratio = devicePixelRatioF();
        const double side = m_formMascot->artworkSize();
        QImage picture(QSize(qCeil(side * ratio), qCeil(side * ratio)), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        Firefly::paint(painter, QPointF(0, 0), side);
        return picture;
    }
    return {};
}

void DesktopAIView::setMascotShown(QWidget* page, bool shown)
{
    if (page == m_formPage && m_formMascot) {
        m_formMascot->setVisible(shown);
    } else if (page == m_evaluatingPage) {
        m_evaluatingGlow->setMascotShown(shown);
    } else if (page == m_answerPage) {
        m_answerGlow->setMascotShown(shown);
    }
}

void DesktopAIView::refreshGate()
{
    const AssistantPort& port = *m_services.port;
    if (port.hasSession()) {
        m_gateTitle->setText(u"Você está livre agora."_s);
        m_gateDetail->setText(u"A Orla entra durante um foco, quando algo que você precisa ficou bloqueado. Fora do "
                              u"foco, nada precisa ser liberado."_s);
        m_connect->setVisible(false);
        m_code->setVisible(false);
        return;
    }
    m_gateTitle->setText(u"Conecte sua conta para pedir à Orla."_s);
    m_gateDetail->setText(port.accountMessage());
    m_gateDetail->setVisible(!port.accountMessage().isEmpty());
    m_connect->setVisible(true);
    m_connect->setText(port.connecting() ? u"Aguardando confirmação…"_s : u"Conectar minha conta"_s);
    m_connect->setEnabled(!port.connecting());
    m_code->setText(port.code());
    m_code->setAccessibleName(port.code());
    m_code->setVisible(!port.code().isEmpty());
}

void DesktopAIView::rebuildKindChips()
{
    const QStringList offered = kinds();
    if (m_kindChips && offered == m_chipKinds) {
        return;
    }
    retire(m_kindChips);
    m_chipKinds = offered;
    QStringList labels;
    for (const QString& offeredKind : offered) {
        labels << AssistantForm::chipLabel(offeredKind);
    }
    m_kindChips = new ChoiceChips(labels, static_cast<int>(offered.indexOf(kind())), m_formPage);
    connect(m_kindChips, &ChoiceRow::picked, this, [this](int index) { setKind(m_chipKinds.value(index)); });
    m_kindContent->insertWidget(1, m_kindChips);
    applyColors();
}

void DesktopAIView::rebuildSiteSelect()
{
    const QStringList sites = roots();
    if (m_siteSelect && sites == m_selectRoots) {
        return;
    }
    retire(m_siteSelect);
    m_selectRoots = sites;
    m_siteSelect = new SiteSelect(sites, currentSite(), *m_services.icons, m_formPage);
    connect(m_siteSelect, &SiteSelect::picked, this, [this](const QString& host) {
        m_siteChoice = host;
        m_services.port->setSelectedPlatform(host);
        refresh();
    });
    m_kindContent->insertWidget(2, m_siteSelect);
}

void DesktopAIView::refreshForm()
{
    rebuildKindChips();
    rebuildSiteSelect();
    const QString shown = kind();
    m_kindChips->setCurrentIndex(static_cast<int>(m_chipKinds.indexOf(shown)));
    const bool link = shown == AssistantForm::linkKind;
    m_siteSelect->setVisible(shown == AssistantForm::siteKind);
    if (m_siteSelect->selection() != currentSite()) {
        m_siteSelect->setSelection(currentSite());
    }
    m_link->setVisible(link);
    if (m_link->text() != m_url) {
        m_link->setText(m_url);
    }
    const auto problem = link ? BrowserBridgePolicy::problem(BrowserBridgePolicy::normalized(m_url)) : std::nullopt;
    m_problemRow->setVisible(problem.has_value());
    m_problemLine(problem.value_or(QString()));

    const AssistantForm::Fields form = fields();
    const bool authorization = AssistantForm::isXAuthorizationLink(form);
    m_minuteChips->setVisible(!authorization);
    m_xDuration->setVisible(authorization);
    m_minuteChips->setCurrentIndex(static_cast<int>(AssistantForm::minuteChoices.indexOf(m_minutes)));
    if (m_reasonEditor->text() != m_reason) {
        m_reasonEditor->setText(m_reason);
    }
    const AssistantPort& port = *m_services.port;
    m_hint->setText(AssistantForm::hint(form, port.bridgeEnabled() && port.bridgeConnected()));
    m_send->setEnabled(canSend());
}

void DesktopAIView::refreshEvaluating()
{
    m_sentSummary->setVisible(m_sent.has_value());
    m_sentReason->setVisible(m_sent.has_value());
    if (m_sent) {
        m_sentSummary->setText(AssistantScenes::sentSummary(m_sent->what, m_sent->minutes));
        m_sentReason->setText(u"“"_s + m_sent->reason + u"”"_s);
    }
    const QString description = m_sent ? m_sentSummary->text() + u"\n"_s + m_sentReason->text() : QString();
    if (m_evaluatingPage->accessibleDescription() != description) {
        m_evaluatingPage->setAccessibleDescription(description);
    }
}

void DesktopAIView::refreshAnswer()
{
    const AssistantScenes::Answer shown = answer();
    const bool allowed = shown.allowed();
    const auto mode = AssistantScenes::glowMode(shown);
    if (m_answerGlow->mode() != mode) {
        m_answerGlow->restart(mode);
    }
    m_answerGlow->setMascotLit(AssistantScenes::mascotLit(shown));
    m_eyebrow->setText(AssistantScenes::eyebrow(shown));
    setTone(m_eyebrow, allowed ? Tone::accent : Tone::muted);
    const auto headline = AssistantScenes::headline(shown);
    m_headline->parentWidget()->setVisible(headline.has_value());
    m_headline->setText(headline.value_or(QString()));
    m_countdown->setVisible(!headline.has_value());
    refreshCountdown();

    const bool clarifies = shown.clarifies();
    m_detail->setText(AssistantScenes::detail(shown, m_reason));
    QFont detailFont = BrandFonts::font(clarifies ? 12 : 13);
    detailFont.setItalic(clarifies);
    m_detail->setFont(detailFont);
    m_detail->setMaximumHeight(clarifies ? QFontMetrics(detailFont).lineSpacing() * 2 + 2 : QWIDGETSIZE_MAX);

    const bool replyWasHidden = m_replyBox->parentWidget()->isHidden();
    m_replyBox->parentWidget()->setVisible(clarifies);
    if (clarifies) {
        const int lines = std::clamp(static_cast<int>(m_reply.count(u'\n')) + 1, 2, 5);
        const int lineHeight = QFontMetrics(m_replyEditor->editor()->font()).lineSpacing();
        m_replyEditor->setFixedHeight(lines * lineHeight + 22);
        const auto warning = AssistantForm::replyWarning(replyLimits());
        m_replyWarning->setVisible(warning.has_value());
        m_replyWarningLine(warning.value_or(QString()));
        if (replyWasHidden) {
            // The field takes the keyboard once it is on screen.
            m_services.scheduler->runLater(std::chrono::milliseconds(0), m_replyEditor,
                [editor = m_replyEditor] { editor->editor()->setFocus(Qt::OtherFocusReason); });
        }
    }
    rebuildAnswerButtons(shown);
    applyColors();
}

void DesktopAIView::refreshCountdown()
{
    const AssistantScenes::Answer shown = answer();
    if (!shown.allowed()) {
        return;
    }
    const AssistantScenes::Countdown countdown = AssistantScenes::countdown(*shown.accessUntil, m_services.clock->now(),
        m_sent ? std::optional(m_sent->what) : std::nullopt, closesItself(), m_services.locale, m_services.timeZone);
    m_countdownTime->setText(countdown.time);
    m_countdownLine->setText(countdown.line);
    m_closingNote->setVisible(countdown.closingNote.has_value());
    m_closingNote->setText(countdown.closingNote.value_or(QString()));
    // The reader hears the end time, which changes only when the end moves, the
    // window stops closing by itself or the time runs out; not every second.
    if (m_countdown->accessibleName() != countdown.accessibleText) {
        m_countdown->setAccessibleName(countdown.accessibleText);
    }
}

void DesktopAIView::rebuildAnswerButtons(const AssistantScenes::Answer& shown)
{
    const QList<AssistantScenes::Button> wanted = AssistantScenes::buttons(shown, !m_thread.isEmpty());
    if (wanted != m_shownButtons) {
        for (BrandButton* button : std::as_const(m_answerButtons)) {
            retire(button);
        }
        m_answerButtons.clear();
        while (QLayoutItem* item = m_buttonRow->takeAt(0)) {
            delete item;
        }
        m_buttonRow->addStretch();
        for (const AssistantScenes::Button& spec : wanted) {
            auto* button = new BrandButton(spec.title, spec.prominent, m_answerPage);
            connect(button, &QAbstractButton::clicked, this, [this, action = spec.action] { runAction(action); });
            m_buttonRow->addWidget(button);
            m_answerButtons.append(button);
        }
        m_buttonRow->addStretch();
        m_shownButtons = wanted;
    }
    for (int i = 0; i < m_shownButtons.size(); ++i) {
        if (m_shownButtons[i].action == Action::reply) {
            m_answerButtons[i]->setEnabled(canReply());
        }
    }
}

void DesktopAIView::applyColors()
{
    const ColorScheme scheme = BrandPalette::schemeOf(this);
    for (QWidget* widget : findChildren<QWidget*>()) {
        const QVariant tone = widget->property(toneProperty);
        if (!tone.isValid()) {
            continue;
        }
        QColor color = inkColor(scheme);
        if (tone.toInt() == static_cast<int>(Tone::muted)) {
            color = mutedColor(scheme);
        } else if (tone.toInt() == static_cast<int>(Tone::accent)) {
            color = BrandTokens::accent();
        }
        QPalette palette = widget->palette();
        if (palette.color(QPalette::WindowText) != color) {
            palette.setColor(QPalette::WindowText, color);
            palette.setColor(QPalette::Text, color);
            widget->setPalette(palette);
        }
    }
    update();
}

// MARK: behaviour

void DesktopAIView::formShown()
{
    adopt(m_services.port->selectedPlatform());
    if (const auto link = m_services.port->prefilledURL()) {
        usePrefilledLink(*link);
    }
}

void DesktopAIView::adopt(const QString& platform)
{
    const QStringList sites = roots();
    const AssistantForm::Adoption adoption
        = AssistantForm::adopt(platform, kinds(), sites, m_siteChoice, m_services.port->selectedPlatform());
    m_currentKind = adoption.currentKind;
    if (adoption.siteChoice) {
        m_siteChoice = *adoption.siteChoice;
    }
    if (adoption.selectedPlatform) {
        m_services.port->setSelectedPlatform(*adoption.selectedPlatform);
    }
}

void DesktopAIView::usePrefilledLink(const QString& link)
{
    // The hand-over is consumed once, after everyone who listens has seen it.
    m_services.scheduler->runLater(std::chrono::milliseconds(0), this, [this, link] {
        if (m_services.port->prefilledURL() == link) {
            m_services.port->clearPrefilledURL();
        }
    });
    if (kinds().contains(AssistantForm::linkKind)) {
        m_currentKind = AssistantForm::linkKind;
        m_url = link;
        m_services.port->setSelectedPlatform(u"youtube"_s);
    }
}

void DesktopAIView::send()
{
    if (!canSend()) {
        return;
    }
    clearConversation();
    m_target = AssistantForm::target(fields());
    submit(m_reason.trimmed());
}

void DesktopAIView::submit(const QString& shown)
{
    if (!m_target) {
        return;
    }
    m_sent = Sent { m_target->what, m_target->minutes, shown };
    const QString justification = OrlaConversation::reason(m_target->original, m_thread);
    // The view reads the outcome from the service's state, not from the call.
    if (m_target->link) {
        m_services.port->requestURL(m_target->url, justification, m_target->minutes);
    } else {
        m_services.port->request(m_target->platform, justification, m_target->minutes);
    }
    refresh();
}

void DesktopAIView::sendReply()
{
    if (!canReply()) {
        return;
    }
    const QString answerText = m_reply.trimmed();
    m_thread.append({ m_services.port->message(), answerText });
    m_reply.clear();
    m_replyEditor->setText(QString());
    submit(answerText);
}

void DesktopAIView::runAction(Action action)
{
    switch (action) {
    case Action::changeRequest:
        clearConversation();
        m_services.port->startOver();
        break;
    case Action::reply:
        sendReply();
        break;
    case Action::retry:
        if (!m_thread.isEmpty()) {
            submit(m_sent ? m_sent->reason : QString());
        } else {
            m_services.port->startOver();
        }
        break;
    case Action::newRequest:
        m_reason.clear();
        m_reasonEditor->setText(QString());
        clearConversation();
        m_services.port->startOver();
        break;
    case Action::close:
        if (m_services.closeWindow) {
            m_services.closeWindow();
        }
        break;
    }
    refresh();
}

void DesktopAIView::followAccessUntil()
{
    const std::optional<QDateTime> until = m_services.port->accessUntil();
    if (m_accessFollowed && until == m_followedAccessUntil) {
        return;
    }
    m_accessFollowed = true;
    m_followedAccessUntil = until;
    // A new end of access restarts the wait; the window closes 4 s after the last change.
    m_closeTimer.reset();
    if (!closesItself() || m_services.port->decision() != u"allow"_s || !until || *until <= m_services.clock->now()) {
        return;
    }
    m_closeTimer = m_services.scheduler->startTimer(std::chrono::seconds(4), false, [this, remembered = *until] {
        const AssistantPort& port = *m_services.port;
        if (port.decision() == u"allow"_s && port.accessUntil() == remembered && m_services.closeWindow) {
            m_services.closeWindow();
        }
    });
}

void DesktopAIView::followTicking()
{
    // The countdown repaints every second only while it is on screen.
    const bool ticking = isVisible() && m_pages->currentWidget() == m_answerPage && answer().allowed();
    if (ticking == isCountdownTicking()) {
        return;
    }
    if (!ticking) {
        m_countdownTimer.reset();
        return;
    }
    m_countdownTimer = m_services.scheduler->startTimer(std::chrono::seconds(1), true, [this] { refreshCountdown(); });
}

bool DesktopAIView::handleKey(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return false;
    }
    // The window's focus widget, which keys go to even while another window is active.
    QWidget* focus = window()->focusWidget();
    // The request text is a multi-line editor: Return starts a new line there.
    if (focus && (focus == m_reasonEditor->editor() || m_reasonEditor->editor()->isAncestorOf(focus))) {
        return false;
    }
    if (gateShown()) {
        return false;
    }
    if (focus == m_replyEditor->editor()) {
        if (event->modifiers() & Qt::ShiftModifier) {
            return false;
        }
        sendReply();
        return true;
    }
    switch (stage()) {
    case Stage::form:
        send();
        return true;
    case Stage::answer:
        for (int i = 0; i < m_shownButtons.size(); ++i) {
            if (m_shownButtons[i].prominent && m_answerButtons[i]->isEnabled()) {
                m_answerButtons[i]->click();
                return true;
            }
        }
        return true;
    case Stage::evaluating:
        break;
    }
    return false;
}

void DesktopAIView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_keys->setActive(true);
    refresh();
    followTicking();
}

void DesktopAIView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_keys->setActive(false);
    m_transition->finish();
    followTicking();
}

} // namespace kestravin
