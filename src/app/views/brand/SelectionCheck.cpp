#include "app/views/brand/SelectionCheck.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandTokens.h"

#include <QLineF>
#include <QPainter>

namespace kestravin {

namespace CheckMark {

QPolygonF points(const QRectF& rect)
{
    auto at
        = [&rect](double x, double y) { return QPointF(rect.x() + x * rect.width(), rect.y() + y * rect.height()); };
    return QPolygonF { at(0.20, 0.53), at(0.42, 0.74), at(0.82, 0.27) };
}

QPainterPath path(const QRectF& rect)
{
    QPainterPath result;
    result.addPolygon(points(rect));
    return result;
}

QPolygonF trimmed(const QPolygonF& polyline, double fraction)
{
    if (polyline.size() < 2 || fraction <= 0.0) {
        return {};
    }
    double total = 0.0;
    for (qsizetype i = 1; i < polyline.size(); ++i) {
        total += QLineF(polyline[i - 1], polyline[i]).length();
    }
    double remaining = std::min(fraction, 1.0) * total;
    QPolygonF result { polyline.first() };
    for (qsizetype i = 1; i < polyline.size(); ++i) {
        const QLineF segment(polyline[i - 1], polyline[i]);
        if (segment.length() >= remaining) {
            result << segment.pointAt(segment.length() > 0.0 ? remaining / segment.length() : 0.0);
            return result;
        }
        remaining -= segment.length();
        result << polyline[i];
    }
    return result;
}

} // namespace CheckMark

SelectionCheck::SelectionCheck(bool on, double size, QWidget* parent)
    : QWidget(parent), m_on(on), m_size(size), m_progress(on ? 1.0 : 0.0)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_progress, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void SelectionCheck::setOn(bool on)
{
    if (on == m_on) {
        return;
    }
    m_on = on;
    const double target = on ? 1.0 : 0.0;
    if (Appearance::shared().reduceMotion()) {
        m_progress.jumpTo(target);
    } else if (on) {
        // Follows just after the tap: a short pause, then the brand curve.
        m_progress.animateTo(target, BrandTokens::easeOut().curve, BrandTokens::easeOut().durationMs, 60);
    } else {
        m_progress.animateTo(target, BrandMotion::easeInCurve(), 120);
    }
}

QSize SelectionCheck::sizeHint() const
{
    const int side = qCeil(m_size);
    return QSize(side, side);
}

void SelectionCheck::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const double p = m_progress.value();
    QRectF box(0, 0, m_size, m_size);
    box.moveCenter(QRectF(rect()).center());

    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(BrandTokens::accent(), p));
    painter.drawEllipse(box);

    const QColor ring = blend(palette.hairline, withOpacity(palette.accentRing, 0.55), p);
    QPen ringPen(ring, 1.0);
    ringPen.setCapStyle(Qt::FlatCap);
    ringPen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(ringPen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));

    const double inset = m_size * 0.2;
    const QPolygonF tick = CheckMark::trimmed(CheckMark::points(box.adjusted(inset, inset, -inset, -inset)), p);
    if (tick.size() >= 2) {
        QPen tickPen(BrandTokens::onAccent(), 2.0);
        tickPen.setCapStyle(Qt::RoundCap);
        tickPen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(tickPen);
        painter.drawPolyline(tick);
    }
}

} // namespace kestravin
