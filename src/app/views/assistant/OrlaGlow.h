#pragma once

#include "app/models/AssistantScenes.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/mascot/PikoClock.h"
#include "app/views/mascot/PikoSprite.h"

#include <QImage>
#include <QWidget>

namespace kestravin {

// The window's flat backdrop, #FBFAF8 in light and #1C1B19 in dark.
QColor desktopAIBackdrop(ColorScheme scheme);

// The warm radial light behind the mascot in the evaluating and answer scenes,
// with the mascot drawn over it: it breathes while a request is judged, swells
// once when access was allowed and stays small and faint otherwise. Only the
// breathing light redraws by itself, at most 30 times a second, and only while
// it is visible and motion is not reduced. Decorative.
class OrlaGlow : public QWidget {
    Q_OBJECT
public:
    using Mode = AssistantScenes::GlowMode;

    OrlaGlow(Mode mode, double mascotSize, QWidget* parent = nullptr, PikoClock clock = pikoMonotonicSeconds);

    Mode mode() const { return m_mode; }
    // Starts the scene's glow afresh: the breathing phase from now, the
    // opening from its small size.
    void restart(Mode mode);
    // The mascot in colour, or greyed for a refusal or failure.
    void setMascotLit(bool lit);
    // Leaves the mascot out while it flies in from another scene.
    void setMascotShown(bool shown);
    bool isMascotShown() const { return m_mascotShown; }
    // The mascot's square in this widget, and the mascot as it is drawn there.
    QRectF mascotRect() const;
    QImage mascotPicture();

    AssistantScenes::GlowFrame frame() const;
    bool isTicking() const { return m_frames.isRunning(); }
    static QColor glowColor(ColorScheme scheme);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void follow();
    const QImage& cachedLight(ColorScheme scheme, double ratio);
    const QImage& cachedMascot(double ratio);

    // The largest scale any mode reaches (the opened light).
    static constexpr double largestScale = 1.25;

    Mode m_mode;
    double m_mascotSize;
    bool m_lit = true;
    bool m_mascotShown = true;
    PikoClock m_clock;
    double m_started;
    BrandTween m_opened;
    PikoFrameClock m_frames;
    QImage m_light;
    ColorScheme m_lightScheme = ColorScheme::Light;
    QImage m_mascot;
    bool m_mascotLitCached = true;
};

} // namespace kestravin
