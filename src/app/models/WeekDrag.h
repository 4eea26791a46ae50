#pragma once

#include "WeekGrid.h"

#include <QHash>

#include <optional>

namespace kestravin {

// One press on the week grid, from the press to its release.
struct WeekDrag {
    enum class Kind { resize, create, move, deleteBadge };
    Kind kind = Kind::create;
    // For `resize`: whether the top edge is dragged.
    bool top = false;
    GridPoint origin;
    GridPoint current;
    // The pressed block; none for a create.
    std::optional<PlacedBlock> source;
    // Minutes between the pressed point and the block's start.
    double grab = 0;
    int targetDay = 0;
    MinuteRange next;
    bool moved = false;
    bool cancelled = false;
};

// The drawing, moving, resizing and deleting of blocks with the pointer, with
// no widget: points, the week and the layout go in; the new week, the entry
// marks of the changed blocks and the new selection come out of finish().
class WeekDragController {
public:
    // How far the pointer must travel before a press counts as a drag.
    static constexpr double dragThreshold = 4;
    static constexpr double moveLift = 1.03;
    static constexpr double resizeLift = 1.0;

    struct Preview {
        QList<int> days;
        MinuteRange range;
    };

    struct Outcome {
        enum class Selection { keep, select, clear };
        // The week to save; none when nothing changes.
        std::optional<WeekSchedule::Week> week;
        QHash<QString, BlockEntry> entries;
        Selection selection = Selection::keep;
        BlockRef selected;
        // The block a delete press removed, for its undo.
        std::optional<PlacedBlock> removed;
    };

    const std::optional<WeekDrag>& drag() const { return m_drag; }
    bool isDragging() const { return m_drag.has_value(); }

    void begin(QPointF location, const WeekSchedule::Week& week, const GridLayout& layout);
    // Whether the drag changed.
    bool update(QPointF location, const WeekSchedule::Week& week, const GridLayout& layout);
    void cancel();
    // Ends the press against the week as it is now. A move, resize or delete
    // whose block is no longer exactly in its day (the week was replaced
    // while the press lasted) is abandoned.
    Outcome finish(const WeekSchedule::Week& current);

    static Preview preview(const WeekDrag& drag);
    // The week with `range` merged into `day`, and the merged range that
    // holds it (the range itself when none does).
    static std::pair<WeekSchedule::Week, MinuteRange> adding(MinuteRange range, int day, WeekSchedule::Week week);

private:
    std::optional<WeekDrag> m_drag;
};

} // namespace kestravin
