#pragma once

#include "app/models/MinuteRange.h"
#include "app/views/brand/Appearance.h"

#include <QColor>
#include <QPixmap>
#include <QRectF>

class QPainter;

namespace kestravin {

// How one block is to be drawn at one instant: the outcome of its state
// (selected, active, dimmed) and of its entrance at that instant.
struct BlockLook {
    MinuteRange range;
    // The block's rectangle (column inset applied), before any entrance scaling.
    QRectF rect;
    bool selected = false;
    // 0..1: the badge, grips and raised shadow fade in with it.
    double active = 0;
    // 0..1: 1 is the 28 % opacity of the source of a moved drag.
    double dimmed = 0;
    double opacity = 1;
    double verticalScale = 1;
    // True when the vertical scale is anchored at the centre, else at the top.
    bool scaleFromCentre = false;
    double lift = 1;
    // 0..1 from the resting shadow to the deep one of a lifted drop.
    double deepShadow = 0;
    double glow = 0;
};

// Paints the week grid's pieces: the day column backdrop and the focus block
// with its label, badge, grips, rings and shadows. Shadows and glows are
// blurred once per size and kept, so a frame only composes pixmaps.
class WeekBlockPainter {
public:
    static QColor hairline(ColorScheme scheme);
    static QColor focusRing(ColorScheme scheme);

    // The rounded backdrop with a hairline every two hours after `firstHour`.
    static void paintColumn(
        QPainter& painter, const QRectF& rect, double hourHeight, int firstHour, ColorScheme scheme);
    // The same, drawn once per size and appearance and then copied: the seven
    // columns of a frame are alike.
    void paintCachedColumn(QPainter& painter, const QRectF& rect, double hourHeight, int firstHour, ColorScheme scheme);
    void paintBlock(QPainter& painter, const BlockLook& look, ColorScheme scheme);

    // The text of a block's label, or empty when the block is too short.
    static QString labelText(MinuteRange range, double height);
    // Where the label sits in a block of this size (empty when none). The
    // badge's room on the right is kept only while the badge shows.
    static QRectF labelRect(const QRectF& block, bool badgeShown = true);
    // The same for a label `textWidth` wide: in a tall block whose badge would
    // cut it, the label moves below the badge and takes the block's width.
    static QRectF labelRect(const QRectF& block, bool badgeShown, double textWidth);
    static QRectF badgeRect(const QRectF& block);
    // Top and bottom grips, empty below 28 pt.
    static std::pair<QRectF, QRectF> gripRects(const QRectF& block);

    int cachedShadows() const { return int(m_shadows.size()); }

private:
    const QPixmap& shadow(QSizeF size, double radius, double blur, const QColor& color, bool ring, qreal ratio);

    // The accent fill with its sheen, per block size.
    const QPixmap& surface(QSizeF size, qreal ratio);

    QHash<QString, QPixmap> m_shadows;
    QHash<QString, QPixmap> m_surfaces;
    QHash<QString, QPixmap> m_columns;
};

} // namespace kestravin
