#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/Firefly.h"
#include "app/views/mascot/PikoPose.h"
#include "app/views/mascot/PikoRenderer.h"
#include "app/views/mascot/PikoSprite.h"

#include "ViewsTestSupport.h"

#include <QPainter>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

class MascotTest : public AppearanceTest { };

void expectPose(const PikoPose& got, const PikoPose& expected, double tolerance = 1e-3)
{
    EXPECT_NEAR(got.x, expected.x, tolerance);
    EXPECT_NEAR(got.y, expected.y, tolerance);
    EXPECT_NEAR(got.rotation, expected.rotation, tolerance);
    EXPECT_NEAR(got.scaleX, expected.scaleX, tolerance);
    EXPECT_NEAR(got.scale, expected.scale, tolerance);
    EXPECT_NEAR(got.opacity, expected.opacity, tolerance);
    EXPECT_NEAR(got.blur, expected.blur, tolerance);
}

TEST(PikoArc, PoseAlongTheFlight)
{
    const PikoArc right { QPointF(200, 100), 0.5, 50, 4 };
    const PikoArc left { QPointF(-220, 160), 0.6, 90, 0 };
    struct Case {
        const char* name;
        PikoArc arc;
        double t;
        PikoPose expected;
    };
    const Case cases[] = {
        { "start sits at from, faded in from nothing", right, 0.0, { 200, 100, -18, -0.5, 0.5, 0, 4 } },
        { "half-way, facing left", right, 0.5, { 100, 0, -13.5, -0.75, 0.75, 1, 0 } },
        // Mid turn-around the horizontal scale passes through zero.
        { "turning", right, 0.9, { 20, -8, 2.2052, 0, 0.95, 1, 0 } },
        { "end is rest", right, 1.0, PikoPose::rest },
        { "from the left faces right", left, 0.5, { -110, -5, -13.5, 0.8, 0.8, 1, 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectPose(c.arc.pose(c.t), c.expected);
    }
    EXPECT_NEAR(right.pose(0.06).opacity, 0.5, 1e-9);
    EXPECT_NEAR(right.pose(0.175).blur, 2.0, 1e-9);
    // Facing left until the last fifth, then turning to face right.
    EXPECT_LT(right.pose(0.8).scaleX, 0.0);
    EXPECT_GT(right.pose(0.95).scaleX, 0.0);
    for (double t = 0.0; t <= 1.0; t += 0.01) {
        EXPECT_LE(std::abs(right.pose(t).rotation), 18.0 + 1e-9);
        EXPECT_GT(left.pose(t).scaleX, 0.0);
    }
}

TEST(PikoWings, PhaseIsASmoothTriangleOnMonotonicTime)
{
    struct Case {
        double seconds, period, expected;
    };
    const Case cases[] = {
        { 0.0, 0.13, 0.0 },
        { 0.13, 0.13, 1.0 },
        { 0.26, 0.13, 0.0 },
        { 0.15, 0.15, 1.0 },
        { 0.0325, 0.13, 0.15625 },
        { 0.065, 0.13, 0.5 },
        { 0.195, 0.13, 0.5 },
        // A time before the clock's start counts as its start, never beyond [0, 1].
        { -5.0, 0.13, 0.0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_NEAR(PikoWings::phase(c.seconds, c.period), c.expected, 1e-9);
    }
    // Out of step: the two periods differ.
    EXPECT_NE(PikoWings::phase(0.4, PikoWings::periodA), PikoWings::phase(0.4, PikoWings::periodB));
}

TEST(PikoWings, AnglesFollowThePhasesOrRestAtZero)
{
    EXPECT_EQ(PikoWings::angles(std::nullopt, std::nullopt), PikoWings::Angles {});
    const PikoWings::Angles fullB = PikoWings::angles(0.0, 1.0);
    EXPECT_DOUBLE_EQ(fullB.aPlane, 5.0);
    EXPECT_DOUBLE_EQ(fullB.aTilt, 46.0);
    EXPECT_DOUBLE_EQ(fullB.bPlane, 4.0);
    EXPECT_DOUBLE_EQ(fullB.bTurn, -10.0);
    const PikoWings::Angles fullA = PikoWings::angles(1.0, 0.0);
    EXPECT_DOUBLE_EQ(fullA.bPlane, -7.0);
    EXPECT_DOUBLE_EQ(fullA.bTurn, 42.0);
    EXPECT_DOUBLE_EQ(fullA.aPlane, -4.0);
    EXPECT_DOUBLE_EQ(fullA.aTilt, -14.0);

    // At rest the wing transforms leave the layers where they are; flapping
    // keeps the hinge in place.
    const QSizeF size(150, 100);
    EXPECT_TRUE(PikoWings::wingATransform({}, size).isIdentity());
    const QPointF hinge(0.51 * 150, 0.58 * 100);
    const QPointF moved = PikoWings::wingATransform(fullB, size).map(hinge);
    EXPECT_NEAR(moved.x(), hinge.x(), 1e-9);
    EXPECT_NEAR(moved.y(), hinge.y(), 1e-9);
    EXPECT_NE(PikoWings::wingBTransform(fullA, size).map(QPointF(20, 60)), QPointF(20, 60));
}

TEST(PikoPolygon, MapsPercentPointsIntoTheRectAndCloses)
{
    const QPainterPath wing = PikoPolygon::wingA().path(QRectF(0, 0, 150, 100));
    const QPointF expected[] = { { 37.5, 17 }, { 64.5, 16 }, { 81, 54 }, { 76.5, 63 }, { 61.5, 56 }, { 36, 37 } };
    ASSERT_EQ(wing.elementCount(), 7);
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(wing.elementAt(i).x, expected[i].x(), 1e-9);
        EXPECT_NEAR(wing.elementAt(i).y, expected[i].y(), 1e-9);
    }
    EXPECT_EQ(QPointF(wing.elementAt(6)), expected[0]);
    const QPainterPath shifted = PikoPolygon::body().path(QRectF(10, 20, 100, 100));
    EXPECT_EQ(QPointF(shifted.elementAt(0)), QPointF(67, 20));
    EXPECT_TRUE(PikoPolygon {}.path(QRectF(0, 0, 10, 10)).isEmpty());
}

TEST(PikoPose, TransformScalesThenTurnsThenOffsets)
{
    const QPointF centre(50, 40);
    EXPECT_TRUE(PikoPose::rest.transform(centre).isIdentity());
    PikoPose mirrored;
    mirrored.scaleX = -1;
    EXPECT_EQ(mirrored.transform(centre).map(QPointF(60, 40)), QPointF(40, 40));
    PikoPose moved;
    moved.x = 10;
    moved.y = -5;
    moved.rotation = 90;
    const QPointF p = moved.transform(centre).map(QPointF(60, 40));
    EXPECT_NEAR(p.x(), 60, 1e-9);
    EXPECT_NEAR(p.y(), 45, 1e-9);
}

TEST_F(MascotTest, SpriteGeometryAndGlow)
{
    const PikoRenderer renderer(120, 1.0);
    EXPECT_DOUBLE_EQ(renderer.height(), 80);
    EXPECT_NEAR(renderer.glowCentre().x(), 46.8, 1e-9);
    EXPECT_NEAR(renderer.glowCentre().y(), 67.2, 1e-9);
    EXPECT_NEAR(renderer.coreSize().width(), 24, 1e-9);
    EXPECT_NEAR(renderer.coreSize().height(), 17.6, 1e-9);
    EXPECT_NEAR(renderer.haloSize().width(), 64, 1e-9);
    EXPECT_TRUE(renderer.hasArtwork());

    // Lit: the core glows near full strength at its centre; unlit it is dimmer.
    auto glowAt = [&](double lit) {
        QImage canvas(200, 160, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        renderer.paint(painter, QPointF(40, 40), {}, lit);
        painter.end();
        return QColor::fromRgba(canvas.pixel(40 + 47 - 6, 40 + 67));
    };
    const QColor lit = glowAt(1.0);
    const QColor dark = glowAt(0.0);
    EXPECT_GT(lit.red(), dark.red());
    EXPECT_GT(lit.red(), 150);
    EXPECT_GT(dark.red(), 60);
}

TEST_F(MascotTest, WingsFlapOnlyWhileFlyingWithMotion)
{
    double now = 0.15;
    PikoSprite sprite(150, false, true);
    sprite.setClock([&] { return now; });
    sprite.show();
    EXPECT_FALSE(sprite.frameTimerRunning());
    EXPECT_EQ(sprite.wingAngles(), PikoWings::Angles {});

    sprite.setFlying(true);
    EXPECT_TRUE(sprite.frameTimerRunning());
    EXPECT_DOUBLE_EQ(sprite.wingAngles().aTilt, 46.0);
    now = 0.13;
    EXPECT_DOUBLE_EQ(sprite.wingAngles().bTurn, 42.0);

    setAppearance(ColorScheme::Light, true);
    EXPECT_FALSE(sprite.frameTimerRunning());
    EXPECT_EQ(sprite.wingAngles(), PikoWings::Angles {});
    setAppearance(ColorScheme::Light, false);
    EXPECT_TRUE(sprite.frameTimerRunning());
    sprite.hide();
    EXPECT_FALSE(sprite.frameTimerRunning());
}

TEST_F(MascotTest, LitFadesOverSixTenthsOfASecond)
{
    PikoSprite sprite(120, false, false);
    EXPECT_EQ(sprite.litAmount(), 0.0);
    QElapsedTimer fading;
    fading.start();
    sprite.setLit(true);
    EXPECT_EQ(sprite.litAmount(), 0.0);
    ASSERT_TRUE(waitFor([&] { return sprite.litAmount() == 1.0; }));
    EXPECT_GE(fading.elapsed(), 550);
}

TEST_F(MascotTest, FlightRunsItsFrameClockOnlyMidFlight)
{
    FlyingPiko flight(PikoArc { QPointF(200, 100), 0.5, 50, 4 }, 150, true);
    flight.resize(600, 400);
    flight.show();
    EXPECT_FALSE(flight.isFlying());
    EXPECT_FALSE(flight.frameTimerRunning());
    EXPECT_NEAR(flight.currentPose().opacity, 0.0, 1e-9);

    flight.setProgress(0.5);
    EXPECT_TRUE(flight.frameTimerRunning());
    EXPECT_NE(flight.wingAngles(), PikoWings::Angles {});

    setAppearance(ColorScheme::Light, true);
    EXPECT_FALSE(flight.frameTimerRunning());
    EXPECT_EQ(flight.wingAngles(), PikoWings::Angles {});
    setAppearance(ColorScheme::Light, false);

    flight.setProgress(1.0);
    EXPECT_FALSE(flight.frameTimerRunning());
    EXPECT_EQ(flight.currentPose(), PikoPose::rest);
    EXPECT_EQ(flight.wingAngles(), PikoWings::Angles {});

    // Edge-on mid-turn and the faded start draw nothing, and do not fail.
    for (double t : { 0.0, 0.9, 0.06, 0.3 }) {
        flight.setProgress(t);
        const QImage image = grabImage(flight);
        EXPECT_FALSE(image.isNull());
    }
}

TEST_F(MascotTest, NightBackgroundIsNearBlackWithAWarmGlowAboveTheMiddle)
{
    EXPECT_EQ(NightBackground::glowRect(QSizeF(400, 300)), QRectF(-40, -36, 480, 300));
    EXPECT_EQ(NightBackground::glowRect(QSizeF(400, 300)).center(), QPointF(200, 114));
    NightBackground night;
    night.resize(400, 300);
    const QImage image = grabImage(night);
    EXPECT_TRUE(sameColor(pixel(image, 0, 299), QColor(12, 13, 11), 0));
    const QColor centre = pixel(image, 200, 114);
    EXPECT_TRUE(sameColor(centre, BrandTokens::mix(QColor(12, 13, 11), QColor(216, 161, 60), 0.08), 1));
}

TEST(Firefly, FitsTheWideArtworkIntoItsSquareWithoutStretching)
{
    Firefly firefly(60);
    EXPECT_EQ(firefly.sizeHint(), QSize(60, 60));
    firefly.resize(60, 60);
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    firefly.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    // The 3:2 artwork fills 60 × 40, centred: the top and bottom ten rows stay empty.
    auto rowIsEmpty = [&](int y) {
        for (int x = 0; x < 60; ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                return false;
            }
        }
        return true;
    };
    for (int y : { 0, 5, 9, 50, 55, 59 }) {
        EXPECT_TRUE(rowIsEmpty(y)) << "row " << y;
    }
    int drawnRows = 0;
    for (int y = 10; y < 50; ++y) {
        drawnRows += rowIsEmpty(y) ? 0 : 1;
    }
    EXPECT_GT(drawnRows, 30);

    BrandHeader header;
    EXPECT_EQ(header.accessibleName(), u"Kestravin"_s);
    EXPECT_GE(header.sizeHint().height(), 48);
}

TEST(PikoActivity, OffsetSwingsFourPointsEachWay)
{
    EXPECT_DOUBLE_EQ(PikoActivity::offsetAt(0.225, true, false), 4.0);
    EXPECT_NEAR(PikoActivity::offsetAt(0.675, true, false), -4.0, 1e-9);
    EXPECT_EQ(PikoActivity::offsetAt(0.225, false, false), 0.0);
    EXPECT_EQ(PikoActivity::offsetAt(0.225, true, true), 0.0);
}

TEST_F(MascotTest, ActivityWaitsThenSwingsOnceAndStopsWhenSwitchedOff)
{
    PikoActivity dot(false);
    dot.show();
    EXPECT_FALSE(dot.frameTimerRunning());
    EXPECT_EQ(dot.dotColor(), QColor(177, 122, 32));
    QElapsedTimer waiting;
    waiting.start();
    dot.setActive(true);
    EXPECT_FALSE(dot.isTraveling());
    EXPECT_EQ(dot.offset(), 0.0);
    ASSERT_TRUE(waitFor([&] { return dot.isTraveling(); }));
    EXPECT_GE(waiting.elapsed(), 280); // still for 0.3 s first
    EXPECT_TRUE(dot.frameTimerRunning());
    dot.setActive(false);
    EXPECT_FALSE(dot.isTraveling());
    EXPECT_FALSE(dot.frameTimerRunning());
    EXPECT_EQ(dot.offset(), 0.0);
    EXPECT_TRUE(sameColor(pixel(grabImage(dot), 9, 9), dot.palette().color(QPalette::Window)));

    // Under reduce motion an active dot is shown, centred and still.
    setAppearance(ColorScheme::Dark, true);
    dot.setActive(true);
    QTest::qWait(400);
    EXPECT_FALSE(dot.isTraveling());
    EXPECT_FALSE(dot.frameTimerRunning());
    EXPECT_EQ(dot.dotColor(), QColor(248, 189, 82));
    EXPECT_TRUE(sameColor(pixel(grabImage(dot), 9, 9), QColor(248, 189, 82), 30));
}

TEST_F(MascotTest, ActivitySwingEndsAfterTwoPointSevenSeconds)
{
    double now = 100.0;
    PikoActivity dot(true);
    dot.setClock([&] { return now; });
    dot.show();
    QElapsedTimer swinging;
    ASSERT_TRUE(waitFor([&] { return dot.isTraveling(); }, 3000));
    swinging.start();
    now += 0.225;
    EXPECT_DOUBLE_EQ(dot.offset(), 4.0);
    ASSERT_TRUE(waitFor([&] { return !dot.isTraveling(); }, 8000));
    // The start is seen only at the next poll, which a loaded machine can
    // delay by a few hundred milliseconds: the bound only rules out an early end.
    EXPECT_GE(swinging.elapsed(), 2000);
    EXPECT_FALSE(dot.frameTimerRunning());
    EXPECT_EQ(dot.offset(), 0.0);
    EXPECT_TRUE(dot.isActive());
}

} // namespace
