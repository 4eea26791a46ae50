#pragma once

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace kestravin::LocalTime {

// The instant at which the wall clock of `zone` reads `minutesOfDay` minutes
// after the midnight that begins `date`. Minutes beyond the day roll into the
// following days, so 24:00 is the next day's 00:00, and negative ones into the
// days before. A wall time that a daylight-saving change skips becomes the
// first instant after the gap; a repeated one takes its first occurrence
// unless `repeated` asks for the last. The
// daemon resolves local times the same way, so both programs agree on when a
// range starts and ends. None for an invalid date or zone, or a day beyond
// what the calendar can represent.
enum class Occurrence { first, last };
std::optional<QDateTime> instant(
    QDate date, qint64 minutesOfDay, const QTimeZone& zone, Occurrence repeated = Occurrence::first);

// hour * 60 + minute of `now` on the wall clock of `zone`; seconds ignored.
int minuteOfDay(const QDateTime& now, const QTimeZone& zone);

} // namespace kestravin::LocalTime
