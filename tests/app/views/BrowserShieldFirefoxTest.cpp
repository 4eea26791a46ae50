// The browser shield end to end on a private desktop (Xvfb with openbox, a
// session bus with the accessibility bus of at-spi2-core) with a real Firefox
// ESR on a fresh profile, whose host names resolve to the loopback server
// through its own settings, and a temporary hosts file that blocks one of
// them.
#include "BrowserEndToEnd.h"

#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::test::browser;

namespace {

const QString firefox = u"firefox-esr"_s;

// A profile that starts straight on the given page and talks to nobody but
// the loopback server: no first-run or what's-new pages, no telemetry,
// updates, studies, safe-browsing lists, captive-portal or connectivity
// checks, no DNS over HTTPS, no HTTPS upgrade of plain addresses, nothing
// fetched ahead. The test's host names resolve to 127.0.0.1; the address
// carries the server's port.
QByteArray userPrefs()
{
    const QList<std::pair<const char*, const char*>> prefs = {
        { "browser.shell.checkDefaultBrowser", "false" },
        { "browser.startup.homepage_override.mstone", "\"ignore\"" },
        { "startup.homepage_welcome_url", "\"\"" },
        { "startup.homepage_welcome_url.additional", "\"\"" },
        { "browser.aboutwelcome.enabled", "false" },
        { "trailhead.firstrun.didSeeAboutWelcome", "true" },
        { "datareporting.policy.dataSubmissionEnabled", "false" },
        { "datareporting.policy.firstRunURL", "\"\"" },
        { "datareporting.healthreport.uploadEnabled", "false" },
        { "toolkit.telemetry.enabled", "false" },
        { "toolkit.telemetry.unified", "false" },
        { "toolkit.telemetry.server", "\"\"" },
        { "toolkit.telemetry.reportingpolicy.firstRun", "false" },
        { "app.update.auto", "false" },
        { "app.update.enabled", "false" },
        { "app.normandy.enabled", "false" },
        { "app.shield.optoutstudies.enabled", "false" },
        { "extensions.update.enabled", "false" },
        { "extensions.getAddons.cache.enabled", "false" },
        { "browser.search.update", "false" },
        { "browser.safebrowsing.malware.enabled", "false" },
        { "browser.safebrowsing.phishing.enabled", "false" },
        { "browser.safebrowsing.downloads.enabled", "false" },
        { "browser.safebrowsing.provider.mozilla.updateURL", "\"\"" },
        { "network.captive-portal-service.enabled", "false" },
        { "network.connectivity-service.enabled", "false" },
        { "network.trr.mode", "5" },
        { "network.dns.localDomains", "\"blocked.test,other.test\"" },
        { "dom.security.https_first", "false" },
        { "dom.security.https_only_mode", "false" },
        { "network.prefetch-next", "false" },
        { "network.http.speculative-parallel-limit", "0" },
        { "browser.urlbar.speculativeConnect.enabled", "false" },
        { "browser.newtabpage.enabled", "false" },
        { "browser.newtab.preload", "false" },
        { "browser.tabs.warnOnClose", "false" },
        { "browser.warnOnQuit", "false" },
        { "browser.sessionstore.resume_from_crash", "false" },
        { "browser.uitour.enabled", "false" },
        { "media.gmp-manager.url", "\"\"" },
        { "media.gmp-provider.enabled", "false" },
    };
    QByteArray text;
    for (const auto& [name, value] : prefs) {
        text += "user_pref(\"" + QByteArray(name) + "\", " + QByteArray(value) + ");\n";
    }
    return text;
}

class BrowserShieldFirefoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(firefox).isEmpty()) {
            GTEST_SKIP() << "firefox-esr is not installed (Debian package firefox-esr)";
        }
        const QString error = rig.setUp();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_TRUE(QDir().mkpath(profile()));
        ASSERT_TRUE(writeFile(profile() + u"/user.js"_s, userPrefs()));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Nothing forces Firefox's tree on (GNOME_ACCESSIBILITY=1 or the
        // preference accessibility.force_disabled = -1 would): it publishes
        // it because the desktop's switch, which the rig turned on as the
        // shield asks for it, was on when it started.
        environment.remove(u"GNOME_ACCESSIBILITY"_s);
        environment.insert(u"MOZ_CRASHREPORTER_DISABLE"_s, u"1"_s);
        process.setProcessEnvironment(environment);
        // Firefox's console is noisy (GLib warnings, its child processes
        // leaving): kept in a file, shown when the test fails.
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(logPath());
        process.start(firefox, { u"--profile"_s, profile(), url("other.test") });
        ASSERT_TRUE(process.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([this] { return tabs().size() == 1 && rig.getsOf("other.test") == 1; }, 60000))
            << "Firefox's tree did not come up (did it see the accessibility switch on?)";
    }

    void TearDown() override
    {
        rig.tearDown(HasFailure());
        stopProcess(process);
        if (HasFailure()) {
            QFile log(logPath());
            if (log.open(QIODevice::ReadOnly)) {
                const QByteArray text = log.readAll();
                std::fprintf(stderr, "firefox (last 4000 bytes):\n%s\n", text.right(4000).constData());
            }
        }
    }

    QString profile() const { return rig.dir.filePath(u"profile"_s); }
    QString logPath() const { return rig.dir.filePath(u"firefox.log"_s); }
    QString url(const char* host) const
    {
        return u"http://%1:%2/"_s.arg(QLatin1String(host)).arg(rig.server.baseUrl().port());
    }

    // A second start on the same profile hands the address to the running
    // browser, which opens it in a new tab in front.
    void openTab(const QString& address, const QString& how = u"--new-tab"_s)
    {
        QProcess second;
        second.setProcessEnvironment(process.processEnvironment());
        second.setProcessChannelMode(QProcess::MergedChannels);
        second.setStandardOutputFile(logPath(), QIODevice::Append);
        second.start(firefox, { u"--profile"_s, profile(), how, address });
        ASSERT_TRUE(second.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&second] { return second.state() == QProcess::NotRunning; }, 20000));
    }

    void openWindow(const QString& address) { openTab(address, u"--new-window"_s); }
    Tabs tabs() { return tabsOf(rig.tree, process.processId()); }
    int allTabs() { return allTabsOf(rig.tree, process.processId()); }
    QList<X11Workspace::ClientWindow> windows() const { return rig.windowsOf(process.processId()); }

    ShieldRig rig;
    QProcess process;
};

TEST_F(BrowserShieldFirefoxTest, CoversTheBlockedPageClosesItGoesBackAndReloadsOnceFreed)
{
    coverCloseGoBackReload(
        rig, process.processId(), [this] { return tabs(); }, [this] { openTab(url("blocked.test")); },
        u"browser-shield-firefox-panel.png"_s);
}

// The covered window's only tab closed: the panel goes with the window and
// never moves over the other one.
TEST_F(BrowserShieldFirefoxTest, ThePanelGoesWithItsClosedWindow)
{
    rig.shield->start();
    openWindow(url("blocked.test"));
    ASSERT_TRUE(waitUntil([this] { return windows().size() == 2; }, 20000));
    ASSERT_TRUE(waitUntil([this] { return rig.panelShown(); }, 10000)) << "no panel over the blocked page";
    ASSERT_TRUE(rig.clickCloseTab());
    ASSERT_TRUE(waitUntil([this] { return windows().size() == 1; }, 10000)) << "the window was not closed";
    EXPECT_TRUE(waitUntil([this] { return !rig.panelShown(); }, 3000)) << "the panel outlived its window";
    EXPECT_TRUE(rig.panelStaysAway(3000)) << "the panel came back over the other window";
    EXPECT_EQ(rig.beeps, 0);
}

// Two maximised windows in the same place: "Fechar aba" closes the blocked
// tab of the covered one, every time.
TEST_F(BrowserShieldFirefoxTest, FecharAbaClosesTheTabOfTheCoveredTwin)
{
    closeTheCoveredTwin(
        rig, [this] { return windows(); }, [this] { return allTabs(); }, [this] { openWindow(url("other.test")); },
        [this] { openTab(url("blocked.test")); });
}

} // namespace
