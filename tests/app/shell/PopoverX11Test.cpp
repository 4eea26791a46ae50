// The popover window on a real X server (Xvfb with openbox): it takes the
// keyboard when opened, closes when another window takes it, and the tray
// click that took the focus away does not open it again at once.
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ScreenReader.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/shell/PopoverWindow.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/brand/Appearance.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include "../views/AssistantFakes.h"
#include "FakeOnboardingServices.h"
#include "app/views/settings/SettingsWindowController.h"
#include "support/EventLoop.h"
#include "support/XDisplay.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

class ManualClock final : public Clock {
public:
    QDateTime now() const override { return m_now; }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now { QDate(2026, 3, 2), QTime(10, 0), Qt::UTC };
};

bool waitFor(const std::function<bool()>& done)
{
    return kestravin::testing::waitUntil(done, 15000);
}

TEST(PopoverX11, ClosesOnFocusLossAndTheClosingClickDoesNotReopen)
{
    ManualClock clock;
    PopoverWindow popover(clock);
    auto* field = new QLineEdit;
    field->setAccessibleName(u"Minutos"_s);
    popover.setContent(field);

    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    popover.toggle(QPoint(available.right() - 5, available.top()));
    ASSERT_TRUE(waitFor([&] { return popover.isVisible() && popover.isActiveWindow(); }));
    EXPECT_TRUE(available.contains(popover.frameGeometry())) << "clamped to the screen";
    EXPECT_EQ(popover.width(), PopoverWindow::popoverWidth);
    EXPECT_TRUE(popover.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(field->hasFocus()) << "its controls take keys at once";

    // Another window takes the focus: the popover goes.
    QWidget other;
    other.setWindowTitle(u"other"_s);
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitFor([&] { return !popover.isVisible(); }));

    // The tray click that caused it arrives right after: it stays closed.
    clock.advanceMs(100);
    popover.toggle(QPoint(available.center().x(), available.top()));
    kestravin::testing::spin(200);
    EXPECT_FALSE(popover.isVisible());

    // A later click opens it again, and a click while open closes it.
    clock.advanceMs(PopoverWindow::reopenGuardMs);
    popover.toggle(QPoint(available.center().x(), available.top()));
    ASSERT_TRUE(waitFor([&] { return popover.isVisible(); }));
    popover.toggle(QPoint(available.center().x(), available.top()));
    EXPECT_FALSE(popover.isVisible());

    // Escape from a control inside closes it.
    clock.advanceMs(PopoverWindow::reopenGuardMs);
    popover.toggle(QPoint(available.center().x(), available.top()));
    ASSERT_TRUE(waitFor([&] { return popover.isVisible() && field->hasFocus(); }));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
}

// A property of a window as xprop prints it.
QString windowProperty(const QWidget& window, const QString& name)
{
    QProcess xprop;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, qEnvironmentVariable("DISPLAY"));
    xprop.setProcessEnvironment(environment);
    xprop.start(u"xprop"_s, { u"-id"_s, QString::number(window.winId()), name });
    xprop.waitForFinished(5000);
    return QString::fromUtf8(xprop.readAllStandardOutput());
}

// The settings, first-run and assistant windows have one size. openbox
// keeps a maximise slot in the title bar of every window that can be
// minimised (its title layout draws the button disabled), so what counts is
// what the window manager does: it lists no maximise among the allowed
// actions, and a request to maximise (the title bar's button, a double click
// on the title, a key binding) leaves the window as it was.
TEST(FixedWindowsX11, OfferNoMaximise)
{
    SettingsWindowController::shared().show();
    QWidget* settings = SettingsWindowController::shared().window();
    auto& gate = OnboardingWindowController::shared();
    static testing::FakeOnboardingServices signedOut;
    gate.setServices(signedOut);
    ASSERT_FALSE(gate.requireAccount());
    QWidget* firstRun = gate.window();
    testing_support::FakeAssistantPort port;
    FixedScreenReader reader(false);
    QTemporaryDir iconFolder;
    SiteIconStore icons { SiteIconStore::Options {
        iconFolder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    DesktopAIWindow assistant(
        { &port, &Clock::system(), &Scheduler::system(), &reader, &icons, QLocale(), QTimeZone::systemTimeZone(), {} });
    for (QWidget* window : { settings, firstRun, static_cast<QWidget*>(&assistant) }) {
        ASSERT_TRUE(window);
        window->show();
        SCOPED_TRACE(window->windowTitle().toStdString());
        const QSize size = window->size();
        QString actions;
        ASSERT_TRUE(waitFor([&] {
            actions = windowProperty(*window, u"_NET_WM_ALLOWED_ACTIONS"_s);
            return actions.contains(u"_NET_WM_ACTION_CLOSE"_s);
        }));
        EXPECT_FALSE(actions.contains(u"MAXIMIZE"_s)) << actions.toStdString();
        EXPECT_FALSE(actions.contains(u"_NET_WM_ACTION_RESIZE"_s)) << actions.toStdString();
        const QString hints = windowProperty(*window, u"WM_NORMAL_HINTS"_s);
        const auto sizeLine = [&](const QString& which) {
            const qsizetype at = hints.indexOf(which);
            return at < 0 ? QString() : hints.mid(at + which.size()).section(u'\n', 0, 0).trimmed();
        };
        EXPECT_FALSE(sizeLine(u"minimum size:"_s).isEmpty()) << hints.toStdString();
        EXPECT_EQ(sizeLine(u"minimum size:"_s), sizeLine(u"maximum size:"_s)) << hints.toStdString();

        window->showMaximized();
        kestravin::testing::spin(500);
        EXPECT_EQ(window->size(), size);
        EXPECT_FALSE(windowProperty(*window, u"_NET_WM_STATE"_s).contains(u"MAXIMIZED"_s));
        window->hide();
    }
}

} // namespace
} // namespace kestravin
