#pragma once

#include "MinuteRange.h"
#include "WeekSchedule.h"

#include <QPointF>
#include <QString>

#include <optional>

namespace kestravin {

// Where a point of the week grid lies: the column and its day, the minute
// under it unsnapped (`exact`) and snapped down to the step (`minute`).
struct GridPoint {
    int column = 0;
    int day = 0;
    double exact = 0;
    int minute = 0;
    double x = 0;
    double y = 0;
};

// The grid's measures: columns side by side, minutes running downwards from
// `firstMinute` at y = 0. Points are in the columns' own coordinates (x = 0
// at column 0's left edge).
struct GridLayout {
    double columnWidth = 0;
    double gap = 0;
    double hourHeight = 0;
    int firstMinute = 0;

    GridPoint point(QPointF location, int step) const;
    double y(int minute) const { return hourHeight * (minute - firstMinute) / 60.0; }
    double columnLeft(int column) const { return (columnWidth + gap) * column; }
};

// One block of the week as placed in its day column.
struct PlacedBlock {
    int day = 0;
    MinuteRange range;

    // "day-start-end", e.g. "1-540-1080": the identity of the block's view.
    QString id() const;
    bool operator==(const PlacedBlock&) const = default;
};

// Names the selected block: its day and start.
struct BlockRef {
    int day = 0;
    int start = 0;
    bool operator==(const BlockRef&) const = default;
};

struct BlockHit {
    enum class Part { body, top, bottom, deleteBadge };
    PlacedBlock block;
    Part part = Part::body;
    bool operator==(const BlockHit&) const = default;
};

// How a block enters the grid after a change.
struct BlockEntry {
    enum class Kind { drop, preset, none, fresh };
    Kind kind = Kind::none;
    double lift = 1.0; // drop
    bool glow = false; // drop
    double delay = 0; // preset, seconds

    static BlockEntry dropped(double lift, bool glow) { return { Kind::drop, lift, glow, 0 }; }
    static BlockEntry presetAfter(double delay) { return { Kind::preset, 1.0, false, delay }; }
    static BlockEntry fresh() { return { Kind::fresh, 1.0, false, 0 }; }
    bool operator==(const BlockEntry& other) const;
};

// The pixel box of a block and of its decorations, shared by the hit test and
// the painter so that what is drawn is what is clicked.
struct BlockGeometry {
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
    double height() const { return bottom - top; }
    double badgeSide = 0;
    double badgeTop = 0;
    double badgeRight = 0; // right edge of the badge, 3 inside the block's

    static BlockGeometry of(const GridLayout& layout, int column, MinuteRange range);
};

namespace WeekGrid {

inline constexpr double gutter = 40;
inline constexpr double gap = 4;
inline constexpr int step = 30;
// Below this height a block is compact: label centred, badge centred.
inline constexpr double compactHeight = 42;

// The badge's side for a block `height` tall: height − 4 within 10..18.
double badgeSide(double height);
// What lies under `location`: the first range of the day, in stored order,
// whose [start, end) holds the unsnapped minute; the badge (with a 2-pt
// margin, reaching right to the block's edge) before the edge zones.
std::optional<BlockHit> hit(QPointF location, const WeekSchedule::Week& week, const GridLayout& layout);
// Points per hour for an available height: floor((height − 84) / rows), rows
// 18 embedded and 24 in settings, kept within 14..28.
int fit(double height, bool embedded);
// The centre of a block in unit coordinates of its frame placed at the grid
// origin (the anchor of its removal scale).
QPointF anchor(const GridLayout& layout, int column, MinuteRange range);
// The rows of the column backdrop's hairlines: every two hours after
// `firstHour` up to 23.
QList<double> hairlineRows(double hourHeight, int firstHour);

} // namespace WeekGrid

} // namespace kestravin
