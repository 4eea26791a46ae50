#include "app/views/onboarding/OnboardingModel.h"

#include "FakeOnboardingServices.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeOnboardingServices;
using Step = OnboardingModel::Step;
using Preset = OnboardingPolicy::Preset;

WeekSchedule::Week emptyWeek()
{
    return WeekSchedule::Week(7);
}

class OnboardingModelTest : public ::testing::Test {
protected:
    OnboardingModelTest()
    {
        services.config.blockedSites = { u"youtube.com"_s };
        services.config.schedule = WeekSchedule::schedule(Preset(Preset::workday).days());
        services.session = true;
        services.onboarded = false;
    }

    std::unique_ptr<OnboardingModel> makeModel()
    {
        return std::make_unique<OnboardingModel>(services, [this] { ++closes; });
    }

    // Signs in and moves forward, without motion, until `target` is on screen.
    void walkTo(OnboardingModel& model, Step target)
    {
        const bool reduce = std::exchange(services.reduce, true);
        const bool installed = std::exchange(services.helperInstalled, true);
        model.signIn();
        model.helperFound();
        while (model.step() != target && !model.step().isNight())
            model.next();
        services.reduce = reduce;
        services.helperInstalled = installed;
        ASSERT_EQ(model.step(), target);
    }

    FakeOnboardingServices services;
    int closes = 0;
};

TEST_F(OnboardingModelTest, StepsKnowTheirRawValuesAndWhichAreNight)
{
    EXPECT_EQ(Step::fromRawValue(0), Step(Step::welcome));
    EXPECT_EQ(Step::fromRawValue(5), Step(Step::done));
    EXPECT_FALSE(Step::fromRawValue(6));
    EXPECT_FALSE(Step::fromRawValue(-1));
    for (const Step step : Step::allCases)
        EXPECT_EQ(step.isNight(), step == Step::welcome || step == Step::done) << step.rawValue();
}

TEST_F(OnboardingModelTest, StartsFromTheSavedWeekAndTheInstaller)
{
    services.helperInstalled = true;
    auto model = makeModel();
    EXPECT_EQ(model->step(), Step::welcome);
    EXPECT_EQ(model->look(), StageLook::rest());
    EXPECT_TRUE(model->permitted());
    EXPECT_EQ(model->preset(), Preset(Preset::workday));

    services.config.schedule = WeekSchedule::schedule(emptyWeek());
    services.helperInstalled = false;
    auto other = makeModel();
    EXPECT_FALSE(other->permitted());
    EXPECT_FALSE(other->preset());
}

TEST_F(OnboardingModelTest, EachStepSaysWhetherAndHowItMovesOn)
{
    const QString workdaySummary = WeekSchedule::summary(Preset(Preset::workday).days());
    struct Case {
        Step step;
        QStringList sites;
        bool hours;
        bool permitted;
        bool canNext;
        QString label;
        QString hint;
    };
    const QList<Case> cases = {
        // Apps alone do not make the sites step passable.
        { Step::sites, {}, true, false, false, u"Continuar"_s, u"Escolha pelo menos um"_s },
        { Step::sites, { u"www.youtube.com"_s }, true, false, true, u"Continuar"_s, {} },
        { Step::hours, { u"a.com"_s }, false, false, false, u"Continuar"_s, u"Crie pelo menos um horário"_s },
        { Step::hours, { u"a.com"_s }, true, false, true, u"Continuar"_s, workdaySummary },
        { Step::permission, { u"a.com"_s }, true, false, true, u"Permitir"_s, {} },
        { Step::permission, { u"a.com"_s }, true, true, true, u"Continuar"_s, {} },
        { Step::missions, {}, false, true, true, u"Continuar"_s, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step.rawValue());
        services.config.blockedSites = { u"youtube.com"_s };
        services.config.schedule = WeekSchedule::schedule(Preset(Preset::workday).days());
        auto model = makeModel();
        walkTo(*model, c.step);
        if (!c.permitted)
            model->helperLost();
        Configuration changed = services.config;
        changed.blockedSites = c.sites;
        changed.blockedApps = { BlockedApp(u"discord"_s, u"Discord"_s) };
        changed.schedule = WeekSchedule::schedule(c.hours ? Preset(Preset::workday).days() : emptyWeek());
        int footer = 0;
        QObject::connect(model.get(), &OnboardingModel::footerChanged, [&] { ++footer; });
        services.setConfiguration(changed);
        EXPECT_GE(footer, 1);
        EXPECT_EQ(model->canNext(), c.canNext);
        EXPECT_EQ(model->nextLabel(), c.label);
        EXPECT_EQ(model->hint(), c.hint);
        const Step before = model->step();
        model->next();
        if (!c.canNext) {
            EXPECT_EQ(model->step(), before);
        }
    }
}

TEST_F(OnboardingModelTest, NightScreensIgnoreTheFooterActions)
{
    auto model = makeModel();
    model->next();
    model->back();
    services.time.advance(1s);
    EXPECT_EQ(model->step(), Step::welcome);

    walkTo(*model, Step::done);
    model->next();
    model->back();
    services.time.advance(1s);
    EXPECT_EQ(model->step(), Step::done);
}

TEST_F(OnboardingModelTest, AStepChangeFadesOutThenInAndDropsAMoveMeanwhile)
{
    auto model = makeModel();
    walkTo(*model, Step::sites);

    model->next();
    EXPECT_EQ(model->step(), Step::sites);
    EXPECT_EQ(model->look(), (StageLook { 0, -14, 2 }));
    EXPECT_EQ(model->lookMotion(), (StageMotion { StageMotion::Curve::easeIn, 150ms }));
    services.time.advance(100ms);
    model->next(); // within the outgoing half: dropped
    model->back();
    services.time.advance(49ms);
    EXPECT_EQ(model->step(), Step::sites);
    services.time.advance(1ms);
    EXPECT_EQ(model->step(), Step::hours);
    EXPECT_EQ(model->look(), StageLook::rest());
    EXPECT_EQ(model->lookMotion(), (StageMotion { StageMotion::Curve::entrance, 320ms }));
    services.time.advance(1s);
    EXPECT_EQ(model->step(), Step::hours);

    // Backwards the content leaves to the right and comes in from the left.
    QList<StageLook> looks;
    QObject::connect(model.get(), &OnboardingModel::lookChanged, [&] { looks << model->look(); });
    model->back();
    services.time.advance(150ms);
    EXPECT_EQ(model->step(), Step::sites);
    EXPECT_EQ(looks, (QList<StageLook> { { 0, 14, 2 }, { 0, -16, 2 }, StageLook::rest() }));
}

TEST_F(OnboardingModelTest, ReducedMotionChangesStepsAtOnceAndTheLookStaysAtRest)
{
    services.reduce = true;
    auto model = makeModel();
    walkTo(*model, Step::sites);
    int looks = 0;
    QObject::connect(model.get(), &OnboardingModel::lookChanged, [&] { ++looks; });
    model->next();
    EXPECT_EQ(model->step(), Step::hours);
    model->back();
    EXPECT_EQ(model->step(), Step::sites);
    EXPECT_EQ(looks, 0);
    EXPECT_EQ(services.time.pending(), 0);
}

TEST_F(OnboardingModelTest, BackNeverReturnsToTheSignIn)
{
    services.reduce = true;
    auto model = makeModel();
    walkTo(*model, Step::sites);
    model->back();
    EXPECT_EQ(model->step(), Step::sites);
    walkTo(*model, Step::missions);
    model->back();
    EXPECT_EQ(model->step(), Step::permission);
}

TEST_F(OnboardingModelTest, PresetsSaveTheWeekAndPulse)
{
    services.config.schedule = WeekSchedule::schedule(emptyWeek());
    for (const bool blocking : { false, true }) {
        SCOPED_TRACE(blocking);
        services.blocking = blocking;
        services.calls.clear();
        auto model = makeModel();
        walkTo(*model, Step::hours);
        services.setWeek(emptyWeek());
        services.calls.clear();
        EXPECT_EQ(model->hint(), u"Crie pelo menos um horário"_s);

        model->apply(Preset::business);
        EXPECT_EQ(model->preset(), Preset(Preset::business));
        EXPECT_EQ(WeekSchedule::days(services.config.schedule), Preset(Preset::business).days());
        EXPECT_EQ(model->hint(), WeekSchedule::summary(Preset(Preset::business).days()));
        ASSERT_TRUE(model->presetPulse());
        EXPECT_EQ(model->presetPulse()->tick, 1);
        EXPECT_EQ(model->presetPulse()->at, services.time.now());

        services.time.advance(5s);
        model->apply(Preset::business);
        EXPECT_EQ(model->presetPulse()->tick, 2);
        EXPECT_EQ(model->presetPulse()->at, services.time.now());
        const QStringList once = blocking ? QStringList { u"setWeek"_s, u"pending"_s, u"localEditChanged"_s }
                                          : QStringList { u"setWeek"_s, u"localEditChanged"_s };
        EXPECT_EQ(services.calls, once + once);
    }
}

TEST_F(OnboardingModelTest, PermissionInstallsInsteadOfMovingAndMovesOnByItself)
{
    for (const bool reduce : { false, true }) {
        SCOPED_TRACE(reduce);
        services.reduce = reduce;
        services.helperInstalled = false;
        services.calls.clear();
        auto model = makeModel();
        walkTo(*model, Step::permission);
        model->helperLost();
        ASSERT_EQ(model->nextLabel(), u"Permitir"_s);

        model->next();
        EXPECT_EQ(services.calls.count(u"installHelper"_s), 1);
        EXPECT_TRUE(model->installing());
        EXPECT_FALSE(model->canNext());
        model->next();
        model->install();
        EXPECT_EQ(services.installs.size(), 1);

        // A dismissed prompt leaves the step as it was, ready to try again.
        services.answerInstall(false, u"Request dismissed: cancel"_s);
        EXPECT_EQ(model->permissionMessage(), OnboardingModel::cancelledInstallMessage);
        EXPECT_EQ(model->step(), Step::permission);
        EXPECT_EQ(model->nextLabel(), u"Permitir"_s);
        EXPECT_TRUE(model->canNext());

        model->next();
        EXPECT_FALSE(model->permissionMessage());
        services.calls.clear();
        services.answerInstall(true);
        EXPECT_EQ(services.calls, QStringList { u"syncScheduleToHelper"_s });
        EXPECT_TRUE(model->permitted());
        EXPECT_TRUE(model->advancing());
        EXPECT_FALSE(model->canNext());
        // Neither Esc nor a momentary loss of the restarting daemon undoes it.
        model->back();
        model->helperLost();
        EXPECT_TRUE(model->permitted());

        const auto pause = reduce ? 60ms : 900ms;
        services.time.advance(pause - 1ms);
        EXPECT_EQ(model->step(), Step::permission);
        services.time.advance(1ms + (reduce ? 0ms : 150ms));
        EXPECT_FALSE(model->advancing());
        EXPECT_EQ(model->step(), Step::missions);
    }
}

TEST_F(OnboardingModelTest, TheDaemonAppearingOrGoingAwayIsFollowed)
{
    auto model = makeModel();
    walkTo(*model, Step::permission);
    model->helperLost();
    model->next();
    services.answerInstall(false, u"boom"_s);
    ASSERT_TRUE(model->permissionMessage());
    model->helperFound();
    EXPECT_TRUE(model->permitted());
    EXPECT_FALSE(model->permissionMessage());
    EXPECT_EQ(model->nextLabel(), u"Continuar"_s);
    model->helperLost();
    EXPECT_FALSE(model->permitted());
}

TEST_F(OnboardingModelTest, CalmTurnsInstallerErrorsIntoTheStepsMessage)
{
    const QString cancelled = u"A permissão não foi concluída. Quando quiser, toque em Permitir de novo."_s;
    const QList<std::pair<std::optional<QString>, QString>> cases = {
        { std::nullopt, cancelled },
        { u""_s, cancelled },
        { u"User CANCELLED"_s, cancelled },
        { u"cancel"_s, cancelled },
        { u"Installation already in progress"_s,
            u"Não deu para instalar o ajudante agora (Installation already in progress). Tente de novo em instantes."_s },
        { u"<b>x</b>"_s, u"Não deu para instalar o ajudante agora (<b>x</b>). Tente de novo em instantes."_s },
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(OnboardingModel::calm(error), text) << error.value_or(u"(none)"_s).toStdString();
}

TEST_F(OnboardingModelTest, FinishRunsOnceWhoeverCallsFirst)
{
    for (const bool blocking : { false, true }) {
        SCOPED_TRACE(blocking);
        services.blocking = blocking;
        services.completed.reset();
        services.config.enabled = false;
        auto model = makeModel();
        walkTo(*model, Step::done);
        services.calls.clear();
        closes = 0;

        model->finish(true);
        model->finish(false);
        model->finish(true);
        EXPECT_TRUE(model->finished());
        EXPECT_EQ(closes, 1);
        EXPECT_EQ(services.completed, true);
        EXPECT_TRUE(services.config.enabled);
        QStringList expected = { u"setOnboardingCompleted"_s, u"requestNotificationPermission"_s, u"startAccount"_s,
            u"setConfiguration"_s, u"saveConfiguration"_s };
        if (blocking)
            expected << u"pending"_s;
        expected << u"localEditChanged"_s << u"finishOnboarding"_s;
        if (!blocking)
            expected << u"syncScheduleToHelper"_s;
        EXPECT_EQ(services.calls, expected);
        if (!blocking) {
            ASSERT_EQ(services.sentToHelper.size(), 1);
            EXPECT_TRUE(services.sentToHelper.last().enabled);
        }
        services.sentToHelper.clear();
    }
}

TEST_F(OnboardingModelTest, FinishFromTheWindowLeavesTheWindowAlone)
{
    auto model = makeModel();
    walkTo(*model, Step::done);
    model->finish(false);
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(services.config.enabled);
}

TEST_F(OnboardingModelTest, SignInAdmitsAReturningUserOrLeavesForTheSites)
{
    struct Case {
        const char* name;
        std::optional<bool> onboarded;
        bool installed;
        bool admitted;
    };
    const QList<Case> cases = {
        { "onboarded with the daemon", true, true, true },
        { "onboarded without the daemon", true, false, false },
        { "new account", false, true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        services.session = false;
        services.helperInstalled = c.installed;
        services.completed.reset();
        services.config.enabled = false;
        services.calls.clear();
        closes = 0;
        auto model = makeModel();

        model->signIn();
        model->signIn(); // while the link waits
        EXPECT_EQ(services.calls, QStringList { u"connect"_s });
        services.answerConnect(true, c.onboarded);
        EXPECT_EQ(model->finished(), c.admitted);
        EXPECT_EQ(closes, c.admitted ? 1 : 0);
        EXPECT_EQ(model->step(), c.admitted ? Step::welcome : Step::sites);
        EXPECT_EQ(services.completed.has_value(), c.admitted);
        // The returning user's hours switch stays as it was.
        EXPECT_FALSE(services.config.enabled);
        EXPECT_FALSE(services.calls.contains(u"setConfiguration"_s));
        EXPECT_FALSE(services.calls.contains(u"saveConfiguration"_s));
        if (c.admitted) {
            EXPECT_TRUE(services.calls.contains(u"requestNotificationPermission"_s));
        }
    }
}

TEST_F(OnboardingModelTest, AFailedSignInStaysOnTheWelcomeStep)
{
    services.session = false;
    auto model = makeModel();
    model->signIn();
    services.answerConnect(false);
    services.time.advance(5s);
    EXPECT_EQ(model->step(), Step::welcome);
    EXPECT_FALSE(model->finished());
    model->signIn();
    EXPECT_EQ(services.connects.size(), 1);
}

TEST_F(OnboardingModelTest, TheDawnWaitsUntilWeAreBackInFront)
{
    services.session = false;
    services.active = false;
    auto model = makeModel();
    model->setWelcomePiko(QRectF(400, 300, 60, 40));
    model->signIn();
    services.answerConnect(true, false);
    services.time.advance(5s);
    EXPECT_EQ(model->step(), Step::welcome);

    services.activate();
    services.time.advance(449ms);
    EXPECT_EQ(model->step(), Step::welcome);
    services.time.advance(1ms);
    EXPECT_EQ(model->step(), Step::sites);
    ASSERT_TRUE(model->dawn());
    EXPECT_EQ(model->dawn()->origin, QRectF(400, 300, 60, 40));
    EXPECT_FALSE(model->sitesRevealed());
    EXPECT_TRUE(model->dotHidden());

    // A second activation does not play it again.
    services.activate();
    services.time.advance(1ms);
    EXPECT_EQ(model->dawnProgress(), 1);
    EXPECT_EQ(model->dawnMotion(), (StageMotion { StageMotion::Curve::linear, 1150ms }));
    services.time.advance(516ms);
    EXPECT_FALSE(model->sitesRevealed());
    services.time.advance(1ms);
    EXPECT_TRUE(model->sitesRevealed());
    EXPECT_TRUE(model->dawn());
    services.time.advance(652ms);
    EXPECT_FALSE(model->dawn());
    EXPECT_FALSE(model->dotHidden());
    EXPECT_EQ(model->dotPulse(), 1);
    services.time.advance(5s);
    EXPECT_EQ(model->step(), Step::sites);
    EXPECT_EQ(model->dotPulse(), 1);
}

TEST_F(OnboardingModelTest, WithoutTheMascotsFrameOrMotionSignInJumpsStraightToTheSites)
{
    for (const bool reduce : { false, true }) {
        services.reduce = reduce;
        auto model = makeModel();
        if (reduce)
            model->setWelcomePiko(QRectF(1, 2, 3, 4));
        model->signIn();
        EXPECT_EQ(model->step(), Step::sites);
        EXPECT_FALSE(model->dawn());
        EXPECT_TRUE(model->sitesRevealed());
        EXPECT_EQ(model->look(), StageLook::rest());
    }
}

TEST_F(OnboardingModelTest, DelayedWorkOfAClosedWizardDoesNothing)
{
    auto model = makeModel();
    model->setWelcomePiko(QRectF(1, 2, 3, 4));
    model->signIn();
    model.reset();
    services.time.advance(5s);

    auto installing = makeModel();
    walkTo(*installing, Step::permission);
    installing->helperLost();
    installing->next();
    installing.reset();
    services.answerInstall(true);
    services.time.advance(5s);
    SUCCEED();
}

} // namespace
} // namespace kestravin
