#include "app/services/core/ScheduleManager.h"

#include "app/models/FocusCountdown.h"
#include "app/platform/Diagnostics.h"
#include "app/platform/linux/FreedesktopNotifications.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/AppEvents.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/daemon/HelperInstaller.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QPointer>
#include <QSaveFile>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

Q_LOGGING_CATEGORY(scheduleLog, "com.kestravin.app.ScheduleManager")

namespace {

// True when `next` keeps the days and the switch of `previous` and only adds
// sites to it: such a change may reach the daemon during a block, since it
// can only block more.
bool onlyAddsSites(const HelperScheduleConfig& previous, const HelperScheduleConfig& next)
{
    if (previous.daySchedules != next.daySchedules || previous.enabled != next.enabled) {
        return false;
    }
    const bool keepsAll = std::all_of(previous.blockedSites.cbegin(), previous.blockedSites.cend(),
        [&](const QString& site) { return next.blockedSites.contains(site); });
    const bool addsSome = std::any_of(next.blockedSites.cbegin(), next.blockedSites.cend(),
        [&](const QString& site) { return !previous.blockedSites.contains(site); });
    return keepsAll && addsSome;
}

} // namespace

ScheduleManager::ScheduleManager(ConfigurationManager& configManager, BlockingService& blocking,
    HelperInstaller& installer, NotificationCenter& notifications, Clock& clock, Scheduler& scheduler,
    Environment environment, QObject* parent)
    : QObject(parent),
      m_configManager(configManager),
      m_blocking(blocking),
      m_installer(installer),
      m_notifications(notifications),
      m_clock(clock),
      m_scheduler(scheduler),
      m_environment(std::move(environment))
{
    m_daemonSchedule = loadHandedSchedule();
    if (!m_environment.browserSyncEnabled) {
        m_environment.browserSyncEnabled = [] { return false; };
    }
    m_configManager.setScheduleManager(this);
    connect(&m_blocking, &BlockingService::timedBlockAdopted, this, [this](const QDateTime& end) {
        const qint64 seconds = m_clock.now().secsTo(end);
        if (seconds > 0) {
            startSession(end, int(std::max<qint64>((seconds + 59) / 60, 1)));
        }
    });
    // A daemon that comes (back) holds whatever schedule it last read, or
    // none: as at start-up it is handed ours whatever the block state we last
    // knew, and that state is asked anew.
    connect(&m_installer, &HelperInstaller::isHelperInstalledChanged, this, [this] {
        if (m_installer.isHelperInstalled()) {
            syncSchedule(m_configManager.configuration());
            m_hasPendingScheduleChanges = false;
        }
        checkAndUpdateBlocking();
    });
    startMonitoring();
    updateStatus();
    connect(
        &m_configManager, &ConfigurationManager::configurationChanged, this, &ScheduleManager::configurationChanged);
    // The subscription delivers the current value too.
    configurationChanged();
}

ScheduleManager::~ScheduleManager()
{
    m_configManager.setScheduleManager(nullptr);
}

ScheduleManager& ScheduleManager::shared()
{
    static auto* notifications = new FreedesktopNotifications(QDBusConnection::sessionBus());
    static auto* manager = new ScheduleManager(ConfigurationManager::shared(), BlockingService::shared(),
        HelperInstaller::shared(), *notifications, Clock::system(), Scheduler::system(),
        { QTimeZone::systemTimeZone(), [] { return DesktopBrowserBridge::storedSyncEnabled(); } });
    return *manager;
}

void ScheduleManager::setScheduleActive(bool value)
{
    if (m_isScheduleActive != value) {
        m_isScheduleActive = value;
        Q_EMIT isScheduleActiveChanged();
    }
}

void ScheduleManager::setManualOverride(bool value)
{
    if (m_manualOverride != value) {
        m_manualOverride = value;
        Q_EMIT manualOverrideChanged();
    }
}

void ScheduleManager::setNextScheduledEvent(const QString& value)
{
    if (m_nextScheduledEvent != value) {
        m_nextScheduledEvent = value;
        Q_EMIT nextScheduledEventChanged();
    }
}

void ScheduleManager::setSessionEndTime(const QDateTime& value)
{
    if (m_sessionEndTime.isValid() == value.isValid() && (!value.isValid() || m_sessionEndTime == value)) {
        return;
    }
    m_sessionEndTime = value;
    Q_EMIT sessionEndTimeChanged();
    m_blocking.refreshSoon();
}

void ScheduleManager::setRemainingTime(const QString& value)
{
    if (m_remainingTime != value) {
        m_remainingTime = value;
        Q_EMIT remainingTimeChanged();
    }
}

void ScheduleManager::startMonitoring()
{
    m_timer = m_scheduler.startTimer(checkInterval, true, [this] { checkAndUpdateBlocking(); });
    checkAndUpdateBlocking();
}

void ScheduleManager::checkAndUpdateBlocking()
{
    if (m_environment.browserSyncEnabled()) {
        m_blocking.checkCurrentStatus();
        updateStatus();
        return;
    }
    const Configuration config = m_configManager.configuration();
    if (!config.enabled) {
        checkForBlockingStateChange();
        updateStatus();
        return;
    }
    const QDateTime now = m_clock.now();
    const bool active = config.schedule.isActiveNow(now, m_environment.timeZone);
    if (m_manualOverride) {
        updateStatus();
        return;
    }
    if (m_installer.isHelperInstalled()) {
        m_blocking.checkCurrentStatus();
        checkForBlockingStateChange();
        updateStatus();
        return;
    }
    const bool blocking = m_blocking.isBlocking();
    if (active && !blocking) {
        const auto end = config.schedule.nextDeactivation(now, m_environment.timeZone);
        if (!end) {
            m_blocking.activateBlocking(config.blockedSites);
        } else {
            const qint64 minutes = now.secsTo(*end) / 60;
            if (minutes >= 1) {
                QPointer<ScheduleManager> self(this);
                m_blocking.activateBlockingWithScheduledEnd(
                    config.blockedSites, int(std::min<qint64>(minutes, INT_MAX)), [self](bool success) {
                        if (self && success) {
                            self->checkForBlockingStateChange();
                            self->updateStatus();
                        }
                    });
            }
        }
    } else if (!active && blocking) {
        m_blocking.checkCurrentStatus();
    }
    checkForBlockingStateChange();
    updateStatus();
}

void ScheduleManager::checkForBlockingStateChange()
{
    const bool blocking = m_blocking.isBlocking();
    if (m_manualOverride || m_sessionEndTime.isValid()) {
        // The block of a manual session is not an edge of the schedule; had
        // it been recorded, its end would later read as a scheduled end.
        return;
    }
    if (blocking && !m_previousBlockingState) {
        sendScheduledBlockingStartNotification();
    } else if (!blocking && m_previousBlockingState) {
        sendScheduledBlockingEndNotification();
        syncPendingChangesIfNeeded();
    }
    m_previousBlockingState = blocking;
}

void ScheduleManager::updateStatus()
{
    const Configuration& config = m_configManager.configuration();
    if (!config.enabled) {
        setNextScheduledEvent(u"Scheduling disabled"_s);
        return;
    }
    const QDateTime now = m_clock.now();
    const QTimeZone& zone = m_environment.timeZone;
    const bool active = config.schedule.isActiveNow(now, zone);
    setScheduleActive(active);
    const QLocale locale = QLocale::system();
    if (active) {
        if (const auto end = config.schedule.nextDeactivation(now, zone)) {
            setNextScheduledEvent(u"Ends at "_s + locale.toString(end->toTimeZone(zone), u"HH:mm"_s));
        }
        return;
    }
    if (const auto start = config.schedule.nextActivation(now, zone)) {
        setNextScheduledEvent(u"Starts "_s + locale.toString(start->toTimeZone(zone), u"ddd HH:mm"_s));
    } else {
        setNextScheduledEvent(u"No upcoming schedule"_s);
    }
}

void ScheduleManager::configurationChanged()
{
    // A burst of edits reaches the daemon once, a second after the last one.
    m_debounce = m_scheduler.startTimer(pushDebounce, false, [this] {
        const Configuration configuration = m_configManager.configuration();
        handConfiguration(configuration);
    });
}

void ScheduleManager::handConfiguration(const Configuration& configuration)
{
    if (m_blocking.isBlocking()) {
        // Sites added during a focus must reach the daemon now, or its next
        // check would write the old list back; anything else waits.
        if (m_daemonSchedule && onlyAddsSites(*m_daemonSchedule, configuration.helperScheduleConfig())) {
            syncSchedule(configuration);
            return;
        }
        printDiagnostic(u"Configuration changed during active session - will sync after session ends"_s);
        m_hasPendingScheduleChanges = true;
        return;
    }
    syncSchedule(configuration);
}

void ScheduleManager::syncSchedule(const Configuration& configuration)
{
    m_blocking.syncScheduleToHelper(configuration);
    if (m_installer.isHelperInstalled()) {
        m_daemonSchedule = configuration.helperScheduleConfig();
        storeHandedSchedule(*m_daemonSchedule);
    }
}

QString ScheduleManager::handedSchedulePath() const
{
    return QFileInfo(m_configManager.configPath()).absolutePath() + u"/daemon-schedule.json"_s;
}

std::optional<HelperScheduleConfig> ScheduleManager::loadHandedSchedule() const
{
    QFile file(handedSchedulePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return HelperScheduleConfig::fromJsonBytes(file.readAll());
}

void ScheduleManager::storeHandedSchedule(const HelperScheduleConfig& schedule)
{
    QDir().mkpath(QFileInfo(handedSchedulePath()).absolutePath());
    QSaveFile file(handedSchedulePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(schedule.toJsonBytes()) < 0 || !file.commit()) {
        // Without the record a restart treats the daemon's schedule as
        // unknown, which only holds back more changes, never fewer.
        QFile::remove(handedSchedulePath());
        printDiagnostic(u"Could not record the schedule handed to the helper: "_s + file.errorString());
    }
}

void ScheduleManager::syncPendingChangesIfNeeded()
{
    if (!m_hasPendingScheduleChanges) {
        return;
    }
    printDiagnostic(u"Syncing pending schedule changes to helper..."_s);
    syncSchedule(m_configManager.configuration());
    m_hasPendingScheduleChanges = false;
}

void ScheduleManager::blockForDuration(int minutes)
{
    if (minutes < 1) {
        printDiagnostic(u"Invalid duration: %1 minutes"_s.arg(minutes));
        return;
    }
    printDiagnostic(u"Starting focus session for %1 minutes"_s.arg(minutes));
    QPointer<ScheduleManager> self(this);
    m_blocking.activateBlockingWithScheduledEnd(
        m_configManager.configuration().blockedSites, minutes, [self, minutes](bool success) {
            printDiagnostic(u"Focus session activation completed: "_s + (success ? u"true"_s : u"false"_s));
            if (!self) {
                printDiagnostic(u"Self was nil in completion"_s);
                return;
            }
            if (!success) {
                printDiagnostic(u"Focus session failed to start"_s);
                // A session that still runs keeps running: the daemon still
                // holds its block until its own end.
                if (self->m_sessionEndTime.isValid() && self->m_sessionEndTime > self->m_clock.now()) {
                    return;
                }
                self->setSessionEndTime(QDateTime());
                self->setRemainingTime(QString());
                self->setManualOverride(false);
                return;
            }
            const QDateTime end
                = self->m_blocking.manualBlockEnd().value_or(self->m_clock.now().addSecs(qint64(minutes) * 60));
            self->startSession(end, minutes);
        });
}

void ScheduleManager::startSession(const QDateTime& end, int minutes)
{
    setSessionEndTime(end);
    setManualOverride(true);
    startCountdown();
    sendSessionStartNotification(minutes);
    printDiagnostic(u"Focus session started successfully"_s);
    Q_EMIT AppEvents::shared().blockingStatusChanged();
    // A later session replaces this one: only the latest end counts.
    const int generation = ++m_sessionGeneration;
    const auto delay = std::chrono::milliseconds(std::max<qint64>(m_clock.now().msecsTo(end), 0)) + sessionTail;
    m_scheduler.runLater(delay, this, [this, generation] {
        if (generation == m_sessionGeneration) {
            endSession();
        }
    });
}

void ScheduleManager::endSession()
{
    // The session covered any edge of the hours that passed meanwhile; the
    // next check compares with the hours as they stand now, so that the end
    // of a focus that outlived its hours brings no second notice.
    const Configuration& config = m_configManager.configuration();
    m_previousBlockingState = config.enabled && config.schedule.isActiveNow(m_clock.now(), m_environment.timeZone);
    setSessionEndTime(QDateTime());
    setRemainingTime(QString());
    m_countdownTimer.reset();
    setManualOverride(false);
    sendSessionEndNotification();
    syncPendingChangesIfNeeded();
    m_blocking.checkCurrentStatus();
    updateStatus();
    Q_EMIT AppEvents::shared().blockingStatusChanged();
}

void ScheduleManager::startCountdown()
{
    m_countdownTimer.reset();
    updateCountdown();
    if (m_sessionEndTime.isValid()) {
        m_countdownTimer = m_scheduler.startTimer(countdownInterval, true, [this] { updateCountdown(); });
    }
}

void ScheduleManager::updateCountdown()
{
    if (!m_sessionEndTime.isValid()) {
        setRemainingTime(QString());
        return;
    }
    const qint64 remainingMs = m_clock.now().msecsTo(m_sessionEndTime);
    if (remainingMs <= 0) {
        setRemainingTime(QString());
        setSessionEndTime(QDateTime());
        // Dropped after this tick has finished; the timer is running it.
        if (m_countdownTimer) {
            m_countdownTimer->stop();
        }
        return;
    }
    setRemainingTime(FocusCountdown::label((remainingMs + 999) / 1000));
}

void ScheduleManager::notify(const QString& title, const QString& body)
{
    const auto status = m_notifications.authorizationStatus();
    qCInfo(scheduleLog, "Notification auth status: %ld", long(status));
    switch (status) {
    case NotificationCenter::Authorization::authorized:
        m_notifications.post(title, body, [title](const QString& error) {
            if (error.isEmpty()) {
                qCInfo(scheduleLog, "Notification sent: %s", qUtf8Printable(title));
            } else {
                qCWarning(scheduleLog, "Notification error: %s", qUtf8Printable(error));
            }
        });
        break;
    case NotificationCenter::Authorization::notDetermined: {
        qCInfo(scheduleLog, "Notification permission not determined, requesting...");
        QPointer<ScheduleManager> self(this);
        m_notifications.requestAuthorization([self, title, body](bool granted) {
            if (self && granted) {
                self->notify(title, body);
            }
        });
        break;
    }
    default:
        qCWarning(scheduleLog, "Notifications not authorized (status: %ld)", long(status));
        break;
    }
}

void ScheduleManager::sendSessionStartNotification(int minutes)
{
    notify(u"Foco começou"_s, u"Os sites e apps escolhidos ficam para depois por %1 min."_s.arg(minutes));
}

void ScheduleManager::sendSessionEndNotification()
{
    notify(u"Foco concluído"_s, u"Bom trabalho. Sites e apps estão livres de novo."_s);
}

void ScheduleManager::sendScheduledBlockingStartNotification()
{
    notify(u"Hora de focar"_s, u"Seu horário de foco começou. Os sites e apps escolhidos ficam para depois."_s);
}

void ScheduleManager::sendScheduledBlockingEndNotification()
{
    notify(u"Horário de foco concluído"_s, u"Sites e apps estão livres de novo."_s);
}

} // namespace kestravin
