#pragma once

#include <QHashFunctions>
#include <QList>

namespace kestravin {

// A span of minutes of the day, start inclusive and end exclusive; 1440 is
// the midnight that ends the day.
struct MinuteRange {
    int start = 0;
    int end = 0;

    bool operator==(const MinuteRange&) const = default;
};

inline size_t qHash(const MinuteRange& range, size_t seed = 0) noexcept
{
    return qHashMulti(seed, range.start, range.end);
}

} // namespace kestravin
