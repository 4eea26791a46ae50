#include "WeekBlockPainter.h"

#include "app/models/WeekGrid.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/RollingText.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr double blockRadius = 8;
constexpr double columnRadius = 10;
constexpr double gripMinimumHeight = 28;
constexpr double labelMinimumHeight = 12;

// Three box blurs of the alpha channel approximate a gaussian of `radius`.
void blurAlpha(QImage& image, int radius)
{
    if (radius < 1) {
        return;
    }
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(size_t(std::max(w, h)));
    const int r = std::max(1, radius / 2);
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> QRgb& {
                QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(horizontal ? o : i));
                return row[horizontal ? i : o];
            };
            for (int i = 0; i < inner; ++i) {
                line[size_t(i)] = qAlpha(at(i));
            }
            int sum = 0;
            for (int i = -r; i <= r; ++i) {
                sum += line[size_t(std::clamp(i, 0, inner - 1))];
            }
            for (int i = 0; i < inner; ++i) {
                const int a = sum / (2 * r + 1);
                at(i) = qRgba(0, 0, 0, a);
                sum += line[size_t(std::min(i + r + 1, inner - 1))] - line[size_t(std::max(i - r, 0))];
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
}

} // namespace

QColor WeekBlockPainter::hairline(ColorScheme scheme)
{
    QColor color = scheme == ColorScheme::Dark ? QColor(66, 61, 54) : QColor(232, 227, 219);
    color.setAlphaF(0.7f);
    return color;
}

QColor WeekBlockPainter::focusRing(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? QColor(242, 197, 120) : QColor(116, 96, 77);
}

void WeekBlockPainter::paintColumn(
    QPainter& painter, const QRectF& rect, double hourHeight, int firstHour, ColorScheme scheme)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = BrandShapes::continuousRect(rect, columnRadius);
    painter.fillPath(shape, BrandTokens::sunk(scheme));
    painter.setClipPath(shape);
    // Lines on whole pixel rows: y − 0.5 centres a 1-pt line on the row above y.
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(hairline(scheme), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    for (double y : WeekGrid::hairlineRows(hourHeight, firstHour)) {
        const double row = std::floor(rect.top() + y);
        painter.fillRect(QRectF(rect.left(), row, rect.width(), 1), pen.color());
    }
    painter.restore();
}

void WeekBlockPainter::paintCachedColumn(
    QPainter& painter, const QRectF& rect, double hourHeight, int firstHour, ColorScheme scheme)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QString key = u"%1x%2 %3 %4 %5 @%6"_s.arg(rect.width())
                            .arg(rect.height())
                            .arg(hourHeight)
                            .arg(firstHour)
                            .arg(int(scheme))
                            .arg(ratio);
    auto found = m_columns.find(key);
    if (found == m_columns.end()) {
        QImage image((rect.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter p(&image);
        paintColumn(p, QRectF(QPointF(0, 0), rect.size()), hourHeight, firstHour, scheme);
        p.end();
        found = m_columns.insert(key, QPixmap::fromImage(image));
    }
    painter.drawPixmap(rect.topLeft(), *found);
}

const QPixmap& WeekBlockPainter::surface(QSizeF size, qreal ratio)
{
    const QString key = u"%1x%2 @%3"_s.arg(size.width()).arg(size.height()).arg(ratio);
    auto found = m_surfaces.find(key);
    if (found != m_surfaces.end()) {
        return *found;
    }
    QImage image((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), size);
    const QPainterPath shape = BrandShapes::continuousRect(r, blockRadius);
    p.fillPath(shape, BrandTokens::accent());
    QLinearGradient sheen(r.topLeft(), r.bottomLeft());
    sheen.setColorAt(0, QColor(255, 255, 255, 46));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillPath(shape, sheen);
    p.end();
    return *m_surfaces.insert(key, QPixmap::fromImage(image));
}

QString WeekBlockPainter::labelText(MinuteRange range, double height)
{
    if (height < labelMinimumHeight) {
        return {};
    }
    return RollingTime::label(range.start) + u"–"_s + RollingTime::label(range.end);
}

QRectF WeekBlockPainter::labelRect(const QRectF& block, bool badgeShown)
{
    if (block.height() < labelMinimumHeight) {
        return {};
    }
    const QRectF inner = block.adjusted(7, 0, badgeShown ? -22 : -4, 0);
    if (block.height() < WeekGrid::compactHeight) {
        return inner;
    }
    return QRectF(inner.left(), block.top() + 5, inner.width(), 13);
}

QRectF WeekBlockPainter::labelRect(const QRectF& block, bool badgeShown, double textWidth)
{
    const QRectF beside = labelRect(block, badgeShown);
    if (!badgeShown || textWidth <= beside.width() || block.height() < WeekGrid::compactHeight) {
        return beside;
    }
    const QRectF wide = labelRect(block, false);
    return QRectF(wide.left(), badgeRect(block).bottom() + 2, wide.width(), wide.height());
}

QRectF WeekBlockPainter::badgeRect(const QRectF& block)
{
    const double h = block.height();
    const double s = WeekGrid::badgeSide(h);
    const double top = block.top() + (h < WeekGrid::compactHeight ? (h - s) / 2 : 3);
    return QRectF(block.right() - 3 - s, top, s, s);
}

std::pair<QRectF, QRectF> WeekBlockPainter::gripRects(const QRectF& block)
{
    if (block.height() < gripMinimumHeight) {
        return {};
    }
    const double x = block.center().x() - 8;
    return { QRectF(x, block.top() + 2, 16, 3), QRectF(x, block.bottom() - 5, 16, 3) };
}

const QPixmap& WeekBlockPainter::shadow(
    QSizeF size, double radius, double blur, const QColor& color, bool ring, qreal ratio)
{
    const QString key = u"%1x%2 r%3 b%4 %5 %6 @%7"_s.arg(size.width())
                            .arg(size.height())
                            .arg(radius)
                            .arg(blur)
                            .arg(color.name(QColor::HexArgb))
                            .arg(ring)
                            .arg(ratio);
    auto found = m_shadows.find(key);
    if (found != m_shadows.end()) {
        return *found;
    }
    const int margin = int(std::ceil(blur * 2));
    const QSize pixels = ((size + QSizeF(2 * margin, 2 * margin)) * ratio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(ratio, ratio);
        const QPainterPath shape = BrandShapes::continuousRect(QRectF(QPointF(margin, margin), size), radius);
        if (ring) {
            p.strokePath(shape, QPen(Qt::black, 2));
        } else {
            p.fillPath(shape, Qt::black);
        }
    }
    blurAlpha(image, int(std::round(blur * ratio)));
    // Tint: keep the blurred alpha, take the colour.
    QImage tinted(image.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.fill(color);
    {
        QPainter p(&tinted);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, image);
    }
    QPixmap pixmap = QPixmap::fromImage(tinted);
    pixmap.setDevicePixelRatio(ratio);
    return *m_shadows.insert(key, pixmap);
}

void WeekBlockPainter::paintBlock(QPainter& painter, const BlockLook& look, ColorScheme scheme)
{
    if (look.opacity <= 0 || look.rect.width() <= 0 || look.rect.height() <= 0) {
        return;
    }
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * look.opacity * (1.0 - 0.72 * look.dimmed));

    // Entrance stretch and lift act on the whole block with its decorations.
    const QRectF r = look.rect;
    const QPointF anchor(r.center().x(), look.scaleFromCentre ? r.center().y() : r.top());
    painter.translate(anchor);
    painter.scale(look.lift, look.lift * look.verticalScale);
    painter.translate(-anchor);

    // Drop shadow: resting (0.1, 1, y 1), raised when active (0.18, 5, y 3),
    // deep while a drop is lifted (0.28, 12, y 8).
    const double a = look.active;
    const double d = look.deepShadow;
    auto mixed
        = [&](double rest, double raised, double deep) { return (rest + (raised - rest) * a) * (1 - d) + deep * d; };
    const double shadowOpacity = mixed(0.1, 0.18, 0.28);
    const double shadowBlur = mixed(1, 5, 12);
    const double shadowY = mixed(1, 3, 8);
    {
        const double blur = std::round(shadowBlur);
        const QPixmap& pixmap = shadow(r.size(), blockRadius, blur, Qt::black, false, ratio);
        const double margin = std::ceil(blur * 2);
        painter.save();
        painter.setOpacity(painter.opacity() * shadowOpacity);
        painter.drawPixmap(r.topLeft() + QPointF(-margin, -margin + shadowY), pixmap);
        painter.restore();
    }

    // Surface: accent, then a white sheen fading downwards.
    painter.drawPixmap(r.topLeft(), surface(r.size(), ratio));

    const QString text = labelText(look.range, r.height());
    if (!text.isEmpty()) {
        painter.setPen(BrandTokens::onAccent());
        painter.setFont(BrandFonts::font(10, QFont::DemiBold));
        const QRectF label = labelRect(r, a > 0, painter.fontMetrics().horizontalAdvance(text));
        const int alignment
            = r.height() < WeekGrid::compactHeight ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignTop;
        painter.save();
        painter.setClipRect(r);
        painter.drawText(label, alignment | Qt::TextSingleLine,
            painter.fontMetrics().elidedText(text, Qt::ElideRight, int(std::max(0.0, label.width()))));
        painter.restore();
    }

    if (a > 0) {
        // Badge: fades in and grows from 80 % about its centre.
        const QRectF badge = badgeRect(r);
        painter.save();
        painter.setOpacity(painter.opacity() * a);
        const double scale = 0.8 + 0.2 * a;
        painter.translate(badge.center());
        painter.scale(scale, scale);
        painter.translate(-badge.center());
        painter.fillPath(BrandShapes::continuousRect(badge, 5), QColor(0, 0, 0, 26));
        if (const BrandImage* cross = BrandAssets::symbol(u"xmark"_s)) {
            const double glyph = badge.width() * 0.5;
            cross->renderTinted(painter, QRectF(badge.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
                BrandTokens::onAccent());
        }
        painter.restore();

        // Grips: shown at 28 pt and more, widening from 60 %.
        const auto [topGrip, bottomGrip] = gripRects(r);
        if (!topGrip.isEmpty()) {
            painter.save();
            painter.setOpacity(painter.opacity() * a);
            for (const QRectF& grip : { topGrip, bottomGrip }) {
                const double width = grip.width() * (0.6 + 0.4 * a);
                const QRectF scaled(grip.center().x() - width / 2, grip.top(), width, grip.height());
                painter.fillPath(BrandShapes::capsule(scaled), QColor(0, 0, 0, 71));
            }
            painter.restore();
        }
    }

    if (look.selected) {
        const QRectF ring = r.adjusted(-3, -3, 3, 3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::NoBrush);
        painter.strokePath(BrandShapes::strokeInside(ring, 10, 1.5), QPen(focusRing(scheme), 1.5));
    }

    if (look.glow > 0) {
        painter.save();
        painter.setOpacity(painter.opacity() * look.glow);
        QColor halo = BrandTokens::accent();
        halo.setAlphaF(0.8f);
        const QPixmap& glowPixmap = shadow(r.size(), blockRadius, 10, halo, true, ratio);
        painter.drawPixmap(r.topLeft() - QPointF(20, 20), glowPixmap);
        painter.strokePath(BrandShapes::continuousRect(r, blockRadius), QPen(BrandTokens::accent(), 2));
        painter.restore();
    }
    painter.restore();
}

} // namespace kestravin
