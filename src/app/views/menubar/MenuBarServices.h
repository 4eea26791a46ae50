#pragma once

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/views/settings/SettingsNavigation.h"

#include <QTimeZone>

#include <functional>

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class DesktopBrowserBridge;
class HelperInstaller;
class MenuAccountPort;
class MenuShieldPort;
class ScheduleManager;
class UpdatePhaseSource;

// Everything the popover reads and calls. The application takes shared();
// tests wire their own services, fakes and a fake clock.
struct MenuBarServices {
    BlockingService* blocking = nullptr;
    ScheduleManager* scheduleManager = nullptr;
    ConfigurationManager* configManager = nullptr;
    HelperInstaller* helperInstaller = nullptr;
    DesktopBrowserBridge* browserBridge = nullptr;
    MenuAccountPort* account = nullptr;
    UpdatePhaseSource* updater = nullptr;
    MenuShieldPort* shield = nullptr;
    Clock* clock = nullptr;
    Scheduler* scheduler = nullptr;
    QTimeZone timeZone = QTimeZone::systemTimeZone();

    // Starts a browser focus of that many minutes (1 to 240).
    std::function<void(int minutes)> beginBrowserFocus;
    // Brings the settings window forward; with a break page, on that page.
    std::function<void()> openSettings;
    std::function<void(FolgaPage page)> openFolgaPage;
    std::function<void()> showAssistant;
    std::function<void()> quit;

    // The process-wide services and windows.
    static MenuBarServices shared();
};

} // namespace kestravin
