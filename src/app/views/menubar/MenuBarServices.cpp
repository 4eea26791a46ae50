#include "MenuBarServices.h"

#include "MenuAccountPort.h"
#include "MenuBlockingPort.h"
#include "MenuShieldPort.h"
#include "UpdatePhaseSource.h"

#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/settings/SettingsWindowController.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace kestravin {

MenuBarServices MenuBarServices::shared()
{
    static auto* account = new DesktopAccountMenuPort(DesktopAccountService::shared());
    static auto* updater = new IdleUpdatePhaseSource();
    static auto* shield = new DesktopMenuShieldPort(DesktopBrowserShield::shared());

    static auto* browser = new DesktopMenuBrowserPort(DesktopBrowserBridge::shared());
    static auto* blocking = new DesktopMenuBlockingPort(BlockingService::shared(), ScheduleManager::shared(),
        ConfigurationManager::shared(), HelperInstaller::shared(), *browser);

    MenuBarServices services;
    services.blocking = blocking;
    services.account = account;
    services.updater = updater;
    services.shield = shield;
    services.clock = &Clock::system();
    services.scheduler = &Scheduler::system();
    services.openSettings = [] { SettingsWindowController::shared().show(); };
    services.openFolgaPage = [](FolgaPage page) {
        SettingsNavigation::shared().setTab(SettingsTab::missions);
        SettingsNavigation::shared().setFolgaPage(page);
        SettingsWindowController::shared().show();
    };
    services.showAssistant = [] { DesktopAIWindowController::shared().showWindow(); };
    services.quit = [] { QCoreApplication::quit(); };
    return services;
}

} // namespace kestravin
