#include "app/services/appblocker/AppBlockerServiceInputs.h"

#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"

namespace kestravin {

AppBlockerServiceInputs::AppBlockerServiceInputs(BlockingService& blocking, DesktopBrowserBridge& bridge,
    ConfigurationManager& configuration, ScheduleManager& schedule, std::function<QDateTime()> now, QTimeZone timeZone,
    QObject* parent)
    : AppBlockerInputs(parent),
      m_blocking(blocking),
      m_bridge(bridge),
      m_configuration(configuration),
      m_schedule(schedule),
      m_now(now ? std::move(now) : [] { return QDateTime::currentDateTime(); }),
      m_timeZone(std::move(timeZone))
{
    connect(&m_blocking, &BlockingService::isBlockingChanged, this, &AppBlockerInputs::focusInputsChanged);
    connect(&m_bridge, &DesktopBrowserBridge::enabledChanged, this, &AppBlockerInputs::focusInputsChanged);
    connect(&m_bridge, &DesktopBrowserBridge::focusChanged, this, &AppBlockerInputs::focusInputsChanged);
    // The blocker drops lists equal to the last one, so every save may pass.
    connect(&m_configuration, &ConfigurationManager::configurationChanged, this, &AppBlockerInputs::blockedAppsChanged);
}

bool AppBlockerServiceInputs::isBlocking() const
{
    return m_blocking.isBlocking();
}

bool AppBlockerServiceInputs::browserSyncEnabled() const
{
    return m_bridge.enabled();
}

bool AppBlockerServiceInputs::browserFocusEnabled() const
{
    return m_bridge.focus().enabled;
}

QList<BlockedApp> AppBlockerServiceInputs::blockedApps() const
{
    return m_configuration.configuration().blockedApps;
}

std::optional<QDateTime> AppBlockerServiceInputs::sessionEndTime() const
{
    const QDateTime end = m_schedule.sessionEndTime();
    return end.isValid() ? std::optional<QDateTime>(end) : std::nullopt;
}

std::optional<QDateTime> AppBlockerServiceInputs::scheduleNextDeactivation() const
{
    return m_configuration.configuration().schedule.nextDeactivation(m_now(), m_timeZone);
}

} // namespace kestravin
