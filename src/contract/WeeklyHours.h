#pragma once

#include "contract/LocalTime.h"

#include <QtGlobal>

#include <optional>
#include <utility>

// Which range of the weekly hours holds at a moment: the daemon blocks by this
// answer and the application shows it, so both must reach it the same way.
namespace kestravin::WeeklyHours {

// hour * 60 + minute; nothing when it does not fit in 64 bits.
std::optional<qint64> minutesOf(qint64 hour, qint64 minute);

// hour * 60 + minute, held at the 64-bit limits instead of overflowing; for
// ordering and showing ranges, never for deciding whether one holds.
qint64 saturatedMinutes(qint64 hour, qint64 minute);

// start <= minuteOfDay < end. A range whose start or end does not fit in 64
// bits never holds, whatever the other bound says.
bool holds(qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute, qint64 minuteOfDay);

template <typename Range> bool holds(const Range& range, qint64 minuteOfDay)
{
    return holds(range.startHour, range.startMinute, range.endHour, range.endMinute, minuteOfDay);
}

// The first range, in stored order, that holds at `wall`. `dayOf(weekday)`
// (1 = Sunday ... 7 = Saturday) gives a pointer to that day's schedule, with
// `enabled` and `timeRanges`, or null where the schedule has no such day; a
// missing or disabled day has no active range.
template <typename DayOf> auto activeRange(const LocalTime::WallClock& wall, DayOf&& dayOf)
{
    const auto* day = std::forward<DayOf>(dayOf)(wall.weekday);
    using Range = std::decay_t<decltype(day->timeRanges.front())>;
    if (!day || !day->enabled)
        return std::optional<Range>();
    for (const Range& range : day->timeRanges) {
        if (holds(range, wall.minuteOfDay))
            return std::optional<Range>(range);
    }
    return std::optional<Range>();
}

} // namespace kestravin::WeeklyHours
