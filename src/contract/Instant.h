#pragma once

#include <cmath>
#include <compare>

namespace kestravin {

// A point in time as the daemon contract carries it: seconds since
// 2001-01-01 00:00:00 UTC, fraction included. Kept as a plain double (not
// QDateTime) so that sub-millisecond fractions survive a round trip.
struct Instant {
    // Seconds from 1970-01-01 to 2001-01-01.
    static constexpr double unixToReferenceOffset = 978307200.0;

    double secondsSinceReference = 0.0;

    constexpr Instant() = default;
    constexpr explicit Instant(double seconds) : secondsSinceReference(seconds) { }

    static constexpr Instant fromUnixSeconds(double unixSeconds)
    {
        return Instant(unixSeconds - unixToReferenceOffset);
    }
    constexpr double unixSeconds() const { return secondsSinceReference + unixToReferenceOffset; }

    bool isFinite() const { return std::isfinite(secondsSinceReference); }

    constexpr Instant addSeconds(double seconds) const { return Instant(secondsSinceReference + seconds); }
    constexpr double secondsSince(Instant other) const { return secondsSinceReference - other.secondsSinceReference; }

    constexpr auto operator<=>(const Instant&) const = default;
};

} // namespace kestravin
