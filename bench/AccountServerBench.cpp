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
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// One kept-alive HTTP/1.1 connection that reads a whole 200 reply with a
// Content-Length, reconnecting when the service closed it.
class HttpConnection {
public:
    HttpConnection(const QByteArray& host, quint16 port) : m_host(host), m_port(port) { }
    ~HttpConnection() { close(); }

    bool get(const QByteArray& request)
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (m_socket < 0 && !open())
                return false;
            if (sendAll(request)) {
                const int status = readReply();
                if (status > 0)
                    return status == 200;
            }
            close(); // a closed kept-alive connection: once more on a new one
        }
        return false;
    }

private:
    bool open()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_socket < 0)
            return false;
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        ::inet_pton(AF_INET, m_host.constData(), &address.sin_addr);
        const int one = 1;
        ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close();
            return false;
        }
        return true;
    }
    void close()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
        m_buffer.clear();
    }
    bool sendAll(const QByteArray& data)
    {
        qsizetype sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(m_socket, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }
    bool fill()
    {
        char chunk[65536];
        const ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        m_buffer.append(chunk, n);
        return true;
    }
    // The status of the reply, or 0 when the connection ended first.
    int readReply()
    {
        qsizetype headerEnd = -1;
        while ((headerEnd = m_buffer.indexOf("\r\n\r\n")) < 0) {
            if (!fill())
                return 0;
        }
        const QByteArray head = m_buffer.left(headerEnd).toLower();
        const int status = head.mid(9, 3).toInt();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length
            = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        while (m_buffer.size() < headerEnd + 4 + length) {
            if (!fill())
                return 0;
        }
        m_buffer.remove(0, headerEnd + 4 + length);
        return status;
    }

    QByteArray m_host;
    quint16 m_port;
    int m_socket = -1;
    QByteArray m_buffer;
};

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

    // Each computer is a thread with its own kept-alive connection, as the
    // application's network stack keeps one; a client of its own per thread
    // keeps the measure about the service, not about one crowded event loop.
    const QByteArray host = url.host().toLatin1();
    const quint16 port = quint16(url.port());
    std::mutex results;
    QList<double> latencies;
    int errors = 0;
    std::atomic<bool> running { true };
    const auto firstSync = std::chrono::steady_clock::now();
    std::vector<std::thread> computers;
    for (int i = 0; i < devices; ++i) {
        const QByteArray request = "GET " + url.path().toLatin1() + " HTTP/1.1\r\nHost: " + host + ':'
            + QByteArray::number(port) + "\r\nAuthorization: Bearer " + sessions[i].accessToken.toUtf8()
            + "\r\nX-Timezone: America/Sao_Paulo\r\n\r\n";
        computers.emplace_back([&, request, i] {
            HttpConnection connection(host, port);
            // The computers are spread over the period, as real ones would be.
            auto due = firstSync + std::chrono::milliseconds(i * periodMs / devices);
            while (running) {
                std::this_thread::sleep_until(due);
                if (!running)
                    break;
                const auto sent = std::chrono::steady_clock::now();
                const bool ok = connection.get(request);
                const double ms
                    = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
                {
                    const std::lock_guard lock(results);
                    latencies.append(ms);
                    errors += ok ? 0 : 1;
                }
                due += std::chrono::milliseconds(periodMs);
            }
        });
    }
    wait(g_loadSeconds * 1000);
    running = false;
    for (std::thread& computer : computers)
        computer.join();
    wait(1000);
    const ProcessUse loaded = use(server.processId());

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
