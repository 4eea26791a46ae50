// The bridge's one-second exchange on a temporary folder, with a fake clock,
// a recording daemon and a scripted account; the tests play the extension by
// writing its files.
#include "app/services/bridge/DesktopBrowserBridge.h"

#include "BridgeRig.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::BridgeRig;

const QString waiting = u"Aguardando a extensão. Bloqueio do sistema mantido."_s;
const QString applying = u"Aplicando o foco neste computador…"_s;
const QString synced = u"Extensão sincronizada neste perfil."_s;
const QString tickFailed = u"Não foi possível sincronizar a extensão. Bloqueio do sistema mantido."_s;

QByteArray command(const QString& action, const QJsonValue& revision, std::optional<double> minutes = {})
{
    QJsonObject object { { u"id"_s, u"c"_s }, { u"action"_s, action }, { u"revision"_s, revision } };
    if (minutes) {
        object.insert(u"minutes"_s, *minutes);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QStringList filesStartingWith(BridgeRig& rig, const QString& prefix)
{
    return QDir(rig.bridge().directory()).entryList({ prefix + u'*' }, QDir::Files | QDir::System);
}

TEST(BrowserBridgeTest, FirstTickWritesStateAndBumpsTheGeneration)
{
    BridgeRig rig;
    const qint64 generation = rig.bridge().session().generation;
    EXPECT_EQ(generation, qint64(rig.nowMs()));
    EXPECT_FALSE(QFile::exists(rig.bridge().directory()));

    rig.bridge().startMonitoring();
    struct stat folder { };
    ASSERT_EQ(::stat(QFile::encodeName(rig.bridge().directory()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(rig.bridge().session().generation, generation + 1);
    const QJsonObject state = rig.state();
    EXPECT_EQ(state.value(u"version"_s), 1);
    EXPECT_EQ(state.value(u"enabled"_s), true);
    EXPECT_EQ(state.value(u"systemReady"_s), false);
    EXPECT_EQ(state.value(u"revision"_s).toString().size(), 64);
    EXPECT_FALSE(rig.bridge().helperReady());
    EXPECT_EQ(rig.bridge().status(), waiting);
    ASSERT_EQ(rig.pushes.size(), 1);
    EXPECT_TRUE(rig.pushes[0].control.enabled);
    EXPECT_EQ(rig.pushes[0].control.generation, generation + 1);
    EXPECT_EQ(rig.pushes[0].control.coverageUntil.unixSeconds(), rig.nowMs() / 1000);

    // The session survives a restart; a broken one starts afresh.
    EXPECT_EQ(rig.recreate().session().generation, generation + 1);
    rig.write(u"session.json"_s, R"({"manual":null})");
    EXPECT_EQ(rig.recreate().session(), BrowserBridgeSession::fresh(rig.nowMs()));
}

TEST(BrowserBridgeTest, FreshReceiptsChooseTheClient)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    // Offsets from the next tick's time.
    const QList<std::pair<double, bool>> stamps = { { -10000, false }, { -9999, true }, { 0, true }, { 1, false } };
    for (const auto& [offset, fresh] : stamps) {
        rig.receipt(u"a"_s, rig.nowMs() + 1000 + offset);
        rig.second();
        EXPECT_EQ(rig.bridge().connected(), fresh) << offset;
    }

    // A receipt of exactly 8000 bytes is read; one byte more is ignored and stays.
    const auto padded = [&rig](qsizetype size) {
        const QJsonObject state = rig.state();
        QByteArray bytes = QJsonDocument(QJsonObject { { u"revision"_s, state.value(u"revision"_s) },
                                             { u"focusId"_s, u"none"_s }, { u"receivedAt"_s, rig.nowMs() + 1000 } })
                               .toJson(QJsonDocument::Compact);
        return bytes + QByteArray(size - bytes.size(), ' ');
    };
    rig.write(u"receipt-a.json"_s, padded(8000));
    rig.second();
    EXPECT_TRUE(rig.bridge().connected());
    rig.write(u"receipt-a.json"_s, padded(8001));
    rig.second();
    EXPECT_FALSE(rig.bridge().connected());
    EXPECT_TRUE(QFile::exists(rig.path(u"receipt-a.json"_s)));
}

TEST(BrowserBridgeTest, ActiveClientSticksWhileFresh)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    rig.receipt(u"b"_s, rig.nowMs() + 1000);
    rig.receipt(u"a"_s, rig.nowMs() + 1000);
    rig.second();
    EXPECT_EQ(rig.bridge().activeClientId(), u"a"_s);
    // a stops answering while b carries on; a's return does not take over.
    for (int i = 0; i < 10; ++i) {
        rig.receipt(u"b"_s, rig.nowMs() + 1000);
        rig.second();
    }
    EXPECT_EQ(rig.bridge().activeClientId(), u"b"_s);
    rig.receipt(u"a"_s, rig.nowMs() + 1000);
    rig.second();
    EXPECT_EQ(rig.bridge().activeClientId(), u"b"_s);
    // Nobody fresh: nobody active.
    rig.time.advance(11s);
    EXPECT_EQ(rig.bridge().activeClientId(), std::nullopt);
}

TEST(BrowserBridgeTest, FifosAndDevicesNamedLikeExchangeFilesAreNotRead)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    // Reading either would block the tick or never end.
    ASSERT_EQ(::mkfifo(QFile::encodeName(rig.path(u"receipt-fifo.json"_s)).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(rig.path(u"command-fifo"_s)).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, rig.path(u"receipt-zero.json"_s)));
    rig.receipt(u"a"_s, rig.nowMs() + 1000);
    rig.second();
    EXPECT_TRUE(rig.bridge().connected());
    EXPECT_EQ(rig.bridge().activeClientId(), u"a"_s);
    EXPECT_TRUE(QFile::exists(rig.path(u"receipt-fifo.json"_s)));
    EXPECT_FALSE(QFileInfo::exists(rig.path(u"command-fifo"_s)));
    EXPECT_EQ(readExchangeFile(u"/dev/zero"_s, 8001), std::nullopt);
}

TEST(BrowserBridgeTest, CommandBurstIsHandledTwentyAtATime)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    for (int i = 0; i < 25; ++i) {
        rig.write(u"command-%1"_s.arg(i), command(u"other"_s, rig.state().value(u"revision"_s)));
    }
    rig.second();
    EXPECT_EQ(filesStartingWith(rig, u"command-"_s).size(), 5);
    rig.second();
    EXPECT_TRUE(filesStartingWith(rig, u"command-"_s).isEmpty());
}

TEST(BrowserBridgeTest, StartAndSyncCommands)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    const QJsonValue revision = rig.state().value(u"revision"_s);

    // Out of range: deleted, nothing starts, the tick reports its failure.
    rig.receipt(u"a"_s, rig.nowMs() + 1000);
    for (const double minutes : { 0.0, 241.0, 5e9 }) {
        rig.write(u"command-start"_s, command(u"start"_s, revision, minutes));
        rig.second();
        EXPECT_FALSE(QFile::exists(rig.path(u"command-start"_s)));
        EXPECT_FALSE(rig.bridge().focus().enabled);
        EXPECT_FALSE(rig.bridge().connected());
        EXPECT_FALSE(rig.bridge().helperReady());
        EXPECT_EQ(rig.bridge().status(), tickFailed);
    }
    // Another revision, or a start without minutes: no effect.
    rig.write(u"command-old"_s, command(u"start"_s, u"old"_s, 25));
    rig.write(u"command-nominutes"_s, command(u"start"_s, revision));
    rig.second();
    EXPECT_TRUE(filesStartingWith(rig, u"command-"_s).isEmpty());
    EXPECT_FALSE(rig.bridge().focus().enabled);

    rig.write(u"command-sync"_s, command(u"sync"_s, revision));
    rig.second();
    EXPECT_EQ(rig.account.syncs, 1);

    rig.write(u"command-start"_s, command(u"start"_s, revision, 25));
    rig.second();
    const auto manual = rig.bridge().session().manual;
    ASSERT_TRUE(manual.has_value());
    EXPECT_EQ(manual->endsAt.unixSeconds(), rig.nowMs() / 1000 + 25 * 60);
    EXPECT_EQ(manual->id.size(), 36);
    EXPECT_TRUE(rig.bridge().focus().enabled);
    EXPECT_EQ(rig.state().value(u"focus"_s).toObject().value(u"id"_s).toString(), manual->id);
    EXPECT_EQ(rig.sessionEnds.last(), QDateTime::fromSecsSinceEpoch(qint64(manual->endsAt.unixSeconds()), Qt::UTC));
    EXPECT_EQ(rig.remainingTimes.last(), u"25:00"_s);
    // session.json keeps the manual focus across a restart.
    EXPECT_EQ(rig.recreate().session().manual, manual);
}

TEST(BrowserBridgeTest, StatusLadder)
{
    BridgeRig rig(false);
    QSignalSpy written(&rig.bridge(), &DesktopBrowserBridge::stateWritten);
    rig.bridge().startMonitoring();
    rig.write(u"command-x"_s, command(u"sync"_s, rig.state().value(u"revision"_s)));
    rig.second();
    rig.second();
    EXPECT_EQ(written.count(), 3);
    EXPECT_EQ(rig.state().value(u"enabled"_s), false);
    EXPECT_EQ(rig.bridge().status(), u"Sincronização desativada."_s);
    EXPECT_FALSE(QFile::exists(rig.path(u"command-x"_s)));
    EXPECT_EQ(rig.account.syncs, 0);

    // An old daemon keeps sync off.
    rig.supportsBrowserSync = false;
    rig.bridge().setEnabled(true);
    EXPECT_FALSE(rig.bridge().enabled());
    EXPECT_EQ(rig.bridge().status(), u"Atualize o helper do Kestravin para sincronizar."_s);
    EXPECT_FALSE(rig.storedSwitch());

    rig.supportsBrowserSync = true;
    rig.bridge().setEnabled(true);
    EXPECT_TRUE(rig.storedSwitch());
    EXPECT_EQ(rig.bridge().status(), waiting);
    rig.receipt(u"a"_s, rig.nowMs());
    rig.second();
    EXPECT_EQ(rig.bridge().status(), applying);
    // The first push (sent when sync went on) carried no receipt: it covers
    // nothing past the next tick.
    rig.answer(true);
    rig.second();
    EXPECT_FALSE(rig.bridge().helperReady());
    EXPECT_EQ(rig.bridge().status(), applying);
    rig.second();
    ASSERT_EQ(rig.pushes.size(), 2);
    rig.answer(true);
    EXPECT_TRUE(rig.bridge().helperReady());
    rig.second();
    EXPECT_EQ(rig.bridge().status(), synced);
    EXPECT_EQ(rig.state().value(u"systemReady"_s), true);
}

TEST(BrowserBridgeTest, PushCoverageFollowsTheFreshestReceipt)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    rig.answer(true);
    rig.receipt(u"a"_s, rig.nowMs() - 6000);
    rig.time.advance(3s);
    // Pushed when the receipt was 9 s old: covered until 3 s after the push.
    ASSERT_EQ(rig.pushes.size(), 2);
    const BridgeRig::Push& push = rig.pushes[1];
    EXPECT_EQ(push.control.coverageUntil.unixSeconds() * 1000, push.sentAtMs + 3000);
    rig.answer(true);
    EXPECT_TRUE(rig.bridge().helperReady());
    rig.time.advance(2s);
    EXPECT_TRUE(rig.bridge().helperReady());
    rig.second();
    EXPECT_FALSE(rig.bridge().helperReady());

    // A reply for an older revision only frees the next push.
    rig.time.advance(3s);
    ASSERT_EQ(rig.pushes.size(), 3);
    rig.configuration.blockedSites = { u"x.com"_s };
    rig.second();
    rig.answer(true);
    EXPECT_FALSE(rig.bridge().helperReady());
    rig.second();
    ASSERT_EQ(rig.pushes.size(), 4);
    EXPECT_EQ(rig.pushes[3].control.platforms, QStringList { u"x"_s });

    // A failure for the current revision is reported.
    rig.answer(false, u"Helper indisponível."_s);
    EXPECT_EQ(rig.bridge().status(), u"Helper indisponível."_s);
}

TEST(BrowserBridgeTest, SwitchingOffIsPushedUntilAccepted)
{
    BridgeRig rig;
    rig.bridge().startMonitoring();
    rig.answer(true);
    ASSERT_EQ(rig.bridge().begin(30), std::nullopt);
    rig.answer(true);
    rig.bridge().setEnabled(false);
    EXPECT_FALSE(rig.bridge().session().manual.has_value());
    EXPECT_FALSE(rig.sessionEnds.last().isValid());
    EXPECT_EQ(rig.remainingTimes.last(), QString());
    ASSERT_EQ(rig.pushes.size(), 3);
    EXPECT_FALSE(rig.pushes[2].control.enabled);
    EXPECT_EQ(rig.pushes[2].control.manualEndsAt, std::nullopt);
    rig.answer(false);
    rig.time.advance(3s);
    ASSERT_EQ(rig.pushes.size(), 4);
    EXPECT_FALSE(rig.pushes[3].control.enabled);
    rig.answer(true);
    rig.time.advance(10s);
    EXPECT_EQ(rig.pushes.size(), 4);
}

TEST(BrowserBridgeTest, WithoutAccountAndSyncOffTheBridgeLeavesFocusAlone)
{
    // A focus started from the popover keeps its countdown: the bridge neither
    // mirrors nor pushes anything.
    BridgeRig rig(false);
    rig.bridge().startMonitoring();
    rig.time.advance(10s);
    rig.bridge().setEnabled(false);
    rig.time.advance(4s);
    EXPECT_TRUE(rig.sessionEnds.isEmpty());
    EXPECT_TRUE(rig.remainingTimes.isEmpty());
    EXPECT_TRUE(rig.pushes.isEmpty());

    // With the account's settings applied the mirror and the push follow the account.
    BrowserBridgePolicy::AccountView account;
    account.userId = u"u1"_s;
    account.settings.onboarded = true;
    account.settings.platforms = { u"youtube"_s };
    account.focusEnabled = true;
    account.focusId = u"f1"_s;
    account.focusEndsAt = rig.nowMs() + 90000;
    rig.account.synced = account;
    rig.account.focusSource = u"account"_s;
    rig.second();
    EXPECT_EQ(rig.bridge().focus().id, u"f1"_s);
    EXPECT_EQ(rig.remainingTimes.last(), u"1:29"_s);
    ASSERT_EQ(rig.pushes.size(), 1);
    EXPECT_TRUE(rig.pushes[0].control.enabled);
    EXPECT_EQ(rig.pushes[0].control.manualEndsAt->unixSeconds() * 1000, *account.focusEndsAt);
    EXPECT_EQ(rig.pushes[0].control.pausedUntil->unixSeconds(), 0);
}

TEST(BrowserBridgeTest, BeginChecksAndTheAccountRoute)
{
    BridgeRig rig(false);
    const auto off = rig.bridge().begin(25);
    ASSERT_TRUE(off.has_value());
    EXPECT_TRUE(off->is(DesktopAccessError::invalidRequest));
    EXPECT_EQ(off->message, u"Informe uma justificativa de 8 a 1.500 caracteres."_s);

    rig.bridge().setEnabled(true);
    for (const int minutes : { 0, 241 }) {
        const auto failure = rig.bridge().begin(minutes);
        ASSERT_TRUE(failure.has_value());
        EXPECT_TRUE(failure->is(DesktopAccessError::invalidRequest));
        EXPECT_EQ(failure->message, u"Escolha uma duração de 1 a 240 minutos."_s);
    }
    EXPECT_EQ(rig.bridge().begin(240), std::nullopt);

    // Linked: the account starts the focus, then syncs.
    rig.account.session = true;
    EXPECT_EQ(rig.bridge().begin(45), std::nullopt);
    EXPECT_EQ(rig.account.focusStarts, QList<int> { 45 });
    EXPECT_EQ(rig.account.syncs, 1);
    rig.account.startError = u"Sem conexão."_s;
    EXPECT_EQ(rig.bridge().begin(45), std::nullopt);
    EXPECT_EQ(rig.bridge().status(), u"Sem conexão."_s);
    EXPECT_EQ(rig.account.syncs, 1);
}

TEST(BrowserBridgeTest, AFolderThatCannotBeMadeFailsEveryTick)
{
    BridgeRig rig;
    // A file stands where the exchange folder belongs.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(rig.bridge().directory()).path()));
    QFile blocker(rig.bridge().directory());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    rig.bridge().startMonitoring();
    rig.second();
    EXPECT_EQ(rig.bridge().status(), tickFailed);
    EXPECT_FALSE(rig.bridge().connected());
    EXPECT_TRUE(rig.pushes.isEmpty());
    // Once the folder can be made the next tick recovers.
    ASSERT_TRUE(QFile::remove(rig.bridge().directory()));
    rig.second();
    EXPECT_EQ(rig.bridge().status(), waiting);
}

} // namespace
} // namespace kestravin
