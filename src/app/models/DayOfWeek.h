#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>

#include <array>
#include <compare>
#include <optional>

namespace kestravin {

// The seven weekdays, Sunday first. Wherever the week is a list of seven
// per-day lists, a day's index() is its position in that list.
class DayOfWeek {
public:
    enum Value : quint8 { sunday, monday, tuesday, wednesday, thursday, friday, saturday };

    constexpr DayOfWeek(Value value) : m_value(value) { }

    static constexpr std::array<Value, 7> allCases = { sunday, monday, tuesday, wednesday, thursday, friday, saturday };

    // Gregorian weekday number, 1 = Sunday to 7 = Saturday; anything else is none.
    static std::optional<DayOfWeek> from(int calendarWeekday);
    // Day index, 0 = Sunday to 6 = Saturday; anything else is none.
    static std::optional<DayOfWeek> fromIndex(int index);
    // The lower-case English name as stored in files; anything else is none.
    static std::optional<DayOfWeek> fromString(QStringView rawValue);

    constexpr Value value() const { return m_value; }
    constexpr int index() const { return static_cast<int>(m_value); }
    // "sunday" ... "saturday": the stored form and the identity in lists.
    QString rawValue() const;

    constexpr auto operator<=>(const DayOfWeek&) const = default;

private:
    Value m_value;
};

inline size_t qHash(DayOfWeek day, size_t seed = 0) noexcept
{
    return ::qHash(day.index(), seed);
}

} // namespace kestravin
