#include "app/services/daemon/HelperConnection.h"

#include "EventLoop.h"
#include "FakeHelperDaemon.h"
#include "FakeTime.h"
#include "Fakes.h"
#include "PrivateBus.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeHelperDaemon;
using testing::FakeTime;
using testing::Outcome;
using testing::PrivateBus;
using testing::waitUntil;

HelperConnection::BusFactory factoryFor(const QString& address)
{
    return [address](const QString& name) { return QDBusConnection::connectToBus(address, name); };
}

class HelperConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString(); }

    PrivateBus bus;
    FakeTime time;
};

TEST_F(HelperConnectionTest, ActivationSendsHostsInOrderAndHandsBackTheReply)
{
    FakeHelperDaemon daemon(bus.address());
    ASSERT_TRUE(daemon.isRegistered());
    HelperConnection client(factoryFor(bus.address()), time);

    Outcome ok;
    client.activateBlocking({ u"b.example"_s, u"a.example"_s }, ok.recorder());
    ASSERT_TRUE(waitUntil([&] { return ok.calls > 0; }));
    EXPECT_TRUE(ok.success);
    EXPECT_TRUE(ok.message.isEmpty());
    EXPECT_EQ(daemon.calls().at(0).arguments.at(0).toStringList(), (QStringList { u"b.example"_s, u"a.example"_s }));

    daemon.setResult(false, u"Failed to verify blocking was applied"_s);
    Outcome failed;
    client.activateBlocking({ u"a.example"_s }, failed.recorder());
    ASSERT_TRUE(waitUntil([&] { return failed.calls > 0; }));
    EXPECT_FALSE(failed.success);
    EXPECT_EQ(failed.message, u"Failed to verify blocking was applied"_s);
    // Back-to-back calls share one connection.
    EXPECT_EQ(client.connectionsOpened(), 1);

    Outcome until;
    daemon.setResult(true, {});
    const QDateTime end = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    client.activateBlockingUntil({ u"a.example"_s }, end, until.recorder());
    ASSERT_TRUE(waitUntil([&] { return until.calls > 0; }));
    EXPECT_TRUE(until.success);
    EXPECT_DOUBLE_EQ(daemon.calls().last().arguments.at(1).toDouble(), 1'800'000'000.0);
}

TEST_F(HelperConnectionTest, StatusCheckAcceptsOnlyTheExactVersion)
{
    FakeHelperDaemon daemon(bus.address());
    HelperConnection client(factoryFor(bus.address()), time);
    struct Case {
        QString version;
        bool success;
        QString message;
    };
    const QList<Case> cases {
        { u"1.7.0"_s, true, {} },
        { u"1.6.9"_s, false, u"Helper version mismatch: installed=1.6.9, expected=1.7.0"_s },
        { u"1.7.0 "_s, false, u"Helper version mismatch: installed=1.7.0 , expected=1.7.0"_s },
    };
    for (const auto& c : cases) {
        daemon.setVersion(c.version);
        Outcome outcome;
        client.checkHelperStatus(outcome.recorder());
        ASSERT_TRUE(waitUntil([&] { return outcome.calls > 0; }));
        EXPECT_EQ(outcome.success, c.success) << c.version.toStdString();
        EXPECT_EQ(outcome.message, c.message);
    }
}

TEST_F(HelperConnectionTest, AGuardedCallTimesOutOnceAndTheNextCallUsesANewConnection)
{
    FakeHelperDaemon daemon(bus.address());
    HelperConnection client(factoryFor(bus.address()), time);
    daemon.setHoldReplies(true);

    Outcome outcome;
    client.activateBlocking({ u"a.example"_s }, outcome.recorder());
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"activateBlocking"_s) == 1; }));
    time.advance(9999ms);
    EXPECT_EQ(outcome.calls, 0);
    time.advance(1ms);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.message, u"O ajudante de bloqueio não respondeu."_s);

    // The late reply changes nothing.
    daemon.releaseHeld();
    testing::spin(200);
    EXPECT_EQ(outcome.calls, 1);

    daemon.setHoldReplies(false);
    Outcome next;
    client.checkHelperStatus(next.recorder());
    ASSERT_TRUE(waitUntil([&] { return next.calls > 0; }));
    EXPECT_TRUE(next.success);
    EXPECT_EQ(client.connectionsOpened(), 2);

    // The status check gives up after 4 s.
    daemon.setHoldReplies(true);
    Outcome status;
    client.checkHelperStatus(status.recorder());
    time.advance(4s);
    EXPECT_EQ(status.calls, 1);
    EXPECT_EQ(status.message, u"O ajudante de bloqueio não respondeu."_s);
}

TEST_F(HelperConnectionTest, WithoutADaemonGuardedCallsFailAndPlainCallsNeverComplete)
{
    HelperConnection client(factoryFor(bus.address()), time);

    Outcome activation;
    client.activateBlocking({ u"a.example"_s }, activation.recorder());
    ASSERT_TRUE(waitUntil([&] { return activation.calls > 0; }));
    EXPECT_FALSE(activation.success);
    EXPECT_TRUE(activation.message.startsWith(u"O ajudante de bloqueio não respondeu. "_s))
        << activation.message.toStdString();
    EXPECT_GT(activation.message.size(), QString(u"O ajudante de bloqueio não respondeu. "_s).size());

    int plainCompletions = 0;
    client.isBlockingActive([&](bool) { ++plainCompletions; });
    client.deactivateBlocking([&](bool, QString) { ++plainCompletions; });
    client.updateSchedule(HelperScheduleConfig(), [&](bool, QString) { ++plainCompletions; });
    client.getHelperVersion([&](std::optional<QString>) { ++plainCompletions; });
    testing::spin(300);
    time.advance(60s);
    EXPECT_EQ(plainCompletions, 0);
    EXPECT_EQ(activation.calls, 1);
}

TEST_F(HelperConnectionTest, AnUnreachableBusFailsAtOnce)
{
    HelperConnection client(factoryFor(u"unix:path=/nonexistent/kestravin-bus"_s), time);
    Outcome activation;
    client.activateBlocking({}, activation.recorder());
    EXPECT_EQ(activation.calls, 1); // synchronously
    EXPECT_EQ(activation.message, u"Cannot connect to helper"_s);

    Outcome schedule;
    client.updateSchedule(HelperScheduleConfig(), schedule.recorder());
    EXPECT_EQ(schedule.message, u"Cannot connect to helper"_s);

    std::optional<bool> active;
    client.isBlockingActive([&](bool value) { active = value; });
    EXPECT_EQ(active, false);

    Outcome grants;
    client.setSiteAccess({}, HelperScheduleConfig(), grants.recorder());
    ASSERT_TRUE(waitUntil([&] { return grants.calls > 0; }));
    EXPECT_EQ(grants.message, u"Não foi possível conectar ao helper."_s);
}

TEST_F(HelperConnectionTest, GatedCallsCheckTheVersionFirst)
{
    FakeHelperDaemon daemon(bus.address());
    HelperConnection client(factoryFor(bus.address()), time);
    HelperScheduleConfig expected({}, true, { u"a.example"_s });
    expected.siteAccessFocusEnd = Instant(1000.5);

    daemon.setVersion(u"1.6.9"_s);
    Outcome refused;
    client.setSiteAccess({ SiteAccessGrant(u"a.example"_s, Instant(2000)) }, expected, refused.recorder());
    ASSERT_TRUE(waitUntil([&] { return refused.calls > 0; }));
    EXPECT_EQ(refused.message, u"Atualize o helper do Kestravin."_s);
    EXPECT_EQ(daemon.count(u"setSiteAccess"_s), 0);

    daemon.setVersion(u"1.7.0"_s);
    Outcome granted;
    const QDateTime expiry = QDateTime::fromSecsSinceEpoch(1'900'000'000, Qt::UTC);
    client.grantScheduledAccess(u"youtube"_s, expiry, expected, granted.recorder());
    ASSERT_TRUE(waitUntil([&] { return granted.calls > 0; }));
    EXPECT_TRUE(granted.success);
    const auto call = daemon.calls().last();
    ASSERT_EQ(call.method, u"grantScheduledAccess"_s);
    EXPECT_EQ(call.arguments.at(0).toString(), u"youtube"_s);
    // The expiry travels as seconds since 1970, the configuration keeps the
    // contract's own instants.
    EXPECT_DOUBLE_EQ(call.arguments.at(1).toDouble(), 1'900'000'000.0);
    const auto sent = HelperScheduleConfig::fromJsonBytes(call.arguments.at(2).toByteArray());
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(sent->siteAccessFocusEnd, Instant(1000.5));
}

TEST_F(HelperConnectionTest, GatedCallsTimeOutWithTheirOwnTexts)
{
    FakeHelperDaemon daemon(bus.address());
    HelperConnection client(factoryFor(bus.address()), time);
    daemon.setHoldReplies(true);
    const HelperScheduleConfig expected;

    Outcome control;
    Outcome access;
    Outcome grants;
    client.updateBrowserControl(BrowserHelperControl(), expected, control.recorder());
    client.grantScheduledAccess(u"x"_s, time.now(), expected, access.recorder());
    client.setSiteAccess({}, expected, grants.recorder());
    time.advance(4s);
    ASSERT_TRUE(waitUntil([&] { return control.calls > 0; }));
    EXPECT_EQ(control.message, u"O helper não respondeu."_s);
    EXPECT_EQ(access.calls, 0);
    time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return access.calls > 0 && grants.calls > 0; }));
    EXPECT_EQ(access.message, u"O helper não respondeu. Permita o bloqueio neste computador de novo."_s);
    EXPECT_EQ(grants.message, u"O helper não respondeu."_s);

    daemon.releaseHeld();
    testing::spin(200);
    EXPECT_EQ(control.calls + access.calls + grants.calls, 3);
    EXPECT_EQ(daemon.count(u"setSiteAccess"_s), 0);
}

} // namespace
} // namespace kestravin
