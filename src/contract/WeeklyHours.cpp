#include "WeeklyHours.h"

#include <limits>

namespace kestravin::WeeklyHours {

std::optional<qint64> minutesOf(qint64 hour, qint64 minute)
{
    qint64 hourMinutes = 0;
    qint64 total = 0;
    if (__builtin_mul_overflow(hour, qint64 { 60 }, &hourMinutes)
        || __builtin_add_overflow(hourMinutes, minute, &total))
        return std::nullopt;
    return total;
}

qint64 saturatedMinutes(qint64 hour, qint64 minute)
{
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    constexpr qint64 highest = std::numeric_limits<qint64>::max();
    qint64 hourMinutes = 0;
    if (__builtin_mul_overflow(hour, qint64 { 60 }, &hourMinutes))
        return hour < 0 ? lowest : highest;
    // A sum overflows only when both terms share the sign of `minute`.
    qint64 total = 0;
    if (__builtin_add_overflow(hourMinutes, minute, &total))
        return minute < 0 ? lowest : highest;
    return total;
}

bool holds(qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute, qint64 minuteOfDay)
{
    const std::optional<qint64> start = minutesOf(startHour, startMinute);
    const std::optional<qint64> end = minutesOf(endHour, endMinute);
    return start && end && *start <= minuteOfDay && minuteOfDay < *end;
}

} // namespace kestravin::WeeklyHours
