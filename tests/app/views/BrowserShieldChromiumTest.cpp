// The browser shield end to end on a private desktop (Xvfb with openbox, a
// session bus with the accessibility bus of at-spi2-core) with a real
// Chromium, whose host names go to a loopback HTTP server through its own
// resolver rules, and a temporary hosts file that blocks one of them.
#include "BrowserEndToEnd.h"
#include "ChromiumArguments.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::test::browser;

namespace {

class BrowserShieldChromiumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(u"chromium"_s).isEmpty()) {
            GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
        }
        const QString error = rig.setUp();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        startChromium(u"http://other.test/"_s);
        if (forced) {
            ASSERT_TRUE(waitUntil([this] { return tabs().size() == 1; }, 60000)) << "Chromium's tree did not come up";
        } else {
            ASSERT_TRUE(waitUntil([this] { return title().startsWith(u"other.test"_s); }, 60000))
                << "Chromium's window did not come up";
        }
    }

    void TearDown() override
    {
        rig.tearDown(HasFailure());
        stopProcess(chromium);
    }

    QStringList chromiumArguments(const QString& url) const
    {
        return test::chromiumArguments(
            rig.dir.filePath(u"profile"_s), quint16(rig.server.baseUrl().port()), forced, url);
    }

    void startChromium(const QString& url)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"ACCESSIBILITY_ENABLED"_s);
        if (forced) {
            environment.insert(u"ACCESSIBILITY_ENABLED"_s, u"1"_s);
        }
        chromium.setProcessEnvironment(environment);
        chromium.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chromium.setStandardOutputFile(QProcess::nullDevice());
        chromium.start(u"chromium"_s, chromiumArguments(url));
        ASSERT_TRUE(chromium.waitForStarted(10000));
    }

    // A second start hands its address to the running browser, which opens
    // it in a new tab in front (or a new window).
    void openTab(const QString& url, const QStringList& extra = {})
    {
        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.setStandardOutputFile(QProcess::nullDevice());
        second.start(u"chromium"_s, extra + chromiumArguments(url));
        ASSERT_TRUE(second.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&second] { return second.state() == QProcess::NotRunning; }, 20000));
    }
    void openWindow(const QString& url) { openTab(url, { u"--new-window"_s }); }

    QList<X11Workspace::ClientWindow> windows() const { return rig.windowsOf(chromium.processId()); }

    Tabs tabs() { return tabsOf(rig.tree, chromium.processId()); }
    // The title of Chromium's focused window.
    QString title()
    {
        const auto app = rig.tree.application(chromium.processId());
        const auto window = app ? rig.tree.focusedWindow(*app) : AxRead<AxElement> {};
        return window.ok() ? rig.tree.name(*window.value).value.value_or(QString()) : QString();
    }
    int allTabs() { return allTabsOf(rig.tree, chromium.processId()); }

    // Started with --force-renderer-accessibility and ACCESSIBILITY_ENABLED=1,
    // or as people start it.
    bool forced = true;
    ShieldRig rig;
    QProcess chromium;
};

class BrowserShieldChromiumAsPeopleStartItTest : public BrowserShieldChromiumTest {
protected:
    BrowserShieldChromiumAsPeopleStartItTest() { forced = false; }
};

TEST_F(BrowserShieldChromiumTest, CoversTheBlockedPageClosesItGoesBackAndReloadsOnceFreed)
{
    coverCloseGoBackReload(
        rig, chromium.processId(), [this] { return tabs(); }, [this] { openTab(u"http://blocked.test/"_s); },
        u"browser-shield-panel.png"_s);
}

// The covered window's only tab closed: the window goes, and the panel with
// it; it never moves over the other window, which shows an allowed page.
TEST_F(BrowserShieldChromiumTest, ThePanelGoesWithItsClosedWindow)
{
    rig.shield->start();
    openWindow(u"http://blocked.test/"_s);
    ASSERT_TRUE(waitUntil([this] { return windows().size() == 2; }, 20000));
    ASSERT_TRUE(waitUntil([this] { return rig.panelShown(); }, 10000)) << "no panel over the blocked page";
    ASSERT_TRUE(rig.clickCloseTab());
    ASSERT_TRUE(waitUntil([this] { return windows().size() == 1; }, 10000)) << "the window was not closed";
    EXPECT_TRUE(waitUntil([this] { return !rig.panelShown(); }, 3000)) << "the panel outlived its window";
    EXPECT_TRUE(rig.panelStaysAway(3000)) << "the panel came back over the other window";
    EXPECT_EQ(rig.beeps, 0);
}

// Two maximised windows, the same size in the same place: "Fechar aba"
// closes the blocked tab of the covered one, every time.
TEST_F(BrowserShieldChromiumTest, FecharAbaClosesTheTabOfTheCoveredTwin)
{
    closeTheCoveredTwin(
        rig, [this] { return windows(); }, [this] { return allTabs(); },
        [this] { openWindow(u"http://other.test/"_s); }, [this] { openTab(u"http://blocked.test/"_s); });
}

// "Fechar aba" closes a blocked tab and the tab now in front shows another
// blocked page: that page is covered in turn, and "Fechar aba" closes it too.
TEST_F(BrowserShieldChromiumTest, TheNextBlockedTabIsCoveredAndClosedInTurn)
{
    rig.shield->start();
    openTab(u"http://blocked.test/one"_s);
    ASSERT_TRUE(waitUntil([this] { return rig.panelShown(); }, 10000));
    openTab(u"http://blocked.test/two"_s);
    ASSERT_TRUE(waitUntil([this] { return tabs().size() == 3 && tabs().selected == 2; }, 10000));
    ASSERT_TRUE(rig.clickCloseTab());
    ASSERT_TRUE(waitUntil([this] { return tabs().size() == 2; }, 10000)) << "the first close did nothing";
    ASSERT_TRUE(waitUntil([this] { return rig.panelCovers(chromium.processId()); }, 5000))
        << "the blocked tab now in front is not covered";
    ASSERT_TRUE(rig.clickCloseTab());
    ASSERT_TRUE(waitUntil([this] { return tabs().size() == 1; }, 10000)) << "the second close did nothing";
    EXPECT_TRUE(waitUntil([this] { return !rig.panel->exists(); }, 8000));
    EXPECT_TRUE(tabs().names.value(0).startsWith(u"other.test"_s));
    EXPECT_EQ(rig.beeps, 0);
}

// Chromium's address bar leaves "www." out: with only blocked.test blocked,
// www.blocked.test is never covered, neither while its reply is held back
// (the bar already names the page, its document is not there yet) nor once it
// has loaded. Each opening is a new tab in front.
TEST_F(BrowserShieldChromiumTest, AWwwPageOfABareBlockedHostIsNeverCovered)
{
    rig.shield->start();
    for (int round = 0; round < rounds(); ++round) {
        SCOPED_TRACE(round);
        rig.server.setHoldReplies(true);
        const int before = rig.getsOf("www.blocked.test");
        openTab(u"http://www.blocked.test/"_s);
        ASSERT_TRUE(waitUntil([&] { return rig.getsOf("www.blocked.test") > before; }, 10000));
        EXPECT_TRUE(rig.panelStaysAway(1500)) << "covered while loading";
        rig.server.setHoldReplies(false);
        rig.server.releaseHeld();
        EXPECT_TRUE(rig.panelStaysAway(1000)) << "covered as it ended loading";

        openTab(u"http://www.blocked.test/"_s);
        ASSERT_TRUE(
            waitUntil([this] { return tabs().names.value(tabs().selected).startsWith(u"www.blocked.test"_s); }, 10000))
            << tabs().names.join(u", "_s).toStdString();
        EXPECT_TRUE(rig.panelStaysAway(1500)) << "covered once loaded";
    }
}

// Chromium as people start it (no --force-renderer-accessibility, no
// ACCESSIBILITY_ENABLED), the desktop's switch on before it started: it
// publishes its windows and their titles, but no address bar, tabs or page
// documents, also while the shield reads it and follows its events. A blocked
// page whose title names its host is covered, and the shield's detail (on the
// account page) says what to start Chromium with for the rest.
TEST_F(BrowserShieldChromiumAsPeopleStartItTest, ShowsOnlyTitlesAndTheShieldSaysSo)
{
    rig.shield->start();
    spin(5000);
    EXPECT_EQ(tabs().size(), 0) << "Chromium now publishes its tabs: the docs need another look";
    EXPECT_TRUE(rig.shield->detail().contains(u"--force-renderer-accessibility"_s))
        << rig.shield->detail().toStdString();
    ASSERT_GE(rig.openBlockedPage([this] { openTab(u"http://blocked.test/"_s); }), 0) << "no panel over the title";
    EXPECT_TRUE(waitUntil([this] { return rig.panelCovers(chromium.processId()); }, 2000));
}

} // namespace
