#include "contract/LocalTime.h"

#include <cmath>

namespace kestravin::LocalTime {

namespace {

constexpr qint64 minutesPerDay = 24 * 60;
constexpr qint64 secondsPerDay = minutesPerDay * 60;
// Far beyond any schedule, well inside QDate's range, and small enough that
// the second counts below cannot overflow.
constexpr qint64 largestMinuteCount = minutesPerDay * 366 * 100'000;

int offsetAt(const QTimeZone& zone, qint64 utcSeconds)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc()));
}

} // namespace

std::optional<QDateTime> instant(QDate date, qint64 minutesOfDay, const QTimeZone& zone, Occurrence repeated)
{
    if (!date.isValid() || !zone.isValid() || minutesOfDay < -largestMinuteCount || minutesOfDay > largestMinuteCount)
        return std::nullopt;
    qint64 days = minutesOfDay / minutesPerDay;
    qint64 minutes = minutesOfDay % minutesPerDay;
    if (minutes < 0) {
        minutes += minutesPerDay;
        --days;
    }
    const QDate day = date.addDays(days);
    if (!day.isValid())
        return std::nullopt;

    // The wall time read as if it were UTC; subtracting the zone's offset
    // gives the instant. Offsets change at most once around any one time, so
    // the offsets a day before and a day after are the only candidates.
    const qint64 wall = QDateTime(day, QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch() + minutes * 60;
    const int offsetBefore = offsetAt(zone, wall - secondsPerDay);
    const int offsetAfter = offsetAt(zone, wall + secondsPerDay);
    std::optional<qint64> chosen;
    for (const int offset : { offsetBefore, offsetAfter }) {
        const qint64 candidate = wall - offset;
        if (offsetAt(zone, candidate) != offset)
            continue;
        if (!chosen || (repeated == Occurrence::first ? candidate < *chosen : candidate > *chosen))
            chosen = candidate;
    }
    if (chosen)
        return QDateTime::fromSecsSinceEpoch(*chosen, zone);

    // Skipped by a change to a larger offset: the gap ends at the transition,
    // which lies after the wall time read with the later offset.
    const QTimeZone::OffsetData transition
        = zone.nextTransition(QDateTime::fromSecsSinceEpoch(wall - offsetAfter, QTimeZone::utc()));
    if (!transition.atUtc.isValid())
        return std::nullopt;
    return transition.atUtc.toTimeZone(zone);
}

int minuteOfDay(const QDateTime& now, const QTimeZone& zone)
{
    const QTime time = now.toTimeZone(zone).time();
    return time.hour() * 60 + time.minute();
}

WallClock wallClock(Instant now, const QTimeZone& zone)
{
    const double unix = std::floor(now.unixSeconds());
    // Far outside any calendar: answer a fixed point instead of overflowing.
    const qint64 seconds = std::isfinite(unix) && std::abs(unix) < 1e15 ? static_cast<qint64>(unix) : 0;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, zone.isValid() ? zone : QTimeZone::utc());
    WallClock result;
    result.date = local.date();
    result.weekday = local.date().dayOfWeek() % 7 + 1;
    result.minuteOfDay = local.time().hour() * 60 + local.time().minute();
    return result;
}

std::optional<WallClock> wallClock(const QDateTime& now, const QTimeZone& zone)
{
    if (!now.isValid() || !zone.isValid())
        return std::nullopt;
    const QDateTime local = now.toTimeZone(zone);
    if (!local.date().isValid())
        return std::nullopt;
    WallClock result;
    result.date = local.date();
    result.weekday = local.date().dayOfWeek() % 7 + 1;
    result.minuteOfDay = local.time().hour() * 60 + local.time().minute();
    return result;
}

std::optional<Instant> instantAt(QDate date, qint64 hour, qint64 minute, const QTimeZone& zone)
{
    const bool midnightAfter = hour == 24 && minute == 0;
    if (!midnightAfter && (hour < 0 || hour > 23 || minute < 0 || minute > 59))
        return std::nullopt;
    const std::optional<QDateTime> result = instant(date, hour * 60 + minute, zone.isValid() ? zone : QTimeZone::utc());
    if (!result)
        return std::nullopt;
    return Instant::fromUnixSeconds(static_cast<double>(result->toSecsSinceEpoch()));
}

} // namespace kestravin::LocalTime
