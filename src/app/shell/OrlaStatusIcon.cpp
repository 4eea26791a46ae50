#include "app/shell/OrlaStatusIcon.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin::OrlaStatusIcon {
namespace {

void strokeWing(QPainter& painter, QPointF centre, qreal degrees, const QPen& pen)
{
    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(-4.4, -2.0, 8.8, 4.0));
    painter.restore();
}

} // namespace

QImage image(bool active, qreal pixelRatio, const QColor& color)
{
    const int side = int(std::ceil(logicalSize * pixelRatio));
    QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    canvas.setDevicePixelRatio(pixelRatio);

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    // The figure is laid out with the origin at the bottom-left corner and
    // angles counter-clockwise; flipping y keeps those numbers as they are.
    painter.translate(0, logicalSize);
    painter.scale(1, -1);
    const QPen pen(color, 1.4);
    strokeWing(painter, { 8.2, 11.2 }, 58, pen);
    strokeWing(painter, { 11.2, 9.6 }, 18, pen);
    if (active) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(3.0, 2.6, 5.0, 5.0));
    } else {
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(3.7, 3.3, 3.6, 3.6));
    }
    return canvas;
}

QString accessibilityDescription(bool active)
{
    return active ? u"Kestravin: bloqueando agora"_s : u"Kestravin: livre agora"_s;
}

} // namespace kestravin::OrlaStatusIcon
