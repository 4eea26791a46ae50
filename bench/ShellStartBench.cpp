// The application shell's costs on a private session bus with a tray watcher
// of our own:
//  - ColdStartToTrayRegistered: from starting the built `kestravin` to its
//    StatusNotifierItem registering with the watcher;
//  - IdleProcess: the started application left alone for --idle seconds
//    (default 60): CPU share of one core and resident memory;
//  - CountdownTicks: the tray item with a running countdown (the 1 s title
//    timer sending its label) in this process for the same time.

#include "BenchSupport.h"
#include "app/models/FocusCountdown.h"
#include "app/platform/Scheduler.h"
#include "app/shell/MenuBarController.h"
#include "app/shell/PopoverWindow.h"

#include "PrivateBus.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

using kestravin::bench::processCpuSeconds;
using kestravin::bench::runLoopFor;
using kestravin::bench::spinUntil;

namespace {

int g_idleSeconds = 60;

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    int registrations = 0;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString&) { ++registrations; }
};

struct Session {
    Session()
    {
        connection = bus.connect(u"watcher"_s);
        connection.registerObject(u"/StatusNotifierWatcher"_s, &watcher, QDBusConnection::ExportAllSlots);
        connection.registerService(u"org.kde.StatusNotifierWatcher"_s);
    }
    kestravin::testing::PrivateBus bus { kestravin::testing::PrivateBus::Type::session };
    QDBusConnection connection { QString() };
    Watcher watcher;
};

Session& session()
{
    static Session instance;
    return instance;
}

std::unique_ptr<QProcess> startApplication(QTemporaryDir& home)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
    environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
    environment.insert(u"XDG_STATE_HOME"_s, home.filePath(u"state"_s));
    environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u"cache"_s));
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, session().bus.address());
    environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, u"unix:path="_s + home.filePath(u"no-system-bus"_s));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.remove(u"DISPLAY"_s);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(QStringLiteral(KESTRAVIN_APP_BINARY), {});
    return process;
}

void stopApplication(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}

// utime + stime of a process, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

double residentMegabytes(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return -1;
}

void ColdStartToTrayRegistered(benchmark::State& state)
{
    for (auto _ : state) {
        QTemporaryDir home;
        const int before = session().watcher.registrations;
        QElapsedTimer clock;
        clock.start();
        auto process = startApplication(home);
        if (!spinUntil([&] { return session().watcher.registrations > before; }, 30000)) {
            state.SkipWithError("the application did not register its tray item");
            stopApplication(*process);
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        stopApplication(*process);
    }
}
BENCHMARK(ColdStartToTrayRegistered)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void IdleProcess(benchmark::State& state)
{
    for (auto _ : state) {
        QTemporaryDir home;
        const int before = session().watcher.registrations;
        auto process = startApplication(home);
        spinUntil([&] { return session().watcher.registrations > before; }, 30000);
        runLoopFor(3000); // let the start-up settle
        const qint64 pid = process->processId();
        const qint64 startTicks = cpuTicks(pid);
        QElapsedTimer clock;
        clock.start();
        runLoopFor(g_idleSeconds * 1000);
        const double seconds = clock.elapsed() / 1000.0;
        const double cpuSeconds = double(cpuTicks(pid) - startTicks) / double(sysconf(_SC_CLK_TCK));
        state.counters["cpu_percent"] = 100.0 * cpuSeconds / seconds;
        state.counters["rss_mb"] = residentMegabytes(pid);
        state.SetIterationTime(seconds);
        stopApplication(*process);
    }
}
BENCHMARK(IdleProcess)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void CountdownTicks(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer focus;
        focus.start();
        kestravin::MenuBarInputs inputs {
            [] { return true; },
            [] { return false; },
            [] { return false; },
            [&] { return kestravin::FocusCountdown::label(25 * 60 - focus.elapsed() / 1000); },
            [] { return true; },
        };
        kestravin::MenuBarController menuBar(session().bus.connect(u"app"_s), std::move(inputs),
            kestravin::Scheduler::system(), kestravin::Clock::system(),
            [](const QString& text) { return text.size() * 7.0; });
        menuBar.popover().setContent(new QLabel(u"Foco ativo"_s));
        menuBar.setupMenuBar();
        runLoopFor(1000);
        const double startCpu = processCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        runLoopFor(g_idleSeconds * 1000);
        const double seconds = clock.elapsed() / 1000.0;
        state.counters["cpu_percent"] = 100.0 * (processCpuSeconds() - startCpu) / seconds;
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(CountdownTicks)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument.startsWith("--idle=")) {
            g_idleSeconds = argument.mid(7).toInt();
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "ShellStartBench.moc"
