#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <optional>
#include <vector>

namespace kestravin {

// Where and how the mascot is drawn: offset (points, y downwards), rotation
// (degrees), horizontal and vertical scale (a negative horizontal scale mirrors),
// opacity and blur radius.
struct PikoPose {
    double x = 0.0;
    double y = 0.0;
    double rotation = 0.0;
    double scaleX = 1.0;
    double scale = 1.0;
    double opacity = 1.0;
    double blur = 0.0;

    static const PikoPose rest;

    // Scale about `centre`, then rotate about it, then offset.
    QTransform transform(const QPointF& centre) const;
    bool operator==(const PikoPose&) const = default;
};

// A closed polygon given in percent of a rectangle: (0, 0) top-left, (100, 100)
// bottom-right.
struct PikoPolygon {
    std::vector<QPointF> points;

    QPainterPath path(const QRectF& rect) const;

    // The three cuts of the mascot artwork, in drawing order.
    static const PikoPolygon& wingA();
    static const PikoPolygon& wingB();
    static const PikoPolygon& body();
};

// The flapping of the wings.
namespace PikoWings {

// Hinge of both wings, in unit coordinates of the sprite.
inline constexpr double anchorX = 0.51;
inline constexpr double anchorY = 0.58;
inline constexpr double periodA = 0.13;
inline constexpr double periodB = 0.15;
// Eye distance of the wings' perspective, in points.
inline constexpr double eyeDistance = 360.0;

// A triangle wave between 0 and 1 of period 2P, eased by smoothstep. `seconds`
// is monotonic elapsed time; a negative time counts as 0.
double phase(double seconds, double period);

struct Angles {
    double aPlane = 0.0; // wing A, in the plane
    double aTilt = 0.0; // wing A, about the x axis
    double bPlane = 0.0; // wing B, in the plane
    double bTurn = 0.0; // wing B, about the y axis

    bool operator==(const Angles&) const = default;
};

// Angles for the two phases; a phase that is absent (not flapping) gives 0.
Angles angles(std::optional<double> a, std::optional<double> b);
// Angles at `seconds` of flapping.
Angles anglesAt(double seconds);

// The transforms that move each wing layer of a sprite of `size`.
QTransform wingATransform(const Angles& angles, const QSizeF& size);
QTransform wingBTransform(const Angles& angles, const QSizeF& size);

} // namespace PikoWings

// One flight of the mascot into its resting place (the origin) along a
// quadratic curve that rises `lift` above the higher end.
struct PikoArc {
    QPointF from;
    double fromScale = 1.0;
    double lift = 0.0;
    double blur = 0.0;

    PikoPose pose(double t) const;
};

} // namespace kestravin
