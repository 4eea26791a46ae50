#pragma once

#include <QPainterPath>
#include <QRectF>

namespace kestravin {

namespace BrandShapes {

// A rounded rectangle with continuous corners: each corner starts bending
// earlier than a circular arc and reaches its tightest curvature in the middle,
// so the straight edge flows into the corner without a visible joint.
QPainterPath continuousRect(const QRectF& rect, double radius);

// The same shape inset by half a line width, so that a stroke of `lineWidth`
// lies wholly inside `rect` (borders drawn inside the edge).
QPainterPath strokeInside(const QRectF& rect, double radius, double lineWidth);

// A capsule (fully rounded ends).
QPainterPath capsule(const QRectF& rect);

} // namespace BrandShapes

} // namespace kestravin
