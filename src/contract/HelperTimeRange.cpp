#include "HelperTimeRange.h"

#include "ContractJson.h"
#include "WeeklyHours.h"

using namespace Qt::StringLiterals;

namespace kestravin {

HelperTimeRange::HelperTimeRange(qint64 startHour_, qint64 startMinute_, qint64 endHour_, qint64 endMinute_)
    : startHour(startHour_), startMinute(startMinute_), endHour(endHour_), endMinute(endMinute_)
{
}

qint64 HelperTimeRange::startMinutes() const
{
    return WeeklyHours::saturatedMinutes(startHour, startMinute);
}

qint64 HelperTimeRange::endMinutes() const
{
    return WeeklyHours::saturatedMinutes(endHour, endMinute);
}

QJsonObject HelperTimeRange::toJson() const
{
    return QJsonObject {
        { u"startHour"_s, startHour },
        { u"startMinute"_s, startMinute },
        { u"endHour"_s, endHour },
        { u"endMinute"_s, endMinute },
    };
}

std::optional<HelperTimeRange> HelperTimeRange::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    HelperTimeRange range;
    if (!requireObject(value, u"HelperTimeRange"_s, object, error)
        || !readInteger(object, u"startHour"_s, range.startHour, error)
        || !readInteger(object, u"startMinute"_s, range.startMinute, error)
        || !readInteger(object, u"endHour"_s, range.endHour, error)
        || !readInteger(object, u"endMinute"_s, range.endMinute, error))
        return std::nullopt;
    return range;
}

} // namespace kestravin
