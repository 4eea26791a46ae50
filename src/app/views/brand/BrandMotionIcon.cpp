#include "app/views/brand/BrandMotionIcon.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandMotion.h"

#include <QEvent>
#include <QPainter>

namespace kestravin {

BrandIconAnimator::BrandIconAnimator(QObject* parent) : QObject(parent)
{
    connect(&m_hover, &BrandTween::valueChanged, this, &BrandIconAnimator::changed);
    connect(&m_press, &BrandTween::valueChanged, this, &BrandIconAnimator::changed);
    connect(&Appearance::shared(), &Appearance::reduceMotionChanged, this, &BrandIconAnimator::changed);
}

void BrandIconAnimator::setFlags(bool hovered, bool pressed)
{
    const bool still = Appearance::shared().reduceMotion();
    const double hover = hovered ? 1.0 : 0.0;
    const double press = pressed ? 1.0 : 0.0;
    if (hover != m_hover.target()) {
        if (still) {
            m_hover.jumpTo(hover);
        } else {
            m_hover.animateTo(hover, BrandMotion::brandCurve(), 160);
        }
    }
    if (press != m_press.target()) {
        if (still) {
            m_press.jumpTo(press);
        } else {
            m_press.animateTo(press, BrandMotion::easeOutCurve(), 100);
        }
    }
}

BrandIconPlacement BrandIconAnimator::placement(BrandIconMotion motion) const
{
    return placementFor(motion, m_hover.value(), m_press.value(), Appearance::shared().reduceMotion());
}

BrandIconPlacement BrandIconAnimator::placementFor(
    BrandIconMotion motion, double hover, double press, bool reduceMotion)
{
    if (reduceMotion) {
        return {};
    }
    BrandIconPlacement placement;
    if (motion == BrandIconMotion::Forward) {
        placement.offsetX = 2.0 * hover;
    }
    if (motion == BrandIconMotion::Settings) {
        placement.rotation = 12.0 * hover;
    }
    placement.scale = 1.0 - 0.06 * press;
    return placement;
}

BrandMotionIcon::BrandMotionIcon(const QString& name, BrandIconMotion motion, QWidget* parent)
    : QWidget(parent), m_name(name), m_motion(motion)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_animator, &BrandIconAnimator::changed, this, qOverload<>(&QWidget::update));
    attachToButton();
}

QSize BrandMotionIcon::sizeHint() const
{
    const int side = fontInfo().pixelSize() + 2;
    return QSize(side, side);
}

void BrandMotionIcon::paintSymbol(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color,
    const BrandIconPlacement& placement)
{
    const BrandImage* symbol = BrandAssets::symbol(name);
    if (symbol == nullptr) {
        return;
    }
    painter.save();
    const QPointF centre = rect.center();
    painter.translate(centre.x() + placement.offsetX, centre.y());
    painter.rotate(placement.rotation);
    painter.scale(placement.scale, placement.scale);
    painter.translate(-centre);
    symbol->renderTinted(painter, rect, color);
    painter.restore();
}

void BrandMotionIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = m_button ? m_button->labelColor() : palette().color(QPalette::WindowText);
    const double side = std::min(width(), height());
    QRectF box(0, 0, side, side);
    box.moveCenter(QRectF(rect()).center());
    paintSymbol(painter, m_name, box, color, placement());
}

bool BrandMotionIcon::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        attachToButton();
    }
    return QWidget::event(event);
}

void BrandMotionIcon::attachToButton()
{
    QObject::disconnect(m_buttonConnection);
    m_button = nullptr;
    for (QWidget* ancestor = parentWidget(); ancestor != nullptr; ancestor = ancestor->parentWidget()) {
        if (auto* button = qobject_cast<BrandButton*>(ancestor)) {
            m_button = button;
            break;
        }
    }
    if (m_button) {
        m_buttonConnection
            = connect(m_button.data(), &BrandButton::brandStateChanged, this, &BrandMotionIcon::followButton);
    }
    followButton();
}

void BrandMotionIcon::followButton()
{
    m_animator.setFlags(brandHovered(this), brandPressed(this));
    update();
}

} // namespace kestravin
