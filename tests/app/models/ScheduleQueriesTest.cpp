#include "app/models/Schedule.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

const QTimeZone berlin("Europe/Berlin");
const QTimeZone saoPaulo("America/Sao_Paulo");

// An unambiguous wall time in `zone` (never one inside a change).
QDateTime at(const QTimeZone& zone, int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), zone);
}

QDateTime utc(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

Schedule only(DayOfWeek day, QList<TimeRange> ranges, bool enabled = true)
{
    return Schedule({ { day, DaySchedule(enabled, std::move(ranges)) } });
}

std::string text(const std::optional<QDateTime>& instant)
{
    return instant ? instant->toUTC().toString(Qt::ISODate).toStdString() : "none";
}

} // namespace

TEST(ScheduleQueries, ZonesArePresent)
{
    // The zone database comes from the tzdata package.
    ASSERT_TRUE(berlin.isValid());
    ASSERT_TRUE(saoPaulo.isValid());
}

TEST(ScheduleQueries, BoundariesOfARange)
{
    // 2024-03-04 is a Monday.
    const Schedule schedule = only(DayOfWeek::monday, { TimeRange(9, 0, 18, 0) });
    struct Case {
        QDateTime now;
        bool active;
    };
    const Case cases[] = {
        { at(berlin, 2024, 3, 4, 8, 59, 59), false },
        { at(berlin, 2024, 3, 4, 9, 0, 0), true },
        { at(berlin, 2024, 3, 4, 17, 59, 59), true },
        { at(berlin, 2024, 3, 4, 18, 0, 0), false },
        // "now" may come in any zone; the wall clock of the given zone counts.
        { utc(2024, 3, 4, 8, 0), true },
        { utc(2024, 3, 4, 7, 59), false },
        // Tuesday is not in the map.
        { at(berlin, 2024, 3, 5, 10, 0), false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(schedule.isActiveNow(c.now, berlin), c.active) << text(c.now);
        EXPECT_EQ(schedule.currentActiveRange(c.now, berlin).has_value(), c.active) << text(c.now);
        EXPECT_EQ(schedule.nextDeactivation(c.now, berlin).has_value(), c.active) << text(c.now);
    }
    EXPECT_EQ(schedule.nextDeactivation(at(berlin, 2024, 3, 4, 9, 0), berlin), at(berlin, 2024, 3, 4, 18, 0));
}

TEST(ScheduleQueries, OverlappingRangesTakeTheFirstStored)
{
    const TimeRange morning(9, 0, 12, 0);
    const Schedule schedule = only(DayOfWeek::monday, { morning, TimeRange(10, 0, 18, 0) });
    const QDateTime now = at(berlin, 2024, 3, 4, 11, 0);
    EXPECT_EQ(schedule.currentActiveRange(now, berlin), morning);
    EXPECT_EQ(schedule.nextDeactivation(now, berlin), at(berlin, 2024, 3, 4, 12, 0));
}

TEST(ScheduleQueries, RangesThatNeverHold)
{
    const Schedule schedule = only(DayOfWeek::monday, { TimeRange(22, 0, 2, 0), TimeRange(7, 0, 7, 0) });
    for (const int hour : { 0, 1, 7, 22, 23 })
        EXPECT_FALSE(schedule.isActiveNow(at(berlin, 2024, 3, 4, hour, 30), berlin)) << hour;
    EXPECT_FALSE(schedule.isActiveNow(at(berlin, 2024, 3, 4, 7, 0), berlin));
    // The start of a range that wraps midnight is still an activation.
    EXPECT_EQ(schedule.nextActivation(at(berlin, 2024, 3, 4, 21, 0), berlin), at(berlin, 2024, 3, 4, 22, 0));
}

TEST(ScheduleQueries, NextActivation)
{
    const QList<TimeRange> day { TimeRange(14, 0, 16, 0), TimeRange(9, 0, 12, 0) };
    struct Case {
        const char* name;
        Schedule schedule;
        QDateTime now;
        std::optional<QDateTime> expected;
    };
    const Case cases[] = {
        { "ranges are sorted by start", only(DayOfWeek::monday, day), at(berlin, 2024, 3, 4, 8, 0),
            at(berlin, 2024, 3, 4, 9, 0) },
        { "a start at now is not next", only(DayOfWeek::monday, day), at(berlin, 2024, 3, 4, 9, 0, 30),
            at(berlin, 2024, 3, 4, 14, 0) },
        { "a later day", only(DayOfWeek::wednesday, day), at(berlin, 2024, 3, 4, 20, 0), at(berlin, 2024, 3, 6, 9, 0) },
        // The only enabled day is today and its starts have passed: a week on.
        { "next week", only(DayOfWeek::monday, day), at(berlin, 2024, 3, 4, 15, 0), at(berlin, 2024, 3, 11, 9, 0) },
        { "disabled day", only(DayOfWeek::monday, day, false), at(berlin, 2024, 3, 4, 8, 0), std::nullopt },
        { "no ranges", only(DayOfWeek::monday, {}), at(berlin, 2024, 3, 4, 8, 0), std::nullopt },
        { "empty schedule", Schedule(), at(berlin, 2024, 3, 4, 8, 0), std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(c.schedule.nextActivation(c.now, berlin)), text(c.expected)) << c.name;

    const Schedule disabled = only(DayOfWeek::monday, day, false);
    EXPECT_FALSE(disabled.isActiveNow(at(berlin, 2024, 3, 4, 10, 0), berlin));
}

TEST(ScheduleQueries, AnEndOfTwentyFourIsTheNextMidnight)
{
    const Schedule schedule = only(DayOfWeek::monday, { TimeRange(22, 0, 24, 0) });
    EXPECT_TRUE(schedule.isActiveNow(at(berlin, 2024, 3, 4, 23, 59, 59), berlin));
    EXPECT_EQ(schedule.nextDeactivation(at(berlin, 2024, 3, 4, 23, 0), berlin), at(berlin, 2024, 3, 5, 0, 0));
    // The next day's midnight belongs to Tuesday, which has no hours.
    EXPECT_FALSE(schedule.isActiveNow(at(berlin, 2024, 3, 5, 0, 0), berlin));

    // The capped form of the same range ends a minute early, as the daemon reads it.
    const Schedule capped = only(DayOfWeek::monday, { TimeRange(22, 0, 23, 59) });
    EXPECT_EQ(capped.nextDeactivation(at(berlin, 2024, 3, 4, 23, 0), berlin), at(berlin, 2024, 3, 4, 23, 59));
}

TEST(ScheduleQueries, DaylightSavingChanges)
{
    // Berlin skips 02:00-03:00 on Sunday 2024-03-31: a start inside the gap
    // is the first instant after it.
    const Schedule spring = only(DayOfWeek::sunday, { TimeRange(2, 30, 4, 0) });
    EXPECT_EQ(text(spring.nextActivation(at(berlin, 2024, 3, 31, 1, 0), berlin)), text(utc(2024, 3, 31, 1, 0)));
    EXPECT_TRUE(spring.isActiveNow(at(berlin, 2024, 3, 31, 3, 0), berlin));
    EXPECT_EQ(text(spring.nextDeactivation(at(berlin, 2024, 3, 31, 3, 0), berlin)), text(utc(2024, 3, 31, 2, 0)));

    // Sao Paulo skipped its midnight on Sunday 2018-11-04 (00:00 became 01:00):
    // a Saturday range to 24:00 ends at 01:00 -02.
    const Schedule lateSaturday = only(DayOfWeek::saturday, { TimeRange(22, 0, 24, 0) });
    EXPECT_EQ(
        text(lateSaturday.nextDeactivation(at(saoPaulo, 2018, 11, 3, 23, 0), saoPaulo)), text(utc(2018, 11, 4, 3, 0)));

    // On Saturday 2019-02-16 Sao Paulo lived 23:00-24:00 twice.
    const Schedule repeated = only(DayOfWeek::saturday, { TimeRange(23, 30, 24, 0) });
    // A repeated start takes its first occurrence (-02).
    EXPECT_EQ(text(repeated.nextActivation(at(saoPaulo, 2019, 2, 16, 22, 0), saoPaulo)), text(utc(2019, 2, 17, 1, 30)));
    // In the second pass (-03) the range holds again and still ends at the
    // midnight that closes the day.
    const QDateTime secondPass = utc(2019, 2, 17, 2, 45);
    EXPECT_TRUE(repeated.isActiveNow(secondPass, saoPaulo));
    EXPECT_EQ(text(repeated.nextDeactivation(secondPass, saoPaulo)), text(utc(2019, 2, 17, 3, 0)));
    // An end inside the repeated hour is never reported in the past.
    const Schedule endsInRepeat = only(DayOfWeek::saturday, { TimeRange(22, 0, 23, 30) });
    EXPECT_EQ(text(endsInRepeat.nextDeactivation(utc(2019, 2, 17, 1, 0), saoPaulo)), text(utc(2019, 2, 17, 1, 30)));
    EXPECT_EQ(
        text(endsInRepeat.nextDeactivation(secondPass.addSecs(-30 * 60), saoPaulo)), text(utc(2019, 2, 17, 2, 30)));
}

TEST(ScheduleQueries, ExtremeValuesDoNotOverflow)
{
    const qint64 big = std::numeric_limits<qint64>::max();
    const Schedule schedule = only(
        DayOfWeek::monday, { TimeRange(-big, -big, big, big), TimeRange(big, 0, big, 0), TimeRange(-big, 0, 0, 0) });
    const QDateTime now = at(berlin, 2024, 3, 4, 10, 0);
    // No range's bounds fit in 64 bits, so none holds, as the daemon decides
    // too; nor is any of their starts an instant the calendar can make.
    EXPECT_FALSE(schedule.isActiveNow(now, berlin));
    EXPECT_FALSE(schedule.nextDeactivation(now, berlin));
    EXPECT_FALSE(schedule.nextActivation(now, berlin));
    EXPECT_FALSE(Schedule(Schedule::defaultSchedule()).isActiveNow(QDateTime(), berlin));
}
