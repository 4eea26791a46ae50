#include "AccountWidgets.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"

#include <QPainter>
#include <QPainterPath>

namespace kestravin {

QLabel* AccountWidgets::text(const QString& content, int size, QFont::Weight weight, QWidget* parent, bool wrap)
{
    auto* label = plainLabel(content, parent);
    label->setFont(BrandFonts::font(size, weight));
    label->setWordWrap(wrap);
    return label;
}

void AccountWidgets::setInk(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

LinkButton::LinkButton(const QString& title, const QString& accessibleText, int size, QWidget* parent)
    : QAbstractButton(parent), m_color(BrandTokens::accent())
{
    BrandAccessibility::setPressable(this); // before anything makes its interface
    setText(title);
    setAccessibleName(accessibleText);
    setFont(BrandFonts::font(size, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void LinkButton::setTextColor(const QColor& color)
{
    m_color = color;
    update();
}

QSize LinkButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return { metrics.horizontalAdvance(text()) + 4, metrics.height() + 4 };
}

void LinkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    QColor color = m_color;
    if (isDown()) {
        color = color.darker(120);
    }
    painter.setPen(color);
    QFont font = this->font();
    font.setUnderline(m_hovered || hasFocus());
    painter.setFont(font);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void LinkButton::enterEvent(QEnterEvent*)
{
    m_hovered = true;
    update();
}

void LinkButton::leaveEvent(QEvent*)
{
    m_hovered = false;
    update();
}

RoundedPanel::RoundedPanel(double radius, QWidget* parent) : QWidget(parent), m_radius(radius)
{
}

void RoundedPanel::setColors(const QColor& fill, const QColor& outline)
{
    m_fill = fill;
    m_outline = outline;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath path = BrandShapes::continuousRect(box, m_radius);
    painter.fillPath(path, m_fill);
    if (m_outline.isValid() && m_outline.alpha() > 0) {
        painter.setPen(QPen(m_outline, 1));
        painter.drawPath(path);
    }
}

} // namespace kestravin
