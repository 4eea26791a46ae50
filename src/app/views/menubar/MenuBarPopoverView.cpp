#include "MenuBarPopoverView.h"

#include "FocusStartSection.h"
#include "FolgaRow.h"
#include "MenuAccountPort.h"
#include "MenuBarPalette.h"
#include "MenuBlockingPort.h"
#include "MenuControls.h"
#include "MenuShieldPort.h"
#include "UpdatePhaseSource.h"

#include "app/models/WeekSchedule.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/PlainLabel.h"
#include "app/views/brand/SettledLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {

namespace {

const QString permissionText = u"Falta uma permissão para este computador bloquear de verdade."_s;
const QString installText = u"Permitir bloqueio neste computador"_s;
const QString awaitingText = u"Aguardando a permissão…"_s;
const QString shieldHelp
    = u"O sistema pede a permissão de Acessibilidade para a Orla ver o endereço do site aberto no navegador. "
      u"Navegadores abertos antes disso precisam ser fechados e abertos de novo."_s;

QLabel* textLine(const QString& text, int size, QFont::Weight weight, QWidget* parent, bool muted = false,
    BrandFonts::Design design = BrandFonts::Design::Default)
{
    auto* label = plainLabel(text, parent);
    label->setFont(BrandFonts::font(size, weight, design));
    label->setProperty("muted", muted);
    label->setWordWrap(true);
    return label;
}

QWidget* column(QWidget* parent, int spacing, const QString& name)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(name);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return widget;
}

QPushButton* plainButton(const QString& text, int size, QFont::Weight weight, bool muted, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setFont(BrandFonts::font(size, weight));
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("muted", muted);
    button->setAccessibleName(text);
    return button;
}

QColor toneColor(MenuBarModel::StatusTone tone, ColorScheme scheme)
{
    const bool dark = scheme == ColorScheme::Dark;
    switch (tone) {
    case MenuBarModel::StatusTone::accent:
        return BrandTokens::accent();
    case MenuBarModel::StatusTone::starting:
        return dark ? QColor(0xFF9F0A) : QColor(0xFF9500);
    case MenuBarModel::StatusTone::free:
        return dark ? QColor(0x30D158) : QColor(0x34C759);
    case MenuBarModel::StatusTone::freeWithoutDaemon:
        break;
    }
    return MenuBarPalette::of(scheme).muted;
}

} // namespace

MenuBarPopoverView::MenuBarPopoverView(MenuBarServices services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services))
{
    setObjectName(u"menuBarPopover"_s);
    setAccessibleName(u"Kestravin"_s);
    // A click on the empty column takes the keyboard focus, which ends the
    // editing of the minutes field.
    setFocusPolicy(Qt::ClickFocus);
    setFixedWidth(columnWidth);
    setAutoFillBackground(true);
    build();
    connectServices();
    applyColors();
    refresh();
}

MenuBarPopoverView::~MenuBarPopoverView()
{
    *m_alive = false;
}

void MenuBarPopoverView::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(18);

    // 1. Header row.
    auto* header = new QWidget(this);
    header->setObjectName(u"headerRow"_s);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 0, 0, 0);
    headerRow->addWidget(new BrandHeader(header));
    headerRow->addStretch(1);
    auto* gear = new BrandButton(QString(), false, header);
    gear->setSymbol(u"gearshape"_s, BrandIconMotion::Settings, BrandButton::IconPosition::Leading);
    gear->setAccessibleName(u"Ajustes"_s);
    gear->setToolTip(u"Ajustes"_s);
    headerRow->addWidget(gear);
    layout->addWidget(header);
    connect(gear, &QAbstractButton::clicked, this, &MenuBarPopoverView::openSettings);

    // 2. Update notice.
    m_updateNotice = new QWidget(this);
    m_updateNotice->setObjectName(u"updateNotice"_s);
    auto* notice = new QHBoxLayout(m_updateNotice);
    notice->setContentsMargins(0, 0, 0, 0);
    notice->setSpacing(10);
    notice->addWidget(new SymbolIcon(u"arrow.down.circle.fill"_s, 18, m_updateNotice));
    auto* noticeTexts = new QVBoxLayout();
    noticeTexts->setSpacing(1);
    noticeTexts->addWidget(textLine(u"Nova versão pronta"_s, 12, QFont::DemiBold, m_updateNotice));
    noticeTexts->addWidget(textLine(u"Leva poucos segundos."_s, 11, QFont::Normal, m_updateNotice, true));
    notice->addLayout(noticeTexts, 1);
    m_restart = new BrandButton(u"Reiniciar para atualizar"_s, true, m_updateNotice);
    m_restart->setFont(BrandFonts::font(12, QFont::DemiBold));
    notice->addWidget(m_restart);
    layout->addWidget(m_updateNotice);
    connect(m_restart, &QAbstractButton::clicked, this, [this] {
        m_services.updater->installNow();
        refresh();
    });

    // 3. Status header.
    auto* status = column(this, 8, u"statusHeader"_s);
    auto* statusLine = new QHBoxLayout();
    statusLine->setSpacing(7);
    m_statusDot = new StatusDot(status);
    m_statusText = textLine(QString(), 12, QFont::Medium, status);
    m_statusText->setWordWrap(false);
    statusLine->addWidget(m_statusDot);
    statusLine->addWidget(m_statusText, 1);
    status->layout()->addItem(statusLine);
    m_subtext = textLine(QString(), 23, QFont::DemiBold, status, false, BrandFonts::Design::Rounded);
    m_subtext->setObjectName(u"subtext"_s);
    status->layout()->addWidget(m_subtext);
    m_countdown = column(status, 2, u"countdown"_s);
    m_countdownLarge = textLine(QString(), 23, QFont::DemiBold, m_countdown, false, BrandFonts::Design::Rounded);
    m_countdownSmall = textLine(QString(), 12, QFont::Normal, m_countdown, true);
    m_countdown->layout()->addWidget(m_countdownLarge);
    m_countdown->layout()->addWidget(m_countdownSmall);
    status->layout()->addWidget(m_countdown);
    auto* summaryRow = new QHBoxLayout();
    summaryRow->setSpacing(8);
    m_summary = textLine(QString(), 12, QFont::Normal, status, true);
    auto* edit = new SummaryLink(u"Editar"_s, u"Editar sites e apps"_s, status);
    summaryRow->addWidget(m_summary, 1);
    summaryRow->addWidget(edit, 0, Qt::AlignTop);
    status->layout()->addItem(summaryRow);
    connect(edit, &QAbstractButton::clicked, this, &MenuBarPopoverView::openSettings);
    m_permissionText = textLine(permissionText, 12, QFont::Normal, status, true);
    status->layout()->addWidget(m_permissionText);
    m_install = new RowButton(true, status);
    m_install->row()->setSpacing(8);
    m_installLabel = textLine(installText, 13, QFont::DemiBold, m_install);
    m_installLabel->setWordWrap(false);
    m_installLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_install->row()->addWidget(m_installLabel);
    m_install->row()->addStretch(1);
    m_install->row()->addWidget(new BrandMotionIcon(u"arrow.right"_s, BrandIconMotion::Forward, m_install));
    status->layout()->addWidget(m_install);
    layout->addWidget(status);
    connect(m_install, &QAbstractButton::clicked, this, &MenuBarPopoverView::installHelper);

    // 4. Focus area.
    m_focusArea = column(this, 0, u"focusArea"_s);
    m_startSection = new FocusStartSection(m_focusStart, m_focusArea);
    m_startSection->setObjectName(u"focusStart"_s);
    m_focusArea->layout()->addWidget(m_startSection);
    connect(m_startSection, &FocusStartSection::edited, this, [this] { updateGeometry(); });
    connect(m_startSection, &FocusStartSection::startRequested, this, &MenuBarPopoverView::startFocus);
    m_startSection->setScheduleProbe([this] {
        return FocusStartModel::minutesUntilNext(
            m_services.blocking->configuration(), m_services.clock->now(), m_services.timeZone);
    });
    m_focusActions = column(m_focusArea, 8, u"focusActions"_s);
    m_actionsError = textLine(QString(), 11, QFont::Normal, m_focusActions, true);
    m_focusActions->layout()->addWidget(m_actionsError);
    m_folgaRow = new FolgaRow(m_focusActions);
    m_folgaRow->setObjectName(u"folgaRow"_s);
    m_focusActions->layout()->addWidget(m_folgaRow);
    m_assistant = new RowButton(false, m_focusActions);
    m_assistant->setAccessibleName(u"Pedir ajuda à Orla"_s);
    m_assistant->row()->setSpacing(10);
    auto* firefly = new Firefly(30, m_assistant);
    m_assistant->row()->addWidget(firefly);
    auto* assistantTexts = new QVBoxLayout();
    assistantTexts->setSpacing(3);
    auto* assistantTitle = textLine(u"Pedir ajuda à Orla"_s, 13, QFont::Medium, m_assistant);
    auto* assistantLine
        = textLine(u"Libera só o que você precisa, por pouco tempo"_s, 11, QFont::Normal, m_assistant, true);
    for (QWidget* part : { static_cast<QWidget*>(firefly), static_cast<QWidget*>(assistantTitle),
             static_cast<QWidget*>(assistantLine) }) {
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    assistantTexts->addWidget(assistantTitle);
    assistantTexts->addWidget(assistantLine);
    m_assistant->row()->addLayout(assistantTexts, 1);
    m_assistant->row()->addWidget(new BrandMotionIcon(u"arrow.up.right"_s, BrandIconMotion::Forward, m_assistant));
    m_focusActions->layout()->addWidget(m_assistant);
    m_focusArea->layout()->addWidget(m_focusActions);
    layout->addWidget(m_focusArea);
    connect(m_assistant, &QAbstractButton::clicked, this, [this] {
        if (m_services.showAssistant) {
            m_services.showAssistant();
            Q_EMIT closeRequested();
        }
    });
    connect(m_folgaRow, &FolgaRow::useRequested, this, [this] {
        m_folgaError.reset();
        m_confirmingFolga = true;
        refresh();
    });
    connect(m_folgaRow, &FolgaRow::confirmed, this, [this] {
        m_confirmingFolga = false;
        useFolga();
    });
    connect(m_folgaRow, &FolgaRow::cancelled, this, [this] {
        m_confirmingFolga = false;
        refresh();
    });
    connect(m_folgaRow, &FolgaRow::goalsRequested, this, [this] { openFolgaPage(FolgaPage::goals); });
    connect(m_folgaRow, &FolgaRow::statementRequested, this, [this] { openFolgaPage(FolgaPage::statement); });

    // 5. Divider.
    m_divider = new QWidget(this);
    m_divider->setObjectName(u"divider"_s);
    m_divider->setFixedHeight(1);
    m_divider->setAutoFillBackground(true);
    BrandAccessibility::setDecorative(m_divider);
    layout->addWidget(m_divider);

    // 6. Schedule info.
    auto* schedule = column(this, 12, u"scheduleInfo"_s);
    auto* hoursRow = new QHBoxLayout();
    auto* hoursTitle = textLine(u"Horários automáticos"_s, 12, QFont::DemiBold, schedule);
    hoursTitle->setWordWrap(false);
    hoursRow->addWidget(hoursTitle);
    hoursRow->addStretch(1);
    m_hoursSwitch = new MenuSwitch(u"Horários automáticos"_s, schedule);
    hoursRow->addWidget(m_hoursSwitch);
    schedule->layout()->addItem(hoursRow);
    m_weekSummary = textLine(QString(), 11, QFont::Normal, schedule, true);
    m_weekSummary->setObjectName(u"weekSummary"_s);
    schedule->layout()->addWidget(m_weekSummary);
    layout->addWidget(schedule);
    connect(m_hoursSwitch, &QAbstractButton::clicked, this, [this](bool on) { setAutomaticHours(on); });

    // 7. Shield permission.
    m_shieldButton = new BrandButton(u"Mostrar a tela da Orla nos sites bloqueados"_s, false, this);
    m_shieldButton->setObjectName(u"shieldPermission"_s);
    m_shieldButton->setSymbol(u"hand.raised"_s, BrandIconMotion::None, BrandButton::IconPosition::Leading);
    m_shieldButton->setToolTip(shieldHelp);
    layout->addWidget(m_shieldButton);
    connect(m_shieldButton, &QAbstractButton::clicked, this, [this] { m_services.shield->requestPermission(); });

    // 8. Bottom actions.
    auto* bottom = new QWidget(this);
    bottom->setObjectName(u"bottomActions"_s);
    auto* bottomRow = new QHBoxLayout(bottom);
    bottomRow->setContentsMargins(0, 4, 0, 0);
    auto* settings = plainButton(u"Sites, apps e horários"_s, 12, QFont::Medium, false, bottom);
    auto* quit = plainButton(u"Sair"_s, 11, QFont::Normal, true, bottom);
    bottomRow->addWidget(settings);
    bottomRow->addStretch(1);
    bottomRow->addWidget(quit);
    layout->addWidget(bottom);
    connect(settings, &QAbstractButton::clicked, this, &MenuBarPopoverView::openSettings);
    connect(quit, &QAbstractButton::clicked, this, [this] {
        if (m_services.quit) {
            m_services.quit();
        }
    });
}

void MenuBarPopoverView::connectServices()
{
    const auto redraw = [this] { refresh(); };
    connect(m_services.blocking, &MenuBlockingPort::changed, this, redraw);
    connect(m_services.account, &MenuAccountPort::changed, this, redraw);
    connect(m_services.updater, &UpdatePhaseSource::phaseChanged, this, redraw);
    connect(m_services.shield, &MenuShieldPort::changed, this, redraw);
    connect(&Appearance::shared(), &Appearance::changed, this, [this] {
        applyColors();
        refresh();
    });
}

MenuBarModel::Inputs MenuBarPopoverView::inputs() const
{
    MenuBarModel::Inputs in;
    const MenuBlockingPort& blocking = *m_services.blocking;
    in.isBlocking = blocking.isBlocking();
    in.browserSyncEnabled = blocking.browserSyncEnabled();
    const BrowserFocus focus = blocking.browserFocus();
    in.browserFocusEnabled = focus.enabled;
    in.browserFocusEndsAt = focus.endsAt;
    if (blocking.sessionEndTime().isValid()) {
        in.sessionEndTime = blocking.sessionEndTime();
    }
    in.remainingTime = blocking.remainingTime();
    in.configuration = blocking.configuration();
    in.helperInstalled = blocking.helperInstalled();
    in.helperInstalling = blocking.helperInstalling();
    if (const auto snapshot = m_services.account->snapshot()) {
        in.hasAccountSnapshot = true;
        in.accountFocusEnabled = snapshot->focus.enabled;
        in.accountFocusEndsAt = snapshot->focus.endsAt;
        in.folga = snapshot->folga;
    }
    return in;
}

MenuBarModel MenuBarPopoverView::model() const
{
    return MenuBarModel(inputs(), m_services.clock->now(), m_services.timeZone);
}

QWidget* MenuBarPopoverView::section(const QString& name) const
{
    return findChild<QWidget*>(name);
}

void MenuBarPopoverView::refresh()
{
    const QDateTime now = m_services.clock->now();
    const MenuBarModel header(inputs(), now, m_services.timeZone);
    const auto& in = header.inputs();
    const auto scheme = Appearance::shared().colorScheme();

    const UpdatePhase phase = m_services.updater->phase();
    m_updateNotice->setVisible(UpdatePhaseSource::updateReady(phase));
    m_restart->setText(phase == UpdatePhase::installing ? u"Reiniciando…"_s : u"Reiniciar para atualizar"_s);
    m_restart->setEnabled(phase != UpdatePhase::installing);

    m_statusDot->setColor(toneColor(header.statusTone(), scheme));
    m_statusText->setText(header.statusText());
    const auto line = header.mainLine();
    m_subtext->setVisible(line == MenuBarModel::MainLine::subtext);
    m_subtext->setText(header.statusSubtext());
    m_countdown->setVisible(line != MenuBarModel::MainLine::subtext);
    m_summary->setText(header.blockedSummary());
    m_permissionText->setVisible(!in.helperInstalled);
    m_install->setVisible(!in.helperInstalled);
    m_install->setEnabled(!in.helperInstalling);
    m_installLabel->setText(in.helperInstalling ? awaitingText : installText);
    m_install->setAccessibleName(m_installLabel->text());
    updateCountdown();

    const bool active = header.isActive();
    const bool folgaInUse = header.folgaUntil().has_value();
    m_focusArea->setVisible(in.helperInstalled && (active || !folgaInUse));
    m_focusActions->setVisible(active);
    m_startSection->setVisible(!active && !folgaInUse);
    const std::optional<QString> focusError = m_services.account->focusError();
    if (m_startSection->isVisibleTo(this)) {
        m_startSection->refresh(focusError);
    }
    m_actionsError->setVisible(focusError.has_value());
    m_actionsError->setText(focusError.value_or(QString()));
    const auto snapshot = m_services.account->snapshot();
    FolgaRowModel::Inputs row { m_services.account->hasSession(), snapshot.has_value(),
        snapshot && snapshot->focus.enabled, snapshot ? snapshot->folga : std::nullopt, m_usingFolga, m_folgaError };
    m_folgaRow->refresh(FolgaRowModel(row, now, m_services.timeZone), m_confirmingFolga);
    m_assistant->setVisible(static_cast<bool>(m_services.showAssistant));

    m_hoursSwitch->setChecked(in.configuration.enabled);
    m_weekSummary->setVisible(in.configuration.enabled);
    m_weekSummary->setText(WeekSchedule::summary(WeekSchedule::days(in.configuration.schedule)));
    m_shieldButton->setVisible(m_services.shield->enabled() && !m_services.shield->hasPermission());

    updateTicking();
    updateGeometry();
    if (isWindow()) {
        // The texts set above count with the lines they wrap into.
        settleLayouts(this);
        resize(sizeHint());
    }
}

QSize MenuBarPopoverView::sizeHint() const
{
    // Wrapped lines make the height depend on the fixed width.
    return { columnWidth, layout()->totalHeightForWidth(columnWidth) };
}

void MenuBarPopoverView::updateCountdown()
{
    const QDateTime now = m_services.clock->now();
    const MenuBarModel header(inputs(), now, m_services.timeZone);
    switch (header.mainLine()) {
    case MenuBarModel::MainLine::focusCountdown: {
        const QDateTime end = *header.focusEnd();
        m_countdownLarge->setText(MenuBarModel::focusCountdownText(end, now));
        m_countdownSmall->setText(header.focusCountdownDetail(end));
        break;
    }
    case MenuBarModel::MainLine::folgaCountdown: {
        const QDateTime end = *header.folgaUntil();
        m_countdownLarge->setText(MenuBarModel::folgaCountdownText(end, now));
        m_countdownSmall->setText(header.folgaCountdownDetail(end));
        break;
    }
    case MenuBarModel::MainLine::subtext:
        break;
    }
}

void MenuBarPopoverView::updateTicking()
{
    // Only a shown countdown ticks: a closed popover costs no timer.
    const bool wanted = isVisible() && m_countdown->isVisibleTo(this);
    if (wanted && !m_tick) {
        m_tick = m_services.scheduler->startTimer(1000ms, true, [this] { updateCountdown(); });
    } else if (!wanted && m_tick) {
        m_tick.reset();
    }
}

void MenuBarPopoverView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void MenuBarPopoverView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_tick.reset();
}

void MenuBarPopoverView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    m_startSection->commitTyping();
    QWidget::mousePressEvent(event);
}

void MenuBarPopoverView::startFocus(int minutes)
{
    switch (FocusStartModel::route(m_services.account->hasSession(), m_services.blocking->browserSyncEnabled())) {
    case FocusRoute::account:
        m_services.account->startFocusFromMenu(minutes);
        break;
    case FocusRoute::browser:
        // The bridge refuses what it cannot start; the section stays as it was.
        m_services.blocking->beginBrowserFocus(minutes);
        break;
    case FocusRoute::scheduleManager:
        m_services.blocking->blockForDuration(minutes);
        break;
    }
}

void MenuBarPopoverView::useFolga()
{
    m_usingFolga = true;
    refresh();
    m_services.account->useFolga([this, alive = std::weak_ptr<bool>(m_alive)](std::optional<QString> error) {
        if (alive.expired()) {
            return;
        }
        m_usingFolga = false;
        m_folgaError = std::move(error);
        refresh();
    });
}

void MenuBarPopoverView::installHelper()
{
    m_services.blocking->installHelper();
}

void MenuBarPopoverView::setAutomaticHours(bool on)
{
    m_services.blocking->setAutomaticHours(on);
    m_services.account->localEditChanged();
    refresh();
}

void MenuBarPopoverView::openSettings()
{
    if (m_services.openSettings) {
        m_services.openSettings();
    }
    Q_EMIT closeRequested();
}

void MenuBarPopoverView::openFolgaPage(FolgaPage page)
{
    if (m_services.openFolgaPage) {
        m_services.openFolgaPage(page);
    }
    Q_EMIT closeRequested();
}

void MenuBarPopoverView::applyColors()
{
    const auto palette = MenuBarPalette::current();
    QPalette colors = this->palette();
    colors.setColor(QPalette::Window, palette.background);
    colors.setColor(QPalette::WindowText, palette.ink);
    colors.setColor(QPalette::ButtonText, palette.ink);
    colors.setColor(QPalette::Text, palette.ink);
    setPalette(colors);
    QPalette line = m_divider->palette();
    line.setColor(QPalette::Window, palette.divider);
    m_divider->setPalette(line);
    m_installLabel->setStyleSheet(u"QLabel { color: %1; }"_s.arg(m_install->labelColor().name()));
    // Secondary texts carry the "muted" property wherever they sit in the column.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property("muted").toBool()) {
            QPalette mutedColors = child->palette();
            mutedColors.setColor(QPalette::WindowText, palette.muted);
            mutedColors.setColor(QPalette::ButtonText, palette.muted);
            child->setPalette(mutedColors);
        }
    }
}

} // namespace kestravin
