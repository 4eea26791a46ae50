#pragma once

#include "WeekSchedule.h"

namespace kestravin::OnboardingPolicy {

// A ready-made pattern of weekly focus hours; weekends are always free.
class Preset {
public:
    enum Value : quint8 {
        // Monday to Friday 09:00-18:00.
        workday,
        // Monday to Friday 09:00-12:00 and 13:00-18:00.
        business,
    };

    constexpr Preset(Value value) : m_value(value) { }

    static constexpr std::array<Value, 2> allCases = { workday, business };

    // "workday" or "business"; anything else is none.
    static std::optional<Preset> fromString(QStringView rawValue);
    // The preset equal to `week` once each day is merged, trying workday
    // first; a week of other than seven days never matches.
    static std::optional<Preset> matching(const WeekSchedule::Week& week);

    constexpr Value value() const { return m_value; }
    QString rawValue() const;
    // Seven days, Sunday first.
    WeekSchedule::Week days() const;

    constexpr bool operator==(const Preset&) const = default;

private:
    Value m_value;
};

// The sites a fresh installation blocks: the domains of YouTube, Instagram,
// X and TikTok, in that order.
const QStringList& firstRunSites();

// How many things a blocked list stands for: each catalogue service once,
// each plain host (with its "www." form) once.
int blockedCount(const QStringList& blockedSites);

} // namespace kestravin::OnboardingPolicy
