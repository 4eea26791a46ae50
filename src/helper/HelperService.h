#pragma once

#include "HelperConfigStore.h"
#include "HelperTicker.h"
#include "contract/FileStamp.h"
#include "contract/HelperConstants.h"
#include "contract/HelperScheduleConfig.h"
#include "contract/LocalTime.h"

#include <QByteArray>
#include <QObject>
#include <QRecursiveMutex>
#include <QStringList>
#include <QTimeZone>

#include <functional>
#include <memory>
#include <optional>

namespace kestravin {

// The answer of a call that reports success or a message for the application.
struct HelperReply {
    bool success = true;
    QString message;

    static HelperReply ok() { return {}; }
    static HelperReply failure(QString message) { return { false, std::move(message) }; }
    bool operator==(const HelperReply&) const = default;
};

// The daemon's one service: it owns the block section of the hosts file, keeps
// its copy of the schedule (in memory and in its configuration file), switches
// blocking on and off by itself, and answers the application's calls. Every
// call runs under `stateLock`, as do the timer's poll and the full check.
class HelperService : public QObject {
    Q_OBJECT

public:
    struct Options {
        QString hostsPath = HelperConstants::hostsFilePath;
        QString configPath = HelperConstants::helperConfigPath;
        // The one clock of the service; the system clock when empty.
        std::function<Instant()> currentDate;
        // Replaces the system's DNS cache flush when set.
        std::function<void()> dnsFlush;
        // Receives each diagnostic line (without its line feed); standard
        // output when empty.
        std::function<void(const QString&)> log;
        // The poll timer; a QTimer when empty.
        std::unique_ptr<HelperTicker> ticker;
        // The zone of the weekly hours. Without one the service follows the
        // system's zone, looked up again at every full check.
        std::optional<QTimeZone> timeZone;
        // Ends the process after an uninstall; QCoreApplication::exit when empty.
        std::function<void(int)> exitProcess;
        // Whether construction starts the poll timer (which runs the first
        // full check at once). The configuration file is loaded either way.
        bool monitor = true;
    };

    static constexpr std::chrono::milliseconds pollInterval { 1000 };
    static constexpr double fullCheckInterval = 30.0;
    static constexpr double longestAccess = 1800.0;
    static constexpr qsizetype maximumControlBytes = 8000;
    static constexpr qsizetype maximumConfigurationBytes = 64000;
    static constexpr qsizetype maximumGrants = 10;
    // The application asks for at most 4 h; a manual end beyond this would
    // make one call a block that never ends.
    static constexpr double longestManualBlock = 24 * 3600.0;

    // The daemon's own service: real paths, system clock, timer running.
    HelperService();
    explicit HelperService(Options options);
    ~HelperService() override;

    // ---- Calls of the D-Bus interface --------------------------------------
    HelperReply activateBlocking(const QStringList& sites);
    // `endsAt` in seconds since 1970.
    HelperReply activateBlockingUntil(const QStringList& sites, double endsAt);
    HelperReply deactivateBlocking();
    bool isBlockingActive();
    QStringList getBlockedSites();
    HelperReply updateSchedule(const QByteArray& scheduleData, const QStringList& sites);
    HelperReply setScheduleEnabled(bool enabled);
    HelperReply updateBrowserControl(const QByteArray& data, const QByteArray& expectedConfiguration);
    // `expiresAt` in seconds since 1970.
    HelperReply grantScheduledAccess(
        const QString& platform, double expiresAt, const QByteArray& expectedConfiguration);
    HelperReply setSiteAccess(const QByteArray& data, const QByteArray& expectedConfiguration);
    QString getHelperVersion() const;
    HelperReply uninstallHelper();

    // ---- Hosts-file section (callers hold the lock) -------------------------
    QByteArray makeBlockEntries(const QStringList& sites) const;
    void performActivateBlocking(const QStringList& sites);
    void performDeactivateBlocking();
    QStringList getBlockedSitesFromHosts() const;
    std::optional<QString> blockedSite(QByteArrayView line) const;
    void flushDNSCache();
    // Whether the hosts file holds a start marker; an unreadable file answers false.
    bool isSectionPresent() const;

    // ---- Configuration store ------------------------------------------------
    void loadConfiguration();
    // Writes the configuration (and a manual block) to the file; true on success.
    bool saveConfiguration();

    // ---- Schedule -----------------------------------------------------------
    void startScheduleMonitoring();
    void setupTimer();
    void pollSchedule();
    void checkSchedule();
    bool isWithinSchedule(const HelperScheduleConfig& config) const;
    static std::optional<HelperTimeRange> activeRange(
        const HelperScheduleConfig& config, const LocalTime::WallClock& wall);
    std::optional<Instant> scheduledEnd(const HelperScheduleConfig& config, Instant now) const;
    static QString dayKeyFromWeekday(int weekday);

    // ---- State, for the entry and for tests ---------------------------------
    const std::optional<HelperScheduleConfig>& currentConfig() const { return m_currentConfig; }
    const std::optional<ManualBlock>& manualBlock() const { return m_manualBlock; }
    Instant nextScheduleCheck() const { return m_nextScheduleCheck; }
    bool isTimerRunning() const { return m_ticker->isActive(); }
    const QString& hostsPath() const { return m_hostsPath; }
    const QString& configPath() const { return m_store.path(); }
    static QStringList blockLoopbackAddresses();
    const QTimeZone& timeZone() const { return m_timeZone; }

    // The zone the system runs in now: TZ (a zone name or a path into the
    // zone database, links followed), else where /etc/localtime leads, else
    // Qt's idea of the system zone; UTC when none can be read.
    static QTimeZone currentSystemZone();

private:
    std::optional<FileStamp> hostsStamp() const;

    Instant now() const { return m_currentDate(); }
    void log(const QString& line) const;
    // The hosts file's bytes, in a buffer that the next read reuses; null when unreadable.
    const QByteArray* readHosts(QString* error = nullptr) const;
    bool writeHosts(const QByteArray& text, QString* error);
    // performActivateBlocking for hosts that passed the host check.
    // True when the file was written (the bytes are in m_writeBuffer).
    bool writeSection(const QStringList& sites);
    QStringList checkedHosts(const QStringList& sites) const;
    void clearAccessState();
    // The hosts the check wants in the section now; nothing when the check
    // leaves the section alone.
    std::optional<QStringList> wantedSites(const HelperScheduleConfig* config, Instant now, bool hadTimedAccess) const;
    // True when the hosts file holds `sites` afterwards.
    bool enforce(const QStringList& sites);
    // Whether the section lists every host of `sites` (and, `exactly`, no other).
    bool sectionHolds(const QStringList& sites, bool exactly) const;
    // Whether the hosts file shows what the check enforces for the current state.
    bool hostsMatchEnforcedState();
    bool writeConfigurationFile(const std::optional<HelperScheduleConfig>& config, bool createFolder, QString* error);
    std::optional<HelperScheduleConfig> decodeExpected(const QByteArray& data) const;
    // The schedule's hosts followed by the manual block's, remembered for the
    // next full check: with both lists unchanged (the usual case, and then they
    // share their data) no host set is built again.
    QStringList withManualSites(const QStringList& scheduled, const QStringList& manual) const;

    QString m_hostsPath;
    HelperConfigStore m_store;
    std::function<Instant()> m_currentDate;
    std::function<void()> m_dnsFlush;
    std::function<void(const QString&)> m_log;
    std::unique_ptr<HelperTicker> m_ticker;
    QTimeZone m_timeZone;
    bool m_followSystemZone = false;
    std::function<void(int)> m_exitProcess;

    Instant m_nextScheduleCheck { -1e300 };
    std::optional<HelperScheduleConfig> m_currentConfig;
    std::optional<ManualBlock> m_manualBlock;
    bool m_uninstalled = false;
    // Set by a full check that left the hosts file as the state wants it;
    // cleared by every change of the state. While it matches the file, the
    // per-second look of a manual focus has nothing to compare.
    // What the hosts file looked like when the check last found it in order.
    std::optional<FileStamp> m_enforcedStamp;
    mutable QRecursiveMutex m_stateLock;
    mutable QByteArray m_readBuffer;
    struct Union {
        QStringList first;
        QStringList second;
        QStringList result;
    };
    mutable std::optional<Union> m_lastUnion;
    QByteArray m_writeBuffer;
};

} // namespace kestravin
