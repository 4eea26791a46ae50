#include "FolgaMenuState.h"

#include "InternetDateTime.h"

namespace kestravin {

FolgaMenuState FolgaMenuState::make(const AccountFolga& folga, bool focusEnabled, const QDateTime& now)
{
    if (folga.active) {
        const auto end = InternetDateTime::parse(folga.active->endsAt);
        if (end && *end > now) {
            return { Kind::active, 0, *end };
        }
    }
    if (folga.available < 1) {
        return { Kind::empty, 0, {} };
    }
    return { focusEnabled ? Kind::ready : Kind::noFocus, folga.available, {} };
}

} // namespace kestravin
