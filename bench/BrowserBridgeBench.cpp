// One tick of the browser bridge with 20 extension receipts and nothing
// changed: it lists the folder, reads every receipt and rewrites state.json.

#include "app/services/bridge/BrowserBridgeAccount.h"
#include "app/services/bridge/DesktopBrowserBridge.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

using namespace kestravin;

class StillClock final : public Clock {
public:
    QDateTime now() const override { return at; }
    QDateTime at = QDateTime::currentDateTimeUtc();
};

class NoScheduler final : public Scheduler {
public:
    void runLater(std::chrono::milliseconds, QObject*, Action) override { }
    std::unique_ptr<Timer> startTimer(std::chrono::milliseconds, bool, Action) override { return nullptr; }
};

class SignedOut final : public BrowserBridgeAccount {
public:
    bool hasSession() const override { return false; }
    std::optional<BrowserBridgePolicy::AccountView> syncedAccount() const override { return std::nullopt; }
    std::optional<QString> snapshotFocusSource() const override { return std::nullopt; }
    void startFocus(int, std::function<void(std::optional<QString>)> done) override { done(QString()); }
    void syncNow(std::function<void()> done) override { done(); }
};

void tickWithTwentyReceipts(benchmark::State& state)
{
    QTemporaryDir dir;
    StillClock clock;
    NoScheduler scheduler;
    SignedOut account;
    QStringList sites;
    for (int i = 0; i < state.range(0); ++i) {
        sites.append(u"site%1.example"_s.arg(i));
    }
    QMap<DayOfWeek, DaySchedule> days;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        days.insert(day, DaySchedule(true, { TimeRange(9, 0, 12, 0), TimeRange(13, 0, 18, 0) }));
    }
    const Configuration configuration(sites, Schedule(days), true);
    QSettings(dir.filePath(u"settings.ini"_s), QSettings::IniFormat).setValue(u"desktopBrowserSync"_s, true);
    DesktopBrowserBridge bridge(DesktopBrowserBridge::Environment {
        dir.filePath(u"browser-bridge"_s),
        &clock,
        &scheduler,
        QTimeZone::utc(),
        [&configuration] { return configuration; },
        [] { return true; },
        [](const BrowserHelperControl&, const HelperScheduleConfig&, DesktopBrowserBridge::DaemonCompletion) {},
        &account,
        [](const QDateTime&) {},
        [](const QString&) {},
        dir.filePath(u"settings.ini"_s),
    });
    bridge.tick();
    QFile stateFile(bridge.directory() + u"/state.json"_s);
    stateFile.open(QIODevice::ReadOnly);
    const QJsonObject current = QJsonDocument::fromJson(stateFile.readAll()).object();
    for (int i = 0; i < 20; ++i) {
        QFile receipt(bridge.directory() + u"/receipt-profile%1.json"_s.arg(i));
        receipt.open(QIODevice::WriteOnly);
        receipt.write(QJsonDocument(QJsonObject { { u"revision"_s, current.value(u"revision"_s) },
                                        { u"focusId"_s, current.value(u"focus"_s).toObject().value(u"id"_s) },
                                        { u"receivedAt"_s, double(clock.at.toMSecsSinceEpoch()) } })
                          .toJson(QJsonDocument::Compact));
    }
    int writes = 0;
    QObject::connect(&bridge, &DesktopBrowserBridge::stateWritten, [&writes] { ++writes; });
    for (auto _ : state) {
        bridge.tick();
    }
    if (!bridge.connected() || writes != int(state.iterations())) {
        state.SkipWithError("the tick did not see the receipts or wrote state.json more than once");
    }
    state.counters["state_writes_per_tick"] = double(writes) / double(state.iterations());
}
// Blocked sites: a usual list and a long one.
BENCHMARK(tickWithTwentyReceipts)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
