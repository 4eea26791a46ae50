#pragma once

#include "app/views/mascot/PikoPose.h"

#include <QImage>
#include <QSizeF>

#include <optional>

class QPainter;

namespace kestravin {

// Blurs an image in place (three box passes, close to a Gaussian of the given
// radius in device pixels).
void blurImage(QImage& image, double radius);

// Draws the mascot sprite of one width at one device pixel ratio. Everything
// that does not change from frame to frame (the three cut-out layers of the
// artwork, the two glows, the shadow) is drawn once and kept; a frame only
// places them.
class PikoRenderer {
public:
    PikoRenderer(double width, double devicePixelRatio);

    double width() const { return m_width; }
    double height() const { return m_width / 1.5; }
    QSizeF size() const { return QSizeF(width(), height()); }
    double devicePixelRatio() const { return m_ratio; }
    // How far glow and shadow reach past the sprite's frame on each side.
    double spill() const;
    bool hasArtwork() const { return !m_layers[0].image.isNull(); }

    // Centre of the tail glow, in sprite coordinates.
    QPointF glowCentre() const { return QPointF(0.39 * width(), 0.84 * height()); }
    QSizeF coreSize() const { return QSizeF(0.2 * width(), 0.22 * height()); }
    QSizeF haloSize() const { return coreSize() + QSizeF(40, 40); }

    // Draws the sprite with its frame's top-left at `origin` (in the painter's
    // current coordinates). `angles` places the wings; `lit` (0 to 1) is how far
    // the tail glow is switched on.
    void paint(QPainter& painter, const QPointF& origin, const PikoWings::Angles& angles, double lit) const;

    // The sprite at a pose, as a pose-sized image ready to be drawn (blurred and
    // faded as the pose asks). Used when the pose needs group opacity or blur.
    QImage composed(const PikoPose& pose, const PikoWings::Angles& angles, double lit) const;

private:
    // One cut-out piece of the artwork, cropped to its polygon, and where it goes
    // in the sprite's frame (points).
    struct Piece {
        QImage image;
        QRectF rect;
    };
    Piece layer(const QImage& artwork, const PikoPolygon& polygon) const;
    QImage glow(const QSizeF& ellipse, const QColor& color, double blurRadius) const;
    static QColor withAlpha(const QColor& color, double alpha);

    double m_width;
    double m_ratio;
    Piece m_layers[3];
    QImage m_halo;
    QImage m_core;
    QImage m_shadow;
};

} // namespace kestravin
