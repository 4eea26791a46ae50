// The account service kestravin-account:
//  - BM_Bootstrap: one GET /api/bootstrap of a ~60 KB snapshot over loopback,
//    server and client in this process (median over the repetitions);
//  - --load[=SECONDS]: the real program with 200 simulated computers that
//    each download the snapshot every 10 s, then left alone for 10 s: prints
//    the latency percentiles, errors, resident memory and idle CPU time.

#include "AccountServer.h"
#include "AccountStore.h"

#include "app/models/AccountRecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

int g_loadSeconds = 0;

// Links one computer straight through the store, as the pages would.
AccountStore::Session linkDevice(AccountStore& store, qint64 now)
{
    const AccountStore::LinkStart start = store.beginLink(now);
    const auto pending = store.pendingLink(start.code, now);
    AccountRequests::LinkForm form;
    form.code = start.code;
    form.token = pending->formToken;
    form.name = u"Ana"_s;
    store.answerLink(form, now);
    return *store.poll(start.secret, now, u"America/Sao_Paulo"_s).session;
}

// Settings whose snapshot comes to about 60 KB.
void fillSettings(AccountStore& store)
{
    AccountRequests::SettingsUpdate update;
    update.settings.onboarded = true;
    update.settings.enabled = true;
    update.settings.timezone = u"America/Sao_Paulo"_s;
    update.settings.schedule = { BrowserScheduleSlot { { 1, 2, 3, 4, 5 }, u"09:00"_s, u"17:00"_s } };
    QStringList sites;
    for (int i = 0; i < 2520; ++i)
        sites.append(u"site-%1.example.com"_s.arg(i));
    update.settings.sites = sites;
    store.saveSettings(update);
}

QByteArray get(QNetworkAccessManager& network, const QUrl& url, const QString& token, int* status = nullptr)
{
    QNetworkRequest request(url);
    request.setRawHeader("Authorization"_ba, "Bearer "_ba + token.toUtf8());
    request.setRawHeader("X-Timezone"_ba, "America/Sao_Paulo"_ba);
    QNetworkReply* reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

void BM_Bootstrap(benchmark::State& state)
{
    QTemporaryDir dir;
    AccountStore store;
    QString error;
    if (!store.open(dir.filePath(u"account.sqlite"_s), &error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const AccountStore::Session session = linkDevice(store, now);
    fillSettings(store);
    AccountServer server(store, [] { return QDateTime::currentMSecsSinceEpoch(); });
    server.listenOn(QHostAddress::LocalHost, 0);
    const QUrl url(u"http://127.0.0.1:%1/api/bootstrap"_s.arg(server.port()));
    QNetworkAccessManager network;
    // Quiet: the per-request log line would measure the terminal.
    QLoggingCategory::setFilterRules(u"com.kestravin.account.info=false"_s);
    qint64 bytes = 0;
    for (auto _ : state) {
        int status = 0;
        const QByteArray body = get(network, url, session.accessToken, &status);
        if (status != 200) {
            state.SkipWithError("bootstrap failed");
            break;
        }
        bytes = body.size();
    }
    state.counters["snapshot_bytes"] = double(bytes);
}
BENCHMARK(BM_Bootstrap)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

struct ProcessUse {
    qint64 rssKb = 0;
    qint64 cpuTicks = 0;
};

ProcessUse use(qint64 pid)
{
    ProcessUse out;
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                out.rssKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        out.cpuTicks = fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime + stime
    }
    return out;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int runLoad()
{
    constexpr int devices = 200;
    constexpr int periodMs = 10000;
    QTemporaryDir dir;
    QList<AccountStore::Session> sessions;
    {
        AccountStore store(u"load-setup"_s);
        QString error;
        if (!store.open(dir.filePath(u"account.sqlite"_s), &error)) {
            std::fprintf(stderr, "database: %s\n", qPrintable(error));
            return 1;
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < devices; ++i)
            sessions.append(linkDevice(store, now));
        fillSettings(store);
    }

    QProcess server;
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start(
        QStringLiteral(KESTRAVIN_ACCOUNT_BINARY), { u"--listen"_s, u"127.0.0.1:0"_s, u"--data"_s, dir.path() });
    QByteArray banner;
    QElapsedTimer started;
    started.start();
    static const QRegularExpression apiLine(u"API (http://[^ ]+)"_s);
    QString base;
    while (base.isEmpty() && started.elapsed() < 10000) {
        server.waitForReadyRead(100);
        banner += server.readAllStandardError();
        base = apiLine.match(QString::fromUtf8(banner)).captured(1);
    }
    if (base.isEmpty()) {
        std::fprintf(stderr, "the service did not start: %s\n", banner.constData());
        return 1;
    }
    // Its per-request log says how long the service itself took.
    QList<double> handling;
    QByteArray log;
    QObject::connect(&server, &QProcess::readyReadStandardError, [&] {
        log += server.readAllStandardError();
        qsizetype end = 0;
        while ((end = log.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = log.left(end).split(' ');
            if (words.size() >= 6 && words.last() == "ms")
                handling.append(words[words.size() - 2].toDouble());
            log.remove(0, end + 1);
        }
    });
    const QUrl url(base + u"/api/bootstrap"_s);

    QList<double> latencies;
    int errors = 0;
    QList<QNetworkAccessManager*> computers;
    QList<QTimer*> timers;
    for (int i = 0; i < devices; ++i) {
        auto* network = new QNetworkAccessManager;
        computers.append(network);
        auto* timer = new QTimer;
        timers.append(timer);
        timer->setInterval(periodMs);
        // Coarse timers of this length are batched onto shared wake-ups, which
        // would turn the spread computers into bursts.
        timer->setTimerType(Qt::PreciseTimer);
        const QString token = sessions[i].accessToken;
        const auto sync = [network, url, token, &latencies, &errors] {
            QNetworkRequest request(url);
            request.setRawHeader("Authorization"_ba, "Bearer "_ba + token.toUtf8());
            request.setRawHeader("X-Timezone"_ba, "America/Sao_Paulo"_ba);
            auto* clock = new QElapsedTimer;
            clock->start();
            QNetworkReply* reply = network->get(request);
            QObject::connect(reply, &QNetworkReply::finished, reply, [reply, clock, &latencies, &errors] {
                latencies.append(double(clock->nsecsElapsed()) / 1e6);
                delete clock;
                if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200
                    || reply->readAll().isEmpty())
                    ++errors;
                reply->deleteLater();
            });
        };
        QObject::connect(timer, &QTimer::timeout, timer, sync);
        // The computers are spread over the period, as real ones would be.
        QTimer::singleShot(i * periodMs / devices, timer, [timer, sync] {
            sync();
            timer->start();
        });
    }
    wait(g_loadSeconds * 1000);
    for (QTimer* timer : timers)
        timer->stop();
    wait(1000);
    const ProcessUse loaded = use(server.processId());
    qDeleteAll(computers);
    qDeleteAll(timers);

    // Idle: no client for 10 s.
    wait(500);
    const ProcessUse before = use(server.processId());
    wait(10000);
    const ProcessUse after = use(server.processId());
    server.terminate();
    server.waitForFinished(5000);

    std::sort(latencies.begin(), latencies.end());
    std::sort(handling.begin(), handling.end());
    const auto percentileOf = [](const QList<double>& values, double p) {
        return values.isEmpty() ? 0.0
                                : values[std::min<qsizetype>(values.size() - 1, qsizetype(p * double(values.size())))];
    };
    const auto percentile = [&](double p) { return percentileOf(latencies, p); };
    std::printf("devices %d, period %d s, %d s: %lld requests, %d errors\n", devices, periodMs / 1000, g_loadSeconds,
        static_cast<long long>(latencies.size()), errors);
    std::printf("latency ms: p50 %.2f  p90 %.2f  p99 %.2f  max %.2f\n", percentile(0.5), percentile(0.9),
        percentile(0.99), latencies.isEmpty() ? 0.0 : latencies.last());
    std::printf("time in the service ms: p50 %.2f  p99 %.2f (%lld requests)\n", percentileOf(handling, 0.5),
        percentileOf(handling, 0.99), static_cast<long long>(handling.size()));
    std::printf("resident memory after the load: %.1f MB\n", double(loaded.rssKb) / 1024.0);
    std::printf("CPU over 10 s with no client: %lld ticks of %ld per second\n",
        static_cast<long long>(after.cpuTicks - before.cpuTicks), sysconf(_SC_CLK_TCK));
    return errors == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--load" || argument.startsWith("--load=")) {
            g_loadSeconds = argument.startsWith("--load=") ? argument.mid(7).toInt() : 60;
            continue;
        }
        rest.push_back(argv[i]);
    }
    if (g_loadSeconds > 0)
        return runLoad();
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
