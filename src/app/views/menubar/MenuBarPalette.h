#pragma once

#include "app/views/brand/Appearance.h"

#include <QColor>

namespace kestravin {

// The popover's fixed colour pairs.
struct MenuBarPalette {
    QColor background;
    QColor ink;
    QColor divider;
    QColor muted;
    QColor badgeFill;
    QColor fieldSurface;

    static MenuBarPalette of(ColorScheme scheme)
    {
        if (scheme == ColorScheme::Dark) {
            return { QColor(0x1C1B19), QColor(0xFAF7F1), QColor(0x423D36), QColor(0xBDB6AC), QColor(0x3A3021),
                QColor(0x282623) };
        }
        return { QColor(0xFBFAF8), QColor(0x2C2925), QColor(0xE8E3DB), QColor(0x716B63), QColor(0xFFF5DF),
            QColor(0xFFFEFC) };
    }
    static MenuBarPalette current() { return of(Appearance::shared().colorScheme()); }
};

} // namespace kestravin
