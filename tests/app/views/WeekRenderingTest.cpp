// Pixel probes of the week grid's drawing on the offscreen platform.
#include "ViewsTestSupport.h"

#include "app/views/brand/BrandTokens.h"
#include "app/views/settings/WeekBlockPainter.h"

#include <QPainter>

using namespace Qt::StringLiterals;
using namespace kestravin;
using kestravin::testing_support::AppearanceTest;
using kestravin::testing_support::sameColor;

namespace {

QImage canvas(QSize size = { 200, 720 })
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

QImage blockImage(double height, double active, bool selected = false)
{
    QImage image = canvas({ 160, 120 });
    QPainter painter(&image);
    WeekBlockPainter blocks;
    BlockLook look;
    look.range = { 540, 600 };
    look.rect = QRectF(20, 20, 120, height);
    look.active = active;
    look.selected = selected;
    blocks.paintBlock(painter, look, ColorScheme::Light);
    return image;
}

// Whether any pixel of `rect` is far darker than the accent (text or a glyph).
bool hasInk(const QImage& image, const QRect& rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 110) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

using WeekRenderingTest = AppearanceTest;

TEST_F(WeekRenderingTest, ColumnHairlinesEveryTwoHours)
{
    struct Case {
        double hourHeight;
        int firstHour;
        QList<int> rows;
    };
    const Case cases[] = {
        { 28, 0, { 55, 111, 167, 223, 279, 335, 391, 447, 503, 559, 615 } },
        { 20, 6, { 39, 79, 119, 159, 199, 239, 279, 319 } },
        { 28, 22, {} },
        { 28, 23, {} },
    };
    for (const Case& c : cases) {
        QImage image = canvas();
        QPainter painter(&image);
        WeekBlockPainter::paintColumn(painter, QRectF(0, 0, 100, (24 - c.firstHour) * c.hourHeight), c.hourHeight,
            c.firstHour, ColorScheme::Light);
        painter.end();
        const QColor sunk = BrandTokens::sunk(ColorScheme::Light);
        QList<int> lines;
        for (int y = 12; y < int((24 - c.firstHour) * c.hourHeight) - 12; ++y) {
            if (!sameColor(image.pixelColor(50, y), sunk, 1)) {
                lines << y;
            }
        }
        EXPECT_EQ(lines, c.rows) << c.firstHour;
    }
    // Line colour: #E8E3DB at 70 % over the recessed fill.
    QImage image = canvas();
    QPainter painter(&image);
    WeekBlockPainter::paintColumn(painter, QRectF(0, 0, 100, 672), 28, 0, ColorScheme::Light);
    painter.end();
    EXPECT_TRUE(sameColor(
        image.pixelColor(50, 55), blend(BrandTokens::sunk(ColorScheme::Light), QColor(232, 227, 219), 0.7), 2));
}

TEST_F(WeekRenderingTest, LabelBadgeAndGripsFollowTheHeight)
{
    // Label: none below 12 pt, centred when compact, at the top from 42 pt.
    EXPECT_EQ(WeekBlockPainter::labelText({ 540, 600 }, 11), QString());
    EXPECT_EQ(WeekBlockPainter::labelText({ 540, 600 }, 12), u"9h–10h"_s);
    EXPECT_EQ(WeekBlockPainter::labelRect(QRectF(0, 0, 120, 12)), QRectF(7, 0, 91, 12));
    EXPECT_EQ(WeekBlockPainter::labelRect(QRectF(0, 0, 120, 42)).top(), 5);
    // A selected block whose badge would cut the hours puts them below the
    // badge when it is tall enough; a short one keeps them beside it.
    const QRectF narrow(0, 0, 70, 84);
    EXPECT_EQ(WeekBlockPainter::labelRect(narrow, true, 30), WeekBlockPainter::labelRect(narrow, true));
    const QRectF below = WeekBlockPainter::labelRect(narrow, true, 50);
    EXPECT_EQ(below.width(), WeekBlockPainter::labelRect(narrow, false).width());
    EXPECT_GE(below.top(), WeekBlockPainter::badgeRect(narrow).bottom());
    EXPECT_EQ(WeekBlockPainter::labelRect(QRectF(0, 0, 70, 30), true, 50),
        WeekBlockPainter::labelRect(QRectF(0, 0, 70, 30), true));
    EXPECT_FALSE(hasInk(blockImage(11, 0), QRect(27, 20, 80, 11)));
    EXPECT_TRUE(hasInk(blockImage(30, 0), QRect(27, 20, 80, 30)));

    // Badge: 10 × 10 at least, 18 × 18 at most, drawn only while active.
    EXPECT_EQ(WeekBlockPainter::badgeRect(QRectF(0, 0, 120, 10)).size(), QSizeF(10, 10));
    EXPECT_EQ(WeekBlockPainter::badgeRect(QRectF(0, 0, 120, 30)).size(), QSizeF(18, 18));
    EXPECT_EQ(WeekBlockPainter::badgeRect(QRectF(0, 0, 120, 60)).topLeft(), QPointF(99, 3));
    const QRect badge = WeekBlockPainter::badgeRect(QRectF(20, 20, 120, 60)).toRect().adjusted(2, 2, -2, -2);
    EXPECT_TRUE(hasInk(blockImage(60, 1), badge));
    EXPECT_FALSE(hasInk(blockImage(60, 0), badge));

    // Grips: hidden at 27 pt, shown at 28 pt when active.
    EXPECT_TRUE(WeekBlockPainter::gripRects(QRectF(0, 0, 120, 27)).first.isEmpty());
    const auto grips = WeekBlockPainter::gripRects(QRectF(20, 20, 120, 28));
    ASSERT_FALSE(grips.first.isEmpty());
    const QPoint gripCentre = grips.second.center().toPoint();
    const QColor plain = blockImage(28, 0).pixelColor(gripCentre);
    EXPECT_LT(blockImage(28, 1).pixelColor(gripCentre).lightness(), plain.lightness() - 20);
    EXPECT_TRUE(sameColor(blockImage(27, 1).pixelColor(gripCentre), blockImage(27, 0).pixelColor(gripCentre), 3));
}

TEST_F(WeekRenderingTest, SelectionRingStandsOutsideTheBlock)
{
    const QImage selected = blockImage(60, 1, true);
    const QImage plain = blockImage(60, 1, false);
    // 3 pt outside the left edge, half-way down: the ring's 1.5-pt stroke.
    const QPoint ring(20 - 3, 50);
    EXPECT_TRUE(sameColor(selected.pixelColor(ring), WeekBlockPainter::focusRing(ColorScheme::Light), 40));
    EXPECT_FALSE(sameColor(plain.pixelColor(ring), WeekBlockPainter::focusRing(ColorScheme::Light), 40));
}
