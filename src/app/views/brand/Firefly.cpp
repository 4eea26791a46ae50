#include "app/views/brand/Firefly.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"

#include <QFontMetricsF>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr double headerFirefly = 48.0;
constexpr double headerSpacing = 8.0;

QString productName()
{
    return u"Kestravin"_s;
}

} // namespace

Firefly::Firefly(double size, QWidget* parent) : QWidget(parent), m_size(size)
{
    // The mascot may be the only brand view of a window (the approval guide's
    // card): its container must still leave it out.
    BrandAccessibility::install();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Firefly::sizeHint() const
{
    const int side = qCeil(m_size);
    return QSize(side, side);
}

void Firefly::paint(QPainter& painter, const QPointF& topLeft, double size)
{
    const BrandImage* artwork = BrandAssets::image(u"firefly-approved"_s);
    if (artwork == nullptr) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    artwork->renderFitted(painter, QRectF(topLeft, QSizeF(size, size)));
    painter.restore();
}

void Firefly::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPointF topLeft((width() - m_size) / 2.0, (height() - m_size) / 2.0);
    paint(painter, topLeft, m_size);
}

BrandHeader::BrandHeader(QWidget* parent) : QWidget(parent)
{
    setFont(BrandFonts::font(20, QFont::DemiBold, BrandFonts::Design::Rounded));
    setAccessibleName(productName());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QSize BrandHeader::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(qCeil(headerFirefly + headerSpacing + metrics.horizontalAdvance(productName())),
        qCeil(std::max(headerFirefly, metrics.height())));
}

void BrandHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double top = (height() - headerFirefly) / 2.0;
    Firefly::paint(painter, QPointF(0, top), headerFirefly);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF textRect(headerFirefly + headerSpacing, 0, width() - headerFirefly - headerSpacing, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, productName());
}

} // namespace kestravin
