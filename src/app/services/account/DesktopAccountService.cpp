#include "app/services/account/DesktopAccountService.h"

#include "app/models/DesktopAccountPolicy.h"
#include "app/models/InternetDateTime.h"
#include "app/models/SiteGrantPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SharedInstance.h"
#include "app/services/account/SessionStore.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperConnection.h"

#include <QDesktopServices>
#include <QPointer>
#include <QSettings>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString DesktopAccountService::syncedMessage = u"Conta conectada. Horários sincronizados."_s;
const QString DesktopAccountService::notOnboardedMessage = u"Escolha seus horários no navegador."_s;
const QString DesktopAccountService::noSitesMessage = u"Escolha pelo menos um site para bloquear."_s;
const QString DesktopAccountService::conflictMessage
    = u"Esta agenda mudou em outro dispositivo. Mostramos a versão mais recente."_s;
const QString DesktopAccountService::folgaOfflineMessage
    = u"Não foi possível usar a folga sem conexão. O bloqueio foi mantido."_s;

DesktopAccountService::DesktopAccountService(QObject* parent) : QObject(parent)
{
}

void DesktopAccountService::attach(Collaborators collaborators)
{
    m_collaborators = std::move(collaborators);
    if (m_collaborators.link) {
        QObject::connect(m_collaborators.link, &DeviceLink::stateChanged, this, &DesktopAccountService::stateChanged);
        QObject::connect(m_collaborators.link, &DeviceLink::linked, this, [this] {
            m_appliedRevision.reset();
            syncNow();
        });
        QObject::connect(m_collaborators.link, &DeviceLink::signedOut, this, &DesktopAccountService::clearAccountState);
    }
    if (m_collaborators.client) {
        QObject::connect(
            m_collaborators.client, &AccountClient::sessionExpired, this, &DesktopAccountService::clearAccountState);
    }
}

DesktopAccountService& DesktopAccountService::shared()
{
    return SharedInstance<DesktopAccountService>::get();
}

void DesktopAccountService::setSnapshot(std::optional<DesktopAccountSnapshot> snapshot)
{
    if (m_snapshot != snapshot) {
        m_snapshot = std::move(snapshot);
        Q_EMIT snapshotChanged();
    }
}

std::optional<DesktopAccountSession> DesktopAccountService::session() const
{
    return m_collaborators.client ? m_collaborators.client->session() : std::nullopt;
}

SessionLookup DesktopAccountService::sessionLookup() const
{
    return m_collaborators.client ? m_collaborators.client->sessionLookup() : SessionLookup::loaded;
}

std::optional<QString> DesktopAccountService::connectError() const
{
    return m_collaborators.link ? m_collaborators.link->connectError() : std::nullopt;
}

bool DesktopAccountService::scheduleSynced() const
{
    if (!m_snapshot)
        return !m_appliedRevision.has_value();
    return m_appliedRevision == m_snapshot->revision;
}

bool DesktopAccountService::focusRuns(const std::optional<DesktopAccountSnapshot>& snapshot, double nowMs)
{
    return snapshot && snapshot->focus.enabled && nowMs < snapshot->focus.endsAt.value_or(0.0);
}

bool DesktopAccountService::accountFocusRuns(const QDateTime& now) const
{
    return focusRuns(m_snapshot, double(now.toMSecsSinceEpoch()));
}

DesktopAccountService::Round DesktopAccountService::round() const
{
    return { m_collaborators.client ? m_collaborators.client->epoch() : 0, m_localEpoch };
}

bool DesktopAccountService::sameSession(const Round& round) const
{
    return m_collaborators.client && m_collaborators.client->epoch() == round.epoch
        && m_collaborators.client->session().has_value();
}

bool DesktopAccountService::stillCurrent(const Round& round) const
{
    return sameSession(round) && m_localEpoch == round.localEpoch && !m_savePending && !m_saving && !m_saveQueued;
}

void DesktopAccountService::setMessage(const QString& message)
{
    if (m_collaborators.link)
        m_collaborators.link->setMessage(message);
}

void DesktopAccountService::setSaveState(AccountSaveState state)
{
    if (m_saveState != state) {
        m_saveState = std::move(state);
        Q_EMIT stateChanged();
    }
}

void DesktopAccountService::connect()
{
    if (m_collaborators.link)
        m_collaborators.link->connect();
}

void DesktopAccountService::disconnect()
{
    disconnect({});
}

void DesktopAccountService::disconnect(std::function<void()> done)
{
    if (!m_collaborators.link) {
        if (done)
            done();
        return;
    }
    if (done) {
        // Connected after the service's own handler, so it runs once the
        // account state is cleared.
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = QObject::connect(m_collaborators.link, &DeviceLink::signedOut, this, [once, done = std::move(done)] {
            QObject::disconnect(*once);
            done();
        });
    }
    m_collaborators.link->disconnect();
}

void DesktopAccountService::clearAccountState()
{
    setSnapshot(std::nullopt);
    m_appliedRevision.reset();
    cancelPendingSave();
    m_saveQueued = false;
    setSaveState(AccountSaveState::idle());
    Q_EMIT stateChanged();
}

void DesktopAccountService::startFocusFromMenu(qint64 minutes)
{
    m_focusError.reset();
    Q_EMIT stateChanged();
    if (!m_collaborators.client)
        return;
    const Round started = round();
    m_collaborators.client->request(u"/api/focus"_s, "POST"_ba, AccountBodies::focusStart(minutes),
        [self = QPointer(this), started](AccountReply reply) {
            if (!self || !self->sameSession(started))
                return;
            if (reply.failure) {
                self->m_focusError = reply.failure->text;
                self->setMessage(reply.failure->text);
                Q_EMIT self->stateChanged();
                return;
            }
            self->syncNow();
        });
}

void DesktopAccountService::startFocus(qint64 minutes, Finished done)
{
    operation(u"/api/focus"_s, "POST"_ba, AccountBodies::focusStart(minutes), std::move(done),
        [](AccountReply reply, Finished finish) { finish(reply.failure); });
}

void DesktopAccountService::useFolga(Finished done)
{
    operation(u"/api/folga"_s, "POST"_ba, AccountBodies::empty(), std::move(done),
        [this](AccountReply reply, Finished finish) {
            if (reply.failure) {
                if (reply.failure->isHttp(409))
                    syncNow();
                if (reply.failure->isAccess(DesktopAccessError::unavailable)) {
                    AccountFailure offline = *reply.failure;
                    offline.text = folgaOfflineMessage;
                    finish(offline);
                    return;
                }
                finish(reply.failure);
                return;
            }
            AccountFailure failed;
            const auto used = reply.decode<FolgaUseReply>(failed);
            if (!used) {
                finish(failed);
                return;
            }
            if (m_snapshot) {
                DesktopAccountSnapshot snapshot = *m_snapshot;
                snapshot.folga = used->folga;
                snapshot.focus = used->focus;
                if (used->folga.active) {
                    if (const auto end = InternetDateTime::parse(used->folga.active->endsAt))
                        snapshot.pausedUntil = double(end->toMSecsSinceEpoch());
                }
                setSnapshot(snapshot);
            }
            syncNow();
            finish(std::nullopt);
        });
}

} // namespace kestravin

namespace kestravin {

void DesktopAccountService::earnFolga(const AccountMission& mission, Finished done)
{
    operation(u"/api/folga/earn"_s, "POST"_ba, AccountBodies::folgaEarn(mission), std::move(done),
        [this](AccountReply reply, Finished finish) {
            AccountFailure failed;
            const auto earned = reply.value<FolgaEarnReply>(failed);
            if (!earned) {
                finish(failed);
                return;
            }
            if (m_snapshot) {
                DesktopAccountSnapshot snapshot = *m_snapshot;
                snapshot.folga = earned->folga;
                setSnapshot(snapshot);
            }
            finish(std::nullopt);
        });
}

void DesktopAccountService::folgaHistory(std::function<void(std::optional<AccountFailure>, QList<FolgaEntry>)> done)
{
    if (!m_collaborators.client) {
        done(AccountFailure::accessError(DesktopAccessError::configuration), {});
        return;
    }
    m_collaborators.client->request(
        u"/api/folga/history"_s, "GET"_ba, std::nullopt, [done = std::move(done)](AccountReply reply) {
            AccountFailure failed;
            const auto history = reply.value<FolgaHistoryReply>(failed);
            if (!history) {
                done(failed, {});
                return;
            }
            done(std::nullopt, history->entries);
        });
}

void DesktopAccountService::saveMissions(const QList<AccountMission>& missions, Finished done)
{
    operation(u"/api/missions"_s, "PUT"_ba, AccountBodies::missions(missions), std::move(done),
        [this, missions](AccountReply reply, Finished finish) {
            if (reply.failure) {
                finish(reply.failure);
                return;
            }
            if (m_snapshot) {
                DesktopAccountSnapshot snapshot = *m_snapshot;
                snapshot.missions = missions;
                setSnapshot(snapshot);
            }
            finish(std::nullopt);
        });
}

void DesktopAccountService::request(const QString& path, const QByteArray& method, std::optional<QByteArray> body,
    std::function<void(AccountReply)> done)
{
    if (!m_collaborators.client) {
        done({ AccountFailure::accessError(DesktopAccessError::configuration), {} });
        return;
    }
    const Round started = round();
    m_collaborators.client->request(
        path, method, std::move(body), [self = QPointer(this), started, done = std::move(done)](AccountReply reply) {
            if (!self)
                return;
            if (!self->sameSession(started)) {
                done({ AccountFailure::accessError(DesktopAccessError::sessionChanged), {} });
                return;
            }
            done(std::move(reply));
        });
}

void DesktopAccountService::operation(const QString& path, const QByteArray& method, const QByteArray& body,
    Finished done, std::function<void(AccountReply, Finished)> handle)
{
    // Without a session there is no account to change: that is what the
    // caller hears, not a session that changed meanwhile.
    if (!m_collaborators.client || !m_collaborators.client->session()) {
        done(AccountFailure::accessError(DesktopAccessError::configuration));
        return;
    }
    const Round started = round();
    m_collaborators.client->request(path, method, body,
        [self = QPointer(this), started, done = std::move(done), handle = std::move(handle)](AccountReply reply) {
            if (!self)
                return;
            if (!self->sameSession(started)) {
                done(AccountFailure::accessError(DesktopAccessError::sessionChanged));
                return;
            }
            handle(std::move(reply), done);
        });
}

} // namespace kestravin
