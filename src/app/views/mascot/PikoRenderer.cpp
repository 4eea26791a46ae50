#include "app/views/mascot/PikoRenderer.h"

#include "app/views/brand/BrandAssets.h"

#include <QPainter>

#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QColor haloColor(255, 202, 86);
const QColor coreColor(255, 201, 90);
const QColor shadowColor(255, 193, 75);
constexpr double haloOpacity = 0.22;
constexpr double haloBlur = 34.0;
constexpr double coreBlur = 10.0;
constexpr double shadowRadius = 11.0;
constexpr double shadowOpacity = 0.13;

// One box pass of half-width `r` along rows or columns of a premultiplied
// ARGB image, with a running sum per channel.
void boxPass(QImage& image, int r, bool horizontal, std::vector<quint32>& line)
{
    const int w = image.width();
    const int h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const qsizetype stride = image.bytesPerLine() / 4;
    quint32* bits = reinterpret_cast<quint32*>(image.bits());
    const qsizetype step = horizontal ? 1 : stride;
    line.resize(static_cast<size_t>(length));
    const int window = 2 * r + 1;
    for (int l = 0; l < lines; ++l) {
        quint32* start = horizontal ? bits + l * stride : bits + l;
        for (int i = 0; i < length; ++i) {
            line[static_cast<size_t>(i)] = start[i * step];
        }
        int a = 0, red = 0, green = 0, blue = 0;
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= length) {
                return;
            }
            const quint32 p = line[static_cast<size_t>(i)];
            a += sign * static_cast<int>(p >> 24);
            red += sign * static_cast<int>((p >> 16) & 0xff);
            green += sign * static_cast<int>((p >> 8) & 0xff);
            blue += sign * static_cast<int>(p & 0xff);
        };
        for (int i = -r; i <= r; ++i) {
            add(i, 1);
        }
        for (int i = 0; i < length; ++i) {
            start[i * step] = (static_cast<quint32>(a / window) << 24) | (static_cast<quint32>(red / window) << 16)
                | (static_cast<quint32>(green / window) << 8) | static_cast<quint32>(blue / window);
            add(i - r, -1);
            add(i + r + 1, 1);
        }
    }
}

} // namespace

void blurImage(QImage& image, double radius)
{
    // Three box passes of this half-width come close to a Gaussian whose
    // standard deviation is half the radius.
    const int r = static_cast<int>(std::lround(radius / 2.0));
    if (r <= 0 || image.isNull()) {
        return;
    }
    if (image.format() != QImage::Format_ARGB32_Premultiplied) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    std::vector<quint32> line;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(image, r, true, line);
        boxPass(image, r, false, line);
    }
}

PikoRenderer::PikoRenderer(double width, double devicePixelRatio) : m_width(width), m_ratio(devicePixelRatio)
{
    if (const BrandImage* artwork = BrandAssets::image(u"firefly-approved"_s)) {
        // Stretched to the 3:2 frame, whatever the artwork's own proportions.
        const QSize pixels(qCeil(width * m_ratio), qCeil(height() * m_ratio));
        const QImage full = artwork->rasterize(pixels);
        m_layers[0] = layer(full, PikoPolygon::wingA());
        m_layers[1] = layer(full, PikoPolygon::wingB());
        m_layers[2] = layer(full, PikoPolygon::body());
    }
    m_halo = glow(haloSize(), withAlpha(haloColor, haloOpacity), haloBlur);
    m_core = glow(coreSize(), coreColor, coreBlur);

    // The shadow is the resting sprite's silhouette, blurred and tinted.
    const double margin = shadowRadius * 2.0;
    QImage shadow(qCeil((width + 2 * margin) * m_ratio), qCeil((height() + 2 * margin) * m_ratio),
        QImage::Format_ARGB32_Premultiplied);
    shadow.setDevicePixelRatio(m_ratio);
    shadow.fill(Qt::transparent);
    {
        QPainter painter(&shadow);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const Piece& piece : m_layers) {
            if (!piece.image.isNull()) {
                painter.drawImage(piece.rect.translated(margin, margin), piece.image);
            }
        }
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(
            QRectF(0, 0, width + 2 * margin, height() + 2 * margin), withAlpha(shadowColor, shadowOpacity));
    }
    blurImage(shadow, shadowRadius * m_ratio);
    m_shadow = shadow;
}

QColor PikoRenderer::withAlpha(const QColor& color, double alpha)
{
    QColor result = color;
    result.setAlphaF(static_cast<float>(alpha));
    return result;
}

double PikoRenderer::spill() const
{
    // The halo reaches furthest: half its size plus its blur, past the glow centre.
    const double haloReach = haloSize().height() / 2.0 + haloBlur - 0.16 * height();
    return std::ceil(std::max(haloReach, shadowRadius * 2.0));
}

PikoRenderer::Piece PikoRenderer::layer(const QImage& artwork, const PikoPolygon& polygon) const
{
    const QPainterPath clip = polygon.path(QRectF(QPointF(), QSizeF(artwork.size())));
    // Only the polygon's bounds are kept: the wings are redrawn through a
    // perspective transform every frame, and their empty surroundings would cost
    // as much as their pixels.
    const QRect bounds = clip.boundingRect().toAlignedRect().intersected(artwork.rect());
    QImage piece(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    piece.fill(Qt::transparent);
    QPainter painter(&piece);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-bounds.topLeft());
    painter.setClipPath(clip);
    painter.drawImage(0, 0, artwork);
    painter.end();
    piece.setDevicePixelRatio(m_ratio);
    const QRectF rect(QPointF(bounds.topLeft()) / m_ratio, QSizeF(bounds.size()) / m_ratio);
    return Piece { piece, rect };
}

QImage PikoRenderer::glow(const QSizeF& ellipse, const QColor& color, double blurRadius) const
{
    const double margin = blurRadius * 1.5;
    const QSizeF total = ellipse + QSizeF(2 * margin, 2 * margin);
    QImage image(qCeil(total.width() * m_ratio), qCeil(total.height() * m_ratio), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(m_ratio, m_ratio);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(QPointF(margin, margin), ellipse));
    }
    blurImage(image, blurRadius * m_ratio);
    image.setDevicePixelRatio(m_ratio);
    return image;
}

void PikoRenderer::paint(QPainter& painter, const QPointF& origin, const PikoWings::Angles& angles, double lit) const
{
    painter.save();
    painter.translate(origin);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);

    const double shadowMargin = shadowRadius * 2.0;
    painter.drawImage(QRectF(QPointF(-shadowMargin, -shadowMargin), m_shadow.deviceIndependentSize()), m_shadow);

    const double baseOpacity = painter.opacity();
    auto drawGlow = [&](const QImage& image, double opacity) {
        if (opacity <= 0.0) {
            return;
        }
        QRectF rect(QPointF(), image.deviceIndependentSize());
        rect.moveCenter(glowCentre());
        painter.setOpacity(baseOpacity * opacity);
        painter.drawImage(rect, image);
    };
    drawGlow(m_halo, lit);
    drawGlow(m_core, 0.55 + 0.40 * lit);
    painter.setOpacity(baseOpacity);

    if (hasArtwork()) {
        const QTransform base = painter.transform();
        painter.setTransform(PikoWings::wingATransform(angles, size()) * base);
        painter.drawImage(m_layers[0].rect, m_layers[0].image);
        painter.setTransform(PikoWings::wingBTransform(angles, size()) * base);
        painter.drawImage(m_layers[1].rect, m_layers[1].image);
        painter.setTransform(base);
        painter.drawImage(m_layers[2].rect, m_layers[2].image);
    }
    painter.restore();
}

QImage PikoRenderer::composed(const PikoPose& pose, const PikoWings::Angles& angles, double lit) const
{
    const double margin = spill() + pose.blur * 2.0;
    const QSizeF canvas = size() + QSizeF(2 * margin, 2 * margin);
    // A blurred sprite has no detail to lose at one pixel per point; composing
    // it there costs a quarter of the work at pixel ratio 2.
    const double ratio = pose.blur > 0.0 ? 1.0 : m_ratio;
    QImage image(qCeil(canvas.width() * ratio), qCeil(canvas.height() * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paint(painter, QPointF(margin, margin), angles, lit);
    }
    if (pose.blur > 0.0) {
        blurImage(image, pose.blur * ratio);
        image.setDevicePixelRatio(ratio);
    }
    return image;
}

} // namespace kestravin
