// The launch gate and the windows its callers open.
#include "app/shell/SettingsShortcut.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/onboarding/OnboardingWindowController.h"
#include "app/views/settings/SettingsWindowController.h"

#include "FakeOnboardingServices.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

TEST(LaunchGate, OpensOnlyForALinkedAndOnboardedAccount)
{
    auto& gate = OnboardingWindowController::shared();
    static testing::FakeOnboardingServices services;
    // The account is known and not marked as onboarded.
    services.onboarded = false;
    gate.setServices(services);
    struct Case {
        bool session;
        std::optional<bool> completed;
        bool passes;
    };
    const std::vector<Case> cases {
        { true, true, true },
        { true, false, false },
        { true, std::nullopt, false },
        { false, true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.session << " " << c.completed.value_or(false));
        services.session = c.session;
        services.completed = c.completed;
        SettingsWindowController::shared().show();
        if (gate.window()) {
            gate.window()->hide();
        }
        EXPECT_EQ(gate.requireAccount(), c.passes);
        // Refused: the settings close and the onboarding window comes forward.
        EXPECT_EQ(SettingsWindowController::shared().window()->isVisible(), c.passes);
        EXPECT_EQ(gate.window() && gate.window()->isVisible(), !c.passes);
    }
}

TEST(AssistantWindow, IsMadeOnceAndBroughtBack)
{
    auto& assistant = DesktopAIWindowController::shared();
    assistant.showWindow();
    QWidget* first = assistant.window();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->windowTitle(), u"Pedir ajuda à Orla"_s);
    first->close();
    assistant.showWindow();
    EXPECT_EQ(assistant.window(), first);
    EXPECT_TRUE(first->isVisible());
}

TEST(SettingsShortcut, CtrlCommaOpensTheSettingsFromTheFirstRunWindowAndTheSettingsWindow)
{
    QWidget popover; // hidden, as the popover mostly is
    int opened = 0;
    new SettingsShortcut(
        [&] {
            ++opened;
            SettingsWindowController::shared().show();
        },
        &popover);
    auto& gate = OnboardingWindowController::shared();
    static testing::FakeOnboardingServices signedOut;
    gate.setServices(signedOut);
    ASSERT_FALSE(gate.requireAccount()); // brings up the first-run window
    QWidget* firstRun = gate.window();
    ASSERT_TRUE(firstRun && firstRun->isVisible());
    ASSERT_TRUE(
        !SettingsWindowController::shared().window() || !SettingsWindowController::shared().window()->isVisible());

    QTest::keyClick(firstRun, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    QWidget* settings = SettingsWindowController::shared().window();
    ASSERT_TRUE(settings && settings->isVisible());

    // From a text field of the settings window: the field does not get a comma.
    auto* field = new QLineEdit(settings);
    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(field->text().isEmpty());
    // A plain comma is typed as ever.
    QTest::keyClick(field, Qt::Key_Comma);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(field->text(), u","_s);
    delete field;
    settings->hide();
    firstRun->hide();
}

} // namespace
} // namespace kestravin
