#pragma once

#include "app/views/brand/Appearance.h"

#include <QColor>

namespace kestravin {

// The fixed colour pairs of the pickers, light and dark.
struct PickerColors {
    QColor surface;
    QColor ink;
    QColor hairline;
    QColor muted;
    QColor selectedFill;
    QColor accentLine;
    QColor focusedBorder;
    QColor shadow;

    static const PickerColors& of(ColorScheme scheme);
    static const PickerColors& current() { return of(Appearance::shared().colorScheme()); }
};

} // namespace kestravin
