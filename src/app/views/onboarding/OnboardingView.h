#pragma once

#include "app/models/OnboardingPolicy.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/onboarding/OnboardingSteps.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QKeyEvent;

namespace kestravin {

class DawnCover;
class DawnOverlay;
class DoneStep;
class KeyDownMonitor;
class NightBackground;
class OnboardingFooter;
class OnboardingProgress;
class StageEffect;
class WelcomeStep;

// What a key press does in the wizard.
enum class OnboardingKey { pass, signIn, next, back };

// Return signs in on the welcome screen once it is ready and moves forward on a
// day step; Esc steps back from the hours, permission and goals steps unless
// the week grid keeps it for its own edit. Neither is taken from a text field
// that holds text, and neither does anything on the done screen.
OnboardingKey decideOnboardingKey(int key, int step, bool typing, bool welcomeReady, bool weekActive);

// The first-run wizard's content: the paper, the night backdrop of the welcome
// and done screens, the current screen (the night screens, or a day step framed
// by the progress row and the footer) and the dawn between the welcome screen
// and the first day step. It shows the wizard's state as given and reports
// what the user does; the wizard's model decides.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize windowSize { 880, 720 };

    // The step's raw values: welcome 0, sites 1, hours 2, permission 3,
    // missions 4, done 5.
    struct State {
        int step = 0;
        // How the day step is drawn during a transition.
        double opacity = 1.0;
        double x = 0.0;
        double blur = 0.0;
        bool welcomeReady = false;
        // The mascot's frame on the welcome screen while the dawn runs.
        std::optional<QRectF> dawn;
        double dawnProgress = 0.0;
        bool sitesRevealed = true;
        bool dotHidden = false;
        int dotPulse = 0;
        std::optional<OnboardingPolicy::Preset> preset;
        std::optional<int> presetPulse;
        bool weekActive = false;
        bool permitted = false;
        bool installing = false;
        std::optional<QString> permissionMessage;
        bool canNext = true;
        QString nextLabel = QStringLiteral("Continuar");
        QString hint;
    };

    explicit OnboardingView(const OnboardingStepServices& services, QWidget* parent = nullptr);
    ~OnboardingView() override;

    void setState(const State& state);
    const State& state() const { return m_state; }

    // The screen on show: a WelcomeStep, a DoneStep or the day step's view.
    QWidget* screen() const { return m_screen; }
    QWidget* dayStep() const { return m_dayStep; }
    OnboardingProgress* progress() const { return m_progress; }
    OnboardingFooter* footer() const { return m_footer; }
    DawnOverlay* dawnOverlay() const { return m_overlay; }
    NightBackground* nightBackground() const { return m_night; }
    double nightOpacity() const { return m_nightOpacity.value(); }

    // Handles a key press of the window; true when it was used.
    bool handleKey(QKeyEvent* event);

Q_SIGNALS:
    void nextRequested();
    void backRequested();
    void signInRequested();
    void closeRequested();
    void presetChosen(OnboardingPolicy::Preset preset);
    void weekEdited();
    void weekActiveChanged(bool active);
    void helperFound();
    void helperLost();
    void approvalHelpRequested();
    void welcomeMeasured(const QRectF& frame);
    void welcomeReady();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildScreen();
    QWidget* buildDayStep(int step);
    void applyState(const State& previous);
    void layoutLayers();
    void updateDawn(const State& previous);
    static bool typing();

    OnboardingStepServices m_services;
    State m_state;
    NightBackground* m_night;
    BrandTween m_nightOpacity { 1.0 };
    QWidget* m_screen = nullptr;
    // Day chrome.
    QWidget* m_stage = nullptr;
    OnboardingProgress* m_progress = nullptr;
    QWidget* m_stepHost = nullptr;
    QWidget* m_dayStep = nullptr;
    StageEffect* m_look = nullptr;
    OnboardingFooter* m_footer = nullptr;
    // Dawn.
    DawnOverlay* m_overlay;
    DawnCover* m_cover = nullptr;
    KeyDownMonitor* m_keys;
};

} // namespace kestravin
