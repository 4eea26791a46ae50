#include "app/shell/LiveShellServices.h"

#include "app/platform/Diagnostics.h"
#include "app/platform/linux/FreedesktopNotifications.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/account/MissionTracker.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/appblocker/AppBlocker.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/services/shield/DesktopBrowserShield.h"
#include "app/services/update/AppUpdater.h"
#include "app/shell/LaunchAtLogin.h"
#include "app/shell/MenuBarController.h"
#include "app/shell/PopoverWindow.h"
#include "app/shell/SettingsShortcut.h"
#include "app/shell/UpdaterViews.h"
#include "app/views/account/OrlaAccountView.h"
#include "app/views/blocker/ApprovalGuide.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBarServices.h"
#include "app/views/onboarding/OnboardingBinding.h"
#include "app/views/onboarding/OnboardingWindowController.h"
#include "app/views/settings/SettingsPages.h"
#include "app/views/settings/SettingsWindowController.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace kestravin {

qreal measureStatusTitle(const QString& text)
{
    static const QFontMetricsF metrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    return metrics.horizontalAdvance(text);
}

LiveShellServices::LiveShellServices(QDBusConnection sessionBus) : m_sessionBus(std::move(sessionBus))
{
    // Signing out on the account page ends at the launch gate.
    OrlaAccountView::requireAccountHook() = [] { OnboardingWindowController::shared().requireAccount(); };
    AboutPage::reviewWelcomeHook() = [] { OnboardingWindowController::shared().reviewWelcome(); };
    // The wizard's screens over the application's own configuration, account
    // and installer.
    OnboardingWindowController::shared().setContentFactory(OnboardingBinding::content(&OnboardingStepServices::shared));
}

LiveShellServices::~LiveShellServices() = default;

void LiveShellServices::becomeAccessory()
{
    // No Dock here: the tray keeps the application alive without a window.
    QApplication::setQuitOnLastWindowClosed(false);
}

void LiveShellServices::becomeNotificationDelegate()
{
    // Notices are shown as they are posted; there is no delegate to become.
}

bool LiveShellServices::onboardingCompleted()
{
    return OnboardingWindowController::onboardingCompleted();
}

void LiveShellServices::requestNotificationPermission()
{
    static auto* notifications = new FreedesktopNotifications(m_sessionBus, qApp);
    notifications->requestAuthorization([](bool granted) {
        printDiagnostic(granted ? u"✅ Notification permission granted"_s : u"⚠️ Notification permission denied"_s);
    });
}

void LiveShellServices::enableLaunchAtLogin()
{
    LaunchAtLogin::enable(LaunchAtLogin::autostartFolder(), QCoreApplication::applicationFilePath());
}

void LiveShellServices::createConfigurationManager()
{
    ConfigurationManager::shared();
}

bool LiveShellServices::isFreshInstall()
{
    return ConfigurationManager::shared().isFreshInstall();
}

void LiveShellServices::setFreshInstall(bool fresh)
{
    ConfigurationManager::shared().setFreshInstall(fresh);
}

Configuration LiveShellServices::configuration()
{
    return ConfigurationManager::shared().configuration();
}

void LiveShellServices::setConfiguration(const Configuration& configuration)
{
    ConfigurationManager::shared().setConfiguration(configuration);
}

void LiveShellServices::saveConfiguration()
{
    ConfigurationManager::shared().saveConfiguration();
}

void LiveShellServices::createBlockingService()
{
    BlockingService::shared();
}

void LiveShellServices::createScheduleManager()
{
    ScheduleManager::shared();
}

void LiveShellServices::createHelperInstaller()
{
    ApprovalGuide::shared().follow(HelperInstaller::shared());
}

void LiveShellServices::createBrowserBridge()
{
    DesktopBrowserBridge::shared();
}

void LiveShellServices::startBrowserBridgeMonitoring()
{
    DesktopBrowserBridge::shared().startMonitoring();
}

void LiveShellServices::startBrowserShield()
{
    DesktopBrowserShield::shared().start();
}

void LiveShellServices::startAppBlocker()
{
    AppBlocker::shared().start();
}

void LiveShellServices::startAccountService()
{
    DesktopAccountService::shared().start();
}

void LiveShellServices::startMissionTracker()
{
    MissionTracker::shared().start();
}

void LiveShellServices::setupMenuBar()
{
    MenuBarInputs inputs {
        [] { return BlockingService::shared().isBlocking(); },
        [] { return DesktopBrowserBridge::shared().enabled(); },
        [] { return DesktopBrowserBridge::shared().focus().enabled; },
        [] { return ScheduleManager::shared().remainingTime(); },
        [] { return OnboardingWindowController::shared().requireAccount(); },
    };
    m_menuBar = std::make_unique<MenuBarController>(
        m_sessionBus, std::move(inputs), Scheduler::system(), Clock::system(), &measureStatusTitle);
    PopoverWindow& popover = m_menuBar->popover();
    if (m_contentFactory) {
        popover.setContent(m_contentFactory());
    } else {
        MenuBarServices services = MenuBarServices::shared();
        if (!AppUpdater::configuredFeedUrl().isEmpty()) {
            static auto* phase = new AppUpdaterPhaseSource(AppUpdater::shared());
            services.updater = phase;
        }
        auto* content = new MenuBarPopoverView(services);
        QObject::connect(content, &MenuBarPopoverView::closeRequested, &popover, &QWidget::hide);
        popover.setContent(content);
    }
    // "Ajustes…" with Ctrl+, from any window of the application.
    new SettingsShortcut([] { SettingsWindowController::shared().show(); }, &popover);
    m_menuBar->setupMenuBar();
}

void LiveShellServices::startUpdater()
{
    // No feed, no updater: the Debian package is updated by the package manager.
    if (AppUpdater::configuredFeedUrl().isEmpty()) {
        return;
    }
    AppUpdater::shared().start();
    if (!AppUpdater::shared().isStarted()) {
        return;
    }
    SettingsPages pages = SettingsPages::standard();
    pages.about = [] {
        return new AboutPage(*new AppUpdaterSettings(AppUpdater::shared(), QCoreApplication::applicationVersion()));
    };
    SettingsWindowController::shared().setPages(std::move(pages));
}

void LiveShellServices::checkCurrentStatus()
{
    BlockingService::shared().checkCurrentStatus();
}

void LiveShellServices::checkAndUpdateBlocking()
{
    ScheduleManager::shared().checkAndUpdateBlocking();
}

bool LiveShellServices::isHelperInstalled()
{
    return HelperInstaller::shared().isHelperInstalled();
}

void LiveShellServices::syncScheduleToHelper(const Configuration& configuration)
{
    BlockingService::shared().syncScheduleToHelper(configuration);
}

bool LiveShellServices::requireAccount()
{
    return OnboardingWindowController::shared().requireAccount();
}

bool LiveShellServices::hasAccountSession()
{
    return DesktopAccountService::shared().session().has_value();
}

bool LiveShellServices::hasAccountSnapshot()
{
    return DesktopAccountService::shared().snapshot().has_value();
}

void LiveShellServices::linkAnalyticsAccount()
{
    ProductAnalytics::linkAccount();
}

void LiveShellServices::captureAnalytics(const QString& event)
{
    ProductAnalytics::capture(event);
}

void LiveShellServices::activateApplication()
{
    // The window that opens next raises and activates itself.
}

void LiveShellServices::showSettingsWindow()
{
    SettingsWindowController::shared().show();
}

bool LiveShellServices::hasVisibleWindows()
{
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
        [](const QWidget* window) { return window->isVisible() && !window->isMinimized(); });
}

void LiveShellServices::stopBrowserShield()
{
    DesktopBrowserShield::shared().stop();
}

void LiveShellServices::stopAppBlocker()
{
    AppBlocker::shared().stop();
}

} // namespace kestravin
