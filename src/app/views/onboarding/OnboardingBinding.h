#pragma once

#include "app/views/brand/BrandMotion.h"
#include "app/views/onboarding/OnboardingModel.h"
#include "app/views/onboarding/OnboardingView.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace kestravin {

// Ties the wizard's screens to its model: what the person does on the view
// becomes a call on the model, and every change of the model is shown on the
// view. The model publishes where the step's look and the dawn's progress are
// going with a motion; the binding moves the view there along that curve, or
// at once under reduced motion. Lives as a child of the view.
class OnboardingBinding : public QObject {
    Q_OBJECT
public:
    OnboardingBinding(OnboardingModel& model, OnboardingView& view);

    // The onboarding window's content: a wizard view over the services that
    // `services` hands out when the window is built, bound to its model.
    static OnboardingWindowController::ContentFactory content(std::function<OnboardingStepServices()> services);

private:
    // What the view shows for the model as it stands, with the look and the
    // dawn's progress where their motion has brought them.
    OnboardingView::State state() const;
    void connectView();
    void connectModel();
    // Instant motion, or the person asked for reduced motion.
    bool atOnce(const StageMotion& motion) const;
    void lookChanged();
    void dawnProgressChanged();
    // A model operation changes several values in a row; the view gets them
    // together once it is over, never a half-made state.
    void schedulePush();
    void push();

    QPointer<OnboardingModel> m_model;
    OnboardingView& m_view;
    // The look moves from where it was shown to the model's look.
    StageLook m_lookFrom;
    StageLook m_lookTo;
    StageLook m_lookShown;
    BrandTween m_lookMove { 1.0 };
    BrandTween m_dawnProgress;
    bool m_pushPending = false;
};

} // namespace kestravin
