#include "app/shell/AppServices.h"

#include "app/models/AppBlockPolicy.h"
#include "app/models/SiteCatalog.h"
#include "app/platform/Clock.h"
#include "app/platform/DesktopEntryIndex.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SharedInstance.h"
#include "app/platform/WindowStates.h"
#include "app/platform/linux/AtspiEvents.h"
#include "app/platform/linux/AtspiTree.h"
#include "app/platform/linux/FreedesktopNotifications.h"
#include "app/platform/linux/PkexecRunner.h"
#include "app/platform/linux/SystemdRegistration.h"
#include "app/platform/linux/X11ActivityProbe.h"
#include "app/platform/linux/X11BrowserWindows.h"
#include "app/platform/linux/X11WindowStates.h"
#include "app/platform/linux/X11Workspace.h"
#include "app/services/account/AccountClient.h"
#include "app/services/account/AccountEnvironment.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/account/DeviceLink.h"
#include "app/services/account/MissionTracker.h"
#include "app/services/account/SessionStore.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/appblocker/AppBlocker.h"
#include "app/services/appblocker/AppBlockerServiceInputs.h"
#include "app/services/assistant/DesktopAIService.h"
#include "app/services/bridge/BrowserBridgeAccount.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperConnection.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/services/shield/DesktopBrowserShield.h"
#include "app/services/update/AppUpdater.h"
#include "app/services/update/BundleUpdateDriver.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/blocker/KeyPanel.h"
#include "app/views/shield/ShieldPanel.h"
#include "contract/HelperConstants.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QSettings>
#include <QTimeZone>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// This application's desktop-file ID: its own windows are never hidden.
const QString ownDesktopId = u"com.kestravin.app"_s;

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

// The running application's one X11 workspace, shared by the app blocker and
// the browser shield.
X11Workspace& sharedWorkspace()
{
    static auto* workspace = new X11Workspace(DesktopEntryIndex(), X11Workspace::Options { QString(), ownDesktopId });
    return *workspace;
}

HelperConnection& buildHelperConnection()
{
    // Lives until the process ends, like every shared service.
    static auto* instance = new HelperConnection(HelperConnection::systemBusFactory(), Scheduler::system());
    return *instance;
}

HelperInstaller& buildHelperInstaller()
{
    static auto* runner = new PkexecRunner();
    static auto* registration = new SystemdRegistration(
        QDBusConnection::systemBus(), HelperInstaller::unitName, HelperConstants::packagedUnitPath);
    static auto* instance = new HelperInstaller(HelperConnection::shared(), *registration, *runner, Clock::system(),
        Scheduler::system(), HelperInstaller::defaultEnvironment());
    return *instance;
}

BlockingService& buildBlockingService()
{
    static auto* service = new BlockingService(HelperConnection::shared(), HelperInstaller::shared(), Clock::system(),
        Scheduler::system(), BlockingService::defaultPaths());
    return *service;
}

ConfigurationManager& buildConfigurationManager()
{
    static auto* manager = new ConfigurationManager(ConfigurationManager::defaultDataFolder(),
        BlockingService::shared(), DesktopAccountService::shared(), Clock::system(), Scheduler::system());
    return *manager;
}

ScheduleManager& buildScheduleManager()
{
    static auto* notifications = new FreedesktopNotifications(QDBusConnection::sessionBus());
    static auto* manager = new ScheduleManager(ConfigurationManager::shared(), BlockingService::shared(),
        HelperInstaller::shared(), *notifications, Clock::system(), Scheduler::system(),
        { QTimeZone::systemTimeZone(), [] { return DesktopBrowserBridge::storedSyncEnabled(); } });
    return *manager;
}

DesktopAccountService& buildDesktopAccountService()
{
    static auto* service = [] {
        auto* created = new DesktopAccountService();
        static QSettings defaults;
        const AccountEnvironment environment = AccountEnvironment::current();
        static KeychainSessionStore store(environment.keychainAccount());
        auto* client = new AccountClient(environment, store, Clock::system(), defaults, created);
        auto* link = new DeviceLink(
            *client, Clock::system(), Scheduler::system(), [](const QUrl& url) { QDesktopServices::openUrl(url); },
            [] { return ProductAnalytics::installId(); }, created);
        created->attach({
            client,
            link,
            [] { return &ConfigurationManager::shared(); },
            [] { return &BlockingService::shared(); },
            [] { return &ScheduleManager::shared(); },
            [] { return &HelperConnection::shared(); },
            &Clock::system(),
            &Scheduler::system(),
            [] { return QString::fromUtf8(QTimeZone::systemTimeZoneId()); },
        });
        return created;
    }();
    return *service;
}

MissionTracker& buildMissionTracker()
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

DesktopBrowserBridge& buildDesktopBrowserBridge()
{
    static auto* account = new AccountServiceBridgeAccount(DesktopAccountService::shared());
    static auto* bridge = new DesktopBrowserBridge(DesktopBrowserBridge::Environment {
        DesktopBrowserBridge::defaultDirectory(),
        &Clock::system(),
        &Scheduler::system(),
        QTimeZone::systemTimeZone(),
        [] { return ConfigurationManager::shared().configuration(); },
        [] { return HelperInstaller::shared().supportsBrowserSync(); },
        [](const BrowserHelperControl& control, const HelperScheduleConfig& expected,
            DesktopBrowserBridge::DaemonCompletion done) {
            HelperConnection::shared().updateBrowserControl(control, expected, std::move(done));
        },
        account,
        [](const QDateTime& end) { ScheduleManager::shared().setSessionEndTime(end); },
        [](const QString& text) { ScheduleManager::shared().setRemainingTime(text); },
        QString(),
    });
    return *bridge;
}

DesktopAIService& buildDesktopAIService()
{
    static auto* service = [] {
        static QSettings defaults;
        DesktopAIService::Environment environment;
        environment.account = &DesktopAccountService::shared();
        environment.configuration = [] { return ConfigurationManager::shared().configuration(); };
        environment.manualOverride = [] { return ScheduleManager::shared().manualOverride(); };
        environment.supportsTemporaryAccess = [] { return HelperInstaller::shared().supportsTemporaryAccess(); };
        environment.grantScheduledAccess
            = [](const QString& platform, const QDateTime& expiresAt, const HelperScheduleConfig& expected,
                  HelperConnection::Completion done) {
                  HelperConnection::shared().grantScheduledAccess(platform, expiresAt, expected, std::move(done));
              };
        environment.browserSyncEnabled = [] { return DesktopBrowserBridge::shared().enabled(); };
        environment.extensionConnected = [] { return DesktopBrowserBridge::shared().connected(); };
        environment.extensionRequest = [](const QString& url, const QString& reason, int minutes,
                                           std::function<void(DesktopBrowserBridge::LinkOutcome)> completion) {
            return DesktopBrowserBridge::shared().requestURL(url, reason, minutes, std::move(completion));
        };
        environment.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
        environment.clock = &Clock::system();
        environment.scheduler = &Scheduler::system();
        environment.timeZone = [] { return QTimeZone::systemTimeZone(); };
        environment.defaults = &defaults;
        environment.locale = QLocale::system();
        return new DesktopAIService(std::move(environment));
    }();
    return *service;
}

InstalledApps& buildInstalledApps()
{
    static auto* instance
        = new InstalledApps([] { return DesktopEntryIndex::standardApplicationDirs(); }, ownDesktopId);
    return *instance;
}

SiteIconStore& buildSiteIconStore()
{
    static auto* instance = new SiteIconStore(SiteIconStore::Options {});
    return *instance;
}

AppUpdater& buildAppUpdater()
{
    static auto* instance = new AppUpdater(AppUpdater::configuredFeedUrl(),
        [](const QUrl& feedUrl) { return BundleUpdateDriver::forRunningBundle(feedUrl); });
    return *instance;
}

AppBlocker& buildAppBlocker()
{
    static auto* workspace = &sharedWorkspace();
    static auto* inputs = new AppBlockerServiceInputs(BlockingService::shared(), DesktopBrowserBridge::shared(),
        ConfigurationManager::shared(), ScheduleManager::shared());
    static auto* panel = new KeyPanel();
    static auto* blocker = [] {
        AppBlocker::Collaborators collaborators;
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

DesktopBrowserShield& buildDesktopBrowserShield()
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
        DesktopBrowserShield::Collaborators c;
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
            DesktopBrowserShield::Environment { u"/etc/hosts"_s, shieldLogPath(), QString(), atspiBudgetScale },
            std::move(c), *reads);
        made->follow(*new AtspiEvents());
        return made;
    }();
    return *shield;
}

} // namespace

void installAppServices()
{
    static X11WindowStateRequests windowStates;
    WindowStates::install(&windowStates);

    SharedInstance<HelperConnection>::install(&buildHelperConnection);
    SharedInstance<HelperInstaller>::install(&buildHelperInstaller);
    SharedInstance<BlockingService>::install(&buildBlockingService);
    SharedInstance<ConfigurationManager>::install(&buildConfigurationManager);
    SharedInstance<ScheduleManager>::install(&buildScheduleManager);
    SharedInstance<DesktopAccountService>::install(&buildDesktopAccountService);
    SharedInstance<MissionTracker>::install(&buildMissionTracker);
    SharedInstance<DesktopBrowserBridge>::install(&buildDesktopBrowserBridge);
    SharedInstance<DesktopAIService>::install(&buildDesktopAIService);
    SharedInstance<InstalledApps>::install(&buildInstalledApps);
    SharedInstance<SiteIconStore>::install(&buildSiteIconStore);
    SharedInstance<AppUpdater>::install(&buildAppUpdater);
    SharedInstance<AppBlocker>::install(&buildAppBlocker);
    SharedInstance<DesktopBrowserShield>::install(&buildDesktopBrowserShield);
}

} // namespace kestravin
