// The root daemon com.kestravin.helper: systemd starts it with no arguments on
// the system bus. --hosts-file and --config-file point it at other files for
// development and tests.

#include "ExecutableWatch.h"
#include "HelperBusObject.h"
#include "HelperService.h"
#include "helperadaptor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <chrono>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "com.kestravin.helper: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[])
{
    // Lines must reach the log file as they happen, not when a buffer fills.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(HelperConstants::machServiceName);
    QCoreApplication::setApplicationVersion(HelperConstants::helperVersion);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Kestravin's root daemon: keeps the block section of the hosts file."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hostsOption(
        u"hosts-file"_s, u"The hosts file to manage."_s, u"PATH"_s, HelperConstants::hostsFilePath);
    const QCommandLineOption configOption(
        u"config-file"_s, u"The daemon's configuration file."_s, u"PATH"_s, HelperConstants::helperConfigPath);
    parser.addOption(hostsOption);
    parser.addOption(configOption);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        fail(u"unexpected arguments: "_s + parser.positionalArguments().join(u' '));
        return 2;
    }

    // The executable's identity is taken before anything else can replace it.
    ExecutableWatch watch(ExecutableWatch::runningExecutable());

    HelperService::Options options;
    options.hostsPath = parser.value(hostsOption);
    options.configPath = parser.value(configOption);
    // Development and test hook: shift the daemon's clock by this many seconds.
    if (const QByteArray offset = qgetenv("KESTRAVIN_HELPER_CLOCK_OFFSET"); !offset.isEmpty()) {
        const double seconds = offset.toDouble();
        options.currentDate = [seconds] {
            using namespace std::chrono;
            const auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
            return Instant::fromUnixSeconds(static_cast<double>(micros) / 1e6 + seconds);
        };
    }
    HelperService service(std::move(options));

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        fail(u"cannot connect to the system bus: "_s + bus.lastError().message());
        return 1;
    }
    HelperBusObject busObject(service);
    new HelperAdaptor(&busObject);
    if (!bus.registerObject(HelperConstants::helperObjectPath, &busObject)) {
        fail(u"cannot export "_s + HelperConstants::helperObjectPath + u": "_s + bus.lastError().message());
        return 1;
    }
    if (!bus.registerService(HelperConstants::machServiceName)) {
        fail(u"cannot take the name "_s + HelperConstants::machServiceName + u" on the system bus: "_s
            + bus.lastError().message());
        return 1;
    }

    QObject::connect(&watch, &ExecutableWatch::replaced, &app, [] {
        std::printf("HelperService: Executable replaced, exiting\n");
        QCoreApplication::exit(0);
    });
    std::chrono::milliseconds interval = ExecutableWatch::defaultInterval;
    // Test hook: look at the executable more often than every 30 s.
    if (const int ms = qEnvironmentVariableIntValue("KESTRAVIN_HELPER_WATCH_INTERVAL_MS"); ms > 0)
        interval = std::chrono::milliseconds(ms);
    watch.start(interval);

    return app.exec();
}
