#include "ServiceRig.h"

#include "contract/HelperConstants.h"

#include "EventLoop.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestravin::testing {

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}
} // namespace

ServiceRig::ServiceRig() : ServiceRig(Options())
{
}

ServiceRig::ServiceRig(Options rigOptions) : options(std::move(rigOptions)), time(options.start)
{
    m_busAddress = options.busAddress;
    if (m_busAddress.isEmpty()) {
        ownBus = std::make_unique<PrivateBus>();
        m_busAddress = ownBus->address();
    }
    if (options.fakeDaemon) {
        options.installed = true;
        daemon = std::make_unique<FakeHelperDaemon>(m_busAddress);
    }
    writeFile(hostsPath(), options.hosts);
    if (options.configJson) {
        writeFile(configPath(), *options.configJson);
    }
    const QString systemRoot = dir.filePath(u"sys"_s);
    if (options.installed) {
        writeFile(systemRoot + HelperConstants::helperInstallPath, "daemon");
        writeFile(systemRoot + HelperConstants::systemdUnitPath, "unit");
    }
    const QString address = m_busAddress;
    connection = std::make_unique<HelperConnection>(
        [address](const QString& name) { return QDBusConnection::connectToBus(address, name); }, time);
    HelperInstaller::Environment environment;
    environment.systemRoot = systemRoot;
    environment.callerUserName = u"alice"_s;
    environment.daemonBusChosen = options.daemonBusChosen;
    installer = std::make_unique<HelperInstaller>(*connection, registration, runner, time, time, environment);
    blocking = std::make_unique<BlockingService>(
        *connection, *installer, time, time, BlockingService::Paths { hostsPath(), dataFolder() });
    config = std::make_unique<ConfigurationManager>(dataFolder(), *blocking, account, time, time, QTimeZone::utc());
}

ServiceRig::~ServiceRig() = default;

bool ServiceRig::waitForInstalledDaemon()
{
    return waitUntil([this] { return installer->isHelperInstalled() && installer->supportsBrowserSync(); });
}

bool ServiceRig::syncWithDaemon()
{
    auto answered = std::make_shared<bool>(false);
    connection->getHelperVersion([answered](std::optional<QString>) { *answered = true; });
    return waitUntil([answered] { return *answered; });
}

ScheduleManager& ServiceRig::startScheduleManager()
{
    const bool sync = options.browserSync;
    schedule = std::make_unique<ScheduleManager>(*config, *blocking, *installer,
        options.notifications ? *options.notifications : notices, time, time,
        ScheduleManager::Environment { QTimeZone::utc(), [sync] { return sync; } });
    return *schedule;
}

Configuration ServiceRig::configurationWith(QStringList sites, bool enabled, int startHour, int endHour)
{
    QMap<DayOfWeek, DaySchedule> days;
    for (int index = 0; index < 7; ++index) {
        days.insert(*DayOfWeek::fromIndex(index), DaySchedule(true, { TimeRange(startHour, 0, endHour, 0) }));
    }
    return Configuration(std::move(sites), Schedule(days), enabled);
}

} // namespace kestravin::testing
