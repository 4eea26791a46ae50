#pragma once

#include "AccountFolga.h"

#include <QDateTime>

namespace kestravin {

// The break offered in menus and panels, derived from the account's folga
// record, its focus switch and the clock.
struct FolgaMenuState {
    enum class Kind { ready, noFocus, active, empty };

    Kind kind = Kind::empty;
    // Breaks held (ready, noFocus).
    qint64 available = 0;
    // When the running break ends (active).
    QDateTime until;

    // A running break counts only while its end parses and lies after now.
    static FolgaMenuState make(const AccountFolga& folga, bool focusEnabled, const QDateTime& now);

    bool operator==(const FolgaMenuState&) const = default;
};

} // namespace kestravin
