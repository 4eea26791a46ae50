#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/KeyCap.h"
#include "app/views/brand/SelectionCheck.h"
#include "app/views/brand/SocialLabel.h"

#include "ViewsTestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

class BrandInputsTest : public AppearanceTest { };

void focus(QWidget& widget, bool in)
{
    QFocusEvent event(in ? QEvent::FocusIn : QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&widget, &event);
}

TEST_F(BrandInputsTest, FieldBorderTurnsIntoTheFocusRingInsideItsEdge)
{
    struct Case {
        const char* name;
        ColorScheme scheme;
        bool focused;
        QColor surface;
        QColor border;
        int width;
    };
    const Case cases[] = {
        { "light", ColorScheme::Light, false, QColor(255, 254, 252), QColor(232, 227, 219), 1 },
        { "light focused", ColorScheme::Light, true, QColor(255, 254, 252), QColor(116, 96, 77), 2 },
        { "dark focused", ColorScheme::Dark, true, QColor(40, 38, 35), QColor(242, 197, 120), 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setAppearance(c.scheme, false);
        QLineEdit field;
        BrandTextFieldStyle* style = BrandTextFieldStyle::apply(&field);
        field.resize(200, field.sizeHint().height());
        const QSize before = field.size();
        focus(field, c.focused);
        EXPECT_EQ(style->isFocused(), c.focused);
        EXPECT_EQ(field.size(), before);
        const QImage image = grabImage(field);
        const int middle = image.height() / 2;
        for (int x = 0; x < c.width; ++x) {
            EXPECT_TRUE(sameColor(pixel(image, x, middle), c.border)) << "column " << x;
        }
        EXPECT_TRUE(sameColor(pixel(image, c.width, middle), c.surface));
        EXPECT_TRUE(sameColor(pixel(image, image.width() - 3, middle), c.surface));
    }
}

TEST_F(BrandInputsTest, FieldAndEditorKeepTheirMinimumHeights)
{
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* field = new QLineEdit;
    BrandTextFieldStyle::apply(field);
    layout->addWidget(field);
    form.adjustSize();
    EXPECT_EQ(field->height(), 36);

    BrandTextEditor editor;
    editor.resize(editor.sizeHint());
    EXPECT_EQ(editor.height(), 100);
    editor.setText(QString(u"linha\n"_s).repeated(40));
    EXPECT_EQ(editor.sizeHint().height(), 100);
    // The text scrolls inside; the editor shows no background of its own.
    EXPECT_EQ(editor.editor()->viewport()->palette().color(QPalette::Base).alpha(), 0);

    setAppearance(ColorScheme::Dark, false);
    editor.editor()->setFocus();
    focus(*editor.editor(), true);
    EXPECT_TRUE(editor.isFocused());
    const QImage image = grabImage(editor);
    EXPECT_TRUE(sameColor(pixel(image, 1, 50), QColor(242, 197, 120)));
    EXPECT_TRUE(sameColor(pixel(image, 5, 50), QColor(40, 38, 35)));
}

TEST_F(BrandInputsTest, KeyCapIsAtLeastSixteenSquareAndPadsWideLabels)
{
    KeyCap narrow(u"a"_s);
    EXPECT_GE(narrow.sizeHint().width(), 16);
    EXPECT_GE(narrow.sizeHint().height(), 16);
    KeyCap wide(u"Backspace"_s);
    const QFontMetricsF metrics(wide.font());
    EXPECT_EQ(wide.sizeHint().width(), qCeil(metrics.horizontalAdvance(u"Backspace"_s) + 8));
    EXPECT_EQ(wide.font().pixelSize(), 10);

    narrow.resize(narrow.sizeHint());
    const QImage image = grabImage(narrow);
    // The lower edge: a hairline line one pixel high, inset three pixels.
    EXPECT_TRUE(sameColor(pixel(image, image.width() / 2, image.height() - 1), QColor(232, 227, 219)));
}

TEST(CheckMark, PathRunsThroughItsThreePointsAndStaysOpen)
{
    struct Case {
        QRectF rect;
        QPolygonF expected;
    };
    const Case cases[] = {
        { QRectF(0, 0, 100, 100), { QPointF(20, 53), QPointF(42, 74), QPointF(82, 27) } },
        { QRectF(10, 10, 100, 100), { QPointF(30, 63), QPointF(52, 84), QPointF(92, 37) } },
        // The tick of a 20-point check, inset by 4 on every side.
        { QRectF(4, 4, 12, 12), { QPointF(6.4, 10.36), QPointF(9.04, 12.88), QPointF(13.84, 7.24) } },
    };
    for (const Case& c : cases) {
        const QPolygonF points = CheckMark::points(c.rect);
        ASSERT_EQ(points.size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(points[i].x(), c.expected[i].x(), 1e-9);
            EXPECT_NEAR(points[i].y(), c.expected[i].y(), 1e-9);
        }
        const QPainterPath path = CheckMark::path(c.rect);
        EXPECT_EQ(path.elementCount(), 3);
        EXPECT_NE(path.elementAt(0), path.elementAt(path.elementCount() - 1));
    }
}

TEST(CheckMark, TrimKeepsTheFirstPartOfTheLength)
{
    const QPolygonF tick { QPointF(0, 0), QPointF(30, 40), QPointF(30, 90) }; // lengths 50 and 50
    EXPECT_TRUE(CheckMark::trimmed(tick, 0.0).isEmpty());
    EXPECT_EQ(CheckMark::trimmed(tick, 0.25), QPolygonF({ QPointF(0, 0), QPointF(15, 20) }));
    EXPECT_EQ(CheckMark::trimmed(tick, 0.75), QPolygonF({ QPointF(0, 0), QPointF(30, 40), QPointF(30, 65) }));
    EXPECT_EQ(CheckMark::trimmed(tick, 1.0), tick);
    EXPECT_EQ(CheckMark::trimmed(tick, 1.5), tick);
}

TEST_F(BrandInputsTest, SelectionCheckDrawsInAfterADelayAndClearsQuickly)
{
    SelectionCheck check(false, 20);
    check.resize(20, 20);
    QElapsedTimer drawing;
    drawing.start();
    check.setOn(true);
    EXPECT_EQ(check.progress(), 0.0);
    ASSERT_TRUE(waitFor([&] { return check.progress() > 0.0; }));
    EXPECT_GE(drawing.elapsed(), 55); // the short pause before the tick draws
    ASSERT_TRUE(waitFor([&] { return check.progress() == 1.0; }));
    EXPECT_GE(drawing.elapsed(), 400); // 0.06 s + 0.36 s
    const QImage on = grabImage(check);
    EXPECT_TRUE(sameColor(pixel(on, 4, 10), BrandTokens::accent()));

    check.setOn(false);
    ASSERT_TRUE(waitFor([&] { return check.progress() == 0.0; }));

    // Selected and cleared again within the pause: ends cleared, no tick.
    check.setOn(true);
    check.setOn(false);
    QTest::qWait(150);
    EXPECT_EQ(check.progress(), 0.0);
    EXPECT_FALSE(check.isAnimating());
}

TEST_F(BrandInputsTest, SelectionCheckChangesAtOnceUnderReduceMotion)
{
    setAppearance(ColorScheme::Dark, true);
    SelectionCheck check(false, 24);
    check.setOn(true);
    EXPECT_EQ(check.progress(), 1.0);
    check.setOn(false);
    EXPECT_EQ(check.progress(), 0.0);
}

TEST(SocialLabel, TextComesFromTitleOrThePlatformsOwnName)
{
    struct Case {
        const char* platform;
        std::optional<QString> title;
        QString expected;
    };
    const Case cases[] = {
        { "youtube", std::nullopt, u"YouTube"_s },
        { "x", std::nullopt, u"X"_s },
        { "tiktok", std::nullopt, u"TikTok"_s },
        // Not every other platform is TikTok: each gets its own name.
        { "instagram", std::nullopt, u"Instagram"_s },
        { "prime", std::nullopt, u"Prime Video"_s },
        { "site:example.com", std::nullopt, u"site:example.com"_s },
        { "x", u""_s, u""_s },
        { "youtube", u"Aulas"_s, u"Aulas"_s },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platform);
        EXPECT_EQ(SocialLabel::displayText(QString::fromLatin1(c.platform), c.title), c.expected);
    }
}

TEST(SocialLabel, GlyphLogoFollowsTheTextColour)
{
    SocialLabel glyphOnly(u"x"_s, u""_s, 18);
    ASSERT_TRUE(glyphOnly.hasLogo());
    EXPECT_EQ(glyphOnly.sizeHint().width(), 18);
    QPalette palette = glyphOnly.palette();
    palette.setColor(QPalette::WindowText, QColor(0, 120, 200));
    glyphOnly.setPalette(palette);
    glyphOnly.resize(glyphOnly.sizeHint());
    const QImage image = grabImage(glyphOnly);
    bool tinted = false;
    for (int y = 0; y < image.height() && !tinted; ++y) {
        for (int x = 0; x < image.width() && !tinted; ++x) {
            tinted = sameColor(pixel(image, x, y), QColor(0, 120, 200), 3);
        }
    }
    EXPECT_TRUE(tinted);

    SocialLabel textOnly(u"nologo"_s, u"Meu site"_s, 18);
    EXPECT_FALSE(textOnly.hasLogo());
    EXPECT_EQ(textOnly.sizeHint().width(), qCeil(QFontMetricsF(textOnly.font()).horizontalAdvance(u"Meu site"_s)));
}

} // namespace
