#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QPointer>
#include <QWidget>

namespace kestravin {

class BrandButton;

// How an icon inside a brand button answers the button's hover.
enum class BrandIconMotion { None, Forward, Settings };

// Where an icon sits and how it is turned and scaled at a moment of its motion.
struct BrandIconPlacement {
    double offsetX = 0.0;
    double rotation = 0.0;
    double scale = 1.0;

    bool operator==(const BrandIconPlacement&) const = default;
};

// The animated hover and press amounts (0 to 1) of one icon, shared by the
// standalone icon widget and the icon a brand button paints in its label.
class BrandIconAnimator : public QObject {
    Q_OBJECT
public:
    explicit BrandIconAnimator(QObject* parent = nullptr);

    // Follows new flags: hover changes ride the brand curve over 0.16 s, press
    // changes ease out over 0.1 s; under reduce motion nothing moves.
    void setFlags(bool hovered, bool pressed);
    BrandIconPlacement placement(BrandIconMotion motion) const;

    // The placement for given amounts, motion and reduce-motion setting.
    static BrandIconPlacement placementFor(BrandIconMotion motion, double hover, double press, bool reduceMotion);

Q_SIGNALS:
    void changed();

private:
    BrandTween m_hover;
    BrandTween m_press;
};

// A symbol that nudges forward, turns or shrinks with the brand button it sits
// in (outside a brand button it stays still). Decorative: the button names the
// action. Its colour is the widget's text colour, or the button's label colour.
class BrandMotionIcon : public QWidget {
    Q_OBJECT
public:
    BrandMotionIcon(const QString& name, BrandIconMotion motion, QWidget* parent = nullptr);

    QString name() const { return m_name; }
    BrandIconMotion motion() const { return m_motion; }
    BrandIconPlacement placement() const { return m_animator.placement(m_motion); }

    QSize sizeHint() const override;

    // Draws a symbol at `rect` with a placement, filled with `color`.
    static void paintSymbol(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color,
        const BrandIconPlacement& placement);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void attachToButton();
    void followButton();

    QString m_name;
    BrandIconMotion m_motion;
    BrandIconAnimator m_animator;
    QPointer<BrandButton> m_button;
    QMetaObject::Connection m_buttonConnection;
};

} // namespace kestravin
