#include "AccountWidgets.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <cmath>

namespace kestravin {

QLabel* AccountWidgets::text(const QString& content, int size, QFont::Weight weight, QWidget* parent, bool wrap)
{
    auto* label = plainLabel(content, parent);
    label->setFont(BrandFonts::font(size, weight));
    label->setWordWrap(wrap);
    return label;
}

QLabel* AccountWidgets::message(int size, QFont::Weight weight, QWidget* parent)
{
    auto* label = new MessageLabel(parent);
    label->setFont(BrandFonts::font(size, weight));
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

MessageLabel::MessageLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

double MessageLabel::layOut(QTextLayout& layout, double width) const
{
    QString shown = text();
    shown.replace(u'\n', QChar::LineSeparator);
    layout.setText(shown);
    layout.setFont(font());
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    // An empty label keeps one line, as QLabel does.
    return height;
}

int MessageLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins() + QMargins(margin(), margin(), margin(), margin());
    QTextLayout layout;
    const double height = layOut(layout, width - margins.left() - margins.right());
    return int(std::ceil(height)) + margins.top() + margins.bottom();
}

QSize MessageLabel::sizeHint() const
{
    // As wide as the text on one line, up to about 80 characters, as QLabel.
    const QFontMetricsF metrics(font());
    const QMargins margins = contentsMargins() + QMargins(margin(), margin(), margin(), margin());
    QTextLayout layout;
    layOut(layout, 1e6);
    const double natural = layout.lineCount() > 0 ? layout.boundingRect().width() : 0.0;
    const int width
        = int(std::ceil(std::min(natural, metrics.averageCharWidth() * 80))) + margins.left() + margins.right();
    return { width, heightForWidth(width) };
}

QSize MessageLabel::minimumSizeHint() const
{
    // Any width will do: the lines break where they must.
    const QFontMetricsF metrics(font());
    const QMargins margins = contentsMargins() + QMargins(margin(), margin(), margin(), margin());
    return { margins.left() + margins.right() + 1,
        int(std::ceil(metrics.height())) + margins.top() + margins.bottom() };
}

void MessageLabel::paintEvent(QPaintEvent*)
{
    const QMargins margins = QMargins(margin(), margin(), margin(), margin());
    const QRect area = contentsRect().marginsRemoved(margins);
    QTextLayout layout;
    layOut(layout, area.width());
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    layout.draw(&painter, area.topLeft());
}

} // namespace kestravin
