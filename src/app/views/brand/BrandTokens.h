#pragma once

#include "app/views/brand/Appearance.h"

#include <QColor>
#include <QEasingCurve>

class QWidget;

namespace kestravin {

// A timing curve with its duration: what a control hands to a QVariantAnimation.
struct BrandAnimation {
    QEasingCurve curve;
    int durationMs = 0;
};

// The shared visual vocabulary: the accent, the colour drawn on it, the brand
// movement curve and the recessed surface colour.
struct BrandTokens {
    BrandTokens() = delete;

    static QColor accent();
    static QColor onAccent();
    // The brand curve over 0.36 s.
    static const BrandAnimation& easeOut();

    // a + t × (b − a) per sRGB component, opaque. t is not clamped, so 1.5
    // extrapolates past b (the result is then an extended-range colour); the
    // inputs' opacities are ignored. An invalid colour makes the result `a`.
    static QColor mix(const QColor& a, const QColor& b, double t);
    static QColor sunk(ColorScheme scheme);
};

// The colours of the brand controls in one appearance.
struct BrandPalette {
    QColor paper;
    QColor ink;
    QColor highlight;
    QColor hairline;
    QColor mutedInk;
    QColor focusRing;
    QColor accentRing;

    static const BrandPalette& of(ColorScheme scheme);
    static const BrandPalette& current() { return of(Appearance::shared().colorScheme()); }
    // The palette `widget` draws in: the scheme fixed on it or on one of its
    // parents (setFixedScheme), otherwise the current appearance.
    static const BrandPalette& forWidget(const QWidget* widget);
    // Draws `widget` and everything inside it in `scheme`, whatever the
    // appearance (the browser shield's panel is always dark).
    static void setFixedScheme(QWidget* widget, ColorScheme scheme);
    static ColorScheme schemeOf(const QWidget* widget);
};

// Colour with each sRGB component moved by `amount` (−0.04 darkens slightly),
// the way a brightness adjustment acts on a pressed surface.
QColor brightened(const QColor& color, double amount);

// Colour at an opacity, keeping its RGB.
QColor withOpacity(QColor color, double opacity);

// Component-wise blend of two colours, alpha included; fraction 0 gives `from`.
QColor blend(const QColor& from, const QColor& to, double fraction);

} // namespace kestravin
