#pragma once

#include "app/models/AccountRecords.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/AccountClient.h"
#include "app/services/account/DeviceLink.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

namespace kestravin {

class BlockingService;
class Clock;
class ConfigurationManager;
class HelperConnection;
class ScheduleManager;
class Scheduler;

// The account service: the session, the device link, the account state and
// the sync that keeps this computer's sites and hours in step with the
// account. Everything runs on the GUI thread; network results are checked
// against the epoch and the local edit counter before they touch state.
class DesktopAccountService : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds syncInterval { 10000 };
    static constexpr std::chrono::milliseconds saveDelay { 800 };
    static const QString syncedMessage;
    static const QString notOnboardedMessage;
    static const QString noSitesMessage;
    static const QString conflictMessage;
    static const QString folgaOfflineMessage;

    // What the service works with. The services of the blocking side are
    // reached through functions because they know this service themselves.
    struct Collaborators {
        AccountClient* client = nullptr;
        DeviceLink* link = nullptr;
        std::function<ConfigurationManager*()> configuration;
        std::function<BlockingService*()> blocking;
        std::function<ScheduleManager*()> schedule;
        std::function<HelperConnection*()> helper;
        Clock* clock = nullptr;
        Scheduler* scheduler = nullptr;
        std::function<QString()> systemTimeZone;
    };

    // Without collaborators the service stays signed out and holds only what
    // setSnapshot gives it.
    explicit DesktopAccountService(QObject* parent = nullptr);
    void attach(Collaborators collaborators);

    static DesktopAccountService& shared();

    const std::optional<DesktopAccountSnapshot>& snapshot() const { return m_snapshot; }
    void setSnapshot(std::optional<DesktopAccountSnapshot> snapshot);
    std::optional<DesktopAccountSession> session() const;
    // Whether the stored session has been looked up, so that no session
    // really means none; without a keyring answer it is still open.
    SessionLookup sessionLookup() const;

    bool connecting() const { return m_collaborators.link && m_collaborators.link->connecting(); }
    QString code() const { return m_collaborators.link ? m_collaborators.link->code() : QString(); }
    QString message() const { return m_collaborators.link ? m_collaborators.link->message() : QString(); }
    std::optional<QString> connectError() const;
    const std::optional<QString>& focusError() const { return m_focusError; }
    const AccountSaveState& saveState() const { return m_saveState; }
    const std::optional<qint64>& appliedRevision() const { return m_appliedRevision; }
    // The account grants the daemon applies now; empty while no focus runs.
    const QList<AccountGrant>& appliedGrants() const { return m_appliedGrants; }
    // A snapshot is present and its revision is the one written locally; with
    // no snapshot, true only while nothing was applied.
    bool scheduleSynced() const;
    // A round or an upload is in flight.
    bool syncing() const { return m_syncing; }
    bool uploading() const { return m_saving; }

    // Whether the account's focus runs at `nowMs` (milliseconds since 1970).
    static bool focusRuns(const std::optional<DesktopAccountSnapshot>& snapshot, double nowMs);

    // Reads the stored session once, starts the 10 s sync (once, however
    // often it is called) and syncs now. While the keyring does not answer,
    // every tick of the sync asks it again.
    void start();
    // The one guarded entry of a sync: a round while one runs only asks for
    // one more round after it.
    void syncNow();
    // The same, with `done` run once no pass runs any more (at once without
    // a session).
    void syncNow(std::function<void()> done);
    // One download-and-apply round, without the guard.
    void syncOnce(std::function<void()> done);

    void connect();
    void disconnect();
    // The same, with `done` run once the session is forgotten and the account
    // state cleared (at once without a device link).
    void disconnect(std::function<void()> done);

    // After every saved local edit of sites, apps or hours.
    void localEditChanged();
    void flushSave();
    // Marks the account onboarded with the local settings, then syncs.
    void finishOnboarding(std::function<void()> done = {});

    // One authenticated call of the account API: `done` gets the body of a
    // 200 reply or the failure (no session: configuration; a sign-in or
    // sign-out meanwhile: sessionChanged). An empty `method` posts `body`, or
    // gets without one. Redirects are never followed: a 3xx is a failure
    // carrying its status.
    void request(const QString& path, const QByteArray& method, std::optional<QByteArray> body,
        std::function<void(AccountReply)> done);

    // Starts a focus of `minutes` on the account; failures land in focusError.
    void startFocusFromMenu(qint64 minutes);
    // Starts a focus of `minutes` on the account; `done` gets the failure, if
    // any. Nothing else changes.
    void startFocus(qint64 minutes, std::function<void(std::optional<AccountFailure>)> done);
    using Finished = std::function<void(std::optional<AccountFailure>)>;
    // Uses one folga; `done` gets the failure, if any.
    void useFolga(Finished done);
    // Claims the folga of a mission met today; the new balance replaces the snapshot's.
    void earnFolga(const AccountMission& mission, Finished done);
    // The folga history, oldest first as the account sends it; changes nothing.
    void folgaHistory(std::function<void(std::optional<AccountFailure>, QList<FolgaEntry>)> done);
    // Replaces the account's daily goals; the snapshot takes them on success.
    void saveMissions(const QList<AccountMission>& missions, Finished done);

Q_SIGNALS:
    void snapshotChanged();
    // Every local edit reported through localEditChanged, whether or not it
    // is uploaded.
    void localEdit();
    // Any of the published values other than the snapshot changed.
    void stateChanged();

private:
    void loadSessionThenSync();

    struct Round {
        quint64 epoch = 0;
        quint64 localEpoch = 0;
    };
    Round round() const;
    // The one check after every wait: same session, no local edit, no upload
    // pending, running or queued.
    bool stillCurrent(const Round& round) const;
    bool sameSession(const Round& round) const;

    void setMessage(const QString& message);
    void setSaveState(AccountSaveState state);
    void cancelPendingSave();
    void clearAccountState();
    // Writes the snapshot's settings locally; the sentence of the failure, if any.
    std::optional<QString> apply(const DesktopAccountSnapshot& snapshot);
    // One authenticated call of an account operation: `handle` runs only while
    // the session that started it holds; otherwise `done` gets sessionChanged.
    void operation(const QString& path, const QByteArray& method, const QByteArray& body, Finished done,
        std::function<void(AccountReply, Finished)> handle);
    // Hands the grants of the account's running focus to the daemon.
    void applyGrants(const DesktopAccountSnapshot& snapshot, std::function<void()> done);
    void save(BrowserSettings settings, std::function<void(std::optional<AccountFailure>)> done);

    Collaborators m_collaborators;
    std::optional<DesktopAccountSnapshot> m_snapshot;
    std::optional<QString> m_focusError;
    AccountSaveState m_saveState;
    std::optional<qint64> m_appliedRevision;
    QList<AccountGrant> m_appliedGrants;
    bool m_grantsReconciled = false;
    std::unique_ptr<class Timer> m_timer;
    bool m_syncing = false;
    bool m_syncAgain = false;
    QList<std::function<void()>> m_syncWaiters;
    quint64 m_localEpoch = 0;
    quint64 m_saveGeneration = 0;
    bool m_savePending = false;
    bool m_saving = false;
    bool m_saveQueued = false;
};

} // namespace kestravin
