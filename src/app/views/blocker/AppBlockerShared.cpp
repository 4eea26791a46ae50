// The app blocker of the running application, wired to the real workspace,
// services and covering panel. It lives with the views because the panel is
// a window; the blocker's rules know it only as an AppBlockPanel.
#include "app/services/appblocker/AppBlocker.h"

#include "app/models/AppBlockPolicy.h"
#include "app/platform/linux/X11Workspace.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/appblocker/AppBlockerServiceInputs.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/views/blocker/KeyPanel.h"
#include "app/views/blocker/SharedWorkspace.h"

#include <QApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// This application's desktop-file ID: its own windows are never hidden.
const QString ownDesktopId = u"com.kestravin.app"_s;

} // namespace

X11Workspace& sharedWorkspace()
{
    static auto* workspace = new X11Workspace(DesktopEntryIndex(), X11Workspace::Options { QString(), ownDesktopId });
    return *workspace;
}

AppBlocker& AppBlocker::shared()
{
    static auto* workspace = &sharedWorkspace();
    static auto* inputs = new AppBlockerServiceInputs(BlockingService::shared(), DesktopBrowserBridge::shared(),
        ConfigurationManager::shared(), ScheduleManager::shared());
    static auto* panel = new KeyPanel();
    static auto* blocker = [] {
        Collaborators collaborators;
        collaborators.isProtected = [](const QString& identifier, const QString& own) {
            return AppBlockPolicy::isProtected(identifier, own);
        };
        collaborators.capture = [](const QString& event, const QMap<QString, QString>& properties) {
            ProductAnalytics::capture(event, properties);
        };
        collaborators.useFolga = [](QObject* context, std::function<void(bool)> done) {
            // The account service cannot spend a break yet (no account API):
            // the attempt fails the way it does while signed out.
            QTimer::singleShot(0, context, [done = std::move(done)] { done(false); });
        };
        collaborators.alertSound = [] { QApplication::beep(); };
        return new AppBlocker(*workspace, *inputs, *panel, ownDesktopId, std::move(collaborators));
    }();
    return *blocker;
}

} // namespace kestravin
