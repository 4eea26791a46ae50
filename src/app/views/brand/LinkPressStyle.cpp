#include "app/views/brand/LinkPressStyle.h"

#include "app/views/brand/Appearance.h"

#include <QAbstractButton>

namespace kestravin {

LinkPressStyle::LinkPressStyle(QAbstractButton* button) : QObject(button), m_button(button), m_scale(1.0)
{
    connect(button, &QAbstractButton::pressed, this, &LinkPressStyle::follow);
    connect(button, &QAbstractButton::released, this, &LinkPressStyle::follow);
    connect(&Appearance::shared(), &Appearance::reduceMotionChanged, this, &LinkPressStyle::follow);
    connect(&m_scale, &BrandTween::valueChanged, button, qOverload<>(&QWidget::update));
}

void LinkPressStyle::follow()
{
    if (!m_button) {
        return;
    }
    const bool reduce = Appearance::shared().reduceMotion();
    const double target = scaleFor(m_button->isDown(), reduce);
    if (target == m_scale.target()) {
        return;
    }
    if (reduce) {
        m_scale.jumpTo(target);
    } else {
        m_scale.animateTo(target, BrandMotion::easeOutCurve(), 100);
    }
}

} // namespace kestravin
