// The first-run wizard: the welcome screen, each day step, the done screen and
// one frame of the dawn between the welcome screen and the first step. The
// screens run on the tour's throw-away services; the wizard's state is set by
// hand, as its model would set it.
#include "DemoServices.h"
#include "Shot.h"

#include "app/models/WeekSchedule.h"
#include "app/services/account/MissionTracker.h"
#include "app/views/onboarding/OnboardingView.h"

#include <QSettings>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

struct OnboardingTour {
    DemoServices& demo = demoServices();
    QSettings settings { demo.dir.filePath(u"onboarding-defaults.ini"_s), QSettings::IniFormat };
    MissionTracker tracker { { &demo.account, nullptr, &Clock::system(), &Scheduler::system(), &settings,
        QTimeZone::systemTimeZone(),
        [](const AccountMission&, std::function<void(std::optional<AccountFailure>)>) {} } };

    OnboardingStepServices services()
    {
        return { demo.config, demo.account, demo.icons, demo.apps, demo.installer,
            WeekScheduleEditor::Services {
                demo.config, demo.blocking, nullptr, Scheduler::system(), Clock::system(), nullptr },
            MissionsView::Services { &demo.account, &tracker, &demo.apps, &Scheduler::system(),
                [](const QList<AccountMission>&, std::function<void(std::optional<AccountFailure>)> done) {
                    done(std::nullopt);
                } } };
    }
};

OnboardingTour& tour()
{
    static auto* instance = new OnboardingTour;
    return *instance;
}

std::unique_ptr<QWidget> wizard(const OnboardingView::State& state)
{
    auto view = std::make_unique<OnboardingView>(tour().services());
    view->setState(state);
    return view;
}

OnboardingView::State day(int step, bool canNext, const QString& hint, const QString& nextLabel = u"Continuar"_s)
{
    OnboardingView::State state;
    state.step = step;
    state.canNext = canNext;
    state.hint = hint;
    state.nextLabel = nextLabel;
    return state;
}

const ShotRegistrar welcome(u"onboarding-welcome"_s, [] { return wizard({}); });
const ShotRegistrar sites(u"onboarding-sites"_s, [] { return wizard(day(1, true, {})); });
const ShotRegistrar hours(u"onboarding-hours"_s, [] {
    const Configuration& configuration = tour().demo.config.configuration();
    return wizard(day(2, true, WeekSchedule::summary(WeekSchedule::days(configuration.schedule))));
});
const ShotRegistrar permission(u"onboarding-permission"_s, [] {
    OnboardingView::State state = day(3, true, {}, u"Permitir"_s);
    state.permissionMessage = u"A permissão não foi concluída. Quando quiser, toque em Permitir de novo."_s;
    return wizard(state);
});
const ShotRegistrar permitted(u"onboarding-permission-ready"_s, [] {
    OnboardingView::State state = day(3, true, {});
    state.permitted = true;
    return wizard(state);
});
const ShotRegistrar missions(u"onboarding-missions"_s, [] { return wizard(day(4, true, {})); });
const ShotRegistrar done(u"onboarding-done"_s, [] {
    OnboardingView::State state;
    state.step = 5;
    return wizard(state);
});
const ShotRegistrar dawn(u"onboarding-dawn"_s, [] {
    OnboardingView::State state = day(1, true, {});
    state.dawn = QRectF(365, 226, 150, 100);
    state.dawnProgress = 0.42;
    state.dotHidden = true;
    state.sitesRevealed = false;
    return wizard(state);
});

} // namespace
} // namespace kestravin::tour
