#include "AccountApiDouble.h"
#include "EventLoop.h"
#include "ServiceRig.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/bridge/BrowserBridgeAccount.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace kestravin::testing;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString bootstrapPath = u"/api/bootstrap"_s;
const QString settingsPath = u"/api/settings"_s;

QJsonObject settingsWith(const QStringList& sites, bool onboarded = true)
{
    return {
        { u"onboarded"_s, onboarded },
        { u"enabled"_s, true },
        { u"timezone"_s, u"UTC"_s },
        { u"platforms"_s, QJsonArray {} },
        { u"schedule"_s,
            QJsonArray { QJsonObject { { u"days"_s, QJsonArray { 0, 1, 2, 3, 4, 5, 6 } }, { u"start"_s, u"09:00"_s },
                { u"end"_s, u"17:00"_s } } } },
        { u"sites"_s, QJsonArray::fromStringList(sites) },
    };
}

// The account service on the rig's blocking services, the account API double
// and a session in memory.
struct AccountRig {
    ServiceRig rig;
    AccountApiDouble api;
    MemorySessionStore store;
    QSettings defaults { rig.dir.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    AccountClient client { AccountEnvironment(api.apiBase(), api.webBase()), store, rig.time, defaults };
    DeviceLink link { client, rig.time, rig.time, [](const QUrl&) {}, [] { return u"install"_s; } };
    DesktopAccountService& account = rig.account;

    static ServiceRig::Options options()
    {
        ServiceRig::Options options;
        options.fakeDaemon = true;
        options.configJson = ServiceRig::configurationWith({ u"local.example"_s }, true).toJsonBytes();
        return options;
    }

    AccountRig() : rig(options())
    {
        api.nowMs = [this] { return double(rig.time.now().toMSecsSinceEpoch()); };
        api.snapshot.insert(u"settings"_s, settingsWith({ u"account.example"_s }));
        account.attach({ &client, &link, [this] { return rig.config.get(); }, [this] { return rig.blocking.get(); },
            [this] { return rig.schedule.get(); }, [this] { return rig.connection.get(); }, &rig.time, &rig.time,
            [] { return u"UTC"_s; } });
        EXPECT_TRUE(rig.waitForInstalledDaemon());
        auto session = DesktopAccountSession::fromJson(api.issueSession());
        store.setStored(session->toJsonBytes());
    }

    QByteArray configBytes() const
    {
        QFile file(rig.configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Waits until `count` downloads were answered and handled.
    bool roundsDone(int count)
    {
        return waitUntil([&] { return api.count(bootstrapPath) >= count && !account.syncing(); }, 10000);
    }

    void startAndSync()
    {
        account.start();
        ASSERT_TRUE(roundsDone(1));
        ASSERT_TRUE(rig.syncWithDaemon());
    }

    // Returns once every download asked for so far has been answered and
    // handled, so that none lands later over what the test reads next.
    bool syncsSettled()
    {
        bool settled = false;
        account.syncNow([&settled] { settled = true; });
        return waitUntil([&] { return settled; }, 10000);
    }

    void setAccount(const QStringList& sites, qint64 revision)
    {
        api.snapshot.insert(u"settings"_s, settingsWith(sites));
        api.snapshot.insert(u"revision"_s, revision);
    }
};

} // namespace

TEST(DesktopAccountServiceTest, AppliesANewRevisionOnceAndIdlesCheaply)
{
    AccountRig a;
    a.startAndSync();
    EXPECT_EQ(a.account.message(), DesktopAccountService::syncedMessage);
    EXPECT_EQ(a.rig.config->configuration().blockedSites, QStringList { u"account.example"_s });
    EXPECT_TRUE(a.account.scheduleSynced());
    EXPECT_EQ(a.rig.daemon->count(u"updateSchedule"_s), 1);
    EXPECT_EQ(a.rig.daemon->count(u"setSiteAccess"_s), 1); // the first reconciliation

    const QByteArray bytes = a.configBytes();
    const QDateTime modified = QFileInfo(a.rig.configPath()).lastModified();
    const int daemonCalls = a.rig.daemon->calls().size();
    a.api.clearLog();
    // Ten minutes linked with nothing new: one request a round, nothing else.
    for (int round = 1; round <= 60; ++round) {
        a.rig.time.advance(DesktopAccountService::syncInterval);
        ASSERT_TRUE(a.roundsDone(round));
    }
    ASSERT_TRUE(a.rig.syncWithDaemon());
    EXPECT_EQ(a.api.requests().size(), 60);
    EXPECT_EQ(a.configBytes(), bytes);
    EXPECT_EQ(QFileInfo(a.rig.configPath()).lastModified(), modified);
    EXPECT_EQ(a.rig.daemon->calls().size(), daemonCalls + 1); // the rig's own version query

    // A second start (the first-run wizard calls it again) adds no timer.
    a.account.start();
    ASSERT_TRUE(a.roundsDone(61));
    const auto intervals = a.rig.time.activeIntervals();
    EXPECT_EQ(std::count(intervals.begin(), intervals.end(), DesktopAccountService::syncInterval), 1);
}

TEST(DesktopAccountServiceTest, LeavesTheConfigurationAloneWhenItMust)
{
    {
        AccountRig a;
        a.api.snapshot.insert(u"settings"_s, settingsWith({ u"account.example"_s }, false));
        const QByteArray before = a.configBytes();
        a.startAndSync();
        EXPECT_EQ(a.account.message(), DesktopAccountService::notOnboardedMessage);
        EXPECT_EQ(a.configBytes(), before);
    }
    {
        // Settings the mapping refuses keep the local ones, with the reason shown.
        AccountRig a;
        QJsonObject settings = settingsWith({ u"account.example"_s });
        settings.insert(u"timezone"_s, u"Mars/Olympus"_s);
        a.api.snapshot.insert(u"settings"_s, settings);
        const QByteArray before = a.configBytes();
        a.startAndSync();
        EXPECT_EQ(a.account.message(), describe(DesktopAccessError::invalidApproval));
        EXPECT_EQ(a.configBytes(), before);
        EXPECT_FALSE(a.account.appliedRevision());
    }
    {
        // A local edit while the download is on its way makes that round write nothing.
        AccountRig a;
        a.startAndSync();
        a.setAccount({ u"newer.example"_s }, 2);
        AccountApiDouble::Fault slow;
        slow.delayMs = 200;
        a.api.addFault(bootstrapPath, slow);
        a.rig.time.advance(DesktopAccountService::syncInterval);
        ASSERT_TRUE(waitUntil([&] { return a.api.count(bootstrapPath) == 2; }));
        a.account.localEditChanged();
        ASSERT_TRUE(a.roundsDone(2));
        EXPECT_EQ(a.rig.config->configuration().blockedSites, QStringList { u"account.example"_s });
        EXPECT_EQ(a.account.appliedRevision(), 1);
    }
    {
        // A sign-out while the download is on its way writes nothing.
        AccountRig a;
        a.startAndSync();
        a.setAccount({ u"newer.example"_s }, 2);
        AccountApiDouble::Fault slow;
        slow.delayMs = 200;
        a.api.addFault(bootstrapPath, slow);
        a.rig.time.advance(DesktopAccountService::syncInterval);
        ASSERT_TRUE(waitUntil([&] { return a.api.count(bootstrapPath) == 2; }));
        a.account.disconnect();
        ASSERT_TRUE(waitUntil([&] { return !a.account.session(); }));
        spin(300);
        EXPECT_FALSE(a.account.snapshot());
        EXPECT_EQ(a.rig.config->configuration().blockedSites, QStringList { u"account.example"_s });
        EXPECT_EQ(a.account.message(), u"Conta desconectada. A agenda já baixada foi preservada."_s);
    }
}

TEST(DesktopAccountServiceTest, UploadsEditsAfterAPause)
{
    AccountRig a;
    a.startAndSync();
    a.api.clearLog();
    for (int i = 0; i < 3; ++i) {
        a.rig.config->addSites({ u"edit%1.example"_s.arg(i) });
        a.account.localEditChanged();
        a.rig.time.advance(300ms);
    }
    EXPECT_EQ(a.account.saveState(), AccountSaveState::saving());
    EXPECT_EQ(a.api.count(settingsPath), 0);
    a.rig.time.advance(500ms); // 0.8 s after the last edit
    ASSERT_TRUE(waitUntil([&] { return a.account.saveState() == AccountSaveState::saved(); }));
    ASSERT_EQ(a.api.count(settingsPath), 1);
    const QJsonObject sent = QJsonDocument::fromJson(a.api.requestsTo(settingsPath).first().body).object();
    EXPECT_EQ(sent.value(u"revision"_s).toInteger(), 1);
    EXPECT_EQ(sent.value(u"settings"_s).toObject().value(u"sites"_s).toArray().size(), 4);
    // The own upload is not applied back a round later.
    EXPECT_EQ(a.account.appliedRevision(), 2);
    EXPECT_EQ(a.account.snapshot()->revision, 2);

    // An edit while an upload runs makes exactly one more.
    AccountApiDouble::Fault slow;
    slow.delayMs = 200;
    a.api.addFault(settingsPath, slow);
    a.account.localEditChanged();
    a.rig.time.advance(800ms);
    ASSERT_TRUE(waitUntil([&] { return a.api.count(settingsPath) == 2; }));
    a.account.localEditChanged();
    a.rig.time.advance(800ms);
    a.account.localEditChanged();
    a.rig.time.advance(800ms);
    ASSERT_TRUE(waitUntil([&] { return a.account.saveState() == AccountSaveState::saved(); }));
    spin(100);
    EXPECT_EQ(a.api.count(settingsPath), 3);
}

TEST(DesktopAccountServiceTest, UploadFailures)
{
    {
        AccountRig a;
        a.startAndSync();
        // Set directly: the removal lock of the running hours would refuse the editor's removal.
        Configuration emptied = a.rig.config->configuration();
        emptied.blockedSites.clear();
        a.rig.config->setConfiguration(emptied);
        a.account.localEditChanged();
        a.rig.time.advance(800ms);
        EXPECT_EQ(a.account.saveState(), AccountSaveState::failed(DesktopAccountService::noSitesMessage));
        spin(50);
        EXPECT_EQ(a.api.count(settingsPath), 0);
    }
    {
        // Another device saved first: the account's hours replace the local edit.
        AccountRig a;
        a.startAndSync();
        a.setAccount({ u"other-device.example"_s }, 5);
        a.rig.config->addSites({ u"mine.example"_s });
        a.account.localEditChanged();
        a.rig.time.advance(800ms);
        ASSERT_TRUE(waitUntil([&] { return a.account.saveState().state == AccountSaveState::Case::failed; }));
        EXPECT_EQ(a.account.saveState(), AccountSaveState::failed(DesktopAccountService::conflictMessage));
        EXPECT_EQ(a.rig.config->configuration().blockedSites, QStringList { u"other-device.example"_s });
        EXPECT_EQ(a.account.appliedRevision(), 5);
    }
    {
        // Without a linked account an edit never reaches the network.
        AccountRig a;
        a.account.localEditChanged();
        a.rig.time.advance(2s);
        EXPECT_EQ(a.account.saveState(), AccountSaveState::idle());
        EXPECT_TRUE(a.api.requests().isEmpty());
    }
}

TEST(DesktopAccountServiceTest, GrantsFollowTheAccountsFocus)
{
    AccountRig a;
    a.startAndSync();
    const int first = a.rig.daemon->count(u"setSiteAccess"_s);
    a.rig.time.advance(DesktopAccountService::syncInterval);
    ASSERT_TRUE(a.roundsDone(2));
    ASSERT_TRUE(a.rig.syncWithDaemon());
    EXPECT_EQ(a.rig.daemon->count(u"setSiteAccess"_s), first); // focus off, nothing to change

    const double now = double(a.rig.time.now().toMSecsSinceEpoch());
    a.api.snapshot.insert(
        u"focus"_s, QJsonObject { { u"enabled"_s, true }, { u"id"_s, u"f1"_s }, { u"endsAt"_s, now + 3600000 } });
    a.api.snapshot.insert(u"grants"_s,
        QJsonArray { QJsonObject {
            { u"site"_s, u"account.example"_s }, { u"expiresAt"_s, now + 60000 }, { u"focusId"_s, u"f1"_s } } });
    a.rig.time.advance(DesktopAccountService::syncInterval);
    ASSERT_TRUE(a.roundsDone(3));
    ASSERT_TRUE(a.rig.syncWithDaemon());
    EXPECT_EQ(a.rig.daemon->count(u"setSiteAccess"_s), first + 1);
    ASSERT_EQ(a.account.appliedGrants().size(), 1);
    EXPECT_EQ(a.account.appliedGrants().first().site, u"account.example"_s);

    a.api.snapshot.insert(u"focus"_s, QJsonObject { { u"enabled"_s, false } });
    a.rig.time.advance(DesktopAccountService::syncInterval);
    ASSERT_TRUE(a.roundsDone(4));
    ASSERT_TRUE(a.rig.syncWithDaemon());
    EXPECT_EQ(a.rig.daemon->count(u"setSiteAccess"_s), first + 2);
    EXPECT_TRUE(a.account.appliedGrants().isEmpty());
}

TEST(DesktopAccountServiceTest, DuringABlockTheScheduleWaitsForItsEnd)
{
    AccountRig a;
    a.startAndSync();
    auto& schedule = a.rig.startScheduleManager();
    a.rig.daemon->setBlockingActive(true);
    a.rig.blocking->checkCurrentStatus();
    ASSERT_TRUE(waitUntil([&] { return a.rig.blocking->isBlocking(); }));
    ASSERT_TRUE(a.rig.syncWithDaemon());
    const int updates = a.rig.daemon->count(u"updateSchedule"_s);

    a.setAccount({ u"newer.example"_s }, 2);
    a.rig.time.advance(DesktopAccountService::syncInterval);
    ASSERT_TRUE(a.roundsDone(2));
    ASSERT_TRUE(a.rig.syncWithDaemon());
    EXPECT_EQ(a.rig.config->configuration().blockedSites, QStringList { u"newer.example"_s });
    EXPECT_EQ(a.rig.daemon->count(u"updateSchedule"_s), updates);
    EXPECT_TRUE(schedule.hasPendingScheduleChanges());
}

TEST(DesktopAccountServiceTest, FocusAndFolgaOperations)
{
    AccountRig a;
    a.startAndSync();
    a.account.startFocusFromMenu(25);
    ASSERT_TRUE(a.roundsDone(2));
    EXPECT_EQ(a.api.requestsTo(u"/api/focus"_s).first().body, R"({"minutes":25})"_ba);
    ASSERT_TRUE(a.account.snapshot());
    EXPECT_TRUE(a.account.snapshot()->focus.enabled);
    EXPECT_FALSE(a.account.focusError());

    a.api.addFault(u"/api/focus"_s, AccountApiDouble::status(423, R"({"error":"Foco travado."})"_ba));
    a.account.startFocusFromMenu(25);
    ASSERT_TRUE(waitUntil([&] { return a.account.focusError().has_value(); }));
    EXPECT_EQ(a.account.focusError(), u"Foco travado."_s);
    EXPECT_EQ(a.account.message(), u"Foco travado."_s);

    // No folga left: a 409 that also asks for a sync.
    std::optional<std::optional<AccountFailure>> used;
    a.account.useFolga([&](std::optional<AccountFailure> failure) { used = failure; });
    ASSERT_TRUE(waitUntil([&] { return used.has_value(); }));
    ASSERT_TRUE(used->has_value());
    EXPECT_TRUE((*used)->isHttp(409));
    // The 409's download still runs; had it been served after the change
    // below, it would replace the snapshot that the next use writes.
    ASSERT_TRUE(a.syncsSettled());

    a.api.snapshot.insert(u"folga"_s,
        QJsonObject { { u"available"_s, 1 }, { u"minutes"_s, 15 }, { u"earnedToday"_s, QJsonArray {} },
            { u"focusMinutes"_s, 0 } });
    used.reset();
    a.account.useFolga([&](std::optional<AccountFailure> failure) { used = failure; });
    ASSERT_TRUE(waitUntil([&] { return used.has_value(); }));
    EXPECT_FALSE(used->has_value());
    ASSERT_TRUE(a.account.snapshot()->folga);
    EXPECT_EQ(a.account.snapshot()->folga->available, 0);
    EXPECT_EQ(a.account.snapshot()->pausedUntil, double(a.rig.time.now().toMSecsSinceEpoch()) + 15 * 60000);

    AccountApiDouble::Fault offline;
    offline.drop = true;
    a.api.addFault(u"/api/folga"_s, offline);
    a.api.addFault(u"/api/folga"_s, offline);
    used.reset();
    a.account.useFolga([&](std::optional<AccountFailure> failure) { used = failure; });
    ASSERT_TRUE(waitUntil([&] { return used.has_value(); }));
    ASSERT_TRUE(used->has_value());
    EXPECT_EQ((*used)->text, DesktopAccountService::folgaOfflineMessage);
}

TEST(DesktopAccountServiceTest, SyncRequestsDuringARoundMakeOneMore)
{
    AccountRig a;
    a.startAndSync();
    AccountApiDouble::Fault slow;
    slow.delayMs = 200;
    a.api.addFault(bootstrapPath, slow);
    a.account.syncNow();
    ASSERT_TRUE(waitUntil([&] { return a.api.count(bootstrapPath) == 2; }));
    a.account.syncNow();
    a.account.syncNow();
    a.rig.time.advance(DesktopAccountService::syncInterval); // the timer's tick joins in too
    ASSERT_TRUE(a.roundsDone(3));
    spin(100);
    EXPECT_EQ(a.api.count(bootstrapPath), 3);
    EXPECT_FALSE(a.account.syncing());
}

TEST(DesktopAccountServiceTest, FinishingOnboardingMarksTheAccountAndApplies)
{
    AccountRig a;
    a.api.snapshot.insert(u"settings"_s, settingsWith({ u"account.example"_s }, false));
    a.startAndSync();
    EXPECT_EQ(a.account.message(), DesktopAccountService::notOnboardedMessage);
    bool finished = false;
    a.account.finishOnboarding([&] { finished = true; });
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    ASSERT_EQ(a.api.count(settingsPath), 1);
    const QJsonObject sent = QJsonDocument::fromJson(a.api.requestsTo(settingsPath).first().body).object();
    EXPECT_TRUE(sent.value(u"settings"_s).toObject().value(u"onboarded"_s).toBool());
    ASSERT_TRUE(a.roundsDone(2));
    EXPECT_EQ(a.account.message(), DesktopAccountService::syncedMessage);
    EXPECT_EQ(a.account.saveState(), AccountSaveState::saved());
    // The local sites went up and came back unchanged.
    EXPECT_EQ(a.rig.config->configuration().blockedSites, QStringList { u"local.example"_s });
}

TEST(DesktopAccountServiceTest, MissionsAndFolgaHistory)
{
    AccountRig a;
    a.api.snapshot.insert(u"folga"_s,
        QJsonObject { { u"available"_s, 0 }, { u"minutes"_s, 15 }, { u"earnedToday"_s, QJsonArray {} },
            { u"focusMinutes"_s, 75 } });
    a.api.folgaHistory = QJsonArray { QJsonObject { { u"mission"_s, u"focus"_s }, { u"earnedAt"_s, 1712.9 },
        { u"expiresAt"_s, 5000 }, { u"status"_s, u"available"_s } } };
    a.startAndSync();

    const QList<AccountMission> missions { { u"focus"_s, 60 }, { u"steps"_s, 8000 } };
    std::optional<std::optional<AccountFailure>> result;
    a.account.saveMissions(missions, [&](std::optional<AccountFailure> failure) { result = failure; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(result->has_value());
    EXPECT_EQ(a.api.requestsTo(u"/api/missions"_s).first().body,
        R"({"missions":[{"kind":"focus","target":60},{"kind":"steps","target":8000}]})"_ba);
    EXPECT_EQ(a.account.snapshot()->missions, missions);

    result.reset();
    a.account.earnFolga(missions.first(), [&](std::optional<AccountFailure> failure) { result = failure; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(result->has_value());
    EXPECT_EQ(a.api.requestsTo(u"/api/folga/earn"_s).first().body, R"({"mission":{"kind":"focus","target":60}})"_ba);
    EXPECT_EQ(a.account.snapshot()->folga->available, 1);
    EXPECT_EQ(a.account.snapshot()->folga->earnedToday, QStringList { u"focus"_s });

    std::optional<QList<FolgaEntry>> entries;
    a.account.folgaHistory([&](std::optional<AccountFailure> failure, QList<FolgaEntry> list) {
        EXPECT_FALSE(failure);
        entries = list;
    });
    ASSERT_TRUE(waitUntil([&] { return entries.has_value(); }));
    ASSERT_EQ(entries->size(), 1);
    EXPECT_EQ(entries->first().id(), u"focus-1712"_s);
}

TEST(DesktopAccountServiceTest, AChangeWithoutASessionSaysThereIsNoAccountAndSendsNothing)
{
    AccountRig a; // not started: no session is loaded
    std::optional<std::optional<AccountFailure>> result;
    a.account.saveMissions({ { u"focus"_s, 60 } }, [&](std::optional<AccountFailure> failure) { result = failure; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(result->has_value());
    EXPECT_EQ((*result)->access, DesktopAccessError::configuration);
    EXPECT_EQ(a.api.count(u"/api/missions"_s), 0);
}

TEST(DesktopAccountServiceTest, ARefusedRefreshSignsOutLikeADisconnect)
{
    AccountRig a;
    a.startAndSync();
    ASSERT_TRUE(a.account.snapshot());
    // An upload state to be reset: an edit that leaves nothing to block.
    Configuration emptied = a.rig.config->configuration();
    emptied.blockedSites.clear();
    a.rig.config->setConfiguration(emptied);
    a.account.localEditChanged();
    a.rig.time.advance(DesktopAccountService::saveDelay);
    ASSERT_EQ(a.account.saveState().state, AccountSaveState::Case::failed);

    // The session runs out and the account refuses to renew it.
    a.api.validRefreshToken = u"revoked"_s;
    a.rig.time.advance(std::chrono::hours(2));
    ASSERT_TRUE(waitUntil([&] { return !a.account.session(); }));
    EXPECT_FALSE(a.account.snapshot());
    EXPECT_FALSE(a.account.appliedRevision());
    EXPECT_EQ(a.account.saveState(), AccountSaveState::idle());
    EXPECT_TRUE(a.store.stored().isEmpty());
}

// What the browser bridge sees of the account: the account only once its
// settings are applied here, a focus start through the account, and a sync
// whose completion waits for the pass that runs.
TEST(DesktopAccountServiceTest, TheBridgeSeesTheAccountOnceItsSettingsAreApplied)
{
    AccountRig a;
    AccountServiceBridgeAccount bridge(a.account);
    EXPECT_FALSE(bridge.syncedAccount());
    a.startAndSync();
    ASSERT_TRUE(bridge.hasSession());
    const auto synced = bridge.syncedAccount();
    ASSERT_TRUE(synced);
    EXPECT_EQ(synced->revision, a.account.snapshot()->revision);
    EXPECT_EQ(synced->settings.sites, QStringList { u"account.example"_s });

    std::optional<std::optional<QString>> started;
    bridge.startFocus(25, [&](std::optional<QString> error) { started = error; });
    ASSERT_TRUE(waitUntil([&] { return started.has_value(); }));
    EXPECT_FALSE(started->has_value());
    EXPECT_EQ(a.api.requestsTo(u"/api/focus"_s).first().body, R"({"minutes":25})"_ba);
    a.api.addFault(u"/api/focus"_s, AccountApiDouble::status(423, R"({"error":"Foco travado."})"_ba));
    started.reset();
    bridge.startFocus(25, [&](std::optional<QString> error) { started = error; });
    ASSERT_TRUE(waitUntil([&] { return started.has_value(); }));
    EXPECT_EQ(*started, u"Foco travado."_s);

    // A sync asked for while a slow pass runs ends after one more pass.
    AccountApiDouble::Fault slow;
    slow.delayMs = 200;
    a.api.addFault(bootstrapPath, slow);
    const int before = a.api.count(bootstrapPath);
    a.account.syncNow();
    bool resynced = false;
    bridge.syncNow([&] { resynced = true; });
    EXPECT_FALSE(resynced);
    ASSERT_TRUE(waitUntil([&] { return resynced; }, 10000));
    EXPECT_EQ(a.api.count(bootstrapPath), before + 2);
    EXPECT_FALSE(a.account.syncing());

    // Signed out: nothing synced, and a sync completes at once.
    a.account.disconnect();
    ASSERT_TRUE(waitUntil([&] { return !a.account.session(); }));
    EXPECT_FALSE(bridge.syncedAccount());
    bool immediate = false;
    bridge.syncNow([&] { immediate = true; });
    EXPECT_TRUE(immediate);
}

TEST(DesktopAccountServiceTest, ALockedKeyringIsAskedAgainAndIsNotASignOut)
{
    AccountRig a;
    a.store.failReads(true);
    int reports = 0;
    QObject::connect(&a.account, &DesktopAccountService::stateChanged, [&] { ++reports; });
    EXPECT_EQ(a.account.sessionLookup(), SessionLookup::pending);
    a.account.start();
    ASSERT_TRUE(waitUntil([&] { return a.account.sessionLookup() == SessionLookup::unavailable; }));
    EXPECT_GE(reports, 1);
    a.rig.time.advance(DesktopAccountService::syncInterval);
    spin(50);
    EXPECT_EQ(a.account.sessionLookup(), SessionLookup::unavailable);
    EXPECT_EQ(a.api.count(bootstrapPath), 0);

    // Unlocked: the next tick reads the session and syncs with it.
    a.store.failReads(false);
    a.rig.time.advance(DesktopAccountService::syncInterval);
    ASSERT_TRUE(waitUntil([&] { return a.account.sessionLookup() == SessionLookup::loaded; }));
    EXPECT_TRUE(a.account.session());
    EXPECT_TRUE(a.roundsDone(1));
}
