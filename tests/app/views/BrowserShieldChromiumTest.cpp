// The browser shield end to end on a private desktop (Xvfb with openbox, a
// session bus with the accessibility bus of at-spi2-core) with a real
// Chromium, whose host names go to a loopback HTTP server through its own
// resolver rules, and a temporary hosts file that blocks one of them.
#include "BrowserEndToEnd.h"

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
        ASSERT_TRUE(waitUntil([this] { return tabs().size() == 1; }, 60000)) << "Chromium's tree did not come up";
    }

    void TearDown() override
    {
        rig.tearDown(HasFailure());
        stopProcess(chromium);
    }

    QStringList chromiumArguments(const QString& url) const
    {
        return { u"--no-sandbox"_s, u"--no-first-run"_s, u"--disable-background-networking"_s,
            u"--disable-component-update"_s, u"--disable-sync"_s, u"--disable-gpu"_s,
            u"--force-renderer-accessibility"_s, u"--user-data-dir="_s + rig.dir.filePath(u"profile"_s),
            u"--host-resolver-rules=MAP *.test 127.0.0.1:%1"_s.arg(rig.server.baseUrl().port()),
            u"--window-size=1000,700"_s, url };
    }

    void startChromium(const QString& url)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ACCESSIBILITY_ENABLED"_s, u"1"_s);
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

    // "Fechar aba" once the panel is up to be clicked.
    void closeTabOnPanel()
    {
        ASSERT_TRUE(rig.waitForPanelActive());
        rig.panel->view()->closeTabButton()->click();
    }

    Tabs tabs() { return tabsOf(rig.tree, chromium.processId()); }
    int allTabs() { return allTabsOf(rig.tree, chromium.processId()); }

    ShieldRig rig;
    QProcess chromium;
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
    closeTabOnPanel();
    ASSERT_TRUE(waitUntil([this] { return windows().size() == 1; }, 10000)) << "the window was not closed";
    EXPECT_TRUE(waitUntil([this] { return !rig.panelShown(); }, 3000)) << "the panel outlived its window";
    EXPECT_TRUE(rig.panelStaysAway(3000)) << "the panel came back over the other window";
    EXPECT_EQ(rig.beeps, 0);
}

// Two maximised windows, the same size in the same place: "Fechar aba"
// closes the blocked tab of the covered one, every time.
TEST_F(BrowserShieldChromiumTest, FecharAbaClosesTheTabOfTheCoveredTwin)
{
    openWindow(u"http://other.test/"_s);
    ASSERT_TRUE(waitUntil([this] { return windows().size() == 2; }, 20000));
    for (const auto& window : windows()) {
        maximise(window.id);
    }
    ASSERT_TRUE(waitUntil(
        [this] {
            const auto both = windows();
            return both.size() == 2 && both.at(0).frame == both.at(1).frame;
        },
        5000))
        << "the windows are not twins";
    rig.shield->start();
    for (int round = 0; round < rounds(); ++round) {
        SCOPED_TRACE(round);
        // The new tab opens in the window in front.
        openTab(u"http://blocked.test/"_s);
        ASSERT_TRUE(waitUntil([this] { return allTabs() == 3; }, 10000));
        ASSERT_TRUE(waitUntil([this] { return rig.panelShown(); }, 10000)) << "no panel over the blocked page";
        // The panel may come before the page was served (the bar names it).
        ASSERT_TRUE(waitUntil([&] { return rig.getsOf("blocked.test") > round; }, 10000));
        const int gets = rig.getsOf("blocked.test");
        closeTabOnPanel();
        ASSERT_TRUE(waitUntil([this] { return allTabs() == 2; }, 10000)) << "the tab was not closed";
        EXPECT_TRUE(waitUntil([this] { return !rig.panel->exists(); }, 8000));
        EXPECT_EQ(windows().size(), 2);
        EXPECT_EQ(rig.getsOf("blocked.test"), gets);
    }
    EXPECT_EQ(rig.beeps, 0);
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
    closeTabOnPanel();
    ASSERT_TRUE(waitUntil([this] { return tabs().size() == 2; }, 10000)) << "the first close did nothing";
    ASSERT_TRUE(waitUntil([this] { return rig.panelCovers(chromium.processId()); }, 5000))
        << "the blocked tab now in front is not covered";
    closeTabOnPanel();
    ASSERT_TRUE(waitUntil([this] { return tabs().size() == 1; }, 10000)) << "the second close did nothing";
    EXPECT_TRUE(waitUntil([this] { return !rig.panel->exists(); }, 8000));
    EXPECT_TRUE(tabs().names.value(0).startsWith(u"other.test"_s));
    EXPECT_EQ(rig.beeps, 0);
}

} // namespace
