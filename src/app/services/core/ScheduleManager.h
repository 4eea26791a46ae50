#pragma once

#include "app/models/Configuration.h"
#include "app/platform/Clock.h"
#include "app/platform/NotificationCenter.h"
#include "app/platform/Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QTimeZone>

#include <functional>
#include <memory>
#include <optional>

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class HelperInstaller;

// The application's clock for focus: every 60 s it brings the published block
// state up to date (and starts the block itself where no daemon is
// installed), keeps a line about the next schedule edge, notifies the user
// when focus begins and ends, hands configuration changes to the daemon at
// most once a second (and the whole schedule to a daemon that comes back),
// and runs manual focus sessions with a 1 s countdown.
class ScheduleManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isScheduleActive READ isScheduleActive NOTIFY isScheduleActiveChanged)
    Q_PROPERTY(bool manualOverride READ manualOverride NOTIFY manualOverrideChanged)
    Q_PROPERTY(QString nextScheduledEvent READ nextScheduledEvent NOTIFY nextScheduledEventChanged)
    Q_PROPERTY(QDateTime sessionEndTime READ sessionEndTime NOTIFY sessionEndTimeChanged)
    Q_PROPERTY(QString remainingTime READ remainingTime NOTIFY remainingTimeChanged)
public:
    static constexpr std::chrono::milliseconds checkInterval { 60000 };
    static constexpr std::chrono::milliseconds countdownInterval { 1000 };
    static constexpr std::chrono::milliseconds pushDebounce { 1000 };
    static constexpr std::chrono::milliseconds sessionTail { 5000 };

    struct Environment {
        QTimeZone timeZone = QTimeZone::systemTimeZone();
        // The browser-extension sync switch ("desktopBrowserSync").
        std::function<bool()> browserSyncEnabled;
    };

    ScheduleManager(ConfigurationManager& configManager, BlockingService& blocking, HelperInstaller& installer,
        NotificationCenter& notifications, Clock& clock, Scheduler& scheduler, Environment environment,
        QObject* parent = nullptr);
    ~ScheduleManager() override;

    static ScheduleManager& shared();

    bool isScheduleActive() const { return m_isScheduleActive; }
    bool manualOverride() const { return m_manualOverride; }
    QString nextScheduledEvent() const { return m_nextScheduledEvent; }
    // Invalid while no manual session runs.
    QDateTime sessionEndTime() const { return m_sessionEndTime; }
    QString remainingTime() const { return m_remainingTime; }

    bool hasPendingScheduleChanges() const { return m_hasPendingScheduleChanges; }
    // The week editor and the first-run wizard mark a change made during a block.
    void setHasPendingScheduleChanges(bool pending) { m_hasPendingScheduleChanges = pending; }

    void startMonitoring();
    void checkAndUpdateBlocking();
    void updateStatus();
    void blockForDuration(int minutes);

    void sendSessionStartNotification(int minutes);
    void sendSessionEndNotification();
    void sendScheduledBlockingStartNotification();
    void sendScheduledBlockingEndNotification();

    // The browser bridge mirrors the browser focus here, so that the menu bar
    // counts it down; an invalid end means none.
    void setSessionEndTime(const QDateTime& value);
    void setRemainingTime(const QString& value);

Q_SIGNALS:
    void isScheduleActiveChanged();
    void manualOverrideChanged();
    void nextScheduledEventChanged();
    void sessionEndTimeChanged();
    void remainingTimeChanged();

private:
    void checkForBlockingStateChange();
    void configurationChanged();
    void handConfiguration(const Configuration& configuration);
    void syncSchedule(const Configuration& configuration);
    void syncPendingChangesIfNeeded();
    void startSession(const QDateTime& end, int minutes);
    void endSession();
    void startCountdown();
    void updateCountdown();
    void notify(const QString& title, const QString& body);
    // The schedule last handed to the daemon, kept beside config.json so that
    // a restart of the application knows what the daemon holds.
    QString handedSchedulePath() const;
    std::optional<HelperScheduleConfig> loadHandedSchedule() const;
    void storeHandedSchedule(const HelperScheduleConfig& schedule);

    void setScheduleActive(bool value);
    void setManualOverride(bool value);
    void setNextScheduledEvent(const QString& value);

    ConfigurationManager& m_configManager;
    BlockingService& m_blocking;
    HelperInstaller& m_installer;
    NotificationCenter& m_notifications;
    Clock& m_clock;
    Scheduler& m_scheduler;
    Environment m_environment;

    bool m_isScheduleActive = false;
    bool m_manualOverride = false;
    QString m_nextScheduledEvent;
    QDateTime m_sessionEndTime;
    QString m_remainingTime;
    bool m_hasPendingScheduleChanges = false;
    bool m_previousBlockingState = false;
    std::unique_ptr<Timer> m_timer;
    std::unique_ptr<Timer> m_countdownTimer;
    std::unique_ptr<Timer> m_debounce;
    // Only the latest session's end counts.
    int m_sessionGeneration = 0;
    // The schedule the daemon was last handed; unknown until the first
    // hand-over when no record survives from an earlier run.
    std::optional<HelperScheduleConfig> m_daemonSchedule;
};

} // namespace kestravin
