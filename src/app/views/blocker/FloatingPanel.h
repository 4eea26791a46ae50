#pragma once

#include <QSize>

class QWidget;

namespace kestravin {

// Frameless windows that show one rounded card (the covering panel, the
// approval guide). Where a compositing manager runs, the window is
// translucent and the card's corners are drawn with soft edges; without one
// (plain X window managers) transparent pixels would show black, so the
// window is opaque in the card's colour and cut to the card's shape.
namespace FloatingPanel {

// Call before the window is first shown.
void prepare(QWidget* window);
// Fits the window's shape to a card of `size` with corners of `radius`, and
// its background to the current appearance.
void shape(QWidget* window, QSize size, double radius);

} // namespace FloatingPanel

} // namespace kestravin
