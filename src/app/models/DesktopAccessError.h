#pragma once

#include <QString>

namespace kestravin {

// The errors that the account, browser and assistant operations report to the
// person. The order is the integer code.
enum class DesktopAccessError {
    invalidApproval = 0,
    sessionChanged = 1,
    configuration = 2,
    invalidRequest = 3,
    unavailable = 4,
    helperUpdate = 5,
    browserUnavailable = 6,
    invalidTarget = 7,
};

// The sentence shown for `error`.
QString describe(DesktopAccessError error);

} // namespace kestravin
