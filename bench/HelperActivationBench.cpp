// From the activation call to the daemon's verified reply, over a private
// system bus with the real daemon binary writing a temporary hosts file.

#include "app/platform/Scheduler.h"
#include "app/services/daemon/HelperConnection.h"

#include "HelperDaemonProcess.h"
#include "PrivateSystemBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

using kestravin::HelperConnection;

struct Daemon {
    Daemon()
    {
        if (!bus.start()) {
            error = bus.errorString();
            return;
        }
        QFile hosts(dir.filePath(u"hosts"_s));
        if (hosts.open(QIODevice::WriteOnly)) {
            hosts.write("127.0.0.1 localhost\n");
        }
        hosts.close();
        process = std::make_unique<kestravin::testing::HelperDaemonProcess>(
            bus.address(), dir.filePath(u"hosts"_s), dir.filePath(u"helper-config.json"_s));
        if (!process->start()) {
            error = process->errorString();
        }
        const QString address = bus.address();
        client = std::make_unique<HelperConnection>(
            [address](const QString& name) { return QDBusConnection::connectToBus(address, name); },
            kestravin::Scheduler::system());
    }

    // One call, waited for in the event loop.
    bool call(const std::function<void(HelperConnection::Completion)>& send)
    {
        bool done = false;
        bool success = false;
        send([&](bool ok, QString) {
            done = true;
            success = ok;
        });
        while (!done) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return success;
    }

    QTemporaryDir dir;
    kestravin::testing::PrivateSystemBus bus;
    std::unique_ptr<kestravin::testing::HelperDaemonProcess> process;
    std::unique_ptr<HelperConnection> client;
    QString error;
};

Daemon& daemon()
{
    static Daemon instance;
    return instance;
}

QStringList hosts(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i) {
        list << u"site%1.example"_s.arg(i);
    }
    return list;
}

void activateBlocking(benchmark::State& state)
{
    Daemon& d = daemon();
    if (!d.error.isEmpty()) {
        state.SkipWithError(d.error.toUtf8().constData());
        return;
    }
    const QStringList sites = hosts(int(state.range(0)));
    for (auto _ : state) {
        // Alternate two lists so that every call really rewrites the section.
        if (!d.call([&](auto done) { d.client->activateBlocking(sites, done); })
            || !d.call([&](auto done) { d.client->deactivateBlocking(done); })) {
            state.SkipWithError("activation failed");
            return;
        }
    }
    state.SetLabel("activate + deactivate round trip");
}

void activateBlockingUntil(benchmark::State& state)
{
    Daemon& d = daemon();
    if (!d.error.isEmpty()) {
        state.SkipWithError(d.error.toUtf8().constData());
        return;
    }
    const QStringList sites = hosts(int(state.range(0)));
    const QStringList other = hosts(int(state.range(0)) + 1);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const QDateTime end = QDateTime::currentDateTimeUtc().addSecs(3600);
        if (!d.call([&](auto done) { d.client->activateBlockingUntil(flip ? sites : other, end, done); })) {
            state.SkipWithError("activation failed");
            return;
        }
    }
    d.call([&](auto done) { d.client->deactivateBlocking(done); });
}

BENCHMARK(activateBlocking)->Arg(50)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(activateBlockingUntil)->Arg(50)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
