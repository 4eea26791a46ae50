// The account service's sync: the download-and-apply rounds every 10 s (the
// account's settings into the configuration, its grants into the daemon) and
// the upload of local edits after their short wait.
#include "app/services/account/DesktopAccountService.h"

#include "app/models/DesktopAccountPolicy.h"
#include "app/models/SiteGrantPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/SessionStore.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperConnection.h"

#include <QLoggingCategory>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcAccount, "com.kestravin.app.Account")

} // namespace

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

void DesktopAccountService::cancelPendingSave()
{
    ++m_saveGeneration;
    m_savePending = false;
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

} // namespace kestravin
