#include "MissionsEditor.h"

#include "app/models/MissionGoals.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/DesktopAccountService.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace kestravin {

MissionsEditor::MissionsEditor(DesktopAccountService& account, Scheduler& scheduler, Save save, QObject* parent)
    : QObject(parent), m_account(account), m_scheduler(scheduler), m_save(std::move(save))
{
    if (!m_save) {
        m_save = [&account](const QList<AccountMission>& missions, SaveDone done) {
            account.saveMissions(missions, std::move(done));
        };
    }
    connect(&m_account, &DesktopAccountService::snapshotChanged, this, &MissionsEditor::follow);
}

void MissionsEditor::appear()
{
    if (!m_loaded) {
        const auto& snapshot = m_account.snapshot();
        m_missions = snapshot && snapshot->missions ? *snapshot->missions : QList<AccountMission> {};
        m_confirmed = m_missions;
        m_loaded = true;
        Q_EMIT changed();
    }
    follow();
}

void MissionsEditor::follow()
{
    if (m_saving) {
        return;
    }
    const auto& snapshot = m_account.snapshot();
    if (!snapshot || !snapshot->missions) {
        return;
    }
    m_confirmed = *snapshot->missions;
    if (*snapshot->missions != m_missions) {
        m_missions = *snapshot->missions;
        Q_EMIT changed();
    }
}

void MissionsEditor::toggle(MissionKind kind)
{
    m_missions = MissionGoals::toggled(m_missions, kind);
    save();
}

void MissionsEditor::setTarget(MissionKind kind, qint64 target)
{
    m_missions = MissionGoals::retargeted(m_missions, kind, target);
    save();
}

void MissionsEditor::save()
{
    const quint64 id = ++m_current;
    m_saving = true;
    m_saveError.reset();
    Q_EMIT changed();
    QList<AccountMission> copy = m_missions;
    m_scheduler.runLater(saveDelay, this, [this, id, copy] {
        if (id != m_current) {
            return; // a newer change replaced this save while it waited
        }
        if (m_inFlight) {
            m_queued = { id, copy };
            return;
        }
        send(id, copy);
    });
}

void MissionsEditor::send(quint64 id, QList<AccountMission> missions)
{
    m_inFlight = true;
    QPointer<MissionsEditor> self(this);
    m_save(missions, [self, id, missions](std::optional<AccountFailure> failure) {
        if (!self) {
            return;
        }
        self->m_inFlight = false;
        if (!failure) {
            self->m_confirmed = missions;
        }
        if (id == self->m_current) {
            self->m_saving = false;
            if (failure) {
                self->m_saveError = u"As metas não foram salvas na conta: "_s + failure->text;
                self->m_missions = self->m_confirmed;
            }
            Q_EMIT self->changed();
        }
        if (auto queued = std::exchange(self->m_queued, std::nullopt); queued && queued->first == self->m_current) {
            self->send(queued->first, queued->second);
        }
    });
}

} // namespace kestravin
