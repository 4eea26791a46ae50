#include "MenuControls.h"

#include "MenuBarPalette.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/LinkPressStyle.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

void followAppearance(QWidget* widget)
{
    QObject::connect(&Appearance::shared(), &Appearance::changed, widget, qOverload<>(&QWidget::update));
}

void scaleAboutCentre(QPainter& painter, const QRectF& rect, double scale)
{
    painter.translate(rect.center());
    painter.scale(scale, scale);
    painter.translate(-rect.center());
}

} // namespace

MenuSwitch::MenuSwitch(const QString& accessibleName, QWidget* parent) : QAbstractButton(parent)
{
    // Before anything that reaches assistive technology: the first interface
    // made for a widget stays.
    BrandAccessibility::setButtonRole(this, QAccessible::CheckBox);
    setCheckable(true);
    setAccessibleName(accessibleName);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    followAppearance(this);
}

void MenuSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto palette = MenuBarPalette::current();
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = track.height() / 2;
    painter.setPen(isChecked() ? Qt::NoPen : QPen(palette.divider, 1));
    painter.setBrush(isChecked() ? BrandTokens::accent() : palette.divider);
    painter.drawRoundedRect(track, radius, radius);
    const double knob = track.height() - 4;
    const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(BrandPalette::current().focusRing, 2));
        painter.drawRoundedRect(track, radius, radius);
    }
}

StepButton::StepButton(const QString& symbol, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_press(new LinkPressStyle(this))
{
    setAccessibleName(accessibleName);
    setToolTip(accessibleName);
    setFixedSize(40, 30);
    setCursor(Qt::PointingHandCursor);
    followAppearance(this);
}

void StepButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.4);
    scaleAboutCentre(painter, rect(), m_press->scale());
    const auto palette = MenuBarPalette::current();
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(palette.divider, 1));
    painter.setBrush(palette.fieldSurface);
    painter.drawPath(BrandShapes::continuousRect(box, 9));
    const double side = 11;
    BrandMotionIcon::paintSymbol(painter, m_symbol,
        QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side), palette.muted, {});
}

RowButton::RowButton(bool prominent, QWidget* parent)
    : BrandButton(QString(), prominent, parent), m_row(new QHBoxLayout(this))
{
    m_row->setContentsMargins(12, 7, 12, 7);
    m_row->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize RowButton::sizeHint() const
{
    const QSize row = m_row->sizeHint();
    return { row.width(), std::max(36, row.height()) };
}

QSize RowButton::minimumSizeHint() const
{
    return { m_row->minimumSize().width(), sizeHint().height() };
}

StatusDot::StatusDot(QWidget* parent) : QWidget(parent)
{
    BrandAccessibility::setDecorative(this);
    setFixedSize(6, 6);
}

void StatusDot::setColor(const QColor& color)
{
    if (m_color != color) {
        m_color = color;
        update();
    }
}

void StatusDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(rect()));
}

SymbolIcon::SymbolIcon(const QString& name, int size, QWidget* parent)
    : QWidget(parent), m_name(name), m_size(size), m_color(BrandTokens::accent())
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    BrandAccessibility::setDecorative(this);
}

void SymbolIcon::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void SymbolIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    BrandMotionIcon::paintSymbol(painter, m_name, QRectF(rect()), m_color, {});
}

} // namespace kestravin
