#pragma once

#include "app/models/AccountFolga.h"
#include "app/models/Missions.h"
#include "app/services/account/AccountClient.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

namespace kestravin {

class DesktopAccountService;
class Scheduler;

// The goal list being edited and its save. Every change asks for a save of
// the whole list 600 ms later; a newer change replaces a save that still
// waits. Saves go out strictly one after another, so an older list never
// reaches the account after a newer one, and only the newest save clears
// the pending state and reports its failure. While a save waits or runs the
// account's snapshots are not followed. When the newest save fails, the goals
// spring back to the list the account holds.
class MissionsEditor : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds saveDelay { 600 };
    using SaveDone = std::function<void(std::optional<AccountFailure>)>;
    using Save = std::function<void(const QList<AccountMission>&, SaveDone)>;

    // `save` defaults to the account's saveMissions.
    MissionsEditor(DesktopAccountService& account, Scheduler& scheduler, Save save = {}, QObject* parent = nullptr);

    const QList<AccountMission>& missions() const { return m_missions; }
    bool loaded() const { return m_loaded; }
    // A save waits or runs.
    bool saving() const { return m_saving; }
    const std::optional<QString>& saveError() const { return m_saveError; }

    // The editor comes on screen: the first time it takes the account's list.
    void appear();
    void toggle(MissionKind kind);
    void setTarget(MissionKind kind, qint64 target);

Q_SIGNALS:
    void changed();

private:
    void follow();
    void save();
    void send(quint64 id, QList<AccountMission> missions);

    DesktopAccountService& m_account;
    Scheduler& m_scheduler;
    Save m_save;
    QList<AccountMission> m_missions;
    // The list the account holds, as far as the editor knows.
    QList<AccountMission> m_confirmed;
    bool m_loaded = false;
    bool m_saving = false;
    std::optional<QString> m_saveError;
    // The newest save; older ones are superseded.
    quint64 m_current = 0;
    bool m_inFlight = false;
    // A save whose wait ended while another was being sent.
    std::optional<std::pair<quint64, QList<AccountMission>>> m_queued;
};

} // namespace kestravin
