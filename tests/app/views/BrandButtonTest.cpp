#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandTokens.h"

#include "ViewsTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

void hover(QWidget& widget, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&widget, &leave);
    }
}

class BrandButtonTest : public AppearanceTest { };

struct FillCase {
    const char* name;
    ColorScheme scheme;
    bool prominent;
    bool hovered;
    bool pressed;
    QColor fill;
    QColor border;
    QColor label;
};

TEST_F(BrandButtonTest, FillsBorderAndLabelPerAppearanceAndState)
{
    const QColor accent(248, 189, 82);
    const FillCase cases[] = {
        { "light plain", ColorScheme::Light, false, false, false, QColor(255, 254, 252), QColor(232, 227, 219),
            QColor(44, 41, 37) },
        { "dark plain", ColorScheme::Dark, false, false, false, QColor(40, 38, 35), QColor(66, 61, 54),
            QColor(250, 247, 241) },
        { "dark plain hovered", ColorScheme::Dark, false, true, false, QColor(58, 48, 33), QColor(66, 61, 54),
            QColor(250, 247, 241) },
        { "light plain hovered", ColorScheme::Light, false, true, false, QColor(255, 245, 223), QColor(232, 227, 219),
            QColor(44, 41, 37) },
        { "light prominent", ColorScheme::Light, true, false, false, accent, QColor(232, 227, 219),
            QColor(32, 33, 36) },
        { "dark prominent", ColorScheme::Dark, true, true, false, accent, QColor(66, 61, 54), QColor(32, 33, 36) },
        // Pressed: each component 0.04 darker.
        { "light prominent pressed", ColorScheme::Light, true, false, true, QColor(238, 179, 72), QColor(222, 217, 209),
            QColor(22, 23, 26) },
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.name);
        setAppearance(c.scheme, false);
        BrandButton button(u"Continuar"_s, c.prominent);
        button.resize(button.sizeHint());
        hover(button, c.hovered);
        button.setDown(c.pressed);
        const QImage image = grabImage(button);
        const int middle = image.height() / 2;
        EXPECT_TRUE(sameColor(pixel(image, 4, middle), c.fill));
        EXPECT_TRUE(sameColor(pixel(image, 0, middle), c.border));
        EXPECT_TRUE(sameColor(button.labelColor(), c.label));
    }
}

TEST_F(BrandButtonTest, SizeFollowsTheLabelWithPaddingAndMinimumHeight)
{
    BrandButton shortButton(u"OK"_s);
    EXPECT_EQ(shortButton.sizeHint().height(), 36);
    BrandButton longButton(u"Permitir o bloqueio agora"_s);
    EXPECT_GT(longButton.sizeHint().width(), shortButton.sizeHint().width());
    const QFontMetricsF metrics(shortButton.font());
    EXPECT_EQ(shortButton.sizeHint().width(), qCeil(metrics.horizontalAdvance(u"OK"_s) + 24));
    EXPECT_EQ(shortButton.font().pixelSize(), 13);
}

TEST_F(BrandButtonTest, OnlyTheRoundedShapeTakesClicks)
{
    BrandButton button(u"Salvar"_s);
    button.resize(button.sizeHint());
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks, 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_EQ(clicks, 1);
}

TEST_F(BrandButtonTest, DisabledButtonIsHalfTransparentWithoutDotOrDarkening)
{
    BrandButton button(u"Salvar"_s, true);
    button.resize(button.sizeHint());
    button.setEnabled(false);
    hover(button, true);
    button.setDown(true);
    EXPECT_FALSE(button.brandHovered());
    EXPECT_FALSE(button.brandPressed());
    EXPECT_EQ(button.dotAmount(), 0.0);
    // Painted at half opacity over what lies behind (the window colour here).
    const QColor fill = pixel(grabImage(button), 4, button.height() / 2);
    const QColor behind = button.palette().color(QPalette::Window);
    EXPECT_TRUE(sameColor(fill, blend(behind, BrandTokens::accent(), 0.5)));
}

TEST_F(BrandButtonTest, HoverSlidesTheDotInWhileFocusShowsItAtOnce)
{
    BrandButton button(u"Começar"_s, true);
    button.resize(button.sizeHint());
    const QPointF corner(button.width() - 8.5, 8.5);

    hover(button, true);
    EXPECT_LT(button.dotAmount(), 1.0); // still on its way
    ASSERT_TRUE(waitFor([&] { return button.dotAmount() == 1.0; }));
    EXPECT_EQ(button.dotCentre(), corner);
    hover(button, false);
    ASSERT_TRUE(waitFor([&] { return button.dotAmount() == 0.0; }));
    EXPECT_EQ(button.dotCentre(), corner + QPointF(-5, 3));

    button.show();
    QApplication::setActiveWindow(&button);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&button));
    button.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button.hasFocus());
    EXPECT_EQ(button.dotAmount(), 1.0);
    EXPECT_EQ(button.dotCentre(), corner);
    // The dot shows in the painted button, in onAccent at 0.65 over the accent.
    const QColor dot = pixel(grabImage(button), qFloor(corner.x()), qFloor(corner.y()));
    const QColor expected = blend(BrandTokens::accent(), BrandTokens::onAccent(), 0.65);
    EXPECT_TRUE(sameColor(dot, expected, 20));
}

// The administrator password dialog grabs the pointer: the window system
// then sends no Leave to the button that opened it. A button disabled
// meanwhile must not show its hover dot again once enabled with the pointer
// gone; with the pointer still on it, the hover stays.
TEST_F(BrandButtonTest, AHoverThePointerLeftUnseenDoesNotComeBack)
{
    setAppearance(ColorScheme::Light, true);
    BrandButton button(u"Instalar serviço"_s, true);
    button.resize(button.sizeHint());
    button.move(200, 200);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    const QPoint inside = button.mapToGlobal(button.rect().center());
    QCursor::setPos(inside);
    hover(button, true);
    ASSERT_EQ(button.dotAmount(), 1.0);

    button.setEnabled(false);
    EXPECT_EQ(button.dotAmount(), 0.0);
    button.setEnabled(true);
    EXPECT_EQ(button.dotAmount(), 1.0) << "the pointer is still there";

    button.setEnabled(false);
    QCursor::setPos(inside + QPoint(400, 300)); // no Leave reaches the button
    button.setEnabled(true);
    EXPECT_EQ(button.dotAmount(), 0.0);
    EXPECT_FALSE(button.brandHovered());
}

TEST_F(BrandButtonTest, ReduceMotionShowsTheDotAtOnceInItsCorner)
{
    setAppearance(ColorScheme::Light, true);
    BrandButton button(u"Começar"_s, true);
    button.resize(button.sizeHint());
    hover(button, true);
    EXPECT_EQ(button.dotAmount(), 1.0);
    EXPECT_EQ(button.dotCentre(), QPointF(button.width() - 8.5, 8.5));
    hover(button, false);
    EXPECT_EQ(button.dotAmount(), 0.0);
    // Hidden, but never displaced.
    EXPECT_EQ(button.dotCentre(), QPointF(button.width() - 8.5, 8.5));
}

TEST(BrandIconPlacement, MotionsAnswerHoverAndPress)
{
    struct Case {
        BrandIconMotion motion;
        double hover, press;
        bool reduce;
        BrandIconPlacement expected;
    };
    const Case cases[] = {
        { BrandIconMotion::Forward, 1, 0, false, { 2, 0, 1 } },
        { BrandIconMotion::Settings, 1, 0, false, { 0, 12, 1 } },
        { BrandIconMotion::None, 1, 0, false, { 0, 0, 1 } },
        { BrandIconMotion::None, 0, 1, false, { 0, 0, 0.94 } },
        { BrandIconMotion::Forward, 1, 1, false, { 2, 0, 0.94 } },
        { BrandIconMotion::Forward, 1, 1, true, { 0, 0, 1 } },
        { BrandIconMotion::Settings, 1, 1, true, { 0, 0, 1 } },
    };
    for (const Case& c : cases) {
        const BrandIconPlacement got = BrandIconAnimator::placementFor(c.motion, c.hover, c.press, c.reduce);
        EXPECT_DOUBLE_EQ(got.offsetX, c.expected.offsetX);
        EXPECT_DOUBLE_EQ(got.rotation, c.expected.rotation);
        EXPECT_NEAR(got.scale, c.expected.scale, 1e-12);
    }
}

TEST_F(BrandButtonTest, MotionIconFollowsItsEnclosingButtonOnly)
{
    BrandButton button(u""_s, true);
    auto* layout = new QVBoxLayout(&button);
    auto* icon = new BrandMotionIcon(u"arrow.right"_s, BrandIconMotion::Forward);
    layout->addWidget(icon);
    BrandMotionIcon outside(u"arrow.right"_s, BrandIconMotion::Forward);

    EXPECT_FALSE(brandHovered(&outside));
    EXPECT_FALSE(brandPressed(&outside));
    hover(button, true);
    EXPECT_TRUE(brandHovered(icon));
    ASSERT_TRUE(waitFor([&] { return icon->placement().offsetX == 2.0; }));
    EXPECT_EQ(outside.placement(), BrandIconPlacement {});

    button.setEnabled(false);
    EXPECT_FALSE(brandHovered(icon));
    ASSERT_TRUE(waitFor([&] { return icon->placement().offsetX == 0.0; }));
}

} // namespace
