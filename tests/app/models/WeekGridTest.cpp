#include "app/models/WeekGrid.h"
#include "app/models/WeekDrag.h"
#include "app/models/WeekEditorStatus.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

using WeekSchedule::Week;
using Part = BlockHit::Part;
using Selection = WeekDragController::Outcome::Selection;

namespace {

constexpr GridLayout settingsLayout { 100, 4, 28, 0 };
constexpr GridLayout smallHours { 100, 4, 20, 0 };

Week weekWith(int day, QList<MinuteRange> ranges)
{
    Week week(7);
    week[day] = std::move(ranges);
    return week;
}

// The point in column `column` at minute `exact` of `layout`, 50 pt into the column.
QPointF at(const GridLayout& layout, int column, double exact)
{
    return { layout.columnLeft(column) + 50, layout.y(0) + layout.hourHeight * exact / 60.0 };
}

} // namespace

TEST(WeekGridTest, PointMapsColumnsAndMinutes)
{
    struct Case {
        QPointF location;
        int column;
        double exact;
        int minute;
    };
    const Case cases[] = {
        { { 103, 280 }, 0, 600, 600 }, // the gap after a column belongs to it
        { { 104, 281 }, 1, 602.142857, 600 },
        { { -5, -10 }, 0, 0, 0 },
        { { 5000, 5000 }, 6, 1440, 1410 },
    };
    for (const Case& c : cases) {
        const GridPoint p = settingsLayout.point(c.location, 30);
        EXPECT_EQ(p.column, c.column) << c.location.x();
        EXPECT_EQ(p.day, c.column);
        EXPECT_NEAR(p.exact, c.exact, 1e-4) << c.location.y();
        EXPECT_EQ(p.minute, c.minute) << c.location.y();
    }
    // The embedded grid starts at 06:00: nothing above it.
    const GridPoint top = GridLayout { 100, 4, 20, 360 }.point({ 10, -40 }, 30);
    EXPECT_EQ(top.exact, 360);
    EXPECT_EQ(top.minute, 360);
}

TEST(WeekGridTest, HitFindsBadgeEdgesAndBody)
{
    // Block 540-570 on day 1: top 180, bottom 190, right edge 202, badge 10 × 10 at y 180.
    const Week week = weekWith(1, { { 540, 570 } });
    struct Case {
        QPointF location;
        std::optional<Part> part;
    };
    const Case cases[] = {
        { { 150, 181 }, Part::top },
        { { 150, 185 }, Part::body },
        { { 150, 188 }, Part::bottom },
        { { 195, 185 }, Part::deleteBadge },
        { { 202, 185 }, Part::deleteBadge }, // widened to the block's edge
        { { 184, 185 }, Part::body }, // just left of the badge's margin
        { { 150, 190 }, std::nullopt }, // the end minute is not the block's
        { { 150, 179.9 }, std::nullopt },
    };
    for (const Case& c : cases) {
        const std::optional<BlockHit> hit = WeekGrid::hit(c.location, week, smallHours);
        ASSERT_EQ(hit.has_value(), c.part.has_value()) << c.location.x() << "," << c.location.y();
        if (hit) {
            EXPECT_EQ(hit->part, *c.part) << c.location.x() << "," << c.location.y();
            EXPECT_EQ(hit->block.id(), u"1-540-570"_s);
        }
    }

    // Touching blocks: the shared minute is the later block's.
    const Week touching = weekWith(1, { { 540, 600 }, { 600, 660 } });
    const auto shared = WeekGrid::hit(at(smallHours, 1, 600), touching, smallHours);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->block.id(), u"1-600-660"_s);
}

TEST(WeekGridTest, BadgeAndEdgeZonesFollowTheBlockHeight)
{
    struct Case {
        double height;
        double side;
        double badgeOffset; // below the block's top
    };
    const Case cases[] = {
        { 10, 10, 0 },
        { 30, 18, 6 },
        { 41.9, 18, (41.9 - 18) / 2 },
        { 42, 18, 3 },
    };
    for (const Case& c : cases) {
        // A layout whose 60-minute block is `height` tall.
        const GridLayout layout { 100, 4, c.height, 0 };
        const BlockGeometry g = BlockGeometry::of(layout, 0, { 60, 120 });
        EXPECT_DOUBLE_EQ(g.badgeSide, c.side) << c.height;
        EXPECT_NEAR(g.badgeTop - g.top, c.badgeOffset, 1e-9) << c.height;
    }

    // A tall block has 6-pt resize zones, a short one a quarter of its height.
    const GridLayout tall { 100, 4, 60, 0 }; // 540-600 is 60 pt high, from y 540
    const Week week = weekWith(0, { { 540, 600 } });
    EXPECT_EQ(WeekGrid::hit({ 20, 545.9 }, week, tall)->part, Part::top);
    EXPECT_EQ(WeekGrid::hit({ 20, 546.1 }, week, tall)->part, Part::body);
    EXPECT_EQ(WeekGrid::hit({ 20, 594.1 }, week, tall)->part, Part::bottom);
    const GridLayout shortHours { 100, 4, 20, 0 }; // 20 pt high: zones of 5 pt
    EXPECT_EQ(WeekGrid::hit({ 20, 184.9 }, week, shortHours)->part, Part::top);
    EXPECT_EQ(WeekGrid::hit({ 20, 185.1 }, week, shortHours)->part, Part::body);
}

TEST(WeekGridTest, FitAnchorAndHairlines)
{
    EXPECT_EQ(WeekGrid::fit(84, false), 14);
    EXPECT_EQ(WeekGrid::fit(10, true), 14);
    EXPECT_EQ(WeekGrid::fit(84 + 24 * 30, false), 28);
    EXPECT_EQ(WeekGrid::fit(84 + 18 * 20, true), 20);
    EXPECT_EQ(WeekGrid::fit(800, false), 28);
    EXPECT_EQ(WeekGrid::fit(84 + 24 * 20, false), 20);

    const QPointF anchor = WeekGrid::anchor(settingsLayout, 1, { 540, 600 });
    EXPECT_NEAR(anchor.x(), 154.0 / 96.0, 1e-9);
    EXPECT_NEAR(anchor.y(), 9.5, 1e-9);

    const QList<double> settings = WeekGrid::hairlineRows(28, 0);
    ASSERT_EQ(settings.size(), 11);
    EXPECT_EQ(settings.first(), 55.5);
    EXPECT_EQ(settings.last(), 615.5);
    const QList<double> embedded = WeekGrid::hairlineRows(20, 6);
    ASSERT_EQ(embedded.size(), 8);
    EXPECT_EQ(embedded.first(), 39.5);
    EXPECT_EQ(embedded.last(), 319.5);
    EXPECT_TRUE(WeekGrid::hairlineRows(28, 22).isEmpty());
    EXPECT_TRUE(WeekGrid::hairlineRows(28, 23).isEmpty());
}

TEST(WeekDragTest, ClickCreatesAnHourCutShortByTheNextBlock)
{
    struct Case {
        QList<MinuteRange> day;
        double exact;
        std::optional<QList<MinuteRange>> after; // none: nothing saved
        QString freshId;
    };
    const Case cases[] = {
        { { { 600, 720 } }, 575, QList<MinuteRange> { { 570, 720 } }, u"2-570-720"_s },
        { {}, 1435, QList<MinuteRange> { { 1410, 1440 } }, u"2-1410-1440"_s },
        { {}, 600, QList<MinuteRange> { { 600, 660 } }, u"2-600-660"_s },
        { { { 590, 700 } }, 575, std::nullopt, {} }, // 570-590 is shorter than a step
    };
    for (const Case& c : cases) {
        const Week week = weekWith(2, c.day);
        WeekDragController controller;
        controller.begin(at(settingsLayout, 2, c.exact), week, settingsLayout);
        EXPECT_EQ(controller.drag()->kind, WeekDrag::Kind::create);
        const auto outcome = controller.finish(week);
        EXPECT_FALSE(controller.isDragging());
        ASSERT_EQ(outcome.week.has_value(), c.after.has_value()) << c.exact;
        if (!outcome.week) {
            EXPECT_EQ(outcome.selection, Selection::keep);
            continue;
        }
        EXPECT_EQ((*outcome.week)[2], *c.after);
        EXPECT_EQ(outcome.entries.size(), 1);
        EXPECT_EQ(outcome.entries.value(c.freshId), BlockEntry::fresh());
        EXPECT_EQ(outcome.selection, Selection::select);
        EXPECT_EQ(outcome.selected, (BlockRef { 2, c.after->first().start }));
    }
}

TEST(WeekDragTest, MoveSnapsClampsAndMergesOnTheTargetDay)
{
    const Week week = [] {
        Week w = weekWith(1, { { 540, 600 } });
        w[2] = { { 600, 660 } };
        return w;
    }();
    // 10 minutes below the top must be the body, not the 6-pt edge zone.
    const GridLayout tallHours { 100, 4, 60, 0 };
    WeekDragController controller;
    controller.begin(at(tallHours, 1, 550), week, tallHours);
    EXPECT_EQ(controller.drag()->kind, WeekDrag::Kind::move);
    EXPECT_DOUBLE_EQ(controller.drag()->grab, 10);

    // Below the threshold nothing moves.
    EXPECT_FALSE(controller.update(at(tallHours, 1, 550) + QPointF(2, 2), week, tallHours));
    EXPECT_FALSE(controller.drag()->moved);

    controller.update(at(tallHours, 1, 1435), week, tallHours);
    EXPECT_EQ(controller.drag()->next, (MinuteRange { 1380, 1440 }));
    controller.update(at(tallHours, 1, 5), week, tallHours);
    EXPECT_EQ(controller.drag()->next, (MinuteRange { 0, 60 }));
    controller.update(at(tallHours, 1, 565), week, tallHours); // 555 rounds half away to 570
    EXPECT_EQ(controller.drag()->next, (MinuteRange { 570, 630 }));

    controller.update(at(tallHours, 2, 550), week, tallHours);
    EXPECT_EQ(controller.drag()->targetDay, 2);
    EXPECT_EQ(controller.drag()->next, (MinuteRange { 540, 600 }));
    const auto outcome = controller.finish(week);
    ASSERT_TRUE(outcome.week);
    EXPECT_TRUE((*outcome.week)[1].isEmpty());
    EXPECT_EQ((*outcome.week)[2], (QList<MinuteRange> { { 540, 660 } }));
    EXPECT_EQ(outcome.entries.value(u"2-540-660"_s), BlockEntry::dropped(1.03, true));
    EXPECT_EQ(outcome.selection, Selection::select);
    EXPECT_EQ(outcome.selected, (BlockRef { 2, 540 }));
}

TEST(WeekDragTest, PressesThatEndWhereTheyBegan)
{
    const Week week = weekWith(1, { { 540, 600 } });
    WeekDragController controller;

    // A press on the body without moving selects the block.
    controller.begin(at(settingsLayout, 1, 570), week, settingsLayout);
    auto outcome = controller.finish(week);
    EXPECT_FALSE(outcome.week);
    EXPECT_EQ(outcome.selection, Selection::select);
    EXPECT_EQ(outcome.selected, (BlockRef { 1, 540 }));

    // A move dropped back onto its own place changes nothing.
    controller.begin(at(settingsLayout, 1, 570), week, settingsLayout);
    controller.update(at(settingsLayout, 1, 600), week, settingsLayout);
    controller.update(at(settingsLayout, 1, 570), week, settingsLayout);
    outcome = controller.finish(week);
    EXPECT_FALSE(outcome.week);
    EXPECT_EQ(outcome.selection, Selection::keep);

    // A cancelled drag is discarded.
    controller.begin(at(settingsLayout, 1, 570), week, settingsLayout);
    controller.update(at(settingsLayout, 3, 700), week, settingsLayout);
    controller.cancel();
    EXPECT_FALSE(controller.update(at(settingsLayout, 4, 700), week, settingsLayout));
    outcome = controller.finish(week);
    EXPECT_FALSE(outcome.week);
    EXPECT_FALSE(controller.isDragging());
}

TEST(WeekDragTest, ResizeStopsAtNeighboursAndOneStep)
{
    const Week week = weekWith(1, { { 540, 600 }, { 660, 720 } });
    const GridLayout& layout = settingsLayout;
    const double bottomEdge = layout.y(600) - 2; // in the bottom zone of 540-600
    struct Case {
        double toExact;
        MinuteRange next;
    };
    const Case bottom[] = {
        { 700, { 540, 660 } }, // stops at the next block's start
        { 545, { 540, 570 } }, // never below one step
        { 630, { 540, 630 } },
    };
    for (const Case& c : bottom) {
        WeekDragController controller;
        controller.begin({ 150, bottomEdge }, week, layout);
        ASSERT_EQ(controller.drag()->kind, WeekDrag::Kind::resize);
        EXPECT_FALSE(controller.drag()->top);
        controller.update(at(layout, 1, c.toExact), week, layout);
        EXPECT_EQ(controller.drag()->next, c.next) << c.toExact;
    }

    // Onto the neighbour: saved touching, so merged and glowing.
    WeekDragController controller;
    controller.begin({ 150, bottomEdge }, week, layout);
    controller.update(at(layout, 1, 700), week, layout);
    const auto outcome = controller.finish(week);
    ASSERT_TRUE(outcome.week);
    EXPECT_EQ((*outcome.week)[1], (QList<MinuteRange> { { 540, 720 } }));
    EXPECT_EQ(outcome.entries.value(u"1-540-720"_s), BlockEntry::dropped(1.0, true));

    // The top edge of the later block stops at the earlier block's end and one step above its own end.
    const Case top[] = { { 500, { 600, 720 } }, { 719, { 690, 720 } }, { 630, { 630, 720 } } };
    for (const Case& c : top) {
        WeekDragController topController;
        topController.begin({ 150, layout.y(660) + 1 }, week, layout);
        ASSERT_TRUE(topController.drag()->top);
        topController.update(at(layout, 1, c.toExact), week, layout);
        EXPECT_EQ(topController.drag()->next, c.next) << c.toExact;
    }
}

TEST(WeekDragTest, CreateAcrossColumnsDrawsEveryDay)
{
    const Week week(7);
    WeekDragController controller;
    controller.begin(at(settingsLayout, 1, 540), week, settingsLayout);
    controller.update(at(settingsLayout, 3, 600), week, settingsLayout);
    const auto preview = WeekDragController::preview(*controller.drag());
    EXPECT_EQ(preview.days, (QList<int> { 1, 2, 3 }));
    EXPECT_EQ(preview.range, (MinuteRange { 540, 630 }));
    const auto outcome = controller.finish(week);
    ASSERT_TRUE(outcome.week);
    for (int day = 0; day < 7; ++day) {
        const bool drawn = day >= 1 && day <= 3;
        const QList<MinuteRange> expected = drawn ? QList<MinuteRange> { { 540, 630 } } : QList<MinuteRange> {};
        EXPECT_EQ((*outcome.week)[day], expected) << day;
        EXPECT_EQ(outcome.entries.contains(u"%1-540-630"_s.arg(day)), drawn);
    }
    EXPECT_EQ(outcome.selection, Selection::clear);

    // Dragging upwards draws the same span; the end is capped at midnight.
    controller.begin(at(settingsLayout, 4, 1435), week, settingsLayout);
    controller.update(at(settingsLayout, 4, 1300), week, settingsLayout);
    EXPECT_EQ(WeekDragController::preview(*controller.drag()).range, (MinuteRange { 1290, 1440 }));
}

TEST(WeekDragTest, DeleteRemovesOnlyAnUnmovedPress)
{
    const Week week = weekWith(1, { { 540, 600 }, { 700, 760 } });
    const BlockGeometry g = BlockGeometry::of(settingsLayout, 1, { 540, 600 });
    const QPointF badge(g.badgeRight - g.badgeSide / 2, g.badgeTop + g.badgeSide / 2);

    WeekDragController controller;
    controller.begin(badge, week, settingsLayout);
    ASSERT_EQ(controller.drag()->kind, WeekDrag::Kind::deleteBadge);
    auto outcome = controller.finish(week);
    ASSERT_TRUE(outcome.week);
    EXPECT_EQ((*outcome.week)[1], (QList<MinuteRange> { { 700, 760 } }));
    EXPECT_EQ(outcome.removed, (PlacedBlock { 1, { 540, 600 } }));

    controller.begin(badge, week, settingsLayout);
    controller.update(badge + QPointF(0, 40), week, settingsLayout);
    outcome = controller.finish(week);
    EXPECT_FALSE(outcome.week);
}

// The account sync may replace the week while a press lasts. A gesture whose
// block is no longer exactly in its day must not cut into what is there now.
TEST(WeekDragTest, GestureOnAReplacedWeekIsAbandoned)
{
    const Week before = weekWith(1, { { 540, 600 } });
    const Week replaced = weekWith(1, { { 480, 720 } }); // now covers the old block
    const BlockGeometry g = BlockGeometry::of(settingsLayout, 1, { 540, 600 });
    const QPointF badge(g.badgeRight - 4, g.badgeTop + 4);

    struct Case {
        const char* name;
        QPointF press;
        std::optional<QPointF> to;
    };
    const Case cases[] = {
        { "move", at(settingsLayout, 1, 570), at(settingsLayout, 3, 800) },
        { "resize", { 150, settingsLayout.y(600) - 2 }, at(settingsLayout, 1, 700) },
        { "delete", badge, std::nullopt },
    };
    for (const Case& c : cases) {
        WeekDragController controller;
        controller.begin(c.press, before, settingsLayout);
        if (c.to) {
            controller.update(*c.to, before, settingsLayout);
        }
        const auto outcome = controller.finish(replaced);
        EXPECT_FALSE(outcome.week) << c.name;
        EXPECT_TRUE(outcome.entries.isEmpty()) << c.name;
        EXPECT_EQ(outcome.selection, Selection::keep) << c.name;
    }
}

TEST(WeekEditorStatusTest, StatusAndNoticeFollowTheAccountAndTheBlock)
{
    using S = WeekEditorStatus::SaveState;
    WeekEditorStatus local;
    EXPECT_EQ(local.statusText(), QString());
    local.savedVisible = true;
    EXPECT_EQ(local.statusText(), u"Salvo"_s);

    WeekEditorStatus account { true, S::saving, {}, true };
    EXPECT_EQ(account.statusText(), u"Salvando na conta…"_s);
    account.saveState = S::saved;
    EXPECT_EQ(account.statusText(), u"Salvo na conta"_s);
    account.savedVisible = false;
    EXPECT_EQ(account.statusText(), QString());
    account = { true, S::failed, u"X"_s, true, true, true, false };
    EXPECT_EQ(account.statusText(), QString());
    EXPECT_EQ(account.notice(), u"X"_s); // the failure wins over the other notices

    WeekEditorStatus blocked;
    blocked.deferredByFocus = true;
    blocked.isBlocking = true;
    blocked.enabled = false;
    EXPECT_EQ(blocked.notice(), u"Seu foco atual continua como está. As mudanças valem quando ele terminar."_s);
    blocked.isBlocking = false; // the focus ended
    EXPECT_EQ(blocked.notice(), u"Horários desativados. Nada é bloqueado sozinho até você ligar de novo."_s);
    blocked.enabled = true;
    EXPECT_EQ(blocked.notice(), QString());
}
