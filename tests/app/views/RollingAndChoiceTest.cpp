#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/LinkPressStyle.h"
#include "app/views/brand/RollingText.h"

#include "ViewsTestSupport.h"

#include <QAccessible>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

class RollingAndChoiceTest : public AppearanceTest { };

TEST(RollingTime, MemoryRollsUpForwardAndDownBack)
{
    struct Step {
        int minute;
        const char* label;
        double direction;
    };
    // First render keeps +1; a repeat keeps the last direction.
    const Step steps[] = { { 540, "9h", 1 }, { 570, "9h30", 1 }, { 540, "9h", -1 }, { 540, "9h", -1 },
        { 1440, "24h", 1 }, { 65, "1h05", -1 } };
    RollingTime::Memory memory;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.minute);
        EXPECT_EQ(memory.update(step.minute), step.direction);
        EXPECT_EQ(RollingTime::label(step.minute), QString::fromLatin1(step.label));
    }
    EXPECT_EQ(memory.last, 65);
}

TEST(RollingText, FramesSlideInTheirDirectionOrOnlyFade)
{
    struct Case {
        double progress, direction;
        bool reduce;
        RollingText::Frame expected;
    };
    const Case cases[] = {
        { 0.0, 1, false, { 9, 0, 0, 1 } },
        { 1.0, 1, false, { 0, 1, -9, 0 } },
        { 0.5, -1, false, { -4.5, 0.5, 4.5, 0.5 } },
        { 0.0, 1, true, { 0, 0, 0, 1 } },
        { 0.5, -1, true, { 0, 0.5, 0, 0.5 } },
    };
    for (const Case& c : cases) {
        const RollingText::Frame f = RollingText::frameAt(c.progress, c.direction, c.reduce);
        EXPECT_DOUBLE_EQ(f.enterOffset, c.expected.enterOffset);
        EXPECT_DOUBLE_EQ(f.enterOpacity, c.expected.enterOpacity);
        EXPECT_DOUBLE_EQ(f.leaveOffset, c.expected.leaveOffset);
        EXPECT_DOUBLE_EQ(f.leaveOpacity, c.expected.leaveOpacity);
    }
}

TEST_F(RollingAndChoiceTest, RollingTimeRollsOnlyWhenTheTextChanges)
{
    RollingTime time(540);
    EXPECT_FALSE(time.isRolling());
    time.setMinute(540);
    EXPECT_FALSE(time.isRolling());
    time.setMinute(570);
    EXPECT_TRUE(time.isRolling());
    EXPECT_EQ(time.text(), u"9h30"_s);
    EXPECT_EQ(time.direction(), 1.0);
    ASSERT_TRUE(waitFor([&] { return !time.isRolling(); }));
    time.setMinute(540);
    EXPECT_EQ(time.direction(), -1.0);
    // While crossing, the label is as wide as the wider text.
    EXPECT_EQ(time.sizeHint().width(), qCeil(QFontMetricsF(time.font()).horizontalAdvance(u"9h30"_s)));
}

TEST_F(RollingAndChoiceTest, ReduceMotionCrossFadesWithoutMoving)
{
    setAppearance(ColorScheme::Light, true);
    RollingText text(u"8h"_s);
    text.setText(u"9h"_s, 1);
    EXPECT_EQ(text.frame().enterOffset, 0.0);
    EXPECT_EQ(text.frame().leaveOffset, 0.0);
    EXPECT_EQ(text.frame().enterOpacity, 0.0);
    QElapsedTimer fade;
    fade.start();
    ASSERT_TRUE(waitFor([&] {
        EXPECT_EQ(text.frame().enterOffset, 0.0);
        return !text.isRolling();
    }));
    EXPECT_GE(fade.elapsed(), 100);
}

TEST(RollingRange, ReadsStartEnDashEnd)
{
    RollingRange range(480, 1080);
    EXPECT_EQ(range.text(), u"8h\u201318h"_s);
    range.setRange(480, 1110);
    EXPECT_EQ(range.text(), u"8h\u201318h30"_s);
    EXPECT_FALSE(range.startLabel()->isRolling());
    EXPECT_TRUE(range.endLabel()->isRolling());
}

TEST_F(RollingAndChoiceTest, ChipsDrawThePillOnTheSelectedChipOnly)
{
    for (ColorScheme scheme : { ColorScheme::Light, ColorScheme::Dark }) {
        setAppearance(scheme, false);
        const BrandPalette& palette = BrandPalette::of(scheme);
        ChoiceChips chips({ u"15 min"_s, u"30 min"_s, u"1 h"_s }, 1);
        chips.resize(330, 30);
        chips.show();
        const QImage image = grabImage(chips);
        const QRect selected = chips.button(1)->geometry();
        const QRect other = chips.button(0)->geometry();
        EXPECT_TRUE(sameColor(pixel(image, selected.left() + 6, 15), palette.highlight));
        EXPECT_TRUE(sameColor(pixel(image, other.left() + 6, 15), palette.paper));
        // The pill's border: the accent at 70 % over the chip face.
        EXPECT_TRUE(sameColor(pixel(image, selected.left(), 15), blend(palette.paper, BrandTokens::accent(), 0.7), 12));
        EXPECT_DOUBLE_EQ(chips.button(1)->selectedAmount(), 1.0);
        EXPECT_DOUBLE_EQ(chips.button(0)->selectedAmount(), 0.0);
        // Chips share the width equally and never outgrow it.
        EXPECT_NEAR(chips.button(0)->width(), chips.button(2)->width(), 1);
        EXPECT_EQ(chips.height(), 30);
    }
}

TEST_F(RollingAndChoiceTest, SelectionOutsideTheOptionsShowsNoPillUntilAPick)
{
    ChoiceChips chips({ u"A"_s, u"B"_s, u"C"_s }, 7);
    chips.resize(300, 30);
    chips.show();
    EXPECT_EQ(chips.currentIndex(), -1);
    EXPECT_TRUE(chips.pillRect().isEmpty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(chips.button(i)->isChecked());
    }
    QSignalSpy picked(&chips, &ChoiceRow::picked);
    QTest::mouseClick(chips.button(2), Qt::LeftButton);
    EXPECT_EQ(picked.count(), 1);
    EXPECT_EQ(chips.currentIndex(), 2);
    // Nothing to glide from: the pill appears at the picked chip.
    EXPECT_EQ(chips.pillRect(), QRectF(chips.button(2)->geometry()));
    // Picking it again reports the pick and keeps the selection.
    QTest::mouseClick(chips.button(2), Qt::LeftButton);
    EXPECT_EQ(picked.count(), 2);
    EXPECT_TRUE(chips.button(2)->isChecked());

    SegmentedSwitch segments({ u"Dia"_s, u"Semana"_s }, -1);
    segments.show();
    EXPECT_TRUE(segments.pillRect().isEmpty());
}

TEST_F(RollingAndChoiceTest, ChipPillGlidesOnASpringAndJumpsUnderReduceMotion)
{
    ChoiceChips chips({ u"A"_s, u"B"_s, u"C"_s }, 0);
    chips.resize(300, 30);
    chips.show();
    QTest::mouseClick(chips.button(2), Qt::LeftButton);
    EXPECT_TRUE(chips.isGliding());
    EXPECT_LT(chips.pillRect().left(), chips.button(2)->geometry().left());
    ASSERT_TRUE(waitFor([&] { return !chips.isGliding(); }));
    EXPECT_EQ(chips.pillRect(), QRectF(chips.button(2)->geometry()));

    setAppearance(ColorScheme::Light, true);
    QTest::mouseClick(chips.button(0), Qt::LeftButton);
    EXPECT_FALSE(chips.isGliding());
    EXPECT_EQ(chips.pillRect(), QRectF(chips.button(0)->geometry()));
    EXPECT_DOUBLE_EQ(chips.button(0)->selectedAmount(), 1.0);
    EXPECT_DOUBLE_EQ(chips.button(2)->selectedAmount(), 0.0);
}

TEST_F(RollingAndChoiceTest, SwitchLabelsStillFadeUnderReduceMotion)
{
    setAppearance(ColorScheme::Dark, true);
    SegmentedSwitch segments({ u"Dia"_s, u"Semana"_s }, 0);
    segments.show();
    QTest::mouseClick(segments.button(1), Qt::LeftButton);
    EXPECT_FALSE(segments.isGliding());
    EXPECT_EQ(segments.pillRect(), QRectF(segments.button(1)->geometry()));
    EXPECT_LT(segments.button(1)->selectedAmount(), 1.0);
    ASSERT_TRUE(waitFor([&] { return segments.button(1)->selectedAmount() == 1.0; }));

    // The well is the recessed colour of the scheme; the switch keeps its ideal size.
    const QImage image = grabImage(segments);
    const QRect pill = segments.button(1)->geometry();
    EXPECT_TRUE(sameColor(pixel(image, 2, image.height() / 2), BrandTokens::sunk(ColorScheme::Dark)));
    EXPECT_TRUE(sameColor(pixel(image, pill.left() + 4, pill.center().y()), QColor(40, 38, 35)));
    EXPECT_EQ(segments.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    EXPECT_GE(segments.button(0)->height(), 32);

    SegmentedSwitch longer({ u"Dia"_s, u"Semana inteira de trabalho"_s }, 0);
    EXPECT_GT(longer.sizeHint().width(), segments.sizeHint().width());
}

TEST_F(RollingAndChoiceTest, BindingMapsOptionsOfAnyTypeToTheRow)
{
    int minutes = 30;
    ChoiceBinding<ChoiceChips, int> binding(
        { 15, 30, 60 }, minutes, [](const int& m) { return QString::number(m) + u" min"_s; },
        [&](const int& m) { minutes = m; });
    ChoiceChips* chips = binding.row();
    chips->resize(300, 30);
    chips->show();
    EXPECT_EQ(chips->currentIndex(), 1);
    EXPECT_EQ(chips->button(2)->text(), u"60 min"_s);
    QTest::mouseClick(chips->button(2), Qt::LeftButton);
    EXPECT_EQ(minutes, 60);
    binding.select(45); // not among the options
    EXPECT_EQ(chips->currentIndex(), -1);
    delete chips;
}

TEST_F(RollingAndChoiceTest, OptionsAreNamedButtonsWithTheirSelectedState)
{
    ChoiceChips chips({ u"15 min"_s, u"30 min"_s }, 1);
    chips.show();
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&chips);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 2); // the pill is painted, not a child
    QAccessibleInterface* second = root->child(1);
    EXPECT_EQ(second->role(), QAccessible::Button);
    EXPECT_EQ(second->text(QAccessible::Name), u"30 min"_s);
    EXPECT_TRUE(second->state().checked);
    EXPECT_FALSE(root->child(0)->state().checked);
}

TEST_F(RollingAndChoiceTest, LinkPressScalesTheLabelWhilePressed)
{
    EXPECT_DOUBLE_EQ(LinkPressStyle::scaleFor(true, false), 0.96);
    EXPECT_DOUBLE_EQ(LinkPressStyle::scaleFor(false, false), 1.0);
    EXPECT_DOUBLE_EQ(LinkPressStyle::scaleFor(true, true), 1.0);

    ChoiceChips chips({ u"A"_s }, 0);
    chips.resize(100, 30);
    chips.show();
    ChoiceButton* chip = chips.button(0);
    QTest::mousePress(chip, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return chip->pressScale() == 0.96; }));
    QTest::mouseRelease(chip, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return chip->pressScale() == 1.0; }));

    setAppearance(ColorScheme::Light, true);
    QTest::mousePress(chip, Qt::LeftButton);
    EXPECT_EQ(chip->pressScale(), 1.0);
    QTest::mouseRelease(chip, Qt::LeftButton);
}

} // namespace
