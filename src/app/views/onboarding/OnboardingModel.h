#pragma once

#include "app/models/OnboardingPolicy.h"

#include <QDateTime>
#include <QObject>
#include <QRectF>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

namespace kestravin {

class OnboardingServices;

// How the current step's content is drawn while steps change.
struct StageLook {
    double opacity = 1;
    // Horizontal offset of the content.
    double x = 0;
    // Blur radius.
    double blur = 0;

    static constexpr StageLook rest() { return {}; }
    bool operator==(const StageLook&) const = default;
};

// How a view moves to a newly published value: at once, or animated with
// this curve and duration.
struct StageMotion {
    enum class Curve : quint8 { none, easeIn, entrance, linear };

    Curve curve = Curve::none;
    std::chrono::milliseconds duration { 0 };

    static constexpr StageMotion instant() { return {}; }
    bool operator==(const StageMotion&) const = default;
};

// The hours step hands the last preset application to the week editor, which
// animates the blocks just applied whenever a new pulse arrives.
struct WeekPresetPulse {
    // Grows by one with every application within one wizard.
    int tick = 0;
    QDateTime at;

    bool operator==(const WeekPresetPulse&) const = default;
};

// The state of the first-run wizard and the rules for moving through it. The
// window controller creates one per window; the wizard's screens observe it and
// call its operations. It saves nothing itself: the presets, the finish and the
// screens' own editors save through the services.
class OnboardingModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(int step READ stepValue NOTIFY stepChanged)
    Q_PROPERTY(bool welcomeReady READ welcomeReady WRITE setWelcomeReady NOTIFY welcomeReadyChanged)
    Q_PROPERTY(double dawnProgress READ dawnProgress NOTIFY dawnProgressChanged)
    Q_PROPERTY(bool sitesRevealed READ sitesRevealed NOTIFY sitesRevealedChanged)
    Q_PROPERTY(bool dotHidden READ dotHidden NOTIFY dotHiddenChanged)
    Q_PROPERTY(int dotPulse READ dotPulse NOTIFY dotPulseChanged)
    Q_PROPERTY(bool permitted READ permitted NOTIFY permittedChanged)
    Q_PROPERTY(bool installing READ installing NOTIFY installingChanged)
    Q_PROPERTY(QString permissionMessage READ permissionMessageText NOTIFY permissionMessageChanged)
    Q_PROPERTY(bool advancing READ advancing NOTIFY advancingChanged)
    Q_PROPERTY(bool canNext READ canNext NOTIFY footerChanged)
    Q_PROPERTY(QString nextLabel READ nextLabel NOTIFY footerChanged)
    Q_PROPERTY(QString hint READ hint NOTIFY footerChanged)

public:
    class Step {
    public:
        enum Value : quint8 { welcome, sites, hours, permission, missions, done };

        static constexpr std::array<Value, 6> allCases = { welcome, sites, hours, permission, missions, done };

        constexpr Step() = default;
        constexpr Step(Value value) : m_value(value) { }

        // No step outside 0..5.
        static constexpr std::optional<Step> fromRawValue(int raw)
        {
            if (raw < 0 || raw > int(done))
                return std::nullopt;
            return Step(Value(raw));
        }

        constexpr Value value() const { return m_value; }
        constexpr int rawValue() const { return int(m_value); }
        // The two screens drawn on the night background.
        constexpr bool isNight() const { return m_value == welcome || m_value == done; }

        constexpr bool operator==(const Step&) const = default;
        constexpr bool operator==(Value value) const { return m_value == value; }

    private:
        Value m_value = welcome;
    };

    // Present while the light spreads from the welcome mascot to the first day step.
    struct Dawn {
        // The mascot's frame the light grows from.
        QRectF origin;
        bool operator==(const Dawn&) const = default;
    };

    // Outgoing and incoming halves of a step change.
    static constexpr std::chrono::milliseconds leaveDuration { 150 };
    static constexpr std::chrono::milliseconds enterDuration { 320 };
    static constexpr double leaveShift = 14;
    static constexpr double enterShift = 16;
    static constexpr double transitionBlur = 2;
    // The dawn from the welcome step and its stages.
    static constexpr std::chrono::milliseconds dawnDuration { 1150 };
    static constexpr std::chrono::milliseconds dawnRevealAfter { 518 };
    static constexpr std::chrono::milliseconds dawnEndAfter { 1170 };
    // After the sign-in was confirmed in the browser, the wait once we are
    // back in front before the dawn starts.
    static constexpr std::chrono::milliseconds returnDelay { 450 };
    // The pause after a successful install before moving on by itself.
    static constexpr std::chrono::milliseconds advanceDelay { 900 };
    static constexpr std::chrono::milliseconds reducedAdvanceDelay { 60 };

    static const QString continueLabel;
    static const QString permitLabel;
    static const QString sitesHint;
    static const QString hoursHint;
    static const QString cancelledInstallMessage;

    OnboardingModel(OnboardingServices& services, std::function<void()> close, QObject* parent = nullptr);

    OnboardingServices& services() const { return m_services; }

    Step step() const { return m_step; }
    int stepValue() const { return m_step.rawValue(); }
    const StageLook& look() const { return m_look; }
    // How the view moves to the current `look`.
    const StageMotion& lookMotion() const { return m_lookMotion; }
    const std::optional<QRectF>& welcomePiko() const { return m_welcomePiko; }
    // The welcome screen reports where its mascot is drawn.
    void setWelcomePiko(std::optional<QRectF> frame);
    bool welcomeReady() const { return m_welcomeReady; }
    void setWelcomeReady(bool ready);
    const std::optional<Dawn>& dawn() const { return m_dawn; }
    double dawnProgress() const { return m_dawnProgress; }
    // How the view moves to the current `dawnProgress`.
    const StageMotion& dawnMotion() const { return m_dawnMotion; }
    bool sitesRevealed() const { return m_sitesRevealed; }
    bool dotHidden() const { return m_dotHidden; }
    int dotPulse() const { return m_dotPulse; }
    const std::optional<OnboardingPolicy::Preset>& preset() const { return m_preset; }
    // A hand edit on the hours step's grid leaves no preset selected.
    void setPreset(std::optional<OnboardingPolicy::Preset> preset);
    const std::optional<WeekPresetPulse>& presetPulse() const { return m_presetPulse; }
    // The hours step's editor reports an interaction; while it lasts Esc does
    // not step back.
    bool weekActive() const { return m_weekActive; }
    void setWeekActive(bool active) { m_weekActive = active; }
    bool permitted() const { return m_permitted; }
    bool installing() const { return m_installing; }
    const std::optional<QString>& permissionMessage() const { return m_permissionMessage; }
    QString permissionMessageText() const { return m_permissionMessage.value_or(QString()); }
    bool advancing() const { return m_advancing; }
    bool finished() const { return m_finished; }

    // Whether the footer's primary button is enabled and next() may move.
    bool canNext() const;
    QString nextLabel() const;
    // What the footer says beside its buttons; empty when nothing.
    QString hint() const;

    // The primary action of a day step (button and Return).
    void next();
    // The secondary action (button and Esc).
    void back();
    // The hours step's preset chips.
    void apply(OnboardingPolicy::Preset preset);

    // Sign-in on the welcome step (its button, and Return once welcomeReady).
    void signIn();
    // With a session: admits a returning user, or leaves the welcome step
    // once the application is in front.
    void continueSignedIn();
    // Leaves the welcome step, with the dawn when motion is allowed.
    void start(Step target);
    // The permission step's primary action while the daemon is missing.
    void install();
    // The permission step reports the daemon appearing or going away.
    void helperFound();
    void helperLost();
    // Completes the wizard once, whichever caller comes first.
    void finish(bool closeWindow);

    // The text shown on the permission step after a failed install.
    static QString calm(const std::optional<QString>& error);

Q_SIGNALS:
    void stepChanged();
    void lookChanged();
    void welcomePikoChanged();
    void welcomeReadyChanged();
    void dawnChanged();
    void dawnProgressChanged();
    void sitesRevealedChanged();
    void dotHiddenChanged();
    void dotPulseChanged();
    void presetChanged();
    void presetPulseChanged();
    void permittedChanged();
    void installingChanged();
    void permissionMessageChanged();
    void advancingChanged();
    // canNext, nextLabel or hint may read differently.
    void footerChanged();

private:
    void go(Step target, double direction, bool instant);
    bool hasHours() const;
    bool returningUser() const;
    void admitReturningUser();

    void setStep(Step step);
    void setLook(const StageLook& look, StageMotion motion);
    void setDawn(std::optional<Dawn> dawn);
    void setDawnProgress(double progress, StageMotion motion);
    void setSitesRevealed(bool revealed);
    void setDotHidden(bool hidden);
    void setPermitted(bool permitted);
    void setInstalling(bool installing);
    void setPermissionMessage(std::optional<QString> message);
    void setAdvancing(bool advancing);

    OnboardingServices& m_services;
    const std::function<void()> m_close;

    Step m_step;
    StageLook m_look;
    StageMotion m_lookMotion;
    std::optional<QRectF> m_welcomePiko;
    bool m_welcomeReady = false;
    std::optional<Dawn> m_dawn;
    double m_dawnProgress = 0;
    StageMotion m_dawnMotion;
    bool m_sitesRevealed = true;
    bool m_dotHidden = false;
    int m_dotPulse = 0;
    std::optional<OnboardingPolicy::Preset> m_preset;
    std::optional<WeekPresetPulse> m_presetPulse;
    bool m_weekActive = false;
    bool m_permitted = false;
    bool m_installing = false;
    std::optional<QString> m_permissionMessage;
    bool m_advancing = false;
    bool m_transitioning = false;
    bool m_finished = false;
    // A sign-in that returned while we were not in front waits for this.
    QMetaObject::Connection m_activation;
};

} // namespace kestravin
