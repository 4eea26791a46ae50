#pragma once

#include "app/shell/AppShell.h"

#include <QDBusConnection>
#include <QPointer>

#include <functional>
#include <memory>

class QWidget;

namespace kestravin {

class MenuBarController;

// The start-up steps on the application's real services and windows.
class LiveShellServices final : public ShellServices {
public:
    // Makes the popover's view; the window hosts whatever this returns.
    using PopoverContentFactory = std::function<QWidget*()>;

    explicit LiveShellServices(QDBusConnection sessionBus);
    ~LiveShellServices() override;

    // Swaps the popover's view (the plain status view until then).
    void setPopoverContentFactory(PopoverContentFactory factory) { m_contentFactory = std::move(factory); }

    MenuBarController* menuBar() const { return m_menuBar.get(); }

    void becomeAccessory() override;
    void becomeNotificationDelegate() override;
    bool onboardingCompleted() override;
    void requestNotificationPermission() override;
    void enableLaunchAtLogin() override;
    void createConfigurationManager() override;
    bool isFreshInstall() override;
    void setFreshInstall(bool fresh) override;
    Configuration configuration() override;
    void setConfiguration(const Configuration& configuration) override;
    void saveConfiguration() override;
    void createBlockingService() override;
    void createScheduleManager() override;
    void createHelperInstaller() override;
    void createBrowserBridge() override;
    void startBrowserBridgeMonitoring() override;
    void startBrowserShield() override;
    void startAppBlocker() override;
    void startAccountService() override;
    void startMissionTracker() override;
    void setupMenuBar() override;
    void startUpdater() override;
    void checkCurrentStatus() override;
    void checkAndUpdateBlocking() override;
    bool isHelperInstalled() override;
    void syncScheduleToHelper(const Configuration& configuration) override;
    bool requireAccount() override;
    bool accountSessionLookedUp() override;
    bool hasAccountSession() override;
    bool hasAccountSnapshot() override;
    void linkAnalyticsAccount() override;
    void captureAnalytics(const QString& event) override;
    void activateApplication() override;
    void showSettingsWindow() override;
    bool hasVisibleWindows() override;
    void stopBrowserShield() override;
    void stopAppBlocker() override;

private:
    QDBusConnection m_sessionBus;
    PopoverContentFactory m_contentFactory;
    std::unique_ptr<MenuBarController> m_menuBar;
};

// The title's width measure: the system font, as the panel shows text.
qreal measureStatusTitle(const QString& text);

} // namespace kestravin
