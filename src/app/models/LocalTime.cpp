#include "LocalTime.h"

namespace kestravin::LocalTime {

namespace {

constexpr qint64 minutesPerDay = 24 * 60;
constexpr qint64 secondsPerDay = minutesPerDay * 60;
// Far beyond any schedule, well inside QDate's range, and small enough that
// the second counts below cannot overflow.
constexpr qint64 largestMinuteCount = minutesPerDay * 366 * 100'000;

int offsetAt(const QTimeZone& zone, qint64 utcSeconds)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC));
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
    const qint64 wall = QDateTime(day, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() + minutes * 60;
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
        = zone.nextTransition(QDateTime::fromSecsSinceEpoch(wall - offsetAfter, Qt::UTC));
    if (!transition.atUtc.isValid())
        return std::nullopt;
    return transition.atUtc.toTimeZone(zone);
}

int minuteOfDay(const QDateTime& now, const QTimeZone& zone)
{
    const QTime time = now.toTimeZone(zone).time();
    return time.hour() * 60 + time.minute();
}

} // namespace kestravin::LocalTime
