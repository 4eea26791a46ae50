#include "app/services/core/AppEvents.h"

namespace kestravin {

AppEvents& AppEvents::shared()
{
    static auto* events = new AppEvents();
    return *events;
}

} // namespace kestravin
