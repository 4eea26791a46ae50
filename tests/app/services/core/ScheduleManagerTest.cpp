#include "app/services/core/ScheduleManager.h"

#include "app/services/core/AppEvents.h"

#include "EventLoop.h"
#include "ServiceRig.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::ServiceRig;
using testing::waitUntil;
using Authorization = NotificationCenter::Authorization;

const QString sessionStart = u"Foco começou"_s;
const QString sessionEnd = u"Foco concluído"_s;
const QString scheduledStart = u"Hora de focar"_s;
const QString scheduledEnd = u"Horário de foco concluído"_s;

ServiceRig::Options rigWith(const Configuration& configuration, bool fakeDaemon = true)
{
    ServiceRig::Options options;
    options.fakeDaemon = fakeDaemon;
    options.configJson = configuration.toJsonBytes();
    return options;
}

// Counts "BlockingStatusChanged" while it lives.
struct StatusChanges {
    int count = 0;
    QObject context;
    StatusChanges()
    {
        QObject::connect(&AppEvents::shared(), &AppEvents::blockingStatusChanged, &context, [this] { ++count; });
    }
};

// The daemon lifts its block after one schedule hand-over: the published
// state follows at the next check, the edge is seen at the one after, and
// then the whole current schedule goes.
void endBlockAndExpectTheHandOver(ServiceRig& rig)
{
    auto& daemon = *rig.daemon;
    const int handed = daemon.count(u"updateSchedule"_s);
    daemon.setBlockingActive(false);
    rig.time.advance(60s);
    ASSERT_TRUE(waitUntil([&] { return !rig.blocking->isBlocking(); }));
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"updateSchedule"_s), handed);
    rig.time.advance(60s);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"updateSchedule"_s) == handed + 1; }));
    const auto sent = HelperScheduleConfig::fromJsonBytes(daemon.calls().last().arguments.at(0).toByteArray());
    ASSERT_TRUE(sent.has_value());
    EXPECT_TRUE(sent->sameSchedule(rig.config->configuration().helperScheduleConfig()));
}

TEST(ScheduleManagerSession, AManualSessionCountsDownAndEndsFiveSecondsAfterItsEnd)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, false)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& manager = rig.startScheduleManager();
    StatusChanges changes;

    manager.blockForDuration(25);
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }));
    const QDateTime end = rig.time.now().addSecs(25 * 60);
    EXPECT_EQ(manager.sessionEndTime(), end);
    EXPECT_EQ(manager.remainingTime(), u"25:00"_s);
    EXPECT_EQ(rig.notices.posted.last(),
        std::make_pair(sessionStart, u"Os sites e apps escolhidos ficam para depois por 25 min."_s));
    EXPECT_EQ(changes.count, 1);
    EXPECT_TRUE(rig.config->removalsLocked());

    rig.time.advance(1s);
    EXPECT_EQ(manager.remainingTime(), u"24:59"_s);
    rig.time.advance(25min - 2s);
    EXPECT_EQ(manager.remainingTime(), u"0:01"_s);
    rig.daemon->setBlockingActive(false); // the daemon lifts the block at its end
    rig.time.advance(1s);
    EXPECT_TRUE(manager.remainingTime().isEmpty());
    EXPECT_FALSE(manager.sessionEndTime().isValid());
    EXPECT_TRUE(manager.manualOverride());
    ASSERT_TRUE(waitUntil([&] { return changes.count == 2; })); // the in-app end found the block lifted
    EXPECT_FALSE(rig.blocking->isBlocking());

    rig.time.advance(4999ms);
    EXPECT_TRUE(manager.manualOverride());
    rig.time.advance(1ms);
    EXPECT_FALSE(manager.manualOverride());
    EXPECT_EQ(
        rig.notices.posted.last(), std::make_pair(sessionEnd, u"Bom trabalho. Sites e apps estão livres de novo."_s));
    EXPECT_EQ(changes.count, 3);
    // Neither edge of a manual session sends the scheduled notices.
    rig.time.advance(2min);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_FALSE(rig.notices.titles().contains(scheduledStart));
    EXPECT_FALSE(rig.notices.titles().contains(scheduledEnd));
}

TEST(ScheduleManagerSession, ASecondFocusReplacesTheFirst)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, false)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& manager = rig.startScheduleManager();
    manager.blockForDuration(25);
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }));
    rig.time.advance(5min);
    manager.blockForDuration(60);
    ASSERT_TRUE(waitUntil([&] { return rig.daemon->count(u"activateBlockingUntil"_s) == 2; }));
    const QDateTime secondEnd = rig.time.now().addSecs(60 * 60);
    // The daemon is told the new end too.
    EXPECT_DOUBLE_EQ(rig.daemon->calls().last().arguments.at(1).toDouble(), double(secondEnd.toSecsSinceEpoch()));
    ASSERT_TRUE(waitUntil([&] { return manager.sessionEndTime() == secondEnd; }));

    // The first session's end passes without ending anything.
    rig.time.advance(21min);
    EXPECT_TRUE(manager.manualOverride());
    EXPECT_EQ(manager.sessionEndTime(), secondEnd);
    EXPECT_FALSE(rig.notices.titles().contains(sessionEnd));
    rig.time.advance(39min + 5s);
    EXPECT_FALSE(manager.manualOverride());
    EXPECT_EQ(rig.notices.titles().count(sessionEnd), 1);
}

TEST(ScheduleManagerSession, InvalidDurationsAndFailedStartsLeaveNoSession)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, false), false));
    auto& manager = rig.startScheduleManager();
    manager.blockForDuration(0);
    manager.blockForDuration(-5);
    manager.blockForDuration(10); // no daemon installed
    EXPECT_FALSE(manager.manualOverride());
    EXPECT_FALSE(manager.sessionEndTime().isValid());
    EXPECT_EQ(rig.blocking->status(), BlockingStatus::error(BlockingService::notInstalledMessage));
    EXPECT_TRUE(rig.notices.posted.isEmpty());
}

TEST(ScheduleManagerPush, EditsReachTheDaemonOnceASecondAfterTheLast)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 20, 22)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    rig.startScheduleManager();
    // The configuration is handed over once about a second after start.
    rig.time.advance(999ms);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"updateSchedule"_s), 0);
    rig.time.advance(1ms);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"updateSchedule"_s) == 1; }));

    for (int i = 0; i < 5; ++i) {
        rig.config->addSites({ u"s%1.example"_s.arg(i) });
        rig.time.advance(200ms);
    }
    rig.time.advance(799ms);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"updateSchedule"_s), 1);
    rig.time.advance(1ms);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"updateSchedule"_s) == 2; }));
    EXPECT_TRUE(daemon.calls().last().arguments.at(1).toStringList().contains(u"s4.example"_s));
}

TEST(ScheduleManagerPush, DuringABlockOnlyAddedSitesGoAtOnceAndHoursWaitForItsEnd)
{
    const Configuration configuration = ServiceRig::configurationWith({ u"a.example"_s }, true, 9, 17);
    ServiceRig rig(rigWith(configuration));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    daemon.setBlockingActive(true); // the daemon's scheduled block runs
    // An earlier run handed the daemon these very hours.
    QFile handed(rig.dataFolder() + u"/daemon-schedule.json"_s);
    ASSERT_TRUE(handed.open(QIODevice::WriteOnly));
    handed.write(configuration.helperScheduleConfig().toJsonBytes());
    handed.close();
    auto& manager = rig.startScheduleManager();
    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));
    rig.time.advance(1s); // the start-up hand-over waits: nothing changed
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"updateSchedule"_s), 0);
    EXPECT_TRUE(manager.hasPendingScheduleChanges());

    rig.config->addSites({ u"b.example"_s });
    rig.time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"updateSchedule"_s) == 1; }));
    EXPECT_TRUE(daemon.calls().last().arguments.at(1).toStringList().contains(u"b.example"_s));

    rig.config->setWeek({ {}, { { 600, 660 } } });
    rig.time.advance(1s);
    rig.config->addSites({ u"c.example"_s }); // on top of changed hours: waits too
    rig.time.advance(1s);
    // The block refreshes for the added sites have reached the daemon (they
    // would put the block back in force after it fell below).
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"updateSchedule"_s), 1);

    // The falling edge of the block hands over what waited.
    endBlockAndExpectTheHandOver(rig);
    EXPECT_FALSE(manager.hasPendingScheduleChanges());
    EXPECT_EQ(rig.notices.titles(), (QStringList { scheduledStart, scheduledEnd }));
}

TEST(ScheduleManagerSession, AFocusStartedInsideTheHoursKeepsItsOwnEnd)
{
    // Hours until 18:00; a 2 h focus at 17:30 runs to 19:30.
    ServiceRig::Options options = rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 9, 18));
    options.start = QDateTime(QDate(2026, 3, 2), QTime(17, 29), Qt::UTC);
    ServiceRig rig(options);
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    daemon.setBlockingActive(true); // the daemon's scheduled block runs
    auto& manager = rig.startScheduleManager();
    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));
    rig.time.advance(60s); // the check sees the hours' block begin
    ASSERT_EQ(rig.notices.titles(), QStringList { scheduledStart });

    manager.blockForDuration(120);
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }));
    const QDateTime end = QDateTime(QDate(2026, 3, 2), QTime(19, 30), Qt::UTC);
    ASSERT_EQ(daemon.count(u"activateBlockingUntil"_s), 1);
    EXPECT_DOUBLE_EQ(daemon.calls().last().arguments.at(1).toDouble(), double(end.toSecsSinceEpoch()));
    EXPECT_EQ(manager.sessionEndTime(), end);

    // The hours end; the daemon holds the focus, and so does the countdown.
    rig.time.advance(31min);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_TRUE(manager.manualOverride());
    EXPECT_EQ(manager.remainingTime(), u"1h29min"_s);
    EXPECT_FALSE(rig.notices.titles().contains(sessionEnd));

    daemon.setBlockingActive(false);
    rig.time.advance(89min + 5s);
    EXPECT_FALSE(manager.manualOverride());
    ASSERT_TRUE(waitUntil([&] { return !rig.blocking->isBlocking(); }));
    rig.time.advance(2min);
    ASSERT_TRUE(rig.syncWithDaemon());
    // One notice for the end of the focus, none for hours that ended inside it.
    EXPECT_EQ(rig.notices.titles(), (QStringList { scheduledStart, sessionStart, sessionEnd }));
}

TEST(ScheduleManagerPush, AHeldHourChangeStaysHeldAcrossARestart)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 9, 17)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    rig.startScheduleManager();
    rig.time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"updateSchedule"_s) == 1; }));

    // A block runs; new hours wait for its end.
    daemon.setBlockingActive(true);
    rig.time.advance(60s);
    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));
    rig.config->setWeek({ {}, { { 600, 660 } } });
    rig.time.advance(1s);

    // The application restarts, then a site is added: the hours still wait.
    for (int restart = 0; restart < 2; ++restart) {
        rig.schedule.reset();
        auto& again = rig.startScheduleManager();
        ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));
        rig.time.advance(1s);
        ASSERT_TRUE(rig.syncWithDaemon());
        EXPECT_TRUE(again.hasPendingScheduleChanges());
    }
    rig.config->addSites({ u"b.example"_s });
    rig.time.advance(1s);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"updateSchedule"_s), 1);

    // At the block's end everything goes.
    endBlockAndExpectTheHandOver(rig);
}

TEST(ScheduleManagerCheck, WithoutADaemonOnlyWholeMinutesOfHoursAreBlocked)
{
    for (const auto& [secondsLeft, attempted] : { std::pair { 59, false }, std::pair { 61, true } }) {
        ServiceRig::Options options = rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 9, 11), false);
        options.start = QDateTime(QDate(2026, 3, 1), QTime(11, 0), Qt::UTC).addSecs(-secondsLeft);
        ServiceRig rig(options);
        auto& manager = rig.startScheduleManager();
        EXPECT_TRUE(manager.isScheduleActive());
        EXPECT_EQ(manager.nextScheduledEvent(), u"Ends at 11:00"_s);
        EXPECT_EQ(rig.blocking->status().kind() == BlockingStatus::Kind::error, attempted) << secondsLeft;
    }
}

TEST(ScheduleManagerCheck, BrowserSyncAndSwitchedOffHoursOnlyRefreshTheStatus)
{
    ServiceRig::Options options = rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 9, 17), false);
    options.browserSync = true;
    ServiceRig rig(options);
    auto& manager = rig.startScheduleManager();
    rig.time.advance(120s);
    EXPECT_EQ(rig.blocking->status(), BlockingStatus::inactive()); // no activation tried
    EXPECT_TRUE(manager.isScheduleActive());
    EXPECT_TRUE(rig.notices.posted.isEmpty());

    ServiceRig off(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 9, 17), false));
    auto& offManager = off.startScheduleManager();
    EXPECT_TRUE(offManager.isScheduleActive());
    Configuration changed = off.config->configuration();
    changed.enabled = false;
    off.config->setConfiguration(changed);
    off.time.advance(60s);
    EXPECT_EQ(offManager.nextScheduledEvent(), u"Scheduling disabled"_s);
    EXPECT_TRUE(offManager.isScheduleActive()); // keeps its last value
}

TEST(ScheduleManagerNotices, PermissionIsAskedOnceAndTheNoticeShownWhenGranted)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, false)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& manager = rig.startScheduleManager();
    rig.notices.authorization = Authorization::notDetermined;
    manager.sendSessionEndNotification();
    EXPECT_EQ(rig.notices.requests, 1);
    EXPECT_EQ(rig.notices.titles(), QStringList { sessionEnd });

    rig.notices.authorization = Authorization::denied;
    manager.sendScheduledBlockingStartNotification();
    EXPECT_EQ(rig.notices.posted.size(), 1);
}

TEST(ScheduleManagerIdle, WithTheHoursOnAnIdleHourCostsOneQuestionAMinute)
{
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, true, 20, 22)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    rig.startScheduleManager();
    rig.time.advance(2s);
    ASSERT_TRUE(rig.syncWithDaemon()); // the start-up check and hand-over are in
    const auto before = rig.daemon->calls().size();
    for (int minute = 0; minute < 60; ++minute) {
        rig.time.advance(60s);
        testing::spin(2);
    }
    ASSERT_TRUE(rig.syncWithDaemon());
    QStringList expected(60, u"isBlockingActive"_s);
    expected << u"getHelperVersion"_s; // the sync itself
    EXPECT_EQ(rig.daemon->methods().mid(before), expected);
}

TEST(ScheduleManagerIdle, TimersRunOnlyAsLongAsTheyAreNeeded)
{
    using std::chrono::milliseconds;
    ServiceRig rig(rigWith(ServiceRig::configurationWith({ u"a.example"_s }, false)));
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& manager = rig.startScheduleManager();
    rig.time.advance(5s);
    EXPECT_EQ(rig.time.activeIntervals(), std::vector<milliseconds> { milliseconds(60000) });
    manager.blockForDuration(1);
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }));
    auto intervals = rig.time.activeIntervals();
    std::sort(intervals.begin(), intervals.end());
    EXPECT_EQ(intervals, (std::vector<milliseconds> { milliseconds(1000), milliseconds(60000) }));
    rig.time.advance(70s);
    EXPECT_FALSE(manager.manualOverride());
    EXPECT_EQ(rig.time.activeIntervals(), std::vector<milliseconds> { milliseconds(60000) });

    // Once the re-checks after the session are over, an idle hour with the
    // automatic hours off asks the daemon nothing.
    ASSERT_TRUE(rig.syncWithDaemon()); // the answer to the in-app end starts its re-checks
    rig.time.advance(15s);
    ASSERT_TRUE(rig.syncWithDaemon());
    const auto before = rig.daemon->calls().size();
    for (int minute = 0; minute < 60; ++minute) {
        rig.time.advance(60s);
        testing::spin(2);
    }
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(rig.daemon->methods().mid(before), QStringList { u"getHelperVersion"_s });
}

} // namespace
} // namespace kestravin
