#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace kestravin::OrlaStatusIcon {

inline constexpr int logicalSize = 18;

// The tray figure: two stroked wings over a round body, filled while blocking
// is on and hollow otherwise, 18 × 18 logical pixels drawn at `pixelRatio`.
// Panels do not tint icons here, so the caller picks the colour.
QImage image(bool active, qreal pixelRatio = 1.0, const QColor& color = Qt::black);

// "Kestravin: bloqueando agora" or "Kestravin: livre agora".
QString accessibilityDescription(bool active);

} // namespace kestravin::OrlaStatusIcon
