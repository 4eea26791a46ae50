#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QObject>
#include <QPointer>

class QAbstractButton;

namespace kestravin {

// Press feedback without colour, padding or shape of its own: the button's label
// scales about its centre to 0.96 while pressed (easing out over 0.1 s), and
// stays at 1 under reduce motion. The button reads `scale()` when it paints.
class LinkPressStyle : public QObject {
    Q_OBJECT
public:
    // Follows `button`'s pressed state and repaints it; lives as long as the button.
    explicit LinkPressStyle(QAbstractButton* button);

    double scale() const { return m_scale.value(); }

    static double scaleFor(bool pressed, bool reduceMotion) { return pressed && !reduceMotion ? 0.96 : 1.0; }

private:
    void follow();

    QPointer<QAbstractButton> m_button;
    BrandTween m_scale;
};

} // namespace kestravin
