// The assistant window over the application's services.
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ScreenReader.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/assistant/DesktopAIService.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/assistant/DesktopAssistantPort.h"

namespace kestravin {

DesktopAIWindowController& DesktopAIWindowController::shared()
{
    static DesktopAIWindowController controller([] {
        static DesktopAssistantPort port({ &DesktopAIService::shared(), &DesktopAccountService::shared(),
            &DesktopBrowserBridge::shared(), &BlockingService::shared(), &ConfigurationManager::shared() });
        DesktopAIView::Services services;
        services.port = &port;
        services.clock = &Clock::system();
        services.scheduler = &Scheduler::system();
        services.screenReader = &ScreenReader::system();
        services.icons = &SiteIconStore::shared();
        services.locale = QLocale();
        services.timeZone = QTimeZone::systemTimeZone();
        return services;
    });
    return controller;
}

} // namespace kestravin
