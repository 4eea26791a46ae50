// The start-up sequence, the deep link, the reopen and the stop steps, run
// against a recording double of the services so that the order of the calls
// can be read back.
#include "app/shell/AppShell.h"
#include "FakeTime.h"
#include "app/models/OnboardingPolicy.h"
#include "app/models/WeekSchedule.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

class RecordingServices final : public ShellServices {
public:
    QStringList calls;
    bool onboarded = false;
    bool fresh = true;
    bool helperInstalled = false;
    bool sessionLookedUp = true;
    bool session = false;
    bool snapshot = false;
    bool accountGate = true;
    bool visibleWindows = false;
    int saves = 0;
    Configuration stored { { u"a.com"_s }, Schedule(), true, { BlockedApp { u"discord"_s, u"Discord"_s } } };
    std::optional<Configuration> synced;

    void becomeAccessory() override { calls << u"becomeAccessory"_s; }
    void becomeNotificationDelegate() override { calls << u"becomeNotificationDelegate"_s; }
    bool onboardingCompleted() override { return onboarded; }
    void requestNotificationPermission() override { calls << u"requestNotificationPermission"_s; }
    void enableLaunchAtLogin() override { calls << u"enableLaunchAtLogin"_s; }
    void createConfigurationManager() override { calls << u"createConfigurationManager"_s; }
    bool isFreshInstall() override { return fresh; }
    void setFreshInstall(bool value) override { fresh = value; }
    Configuration configuration() override { return stored; }
    void setConfiguration(const Configuration& configuration) override { stored = configuration; }
    void saveConfiguration() override
    {
        calls << u"saveConfiguration"_s;
        ++saves;
    }
    void createBlockingService() override { calls << u"createBlockingService"_s; }
    void createScheduleManager() override { calls << u"createScheduleManager"_s; }
    void createHelperInstaller() override { calls << u"createHelperInstaller"_s; }
    void createBrowserBridge() override { calls << u"createBrowserBridge"_s; }
    void startBrowserBridgeMonitoring() override { calls << u"startBrowserBridgeMonitoring"_s; }
    void startBrowserShield() override { calls << u"startBrowserShield"_s; }
    void startAppBlocker() override { calls << u"startAppBlocker"_s; }
    void startAccountService() override { calls << u"startAccountService"_s; }
    void startMissionTracker() override { calls << u"startMissionTracker"_s; }
    void setupMenuBar() override { calls << u"setupMenuBar"_s; }
    void startUpdater() override { calls << u"startUpdater"_s; }
    void checkCurrentStatus() override { calls << u"checkCurrentStatus"_s; }
    void checkAndUpdateBlocking() override { calls << u"checkAndUpdateBlocking"_s; }
    bool isHelperInstalled() override { return helperInstalled; }
    void syncScheduleToHelper(const Configuration& configuration) override
    {
        calls << u"syncScheduleToHelper"_s;
        synced = configuration;
    }
    bool requireAccount() override
    {
        calls << u"requireAccount"_s;
        return accountGate;
    }
    bool accountSessionLookedUp() override { return sessionLookedUp; }
    bool hasAccountSession() override { return session; }
    bool hasAccountSnapshot() override { return snapshot; }
    void linkAnalyticsAccount() override { calls << u"linkAnalyticsAccount"_s; }
    void captureAnalytics(const QString& event) override { calls << u"capture "_s + event; }
    void activateApplication() override { calls << u"activateApplication"_s; }
    void showSettingsWindow() override { calls << u"showSettingsWindow"_s; }
    bool hasVisibleWindows() override { return visibleWindows; }
    void stopBrowserShield() override { calls << u"stopBrowserShield"_s; }
    void stopAppBlocker() override { calls << u"stopAppBlocker"_s; }
};

const QStringList servicesInOrder {
    u"createBlockingService"_s,
    u"createScheduleManager"_s,
    u"createHelperInstaller"_s,
    u"createBrowserBridge"_s,
    u"startBrowserBridgeMonitoring"_s,
    u"startBrowserShield"_s,
    u"startAppBlocker"_s,
    u"startAccountService"_s,
    u"startMissionTracker"_s,
    u"setupMenuBar"_s,
    u"startUpdater"_s,
    u"checkCurrentStatus"_s,
    u"checkAndUpdateBlocking"_s,
};

TEST(AppShellStartup, FirstRunRunsEveryStepInOrderAndSeedsTheConfigurationOnce)
{
    RecordingServices services;
    services.helperInstalled = true;
    testing::FakeTime time;
    AppShell shell(services, time);
    shell.start();

    QStringList expected { u"becomeAccessory"_s, u"becomeNotificationDelegate"_s, u"enableLaunchAtLogin"_s,
        u"createConfigurationManager"_s, u"saveConfiguration"_s };
    expected << servicesInOrder;
    expected << u"syncScheduleToHelper"_s << u"requireAccount"_s << u"linkAnalyticsAccount"_s
             << u"capture app_opened"_s;
    EXPECT_EQ(services.calls, expected);

    // Seeded: the first-run sites, the workday hours, automatic hours off,
    // the apps kept; and the daemon got that configuration though it is off.
    EXPECT_EQ(services.stored.blockedSites, OnboardingPolicy::firstRunSites());
    EXPECT_EQ(WeekSchedule::days(services.stored.schedule),
        OnboardingPolicy::Preset(OnboardingPolicy::Preset::workday).days());
    EXPECT_FALSE(services.stored.enabled);
    ASSERT_EQ(services.stored.blockedApps.size(), 1);
    EXPECT_EQ(services.stored.blockedApps.first().bundleIdentifier, u"discord"_s);
    ASSERT_TRUE(services.synced.has_value());
    EXPECT_EQ(*services.synced, services.stored);
    EXPECT_FALSE(services.fresh);

    // A second run of the sequence in the same process does not seed again.
    services.stored.blockedSites = { u"b.com"_s };
    services.calls.clear();
    shell.start();
    EXPECT_FALSE(services.calls.contains(u"saveConfiguration"_s));
    EXPECT_EQ(services.stored.blockedSites, QStringList { u"b.com"_s });
    EXPECT_EQ(services.saves, 1);
}

TEST(AppShellStartup, OnboardedLaunchAsksForNotificationsAndNeverSeeds)
{
    RecordingServices services;
    services.onboarded = true;
    services.fresh = true; // even with the configuration file missing
    testing::FakeTime time;
    AppShell shell(services, time);
    shell.start();

    EXPECT_EQ(services.calls.mid(0, 5),
        (QStringList { u"becomeAccessory"_s, u"becomeNotificationDelegate"_s, u"requestNotificationPermission"_s,
            u"enableLaunchAtLogin"_s, u"createConfigurationManager"_s }));
    EXPECT_EQ(services.saves, 0);
    EXPECT_TRUE(services.fresh) << "left untouched when onboarding is completed";
    EXPECT_FALSE(services.calls.contains(u"syncScheduleToHelper"_s)) << "the daemon is not installed";
}

TEST(AppShellStartup, AppOpenedWaitsOnlyForTheFirstSnapshotOfASession)
{
    using std::nullopt;
    struct Case {
        const char* what;
        bool session;
        std::optional<std::chrono::milliseconds> snapshotAfter;
        std::chrono::milliseconds sentAfter;
        // When the keyring answers the session lookup; never while it stays
        // locked.
        std::optional<std::chrono::milliseconds> lookedUpAfter = 0ms;
    };
    const std::vector<Case> cases {
        { "no session: at once", false, nullopt, 0ms },
        { "snapshot already there: at once", true, 0ms, 0ms },
        { "snapshot just before 3 s: at the 3 s pass", true, 2900ms, 3000ms },
        { "snapshot after 2.2 s: at the pass after it", true, 2200ms, 2500ms },
        { "no snapshot: after 20 passes of 0.5 s", true, nullopt, 10000ms },
        { "slow keyring, then a session whose snapshot comes at 2.2 s", true, 2200ms, 2500ms, 1200ms },
        { "slow keyring, then no session: at the pass after its answer", false, nullopt, 1500ms, 1200ms },
        { "locked keyring: after 20 passes, not as a sign-out", false, nullopt, 10000ms, nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingServices services;
        services.onboarded = true;
        services.sessionLookedUp = c.lookedUpAfter == 0ms;
        // Unknown until the keyring answers.
        services.session = services.sessionLookedUp && c.session;
        services.snapshot = c.snapshotAfter == 0ms;
        testing::FakeTime time;
        AppShell shell(services, time);
        std::optional<std::chrono::milliseconds> sentAt;
        auto elapsed = 0ms;
        const QDateTime started = time.now();
        QObject::connect(
            &shell, &AppShell::appOpenedSent, [&] { sentAt = std::chrono::milliseconds(started.msecsTo(time.now())); });
        shell.start();
        while (!sentAt && elapsed < 20000ms) {
            time.advance(100ms);
            elapsed += 100ms;
            if (c.lookedUpAfter && elapsed >= *c.lookedUpAfter) {
                services.sessionLookedUp = true;
                services.session = c.session;
            }
            if (c.snapshotAfter && elapsed >= *c.snapshotAfter) {
                services.snapshot = true;
            }
        }
        ASSERT_TRUE(sentAt.has_value());
        EXPECT_EQ(*sentAt, c.sentAfter == 0ms ? 0ms : c.sentAfter);
        EXPECT_EQ(services.calls.count(u"capture app_opened"_s), 1);
        EXPECT_EQ(
            services.calls.indexOf(u"linkAnalyticsAccount"_s) + 1, services.calls.indexOf(u"capture app_opened"_s));
        time.advance(20000ms);
        EXPECT_EQ(services.calls.count(u"capture app_opened"_s), 1) << "once per launch";
    }
}

TEST(AppShellLinks, DeepLinkOpensTheSettingsOnlyThroughTheGate)
{
    struct Case {
        QStringList urls;
        bool gate;
        QStringList calls;
    };
    const QStringList opened { u"activateApplication"_s, u"requireAccount"_s, u"showSettingsWindow"_s };
    const QStringList gated { u"activateApplication"_s, u"requireAccount"_s };
    const std::vector<Case> cases {
        { { u"kestravin://any/path?q=1"_s }, true, opened },
        { { u"https://x.com"_s, u"kestravin:settings"_s }, true, opened },
        { { u"kestravin://x"_s }, false, gated },
        { { u"KESTRAVIN://x"_s }, true, {} },
        { { u"mailto:a@b.c"_s }, true, {} },
        { {}, true, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.urls.join(u' ').toStdString());
        RecordingServices services;
        services.accountGate = c.gate;
        testing::FakeTime time;
        AppShell shell(services, time);
        shell.openUrls(c.urls);
        EXPECT_EQ(services.calls, c.calls);
    }
}

TEST(AppShellLinks, ReopenShowsTheSettingsOnlyWithoutAVisibleWindow)
{
    struct Case {
        bool gate;
        bool visible;
        bool shows;
    };
    for (const Case c : { Case { true, false, true }, Case { true, true, false }, Case { false, false, false } }) {
        RecordingServices services;
        services.accountGate = c.gate;
        services.visibleWindows = c.visible;
        testing::FakeTime time;
        AppShell shell(services, time);
        shell.reopen();
        EXPECT_EQ(services.calls.first(), u"requireAccount"_s);
        EXPECT_EQ(services.calls.contains(u"showSettingsWindow"_s), c.shows) << c.gate << c.visible;
    }
}

TEST(AppShellLinks, TerminationStopsTheShieldThenTheAppBlocker)
{
    RecordingServices services;
    testing::FakeTime time;
    AppShell shell(services, time);
    shell.terminate();
    EXPECT_EQ(services.calls, (QStringList { u"stopBrowserShield"_s, u"stopAppBlocker"_s }));
}

} // namespace
} // namespace kestravin
