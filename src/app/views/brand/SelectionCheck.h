#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QWidget>

namespace kestravin {

// The tick: an open polyline through (0.20w, 0.53h), (0.42w, 0.74h) and
// (0.82w, 0.27h) of a rectangle.
namespace CheckMark {

QPolygonF points(const QRectF& rect);
QPainterPath path(const QRectF& rect);
// The first `fraction` (0 to 1) of a polyline's length.
QPolygonF trimmed(const QPolygonF& polyline, double fraction);

} // namespace CheckMark

// The round selection mark of the pickers' tiles: an accent disc whose tick
// draws itself just after the tile is selected and vanishes quickly when it is
// cleared. Decorative: the tile carries the selected state for accessibility.
class SelectionCheck : public QWidget {
    Q_OBJECT
public:
    SelectionCheck(bool on, double size, QWidget* parent = nullptr);

    bool isOn() const { return m_on; }
    // Selects or clears; the change animates by itself (at once under reduce motion).
    void setOn(bool on);

    // 0 cleared, 1 selected; fill, ring and the tick's trim follow it.
    double progress() const { return m_progress.value(); }
    bool isAnimating() const { return m_progress.isAnimating(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_on;
    double m_size;
    BrandTween m_progress;
};

} // namespace kestravin
