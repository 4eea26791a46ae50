#include "MenuBarPopoverView.h"

#include "FocusStartSection.h"
#include "FolgaRow.h"
#include "MenuAccountPort.h"
#include "MenuBarPalette.h"
#include "MenuBlockingPort.h"
#include "MenuShieldPort.h"
#include "PopoverSections.h"
#include "UpdatePhaseSource.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/SettledLayout.h"

#include <QMouseEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {

namespace {

const QString shieldHelp
    = u"O sistema pede a permissão de Acessibilidade para a Orla ver o endereço do site aberto no navegador. "
      u"Navegadores abertos antes disso precisam ser fechados e abertos de novo."_s;

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
    m_header = new PopoverHeader(this);
    layout->addWidget(m_header);
    connect(m_header, &PopoverHeader::settingsRequested, this, &MenuBarPopoverView::openSettings);

    // 2. Update notice.
    m_updateNotice = new UpdateNotice(this);
    layout->addWidget(m_updateNotice);
    connect(m_updateNotice, &UpdateNotice::restartRequested, this, [this] {
        m_services.updater->installNow();
        refresh();
    });

    // 3. Status header.
    m_status = new StatusHeader(this);
    layout->addWidget(m_status);
    connect(m_status, &StatusHeader::editRequested, this, &MenuBarPopoverView::openSettings);
    connect(m_status, &StatusHeader::installRequested, this, &MenuBarPopoverView::installHelper);

    // 4. Focus area.
    m_focusArea = new FocusArea(m_focusStart, this);
    layout->addWidget(m_focusArea);
    FocusStartSection* start = m_focusArea->startSection();
    connect(start, &FocusStartSection::edited, this, [this] { updateGeometry(); });
    connect(start, &FocusStartSection::startRequested, this, &MenuBarPopoverView::startFocus);
    start->setScheduleProbe([this] {
        return FocusStartModel::minutesUntilNext(
            m_services.blocking->configuration(), m_services.clock->now(), m_services.timeZone);
    });
    connect(m_focusArea, &FocusArea::assistantRequested, this, [this] {
        if (m_services.showAssistant) {
            m_services.showAssistant();
            Q_EMIT closeRequested();
        }
    });
    FolgaRow* folga = m_focusArea->folgaRow();
    connect(folga, &FolgaRow::useRequested, this, [this] {
        m_folgaError.reset();
        m_confirmingFolga = true;
        refresh();
    });
    connect(folga, &FolgaRow::confirmed, this, [this] {
        m_confirmingFolga = false;
        useFolga();
    });
    connect(folga, &FolgaRow::cancelled, this, [this] {
        m_confirmingFolga = false;
        refresh();
    });
    connect(folga, &FolgaRow::goalsRequested, this, [this] { openFolgaPage(FolgaPage::goals); });
    connect(folga, &FolgaRow::statementRequested, this, [this] { openFolgaPage(FolgaPage::statement); });

    // 5. Divider.
    m_divider = new QWidget(this);
    m_divider->setObjectName(u"divider"_s);
    m_divider->setFixedHeight(1);
    m_divider->setAutoFillBackground(true);
    BrandAccessibility::setDecorative(m_divider);
    layout->addWidget(m_divider);

    // 6. Schedule info.
    m_schedule = new ScheduleInfo(this);
    layout->addWidget(m_schedule);
    connect(m_schedule, &ScheduleInfo::automaticHoursToggled, this, &MenuBarPopoverView::setAutomaticHours);

    // 7. Shield permission.
    m_shieldButton = new BrandButton(u"Mostrar a tela da Orla nos sites bloqueados"_s, false, this);
    m_shieldButton->setObjectName(u"shieldPermission"_s);
    m_shieldButton->setSymbol(u"hand.raised"_s, BrandIconMotion::None, BrandButton::IconPosition::Leading);
    m_shieldButton->setToolTip(shieldHelp);
    layout->addWidget(m_shieldButton);
    connect(m_shieldButton, &QAbstractButton::clicked, this, [this] { m_services.shield->requestPermission(); });

    // 8. Bottom actions.
    m_bottom = new BottomActions(this);
    layout->addWidget(m_bottom);
    connect(m_bottom, &BottomActions::settingsRequested, this, &MenuBarPopoverView::openSettings);
    connect(m_bottom, &BottomActions::quitRequested, this, [this] {
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

FocusStartSection* MenuBarPopoverView::focusStartSection() const
{
    return m_focusArea->startSection();
}

FolgaRow* MenuBarPopoverView::folgaRow() const
{
    return m_focusArea->folgaRow();
}

void MenuBarPopoverView::refresh()
{
    const QDateTime now = m_services.clock->now();
    const MenuBarModel header(inputs(), now, m_services.timeZone);
    const auto& in = header.inputs();

    m_updateNotice->refresh(m_services.updater->phase());
    m_status->refresh(header, in.helperInstalling);
    updateCountdown();

    const bool active = header.isActive();
    const bool folgaInUse = header.folgaUntil().has_value();
    m_focusArea->setVisible(in.helperInstalled && (active || !folgaInUse));
    m_focusArea->showRunning(active, !active && !folgaInUse);
    const std::optional<QString> focusError = m_services.account->focusError();
    if (focusStartSection()->isVisibleTo(this)) {
        focusStartSection()->refresh(focusError);
    }
    m_focusArea->setActionsError(focusError);
    const auto snapshot = m_services.account->snapshot();
    FolgaRowModel::Inputs row { m_services.account->hasSession(), snapshot.has_value(),
        snapshot && snapshot->focus.enabled, snapshot ? snapshot->folga : std::nullopt, m_usingFolga, m_folgaError };
    folgaRow()->refresh(FolgaRowModel(row, now, m_services.timeZone), m_confirmingFolga);
    m_focusArea->setAssistantShown(static_cast<bool>(m_services.showAssistant));

    m_schedule->refresh(in.configuration);
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
    m_status->updateCountdown(MenuBarModel(inputs(), now, m_services.timeZone), now);
}

void MenuBarPopoverView::updateTicking()
{
    // Only a shown countdown ticks: a closed popover costs no timer.
    const bool wanted = isVisible() && m_status->showsCountdown();
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
    focusStartSection()->commitTyping();
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
    m_status->applyColors();
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
