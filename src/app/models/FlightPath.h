#pragma once

#include <QPointF>

namespace kestravin::FlightPath {

// The light's flight from a tile to the counter: a quadratic arc that always
// bows upward (y grows downward), its length in time, and the landing ring.

// Whether the two ends are so close (4 points or less) that the light lands at
// once and only the ring shows.
bool landsAtOnce(QPointF from, QPointF to);

// min(0.32 + 0.00032 × distance, 0.64) seconds.
double durationSeconds(QPointF from, QPointF to);

// The arc's control point: beside the midpoint by 0.12 × the rise, and 24 to
// 110 points above the higher end.
QPointF controlPoint(QPointF from, QPointF to);

// The light's centre at progress t (0 to 1).
QPointF pointAt(QPointF from, QPointF to, double t);

// The light's scale at progress t: 1 at both ends, 1.6 half-way.
double scaleAt(double t);

// The timing curve of the progress: cubic (0.45, 0) (0.2, 1).
constexpr double curve[4] = { 0.45, 0.0, 0.2, 1.0 };

// The ring opens over 0.48 s from scale 0.2 and opacity 0.9 to 1 and 0.
constexpr double ringSeconds = 0.48;
constexpr double ringSide = 26.0;
constexpr double lightSide = 4.0;

} // namespace kestravin::FlightPath
