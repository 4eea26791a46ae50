#include "app/models/FlightPath.h"

#include <gtest/gtest.h>

using namespace kestravin;

namespace {

TEST(FlightPathTest, DurationGrowsWithDistanceUpToACap)
{
    struct Case {
        QPointF from, to;
        double seconds;
        bool atOnce;
    };
    const Case cases[] = {
        { { 0, 0 }, { 3, 0 }, 0.32096, true },
        { { 0, 0 }, { 0, 4 }, 0.32128, true },
        { { 0, 0 }, { 100, 0 }, 0.352, false },
        { { 0, 0 }, { 600, 800 }, 0.64, false },
        { { 0, 0 }, { 5000, 0 }, 0.64, false },
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(FlightPath::durationSeconds(c.from, c.to), c.seconds, 1e-9);
        EXPECT_EQ(FlightPath::landsAtOnce(c.from, c.to), c.atOnce);
    }
}

TEST(FlightPathTest, TheArcBowsAboveTheHigherEnd)
{
    const QPointF from(0, 200), to(300, 200);
    EXPECT_EQ(FlightPath::controlPoint(from, to), QPointF(150, 92));
    EXPECT_EQ(FlightPath::pointAt(from, to, 0.5), QPointF(150, 146));
    EXPECT_EQ(FlightPath::pointAt(from, to, 0.0), from);
    EXPECT_EQ(FlightPath::pointAt(from, to, 1.0), to);
    EXPECT_DOUBLE_EQ(FlightPath::scaleAt(0.5), 1.6);
    EXPECT_DOUBLE_EQ(FlightPath::scaleAt(0.0), 1.0);

    // Counter above the tile: the control point stays above the higher end and
    // moves left of the midpoint; below it, right.
    const QPointF up = FlightPath::controlPoint({ 0, 300 }, { 100, 100 });
    EXPECT_LT(up.y(), 100 - 24 + 1e-9);
    EXPECT_LT(up.x(), 50);
    EXPECT_GT(FlightPath::controlPoint({ 0, 100 }, { 100, 300 }).x(), 50);
    EXPECT_DOUBLE_EQ(FlightPath::controlPoint({ 0, 0 }, { 2000, 0 }).y(), -110);
}

} // namespace
