#include "contract/WeeklyHours.h"
#include "contract/HelperDaySchedule.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestravin;

TEST(WeeklyHours, WhichRangesHold)
{
    constexpr qint64 big = std::numeric_limits<qint64>::max();
    struct Case {
        const char* name;
        HelperTimeRange range;
        qint64 minute;
        bool holds;
    };
    const Case cases[] = {
        { "at the start", { 9, 0, 17, 0 }, 540, true },
        { "just before the end", { 9, 0, 17, 0 }, 1019, true },
        { "at the end", { 9, 0, 17, 0 }, 1020, false },
        { "24:00 closes the day", { 22, 0, 24, 0 }, 1439, true },
        { "past midnight", { 22, 0, 2, 0 }, 60, false },
        { "end before start", { 11, 0, 9, 0 }, 600, false },
        // A bound that does not fit never holds, even where a saturated
        // value would cover the whole day.
        { "end overflows", { 0, 0, big, 59 }, 600, false },
        { "start overflows", { -big, -big, 23, 0 }, 600, false },
        { "minutes alone overflow the sum", { 0, 0, big / 60, big }, 600, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(WeeklyHours::holds(c.range, c.minute), c.holds) << c.name;
}

TEST(WeeklyHours, TheFirstStoredRangeOfAnEnabledDayIsActive)
{
    const HelperDaySchedule day(true, { { 8, 0, 12, 0 }, { 9, 0, 10, 0 } });
    const HelperDaySchedule off(false, { { 0, 0, 24, 0 } });
    // 1 = Sunday ... 7 = Saturday; Monday holds `day`, Tuesday `off`, the rest nothing.
    const auto dayOf = [&](int weekday) -> const HelperDaySchedule* {
        return weekday == 2 ? &day : weekday == 3 ? &off : nullptr;
    };
    const auto at = [](int weekday, qint64 minute) { return LocalTime::WallClock { {}, weekday, minute }; };

    EXPECT_EQ(WeeklyHours::activeRange(at(2, 570), dayOf), HelperTimeRange(8, 0, 12, 0));
    EXPECT_FALSE(WeeklyHours::activeRange(at(2, 720), dayOf));
    EXPECT_FALSE(WeeklyHours::activeRange(at(3, 570), dayOf)) << "a disabled day";
    EXPECT_FALSE(WeeklyHours::activeRange(at(4, 570), dayOf)) << "a day the schedule lacks";
}
