#pragma once

#include <QString>

#include <limits>
#include <optional>

namespace kestravin::FocusDuration {

// The longest duration accepted: its seconds still fit a 64-bit count. It is
// far beyond what one timer interval holds, so whoever waits for a duration
// must not hand it to a single timer.
inline constexpr qint64 maximumMinutes = std::numeric_limits<qint64>::max() / 60;

// The whole number of minutes in what the user typed, at least 1: "45",
// "45 min", "2 horas", "1,5h", "1h30", "1:30"... Case, accents and spaces do
// not matter; a comma is a decimal point. Decimal hours are rounded to the
// nearest minute, halves away from zero. None for anything else, for less
// than a minute and for more than maximumMinutes.
std::optional<qint64> parse(QStringView text);

} // namespace kestravin::FocusDuration
