#include "app/services/account/DesktopAccountService.h"

#include "app/models/DesktopAccountPolicy.h"
#include "app/models/InternetDateTime.h"
#include "app/models/SiteGrantPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/SessionStore.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperConnection.h"

#include <QDesktopServices>
#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcAccount, "com.kestravin.app.Account")

} // namespace

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
    static auto* service = [] {
        auto* created = new DesktopAccountService();
        static QSettings defaults;
        const AccountEnvironment environment = AccountEnvironment::current();
        static KeychainSessionStore store(environment.keychainAccount());
        auto* client = new AccountClient(environment, store, Clock::system(), defaults, created);
        auto* link = new DeviceLink(
            *client, Clock::system(), Scheduler::system(), [](const QUrl& url) { QDesktopServices::openUrl(url); },
            [] { return ProductAnalytics::installId(); }, created);
        created->attach({
            client,
            link,
            [] { return &ConfigurationManager::shared(); },
            [] { return &BlockingService::shared(); },
            [] { return &ScheduleManager::shared(); },
            [] { return &HelperConnection::shared(); },
            &Clock::system(),
            &Scheduler::system(),
            [] { return QString::fromUtf8(QTimeZone::systemTimeZoneId()); },
        });
        return created;
    }();
    return *service;
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

void DesktopAccountService::start()
{
    if (!m_collaborators.client)
        return;
    if (!m_timer) {
        m_timer = m_collaborators.scheduler->startTimer(syncInterval, true, [this] {
            if (m_collaborators.client->keychainLoaded())
                syncNow();
            else
                loadSessionThenSync();
        });
    }
    loadSessionThenSync();
}

void DesktopAccountService::loadSessionThenSync()
{
    m_collaborators.client->loadSession([self = QPointer(this)] {
        if (!self)
            return;
        self->syncNow();
        // The launch gate waits for the keyring's answer.
        Q_EMIT self->stateChanged();
    });
}

void DesktopAccountService::syncNow()
{
    if (m_syncing) {
        m_syncAgain = true;
        return;
    }
    if (!session())
        return;
    m_syncing = true;
    syncOnce([self = QPointer(this)] {
        if (!self)
            return;
        self->m_syncing = false;
        if (std::exchange(self->m_syncAgain, false) && self->session()) {
            self->syncNow();
            return;
        }
        for (const auto& waiter : std::exchange(self->m_syncWaiters, {}))
            waiter();
    });
}

void DesktopAccountService::syncNow(std::function<void()> done)
{
    if (!m_syncing && !session()) {
        done();
        return;
    }
    m_syncWaiters.append(std::move(done));
    syncNow();
}

void DesktopAccountService::syncOnce(std::function<void()> done)
{
    if (!session()) {
        done();
        return;
    }
    const Round started = round();
    m_collaborators.client->request(u"/api/bootstrap"_s, "GET"_ba, std::nullopt,
        [self = QPointer(this), started, done = std::move(done)](AccountReply reply) {
            if (!self)
                return;
            // A sign-in or sign-out meanwhile: this round has nothing to say.
            if (!self->sameSession(started)) {
                done();
                return;
            }
            AccountFailure failed;
            const auto snapshot = reply.failure ? std::nullopt : reply.decode<DesktopAccountSnapshot>(failed);
            if (!snapshot) {
                self->setMessage(reply.failure ? reply.failure->text : failed.text);
                done();
                return;
            }
            if (!self->stillCurrent(started)) {
                done();
                return;
            }
            self->setSnapshot(*snapshot);
            ProductAnalytics::linkAccount();
            if (!snapshot->settings.onboarded) {
                self->setMessage(notOnboardedMessage);
            } else if (self->m_appliedRevision == snapshot->revision) {
                self->setMessage(syncedMessage);
            } else if (const auto error = self->apply(*snapshot)) {
                self->setMessage(*error);
                done();
                return;
            } else {
                self->setMessage(syncedMessage);
            }
            self->applyGrants(*snapshot, std::move(done));
        });
}

std::optional<QString> DesktopAccountService::apply(const DesktopAccountSnapshot& snapshot)
{
    ConfigurationManager* configuration = m_collaborators.configuration ? m_collaborators.configuration() : nullptr;
    if (!configuration)
        return describe(DesktopAccessError::configuration);
    const auto received = DesktopAccountPolicy::configuration(snapshot.settings, configuration->configuration());
    if (!received.configuration) {
        qCWarning(lcAccount) << "account settings refused:" << received.reason;
        return describe(received.error);
    }
    configuration->setConfiguration(*received.configuration);
    configuration->saveConfiguration();
    // A block in force keeps its schedule until it ends, as every other
    // schedule change does.
    BlockingService* blocking = m_collaborators.blocking ? m_collaborators.blocking() : nullptr;
    ScheduleManager* schedule = m_collaborators.schedule ? m_collaborators.schedule() : nullptr;
    if (blocking && blocking->isBlocking()) {
        if (schedule)
            schedule->setHasPendingScheduleChanges(true);
    } else if (blocking) {
        blocking->syncScheduleToHelper(configuration->configuration());
    }
    m_appliedRevision = snapshot.revision;
    Q_EMIT stateChanged();
    return std::nullopt;
}

void DesktopAccountService::applyGrants(const DesktopAccountSnapshot& snapshot, std::function<void()> done)
{
    ConfigurationManager* configuration = m_collaborators.configuration ? m_collaborators.configuration() : nullptr;
    HelperConnection* helper = m_collaborators.helper ? m_collaborators.helper() : nullptr;
    if (!configuration || !helper) {
        done();
        return;
    }
    const HelperScheduleConfig expected = configuration->configuration().helperScheduleConfig();
    SiteGrantPolicy::HelperSet set;
    if (snapshot.focus.enabled) {
        set = SiteGrantPolicy::helperSet(snapshot.grants.value_or(QList<AccountGrant>()), snapshot.focus.id,
            expected.blockedSites, m_collaborators.clock->now());
    }
    if (set.grants.isEmpty() && m_appliedGrants.isEmpty() && m_grantsReconciled) {
        done();
        return;
    }
    helper->setSiteAccess(set.grants, expected,
        [self = QPointer(this), applied = set.applied, done = std::move(done)](bool success, const QString& message) {
            if (!self)
                return;
            if (success) {
                self->m_appliedGrants = applied;
                self->m_grantsReconciled = true;
            } else {
                qCWarning(lcAccount) << "site grants not applied:" << message;
                self->m_appliedGrants.clear();
                self->m_grantsReconciled = false;
            }
            Q_EMIT self->stateChanged();
            done();
        });
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

void DesktopAccountService::cancelPendingSave()
{
    ++m_saveGeneration;
    m_savePending = false;
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

void DesktopAccountService::localEditChanged()
{
    Q_EMIT localEdit();
    if (!session() || !m_snapshot || !m_snapshot->settings.onboarded)
        return;
    ++m_localEpoch;
    cancelPendingSave();
    m_savePending = true;
    setSaveState(AccountSaveState::saving());
    const quint64 generation = m_saveGeneration;
    m_collaborators.scheduler->runLater(saveDelay, this, [this, generation] {
        if (generation != m_saveGeneration || !m_savePending)
            return;
        m_savePending = false;
        flushSave();
    });
}

void DesktopAccountService::flushSave()
{
    if (m_saving) {
        m_saveQueued = true;
        return;
    }
    ConfigurationManager* configuration = m_collaborators.configuration ? m_collaborators.configuration() : nullptr;
    if (!session() || !m_snapshot || !m_snapshot->settings.onboarded || !configuration) {
        setSaveState(AccountSaveState::idle());
        return;
    }
    BrowserSettings settings = DesktopAccountPolicy::settings(
        configuration->configuration(), m_snapshot->settings, false, m_collaborators.systemTimeZone());
    if (settings.platforms.isEmpty() && settings.sites.value_or(QStringList()).isEmpty()) {
        setSaveState(AccountSaveState::failed(noSitesMessage));
        return;
    }
    m_saving = true;
    const Round started = round();
    save(std::move(settings), [self = QPointer(this), started](std::optional<AccountFailure> failure) {
        if (!self)
            return;
        self->m_saving = false;
        // After a sign-out the upload state was reset; a late result stays out of it.
        if (!self->sameSession(started))
            return;
        if (failure)
            self->setSaveState(AccountSaveState::failed(failure->text));
        else
            self->setSaveState(self->m_savePending ? AccountSaveState::saving() : AccountSaveState::saved());
        if (std::exchange(self->m_saveQueued, false))
            self->flushSave();
    });
}

void DesktopAccountService::save(BrowserSettings settings, std::function<void(std::optional<AccountFailure>)> done)
{
    const SettingsUpdate update { settings, m_snapshot->revision };
    const quint64 builtAt = m_localEpoch;
    const Round started = round();
    m_collaborators.client->request(u"/api/settings"_s, "PUT"_ba, AccountBodies::settingsUpdate(update),
        [self = QPointer(this), settings, builtAt, started, done = std::move(done)](AccountReply reply) mutable {
            if (!self)
                return;
            if (!self->sameSession(started)) {
                done(AccountFailure::accessError(DesktopAccessError::sessionChanged));
                return;
            }
            if (reply.failure && reply.failure->isHttp(409)) {
                ++self->m_localEpoch;
                self->cancelPendingSave();
                self->m_saveQueued = false;
                self->m_collaborators.client->request(u"/api/bootstrap"_s, "GET"_ba, std::nullopt,
                    [self, started, done = std::move(done)](AccountReply latest) {
                        if (!self)
                            return;
                        AccountFailure failed;
                        if (self->sameSession(started) && latest.ok()) {
                            if (const auto snapshot = latest.decode<DesktopAccountSnapshot>(failed)) {
                                self->setSnapshot(*snapshot);
                                if (const auto error = self->apply(*snapshot))
                                    self->setMessage(*error);
                            }
                        }
                        AccountFailure conflict = AccountFailure::httpError(409, {});
                        conflict.text = conflictMessage;
                        done(conflict);
                    });
                return;
            }
            if (reply.failure) {
                done(reply.failure);
                return;
            }
            AccountFailure failed;
            const auto saved = reply.decode<SavedSettings>(failed);
            if (!saved) {
                done(failed);
                return;
            }
            ++self->m_localEpoch;
            if (self->m_snapshot) {
                // The account now holds what was sent; unless the person
                // edited again meanwhile, that is also what is written here,
                // so the next round does not write it back.
                DesktopAccountSnapshot snapshot = *self->m_snapshot;
                snapshot.settings = settings;
                snapshot.revision = saved->revision;
                if (builtAt + 1 == self->m_localEpoch && self->m_appliedRevision)
                    self->m_appliedRevision = saved->revision;
                self->setSnapshot(snapshot);
            }
            done(std::nullopt);
        });
}

void DesktopAccountService::finishOnboarding(std::function<void()> done)
{
    const auto finish = [done] {
        if (done)
            done();
    };
    ConfigurationManager* configuration = m_collaborators.configuration ? m_collaborators.configuration() : nullptr;
    if (!session() || !configuration) {
        finish();
        return;
    }
    if (!m_snapshot) {
        // Nothing to start from yet: fetch the account first.
        syncOnce([self = QPointer(this), finish] {
            if (self && self->m_snapshot)
                self->finishOnboarding(finish);
            else
                finish();
        });
        return;
    }
    BrowserSettings settings = DesktopAccountPolicy::settings(
        configuration->configuration(), m_snapshot->settings, true, m_collaborators.systemTimeZone());
    setSaveState(AccountSaveState::saving());
    m_saving = true;
    const Round started = round();
    save(std::move(settings), [self = QPointer(this), started, finish](std::optional<AccountFailure> failure) {
        if (!self)
            return;
        self->m_saving = false;
        if (self->sameSession(started))
            self->setSaveState(failure ? AccountSaveState::failed(failure->text) : AccountSaveState::saved());
        self->syncNow();
        finish();
    });
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
