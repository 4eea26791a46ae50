#pragma once

#include <QDateTime>

namespace kestravin {

// The application's one source of "now". Services take a Clock so that tests
// can run schedule and countdown logic at fixed instants.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // Wall-clock time of the machine.
    static Clock& system();
};

} // namespace kestravin
