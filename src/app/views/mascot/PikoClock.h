#pragma once

#include <functional>

namespace kestravin {

// Monotonic seconds for the mascot's movements. The wings' phase and the
// activity dot's swing only need elapsed time, and a monotonic clock never runs
// backwards or below zero when the wall clock is changed.
using PikoClock = std::function<double()>;

// Seconds since the process first asked, from the steady clock.
double pikoMonotonicSeconds();

} // namespace kestravin
