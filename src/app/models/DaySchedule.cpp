#include "DaySchedule.h"

#include "contract/ContractJson.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace kestravin {

DaySchedule::DaySchedule(bool enabled_, QList<TimeRange> timeRanges_)
    : enabled(enabled_), timeRanges(std::move(timeRanges_))
{
}

const DaySchedule& DaySchedule::defaultWeekday()
{
    static const DaySchedule day(true, { TimeRange::defaultFullDay() });
    return day;
}

const DaySchedule& DaySchedule::defaultWeekend()
{
    static const DaySchedule day(false, { TimeRange(10, 0, 14, 0) });
    return day;
}

const DaySchedule& DaySchedule::disabled()
{
    static const DaySchedule day(false, { TimeRange(9, 0, 17, 0) });
    return day;
}

QJsonObject DaySchedule::toJson() const
{
    QJsonArray ranges;
    for (const TimeRange& range : timeRanges)
        ranges.append(range.toJson());
    return QJsonObject { { u"enabled"_s, enabled }, { u"timeRanges"_s, ranges } };
}

namespace {

std::optional<QList<TimeRange>> rangeList(const QJsonObject& object)
{
    const QJsonValue value = object.value(u"timeRanges"_s);
    if (!value.isArray())
        return std::nullopt;
    QList<TimeRange> ranges;
    for (const QJsonValue& element : value.toArray()) {
        auto range = TimeRange::fromJson(element);
        if (!range)
            return std::nullopt;
        ranges.append(*range);
    }
    return ranges;
}

} // namespace

std::optional<DaySchedule> DaySchedule::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    DaySchedule day;
    if (!requireObject(value, u"DaySchedule"_s, object, error) || !readBool(object, u"enabled"_s, day.enabled, error))
        return std::nullopt;

    if (auto ranges = rangeList(object)) {
        day.timeRanges = std::move(*ranges);
        return day;
    }

    // Files from before several ranges per day held one range at the day's
    // own level. Why "timeRanges" failed no longer matters; a legacy key that
    // fails too is the error reported.
    TimeRange legacy(0, 0, 0, 0);
    if (!readInteger(object, u"startHour"_s, legacy.startHour, error)
        || !readInteger(object, u"startMinute"_s, legacy.startMinute, error)
        || !readInteger(object, u"endHour"_s, legacy.endHour, error)
        || !readInteger(object, u"endMinute"_s, legacy.endMinute, error))
        return std::nullopt;
    day.timeRanges = { legacy };
    return day;
}

} // namespace kestravin
