#include "app/models/FlightPath.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestravin::FlightPath {

bool landsAtOnce(QPointF from, QPointF to)
{
    return QLineF(from, to).length() <= 4.0;
}

double durationSeconds(QPointF from, QPointF to)
{
    return std::min(0.32 + 0.00032 * QLineF(from, to).length(), 0.64);
}

QPointF controlPoint(QPointF from, QPointF to)
{
    const double d = QLineF(from, to).length();
    return { (from.x() + to.x()) / 2.0 + (to.y() - from.y()) * 0.12,
        std::min(from.y(), to.y()) - std::min(0.28 * d + 24.0, 110.0) };
}

QPointF pointAt(QPointF from, QPointF to, double t)
{
    const QPointF c = controlPoint(from, to);
    const double u = 1.0 - t;
    return u * u * from + 2.0 * t * u * c + t * t * to;
}

double scaleAt(double t)
{
    return 1.0 + 0.6 * std::sin(std::numbers::pi * t);
}

} // namespace kestravin::FlightPath
