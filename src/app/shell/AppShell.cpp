#include "app/shell/AppShell.h"

#include "app/models/OnboardingPolicy.h"
#include "app/models/WeekSchedule.h"
#include "app/shell/DeepLink.h"

using namespace Qt::StringLiterals;

namespace kestravin {

AppShell::AppShell(ShellServices& services, Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_services(services), m_scheduler(scheduler)
{
}

void AppShell::start()
{
    m_services.becomeAccessory();
    m_services.becomeNotificationDelegate();
    if (m_services.onboardingCompleted()) {
        m_services.requestNotificationPermission();
    }
    m_services.enableLaunchAtLogin();
    seedFirstRun();

    m_services.createBlockingService();
    m_services.createScheduleManager();
    m_services.createHelperInstaller();
    m_services.createBrowserBridge();

    m_services.startBrowserBridgeMonitoring();
    m_services.startBrowserShield();
    m_services.startAppBlocker();
    m_services.startAccountService();
    m_services.startMissionTracker();
    m_services.setupMenuBar();
    m_services.startUpdater();

    m_services.checkCurrentStatus();
    m_services.checkAndUpdateBlocking();
    if (m_services.isHelperInstalled()) {
        // The user's automatic-hours switch does not gate the hand-over.
        m_services.syncScheduleToHelper(m_services.configuration());
    }
    m_services.requireAccount();
    waitForSnapshot(snapshotWaitPasses);
}

void AppShell::seedFirstRun()
{
    m_services.createConfigurationManager();
    if (m_services.onboardingCompleted()) {
        return;
    }
    const bool fresh = m_services.isFreshInstall();
    m_services.setFreshInstall(false);
    if (!fresh) {
        return;
    }
    Configuration seeded = m_services.configuration();
    seeded.blockedSites = OnboardingPolicy::firstRunSites();
    seeded.schedule = WeekSchedule::schedule(OnboardingPolicy::Preset(OnboardingPolicy::Preset::workday).days());
    seeded.enabled = false;
    m_services.setConfiguration(seeded);
    m_services.saveConfiguration();
}

void AppShell::waitForSnapshot(int passesLeft)
{
    // Each pass waits only while the keyring has not told whether a session
    // exists (slow or locked), or a session exists but its first snapshot has
    // not arrived; a pass in which neither holds ends at once.
    const auto waiting = [this] {
        return !m_services.accountSessionLookedUp()
            || (m_services.hasAccountSession() && !m_services.hasAccountSnapshot());
    };
    while (passesLeft > 0 && !waiting()) {
        --passesLeft;
    }
    if (passesLeft > 0) {
        m_scheduler.runLater(snapshotWaitPass, this, [this, passesLeft] { waitForSnapshot(passesLeft - 1); });
        return;
    }
    m_services.linkAnalyticsAccount();
    m_services.captureAnalytics(u"app_opened"_s);
    Q_EMIT appOpenedSent();
}

void AppShell::openUrls(const QStringList& rawUrls)
{
    if (!DeepLink::firstOurs(rawUrls)) {
        return;
    }
    m_services.activateApplication();
    if (m_services.requireAccount()) {
        m_services.showSettingsWindow();
    }
}

void AppShell::reopen()
{
    if (m_services.requireAccount() && !m_services.hasVisibleWindows()) {
        m_services.showSettingsWindow();
    }
}

void AppShell::terminate()
{
    m_services.stopBrowserShield();
    m_services.stopAppBlocker();
}

} // namespace kestravin
