#pragma once

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/views/settings/SettingsNavigation.h"

#include <QTimeZone>

#include <functional>

namespace kestravin {

class MenuAccountPort;
class MenuBlockingPort;
class MenuShieldPort;
class UpdatePhaseSource;

// Everything the popover reads and calls. The application takes shared();
// tests wire their own services, fakes and a fake clock.
struct MenuBarServices {
    MenuBlockingPort* blocking = nullptr;
    MenuAccountPort* account = nullptr;
    UpdatePhaseSource* updater = nullptr;
    MenuShieldPort* shield = nullptr;
    Clock* clock = nullptr;
    Scheduler* scheduler = nullptr;
    QTimeZone timeZone = QTimeZone::systemTimeZone();

    // Brings the settings window forward; with a break page, on that page.
    std::function<void()> openSettings;
    std::function<void(FolgaPage page)> openFolgaPage;
    std::function<void()> showAssistant;
    std::function<void()> quit;

    // The process-wide services and windows. The assistant's window is not
    // built yet, so its button stays hidden.
    static MenuBarServices shared();
};

} // namespace kestravin
