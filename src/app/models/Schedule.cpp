#include "Schedule.h"

#include "contract/ContractJson.h"
#include "contract/LocalTime.h"
#include "contract/WeeklyHours.h"

#include <QJsonArray>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// Qt numbers Monday 1 to Sunday 7; the schedule's days are Sunday first.
std::optional<DayOfWeek> weekdayOf(QDate date)
{
    if (!date.isValid())
        return std::nullopt;
    return DayOfWeek::from(date.dayOfWeek() % 7 + 1);
}

} // namespace

Schedule::Schedule(QMap<DayOfWeek, DaySchedule> daySchedules_) : daySchedules(std::move(daySchedules_))
{
}

const Schedule& Schedule::defaultSchedule()
{
    static const Schedule schedule([] {
        QMap<DayOfWeek, DaySchedule> days;
        for (const DayOfWeek day : DayOfWeek::allCases) {
            const bool weekend = day == DayOfWeek::saturday || day == DayOfWeek::sunday;
            days.insert(day, weekend ? DaySchedule::defaultWeekend() : DaySchedule::defaultWeekday());
        }
        return days;
    }());
    return schedule;
}

const DaySchedule& Schedule::daySchedule(DayOfWeek day) const
{
    const auto it = daySchedules.constFind(day);
    return it == daySchedules.cend() ? DaySchedule::disabled() : it.value();
}

bool Schedule::isActiveNow(const QDateTime& now, const QTimeZone& timeZone) const
{
    return currentActiveRange(now, timeZone).has_value();
}

std::optional<TimeRange> Schedule::currentActiveRange(const QDateTime& now, const QTimeZone& timeZone) const
{
    const std::optional<LocalTime::WallClock> wall = LocalTime::wallClock(now, timeZone);
    if (!wall)
        return std::nullopt;
    return WeeklyHours::activeRange(*wall, [this](int weekday) -> const DaySchedule* {
        const std::optional<DayOfWeek> day = DayOfWeek::from(weekday);
        return day ? &daySchedule(*day) : nullptr;
    });
}

std::optional<QDateTime> Schedule::nextDeactivation(const QDateTime& now, const QTimeZone& timeZone) const
{
    const auto range = currentActiveRange(now, timeZone);
    if (!range)
        return std::nullopt;
    const QDate today = now.toTimeZone(timeZone).date();
    const auto end = LocalTime::instant(today, range->endMinutes(), timeZone);
    // In the second pass of a repeated hour the first occurrence of the end
    // has already gone by; the range still holds until the wall clock reaches
    // its end again.
    if (end && *end <= now)
        return LocalTime::instant(today, range->endMinutes(), timeZone, LocalTime::Occurrence::last);
    return end;
}

std::optional<QDateTime> Schedule::nextActivation(const QDateTime& now, const QTimeZone& timeZone) const
{
    if (!now.isValid() || !timeZone.isValid())
        return std::nullopt;
    const QDate today = now.toTimeZone(timeZone).date();
    // Offset 7 is today's weekday again, a week on.
    for (int offset = 0; offset <= 7; ++offset) {
        const QDate date = today.addDays(offset);
        const auto weekday = weekdayOf(date);
        if (!weekday)
            continue;
        const DaySchedule& day = daySchedule(*weekday);
        if (!day.enabled)
            continue;
        QList<TimeRange> ranges = day.timeRanges;
        std::stable_sort(ranges.begin(), ranges.end(),
            [](const TimeRange& a, const TimeRange& b) { return a.startMinutes() < b.startMinutes(); });
        for (const TimeRange& range : ranges) {
            const auto start = LocalTime::instant(date, range.startMinutes(), timeZone);
            if (start && *start > now)
                return start;
        }
    }
    return std::nullopt;
}

QJsonObject Schedule::toJson() const
{
    QJsonArray pairs;
    for (auto it = daySchedules.cbegin(); it != daySchedules.cend(); ++it) {
        pairs.append(it.key().rawValue());
        pairs.append(it.value().toJson());
    }
    return QJsonObject { { u"daySchedules"_s, pairs } };
}

std::optional<Schedule> Schedule::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    if (!requireObject(value, u"Schedule"_s, object, error))
        return std::nullopt;
    const QJsonValue pairsValue = object.value(u"daySchedules"_s);
    if (!pairsValue.isArray()) {
        setError(error, u"\"daySchedules\" is missing or not an array"_s);
        return std::nullopt;
    }
    const QJsonArray pairs = pairsValue.toArray();
    if (pairs.size() % 2 != 0) {
        setError(error, u"\"daySchedules\" ends after a day name"_s);
        return std::nullopt;
    }
    Schedule schedule;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        const QJsonValue key = pairs.at(i);
        if (!key.isString()) {
            setError(error, u"\"daySchedules\" holds a day name that is not a string"_s);
            return std::nullopt;
        }
        const auto day = DayOfWeek::fromString(key.toString());
        if (!day) {
            setError(error, u"\"daySchedules\" holds an unknown day: "_s + key.toString().left(40));
            return std::nullopt;
        }
        auto daySchedule = DaySchedule::fromJson(pairs.at(i + 1), error);
        if (!daySchedule)
            return std::nullopt;
        schedule.daySchedules.insert(*day, std::move(*daySchedule));
    }
    return schedule;
}

} // namespace kestravin
