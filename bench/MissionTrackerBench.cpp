// One tick of the goal tracker on a real X server (Xvfb with openbox): the
// active window through the X11 workspace, the idle time through the
// screensaver extension, today's lines. Sixty ticks are ten minutes of
// tracking; `--benchmark_counters_tabular=true` shows the CPU per tick.
#include "BenchSupport.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/linux/X11ActivityProbe.h"
#include "app/platform/linux/X11Workspace.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/account/MissionTracker.h"
#include "support/XDisplay.h"
#include "support/XTestClient.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using kestravin::bench::processCpuSeconds;

namespace {

void missionTrackerTick(benchmark::State& state)
{
    using namespace kestravin;
    test::XDisplay display;
    QString error;
    if (!display.start(&error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    QTemporaryDir data;
    const QString apps = data.filePath(u"applications"_s);
    QDir().mkpath(apps);
    test::writeDesktopEntry(apps, u"org.example.Reader"_s, u"Name=Leitor\nStartupWMClass=ReaderWindow\n"_s);
    test::XTestClients clients;
    clients.launch(display.name(), { u"--class"_s, u"reader,ReaderWindow"_s });
    X11Workspace workspace(DesktopEntryIndex({ apps }), X11Workspace::Options { display.name(), {} });
    X11ActivityProbe probe(workspace, display.name());
    DesktopAccountService account;
    AccountFolga folga;
    DesktopAccountSnapshot snapshot({}, folga);
    snapshot.missions = QList<AccountMission> { { u"app"_s, 600 }, { u"focus"_s, 60 } };
    account.setSnapshot(snapshot);
    QSettings settings(data.filePath(u"defaults.ini"_s), QSettings::IniFormat);
    MissionTracker tracker(
        { &account, &probe, &Clock::system(), &Scheduler::system(), &settings, QTimeZone::systemTimeZone(),
            [](const AccountMission&, std::function<void(std::optional<AccountFailure>)>) {} });
    tracker.setAppIDs({ u"org.example.reader"_s });
    tracker.start();
    QCoreApplication::processEvents();

    const double before = processCpuSeconds();
    qint64 ticks = 0;
    for (auto _ : state) {
        tracker.tick();
        QCoreApplication::processEvents();
        ++ticks;
    }
    state.counters["cpu_ms_per_10min"] = (processCpuSeconds() - before) / double(ticks) * 60 * 1000;
}
BENCHMARK(missionTrackerTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
