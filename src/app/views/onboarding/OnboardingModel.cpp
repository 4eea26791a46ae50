#include "app/views/onboarding/OnboardingModel.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/views/onboarding/OnboardingServices.h"

#include <QPointer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString OnboardingModel::continueLabel = u"Continuar"_s;
const QString OnboardingModel::permitLabel = u"Permitir"_s;
const QString OnboardingModel::sitesHint = u"Escolha pelo menos um"_s;
const QString OnboardingModel::hoursHint = u"Crie pelo menos um horário"_s;
const QString OnboardingModel::cancelledInstallMessage
    = u"A permissão não foi concluída. Quando quiser, toque em Permitir de novo."_s;

namespace {

template <typename T, typename Signal> void assign(OnboardingModel* model, T& field, T value, Signal changed)
{
    if (field == value)
        return;
    field = std::move(value);
    Q_EMIT(model->*changed)();
}

} // namespace

OnboardingModel::OnboardingModel(OnboardingServices& services, std::function<void()> close, QObject* parent)
    : QObject(parent), m_services(services), m_close(std::move(close))
{
    m_permitted = m_services.isHelperInstalled();
    m_preset = OnboardingPolicy::Preset::matching(WeekSchedule::days(m_services.configuration().schedule));
    // The footer's button and hint are computed from the configuration, which
    // the embedded pickers and the week editor change behind the model's back.
    QObject::connect(&m_services, &OnboardingServices::configurationChanged, this, &OnboardingModel::footerChanged);
}

void OnboardingModel::setWelcomePiko(std::optional<QRectF> frame)
{
    assign(this, m_welcomePiko, std::move(frame), &OnboardingModel::welcomePikoChanged);
}

void OnboardingModel::setWelcomeReady(bool ready)
{
    assign(this, m_welcomeReady, ready, &OnboardingModel::welcomeReadyChanged);
}

void OnboardingModel::setPreset(std::optional<OnboardingPolicy::Preset> preset)
{
    assign(this, m_preset, std::move(preset), &OnboardingModel::presetChanged);
}

void OnboardingModel::setStep(Step step)
{
    if (m_step == step)
        return;
    m_step = step;
    Q_EMIT stepChanged();
    Q_EMIT footerChanged();
}

void OnboardingModel::setLook(const StageLook& look, StageMotion motion)
{
    m_lookMotion = motion;
    assign(this, m_look, look, &OnboardingModel::lookChanged);
}

void OnboardingModel::setDawn(std::optional<Dawn> dawn)
{
    assign(this, m_dawn, std::move(dawn), &OnboardingModel::dawnChanged);
}

void OnboardingModel::setDawnProgress(double progress, StageMotion motion)
{
    m_dawnMotion = motion;
    assign(this, m_dawnProgress, progress, &OnboardingModel::dawnProgressChanged);
}

void OnboardingModel::setSitesRevealed(bool revealed)
{
    assign(this, m_sitesRevealed, revealed, &OnboardingModel::sitesRevealedChanged);
}

void OnboardingModel::setDotHidden(bool hidden)
{
    assign(this, m_dotHidden, hidden, &OnboardingModel::dotHiddenChanged);
}

void OnboardingModel::setPermitted(bool permitted)
{
    if (m_permitted == permitted)
        return;
    m_permitted = permitted;
    Q_EMIT permittedChanged();
    Q_EMIT footerChanged();
}

void OnboardingModel::setInstalling(bool installing)
{
    if (m_installing == installing)
        return;
    m_installing = installing;
    Q_EMIT installingChanged();
    Q_EMIT footerChanged();
}

void OnboardingModel::setPermissionMessage(std::optional<QString> message)
{
    assign(this, m_permissionMessage, std::move(message), &OnboardingModel::permissionMessageChanged);
}

void OnboardingModel::setAdvancing(bool advancing)
{
    if (m_advancing == advancing)
        return;
    m_advancing = advancing;
    Q_EMIT advancingChanged();
    Q_EMIT footerChanged();
}

bool OnboardingModel::hasHours() const
{
    const WeekSchedule::Week week = WeekSchedule::days(m_services.configuration().schedule);
    return std::ranges::any_of(week, [](const QList<MinuteRange>& day) { return !day.isEmpty(); });
}

bool OnboardingModel::canNext() const
{
    switch (m_step.value()) {
    case Step::sites:
        return OnboardingPolicy::blockedCount(m_services.configuration().blockedSites) > 0;
    case Step::hours:
        return hasHours();
    case Step::permission:
        return !m_installing && !m_advancing;
    default:
        return true;
    }
}

QString OnboardingModel::nextLabel() const
{
    return m_step == Step::permission && !m_permitted ? permitLabel : continueLabel;
}

QString OnboardingModel::hint() const
{
    switch (m_step.value()) {
    case Step::sites:
        return OnboardingPolicy::blockedCount(m_services.configuration().blockedSites) < 1 ? sitesHint : QString();
    case Step::hours:
        return hasHours() ? WeekSchedule::summary(WeekSchedule::days(m_services.configuration().schedule)) : hoursHint;
    default:
        return {};
    }
}

void OnboardingModel::next()
{
    if (m_step.isNight() || !canNext() || m_transitioning)
        return;
    if (m_step == Step::permission && !m_permitted) {
        install();
        return;
    }
    if (const auto following = Step::fromRawValue(m_step.rawValue() + 1))
        go(*following, +1, false);
}

void OnboardingModel::back()
{
    // The wizard never returns to the sign-in screen.
    if (m_step.isNight() || m_step.rawValue() < Step(Step::hours).rawValue() || m_advancing)
        return;
    if (const auto previous = Step::fromRawValue(m_step.rawValue() - 1))
        go(*previous, -1, false);
}

void OnboardingModel::go(Step target, double direction, bool instant)
{
    if (m_transitioning || target == m_step)
        return;
    if (instant || m_services.reduceMotion()) {
        setStep(target);
        setLook(StageLook::rest(), StageMotion::instant());
        return;
    }
    // The old content slides against the direction of travel while it fades;
    // a second move during this half is dropped, not queued.
    m_transitioning = true;
    setLook({ 0, direction * -leaveShift, transitionBlur }, { StageMotion::Curve::easeIn, leaveDuration });
    m_services.scheduler().runLater(leaveDuration, this, [this, target, direction] {
        setStep(target);
        if (target.isNight()) {
            setLook(StageLook::rest(), StageMotion::instant());
        } else {
            // The new content waits on the side it comes from.
            setLook({ 0, direction * enterShift, transitionBlur }, StageMotion::instant());
        }
        m_transitioning = false;
        if (target.isNight())
            return;
        m_services.scheduler().runLater(std::chrono::milliseconds(0), this, [this] {
            if (!m_transitioning)
                setLook(StageLook::rest(), { StageMotion::Curve::entrance, enterDuration });
        });
    });
}

void OnboardingModel::apply(OnboardingPolicy::Preset preset)
{
    setPreset(preset);
    m_services.setWeek(preset.days());
    m_presetPulse = WeekPresetPulse { m_presetPulse ? m_presetPulse->tick + 1 : 1, m_services.clock().now() };
    Q_EMIT presetPulseChanged();
    // A running block keeps its hours; the new week applies when it ends.
    if (m_services.isBlocking())
        m_services.markScheduleChangesPending();
    m_services.localEditChanged();
}

bool OnboardingModel::returningUser() const
{
    return m_services.hasSnapshot() && m_services.accountOnboarded() && m_services.isHelperInstalled();
}

void OnboardingModel::admitReturningUser()
{
    // The account already went through the first run on another computer or
    // an earlier installation: nothing here is changed, the window just goes.
    if (m_finished)
        return;
    m_finished = true;
    m_services.setOnboardingCompleted(true);
    m_services.requestNotificationPermission();
    if (m_close)
        m_close();
}

void OnboardingModel::signIn()
{
    if (m_step != Step::welcome || m_dawn || m_services.connecting())
        return;
    if (m_services.hasSession()) {
        continueSignedIn();
        return;
    }
    m_services.connect([self = QPointer(this)] {
        if (!self)
            return;
        if (self->returningUser())
            self->admitReturningUser();
        else if (self->m_services.hasSession())
            self->continueSignedIn();
    });
}

void OnboardingModel::continueSignedIn()
{
    if (returningUser()) {
        admitReturningUser();
        return;
    }
    if (m_services.isApplicationActive()) {
        start(Step::sites);
        return;
    }
    // The sign-in was confirmed in the browser: play the dawn only once the
    // person is back with us.
    if (m_activation)
        return;
    m_activation = QObject::connect(&m_services, &OnboardingServices::applicationActivated, this, [this] {
        QObject::disconnect(std::exchange(m_activation, {}));
        m_services.scheduler().runLater(returnDelay, this, [this] { start(Step::sites); });
    });
}

void OnboardingModel::start(Step target)
{
    if (m_step != Step::welcome || m_dawn)
        return;
    if (m_services.reduceMotion() || !m_welcomePiko) {
        go(target, +1, true);
        return;
    }
    const QRectF origin = *m_welcomePiko;
    setDawnProgress(0, StageMotion::instant());
    setSitesRevealed(false);
    setDotHidden(true);
    setDawn(Dawn { origin });
    setStep(target);
    setLook(StageLook::rest(), StageMotion::instant());
    Scheduler& scheduler = m_services.scheduler();
    scheduler.runLater(std::chrono::milliseconds(0), this, [this] {
        setDawnProgress(1, { StageMotion::Curve::linear, dawnDuration });
    });
    scheduler.runLater(dawnRevealAfter, this, [this] { setSitesRevealed(true); });
    scheduler.runLater(dawnEndAfter, this, [this] {
        setDawn(std::nullopt);
        setDotHidden(false);
        ++m_dotPulse;
        Q_EMIT dotPulseChanged();
    });
}

void OnboardingModel::install()
{
    if (m_installing)
        return;
    setPermissionMessage(std::nullopt);
    setInstalling(true);
    m_services.installHelper([self = QPointer(this)](bool success, const QString& error) {
        if (!self)
            return;
        self->setInstalling(false);
        if (!success) {
            self->setPermissionMessage(calm(error));
            return;
        }
        OnboardingServices& services = self->m_services;
        services.syncScheduleToHelper(services.configuration());
        self->setPermitted(true);
        self->setAdvancing(true);
        const auto pause = services.reduceMotion() ? reducedAdvanceDelay : advanceDelay;
        services.scheduler().runLater(pause, self, [self] {
            self->setAdvancing(false);
            if (self->m_step == Step::permission)
                self->go(Step::missions, +1, false);
        });
    });
}

void OnboardingModel::helperFound()
{
    if (m_permitted)
        return;
    setPermitted(true);
    setPermissionMessage(std::nullopt);
}

void OnboardingModel::helperLost()
{
    // Our own install restarts the daemon; a loss reported meanwhile is momentary.
    if (m_permitted && !m_installing && !m_advancing)
        setPermitted(false);
}

void OnboardingModel::finish(bool closeWindow)
{
    if (m_finished)
        return;
    m_finished = true;
    m_services.setOnboardingCompleted(true);
    m_services.requestNotificationPermission();
    m_services.startAccount();
    Configuration configuration = m_services.configuration();
    configuration.enabled = true;
    m_services.setConfiguration(configuration);
    m_services.saveConfiguration();
    if (m_services.isBlocking())
        m_services.markScheduleChangesPending();
    m_services.localEditChanged();
    // The upload runs on without us: the local completion never waits for it.
    m_services.finishOnboarding();
    if (!m_services.isBlocking())
        m_services.syncScheduleToHelper(m_services.configuration());
    if (closeWindow && m_close)
        m_close();
}

QString OnboardingModel::calm(const std::optional<QString>& error)
{
    if (!error || error->isEmpty() || error->contains(u"cancel"_s, Qt::CaseInsensitive))
        return cancelledInstallMessage;
    return u"Não deu para instalar o ajudante agora ("_s + *error + u"). Tente de novo em instantes."_s;
}

} // namespace kestravin
