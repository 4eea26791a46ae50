#pragma once

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/onboarding/OnboardingValues.h"

#include <QAbstractButton>
#include <QGraphicsEffect>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;

namespace kestravin {

class BrandButton;
class PikoActivity;
class PikoRenderer;
class RollingText;

// The wizard's colours in one appearance.
struct OnboardingColors {
    QColor paper;
    QColor ink;
    QColor quiet;
    QColor hairline;
    QColor gold;

    static const OnboardingColors& of(ColorScheme scheme);
    static const OnboardingColors& forWidget(const QWidget* widget);
};

// Lets `widget` keep its place in its layout while hidden.
void keepPlaceWhenHidden(QWidget* widget);

// Draws a widget faded, shifted and blurred as one picture: a step sliding out,
// a text rising in. At rest it steps aside, so a still screen costs nothing.
class StageEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit StageEffect(QObject* parent = nullptr);

    void setLook(const ItemLook& look, double offsetX = 0.0);
    const ItemLook& look() const { return m_look; }
    double offsetX() const { return m_offsetX; }
    bool atRest() const;

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    ItemLook m_look;
    double m_offsetX = 0.0;
};

// Moves a widget's look (opacity, vertical offset, blur) to a new one, at once
// or along a curve after a delay.
class LookAnimator : public QObject {
    Q_OBJECT
public:
    LookAnimator(QWidget* target, const ItemLook& initial);

    void jumpTo(const ItemLook& look);
    void animateTo(const ItemLook& look, const QEasingCurve& curve, int durationMs, int delayMs = 0);
    ItemLook current() const;
    const ItemLook& target() const { return m_to; }
    bool isAnimating() const { return m_progress.isAnimating(); }

private:
    void apply();

    StageEffect* m_effect;
    ItemLook m_from;
    ItemLook m_to;
    BrandTween m_progress;
};

// The entrance of an item of the sites step: it rises 10 points and fades in,
// one item after another, when the content of its step is revealed, and it is
// gone at once when the content is held back. Whether the content shows is the
// `riseVisible` of the nearest enclosing widget that sets it (true elsewhere).
class RiseIn : public QObject {
    Q_OBJECT
public:
    RiseIn(QWidget* target, int order);

    int order() const { return m_order; }
    bool isShown() const { return m_shown; }
    const LookAnimator& animator() const { return m_animator; }

    // Sets the flag on `root` and moves every rising item inside it.
    static void setRiseVisible(QWidget* root, bool visible);
    static bool riseVisible(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(bool animated);

    QPointer<QWidget> m_target;
    int m_order;
    bool m_shown = true;
    LookAnimator m_animator;
};

// Applies the entrance of order `order` to `widget`.
RiseIn* riseIn(QWidget* widget, int order);

// A text or block of a night screen that rises in when its screen is ready and
// leaves, one after another, when the screen goes.
class WelcomeItem : public QObject {
    Q_OBJECT
public:
    WelcomeItem(QWidget* target, int index, double readyDelay, WelcomePhase phase);

    void setPhase(WelcomePhase phase);
    WelcomePhase phase() const { return m_phase; }
    const LookAnimator& animator() const { return m_animator; }

private:
    int m_index;
    double m_readyDelay;
    WelcomePhase m_phase;
    LookAnimator m_animator;
};

WelcomeItem* welcomeItem(QWidget* widget, WelcomePhase phase, int index, double readyDelay);

// The title and optional subtitle at the top of each day step.
class StepHeader : public QWidget {
    Q_OBJECT
public:
    StepHeader(const QString& title, const std::optional<QString>& subtitle, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QLabel* subtitleLabel() const { return m_subtitle; }
    void setSubtitle(const QString& subtitle);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    QLabel* m_title;
    QLabel* m_subtitle = nullptr;
};

// The row of the four day steps at the top of the wizard: a dot and a name for
// each, joined by short rules; the current dot glows in gold, the passed ones
// are filled. The current dot can be hidden (while the dawn flies the mascot
// onto it) and pulses once on request; when the step changes between two day
// steps the mascot's light flies from the old dot to the new one. Read by
// assistive technology as one text, "Etapa 2 de 4: Horários".
class OnboardingProgress : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingProgress(int step, QWidget* parent = nullptr);

    int step() const { return m_step; }
    void setStep(int step);
    void setDotHidden(bool hidden);
    bool dotHidden() const { return m_dotHidden; }
    // Plays one pulse around the current dot.
    void pulse();

    // Centre of a step's dot, in this widget's coordinates.
    QPointF dotCentre(int step) const;
    // The pulse disc now: scale of the 6-point disc and its opacity.
    double pulseScale() const;
    double pulseOpacity() const;
    // The light between two dots: where it is now, and whether it flies.
    bool isFlying() const { return m_trip.isAnimating(); }
    QPointF lightPosition() const;
    bool animating() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Item {
        int step;
        QRectF dot;
        QPointF labelOrigin;
    };
    QList<Item> layoutItems() const;

    int m_step;
    bool m_dotHidden = false;
    BrandTween m_pulse { 1.0 };
    BrandTween m_trip { 1.0 };
    int m_tripFrom = 0;
    int m_tripTo = 0;
};

// The wizard's quiet button, in one of two looks. By day (the footer's
// "Voltar") it is plain text that gains ink and a sunk pill under the pointer;
// by night (the done screen's "Fechar") a hairline pill at least 176 wide that
// lightens under the pointer and darkens slightly while pressed.
class QuietButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Look { day, night };

    explicit QuietButton(const QString& text, Look look = Look::day, QWidget* parent = nullptr);

    Look look() const { return m_look; }
    bool isHovered() const { return m_hovered; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintDay(QPainter& painter);
    void paintNight(QPainter& painter);

    Look m_look;
    bool m_hovered = false;
};

// The bar under every day step: "Voltar" on the left (kept in place but gone on
// the first day step), the hint rolling in the middle, the continue button on
// the right with the mascot at work inside it while the daemon installs.
class OnboardingFooter : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingFooter(QWidget* parent = nullptr);

    struct State {
        bool first = false;
        bool canNext = true;
        QString nextLabel;
        QString hint;
        bool installing = false;
        bool operator==(const State&) const = default;
    };
    void setState(const State& state);
    const State& state() const { return m_state; }

    QuietButton* backButton() const { return m_back; }
    BrandButton* continueButton() const { return m_next; }
    RollingText* hintText() const { return m_hint; }
    PikoActivity* activity() const { return m_activity; }

Q_SIGNALS:
    void backClicked();
    void nextClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeActivity();

    State m_state;
    QuietButton* m_back;
    RollingText* m_hint;
    BrandButton* m_next;
    PikoActivity* m_activity;
};

// The dawn between the welcome screen and the first day step: the night (a
// copy of the welcome screen) is cut away by a growing circle of light around
// the mascot as it flies to the first step's dot. The night picture is taken
// once; each frame punches the hole into a copy of it. Click-through.
class DawnOverlay : public QWidget {
    Q_OBJECT
public:
    explicit DawnOverlay(QWidget* parent = nullptr);
    ~DawnOverlay() override;

    // `night` gives the picture cut away (asked for every frame, so it may
    // move); `origin` is the mascot's frame on the welcome screen and `target`
    // where it lands, both in this widget.
    void start(std::function<QImage()> night, const QRectF& origin, const QPointF& target);
    void setProgress(double progress);
    double progress() const { return m_progress; }
    DawnFrame frame() const;

    // The night with its hole for the current progress (device pixels).
    QImage punchedNight() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<QImage()> m_night;
    QRectF m_origin;
    QPointF m_target;
    double m_progress = 0.0;
    std::unique_ptr<PikoRenderer> m_renderer;
};

} // namespace kestravin
