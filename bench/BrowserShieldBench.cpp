// The browser shield's cost while it runs, on a private accessible desktop
// (Xvfb with openbox, a session bus with the accessibility bus switched on),
// as the CPU share of one core this process spends over --idle seconds
// (default 60) with the shield started as in the application (reads on their
// own thread, the browsers' announcements followed, passes every 0.5 s or,
// over an allowed page of a browser that announces its changes, every 2 s):
//  - NoShield: the same process with the shield stopped, for comparison;
//  - NoBrowser: the shield started, no browser anywhere;
//  - ChromiumOnAnAllowedPage: Chromium in front on an allowed page, the
//    shield reading it at every pass;
//  - BlockedPageToPanel: from the blocked page served to the panel over it,
//    over --rounds openings (default 10), each in a new tab closed afterwards.
// Chromium's own work is in its processes and is not counted.

#include "BenchSupport.h"
#include "app/platform/Clock.h"
#include "app/platform/DesktopEntryIndex.h"
#include "app/platform/Scheduler.h"
#include "app/platform/linux/AtspiEvents.h"
#include "app/platform/linux/AtspiTree.h"
#include "app/platform/linux/X11BrowserWindows.h"
#include "app/platform/linux/X11Workspace.h"
#include "app/services/shield/DesktopBrowserShield.h"
#include "app/services/shield/ShieldReads.h"
#include "app/views/shield/ShieldPanel.h"

#include "AccessibleSession.h"
#include "ChromiumArguments.h"
#include "LoopbackHttpServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;
using namespace kestravin;

using kestravin::bench::processCpuSeconds;
using kestravin::bench::runLoopFor;
using kestravin::bench::spinUntil;

namespace {

int g_idleSeconds = 60;
int g_rounds = 10;

const QByteArray blockingHosts = "127.0.0.1 localhost\n"
                                 "# Kestravin START - DO NOT EDIT THIS SECTION\n"
                                 "127.0.0.1 blocked.test\n"
                                 "# Kestravin END\n";

// A shield on the private desktop over a temporary hosts file that blocks
// blocked.test, and a loopback server that answers every host with a page
// titled after it.
struct Rig {
    Rig()
    {
        QFile hosts(dir.filePath(u"hosts"_s));
        if (hosts.open(QIODevice::WriteOnly)) {
            hosts.write(blockingHosts);
        }
        server.setPage([](const kestravin::testing::LoopbackHttpServer::Request& request) {
            const QByteArray host = request.headers.value("host").split(':').value(0);
            return "<html><head><title>" + host + "</title></head><body><h1>" + host + "</h1></body></html>";
        });
        tree.enable();
        windows = std::make_unique<X11BrowserWindows>(workspace);
        shield = std::make_unique<DesktopBrowserShield>(shieldTree, *windows, keys, panel, Clock::system(),
            Scheduler::system(),
            DesktopBrowserShield::Environment {
                dir.filePath(u"hosts"_s), dir.filePath(u"shield.log"_s), dir.filePath(u"settings.ini"_s), 5 },
            DesktopBrowserShield::Collaborators {}, reads);
        shield->follow(events);
    }
    ~Rig() { shield->stop(); }

    QStringList chromiumArguments(const QString& url) const
    {
        return test::chromiumArguments(dir.filePath(u"profile"_s), quint16(server.baseUrl().port()), true, url);
    }

    bool startChromium()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ACCESSIBILITY_ENABLED"_s, u"1"_s);
        chromium.setProcessEnvironment(environment);
        chromium.setStandardOutputFile(QProcess::nullDevice());
        chromium.setStandardErrorFile(QProcess::nullDevice());
        chromium.start(u"chromium"_s, chromiumArguments(u"http://other.test/"_s));
        return chromium.waitForStarted(10000) && spinUntil([this] { return pageTitled(u"other.test"_s); }, 60000);
    }

    // Whether Chromium's focused window shows a page titled `title`.
    bool pageTitled(const QString& title)
    {
        const auto app = tree.application(chromium.processId());
        if (!app) {
            return false;
        }
        const auto window = tree.focusedWindow(*app);
        return window.ok() && tree.name(*window.value).value.value_or(QString()).startsWith(title);
    }

    void openTab(const QString& url)
    {
        QProcess second;
        second.setStandardOutputFile(QProcess::nullDevice());
        second.setStandardErrorFile(QProcess::nullDevice());
        second.start(u"chromium"_s, chromiumArguments(url));
        second.waitForFinished(20000);
    }

    void stopChromium()
    {
        if (chromium.state() != QProcess::NotRunning) {
            chromium.terminate();
            if (!chromium.waitForFinished(5000)) {
                chromium.kill();
                chromium.waitForFinished(5000);
            }
        }
    }

    QTemporaryDir dir;
    kestravin::testing::LoopbackHttpServer server;
    AtspiTree tree;
    AtspiTree shieldTree;
    AtspiEvents events;
    ThreadShieldReads reads;
    XTestKeySender keys;
    X11Workspace workspace { DesktopEntryIndex(), X11Workspace::Options { QString(), u"com.kestravin.app"_s } };
    std::unique_ptr<X11BrowserWindows> windows;
    ShieldPanel panel { [] { return BrowserShieldView::Inputs {}; } };
    std::unique_ptr<DesktopBrowserShield> shield;
    QProcess chromium;
};

void measureIdle(benchmark::State& state)
{
    runLoopFor(2000); // let the start-up settle
    const double startCpu = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    runLoopFor(g_idleSeconds * 1000);
    const double seconds = clock.elapsed() / 1000.0;
    state.counters["cpu_percent"] = 100.0 * (processCpuSeconds() - startCpu) / seconds;
    state.SetIterationTime(seconds);
}

// Measures a rig without a browser, its shield started or not.
void withoutBrowser(benchmark::State& state, bool started)
{
    for (auto _ : state) {
        Rig rig;
        if (started) {
            rig.shield->start();
        }
        measureIdle(state);
    }
}

// Runs `measure` on a rig with Chromium in front on an allowed page and the
// shield started; skipped when Chromium is missing or its tree never came up.
void withChromium(benchmark::State& state, const std::function<void(Rig&)>& measure)
{
    if (QStandardPaths::findExecutable(u"chromium"_s).isEmpty()) {
        state.SkipWithError("chromium is not installed");
        return;
    }
    for (auto _ : state) {
        Rig rig;
        if (!rig.startChromium()) {
            state.SkipWithError("Chromium's tree did not come up");
            rig.stopChromium();
            return;
        }
        rig.shield->start();
        measure(rig);
        rig.shield->stop();
        rig.stopChromium();
    }
}

void NoShield(benchmark::State& state)
{
    withoutBrowser(state, false);
}
BENCHMARK(NoShield)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void NoBrowser(benchmark::State& state)
{
    withoutBrowser(state, true);
}
BENCHMARK(NoBrowser)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void ChromiumOnAnAllowedPage(benchmark::State& state)
{
    withChromium(state, [&state](Rig&) { measureIdle(state); });
}
BENCHMARK(ChromiumOnAnAllowedPage)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void BlockedPageToPanel(benchmark::State& state)
{
    withChromium(state, [&state](Rig& rig) {
        runLoopFor(2000);
        QList<qint64> latencies;
        for (int round = 0; round < g_rounds; ++round) {
            // Openings spread over the scan's period.
            runLoopFor(round * 170 % 500);
            const size_t before = rig.server.requests().size();
            QElapsedTimer clock;
            clock.start();
            qint64 served = -1;
            auto watch = QObject::connect(&rig.server, &kestravin::testing::LoopbackHttpServer::requestReceived, [&] {
                if (served < 0 && rig.server.requests().size() > before) {
                    served = clock.elapsed();
                }
            });
            rig.openTab(u"http://blocked.test/"_s);
            const bool shown = spinUntil([&rig] { return rig.shield->covering(); }, 10000);
            const qint64 shownAt = clock.elapsed();
            QObject::disconnect(watch);
            if (!shown || served < 0) {
                continue;
            }
            latencies.append(std::max<qint64>(0, shownAt - served));
            rig.shield->closeTab();
            spinUntil([&rig] { return !rig.shield->covering(); }, 10000);
        }
        if (latencies.isEmpty()) {
            state.SkipWithError("no panel came up");
            return;
        }
        std::sort(latencies.begin(), latencies.end());
        state.counters["median_ms"] = double(latencies.at(latencies.size() / 2));
        state.counters["worst_ms"] = double(latencies.back());
        state.counters["openings"] = double(latencies.size());
        state.SetIterationTime(double(latencies.back()) / 1000.0);
    });
}
BENCHMARK(BlockedPageToPanel)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument.startsWith("--idle=")) {
            g_idleSeconds = argument.mid(7).toInt();
        } else if (argument.startsWith("--rounds=")) {
            g_rounds = argument.mid(9).toInt();
        }
    }
    // The private session bus has no dconf: the accessibility switch is then
    // kept in the launcher's memory.
    qputenv("GSETTINGS_BACKEND", "memory");
    kestravin::test::AccessibleSession session;
    QString error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "no accessible desktop: %s\n", qPrintable(error));
        return 1;
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
