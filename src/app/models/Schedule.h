#pragma once

#include "DayOfWeek.h"
#include "DaySchedule.h"

#include <QDateTime>
#include <QMap>
#include <QTimeZone>

namespace kestravin {

// The weekly focus hours. The map may lack days: every query treats a missing
// day as DaySchedule::disabled(), so it never has focus hours.
//
// The queries read "now" on the wall clock of `timeZone` (hour and minute,
// seconds ignored) and answer instants; they keep no state and never fail.
struct Schedule {
    QMap<DayOfWeek, DaySchedule> daySchedules;

    Schedule() = default;
    explicit Schedule(QMap<DayOfWeek, DaySchedule> daySchedules);

    // Monday to Friday DaySchedule::defaultWeekday(), the weekend
    // DaySchedule::defaultWeekend().
    static const Schedule& defaultSchedule();

    // The day's entry, or DaySchedule::disabled() when the map lacks it.
    const DaySchedule& daySchedule(DayOfWeek day) const;

    bool isActiveNow(const QDateTime& now, const QTimeZone& timeZone) const;
    // The first range in stored order that holds now, on an enabled day.
    std::optional<TimeRange> currentActiveRange(const QDateTime& now, const QTimeZone& timeZone) const;
    // When the range of currentActiveRange() ends today (24:00 being the
    // midnight that closes the day); always after now, also inside an hour
    // that a daylight-saving change repeats.
    std::optional<QDateTime> nextDeactivation(const QDateTime& now, const QTimeZone& timeZone) const;
    // The first range start strictly after now, looking at today and the
    // following seven days, so that a start earlier today on the only
    // enabled day is found again a week later.
    std::optional<QDateTime> nextActivation(const QDateTime& now, const QTimeZone& timeZone) const;

    // {"daySchedules": ["sunday", {…}, "monday", {…}, …]}: an array that
    // alternates a day's name and its schedule. Written Sunday to Saturday so
    // that equal schedules give equal bytes; read in any order, a repeated
    // day keeping its later value. An odd-length array, or a name that is no
    // day, fails the read.
    QJsonObject toJson() const;
    static std::optional<Schedule> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const Schedule&) const = default;
};

} // namespace kestravin
