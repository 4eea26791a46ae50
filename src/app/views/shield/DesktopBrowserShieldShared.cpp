// The browser shield of the running application, wired to the desktop's
// accessibility bus, the shared X11 workspace, XTest, the covering panel and
// the services. It lives with the views because the panel is a window.
#include "app/services/shield/DesktopBrowserShield.h"

#include "app/models/SiteCatalog.h"
#include "app/platform/linux/AtspiEvents.h"
#include "app/platform/linux/AtspiTree.h"
#include "app/platform/linux/X11BrowserWindows.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/assistant/DesktopAIService.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/blocker/SharedWorkspace.h"
#include "app/views/shield/ShieldPanel.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// Each read of another process's tree is a D-Bus round trip.
constexpr int atspiBudgetScale = 5;

QString shieldLogPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + u"/.local/state"_s;
    }
    return state + u"/Kestravin/shield.log"_s;
}

} // namespace

DesktopBrowserShield& DesktopBrowserShield::shared()
{
    static auto* tree = new AtspiTree();
    // The tree is read on a thread of its own: a browser slow to answer
    // must not hold the tray, the windows or the panel.
    static auto* reads = new ThreadShieldReads();
    static auto* windows = new X11BrowserWindows(sharedWorkspace());
    static auto* keys = new XTestKeySender();
    static auto* panel = new ShieldPanel([] {
        BrowserShieldView::Inputs inputs;
        inputs.blockedSites = ConfigurationManager::shared().configuration().blockedSites;
        inputs.bridgeEnabled = DesktopBrowserBridge::shared().enabled();
        inputs.hasSession = DesktopAccountService::shared().session().has_value();
        return inputs;
    });
    static auto* shield = [] {
        Collaborators c;
        c.capture = [](const QString& event, const QMap<QString, QString>& properties) {
            ProductAnalytics::capture(event, properties);
        };
        c.useFolga = [](QObject* context, std::function<void(bool)> done) {
            QPointer<QObject> guard(context);
            DesktopAccountService::shared().useFolga(
                [guard, done = std::move(done)](const std::optional<AccountFailure>& failure) {
                    if (guard) {
                        done(!failure.has_value());
                    }
                });
        };
        c.alertSound = [] { QApplication::beep(); };
        c.focusEnd = []() -> std::optional<QDateTime> {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            const QDateTime session = ScheduleManager::shared().sessionEndTime();
            if (session.isValid() && session > now) {
                return session;
            }
            return ConfigurationManager::shared().configuration().schedule.nextDeactivation(
                now, QTimeZone::systemTimeZone());
        };
        c.askOrla = [](const QString& host, const QString& address) {
            const auto handOver = DesktopAIService::handOver(
                host, address, ConfigurationManager::shared().configuration().blockedSites);
            DesktopAIService::shared().receiveHandOver(
                handOver, [] { DesktopAIWindowController::shared().showWindow(); });
        };
        c.catalogueId = [](const QString& host) -> std::optional<QString> {
            if (const auto entry = SiteCatalog::entry(host)) {
                return entry->id;
            }
            return std::nullopt;
        };
        auto* made = new DesktopBrowserShield(*tree, *windows, *keys, *panel, Clock::system(), Scheduler::system(),
            Environment { u"/etc/hosts"_s, shieldLogPath(), QString(), atspiBudgetScale }, std::move(c), *reads);
        made->follow(*new AtspiEvents());
        return made;
    }();
    return *shield;
}

} // namespace kestravin
