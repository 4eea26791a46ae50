#pragma once

#include "HelperTimeRange.h"

#include <QList>

namespace kestravin {

// One weekday of the daemon's schedule.
struct HelperDaySchedule {
    bool enabled = false;
    QList<HelperTimeRange> timeRanges;

    HelperDaySchedule() = default;
    HelperDaySchedule(bool enabled, QList<HelperTimeRange> timeRanges);
    // A day with exactly one range.
    HelperDaySchedule(bool enabled, qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute);

    // The first range's values; an empty day reads as 09:00 to 17:00.
    qint64 startHour() const;
    qint64 startMinute() const;
    qint64 endHour() const;
    qint64 endMinute() const;

    // Writes "enabled" and "timeRanges" only. Reading also accepts the older
    // single-range form, whose four range keys sit at the day's own level.
    QJsonObject toJson() const;
    static std::optional<HelperDaySchedule> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const HelperDaySchedule&) const = default;
};

} // namespace kestravin
