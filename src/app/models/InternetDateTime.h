#pragma once

#include <QDateTime>
#include <QStringView>

#include <optional>

namespace kestravin::InternetDateTime {

// Reads an internet date-time such as "2026-03-09T14:30:00Z" or
// "2026-03-09T11:30:00-03:00": full date, "T", full time to the second and a
// zone designator ("Z" or ±HH:MM). Fractional seconds, lower-case letters,
// missing zones and out-of-range fields are refused, so every screen that
// asks whether a break still runs gets the same answer. The result is in UTC.
std::optional<QDateTime> parse(QStringView text);

// The same form in UTC with "Z", to the second.
QString format(const QDateTime& instant);

} // namespace kestravin::InternetDateTime
