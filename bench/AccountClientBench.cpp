// The account client against the loopback account API double: one bootstrap
// round trip of a ~60 KB snapshot, and the decode of that snapshot alone.

#include "app/platform/Clock.h"
#include "app/services/account/AccountClient.h"

#include "AccountApiDouble.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

// A snapshot padded with grants to just under 60 KB.
void fill(testing::AccountApiDouble& api)
{
    QJsonArray grants;
    int i = 0;
    while (QJsonDocument(api.snapshot).toJson(QJsonDocument::Compact).size() < 60000 - 120) {
        grants.append(QJsonObject { { u"site"_s, u"site-%1.example.com"_s.arg(i++) }, { u"expiresAt"_s, 1.7e12 },
            { u"focusId"_s, u"focus-1"_s } });
        api.snapshot.insert(u"grants"_s, grants);
    }
}

void BM_BootstrapRoundTrip(benchmark::State& state)
{
    testing::AccountApiDouble api;
    fill(api);
    MemorySessionStore store;
    QTemporaryDir dir;
    QSettings defaults(dir.filePath(u"d.ini"_s), QSettings::IniFormat);
    AccountClient client(AccountEnvironment(api.apiBase(), api.webBase()), store, Clock::system(), defaults);
    auto session = DesktopAccountSession::fromJson(api.issueSession());
    client.setSession(*session);
    for (auto _ : state) {
        bool done = false;
        client.request(u"/api/bootstrap"_s, "GET"_ba, std::nullopt, [&](AccountReply reply) {
            AccountFailure failed;
            benchmark::DoNotOptimize(reply.decode<DesktopAccountSnapshot>(failed));
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        api.clearLog();
    }
}
BENCHMARK(BM_BootstrapRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_DecodeSnapshot(benchmark::State& state)
{
    testing::AccountApiDouble api;
    fill(api);
    const QByteArray bytes = QJsonDocument(api.snapshot).toJson(QJsonDocument::Compact);
    for (auto _ : state)
        benchmark::DoNotOptimize(AccountJson::decode<DesktopAccountSnapshot>(bytes));
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}
BENCHMARK(BM_DecodeSnapshot)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
