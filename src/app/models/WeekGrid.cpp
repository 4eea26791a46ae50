#include "WeekGrid.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

GridPoint GridLayout::point(QPointF location, int step) const
{
    GridPoint p;
    const double pitch = columnWidth + gap;
    const double column = pitch > 0 ? std::floor(location.x() / pitch) : 0;
    p.column = int(std::clamp(column, 0.0, 6.0));
    p.day = WeekSchedule::gridOrder[size_t(p.column)];
    const double exact = hourHeight > 0 ? location.y() / hourHeight * 60.0 + firstMinute : firstMinute;
    p.exact = std::clamp(exact, double(firstMinute), 1440.0);
    const int snapped = int(std::floor(p.exact / step)) * step;
    p.minute = std::clamp(snapped, firstMinute, std::max(firstMinute, 1440 - step));
    p.x = location.x();
    p.y = location.y();
    return p;
}

QString PlacedBlock::id() const
{
    return u"%1-%2-%3"_s.arg(day).arg(range.start).arg(range.end);
}

bool BlockEntry::operator==(const BlockEntry& other) const
{
    if (kind != other.kind) {
        return false;
    }
    switch (kind) {
    case Kind::drop:
        return lift == other.lift && glow == other.glow;
    case Kind::preset:
        return delay == other.delay;
    case Kind::none:
    case Kind::fresh:
        return true;
    }
    return true;
}

BlockGeometry BlockGeometry::of(const GridLayout& layout, int column, MinuteRange range)
{
    BlockGeometry g;
    const double columnLeft = layout.columnLeft(column);
    g.left = columnLeft + 2;
    g.right = columnLeft + layout.columnWidth - 2;
    g.top = layout.y(range.start);
    g.bottom = layout.y(range.end);
    const double h = g.height();
    g.badgeSide = WeekGrid::badgeSide(h);
    g.badgeTop = g.top + (h < WeekGrid::compactHeight ? (h - g.badgeSide) / 2 : 3);
    g.badgeRight = g.right - 3;
    return g;
}

namespace WeekGrid {

double badgeSide(double height)
{
    return std::min(std::max(height - 4, 10.0), 18.0);
}

std::optional<BlockHit> hit(QPointF location, const WeekSchedule::Week& week, const GridLayout& layout)
{
    const GridPoint p = layout.point(location, step);
    if (p.day >= week.size()) {
        return std::nullopt;
    }
    const QList<MinuteRange>& ranges = week[p.day];
    const auto found = std::find_if(
        ranges.begin(), ranges.end(), [&](const MinuteRange& r) { return r.start <= p.exact && p.exact < r.end; });
    if (found == ranges.end()) {
        return std::nullopt;
    }
    const BlockGeometry g = BlockGeometry::of(layout, p.column, *found);
    const double x = location.x();
    const double y = location.y();
    BlockHit result { PlacedBlock { p.day, *found }, BlockHit::Part::body };
    const double s = g.badgeSide;
    if (g.badgeRight - s - 2 <= x && x <= g.right && g.badgeTop - 2 <= y && y <= g.badgeTop + s + 2) {
        result.part = BlockHit::Part::deleteBadge;
        return result;
    }
    const double edge = std::min(g.height() / 4, 6.0);
    if (y - g.top < edge) {
        result.part = BlockHit::Part::top;
    } else if (g.bottom - y < edge) {
        result.part = BlockHit::Part::bottom;
    }
    return result;
}

int fit(double height, bool embedded)
{
    const double rows = embedded ? 18 : 24;
    const double hour = std::floor((height - 84) / rows);
    return int(std::clamp(hour, 14.0, 28.0));
}

QPointF anchor(const GridLayout& layout, int column, MinuteRange range)
{
    const double w = std::max(layout.columnWidth - 4, 1.0);
    const double top = layout.y(range.start);
    const double h = std::max(layout.y(range.end) - top, 1.0);
    return { (w / 2 + layout.columnLeft(column) + 2) / w, (top + h / 2) / h };
}

QList<double> hairlineRows(double hourHeight, int firstHour)
{
    QList<double> rows;
    for (int h = firstHour + 2; h <= 23; h += 2) {
        rows.append((h - firstHour) * hourHeight - 0.5);
    }
    return rows;
}

} // namespace WeekGrid

} // namespace kestravin
