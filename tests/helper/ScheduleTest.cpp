#include "ServiceFixture.h"

#include <QScopeGuard>

#include <QFileInfo>
#include <QJsonArray>

#include <limits>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing;

namespace {

class ScheduleTest : public ServiceFixture {
protected:
    ino_t hostsInode() const
    {
        struct stat info { };
        ::stat(QFile::encodeName(hostsPath).constData(), &info);
        return info.st_ino;
    }
};

TEST_F(ScheduleTest, blocksFromTheFirstCheckInsideTheHoursToTheFirstOneAfter)
{
    struct Step {
        const char* time;
        bool present;
    };
    const QList<Step> steps {
        { "2026-03-02T08:59:59", false },
        { "2026-03-02T09:00:00", true },
        { "2026-03-02T16:59:59", true },
        { "2026-03-02T17:00:00", false },
    };
    now = at(u"2026-03-02T08:00:00"_s);
    HelperService& helper = start(true);
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s }));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.time);
        now = at(QString::fromLatin1(step.time));
        helper.checkSchedule();
        EXPECT_EQ(sectionPresent(), step.present);
    }
}

TEST_F(ScheduleTest, rangesThatDoNotHoldNeverBlock)
{
    struct Case {
        const char* name;
        HelperTimeRange range;
    };
    const QList<Case> cases {
        { "past midnight", { 22, 0, 2, 0 } },
        { "end before start", { 11, 0, 9, 0 } },
        { "hour far out of range", { 0, 0, std::numeric_limits<qint64>::max(), 59 } },
        { "negative overflow", { std::numeric_limits<qint64>::min(), -5, 23, 0 } },
    };
    HelperService& helper = start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HelperScheduleConfig config = weekdays(0, 0, 0, 0, { u"a.com"_s });
        for (HelperDaySchedule& day : config.daySchedules)
            day.timeRanges = { c.range };
        now = at(u"2026-03-02T23:00:00"_s);
        giveSchedule(config);
        EXPECT_FALSE(sectionPresent());
        EXPECT_FALSE(helper.scheduledEnd(config, now));
    }
    EXPECT_EQ(HelperService::dayKeyFromWeekday(0), u"monday"_s);
    EXPECT_EQ(HelperService::dayKeyFromWeekday(8), u"monday"_s);
    EXPECT_EQ(HelperService::dayKeyFromWeekday(1), u"sunday"_s);
    EXPECT_EQ(HelperService::dayKeyFromWeekday(7), u"saturday"_s);
}

TEST_F(ScheduleTest, matchingSectionIsNotRewritten)
{
    HelperService& helper = start();
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s, u"b.com"_s }));
    const ino_t inode = hostsInode();
    const int flushed = flushes;
    now = now.addSeconds(60);
    helper.checkSchedule();
    EXPECT_EQ(hostsInode(), inode);
    EXPECT_EQ(flushes, flushed);
}

TEST_F(ScheduleTest, whoOwnsTheSectionOutsideTheHours)
{
    now = at(u"2026-03-02T20:00:00"_s);
    HelperService& helper = start();

    // Automatic hours off, no browser state: the manual section is left alone.
    HelperScheduleConfig off = weekdays(9, 0, 17, 0, { u"a.com"_s });
    off.enabled = false;
    giveSchedule(off);
    ASSERT_TRUE(helper.activateBlocking({ u"m.com"_s }).success);
    now = now.addSeconds(31);
    helper.checkSchedule();
    EXPECT_TRUE(sectionPresent());

    // A browser state that is off still counts: the schedule decides (off).
    HelperScheduleConfig expected = off;
    const BrowserHelperControl control(false, 1, std::nullopt, std::nullopt, {}, now);
    ASSERT_TRUE(helper.updateBrowserControl(control.toJsonBytes(), expected.toJsonBytes()).success);
    EXPECT_FALSE(sectionPresent());

    // Automatic hours on, outside the hours: a plain manual section goes.
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s }));
    ASSERT_TRUE(helper.activateBlocking({ u"m.com"_s }).success);
    now = now.addSeconds(31);
    helper.pollSchedule();
    EXPECT_FALSE(sectionPresent());
}

TEST_F(ScheduleTest, pollRunsTheFullCheckOnlyWhenDue)
{
    HelperService& helper = start(true);
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s }));
    ASSERT_TRUE(ticker->isActive());
    const Instant due = helper.nextScheduleCheck();
    EXPECT_EQ(due, now.addSeconds(30));

    now = now.addSeconds(29);
    ticker->fire();
    EXPECT_EQ(helper.nextScheduleCheck(), due);
    now = now.addSeconds(1);
    ticker->fire();
    EXPECT_EQ(helper.nextScheduleCheck(), now.addSeconds(30));

    // The clock went back by more than the interval: check at once.
    now = now.addSeconds(-120);
    ticker->fire();
    EXPECT_EQ(helper.nextScheduleCheck(), now.addSeconds(30));

    // A manual focus is looked at every tick, but compared only when the
    // hosts file changed or the focus ended.
    const Instant end = now.addSeconds(600);
    ASSERT_TRUE(helper.activateBlockingUntil({ u"m.com"_s }, end.unixSeconds()).success);
    const Instant checked = helper.nextScheduleCheck();
    now = now.addSeconds(1);
    ticker->fire();
    EXPECT_EQ(helper.nextScheduleCheck(), checked);
    writeHosts("127.0.0.1 localhost\n");
    now = now.addSeconds(1);
    ticker->fire();
    EXPECT_EQ(helper.nextScheduleCheck(), now.addSeconds(30));
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s, u"m.com"_s }));
    now = end;
    ticker->fire();
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s }));
}

TEST_F(ScheduleTest, timedAccessIssuedInTheFutureIsDropped)
{
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"youtube.com"_s, u"a.com"_s });
    giveSchedule(config);
    ASSERT_TRUE(
        helper.grantScheduledAccess(u"youtube"_s, now.addSeconds(600).unixSeconds(), config.toJsonBytes()).success);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s }));
    now = now.addSeconds(-60); // clock set back before the grant
    helper.pollSchedule();
    EXPECT_FALSE(helper.currentConfig()->temporaryAccess);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"youtube.com"_s, u"a.com"_s }));
}

TEST_F(ScheduleTest, siteGrantsEndWithTheirFocusPeriod)
{
    // Grants given for a period ending at 17:00; the hours now end at 18:00.
    HelperScheduleConfig config = weekdays(9, 0, 18, 0, { u"a.com"_s, u"b.com"_s });
    config.siteAccess = QList<SiteAccessGrant> { { u"a.com"_s, now.addSeconds(600) } };
    const Instant focusEnd = at(u"2026-03-02T17:00:00"_s);
    config.siteAccessFocusEnd = focusEnd;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(configPath).absolutePath()));
    QFile file(configPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(config.toJsonBytes());
    file.close();

    HelperService& helper = start();
    helper.checkSchedule();
    EXPECT_TRUE(storedConfig().value(u"siteAccess"_s).isArray());
    EXPECT_TRUE(storedConfig().value(u"siteAccess"_s).toArray().isEmpty());
    EXPECT_EQ(Instant(storedConfig().value(u"siteAccessFocusEnd"_s).toDouble()), focusEnd);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s, u"b.com"_s }));
}

TEST_F(ScheduleTest, switchingHoursOffAfterATimedAccessNeverCreatesASection)
{
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"youtube.com"_s });
    HelperScheduleConfig off = config;
    off.enabled = false;

    // Only youtube is blocked and its access emptied the section.
    HelperService& helper = start();
    giveSchedule(config);
    ASSERT_TRUE(
        helper.grantScheduledAccess(u"youtube"_s, now.addSeconds(600).unixSeconds(), config.toJsonBytes()).success);
    EXPECT_FALSE(sectionPresent());
    giveSchedule(off);
    now = now.addSeconds(31);
    helper.checkSchedule();
    EXPECT_FALSE(sectionPresent());

    // With a section present (a manual focus), the access's hosts come back.
    const HelperScheduleConfig both = weekdays(9, 0, 17, 0, { u"youtube.com"_s, u"a.com"_s });
    HelperScheduleConfig bothOff = both;
    bothOff.enabled = false;
    giveSchedule(both);
    ASSERT_TRUE(
        helper.grantScheduledAccess(u"youtube"_s, now.addSeconds(600).unixSeconds(), both.toJsonBytes()).success);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s }));
    giveSchedule(bothOff);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"youtube.com"_s, u"a.com"_s }));
}

TEST_F(ScheduleTest, followsAChangeOfTheSystemZone)
{
    // TZ names a link into the zone database, as /etc/localtime is; moving
    // the link is what a change of zone does.
    const QString zoneinfo = u"/usr/share/zoneinfo/"_s;
    if (!QFileInfo::exists(zoneinfo + u"Europe/Berlin"_s) || !QFileInfo::exists(zoneinfo + u"America/Sao_Paulo"_s))
        GTEST_SKIP() << "the zone database is missing";
    const QString link = dir.filePath(u"localtime"_s);
    ASSERT_TRUE(QFile::link(zoneinfo + u"Europe/Berlin"_s, link));
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", QFile::encodeName(link));
    const auto restore = qScopeGuard([&] {
        if (hadTz)
            qputenv("TZ", savedTz);
        else
            qunsetenv("TZ");
    });

    now = at(u"2026-03-02T08:30:00"_s); // 09:30 in Berlin, 05:30 in Sao Paulo
    HelperService& helper = start(true, std::nullopt);
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s }));
    EXPECT_EQ(helper.timeZone().id(), "Europe/Berlin");
    EXPECT_TRUE(sectionPresent());

    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(zoneinfo + u"America/Sao_Paulo"_s, link));
    now = now.addSeconds(HelperService::fullCheckInterval);
    ticker->fire();
    EXPECT_EQ(helper.timeZone().id(), "America/Sao_Paulo");
    EXPECT_FALSE(sectionPresent());
}

TEST_F(ScheduleTest, eveningRangeEndsAtMidnightForAccess)
{
    now = at(u"2026-03-02T23:50:00"_s);
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(20, 0, 24, 0, { u"youtube.com"_s, u"a.com"_s });
    giveSchedule(config);
    EXPECT_EQ(helper.scheduledEnd(config, now), at(u"2026-03-03T00:00:00"_s));
    EXPECT_TRUE(
        helper.grantScheduledAccess(u"youtube"_s, at(u"2026-03-03T00:00:00"_s).unixSeconds(), config.toJsonBytes())
            .success);
}

} // namespace
