#include "app/views/onboarding/OnboardingModel.h"
#include "app/views/onboarding/OnboardingWindowController.h"
#include "app/views/settings/SettingsPages.h"

#include "FakeOnboardingServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeOnboardingServices;
using Step = OnboardingModel::Step;

class OnboardingWindowTest : public ::testing::Test {
protected:
    OnboardingWindowTest()
    {
        services.reduce = true;
        services.config.blockedSites = { u"youtube.com"_s };
        services.config.schedule
            = WeekSchedule::schedule(OnboardingPolicy::Preset(OnboardingPolicy::Preset::workday).days());
        controller.setSettingsWindow([this] { return settings.get(); });
    }

    bool windowShown() const { return controller.window() && controller.window()->isVisible(); }

    // Signs in on the open wizard and walks it to `target`.
    void walkTo(Step target)
    {
        OnboardingModel& model = *controller.model();
        services.session = true;
        services.helperInstalled = true;
        model.signIn();
        model.helperFound();
        while (model.step() != target)
            model.next();
    }

    FakeOnboardingServices services;
    std::unique_ptr<QWidget> settings = std::make_unique<QWidget>();
    OnboardingWindowController controller { services };
};

TEST_F(OnboardingWindowTest, TheGateDecidesFromTheSessionTheFlagAndTheAccount)
{
    struct Case {
        const char* name;
        SessionLookup lookup;
        bool completed;
        bool session;
        std::optional<bool> onboarded;
        bool installed;
        bool admitted;
        bool wizard;
        bool checks;
        std::optional<bool> flagAfter;
    };
    using L = SessionLookup;
    const QList<Case> cases = {
        { "linked and done", L::loaded, true, true, true, true, true, false, false, true },
        { "signed out elsewhere", L::loaded, true, false, std::nullopt, true, false, true, false, std::nullopt },
        { "fresh", L::loaded, false, false, std::nullopt, false, false, true, false, std::nullopt },
        { "returning user", L::loaded, false, true, true, true, true, false, false, true },
        { "no snapshot yet", L::loaded, false, true, std::nullopt, true, false, false, true, std::nullopt },
        { "account not onboarded", L::loaded, false, true, false, true, false, true, false, std::nullopt },
        { "daemon missing", L::loaded, false, true, true, false, false, true, false, std::nullopt },
        { "keyring not answered, done", L::pending, true, false, std::nullopt, true, true, false, false, true },
        { "keyring not answered, fresh", L::pending, false, false, std::nullopt, true, false, false, false,
            std::nullopt },
        { "keyring locked, done", L::unavailable, true, false, std::nullopt, true, true, false, false, true },
        { "keyring missing, fresh", L::unavailable, false, false, std::nullopt, true, false, true, false,
            std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeOnboardingServices fake;
        fake.lookup = c.lookup;
        fake.completed = c.completed ? std::optional(true) : std::nullopt;
        fake.session = c.session;
        fake.onboarded = c.onboarded;
        fake.helperInstalled = c.installed;
        QWidget settingsWindow;
        settingsWindow.show();
        OnboardingWindowController gate(fake);
        gate.setSettingsWindow([&] { return &settingsWindow; });

        EXPECT_EQ(gate.requireAccount(), c.admitted);
        EXPECT_EQ(gate.window() != nullptr, c.wizard);
        EXPECT_EQ(settingsWindow.isVisible(), !c.wizard);
        EXPECT_EQ(fake.syncs.size(), c.checks ? 1 : 0);
        EXPECT_EQ(fake.completed, c.flagAfter);
    }
}

TEST_F(OnboardingWindowTest, BackgroundCheckAdmitsAnOnboardedAccountWithoutAWindow)
{
    services.session = true;
    services.helperInstalled = true;
    EXPECT_FALSE(controller.requireAccount());
    EXPECT_FALSE(controller.requireAccount());
    EXPECT_EQ(services.calls.count(u"syncNow"_s), 1);
    EXPECT_TRUE(controller.checking());
    EXPECT_FALSE(controller.window());

    // The first sync brings the snapshot.
    services.onboarded = true;
    services.syncs.takeFirst()();
    EXPECT_FALSE(controller.checking());
    EXPECT_EQ(services.completed, true);
    services.time.advance(20s);
    EXPECT_FALSE(controller.window());
    EXPECT_TRUE(controller.requireAccount());
}

TEST_F(OnboardingWindowTest, BackgroundCheckOpensTheWizardForANewAccountOrNoSnapshot)
{
    struct Case {
        const char* name;
        std::optional<std::chrono::milliseconds> snapshotAfter; // after the sync; none = never
        std::chrono::milliseconds opensAfter;
    };
    const QList<Case> cases = {
        { "arrives with the sync", 0ms, 0ms },
        { "arrives during the wait", 1100ms, 1250ms },
        { "never arrives", std::nullopt, 10s },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeOnboardingServices fake;
        fake.session = true;
        fake.helperInstalled = true;
        OnboardingWindowController gate(fake);
        gate.setSettingsWindow([] { return nullptr; });
        EXPECT_FALSE(gate.requireAccount());
        if (c.snapshotAfter == 0ms)
            fake.onboarded = false;
        fake.syncs.takeFirst()();
        if (c.snapshotAfter && *c.snapshotAfter > 0ms) {
            fake.time.advance(*c.snapshotAfter);
            fake.onboarded = false;
        }
        const auto waited = c.snapshotAfter.value_or(0ms);
        if (c.opensAfter > waited) {
            fake.time.advance(c.opensAfter - waited - 1ms);
            EXPECT_FALSE(gate.window());
            fake.time.advance(1ms);
        }
        ASSERT_TRUE(gate.window());
        EXPECT_TRUE(gate.window()->isVisible());
        EXPECT_FALSE(gate.checking());
        EXPECT_FALSE(fake.completed);
        delete gate.window();
    }
}

TEST_F(OnboardingWindowTest, TheGateWaitsForTheKeyringBeforeTakingAnythingAway)
{
    // Locked at login: the person who finished the first run is let in and
    // keeps the flag, however often the account reports it still locked.
    services.completed = true;
    services.lookup = SessionLookup::unavailable;
    EXPECT_TRUE(controller.requireAccount());
    services.accountMoved();
    services.accountMoved();
    EXPECT_EQ(services.completed, true);
    EXPECT_FALSE(controller.window());

    // Unlocked with the session in it: still in.
    services.lookup = SessionLookup::loaded;
    services.session = true;
    services.accountMoved();
    EXPECT_FALSE(controller.checking());
    EXPECT_EQ(services.completed, true);
    EXPECT_FALSE(controller.window());

    // Unlocked without a session: that is a sign-out after all.
    FakeOnboardingServices fake;
    fake.completed = true;
    fake.lookup = SessionLookup::pending;
    OnboardingWindowController gate(fake);
    gate.setSettingsWindow([] { return nullptr; });
    EXPECT_TRUE(gate.requireAccount());
    fake.lookup = SessionLookup::loaded;
    fake.accountMoved();
    EXPECT_FALSE(fake.completed);
    ASSERT_TRUE(gate.window());
    delete gate.window();
}

TEST_F(OnboardingWindowTest, TheWindowIsTheWizardsAndThereIsOnlyOne)
{
    OnboardingModel* seen = nullptr;
    controller.setContentFactory([&](OnboardingModel& model) {
        seen = &model;
        return new QWidget;
    });
    settings->show();
    EXPECT_FALSE(controller.requireAccount());
    QWidget* window = controller.window();
    ASSERT_TRUE(window);
    EXPECT_FALSE(settings->isVisible());
    EXPECT_EQ(window->windowTitle(), u"Boas-vindas ao Kestravin"_s);
    EXPECT_EQ(window->size(), QSize(880, 720));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(seen, controller.model());
    EXPECT_EQ(controller.model()->step(), Step::welcome);

    OnboardingModel* model = controller.model();
    EXPECT_FALSE(controller.requireAccount());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(controller.model(), model);
}

TEST_F(OnboardingWindowTest, ClosingOnTheLastStepFinishesOnceAndElsewhereAbandons)
{
    struct Case {
        Step step;
        bool pressDone;
        bool finishes;
    };
    const QList<Case> cases = {
        { Step::done, false, true },
        { Step::done, true, true },
        { Step::hours, false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step.rawValue());
        services.completed.reset();
        services.config.enabled = false;
        services.calls.clear();
        controller.show();
        walkTo(c.step);
        int closed = 0;
        auto watch = QObject::connect(&controller, &OnboardingWindowController::windowClosed, [&] { ++closed; });
        if (c.pressDone)
            controller.model()->finish(true);
        else
            controller.window()->close();
        QObject::disconnect(watch);
        EXPECT_EQ(closed, 1);
        EXPECT_FALSE(controller.window());
        EXPECT_FALSE(controller.model());
        EXPECT_EQ(services.calls.count(u"setOnboardingCompleted"_s), c.finishes ? 1 : 0);
        EXPECT_EQ(services.config.enabled, c.finishes);
        QApplication::processEvents();

        // The next gate starts a new wizard from the beginning.
        services.session = false;
        controller.show();
        EXPECT_EQ(controller.model()->step(), Step::welcome);
        delete controller.window();
        EXPECT_FALSE(controller.window());
    }
}

TEST_F(OnboardingWindowTest, AReturningUserClosesTheWizardFromTheWelcomeStep)
{
    controller.show();
    services.helperInstalled = true;
    controller.model()->signIn();
    services.answerConnect(true, true);
    EXPECT_FALSE(controller.window());
    EXPECT_EQ(services.completed, true);
    EXPECT_EQ(services.calls.count(u"setOnboardingCompleted"_s), 1);
    EXPECT_FALSE(services.config.enabled);
}

TEST_F(OnboardingWindowTest, ReviewingTheWelcomeFromTheAboutPageStartsTheFirstRunAgain)
{
    services.session = true;
    services.completed = true;
    ASSERT_TRUE(controller.requireAccount());
    AboutPage::reviewWelcomeHook() = [this] { controller.reviewWelcome(); };
    AboutPage about(*new NoUpdater(u"1.0"_s));
    const auto buttons = about.findChildren<QAbstractButton*>();
    const auto review = std::ranges::find_if(
        buttons, [](const QAbstractButton* button) { return button->text() == u"Rever as boas-vindas"_s; });
    ASSERT_NE(review, buttons.end());
    EXPECT_EQ((*review)->accessibleName(), u"Rever as boas-vindas"_s);
    (*review)->click();
    AboutPage::reviewWelcomeHook() = nullptr;
    EXPECT_FALSE(services.completed);
    ASSERT_TRUE(windowShown());
    EXPECT_EQ(controller.model()->step(), Step::welcome);
    // Until the wizard is finished again, the gate keeps the settings closed.
    EXPECT_FALSE(controller.requireAccount());
}

TEST_F(OnboardingWindowTest, ClosingTheWizardLeavesTheApplicationRunning)
{
    QApplication::setQuitOnLastWindowClosed(true);
    controller.show();
    QTimer::singleShot(0, controller.window(), [this] { controller.window()->close(); });
    QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QCoreApplication::exec(), 7);
}

} // namespace
} // namespace kestravin
