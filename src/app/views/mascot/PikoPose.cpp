#include "app/views/mascot/PikoPose.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestravin {

const PikoPose PikoPose::rest {};

QTransform PikoPose::transform(const QPointF& centre) const
{
    QTransform t = QTransform::fromTranslate(-centre.x(), -centre.y());
    t *= QTransform::fromScale(scaleX, scale);
    QTransform turn;
    turn.rotate(rotation);
    t *= turn;
    t *= QTransform::fromTranslate(centre.x() + x, centre.y() + y);
    return t;
}

QPainterPath PikoPolygon::path(const QRectF& rect) const
{
    QPainterPath result;
    if (points.empty()) {
        return result;
    }
    QPolygonF polygon;
    for (const QPointF& p : points) {
        polygon << QPointF(rect.x() + rect.width() * p.x() / 100.0, rect.y() + rect.height() * p.y() / 100.0);
    }
    polygon << polygon.first();
    result.addPolygon(polygon);
    result.closeSubpath();
    return result;
}

const PikoPolygon& PikoPolygon::wingA()
{
    static const PikoPolygon polygon { { { 25, 17 }, { 43, 16 }, { 54, 54 }, { 51, 63 }, { 41, 56 }, { 24, 37 } } };
    return polygon;
}

const PikoPolygon& PikoPolygon::wingB()
{
    static const PikoPolygon polygon { { { 15, 39 }, { 33, 35 }, { 49, 53 }, { 52, 63 }, { 40, 68 }, { 20, 64 } } };
    return polygon;
}

const PikoPolygon& PikoPolygon::body()
{
    static const PikoPolygon polygon { { { 57, 0 }, { 86, 0 }, { 86, 80 }, { 47, 99 }, { 29, 96 }, { 32, 77 },
        { 48, 62 }, { 50, 54 }, { 46, 50 }, { 48, 34 }, { 56, 31 } } };
    return polygon;
}

namespace PikoWings {

double phase(double seconds, double period)
{
    const double t = std::max(seconds, 0.0);
    const double r = std::fmod(t / period, 2.0);
    const double s = r < 1.0 ? r : 2.0 - r;
    return s * s * (3.0 - 2.0 * s);
}

Angles angles(std::optional<double> a, std::optional<double> b)
{
    Angles result;
    if (b) {
        result.aPlane = 9.0 * *b - 4.0;
        result.aTilt = 60.0 * *b - 14.0;
    }
    if (a) {
        result.bPlane = 4.0 - 11.0 * *a;
        result.bTurn = 52.0 * *a - 10.0;
    }
    return result;
}

Angles anglesAt(double seconds)
{
    return angles(phase(seconds, periodA), phase(seconds, periodB));
}

namespace {

QTransform hinged(double planeDegrees, const QTransform& turn, const QSizeF& size)
{
    const QPointF anchor(anchorX * size.width(), anchorY * size.height());
    QTransform plane;
    plane.rotate(planeDegrees);
    return QTransform::fromTranslate(-anchor.x(), -anchor.y()) * plane * turn
        * QTransform::fromTranslate(anchor.x(), anchor.y());
}

} // namespace

QTransform wingATransform(const Angles& angles, const QSizeF& size)
{
    const double radians = angles.aTilt * std::numbers::pi / 180.0;
    // Rotation about the x axis, seen from `eyeDistance` away.
    const QTransform tilt(1, 0, 0, 0, std::cos(radians), -std::sin(radians) / eyeDistance, 0, 0, 1);
    return hinged(angles.aPlane, tilt, size);
}

QTransform wingBTransform(const Angles& angles, const QSizeF& size)
{
    const double radians = angles.bTurn * std::numbers::pi / 180.0;
    // Rotation about the y axis, seen from `eyeDistance` away.
    const QTransform turn(std::cos(radians), 0, -std::sin(radians) / eyeDistance, 0, 1, 0, 0, 0, 1);
    return hinged(angles.bPlane, turn, size);
}

} // namespace PikoWings

PikoPose PikoArc::pose(double t) const
{
    const double fx = from.x();
    const double fy = from.y();
    const double u = 1.0 - t;
    const double cx = fx / 2.0;
    const double cy = std::min(fy, 0.0) - lift;

    PikoPose pose;
    pose.x = u * u * fx + 2.0 * u * t * cx;
    pose.y = u * u * fy + 2.0 * u * t * cy;
    const double dx = 2.0 * u * (cx - fx) - 2.0 * t * cx;
    const double dy = 2.0 * u * (cy - fy) - 2.0 * t * cy;
    const double facing = dx < 0.0 ? -1.0 : 1.0;
    const double turn = t > 0.8 ? (t - 0.8) / 0.2 : 0.0;
    pose.opacity = t < 0.12 ? t / 0.12 : 1.0;
    pose.scale = fromScale + t * (1.0 - fromScale);
    const double tilt = std::clamp(std::atan2(dy, std::abs(dx) + 1.0) * 40.0, -18.0, 18.0);
    pose.rotation = tilt * (1.0 - t * t);
    pose.blur = std::max(0.0, 1.0 - t / 0.35) * blur;
    pose.scaleX = pose.scale * (facing + turn * (1.0 - facing));
    return pose;
}

} // namespace kestravin
