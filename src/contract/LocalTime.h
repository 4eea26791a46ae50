#pragma once

#include "contract/Instant.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <optional>

// Wall-clock questions of the weekly hours, answered the same way by the
// daemon, the application and the browser bridge, so that all of them agree
// on when a range starts and ends.
namespace kestravin::LocalTime {

// The instant at which the wall clock of `zone` reads `minutesOfDay` minutes
// after the midnight that begins `date`. Minutes beyond the day roll into the
// following days, so 24:00 is the next day's 00:00, and negative ones into the
// days before. A wall time that a daylight-saving change skips becomes the
// first instant after the gap; a repeated one takes its first occurrence
// unless `repeated` asks for the last. None for an invalid date or zone, or a
// day beyond what the calendar can represent.
enum class Occurrence { first, last };
std::optional<QDateTime> instant(
    QDate date, qint64 minutesOfDay, const QTimeZone& zone, Occurrence repeated = Occurrence::first);

// hour * 60 + minute of `now` on the wall clock of `zone`; seconds ignored.
int minuteOfDay(const QDateTime& now, const QTimeZone& zone);

struct WallClock {
    QDate date;
    // 1 = Sunday ... 7 = Saturday.
    int weekday = 1;
    // hour * 60 + minute; seconds are dropped.
    qint64 minuteOfDay = 0;
};

WallClock wallClock(Instant now, const QTimeZone& zone);
// The same for a date-time; nothing for an invalid instant or zone.
std::optional<WallClock> wallClock(const QDateTime& now, const QTimeZone& zone);

// The instant of `hour`:`minute`:00 on `date`, by the rules of `instant`: only
// hours 0 to 23 and minutes 0 to 59, plus 24:00 for the next midnight. Other
// values give nothing.
std::optional<Instant> instantAt(QDate date, qint64 hour, qint64 minute, const QTimeZone& zone);

} // namespace kestravin::LocalTime
