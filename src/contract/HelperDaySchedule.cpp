#include "HelperDaySchedule.h"

#include "ContractJson.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace kestravin {

HelperDaySchedule::HelperDaySchedule(bool enabled_, QList<HelperTimeRange> timeRanges_)
    : enabled(enabled_), timeRanges(std::move(timeRanges_))
{
}

HelperDaySchedule::HelperDaySchedule(
    bool enabled_, qint64 startHour_, qint64 startMinute_, qint64 endHour_, qint64 endMinute_)
    : enabled(enabled_), timeRanges { HelperTimeRange(startHour_, startMinute_, endHour_, endMinute_) }
{
}

qint64 HelperDaySchedule::startHour() const
{
    return timeRanges.isEmpty() ? 9 : timeRanges.first().startHour;
}
qint64 HelperDaySchedule::startMinute() const
{
    return timeRanges.isEmpty() ? 0 : timeRanges.first().startMinute;
}
qint64 HelperDaySchedule::endHour() const
{
    return timeRanges.isEmpty() ? 17 : timeRanges.first().endHour;
}
qint64 HelperDaySchedule::endMinute() const
{
    return timeRanges.isEmpty() ? 0 : timeRanges.first().endMinute;
}

QJsonObject HelperDaySchedule::toJson() const
{
    QJsonArray ranges;
    for (const HelperTimeRange& range : timeRanges)
        ranges.append(range.toJson());
    return QJsonObject { { u"enabled"_s, enabled }, { u"timeRanges"_s, ranges } };
}

namespace {

std::optional<QList<HelperTimeRange>> rangeList(const QJsonObject& object)
{
    const QJsonValue value = object.value(u"timeRanges"_s);
    if (!value.isArray())
        return std::nullopt;
    QList<HelperTimeRange> ranges;
    for (const QJsonValue& element : value.toArray()) {
        auto range = HelperTimeRange::fromJson(element);
        if (!range)
            return std::nullopt;
        ranges.append(*range);
    }
    return ranges;
}

} // namespace

std::optional<HelperDaySchedule> HelperDaySchedule::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    HelperDaySchedule day;
    if (!requireObject(value, u"HelperDaySchedule"_s, object, error)
        || !readBool(object, u"enabled"_s, day.enabled, error))
        return std::nullopt;

    if (auto ranges = rangeList(object)) {
        day.timeRanges = std::move(*ranges);
        return day;
    }

    // The single-range form: a failure to read "timeRanges" is forgotten and
    // the four keys must stand at the day's level instead.
    HelperTimeRange single;
    if (!readInteger(object, u"startHour"_s, single.startHour, error)
        || !readInteger(object, u"startMinute"_s, single.startMinute, error)
        || !readInteger(object, u"endHour"_s, single.endHour, error)
        || !readInteger(object, u"endMinute"_s, single.endMinute, error))
        return std::nullopt;
    day.timeRanges = { single };
    return day;
}

} // namespace kestravin
