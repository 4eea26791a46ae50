#include "WeekDrag.h"

#include <algorithm>
#include <cmath>

namespace kestravin {

namespace {

constexpr int step = WeekGrid::step;

QList<MinuteRange> dayOf(const WeekSchedule::Week& week, int day)
{
    return day >= 0 && day < week.size() ? week[day] : QList<MinuteRange> {};
}

WeekSchedule::Week sevenDays(WeekSchedule::Week week)
{
    while (week.size() < 7) {
        week.append(QList<MinuteRange> {});
    }
    return week;
}

// Nearest multiple of the step, halves away from zero.
int roundedToStep(double minute)
{
    return int(std::round(minute / step)) * step;
}

} // namespace

void WeekDragController::begin(QPointF location, const WeekSchedule::Week& week, const GridLayout& layout)
{
    const GridPoint p = layout.point(location, step);
    WeekDrag drag;
    drag.origin = p;
    drag.current = p;
    if (const std::optional<BlockHit> hit = WeekGrid::hit(location, week, layout)) {
        switch (hit->part) {
        case BlockHit::Part::body:
            drag.kind = WeekDrag::Kind::move;
            break;
        case BlockHit::Part::top:
            drag.kind = WeekDrag::Kind::resize;
            drag.top = true;
            break;
        case BlockHit::Part::bottom:
            drag.kind = WeekDrag::Kind::resize;
            break;
        case BlockHit::Part::deleteBadge:
            drag.kind = WeekDrag::Kind::deleteBadge;
            break;
        }
        drag.source = hit->block;
        drag.grab = p.exact - hit->block.range.start;
        drag.targetDay = hit->block.day;
        drag.next = hit->block.range;
    } else {
        drag.kind = WeekDrag::Kind::create;
        drag.targetDay = p.day;
        drag.next = { p.minute, p.minute + step };
    }
    m_drag = drag;
}

bool WeekDragController::update(QPointF location, const WeekSchedule::Week& week, const GridLayout& layout)
{
    if (!m_drag || m_drag->cancelled) {
        return false;
    }
    WeekDrag& drag = *m_drag;
    const GridPoint p = layout.point(location, step);
    if (!drag.moved && std::hypot(p.x - drag.origin.x, p.y - drag.origin.y) < dragThreshold) {
        return false;
    }
    drag.moved = true;
    drag.current = p;
    if (!drag.source) {
        return true;
    }
    const MinuteRange source = drag.source->range;
    if (drag.kind == WeekDrag::Kind::move) {
        const int length = source.end - source.start;
        const int start = std::clamp(roundedToStep(p.exact - drag.grab), 0, std::max(0, 1440 - length));
        drag.next = { start, start + length };
        drag.targetDay = p.day;
    } else if (drag.kind == WeekDrag::Kind::resize) {
        const int edge = std::clamp(roundedToStep(p.exact), 0, 1440);
        const QList<MinuteRange> others = dayOf(week, drag.source->day);
        if (drag.top) {
            int limit = 0;
            for (const MinuteRange& r : others) {
                if (r != source && r.end <= source.start) {
                    limit = std::max(limit, r.end);
                }
            }
            limit = std::max(0, std::min(limit, source.end - step));
            drag.next = { std::max(std::min(edge, source.end - step), limit), source.end };
        } else {
            int limit = 1440;
            for (const MinuteRange& r : others) {
                if (r != source && r.start >= source.end) {
                    limit = std::min(limit, r.start);
                }
            }
            limit = std::min(1440, std::max(limit, source.start + step));
            drag.next = { source.start, std::min(std::max(edge, source.start + step), limit) };
        }
    }
    return true;
}

void WeekDragController::cancel()
{
    if (m_drag) {
        m_drag->cancelled = true;
    }
}

WeekDragController::Preview WeekDragController::preview(const WeekDrag& drag)
{
    if (drag.kind != WeekDrag::Kind::create) {
        return { { drag.targetDay }, drag.next };
    }
    Preview preview;
    const int first = std::min(drag.origin.column, drag.current.column);
    const int last = std::max(drag.origin.column, drag.current.column);
    for (int column = first; column <= last; ++column) {
        preview.days.append(WeekSchedule::gridOrder[size_t(column)]);
    }
    preview.range = { std::min(drag.origin.minute, drag.current.minute),
        std::min(std::max(drag.origin.minute, drag.current.minute) + step, 1440) };
    return preview;
}

std::pair<WeekSchedule::Week, MinuteRange> WeekDragController::adding(
    MinuteRange range, int day, WeekSchedule::Week week)
{
    week = sevenDays(std::move(week));
    QList<MinuteRange> ranges = week[day];
    ranges.append(range);
    week[day] = WeekSchedule::merge(ranges);
    for (const MinuteRange& merged : week[day]) {
        if (merged.start <= range.start && range.end <= merged.end) {
            return { week, merged };
        }
    }
    return { week, range };
}

WeekDragController::Outcome WeekDragController::finish(const WeekSchedule::Week& current)
{
    Outcome outcome;
    if (!m_drag) {
        return outcome;
    }
    const WeekDrag drag = *m_drag;
    m_drag.reset();
    if (drag.cancelled) {
        return outcome;
    }

    if (drag.source) {
        const PlacedBlock source = *drag.source;
        // The week may have been replaced while the press lasted (an account
        // sync); cutting the old range out of whatever covers it now would
        // damage a block the user never touched.
        if (!dayOf(current, source.day).contains(source.range)) {
            return outcome;
        }
        if (drag.kind == WeekDrag::Kind::deleteBadge) {
            if (!drag.moved) {
                WeekSchedule::Week week = sevenDays(current);
                week[source.day] = WeekSchedule::subtract(week[source.day], source.range);
                outcome.week = week;
                outcome.removed = source;
            }
            return outcome;
        }
        if (!drag.moved) {
            outcome.selection = Outcome::Selection::select;
            outcome.selected = { source.day, source.range.start };
            return outcome;
        }
        if (drag.targetDay == source.day && drag.next == source.range) {
            return outcome;
        }
        WeekSchedule::Week week = sevenDays(current);
        week[source.day] = WeekSchedule::subtract(week[source.day], source.range);
        const auto [merged, result] = adding(drag.next, drag.targetDay, week);
        const double lift = drag.kind == WeekDrag::Kind::move ? moveLift : resizeLift;
        outcome.week = merged;
        outcome.entries.insert(
            PlacedBlock { drag.targetDay, result }.id(), BlockEntry::dropped(lift, result != drag.next));
        outcome.selection = Outcome::Selection::select;
        outcome.selected = { drag.targetDay, result.start };
        return outcome;
    }

    Preview drawn;
    if (drag.moved) {
        drawn = preview(drag);
    } else {
        const int m = drag.origin.minute;
        int end = std::min(m + 60, 1440);
        for (const MinuteRange& r : dayOf(current, drag.origin.day)) {
            if (r.start >= m) {
                end = std::min(end, r.start);
            }
        }
        drawn = { { drag.origin.day }, { m, end } };
    }
    if (drawn.range.end - drawn.range.start < step) {
        return outcome;
    }
    WeekSchedule::Week week = sevenDays(current);
    MinuteRange last;
    for (int day : drawn.days) {
        const auto [merged, result] = adding(drawn.range, day, week);
        week = merged;
        last = result;
        outcome.entries.insert(PlacedBlock { day, result }.id(), BlockEntry::fresh());
    }
    outcome.week = week;
    if (drawn.days.size() == 1) {
        outcome.selection = Outcome::Selection::select;
        outcome.selected = { drawn.days.first(), last.start };
    } else {
        outcome.selection = Outcome::Selection::clear;
    }
    return outcome;
}

} // namespace kestravin
