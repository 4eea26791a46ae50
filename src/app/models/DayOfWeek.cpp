#include "DayOfWeek.h"

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr std::array<QStringView, 7> rawValues
    = { u"sunday", u"monday", u"tuesday", u"wednesday", u"thursday", u"friday", u"saturday" };

} // namespace

std::optional<DayOfWeek> DayOfWeek::from(int calendarWeekday)
{
    if (calendarWeekday < 1 || calendarWeekday > 7)
        return std::nullopt;
    return fromIndex(calendarWeekday - 1);
}

std::optional<DayOfWeek> DayOfWeek::fromIndex(int index)
{
    if (index < 0 || index > 6)
        return std::nullopt;
    return DayOfWeek(allCases[static_cast<std::size_t>(index)]);
}

std::optional<DayOfWeek> DayOfWeek::fromString(QStringView rawValue)
{
    for (std::size_t i = 0; i < rawValues.size(); ++i) {
        if (rawValues[i] == rawValue)
            return DayOfWeek(allCases[i]);
    }
    return std::nullopt;
}

QString DayOfWeek::rawValue() const
{
    return rawValues[static_cast<std::size_t>(index())].toString();
}

} // namespace kestravin
