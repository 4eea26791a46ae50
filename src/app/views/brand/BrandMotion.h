#pragma once

#include <QEasingCurve>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>

namespace kestravin {

// Curves and durations of the brand's movement.
namespace BrandMotion {

// The brand movement: cubic timing curve (0.23, 1) (0.32, 1).
QEasingCurve brandCurve();
// The platform's standard ease-out (0, 0, 0.58, 1) and ease-in (0.42, 0, 1, 1).
QEasingCurve easeOutCurve();
QEasingCurve easeInCurve();

// A cubic timing curve through (0,0), (x1,y1), (x2,y2), (1,1).
QEasingCurve cubicCurve(double x1, double y1, double x2, double y2);

} // namespace BrandMotion

// A damped spring described the way designers do: `response` is the period of
// the undamped oscillation in seconds, `dampingFraction` 1 is critical damping.
struct BrandSpring {
    double response = 0.5;
    double dampingFraction = 0.825;

    // Position from 0 towards 1 after `seconds`; may overshoot 1 when underdamped.
    double value(double seconds) const;
    // Time after which the spring stays within 0.1 % of its target.
    double settleSeconds() const;
};

// A QVariantAnimation that moves along a spring instead of an easing curve. Its
// duration is the spring's settle time; interpolation of the value type is Qt's,
// so rectangles, points and colours glide the same way.
class SpringAnimation : public QVariantAnimation {
    Q_OBJECT
public:
    explicit SpringAnimation(BrandSpring spring, QObject* parent = nullptr);

    const BrandSpring& spring() const { return m_spring; }

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    BrandSpring m_spring;
};

} // namespace kestravin

namespace kestravin {

// One animated number: jumps or eases from where it is now to a new target, and
// tells when it moves. A new target takes over from the current value mid-way.
class BrandTween : public QObject {
    Q_OBJECT
public:
    explicit BrandTween(double initial = 0.0, QObject* parent = nullptr);
    ~BrandTween() override;

    double value() const { return m_value; }
    double target() const { return m_target; }
    bool isAnimating() const;

    void jumpTo(double target);
    // Eases to `target` over `durationMs`, after `delayMs` (the value holds still
    // during the delay). A zero duration jumps at the end of the delay.
    void animateTo(double target, const QEasingCurve& curve, int durationMs, int delayMs = 0);
    void springTo(double target, BrandSpring spring);

Q_SIGNALS:
    void valueChanged(double value);

private:
    void stop();
    void setValue(double value);
    void run(QVariantAnimation* animation, double target, int delayMs);

    double m_value;
    double m_target;
    // Children of the tween, released with deleteLater: a finished signal may
    // start the next animation from inside the old one's emission.
    QPointer<QVariantAnimation> m_animation;
    QPointer<QTimer> m_delay;
};

} // namespace kestravin
