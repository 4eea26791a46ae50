#include "app/views/brand/BrandMotion.h"

#include <QPointF>
#include <QRectF>

#include <cmath>
#include <numbers>

namespace kestravin {

namespace BrandMotion {

QEasingCurve cubicCurve(double x1, double y1, double x2, double y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1.0, 1.0));
    return curve;
}

QEasingCurve brandCurve()
{
    return cubicCurve(0.23, 1.0, 0.32, 1.0);
}

QEasingCurve easeOutCurve()
{
    return cubicCurve(0.0, 0.0, 0.58, 1.0);
}

QEasingCurve easeInCurve()
{
    return cubicCurve(0.42, 0.0, 1.0, 1.0);
}

} // namespace BrandMotion

double BrandSpring::value(double seconds) const
{
    if (seconds <= 0.0) {
        return 0.0;
    }
    const double omega = 2.0 * std::numbers::pi / std::max(response, 1e-3);
    const double zeta = std::max(dampingFraction, 0.0);
    if (zeta < 1.0) {
        const double damped = omega * std::sqrt(1.0 - zeta * zeta);
        const double envelope = std::exp(-zeta * omega * seconds);
        return 1.0 - envelope * (std::cos(damped * seconds) + (zeta * omega / damped) * std::sin(damped * seconds));
    }
    // Critically damped (and anything stiffer is treated as such).
    return 1.0 - std::exp(-omega * seconds) * (1.0 + omega * seconds);
}

double BrandSpring::settleSeconds() const
{
    const double omega = 2.0 * std::numbers::pi / std::max(response, 1e-3);
    const double decay = std::max(std::min(dampingFraction, 1.0), 0.05) * omega;
    // The envelope falls to 0.1 %; critical damping carries a (1 + ωt) factor,
    // a little more time covers it.
    const double seconds = std::log(1000.0) / decay;
    return dampingFraction >= 1.0 ? seconds * 1.4 : seconds;
}

SpringAnimation::SpringAnimation(BrandSpring spring, QObject* parent) : QVariantAnimation(parent), m_spring(spring)
{
    setDuration(static_cast<int>(std::ceil(m_spring.settleSeconds() * 1000.0)));
    setEasingCurve(QEasingCurve::Linear);
}

QVariant SpringAnimation::interpolated(const QVariant& from, const QVariant& to, qreal progress) const
{
    const double seconds = progress * duration() / 1000.0;
    const double position = progress >= 1.0 ? 1.0 : m_spring.value(seconds);
    return QVariantAnimation::interpolated(from, to, position);
}

} // namespace kestravin

namespace kestravin {

BrandTween::BrandTween(double initial, QObject* parent) : QObject(parent), m_value(initial), m_target(initial)
{
}

BrandTween::~BrandTween() = default;

bool BrandTween::isAnimating() const
{
    return m_delay != nullptr || (m_animation != nullptr && m_animation->state() == QAbstractAnimation::Running);
}

void BrandTween::stop()
{
    if (m_delay) {
        m_delay->disconnect(this);
        m_delay->stop();
        m_delay->deleteLater();
        m_delay = nullptr;
    }
    if (m_animation) {
        m_animation->disconnect(this);
        m_animation->stop();
        m_animation->deleteLater();
        m_animation = nullptr;
    }
}

void BrandTween::setValue(double value)
{
    if (value != m_value) {
        m_value = value;
        Q_EMIT valueChanged(value);
    }
}

void BrandTween::jumpTo(double target)
{
    stop();
    m_target = target;
    setValue(target);
}

void BrandTween::animateTo(double target, const QEasingCurve& curve, int durationMs, int delayMs)
{
    auto* animation = new QVariantAnimation(this);
    animation->setEasingCurve(curve);
    animation->setDuration(std::max(durationMs, 0));
    run(animation, target, delayMs);
}

void BrandTween::springTo(double target, BrandSpring spring)
{
    run(new SpringAnimation(spring, this), target, 0);
}

void BrandTween::run(QVariantAnimation* animation, double target, int delayMs)
{
    stop();
    m_target = target;
    if (animation->duration() <= 0 && delayMs <= 0) {
        delete animation;
        setValue(target);
        return;
    }
    m_animation = animation;
    connect(animation, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { setValue(value.toDouble()); });
    connect(animation, &QAbstractAnimation::finished, this, [this] { setValue(m_target); });
    auto begin = [this] {
        if (m_delay) {
            m_delay->deleteLater();
            m_delay = nullptr;
        }
        if (!m_animation) {
            return;
        }
        if (m_animation->duration() <= 0) {
            setValue(m_target);
            return;
        }
        m_animation->setStartValue(m_value);
        m_animation->setEndValue(m_target);
        m_animation->start();
    };
    if (delayMs > 0) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, begin);
        m_delay = timer;
        timer->start(delayMs);
    } else {
        begin();
    }
}

} // namespace kestravin
