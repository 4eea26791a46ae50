#include "TimeRange.h"

#include "contract/ContractJson.h"
#include "contract/WeeklyHours.h"

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

} // namespace

TimeRange::TimeRange(qint64 startHour_, qint64 startMinute_, qint64 endHour_, qint64 endMinute_)
    : TimeRange(QUuid::createUuid(), startHour_, startMinute_, endHour_, endMinute_)
{
}

TimeRange::TimeRange(QUuid id_, qint64 startHour_, qint64 startMinute_, qint64 endHour_, qint64 endMinute_)
    : id(id_), startHour(startHour_), startMinute(startMinute_), endHour(endHour_), endMinute(endMinute_)
{
}

const TimeRange& TimeRange::defaultFullDay()
{
    static const TimeRange range(9, 0, 19, 0);
    return range;
}

qint64 TimeRange::startMinutes() const
{
    return WeeklyHours::saturatedMinutes(startHour, startMinute);
}

qint64 TimeRange::endMinutes() const
{
    return WeeklyHours::saturatedMinutes(endHour, endMinute);
}

bool TimeRange::contains(qint64 minuteOfDay) const
{
    return WeeklyHours::holds(*this, minuteOfDay);
}

QJsonObject TimeRange::toJson() const
{
    return QJsonObject {
        { u"id"_s, uuidText(id) },
        { u"startHour"_s, startHour },
        { u"startMinute"_s, startMinute },
        { u"endHour"_s, endHour },
        { u"endMinute"_s, endMinute },
    };
}

std::optional<TimeRange> TimeRange::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    QString idText;
    TimeRange range;
    if (!requireObject(value, u"TimeRange"_s, object, error) || !readString(object, u"id"_s, idText, error))
        return std::nullopt;
    const auto id = uuidFromText(idText);
    if (!id) {
        setError(error, u"\"id\" is not a UUID: "_s + idText.left(60));
        return std::nullopt;
    }
    range.id = *id;
    if (!readInteger(object, u"startHour"_s, range.startHour, error)
        || !readInteger(object, u"startMinute"_s, range.startMinute, error)
        || !readInteger(object, u"endHour"_s, range.endHour, error)
        || !readInteger(object, u"endMinute"_s, range.endMinute, error))
        return std::nullopt;
    return range;
}

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(QStringView text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPlace ? text[i] != u'-' : !isHexDigit(text[i]))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace kestravin
