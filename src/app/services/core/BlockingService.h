#pragma once

#include "app/models/BlockingStatus.h"
#include "app/models/Configuration.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

namespace kestravin {

class HelperConnection;
class HelperInstaller;

// The application's owner of the site block: it publishes whether the block
// section is in the hosts file (asked of the daemon, or read from the file
// when no daemon is installed), asks the daemon to block now or until an end
// that the daemon itself keeps, hands it the week schedule, and writes the
// two manual scripts at start.
class BlockingService : public QObject {
    Q_OBJECT
    Q_PROPERTY(kestravin::BlockingStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isBlocking READ isBlocking NOTIFY isBlockingChanged)
public:
    using Completion = std::function<void(bool success)>;

    struct Paths {
        // Read when no daemon is installed.
        QString hostsPath;
        // Where the manual scripts go ($XDG_DATA_HOME/Kestravin).
        QString dataFolder;
    };

    static const QString blockMarkerStart;
    static const QString notInstalledMessage;

    BlockingService(HelperConnection& connection, HelperInstaller& installer, Clock& clock, Scheduler& scheduler,
        Paths paths, QObject* parent = nullptr);

    static BlockingService& shared();
    static Paths defaultPaths();

    BlockingStatus status() const { return m_status; }
    bool isBlocking() const { return m_isBlocking; }
    // The end of the manual block that the daemon holds for us, if one runs.
    std::optional<QDateTime> manualBlockEnd() const;

    void checkCurrentStatus();
    // Re-checks 0.5, 1.5, 3, 6 and 10 s from now; a newer call silences older ones.
    void refreshSoon();
    // Blocks the sites now. While our manual block runs, the sites join it
    // and keep its end.
    void activateBlocking(const QStringList& sites);
    // Blocks the sites until `minutes` from now; the daemon lifts the block at
    // that end by itself. `completion` runs exactly once, on the GUI thread.
    void activateBlockingWithScheduledEnd(const QStringList& sites, int minutes, Completion completion);
    void syncScheduleToHelper(const Configuration& configuration);

    // The texts of the manual scripts, for the hosts file at `hostsPath`;
    // "activate" writes the entries for `hosts`, which passed the host check.
    static QString focusHelperScript(const QString& hostsPath, const QStringList& hosts);
    static QString deactivateScript(const QString& hostsPath);

Q_SIGNALS:
    void statusChanged();
    void isBlockingChanged();
    // A timed block whose request had timed out turned out to be in force;
    // its session should run until `end`.
    void timedBlockAdopted(const QDateTime& end);

private:
    void setStatus(const BlockingStatus& status);
    void setIsBlocking(bool value);
    void applyBlockState(bool active);
    void requestTimedBlock(const QStringList& hosts, int minutes, Completion completion);
    void arrangeEnd(const QDateTime& end);
    // Rewrites the scripts when the hosts differ from the ones they hold.
    void writeManualScripts(const QStringList& hosts);

    HelperConnection& m_connection;
    HelperInstaller& m_installer;
    Clock& m_clock;
    Scheduler& m_scheduler;
    Paths m_paths;
    std::optional<QStringList> m_scriptHosts;

    BlockingStatus m_status = BlockingStatus::inactive();
    bool m_isBlocking = false;
    bool m_isActivationInProgress = false;
    int m_refreshGeneration = 0;
    int m_endGeneration = 0;
    std::optional<QDateTime> m_manualEnd;
    // The end of a timed request that timed out: the daemon may still have
    // applied it, and the next re-check that finds the block adopts it.
    std::optional<QDateTime> m_unconfirmedEnd;
};

} // namespace kestravin
