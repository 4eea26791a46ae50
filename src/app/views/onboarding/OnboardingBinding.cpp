#include "app/views/onboarding/OnboardingBinding.h"

#include "app/views/blocker/ApprovalGuide.h"
#include "app/views/onboarding/OnboardingServices.h"

namespace kestravin {

namespace {

double mix(double from, double to, double t)
{
    return from + (to - from) * t;
}

QEasingCurve easing(StageMotion::Curve curve)
{
    switch (curve) {
    case StageMotion::Curve::easeIn:
        return BrandMotion::easeInCurve();
    case StageMotion::Curve::entrance:
        return BrandMotion::brandCurve();
    case StageMotion::Curve::linear:
    case StageMotion::Curve::none:
        break;
    }
    return QEasingCurve(QEasingCurve::Linear);
}

} // namespace

OnboardingBinding::OnboardingBinding(OnboardingModel& model, OnboardingView& view)
    : QObject(&view),
      m_model(&model),
      m_view(view),
      m_lookFrom(model.look()),
      m_lookTo(model.look()),
      m_lookShown(model.look()),
      m_dawnProgress(model.dawnProgress())
{
    connectView();
    connectModel();
    push();
}

OnboardingWindowController::ContentFactory OnboardingBinding::content(std::function<OnboardingStepServices()> services)
{
    return [services = std::move(services)](OnboardingModel& model) -> QWidget* {
        auto* view = new OnboardingView(services());
        new OnboardingBinding(model, *view);
        return view;
    };
}

void OnboardingBinding::connectView()
{
    // The view outlives the model by a moment when the window goes (the model
    // is the window's older child): what it reports then finds no model.
    OnboardingView* view = &m_view;
    connect(view, &OnboardingView::nextRequested, this, [this] {
        if (m_model)
            m_model->next();
    });
    connect(view, &OnboardingView::backRequested, this, [this] {
        if (m_model)
            m_model->back();
    });
    connect(view, &OnboardingView::signInRequested, this, [this] {
        if (m_model)
            m_model->signIn();
    });
    connect(view, &OnboardingView::closeRequested, this, [this] {
        if (m_model)
            m_model->finish(true);
    });
    connect(view, &OnboardingView::presetChosen, this, [this](OnboardingPolicy::Preset preset) {
        if (m_model)
            m_model->apply(preset);
    });
    connect(view, &OnboardingView::weekEdited, this, [this] {
        if (m_model)
            m_model->setPreset(std::nullopt);
    });
    connect(view, &OnboardingView::weekActiveChanged, this, [this](bool active) {
        if (!m_model)
            return;
        m_model->setWeekActive(active);
        // The model does not publish it: only the view's own keys read it.
        schedulePush();
    });
    connect(view, &OnboardingView::helperFound, this, [this] {
        if (m_model)
            m_model->helperFound();
    });
    connect(view, &OnboardingView::helperLost, this, [this] {
        if (m_model)
            m_model->helperLost();
    });
    connect(view, &OnboardingView::welcomeMeasured, this, [this](const QRectF& frame) {
        if (m_model)
            m_model->setWelcomePiko(frame);
    });
    connect(view, &OnboardingView::welcomeReady, this, [this] {
        if (m_model)
            m_model->setWelcomeReady(true);
    });
    connect(view, &OnboardingView::approvalHelpRequested, this, [] { ApprovalGuide::shared().show(); });
}

void OnboardingBinding::connectModel()
{
    OnboardingModel* model = m_model;
    connect(model, &OnboardingModel::lookChanged, this, &OnboardingBinding::lookChanged);
    connect(model, &OnboardingModel::dawnProgressChanged, this, &OnboardingBinding::dawnProgressChanged);
    for (const auto changed : { &OnboardingModel::stepChanged, &OnboardingModel::welcomeReadyChanged,
             &OnboardingModel::dawnChanged, &OnboardingModel::sitesRevealedChanged, &OnboardingModel::dotHiddenChanged,
             &OnboardingModel::dotPulseChanged, &OnboardingModel::presetChanged, &OnboardingModel::presetPulseChanged,
             &OnboardingModel::permittedChanged, &OnboardingModel::installingChanged,
             &OnboardingModel::permissionMessageChanged, &OnboardingModel::advancingChanged,
             &OnboardingModel::footerChanged }) {
        connect(model, changed, this, &OnboardingBinding::schedulePush);
    }
    connect(&m_lookMove, &BrandTween::valueChanged, this, [this](double t) {
        m_lookShown = { mix(m_lookFrom.opacity, m_lookTo.opacity, t), mix(m_lookFrom.x, m_lookTo.x, t),
            mix(m_lookFrom.blur, m_lookTo.blur, t) };
        schedulePush();
    });
    connect(&m_dawnProgress, &BrandTween::valueChanged, this, &OnboardingBinding::schedulePush);
}

bool OnboardingBinding::atOnce(const StageMotion& motion) const
{
    return motion.curve == StageMotion::Curve::none || motion.duration.count() <= 0
        || m_model->services().reduceMotion();
}

void OnboardingBinding::lookChanged()
{
    const StageMotion& motion = m_model->lookMotion();
    m_lookFrom = m_lookShown;
    m_lookTo = m_model->look();
    if (atOnce(motion)) {
        m_lookMove.jumpTo(1.0);
        m_lookShown = m_lookTo;
    } else {
        // From where the look is now, so that a change mid-way does not jump.
        m_lookMove.jumpTo(0.0);
        m_lookMove.animateTo(1.0, easing(motion.curve), int(motion.duration.count()));
    }
    schedulePush();
}

void OnboardingBinding::dawnProgressChanged()
{
    const StageMotion& motion = m_model->dawnMotion();
    const double target = m_model->dawnProgress();
    if (atOnce(motion))
        m_dawnProgress.jumpTo(target);
    else
        m_dawnProgress.animateTo(target, easing(motion.curve), int(motion.duration.count()));
    schedulePush();
}

void OnboardingBinding::schedulePush()
{
    if (std::exchange(m_pushPending, true))
        return;
    QMetaObject::invokeMethod(this, &OnboardingBinding::push, Qt::QueuedConnection);
}

OnboardingView::State OnboardingBinding::state() const
{
    OnboardingView::State s;
    if (!m_model)
        return m_view.state();
    const OnboardingModel& model = *m_model;
    s.step = model.stepValue();
    s.opacity = m_lookShown.opacity;
    s.x = m_lookShown.x;
    s.blur = m_lookShown.blur;
    s.welcomeReady = model.welcomeReady();
    if (model.dawn())
        s.dawn = model.dawn()->origin;
    s.dawnProgress = m_dawnProgress.value();
    s.sitesRevealed = model.sitesRevealed();
    s.dotHidden = model.dotHidden();
    s.dotPulse = model.dotPulse();
    s.preset = model.preset();
    if (model.presetPulse())
        s.presetPulse = model.presetPulse()->tick;
    s.weekActive = model.weekActive();
    s.permitted = model.permitted();
    s.installing = model.installing();
    s.permissionMessage = model.permissionMessage();
    s.canNext = model.canNext();
    s.nextLabel = model.nextLabel();
    s.hint = model.hint();
    return s;
}

void OnboardingBinding::push()
{
    m_pushPending = false;
    if (m_model)
        m_view.setState(state());
}

} // namespace kestravin
