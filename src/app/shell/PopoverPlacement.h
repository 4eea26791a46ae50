#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestravin {

// Where the popover goes for a click at `anchor` (the tray's Activate point,
// the icon's geometry or the cursor): centred under the anchor when it lies
// in the upper half of the screen (a top panel), above it otherwise (a bottom
// panel), and always inside `available`, the screen's area without panels.
// A popover taller or wider than that area keeps its top-left corner inside.
QRect popoverGeometry(QPoint anchor, QSize size, const QRect& available, int gap = 6);

} // namespace kestravin
