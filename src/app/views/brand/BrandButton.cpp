#include "app/views/brand/BrandButton.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

namespace kestravin {

namespace {

constexpr double cornerRadius = 12.0;
constexpr double paddingX = 12.0;
constexpr double paddingY = 7.0;
constexpr int minimumButtonHeight = 36;
constexpr double iconSpacing = 6.0;
constexpr double dotSide = 3.0;
constexpr double dotInset = 7.0;
constexpr double pressedBrightness = -0.04;

const BrandButton* enclosingButton(const QWidget* widget)
{
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (auto* button = qobject_cast<const BrandButton*>(w)) {
            return button;
        }
    }
    return nullptr;
}

} // namespace

BrandButton::BrandButton(const QString& text, bool prominent, QWidget* parent)
    : QAbstractButton(parent), m_prominent(prominent)
{
    setText(text);
    setFont(BrandFonts::font(13, QFont::DemiBold));
    setAttribute(Qt::WA_Hover);
    // Keyboard focus (and its dot) comes by Tab; a click must not leave it behind.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&Appearance::shared(), &Appearance::changed, this, [this] {
        updateDot(false);
        update();
    });
    connect(&m_dot, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_icon, &BrandIconAnimator::changed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::pressed, this, &BrandButton::stateChanged);
    connect(this, &QAbstractButton::released, this, &BrandButton::stateChanged);
    m_dot.jumpTo(0.0);
}

void BrandButton::setProminent(bool prominent)
{
    if (m_prominent != prominent) {
        m_prominent = prominent;
        update();
    }
}

void BrandButton::setSymbol(const QString& name, BrandIconMotion motion, IconPosition position)
{
    m_symbol = name;
    m_symbolMotion = motion;
    m_symbolPosition = position;
    updateGeometry();
    update();
}

QColor BrandButton::fillColor() const
{
    const BrandPalette& palette = BrandPalette::forWidget(this);
    QColor fill = m_prominent ? BrandTokens::accent() : (brandHovered() ? palette.highlight : palette.paper);
    return brandPressed() ? brightened(fill, pressedBrightness) : fill;
}

QColor BrandButton::labelColor() const
{
    const QColor color = m_prominent ? BrandTokens::onAccent() : BrandPalette::forWidget(this).ink;
    return brandPressed() ? brightened(color, pressedBrightness) : color;
}

QPointF BrandButton::dotCentre() const
{
    const double hidden = 1.0 - m_dot.value();
    const bool still = Appearance::shared().reduceMotion();
    const QPointF rest(width() - dotInset - dotSide / 2.0, dotInset + dotSide / 2.0);
    return still ? rest : rest + QPointF(-5.0 * hidden, 3.0 * hidden);
}

QSizeF BrandButton::labelSize() const
{
    const QFontMetricsF metrics(font());
    double width = metrics.horizontalAdvance(text());
    double height = metrics.height();
    if (!m_symbol.isEmpty()) {
        const double side = font().pixelSize() + 1.0;
        width += side + (text().isEmpty() ? 0.0 : iconSpacing);
        height = std::max(height, side);
    }
    return QSizeF(width, height);
}

QSize BrandButton::sizeHint() const
{
    const QSizeF label = labelSize();
    return QSize(
        qCeil(label.width() + 2 * paddingX), std::max(minimumButtonHeight, qCeil(label.height() + 2 * paddingY)));
}

QSize BrandButton::minimumSizeHint() const
{
    return sizeHint();
}

void BrandButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(0.5);
    }
    const BrandPalette& palette = BrandPalette::forWidget(this);
    const QRectF bounds = rect();
    const bool pressed = brandPressed();

    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColor());
    painter.drawPath(BrandShapes::continuousRect(bounds, cornerRadius));

    const QColor hairline = pressed ? brightened(palette.hairline, pressedBrightness) : palette.hairline;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(hairline, 1.0));
    painter.drawPath(BrandShapes::strokeInside(bounds, cornerRadius, 1.0));

    // The label, centred.
    const QColor ink = labelColor();
    const QSizeF label = labelSize();
    QRectF labelRect(QPointF(), label);
    labelRect.moveCenter(bounds.center());
    QRectF textRect = labelRect;
    if (!m_symbol.isEmpty()) {
        const double side = font().pixelSize() + 1.0;
        QRectF iconRect(0, 0, side, side);
        if (m_symbolPosition == IconPosition::Leading) {
            iconRect.moveTopLeft(QPointF(labelRect.left(), labelRect.center().y() - side / 2.0));
            textRect.setLeft(iconRect.right() + iconSpacing);
        } else {
            iconRect.moveTopLeft(QPointF(labelRect.right() - side, labelRect.center().y() - side / 2.0));
            textRect.setRight(iconRect.left() - iconSpacing);
        }
        BrandMotionIcon::paintSymbol(painter, m_symbol, iconRect, ink, m_icon.placement(m_symbolMotion));
    }
    painter.setPen(ink);
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignCenter, text());

    if (m_prominent && m_dot.value() > 0.0) {
        QColor dot = withOpacity(BrandTokens::onAccent(), 0.65 * m_dot.value());
        if (pressed) {
            dot = brightened(dot, pressedBrightness);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(dot);
        painter.drawEllipse(dotCentre(), dotSide / 2.0, dotSide / 2.0);
    }
}

bool BrandButton::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::HoverEnter:
        setHovered(true);
        break;
    case QEvent::Leave:
    case QEvent::HoverLeave:
        setHovered(false);
        break;
    case QEvent::Show:
        forgetLeftHover();
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

void BrandButton::focusInEvent(QFocusEvent* event)
{
    QAbstractButton::focusInEvent(event);
    // Keyboard focus shows the dot at once; only hover slides it in.
    updateDot(false);
}

void BrandButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    updateDot(false);
}

void BrandButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ActivationChange) {
        forgetLeftHover();
        updateDot(false);
        stateChanged();
    }
}

void BrandButton::forgetLeftHover()
{
    // Enter and Leave come from the window system, which keeps them back
    // while another program grabs the pointer (the administrator password
    // dialog does): a button that was disabled, hidden or in an inactive
    // window meanwhile would otherwise keep its hover, and its dot, with the
    // pointer long gone. Only a Leave is made up here; hover starts with Enter.
    if (m_hovered && !rect().contains(mapFromGlobal(QCursor::pos()))) {
        setHovered(false);
    }
}

bool BrandButton::hitButton(const QPoint& pos) const
{
    // The rounded shape, not its bounding box, takes the clicks.
    return BrandShapes::continuousRect(rect(), cornerRadius).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void BrandButton::setHovered(bool hovered)
{
    if (m_hovered == hovered) {
        return;
    }
    m_hovered = hovered;
    updateDot(true);
    stateChanged();
}

void BrandButton::updateDot(bool animated)
{
    const double target = ((m_hovered || hasFocus()) && isEnabled()) ? 1.0 : 0.0;
    if (target == m_dot.target() && !(m_dot.isAnimating() && !animated)) {
        return;
    }
    if (animated && !Appearance::shared().reduceMotion()) {
        m_dot.animateTo(target, BrandMotion::brandCurve(), 160);
    } else {
        m_dot.jumpTo(target);
    }
}

void BrandButton::stateChanged()
{
    m_icon.setFlags(brandHovered(), brandPressed());
    update();
    Q_EMIT brandStateChanged();
}

bool brandHovered(const QWidget* widget)
{
    const BrandButton* button = enclosingButton(widget);
    return button != nullptr && button->brandHovered();
}

bool brandPressed(const QWidget* widget)
{
    const BrandButton* button = enclosingButton(widget);
    return button != nullptr && button->brandPressed();
}

} // namespace kestravin
