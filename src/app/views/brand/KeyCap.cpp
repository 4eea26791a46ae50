#include "app/views/brand/KeyCap.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"

#include <QFontMetricsF>
#include <QPainter>

namespace kestravin {

namespace {

constexpr double radius = 5.0;
constexpr double padding = 4.0;
constexpr int minimumSide = 16;
constexpr double edgeInset = 3.0;

} // namespace

KeyCap::KeyCap(const QString& key, QWidget* parent) : QWidget(parent), m_key(key)
{
    setFont(BrandFonts::font(10, QFont::Medium, BrandFonts::Design::Monospaced));
    setAccessibleName(key);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QSize KeyCap::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(std::max(minimumSide, qCeil(metrics.horizontalAdvance(m_key) + 2 * padding)),
        std::max(minimumSide, qCeil(metrics.height())));
}

void KeyCap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const QRectF bounds = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.paper);
    painter.drawPath(BrandShapes::continuousRect(bounds, radius));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.hairline, 1.0));
    painter.drawPath(BrandShapes::strokeInside(bounds, radius, 1.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.hairline);
    painter.drawPath(
        BrandShapes::capsule(QRectF(edgeInset, bounds.height() - 1.0, bounds.width() - 2 * edgeInset, 1.0)));
    painter.setPen(palette.mutedInk);
    painter.setFont(font());
    painter.drawText(bounds, Qt::AlignCenter, m_key);
}

} // namespace kestravin
