#pragma once

#include "TimeRange.h"

#include <QList>

namespace kestravin {

// One weekday of the user's focus hours.
struct DaySchedule {
    bool enabled = false;
    QList<TimeRange> timeRanges;

    DaySchedule() = default;
    DaySchedule(bool enabled, QList<TimeRange> timeRanges);

    // The defaults are made once per process, so every day that uses one
    // shares its range identifier.
    // Enabled, 09:00 to 19:00.
    static const DaySchedule& defaultWeekday();
    // Disabled, 10:00 to 14:00.
    static const DaySchedule& defaultWeekend();
    // Disabled, 09:00 to 17:00: stands in for a day that a schedule lacks.
    static const DaySchedule& disabled();

    // Writes "enabled" and "timeRanges" only. Reading falls back to the older
    // single-range form (the four range keys at the day's own level, with a
    // newly drawn identifier) whenever "timeRanges" cannot be read.
    QJsonObject toJson() const;
    static std::optional<DaySchedule> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const DaySchedule&) const = default;
};

} // namespace kestravin
