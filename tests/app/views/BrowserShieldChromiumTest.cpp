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
    // it in a new tab in front.
    void openTab(const QString& url)
    {
        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.setStandardOutputFile(QProcess::nullDevice());
        second.start(u"chromium"_s, chromiumArguments(url));
        ASSERT_TRUE(second.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&second] { return second.state() == QProcess::NotRunning; }, 20000));
    }

    Tabs tabs() { return tabsOf(rig.tree, chromium.processId()); }

    ShieldRig rig;
    QProcess chromium;
};

TEST_F(BrowserShieldChromiumTest, CoversTheBlockedPageClosesItGoesBackAndReloadsOnceFreed)
{
    coverCloseGoBackReload(
        rig, chromium.processId(), [this] { return tabs(); }, [this] { openTab(u"http://blocked.test/"_s); },
        u"browser-shield-panel.png"_s);
}

} // namespace
