#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace kestravin {

// What the mission tracker reads of the desktop on each tick: the app in
// front and how long the user has not touched keyboard or pointer.
class ActivityProbe {
public:
    virtual ~ActivityProbe() = default;
    // The desktop-file ID of the app in front; none when there is none or
    // the desktop does not say.
    virtual std::optional<QString> frontmostAppID() const = 0;
    // Time since the last keyboard or pointer input; none when unknown.
    virtual std::optional<std::chrono::milliseconds> idleTime() const = 0;
};

} // namespace kestravin
