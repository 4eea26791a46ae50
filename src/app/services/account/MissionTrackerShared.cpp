// The mission tracker of the running application, on the desktop's own X11
// workspace and screensaver idle time.
#include "MissionTracker.h"

#include "DesktopAccountService.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/linux/X11ActivityProbe.h"
#include "app/platform/linux/X11Workspace.h"

#include <QSettings>

namespace kestravin {

MissionTracker& MissionTracker::shared()
{
    static auto* tracker = [] {
        static X11Workspace workspace(DesktopEntryIndex(), X11Workspace::Options {});
        static X11ActivityProbe probe(workspace);
        static QSettings settings;
        return new MissionTracker({ &DesktopAccountService::shared(), &probe, &Clock::system(), &Scheduler::system(),
            &settings, QTimeZone::systemTimeZone(), {} });
    }();
    return *tracker;
}

} // namespace kestravin
