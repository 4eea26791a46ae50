#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/brand/BrandShapes.h"

#include "ViewsTestSupport.h"

#include <QPainter>

using namespace Qt::StringLiterals;
using namespace kestravin;
using kestravin::testing_support::sameColor;

namespace {

struct MixCase {
    const char* name;
    QColor a;
    QColor b;
    double t;
    double red, green, blue; // expected, in 0-255 units, unclamped
};

TEST(BrandTokens, MixInterpolatesUnclampedAndOpaque)
{
    const QColor paper(255, 254, 252);
    const QColor ink(44, 41, 37);
    QColor halfClear(10, 20, 30);
    halfClear.setAlphaF(0.5f);
    const MixCase cases[] = {
        { "fraction 0 is a, opaque", halfClear, ink, 0.0, 10, 20, 30 },
        { "fraction 1 is b, opaque", halfClear, ink, 1.0, 44, 41, 37 },
        { "light sunk", paper, ink, 0.045, 245.505, 244.415, 242.325 },
        { "extrapolates past b", paper, ink, 1.5, -61.5, -65.5, -70.5 },
    };
    for (const MixCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QColor mixed = BrandTokens::mix(c.a, c.b, c.t);
        EXPECT_NEAR(mixed.redF() * 255.0, c.red, 0.05);
        EXPECT_NEAR(mixed.greenF() * 255.0, c.green, 0.05);
        EXPECT_NEAR(mixed.blueF() * 255.0, c.blue, 0.05);
        EXPECT_DOUBLE_EQ(mixed.alphaF(), 1.0);
    }
    EXPECT_EQ(BrandTokens::mix(QColor(), ink, 0.5).isValid(), false);
    EXPECT_EQ(BrandTokens::mix(paper, QColor(), 0.5), paper);
}

TEST(BrandTokens, SunkAndPaletteFollowTheScheme)
{
    EXPECT_EQ(BrandTokens::sunk(ColorScheme::Light).toRgb().name(), u"#f6f4f2"_s);
    EXPECT_EQ(BrandTokens::sunk(ColorScheme::Dark).toRgb().name(), u"#373531"_s);
    EXPECT_EQ(BrandTokens::accent().name(), u"#f8bd52"_s);
    EXPECT_EQ(BrandTokens::onAccent().name(), u"#202124"_s);
    EXPECT_EQ(BrandPalette::of(ColorScheme::Dark).paper.name(), u"#282623"_s);
    EXPECT_EQ(BrandPalette::of(ColorScheme::Light).focusRing.name(), u"#74604d"_s);
    EXPECT_EQ(BrandPalette::of(ColorScheme::Dark).accentRing.name(), u"#f8bd52"_s);
    EXPECT_EQ(BrandTokens::easeOut().durationMs, 360);
}

TEST(BrandMotion, BrandCurveRisesFastAndSettles)
{
    const QEasingCurve curve = BrandMotion::brandCurve();
    EXPECT_NEAR(curve.valueForProgress(0.0), 0.0, 1e-6);
    EXPECT_NEAR(curve.valueForProgress(1.0), 1.0, 1e-6);
    // Control points (0.23, 1), (0.32, 1): most of the way there by a third.
    EXPECT_GT(curve.valueForProgress(0.3), 0.8);
}

TEST(BrandMotion, SpringSettlesWithALittleOvershoot)
{
    const BrandSpring glide { 0.32, 0.86 };
    EXPECT_DOUBLE_EQ(glide.value(0.0), 0.0);
    EXPECT_NEAR(glide.value(glide.settleSeconds()), 1.0, 0.003);
    double peak = 0.0;
    for (double t = 0.0; t < 1.0; t += 0.001) {
        peak = std::max(peak, glide.value(t));
    }
    EXPECT_GT(peak, 1.0);
    EXPECT_LT(peak, 1.01);
    // A springier one overshoots more; a critically damped one not at all.
    const BrandSpring hop { 0.3, 0.62 };
    const BrandSpring critical { 0.3, 1.0 };
    double hopPeak = 0.0;
    double criticalPeak = 0.0;
    for (double t = 0.0; t < 1.5; t += 0.001) {
        hopPeak = std::max(hopPeak, hop.value(t));
        criticalPeak = std::max(criticalPeak, critical.value(t));
    }
    EXPECT_GT(hopPeak, 1.05);
    EXPECT_LE(criticalPeak, 1.0);
}

TEST(BrandShapes, ContinuousRectStaysInsideAndCoversTheMiddle)
{
    const QRectF rect(10, 20, 120, 36);
    for (double radius : { 0.0, 5.0, 12.0, 40.0 }) {
        SCOPED_TRACE(radius);
        const QPainterPath path = BrandShapes::continuousRect(rect, radius);
        EXPECT_TRUE(rect.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(path.boundingRect()));
        EXPECT_TRUE(path.contains(rect.center()));
        EXPECT_TRUE(path.contains(QPointF(rect.center().x(), rect.top() + 0.5)));
    }
    // The corner itself is cut.
    EXPECT_FALSE(BrandShapes::continuousRect(rect, 12).contains(rect.topLeft() + QPointF(1, 1)));
    const QPainterPath inset = BrandShapes::strokeInside(rect, 12, 2);
    EXPECT_EQ(inset.boundingRect(), rect.adjusted(1, 1, -1, -1));
}

TEST(BrandAssets, LoadsOnceAndLooksAgainForMisses)
{
    const int before = BrandAssets::loadCount();
    const BrandImage* first = BrandAssets::image(u"firefly-approved"_s);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(BrandAssets::image(u"firefly-approved"_s), first);
    EXPECT_EQ(BrandAssets::loadCount(), before + 1);
    // The mascot is drawn in a 3:2 frame.
    EXPECT_DOUBLE_EQ(first->size().width() / first->size().height(), 1.5);

    EXPECT_EQ(BrandAssets::image(u"no-such-logo"_s), nullptr);
    EXPECT_EQ(BrandAssets::image(u"no-such-logo"_s), nullptr);
    EXPECT_EQ(BrandAssets::loadCount(), before + 3);

    // Names that could leave the folder are refused without a look.
    EXPECT_EQ(BrandAssets::image(u"../symbols/xmark"_s), nullptr);
    EXPECT_EQ(BrandAssets::image(u""_s), nullptr);
    EXPECT_EQ(BrandAssets::loadCount(), before + 3);
}

TEST(BrandAssets, EveryCatalogueLogoIsShippedAndPrimeIsAnAlias)
{
    const char* names[] = { "youtube", "instagram", "x", "tiktok", "reddit", "facebook", "linkedin", "netflix",
        "twitch", "primevideo", "g1", "uol", "mercadolivre", "amazon", "shopee", "steam", "roblox" };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const BrandImage* logo = BrandAssets::image(QString::fromLatin1(name));
        ASSERT_NE(logo, nullptr);
        // Drawn, not empty: some pixel of the middle is opaque.
        const QImage image = logo->rasterize(QSize(32, 32));
        int opaque = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                opaque += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 100);
    }
    EXPECT_EQ(BrandAssets::image(u"prime"_s), BrandAssets::image(u"primevideo"_s));
}

TEST(BrandAssets, TintedArtworkKeepsItsShapeInTheGivenColour)
{
    const BrandImage* x = BrandAssets::image(u"x"_s);
    ASSERT_NE(x, nullptr);
    QImage canvas(40, 40, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        x->renderTinted(painter, QRectF(0, 0, 40, 40), QColor(200, 30, 40));
    }
    bool sawTint = false;
    for (int y = 0; y < 40 && !sawTint; ++y) {
        for (int px = 0; px < 40; ++px) {
            const QColor c = QColor::fromRgba(canvas.pixel(px, y));
            if (c.alpha() == 255) {
                EXPECT_TRUE(sameColor(c, QColor(200, 30, 40)));
                sawTint = true;
                break;
            }
        }
    }
    EXPECT_TRUE(sawTint);
    EXPECT_EQ(qAlpha(canvas.pixel(0, 39)), 0);
}

} // namespace
