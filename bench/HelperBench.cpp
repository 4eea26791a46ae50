// The daemon's hot paths: rewriting the hosts file with its read-back, the full
// schedule check when nothing changes, the per-second poll, and an idle second
// at large block lists.

#include "helper/HelperService.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

class StillTicker final : public HelperTicker {
public:
    void start(std::chrono::milliseconds, std::function<void()>) override { }
    void stop() override { }
    bool isActive() const override { return false; }
};

struct Bench {
    QTemporaryDir dir;
    Instant now = Instant::fromUnixSeconds(1772445600); // a Monday, 10:00 UTC
    std::unique_ptr<HelperService> service;

    Bench()
    {
        QFile hosts(dir.filePath(u"hosts"_s));
        hosts.open(QIODevice::WriteOnly);
        hosts.write("127.0.0.1 localhost\n::1 localhost ip6-localhost ip6-loopback\n");
        hosts.close();
        HelperService::Options options;
        options.hostsPath = hosts.fileName();
        options.configPath = dir.filePath(u"helper-config.json"_s);
        options.currentDate = [this] { return now; };
        options.dnsFlush = [] {};
        options.log = [](const QString&) {};
        options.ticker = std::make_unique<StillTicker>();
        options.timeZone = QTimeZone::utc();
        options.monitor = false;
        service = std::make_unique<HelperService>(std::move(options));
    }
};

QStringList hostList(int count, const char* prefix)
{
    QStringList sites;
    sites.reserve(count);
    for (int i = 0; i < count; ++i)
        sites.append(u"%1%2.example.com"_s.arg(QLatin1StringView(prefix)).arg(i));
    return sites;
}

// The baseline: the same bytes with a plain write, fsync and rename.
void plainReplace(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".plain";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
        std::abort();
    ::fsync(fd);
    ::close(fd);
    ::rename(temp.constData(), target.constData());
}

// Each iteration times a full activation and then a plain replacement of the
// same bytes, so that both see the same disk and load; the reported time is
// the activation's, the ratio is of the two sums.
void activation(benchmark::State& state)
{
    Bench bench;
    const int count = static_cast<int>(state.range(0));
    const QStringList lists[2] = { hostList(count, "a"), hostList(count, "b") };
    const QString plainPath = bench.dir.filePath(u"plain"_s);
    int turn = 0;
    double activationSeconds = 0;
    double plainSeconds = 0;
    QByteArray bytes;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        // The whole call: host check, write, fsync, rename and read-back.
        if (!bench.service->activateBlocking(lists[turn]).success)
            state.SkipWithError("activation failed");
        const double activated = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        activationSeconds += activated;
        state.SetIterationTime(activated);

        QFile file(bench.service->hostsPath());
        file.open(QIODevice::ReadOnly);
        bytes = file.readAll();
        timer.restart();
        plainReplace(plainPath, bytes);
        plainSeconds += static_cast<double>(timer.nsecsElapsed()) / 1e9;
        turn ^= 1;
    }
    state.counters["plain_ms"] = plainSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["bytes"] = static_cast<double>(bytes.size());
    state.counters["ratio"] = activationSeconds / plainSeconds;
}
BENCHMARK(activation)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseManualTime();

void fullCheckNothingToChange(benchmark::State& state)
{
    Bench bench;
    QMap<QString, HelperDaySchedule> days;
    days.insert(u"monday"_s, HelperDaySchedule(true, 9, 0, 17, 0));
    const HelperScheduleConfig config(days, true, hostList(static_cast<int>(state.range(0)), "a"));
    bench.service->updateSchedule(config.toJsonBytes(), config.blockedSites);
    for (auto _ : state)
        bench.service->checkSchedule();
}
BENCHMARK(fullCheckNothingToChange)->Arg(50)->Arg(1000)->Unit(benchmark::kMicrosecond);

// One plain read of the same hosts file, the floor of a full check.
void readHostsFile(benchmark::State& state)
{
    Bench bench;
    bench.service->performActivateBlocking(hostList(static_cast<int>(state.range(0)), "a"));
    for (auto _ : state) {
        QFile file(bench.service->hostsPath());
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll());
    }
}
BENCHMARK(readHostsFile)->Arg(50)->Arg(1000)->Unit(benchmark::kMicrosecond);

void pollNothingDue(benchmark::State& state)
{
    Bench bench;
    QMap<QString, HelperDaySchedule> days;
    days.insert(u"monday"_s, HelperDaySchedule(true, 9, 0, 17, 0));
    const HelperScheduleConfig config(days, true, hostList(50, "a"));
    bench.service->updateSchedule(config.toJsonBytes(), config.blockedSites);
    for (auto _ : state)
        bench.service->pollSchedule();
}
BENCHMARK(pollNothingDue)->Unit(benchmark::kNanosecond);

// One idle second of the daemon as its timer sees it: the clock moves on by a
// second and the poll runs (with the full check every 30 s). The time of one
// iteration over one second is the share of one core the daemon takes idle.
enum class Idle { manualFocus, scheduleInForce, both };

void idleSecond(benchmark::State& state, Idle kind)
{
    Bench bench;
    const QStringList sites = hostList(static_cast<int>(state.range(0)), "a");
    if (kind != Idle::manualFocus) {
        QMap<QString, HelperDaySchedule> days;
        days.insert(u"monday"_s, HelperDaySchedule(true, 0, 0, 24, 0));
        const HelperScheduleConfig config(days, true, sites);
        bench.service->updateSchedule(config.toJsonBytes(), config.blockedSites);
    }
    if (kind != Idle::scheduleInForce)
        bench.service->activateBlockingUntil(
            hostList(static_cast<int>(state.range(0)), "m"), bench.now.unixSeconds() + 20 * 3600);
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        bench.now = bench.now.addSeconds(1);
        bench.service->pollSchedule();
    }
    const double perSecondNs = static_cast<double>(timer.nsecsElapsed()) / static_cast<double>(state.iterations());
    state.counters["percent_of_one_core"] = perSecondNs / 1e7;
}
BENCHMARK_CAPTURE(idleSecond, manualFocus, Idle::manualFocus)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(600);
BENCHMARK_CAPTURE(idleSecond, scheduleInForce, Idle::scheduleInForce)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(600);
BENCHMARK_CAPTURE(idleSecond, manualFocusDuringSchedule, Idle::both)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(600);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
