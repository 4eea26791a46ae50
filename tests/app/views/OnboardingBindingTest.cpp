// The wizard's screens bound to its model inside the onboarding window: the
// model on a double of its services and virtual time, the screens over the
// real configuration of the services' rig, on the offscreen platform.
#include "OnboardingRig.h"
#include "ViewsTestSupport.h"

#include "FakeOnboardingServices.h"

#include "app/views/brand/BrandButton.h"
#include "app/views/onboarding/NightScreens.h"
#include "app/views/onboarding/OnboardingBinding.h"
#include "app/views/onboarding/OnboardingModel.h"
#include "app/views/onboarding/OnboardingView.h"
#include "app/views/onboarding/OnboardingWidgets.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include <QAbstractButton>
#include <QApplication>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace kestravin;
using kestravin::testing::FakeOnboardingServices;
using kestravin::testing::OnboardingRig;
using testing_support::waitFor;
using Step = OnboardingModel::Step;
using Preset = OnboardingPolicy::Preset;

namespace {

class OnboardingBindingTest : public testing_support::AppearanceTest {
protected:
    void SetUp() override
    {
        // The screens' own entrances end at once; whether the model moves
        // with motion is the double's `reduce`, set by each test.
        setAppearance(ColorScheme::Light, true);
        services.reduce = true;
        services.helperInstalled = true;
        services.config.blockedSites = { u"youtube.com"_s };
        services.config.schedule = WeekSchedule::schedule(Preset(Preset::workday).days());
        controller.setSettingsWindow([] { return nullptr; });
        controller.setContentFactory(OnboardingBinding::content([this] { return rig.services(); }));
    }

    // The gate of a person without an account opens the wizard.
    void open()
    {
        ASSERT_FALSE(controller.requireAccount());
        ASSERT_TRUE(controller.window());
        QApplication::setActiveWindow(controller.window());
    }

    OnboardingView* view() const
    {
        return controller.window() ? controller.window()->findChild<OnboardingView*>() : nullptr;
    }
    OnboardingModel& model() const { return *controller.model(); }

    static QAbstractButton* button(QWidget* root, const QString& name)
    {
        for (QAbstractButton* candidate : root->findChildren<QAbstractButton*>()) {
            if (candidate->isVisible() && (candidate->accessibleName() == name || candidate->text() == name))
                return candidate;
        }
        return nullptr;
    }

    // Signs in through the welcome screen's button with an account already
    // linked and not yet onboarded.
    void signIn()
    {
        services.session = true;
        ASSERT_TRUE(waitFor([&] { return model().welcomeReady(); })) << "the welcome reports that it is ready";
        QAbstractButton* signInButton = button(view(), u"Entrar ou criar conta"_s);
        ASSERT_TRUE(signInButton);
        signInButton->click();
    }

    // The view shows the model's step, with that step's screen.
    ::testing::AssertionResult follows(Step step) const
    {
        if (!waitFor([&] { return view()->state().step == step.rawValue(); }, 2000))
            return ::testing::AssertionFailure()
                << "view on " << view()->state().step << ", model on " << model().stepValue();
        if (step.isNight() ? view()->dayStep() != nullptr : view()->dayStep() == nullptr)
            return ::testing::AssertionFailure() << "the screen is not the step's";
        return ::testing::AssertionSuccess();
    }

    FakeOnboardingServices services;
    OnboardingRig rig;
    OnboardingWindowController controller { services };
};

} // namespace

TEST_F(OnboardingBindingTest, TheWindowShowsTheWelcomeAndItsSignInLeadsToTheFirstStep)
{
    open();
    ASSERT_TRUE(view());
    EXPECT_TRUE(view()->isVisible());
    EXPECT_TRUE(qobject_cast<WelcomeStep*>(view()->screen()));
    EXPECT_TRUE(follows(Step::welcome));

    ASSERT_TRUE(waitFor([&] { return model().welcomeReady(); }));
    EXPECT_TRUE(model().welcomePiko()) << "the mascot's frame reaches the model";
    ASSERT_TRUE(button(view(), u"Entrar ou criar conta"_s));
    button(view(), u"Entrar ou criar conta"_s)->click();
    EXPECT_EQ(services.calls.count(u"connect"_s), 1);
    services.answerConnect(true, false);
    EXPECT_EQ(model().step(), Step::sites);
    EXPECT_TRUE(follows(Step::sites));
    EXPECT_TRUE(view()->state().permitted);
}

TEST_F(OnboardingBindingTest, TheViewsButtonsAndKeysMoveTheModelAndTheViewFollows)
{
    open();
    signIn();
    ASSERT_TRUE(follows(Step::sites));

    enum class Action { continueButton, backButton, returnKey, escapeKey };
    struct Case {
        const char* name;
        Action action;
        Step expected;
    };
    const Case cases[] = {
        { "continue on sites", Action::continueButton, Step::hours },
        { "Return on hours", Action::returnKey, Step::permission },
        { "Esc on permission", Action::escapeKey, Step::hours },
        { "back on hours", Action::backButton, Step::sites },
        { "Esc on sites stays", Action::escapeKey, Step::sites },
        { "Return on sites", Action::returnKey, Step::hours },
        { "continue on hours", Action::continueButton, Step::permission },
        { "continue on permission", Action::continueButton, Step::missions },
        { "continue on goals", Action::continueButton, Step::done },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        switch (c.action) {
        case Action::continueButton:
            view()->footer()->continueButton()->click();
            break;
        case Action::backButton:
            view()->footer()->backButton()->click();
            break;
        case Action::returnKey:
            QTest::keyClick(view(), Qt::Key_Return);
            break;
        case Action::escapeKey:
            QTest::keyClick(view(), Qt::Key_Escape);
            break;
        }
        EXPECT_EQ(model().step(), c.expected);
        EXPECT_TRUE(follows(c.expected));
        if (!c.expected.isNight()) {
            EXPECT_EQ(view()->progress()->step(), c.expected.rawValue());
        }
    }
}

TEST_F(OnboardingBindingTest, TheFooterFollowsTheModelsRules)
{
    services.config.blockedSites.clear();
    open();
    signIn();
    ASSERT_TRUE(follows(Step::sites));
    EXPECT_FALSE(view()->state().canNext);
    EXPECT_EQ(view()->state().hint, OnboardingModel::sitesHint);
    view()->footer()->continueButton()->click();
    EXPECT_EQ(model().step(), Step::sites);

    // A site chosen elsewhere lets the step pass.
    Configuration configuration = services.config;
    configuration.blockedSites = { u"reddit.com"_s };
    services.setConfiguration(configuration);
    ASSERT_TRUE(waitFor([&] { return view()->state().canNext; }));
    EXPECT_TRUE(view()->state().hint.isEmpty());

    // Without the daemon the permission step asks for it and waits while it installs.
    services.helperInstalled = false;
    model().helperLost();
    view()->footer()->continueButton()->click();
    ASSERT_TRUE(follows(Step::hours));
    view()->footer()->continueButton()->click();
    ASSERT_TRUE(follows(Step::permission));
    ASSERT_TRUE(waitFor([&] { return view()->state().nextLabel == OnboardingModel::permitLabel; }));
    view()->footer()->continueButton()->click();
    EXPECT_EQ(services.calls.count(u"installHelper"_s), 1);
    ASSERT_TRUE(waitFor([&] { return view()->state().installing && !view()->state().canNext; }));
    services.answerInstall(false, u"Request dismissed: cancelled"_s);
    ASSERT_TRUE(waitFor([&] { return view()->state().permissionMessage.has_value(); }));
    EXPECT_EQ(*view()->state().permissionMessage, OnboardingModel::cancelledInstallMessage);
    EXPECT_FALSE(view()->state().installing);
}

TEST_F(OnboardingBindingTest, APresetChipAppliesThePresetAndAHandEditClearsIt)
{
    services.config.schedule = {};
    open();
    signIn();
    ASSERT_TRUE(follows(Step::sites));
    view()->footer()->continueButton()->click();
    ASSERT_TRUE(follows(Step::hours));
    auto* hours = qobject_cast<HoursStep*>(view()->dayStep());
    ASSERT_TRUE(hours);
    EXPECT_FALSE(view()->state().canNext) << "an empty week";

    for (const int tick : { 1, 2 }) {
        hours->chip(Preset::business)->click();
        EXPECT_EQ(model().preset(), Preset(Preset::business));
        ASSERT_TRUE(model().presetPulse());
        EXPECT_EQ(model().presetPulse()->tick, tick);
        ASSERT_TRUE(waitFor([&] { return view()->state().presetPulse == tick; }));
    }
    EXPECT_EQ(services.calls.count(u"setWeek"_s), 2);
    EXPECT_EQ(Preset::matching(WeekSchedule::days(services.config.schedule)), Preset(Preset::business));
    EXPECT_EQ(view()->state().preset, Preset(Preset::business));
    EXPECT_TRUE(hours->chip(Preset::business)->isSelected());
    EXPECT_FALSE(hours->chip(Preset::workday)->isSelected());
    EXPECT_TRUE(view()->state().canNext);

    // A hand edit on the grid leaves no chip selected; while the grid holds
    // an edit, Esc is its own.
    Q_EMIT hours->weekEdited();
    EXPECT_FALSE(model().preset());
    ASSERT_TRUE(waitFor([&] { return !view()->state().preset; }));
    EXPECT_FALSE(hours->chip(Preset::business)->isSelected());
    Q_EMIT hours->weekActiveChanged(true);
    EXPECT_TRUE(model().weekActive());
    ASSERT_TRUE(waitFor([&] { return view()->state().weekActive; }));
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_EQ(model().step(), Step::hours);
    Q_EMIT hours->weekActiveChanged(false);
    ASSERT_TRUE(waitFor([&] { return !view()->state().weekActive; }));
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_EQ(model().step(), Step::sites);
}

TEST_F(OnboardingBindingTest, TheDoneScreensButtonFinishesOnceAndClosesTheWindow)
{
    open();
    signIn();
    ASSERT_TRUE(follows(Step::sites));
    while (model().step() != Step::done)
        view()->footer()->continueButton()->click();
    ASSERT_TRUE(follows(Step::done));
    auto* done = qobject_cast<DoneStep*>(view()->screen());
    ASSERT_TRUE(done);
    int closed = 0;
    QObject::connect(&controller, &OnboardingWindowController::windowClosed, [&] { ++closed; });

    done->closeButton()->click();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(controller.window());
    EXPECT_EQ(services.completed, true);
    EXPECT_TRUE(services.config.enabled);
    EXPECT_EQ(services.calls.count(u"setOnboardingCompleted"_s), 1);
    EXPECT_EQ(services.calls.count(u"finishOnboarding"_s), 1);
    // The window and its wizard go on the next turn; nothing reaches the
    // model after it.
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(services.calls.count(u"setOnboardingCompleted"_s), 1);
}

TEST_F(OnboardingBindingTest, TheStepSlidesAlongTheModelsMotion)
{
    services.reduce = false;
    open();
    signIn();
    ASSERT_TRUE(follows(Step::sites));
    EXPECT_EQ(view()->state().opacity, 1.0);

    view()->footer()->continueButton()->click();
    EXPECT_EQ(model().look().opacity, 0.0);
    QApplication::processEvents();
    EXPECT_GT(view()->state().opacity, 0.0) << "the old step fades, it does not vanish";
    ASSERT_TRUE(waitFor([&] { return view()->state().opacity == 0.0; }));
    EXPECT_NEAR(view()->state().x, -OnboardingModel::leaveShift, 1e-9);
    EXPECT_EQ(view()->state().step, Step(Step::sites).rawValue());

    services.time.advance(OnboardingModel::leaveDuration);
    ASSERT_TRUE(follows(Step::hours));
    services.time.advance(0ms);
    ASSERT_TRUE(waitFor([&] { return view()->state().opacity > 0.0 && view()->state().opacity < 1.0; }))
        << "the new step comes in";
    ASSERT_TRUE(waitFor([&] { return view()->state().opacity == 1.0; }));
    EXPECT_EQ(view()->state().x, 0.0);
    EXPECT_EQ(view()->state().blur, 0.0);
}

TEST_F(OnboardingBindingTest, TheDawnRunsFromTheWelcomeMascotToTheFirstDot)
{
    services.reduce = false;
    open();
    signIn();
    // One change, once the model has set the dawn, the step and the held-back
    // content together: the overlay starts over the day chrome.
    ASSERT_TRUE(follows(Step::sites));
    ASSERT_TRUE(view()->state().dawn);
    EXPECT_EQ(*view()->state().dawn, *model().welcomePiko());
    EXPECT_FALSE(view()->state().sitesRevealed);
    EXPECT_TRUE(view()->dawnOverlay()->isVisible());
    EXPECT_EQ(view()->state().dawnProgress, 0.0);

    services.time.advance(0ms);
    ASSERT_TRUE(waitFor([&] { return view()->state().dawnProgress > 0.0 && view()->state().dawnProgress < 1.0; }))
        << "the light grows frame by frame";
    ASSERT_TRUE(waitFor([&] { return view()->state().dawnProgress == 1.0; }, 4000));
    const QPointF dot = view()->progress()->mapTo(view(), view()->progress()->dotCentre(1).toPoint());
    EXPECT_NEAR(view()->dawnOverlay()->frame().mascot.x(), dot.x(), 1.0);
    EXPECT_NEAR(view()->dawnOverlay()->frame().mascot.y(), dot.y(), 1.0);

    services.time.advance(OnboardingModel::dawnEndAfter);
    ASSERT_TRUE(waitFor([&] { return !view()->state().dawn; }));
    EXPECT_FALSE(view()->dawnOverlay()->isVisible());
    EXPECT_TRUE(view()->state().sitesRevealed);
    EXPECT_EQ(view()->state().dotPulse, 1);
}
