#pragma once

#include "contract/Instant.h"

#include <QDate>
#include <QTimeZone>

#include <optional>

// Wall-clock questions of the schedule, in one time zone.
namespace kestravin::LocalTime {

struct WallClock {
    QDate date;
    // 1 = Sunday ... 7 = Saturday.
    int weekday = 1;
    // hour * 60 + minute; seconds are dropped.
    qint64 minuteOfDay = 0;
};

WallClock wallClock(Instant now, const QTimeZone& zone);

// The instant of `hour`:`minute`:00 on `date`. A time that a daylight-saving
// change skips gives the first instant after the gap; a time that happens
// twice gives its first occurrence; 24:00 is the next day's midnight. Hours or
// minutes out of range give nothing.
std::optional<Instant> instantAt(QDate date, qint64 hour, qint64 minute, const QTimeZone& zone);

} // namespace kestravin::LocalTime
