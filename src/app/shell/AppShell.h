#pragma once

#include "app/models/Configuration.h"
#include "app/platform/Scheduler.h"

#include <QObject>
#include <QStringList>

namespace kestravin {

// Everything the start-up sequence, the deep link, the reopen and the end of
// the process touch, one call per step, so that the order can be checked
// with a recording double. LiveShellServices wires the real singletons.
class ShellServices {
public:
    virtual ~ShellServices() = default;

    // Start-up, in the order AppShell::start calls them.
    virtual void becomeAccessory() = 0;
    virtual void becomeNotificationDelegate() = 0;
    virtual bool onboardingCompleted() = 0;
    virtual void requestNotificationPermission() = 0;
    virtual void enableLaunchAtLogin() = 0;
    // Creates the configuration manager (always, seeding or not).
    virtual void createConfigurationManager() = 0;
    virtual bool isFreshInstall() = 0;
    virtual void setFreshInstall(bool fresh) = 0;
    virtual Configuration configuration() = 0;
    virtual void setConfiguration(const Configuration& configuration) = 0;
    virtual void saveConfiguration() = 0;
    virtual void createBlockingService() = 0;
    virtual void createScheduleManager() = 0;
    virtual void createHelperInstaller() = 0;
    virtual void createBrowserBridge() = 0;
    virtual void startBrowserBridgeMonitoring() = 0;
    virtual void startBrowserShield() = 0;
    virtual void startAppBlocker() = 0;
    virtual void startAccountService() = 0;
    virtual void startMissionTracker() = 0;
    virtual void setupMenuBar() = 0;
    // Starts the updater when the build or environment names a feed.
    virtual void startUpdater() = 0;
    virtual void checkCurrentStatus() = 0;
    virtual void checkAndUpdateBlocking() = 0;
    virtual bool isHelperInstalled() = 0;
    virtual void syncScheduleToHelper(const Configuration& configuration) = 0;
    virtual bool requireAccount() = 0;
    // False while the keyring has not answered the session lookup yet, or
    // answered that it is locked or missing: no session known is then not a
    // sign-out.
    virtual bool accountSessionLookedUp() = 0;
    virtual bool hasAccountSession() = 0;
    virtual bool hasAccountSnapshot() = 0;
    virtual void linkAnalyticsAccount() = 0;
    virtual void captureAnalytics(const QString& event) = 0;

    // Deep link and reopen.
    virtual void activateApplication() = 0;
    virtual void showSettingsWindow() = 0;
    virtual bool hasVisibleWindows() = 0;

    // End of the process.
    virtual void stopBrowserShield() = 0;
    virtual void stopAppBlocker() = 0;
};

// The application's start-up sequence, its answers to a deep link and to a
// second launch, and its stop steps.
class AppShell : public QObject {
    Q_OBJECT
public:
    static constexpr int snapshotWaitPasses = 20;
    static constexpr std::chrono::milliseconds snapshotWaitPass { 500 };

    AppShell(ShellServices& services, Scheduler& scheduler, QObject* parent = nullptr);

    // Runs the start-up in its fixed order; the last step (the wait for the
    // account snapshot and the "app_opened" event) finishes later.
    void start();

    // The URLs handed to the application: the first whose scheme is exactly
    // "kestravin" brings the application forward and opens the settings
    // (through the account gate); the rest of the URL is not read.
    void openUrls(const QStringList& rawUrls);

    // The user started the application again while it runs.
    void reopen();

    // The process is ending (quit, logout, SIGTERM): blocking itself stays in
    // force in the daemon.
    void terminate();

Q_SIGNALS:
    void appOpenedSent();

private:
    void seedFirstRun();
    void waitForSnapshot(int passesLeft);

    ShellServices& m_services;
    Scheduler& m_scheduler;
};

} // namespace kestravin
