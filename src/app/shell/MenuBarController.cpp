#include "app/shell/MenuBarController.h"

#include "app/services/core/AppEvents.h"
#include "app/shell/PopoverWindow.h"
#include "app/shell/TrayItem.h"

namespace kestravin {

MenuBarController::MenuBarController(QDBusConnection sessionBus, MenuBarInputs inputs, Scheduler& scheduler,
    Clock& clock, StatusTitleModel::Measure measure, QObject* parent)
    : QObject(parent),
      m_inputs(std::move(inputs)),
      m_scheduler(scheduler),
      m_title(std::move(measure)),
      m_tray(std::make_unique<TrayItem>(std::move(sessionBus))),
      m_popover(std::make_unique<PopoverWindow>(clock))
{
}

MenuBarController::~MenuBarController() = default;

void MenuBarController::setupMenuBar()
{
    if (m_iconTimer) {
        return;
    }
    updateStatusIcon();
    connect(m_tray.get(), &TrayItem::activated, this, &MenuBarController::togglePopover);
    m_tray->show();
    connect(&AppEvents::shared(), &AppEvents::blockingStatusChanged, this, &MenuBarController::updateStatusIcon);
    m_iconTimer = m_scheduler.startTimer(iconRefreshInterval, true, [this] { updateStatusIcon(); });
    m_countdownTimer = m_scheduler.startTimer(titleInterval, true, [this] { updateMenuBarTitle(); });
    updateMenuBarTitle();
}

void MenuBarController::updateStatusIcon()
{
    const bool browserFocus = m_inputs.browserSyncEnabled() && m_inputs.browserFocusEnabled();
    m_active = m_inputs.isBlocking() || browserFocus;
    m_tray->setState(m_active, m_title.title(), m_title.guide());
    Q_EMIT statusIconUpdated(m_active);
}

void MenuBarController::updateMenuBarTitle()
{
    m_title.update(m_inputs.remainingTime());
    m_tray->setState(m_active, m_title.title(), m_title.guide());
}

void MenuBarController::togglePopover(QPoint anchor)
{
    if (!m_inputs.requireAccount()) {
        return;
    }
    m_popover->toggle(anchor);
}

} // namespace kestravin
