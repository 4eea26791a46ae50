#pragma once

#include "app/views/brand/BrandMotion.h"
#include "app/views/mascot/PikoClock.h"
#include "app/views/mascot/PikoRenderer.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace kestravin {

// Drives the repaints of a moving mascot: ticks at most 60 times a second, and
// only while something moves.
class PikoFrameClock : public QObject {
    Q_OBJECT
public:
    // `intervalMs` 16 gives 60 frames a second at most.
    explicit PikoFrameClock(int intervalMs = 16, QObject* parent = nullptr);

    void setRunning(bool running);
    bool isRunning() const { return m_timer.isActive(); }

Q_SIGNALS:
    void tick();

private:
    QTimer m_timer;
};

// Keeps one renderer for a width and follows the widget's device pixel ratio.
class PikoRendererCache {
public:
    explicit PikoRendererCache(double width) : m_width(width) { }
    const PikoRenderer& get(double devicePixelRatio);
    double width() const { return m_width; }

private:
    double m_width;
    std::unique_ptr<PikoRenderer> m_renderer;
};

// The firefly mascot Piko drawn from its artwork cut into two wings and a body.
// While it flies the wings flap in three dimensions at slightly different rates;
// the tail glow brightens when it is lit (fading over 0.6 s). Under reduce motion,
// or at rest, the wings stay still and no frame timer runs. The widget leaves
// room around the width × width/1.5 sprite for the glow and shadow (`spill`).
// Decorative.
class PikoSprite : public QWidget {
    Q_OBJECT
public:
    PikoSprite(double width, bool flying, bool lit, QWidget* parent = nullptr);

    double spriteWidth() const { return m_cache.width(); }
    double spriteHeight() const { return m_cache.width() / 1.5; }
    // Where the sprite's frame sits inside the widget.
    QRectF spriteRect() const;
    double spill() const;

    bool isFlying() const { return m_flying; }
    void setFlying(bool flying);
    bool isLit() const { return m_lit; }
    void setLit(bool lit);
    // 0 dark to 1 lit, fading.
    double litAmount() const { return m_litAmount.value(); }

    // Flapping now: flying and motion allowed.
    bool isAnimating() const;
    bool frameTimerRunning() const { return m_frames.isRunning(); }
    PikoWings::Angles wingAngles() const;

    void setClock(PikoClock clock) { m_clock = std::move(clock); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateTimer();

    PikoRendererCache m_cache;
    bool m_flying;
    bool m_lit;
    BrandTween m_litAmount;
    PikoFrameClock m_frames;
    PikoClock m_clock;
};

// Plays a flight of the mascot: `progress` from 0 to 1 (animated by the caller)
// moves the sprite along its arc into its resting place; the wings flap while
// 0 < progress < 1. Meant as a transparent, click-through overlay, since a
// flight starts far from the resting place; `restOrigin` is where the sprite's
// frame sits at rest (centred by default).
class FlyingPiko : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double progress READ progress WRITE setProgress)
public:
    FlyingPiko(const PikoArc& arc, double width, bool lit, QWidget* parent = nullptr);

    double progress() const { return m_progress; }
    void setProgress(double progress);
    bool isLit() const { return m_lit; }
    void setLit(bool lit);

    void setRestOrigin(const QPointF& origin);
    QPointF restOrigin() const;

    const PikoArc& arc() const { return m_arc; }
    bool isFlying() const { return m_progress > 0.0 && m_progress < 1.0; }
    PikoPose currentPose() const;
    PikoWings::Angles wingAngles() const;
    bool frameTimerRunning() const { return m_frames.isRunning(); }
    void setClock(PikoClock clock) { m_clock = std::move(clock); }

    // Draws the current frame at a device pixel ratio (also used to measure it).
    void paintFrame(QPainter& painter, double devicePixelRatio);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateTimer();

    PikoArc m_arc;
    PikoRendererCache m_cache;
    bool m_lit;
    double m_litAmount;
    double m_progress = 0.0;
    std::optional<QPointF> m_restOrigin;
    PikoFrameClock m_frames;
    PikoClock m_clock;
};

// The dark backdrop of the mascot's scenes: near-black with one soft warm glow
// a little above the middle.
class NightBackground : public QWidget {
    Q_OBJECT
public:
    explicit NightBackground(QWidget* parent = nullptr);

    static QColor baseColor() { return QColor(12, 13, 11); }
    // The glow's ellipse for a size: 1.2 W × H centred at (0.5 W, 0.38 H).
    static QRectF glowRect(const QSizeF& size);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A tiny activity indicator in the mascot's manner: a 3-point dot in an 18 × 18
// box that, once activated, waits 0.3 s and then swings sideways like a hovering
// firefly for 2.7 s before resting in the middle. Under reduce motion it stays
// still. Decorative.
class PikoActivity : public QWidget {
    Q_OBJECT
public:
    explicit PikoActivity(bool active, QWidget* parent = nullptr);

    bool isActive() const { return m_active; }
    void setActive(bool active);
    bool isTraveling() const { return m_traveling; }
    bool frameTimerRunning() const { return m_frames.isRunning(); }

    // Sideways offset of the dot now.
    double offset() const;
    static double offsetAt(double elapsed, bool traveling, bool reduceMotion);
    QColor dotColor() const;

    void setClock(PikoClock clock) { m_clock = std::move(clock); }

    QSize sizeHint() const override { return QSize(18, 18); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool swingWanted() const;
    void restartSwing();
    void setTraveling(bool traveling);

    bool m_active;
    bool m_traveling = false;
    bool m_swingWanted = false;
    double m_started = 0.0;
    quint64 m_generation = 0;
    PikoFrameClock m_frames;
    PikoClock m_clock;
};

} // namespace kestravin
