#include "app/views/brand/BrandShapes.h"

#include <algorithm>

namespace kestravin {

namespace BrandShapes {

QPainterPath continuousRect(const QRectF& rect, double radius)
{
    QPainterPath path;
    if (rect.isEmpty()) {
        return path;
    }
    const double limit = std::min(rect.width(), rect.height()) / 2.0;
    const double r = std::clamp(radius, 0.0, limit);
    if (r <= 0.0) {
        path.addRect(rect);
        return path;
    }
    // The curve covers about 1.28 r of each edge (less when the side is short);
    // its handles sit closer to the corner than a circle's would.
    const double reach = std::min(r * 1.28, limit);
    const double handle = reach * 0.42;
    const double l = rect.left();
    const double t = rect.top();
    const double rt = rect.right();
    const double b = rect.bottom();

    path.moveTo(l + reach, t);
    path.lineTo(rt - reach, t);
    path.cubicTo(rt - reach + (reach - handle), t, rt, t + handle, rt, t + reach);
    path.lineTo(rt, b - reach);
    path.cubicTo(rt, b - handle, rt - handle, b, rt - reach, b);
    path.lineTo(l + reach, b);
    path.cubicTo(l + handle, b, l, b - handle, l, b - reach);
    path.lineTo(l, t + reach);
    path.cubicTo(l, t + handle, l + handle, t, l + reach, t);
    path.closeSubpath();
    return path;
}

QPainterPath strokeInside(const QRectF& rect, double radius, double lineWidth)
{
    const double half = lineWidth / 2.0;
    return continuousRect(rect.adjusted(half, half, -half, -half), std::max(0.0, radius - half));
}

QPainterPath capsule(const QRectF& rect)
{
    QPainterPath path;
    const double r = std::min(rect.width(), rect.height()) / 2.0;
    path.addRoundedRect(rect, r, r);
    return path;
}

} // namespace BrandShapes

} // namespace kestravin
