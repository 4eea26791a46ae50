#include "LocalTime.h"

#include <QDateTime>

#include <cmath>

namespace kestravin::LocalTime {

WallClock wallClock(Instant now, const QTimeZone& zone)
{
    const double unix = std::floor(now.unixSeconds());
    // Far outside any calendar: answer a fixed point instead of overflowing.
    const qint64 seconds = std::isfinite(unix) && std::abs(unix) < 1e15 ? static_cast<qint64>(unix) : 0;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, zone);
    WallClock result;
    result.date = local.date();
    result.weekday = local.date().dayOfWeek() % 7 + 1;
    result.minuteOfDay = local.time().hour() * 60 + local.time().minute();
    return result;
}

std::optional<Instant> instantAt(QDate date, qint64 hour, qint64 minute, const QTimeZone& zone)
{
    if (!date.isValid())
        return std::nullopt;
    if (hour == 24 && minute == 0) {
        date = date.addDays(1);
        hour = 0;
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;

    // The wall time read as if it were UTC; a real instant is this minus the
    // zone's offset at that instant.
    const qint64 wall
        = QDateTime(date, QTime(static_cast<int>(hour), static_cast<int>(minute)), QTimeZone::utc()).toSecsSinceEpoch();
    const auto offsetAt = [&zone](qint64 secs) {
        return static_cast<qint64>(zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc())));
    };
    // The offsets in force a day either side cover any single transition.
    const qint64 before = wall - offsetAt(wall - 86400);
    const qint64 after = wall - offsetAt(wall + 86400);
    const bool beforeHolds = before + offsetAt(before) == wall;
    const bool afterHolds = after + offsetAt(after) == wall;
    qint64 result = 0;
    if (beforeHolds && afterHolds) {
        result = std::min(before, after);
    } else if (beforeHolds) {
        result = before;
    } else if (afterHolds) {
        result = after;
    } else {
        // Skipped: the gap ends at the transition between the two candidates.
        const QTimeZone::OffsetData next
            = zone.nextTransition(QDateTime::fromSecsSinceEpoch(std::min(before, after), QTimeZone::utc()));
        if (!next.atUtc.isValid())
            return std::nullopt;
        result = next.atUtc.toSecsSinceEpoch();
    }
    return Instant::fromUnixSeconds(static_cast<double>(result));
}

} // namespace kestravin::LocalTime
