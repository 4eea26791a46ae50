// For the test programs whose screens reach the application's services
// through their default wiring (a page's or a panel's `shared()` services):
// the composition root is installed before main, as the application installs
// it first thing. Tests that need other instances still build their own.
#include "app/shell/AppServices.h"

namespace {

const bool installed = [] {
    kestravin::installAppServices();
    return true;
}();

} // namespace
