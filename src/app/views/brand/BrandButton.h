#pragma once

#include "app/views/brand/BrandMotion.h"
#include "app/views/brand/BrandMotionIcon.h"

#include <QAbstractButton>

namespace kestravin {

// The button of the whole application: a bordered rounded rectangle that
// lightens on hover, darkens slightly while pressed and fades when disabled. The
// prominent form is filled with the accent and shows a small dot that slides
// into its top-trailing corner on hover or keyboard focus.
//
// The label is the button's text with an optional symbol before or after it;
// icons in the label (and any BrandMotionIcon placed inside the button) move with
// the button's hover and press state, which `brandHovered`/`brandPressed` expose.
class BrandButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool prominent READ isProminent WRITE setProminent)

public:
    enum class IconPosition { Leading, Trailing };

    explicit BrandButton(const QString& text, bool prominent = false, QWidget* parent = nullptr);

    bool isProminent() const { return m_prominent; }
    void setProminent(bool prominent);

    // A symbol drawn in the label, e.g. ("arrow.right", Forward, Trailing).
    void setSymbol(const QString& name, BrandIconMotion motion, IconPosition position = IconPosition::Trailing);

    // The pointer is over the button (tracked whether or not it is enabled).
    bool isHovered() const { return m_hovered; }
    // What the label's icons see: hover and press count only on an enabled button.
    bool brandHovered() const { return m_hovered && isEnabled(); }
    bool brandPressed() const { return isDown() && isEnabled(); }

    // The corner dot: 0 hidden at its resting offset, 1 shown in its corner.
    double dotAmount() const { return m_dot.value(); }
    QPointF dotCentre() const;
    QColor labelColor() const;
    QColor fillColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void brandStateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void setHovered(bool hovered);
    // Drops a hover that the pointer has left without a Leave event.
    void forgetLeftHover();
    void updateDot(bool animated);
    void stateChanged();
    QSizeF labelSize() const;

    bool m_prominent = false;
    bool m_hovered = false;
    QString m_symbol;
    BrandIconMotion m_symbolMotion = BrandIconMotion::None;
    IconPosition m_symbolPosition = IconPosition::Trailing;
    BrandIconAnimator m_icon;
    BrandTween m_dot;
};

// The hover and press flags of the brand button that encloses `widget` (false
// outside a brand button).
bool brandHovered(const QWidget* widget);
bool brandPressed(const QWidget* widget);

} // namespace kestravin
