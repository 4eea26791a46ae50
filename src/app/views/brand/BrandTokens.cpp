#include "app/views/brand/BrandTokens.h"

#include "app/views/brand/BrandMotion.h"

#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace kestravin {

QColor BrandTokens::accent()
{
    return QColor(248, 189, 82);
}

QColor BrandTokens::onAccent()
{
    return QColor(32, 33, 36);
}

const BrandAnimation& BrandTokens::easeOut()
{
    static const BrandAnimation animation { BrandMotion::brandCurve(), 360 };
    return animation;
}

QColor BrandTokens::mix(const QColor& a, const QColor& b, double t)
{
    if (!a.isValid()) {
        return a;
    }
    if (!b.isValid()) {
        return a;
    }
    const QColor from = a.toExtendedRgb();
    const QColor to = b.toExtendedRgb();
    auto lerp = [t](float x, float y) { return static_cast<float>(x + t * (static_cast<double>(y) - x)); };
    QColor result = QColor::fromRgbF(
        lerp(from.redF(), to.redF()), lerp(from.greenF(), to.greenF()), lerp(from.blueF(), to.blueF()), 1.0f);
    return result;
}

QColor BrandTokens::sunk(ColorScheme scheme)
{
    const BrandPalette& palette = BrandPalette::of(scheme);
    return mix(palette.paper, palette.ink, scheme == ColorScheme::Dark ? 0.07 : 0.045);
}

namespace {
constexpr const char* fixedSchemeProperty = "kestravinFixedScheme";
} // namespace

ColorScheme BrandPalette::schemeOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant fixed = w->property(fixedSchemeProperty);
        if (fixed.isValid()) {
            return fixed.toInt() == int(ColorScheme::Dark) ? ColorScheme::Dark : ColorScheme::Light;
        }
    }
    return Appearance::shared().colorScheme();
}

const BrandPalette& BrandPalette::forWidget(const QWidget* widget)
{
    return of(schemeOf(widget));
}

void BrandPalette::setFixedScheme(QWidget* widget, ColorScheme scheme)
{
    widget->setProperty(fixedSchemeProperty, int(scheme));
    widget->update();
}

const BrandPalette& BrandPalette::of(ColorScheme scheme)
{
    static const BrandPalette light {
        QColor(255, 254, 252),
        QColor(44, 41, 37),
        QColor(255, 245, 223),
        QColor(232, 227, 219),
        QColor(113, 107, 99),
        QColor(116, 96, 77),
        QColor(177, 122, 32),
    };
    static const BrandPalette dark {
        QColor(40, 38, 35),
        QColor(250, 247, 241),
        QColor(58, 48, 33),
        QColor(66, 61, 54),
        QColor(189, 182, 172),
        QColor(242, 197, 120),
        QColor(248, 189, 82),
    };
    return scheme == ColorScheme::Dark ? dark : light;
}

QColor brightened(const QColor& color, double amount)
{
    auto shift = [amount](float c) { return static_cast<float>(std::clamp(c + amount, 0.0, 1.0)); };
    const QColor rgb = color.toRgb();
    return QColor::fromRgbF(shift(rgb.redF()), shift(rgb.greenF()), shift(rgb.blueF()), rgb.alphaF());
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(std::clamp(opacity, 0.0, 1.0)));
    return color;
}

QColor blend(const QColor& from, const QColor& to, double fraction)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    auto lerp = [fraction](float x, float y) {
        return static_cast<float>(std::clamp(x + fraction * (static_cast<double>(y) - x), 0.0, 1.0));
    };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()), lerp(a.blueF(), b.blueF()),
        lerp(a.alphaF(), b.alphaF()));
}

} // namespace kestravin
