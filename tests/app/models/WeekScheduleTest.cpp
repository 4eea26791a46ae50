#include "app/models/WeekSchedule.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

using Ranges = QList<MinuteRange>;
using WeekSchedule::Week;

namespace {

std::string show(const Ranges& ranges)
{
    std::string out;
    for (const MinuteRange& r : ranges)
        out += std::to_string(r.start) + "-" + std::to_string(r.end) + " ";
    return out;
}

// Monday to Friday `weekday`, Saturday `saturday`, Sunday empty.
Week workWeek(const Ranges& weekday, const Ranges& saturday = {})
{
    return { {}, weekday, weekday, weekday, weekday, weekday, saturday };
}

} // namespace

TEST(WeekScheduleTest, Merge)
{
    struct Case {
        Ranges input;
        Ranges merged;
    };
    const Case cases[] = {
        { { { 600, 700 }, { 700, 800 } }, { { 600, 800 } } },
        { { { 600, 700 }, { 701, 800 } }, { { 600, 700 }, { 701, 800 } } },
        { { { -30, 90 } }, { { 0, 90 } } },
        { { { 1400, 1500 } }, { { 1400, 1440 } } },
        { { { 500, 500 } }, {} },
        { { { 800, 700 } }, {} },
        { { { 900, 1000 }, { 100, 200 }, { 150, 950 } }, { { 100, 1000 } } },
        { { { 100, 500 }, { 200, 300 } }, { { 100, 500 } } },
        { { { 1500, 1600 }, { -20, -10 } }, {} },
        { {}, {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(WeekSchedule::merge(c.input), c.merged) << show(c.input);
}

TEST(WeekScheduleTest, ScheduleAndDaysRoundTrip)
{
    Week week(7);
    week[1] = { { 1320, 1440 } };
    week[3] = { { 600, 700 }, { 540, 610 } };
    week[6] = { { 1439, 1440 } };
    const Schedule schedule = WeekSchedule::schedule(week);

    ASSERT_EQ(schedule.daySchedules.size(), 7);
    const DaySchedule monday = schedule.daySchedules.value(DayOfWeek::monday);
    EXPECT_TRUE(monday.enabled);
    ASSERT_EQ(monday.timeRanges.size(), 1);
    EXPECT_EQ(std::tuple(monday.timeRanges[0].startHour, monday.timeRanges[0].startMinute, monday.timeRanges[0].endHour,
                  monday.timeRanges[0].endMinute),
        std::tuple(22, 0, 23, 59));
    // Empty days, and a range that the 23:59 cap empties, become the disabled stand-in.
    EXPECT_EQ(schedule.daySchedules.value(DayOfWeek::sunday), DaySchedule::disabled());
    EXPECT_EQ(schedule.daySchedules.value(DayOfWeek::saturday), DaySchedule::disabled());

    const Week back = WeekSchedule::days(schedule);
    EXPECT_EQ(back, (Week { {}, { { 1320, 1440 } }, {}, { { 540, 700 } }, {}, {}, {} }));
}

TEST(WeekScheduleTest, DaysReadsBothMidnightForms)
{
    Schedule schedule;
    schedule.daySchedules.insert(DayOfWeek::monday, DaySchedule(true, { TimeRange(22, 0, 24, 0) }));
    schedule.daySchedules.insert(DayOfWeek::tuesday, DaySchedule(true, { TimeRange(22, 0, 23, 59) }));
    schedule.daySchedules.insert(
        DayOfWeek::wednesday, DaySchedule(true, { TimeRange(20, 0, 8, 0), TimeRange(-2, 0, 1, 0) }));
    schedule.daySchedules.insert(DayOfWeek::thursday, DaySchedule(false, { TimeRange(9, 0, 17, 0) }));
    const Week week = WeekSchedule::days(schedule);
    ASSERT_EQ(week.size(), 7);
    EXPECT_EQ(week[1], (Ranges { { 1320, 1440 } }));
    EXPECT_EQ(week[2], (Ranges { { 1320, 1440 } }));
    EXPECT_EQ(week[3], (Ranges { { 0, 60 } }));
    EXPECT_TRUE(week[4].isEmpty());
    EXPECT_TRUE(week[0].isEmpty());
}

TEST(WeekScheduleTest, Slots)
{
    const auto slots = WeekSchedule::slots(workWeek({ { 540, 1080 } }, { { 540, 720 } }));
    EXPECT_EQ(slots,
        (QList<BrowserScheduleSlot> {
            { { 6 }, u"09:00"_s, u"12:00"_s },
            { { 1, 2, 3, 4, 5 }, u"09:00"_s, u"18:00"_s },
        }));

    Week late(2);
    late[0] = { { 1320, 1440 }, { 65, 70 } };
    late[1] = { { 1320, 1440 } };
    EXPECT_EQ(WeekSchedule::slots(late),
        (QList<BrowserScheduleSlot> {
            { { 0 }, u"01:05"_s, u"01:10"_s },
            { { 0, 1 }, u"22:00"_s, u"23:59"_s },
        }));
    EXPECT_TRUE(WeekSchedule::slots({}).isEmpty());
}

TEST(WeekScheduleTest, Subtract)
{
    const Ranges day { { 540, 1080 } };
    EXPECT_EQ(WeekSchedule::subtract(day, { 720, 780 }), (Ranges { { 540, 720 }, { 780, 1080 } }));
    EXPECT_EQ(WeekSchedule::subtract(day, { 500, 1100 }), Ranges {});
    EXPECT_EQ(WeekSchedule::subtract(day, { 1080, 1200 }), day);
    EXPECT_EQ(WeekSchedule::subtract(day, { 400, 540 }), day);
    EXPECT_EQ(WeekSchedule::subtract(day, { 400, 600 }), (Ranges { { 600, 1080 } }));
    // Order is kept and nothing is merged.
    EXPECT_EQ(WeekSchedule::subtract({ { 900, 1000 }, { 100, 200 }, { 150, 300 } }, { 180, 950 }),
        (Ranges { { 950, 1000 }, { 100, 180 }, { 150, 180 } }));
}

TEST(WeekScheduleTest, Labels)
{
    struct TimeCase {
        int minute;
        QString label;
    };
    for (const TimeCase& c : { TimeCase { 540, u"9h"_s }, TimeCase { 570, u"9h30"_s }, TimeCase { 1440, u"24h"_s },
             TimeCase { 65, u"1h05"_s }, TimeCase { 0, u"0h"_s } })
        EXPECT_EQ(WeekSchedule::timeLabel(c.minute), c.label) << c.minute;

    EXPECT_EQ(WeekSchedule::rangesLabel({ { 540, 720 }, { 780, 1080 } }), u"9h\u201312h, 13h\u201318h"_s);
    EXPECT_EQ(WeekSchedule::rangesLabel({}), QString());

    struct DaysCase {
        QList<int> days;
        QString label;
    };
    const DaysCase cases[] = {
        { { 0, 1 }, u"Seg e Dom"_s },
        { { 5, 6, 0 }, u"Sex a Dom"_s },
        { { 1, 2, 4 }, u"Seg, Ter e Qui"_s },
        { { 3 }, u"Qua"_s },
        { { 1, 1, 2 }, u"Seg e Ter"_s },
        { { 5, 4, 3, 2, 1 }, u"Seg a Sex"_s },
        { { 6, 0 }, u"Sáb e Dom"_s },
        { { 0, 1, 2, 3, 4, 5, 6 }, u"Todos os dias"_s },
        { { 1, 2, 3 }, u"Seg a Qua"_s },
        { { 1, 3 }, u"Seg e Qua"_s },
        { { 1, 2, 3, 6 }, u"Seg a Qua e Sáb"_s },
        { { 0, 1, 2, 3 }, u"Seg a Qua e Dom"_s },
        { { 1, 2, 3, 4, 5, 6 }, u"Seg a Sáb"_s },
        { {}, u"Nenhum dia"_s },
        { { 7, -1 }, u"Nenhum dia"_s },
        { { 2, 9 }, u"Ter"_s },
    };
    for (const DaysCase& c : cases)
        EXPECT_EQ(WeekSchedule::daysLabel(c.days), c.label) << c.label.toStdString();

    EXPECT_EQ(WeekSchedule::dayShort().at(6), u"Sáb"_s);
    EXPECT_EQ(WeekSchedule::dayLong().at(2), u"terça"_s);
}

TEST(WeekScheduleTest, Summary)
{
    EXPECT_EQ(WeekSchedule::summary(workWeek({ { 540, 1080 } }, { { 600, 840 } })),
        u"Seg a Sex 9h\u201318h \u00b7 Sáb 10h\u201314h"_s);
    EXPECT_EQ(WeekSchedule::summary({}), u"Nenhum horário de foco ainda"_s);
    EXPECT_EQ(WeekSchedule::summary(Week(7)), u"Nenhum horário de foco ainda"_s);

    // Sunday is visited last; groups keep the order in which they opened.
    Week week(7);
    week[0] = { { 600, 720 } };
    week[2] = { { 540, 1080 } };
    week[3] = { { 600, 720 } };
    week[4] = { { 540, 1080 } };
    EXPECT_EQ(WeekSchedule::summary(week), u"Ter e Qui 9h\u201318h \u00b7 Qua e Dom 10h\u201312h"_s);
}
