#include "MenuBlockingPort.h"

#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperInstaller.h"

namespace kestravin {

DesktopMenuBrowserPort::DesktopMenuBrowserPort(DesktopBrowserBridge& bridge, QObject* parent)
    : MenuBrowserPort(parent), m_bridge(bridge)
{
    connect(&m_bridge, &DesktopBrowserBridge::enabledChanged, this, &MenuBrowserPort::changed);
    connect(&m_bridge, &DesktopBrowserBridge::focusChanged, this, &MenuBrowserPort::changed);
}

bool DesktopMenuBrowserPort::enabled() const
{
    return m_bridge.enabled();
}

BrowserFocus DesktopMenuBrowserPort::focus() const
{
    return m_bridge.focus();
}

void DesktopMenuBrowserPort::begin(int minutes)
{
    m_bridge.begin(minutes);
}

DesktopMenuBlockingPort::DesktopMenuBlockingPort(BlockingService& blocking, ScheduleManager& scheduleManager,
    ConfigurationManager& configManager, HelperInstaller& installer, MenuBrowserPort& browser, QObject* parent)
    : MenuBlockingPort(parent),
      m_blocking(blocking),
      m_scheduleManager(scheduleManager),
      m_configManager(configManager),
      m_installer(installer),
      m_browser(browser)
{
    connect(&m_blocking, &BlockingService::isBlockingChanged, this, &MenuBlockingPort::changed);
    connect(&m_scheduleManager, &ScheduleManager::sessionEndTimeChanged, this, &MenuBlockingPort::changed);
    connect(&m_scheduleManager, &ScheduleManager::remainingTimeChanged, this, &MenuBlockingPort::changed);
    connect(&m_configManager, &ConfigurationManager::configurationChanged, this, &MenuBlockingPort::changed);
    connect(&m_installer, &HelperInstaller::isHelperInstalledChanged, this, &MenuBlockingPort::changed);
    connect(&m_installer, &HelperInstaller::isInstallingChanged, this, &MenuBlockingPort::changed);
    connect(&m_browser, &MenuBrowserPort::changed, this, &MenuBlockingPort::changed);
}

bool DesktopMenuBlockingPort::isBlocking() const
{
    return m_blocking.isBlocking();
}

QDateTime DesktopMenuBlockingPort::sessionEndTime() const
{
    return m_scheduleManager.sessionEndTime();
}

QString DesktopMenuBlockingPort::remainingTime() const
{
    return m_scheduleManager.remainingTime();
}

Configuration DesktopMenuBlockingPort::configuration() const
{
    return m_configManager.configuration();
}

bool DesktopMenuBlockingPort::helperInstalled() const
{
    return m_installer.isHelperInstalled();
}

bool DesktopMenuBlockingPort::helperInstalling() const
{
    return m_installer.isInstalling();
}

bool DesktopMenuBlockingPort::browserSyncEnabled() const
{
    return m_browser.enabled();
}

BrowserFocus DesktopMenuBlockingPort::browserFocus() const
{
    return m_browser.focus();
}

void DesktopMenuBlockingPort::blockForDuration(int minutes)
{
    m_scheduleManager.blockForDuration(minutes);
}

void DesktopMenuBlockingPort::beginBrowserFocus(int minutes)
{
    m_browser.begin(minutes);
}

void DesktopMenuBlockingPort::installHelper()
{
    ConfigurationManager* config = &m_configManager;
    BlockingService* blocking = &m_blocking;
    m_installer.installHelper(
        [config, blocking](bool, const QString&) { blocking->syncScheduleToHelper(config->configuration()); });
}

void DesktopMenuBlockingPort::setAutomaticHours(bool on)
{
    Configuration configuration = m_configManager.configuration();
    configuration.enabled = on;
    m_configManager.setConfiguration(configuration);
    m_configManager.saveConfiguration();
}

} // namespace kestravin
