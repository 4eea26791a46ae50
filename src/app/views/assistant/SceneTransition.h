#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QGraphicsEffect>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestravin {

// How a scene of the assistant window is drawn while the stage changes: faded
// and scaled about the top centre (a scene coming in) or the centre (a scene
// going out).
struct SceneLook {
    double opacity = 1.0;
    double scale = 1.0;
    bool anchoredAtTop = false;
    bool operator==(const SceneLook&) const = default;
};

namespace SceneMotion {

// `progress` runs from 0 to 1 along the transition's curve. The scene coming in
// grows from 0.97 of its size, anchored at its top, as it fades in; the one going
// out grows to 1.02 about its centre as it fades out. Under reduce motion both
// only fade.
SceneLook entering(double progress, bool reduceMotion);
SceneLook leaving(double progress, bool reduceMotion);

// The brand curve over 0.5 s, or an ease-out of 0.18 s under reduce motion.
int durationMs(bool reduceMotion);
QEasingCurve curve(bool reduceMotion);

} // namespace SceneMotion

// Draws a widget with a `SceneLook`; at rest it steps aside.
class SceneEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit SceneEffect(QObject* parent = nullptr);
    void setLook(const SceneLook& look);
    const SceneLook& look() const { return m_look; }

protected:
    void draw(QPainter* painter) override;

private:
    SceneLook m_look;
};

// The change from one scene of the assistant window to the next: the old scene
// as a picture over the new one while the new one comes in, and the mascot
// flying from its place in the old scene to its place in the new one. Lies over
// the whole view, lets clicks through and is not read by assistive technology.
class SceneTransition : public QWidget {
    Q_OBJECT
public:
    explicit SceneTransition(QWidget* parent);

    struct Flight {
        // The mascot's square in the old and the new scene, in this widget.
        QRectF from;
        QRectF to;
        // Hides the new scene's own mascot during the flight and shows it on landing.
        std::function<void(bool shown)> showLanded;
        // The mascot as each scene draws it (in colour, or greyed for a
        // refusal): the one fades into the other on the way. Without them the
        // artwork itself flies.
        QImage fromPicture;
        QImage toPicture;
    };

    // Plays the change from `leaving` (the picture of the old scene) to the live
    // `entering` page. A change that runs is finished first.
    void play(const QPixmap& leaving, QWidget* entering, std::optional<Flight> flight);
    // Ends the change at once, with the new scene as it is at rest.
    void finish();

    bool isRunning() const { return m_progress.isAnimating(); }
    double progress() const { return m_progress.value(); }
    // The mascot's square now (none without a flight or at rest).
    std::optional<QRectF> mascotRect() const;
    SceneLook enteringLook() const;
    const QPixmap& leavingPicture() const { return m_leaving; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void step();

    BrandTween m_progress { 1.0 };
    bool m_reduced = false;
    QPixmap m_leaving;
    QPointer<QWidget> m_entering;
    QPointer<SceneEffect> m_effect;
    std::optional<Flight> m_flight;
};

} // namespace kestravin
