#include "BrandSymbol.h"

#include "BrandAccessibility.h"
#include "BrandAssets.h"

#include <QPainter>

namespace kestravin {

BrandSymbol::BrandSymbol(const QString& name, int size, QColor color, QWidget* parent)
    : QWidget(parent), m_name(name), m_size(size), m_color(std::move(color))
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    BrandAccessibility::setDecorative(this);
}

void BrandSymbol::setName(const QString& name)
{
    if (m_name != name) {
        m_name = name;
        update();
    }
}

void BrandSymbol::setColor(const QColor& color)
{
    if (m_color != color) {
        m_color = color;
        update();
    }
}

void BrandSymbol::paintEvent(QPaintEvent*)
{
    if (const BrandImage* image = BrandAssets::symbol(m_name)) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        image->renderTinted(painter, QRectF(rect()), m_color);
    }
}

BrandHairline::BrandHairline(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    BrandAccessibility::setDecorative(this);
}

void BrandHairline::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void BrandHairline::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
}

} // namespace kestravin
