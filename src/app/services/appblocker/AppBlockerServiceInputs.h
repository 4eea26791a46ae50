#pragma once

#include "app/services/appblocker/AppBlockerInputs.h"

#include <QTimeZone>

#include <functional>

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class DesktopBrowserBridge;
class ScheduleManager;

// What the app blocker follows, read from the application's services: the
// site block of the blocking service, the browser bridge's switch and shared
// focus, the configuration's block list and schedule, and the schedule
// manager's running session.
class AppBlockerServiceInputs final : public AppBlockerInputs {
    Q_OBJECT
public:
    AppBlockerServiceInputs(BlockingService& blocking, DesktopBrowserBridge& bridge,
        ConfigurationManager& configuration, ScheduleManager& schedule, std::function<QDateTime()> now = {},
        QTimeZone timeZone = QTimeZone::systemTimeZone(), QObject* parent = nullptr);

    bool isBlocking() const override;
    bool browserSyncEnabled() const override;
    bool browserFocusEnabled() const override;
    QList<BlockedApp> blockedApps() const override;
    std::optional<QDateTime> sessionEndTime() const override;
    std::optional<QDateTime> scheduleNextDeactivation() const override;

private:
    BlockingService& m_blocking;
    DesktopBrowserBridge& m_bridge;
    ConfigurationManager& m_configuration;
    ScheduleManager& m_schedule;
    std::function<QDateTime()> m_now;
    QTimeZone m_timeZone;
};

} // namespace kestravin
