// The real daemon binary on a private system-type bus, driven over D-Bus.

#include "HelperDaemonProcess.h"
#include "PrivateSystemBus.h"

#include "contract/BrowserHelperControl.h"
#include "contract/HelperScheduleConfig.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QUuid>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing;

namespace {

const QByteArray localhost = "127.0.0.1 localhost\n";

// A client connection of its own on the private bus.
class Client {
public:
    explicit Client(const QString& address)
        : m_name(u"client-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces)),
          m_connection(QDBusConnection::connectToBus(address, m_name))
    {
    }
    ~Client() { QDBusConnection::disconnectFromBus(m_name); }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            u"com.kestravin.helper"_s, u"/com/kestravin/helper"_s, u"com.kestravin.Helper"_s, method);
        message.setArguments(arguments);
        return m_connection.call(message, QDBus::Block, 20000);
    }
    // The (success, message) of a call.
    std::pair<bool, QString> reply(const QString& method, const QVariantList& arguments = {})
    {
        const QDBusMessage answer = call(method, arguments);
        if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 2)
            return { false, u"<no reply: "_s + answer.errorMessage() + u">"_s };
        return { answer.arguments().at(0).toBool(), answer.arguments().at(1).toString() };
    }

private:
    QString m_name;
    QDBusConnection m_connection;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    return true;
}

class DaemonIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        hostsPath = dir.filePath(u"hosts"_s);
        configPath = dir.filePath(u"state/helper-config.json"_s);
        writeHosts(localhost);
    }

    void startBus(QList<uint> callers = {})
    {
        bus = std::make_unique<PrivateSystemBus>(std::move(callers));
        ASSERT_TRUE(bus->start()) << bus->errorString().toStdString();
    }
    std::unique_ptr<HelperDaemonProcess> daemon(const QMap<QString, QString>& environment = {})
    {
        auto process = std::make_unique<HelperDaemonProcess>(bus->address(), hostsPath, configPath);
        process->setEnvironmentVariable(u"TZ"_s, u"UTC"_s);
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            process->setEnvironmentVariable(it.key(), it.value());
        return process;
    }

    void writeHosts(const QByteArray& bytes)
    {
        QFile file(hostsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray hosts() const
    {
        QFile file(hostsPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool sectionPresent() const { return hosts().contains("# Kestravin START"); }

    static double unixNow() { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

    QTemporaryDir dir;
    QString hostsPath;
    QString configPath;
    std::unique_ptr<PrivateSystemBus> bus;
};

TEST_F(DaemonIntegrationTest, blocksAndUnblocksOverTheBus)
{
    startBus();
    auto helper = daemon();
    ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
    Client client(bus->address());

    EXPECT_EQ(client.call(u"getHelperVersion"_s).arguments().value(0).toString(), u"1.7.0"_s);
    EXPECT_EQ(client.reply(u"activateBlocking"_s, { QStringList { u"a.com"_s, u"B.com"_s, u"a.com"_s } }),
        std::make_pair(true, QString()));
    EXPECT_EQ(hosts(),
        localhost
            + "\n# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.com\n::1 a.com\n127.0.0.1 B.com\n::1 "
              "B.com\n127.0.0.1 a.com\n::1 a.com\n# Kestravin END");
    EXPECT_TRUE(client.call(u"isBlockingActive"_s).arguments().value(0).toBool());
    EXPECT_EQ(
        client.call(u"getBlockedSites"_s).arguments().value(0).toStringList(), QStringList({ u"a.com"_s, u"B.com"_s }));

    // A host with a line feed never reaches the file.
    const QByteArray before = hosts();
    EXPECT_EQ(client.reply(u"activateBlocking"_s, { QStringList { u"x.com\n6.6.6.6 bank.com"_s } }),
        std::make_pair(true, QString()));
    EXPECT_FALSE(hosts().contains("bank.com"));
    EXPECT_EQ(hosts(), before);
    EXPECT_EQ(client.reply(u"deactivateBlocking"_s), std::make_pair(true, QString()));
    EXPECT_EQ(hosts(), localhost);
    EXPECT_TRUE(helper->waitForOutputLine(u"HelperService: Ignored 1 invalid host names"_s, 5000));
    EXPECT_TRUE(helper->waitForOutputLine(u"HelperService: Blocking deactivated"_s, 5000));
}

TEST_F(DaemonIntegrationTest, callersOutsideThePolicyAreRefusedByTheBus)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "running a client under another uid needs root";
    const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
    const QString dbusSend = QStandardPaths::findExecutable(u"dbus-send"_s);
    if (setpriv.isEmpty() || dbusSend.isEmpty())
        GTEST_SKIP() << "setpriv or dbus-send is missing";

    const auto callAs = [&](uint uid, const QString& method) {
        QProcess process;
        process.start(setpriv,
            { u"--reuid=%1"_s.arg(uid), u"--regid=%1"_s.arg(uid), u"--clear-groups"_s, dbusSend,
                u"--bus="_s + bus->address(), u"--print-reply"_s, u"--dest=com.kestravin.helper"_s,
                u"/com/kestravin/helper"_s, u"com.kestravin.Helper."_s + method });
        process.waitForFinished(20000);
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    };

    startBus();
    {
        auto helper = daemon();
        ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
        Client client(bus->address());
        ASSERT_TRUE(client.reply(u"activateBlocking"_s, { QStringList { u"a.com"_s } }).first);
        const QByteArray before = hosts();

        const QString refused = callAs(65534, u"deactivateBlocking"_s);
        EXPECT_TRUE(refused.contains(u"org.freedesktop.DBus.Error.AccessDenied"_s)) << refused.toStdString();
        EXPECT_EQ(hosts(), before);
        EXPECT_FALSE(helper->outputLines().contains(u"HelperService: deactivateBlocking called"_s));
    }

    // A uid that the installer named may call.
    startBus({ 65534 });
    auto helper = daemon();
    ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
    const QString allowed = callAs(65534, u"isBlockingActive"_s);
    EXPECT_TRUE(allowed.contains(u"boolean true"_s)) << allowed.toStdString();
}

TEST_F(DaemonIntegrationTest, malformedAndOversizedInputIsRefused)
{
    startBus();
    auto helper = daemon();
    ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
    Client client(bus->address());

    const auto [decoded, decodeMessage]
        = client.reply(u"updateSchedule"_s, { QByteArray("{\"enabled\":"), QStringList { u"a.com"_s } });
    EXPECT_FALSE(decoded);
    EXPECT_TRUE(decodeMessage.startsWith(u"Failed to decode schedule: "_s)) << decodeMessage.toStdString();

    HelperScheduleConfig config(
        { { u"monday"_s, HelperDaySchedule(true, 9, 0, 17, 0) } }, true, { u"a.com"_s, u"youtube.com"_s });
    ASSERT_TRUE(client.reply(u"updateSchedule"_s, { config.toJsonBytes(), config.blockedSites }).first);
    const QByteArray oversized = config.toJsonBytes() + QByteArray(64001, ' ');
    const QByteArray control = BrowserHelperControl(true, 1, std::nullopt, std::nullopt, {}, Instant()).toJsonBytes();

    EXPECT_EQ(client.reply(u"updateBrowserControl"_s, { control + QByteArray(8001, ' '), config.toJsonBytes() }),
        std::make_pair(false, u"Estado do navegador ou agenda desatualizados."_s));
    EXPECT_EQ(client.reply(u"updateBrowserControl"_s, { QByteArray("[1,"), config.toJsonBytes() }),
        std::make_pair(false, u"Estado do navegador ou agenda desatualizados."_s));
    EXPECT_EQ(client.reply(u"grantScheduledAccess"_s, { u"youtube"_s, unixNow() + 60, oversized }),
        std::make_pair(false, u"A agenda mudou ou a exceção expirou. O bloqueio foi mantido."_s));
    EXPECT_EQ(client.reply(u"setSiteAccess"_s, { QByteArray("{\"site\":"), config.toJsonBytes() }),
        std::make_pair(false, u"A agenda mudou. A liberação será refeita na próxima sincronização."_s));
    EXPECT_EQ(client.reply(u"setSiteAccess"_s, { QByteArray("[]"), oversized }),
        std::make_pair(false, u"A agenda mudou. A liberação será refeita na próxima sincronização."_s));
}

TEST_F(DaemonIntegrationTest, manualFocusSurvivesARestartAndEndsOnTime)
{
    startBus();
    auto helper = daemon();
    ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
    {
        Client client(bus->address());
        // Room for a kill and a restart under load before the end comes.
        const double end = unixNow() + 12;
        ASSERT_EQ(client.reply(u"activateBlockingUntil"_s, { QStringList { u"m.com"_s }, end }),
            std::make_pair(true, QString()));
        ASSERT_TRUE(sectionPresent());

        helper->kill();
        auto restarted = daemon();
        ASSERT_TRUE(restarted->start()) << restarted->errorString().toStdString();
        EXPECT_TRUE(sectionPresent());
        EXPECT_TRUE(restarted->waitForOutputLine(u"HelperService: Loaded manual block with 1 sites"_s, 5000));
        EXPECT_TRUE(waitFor([&] { return !sectionPresent(); }, 40000));
        EXPECT_GE(unixNow(), end);
        // The per-second check lifts it, far sooner than the 30 s one would.
        EXPECT_LE(unixNow(), end + 10);
    }
    {
        // Ended while the daemon was down: lifted at its first check.
        auto helper2 = daemon();
        ASSERT_TRUE(helper2->start()) << helper2->errorString().toStdString();
        Client client(bus->address());
        const double end = unixNow() + 5;
        ASSERT_TRUE(client.reply(u"activateBlockingUntil"_s, { QStringList { u"m.com"_s }, end }).first);
        helper2->kill();
        ASSERT_TRUE(sectionPresent());
        while (unixNow() <= end + 0.5)
            QThread::msleep(100);
        auto later = daemon();
        ASSERT_TRUE(later->start()) << later->errorString().toStdString();
        EXPECT_FALSE(sectionPresent());
    }
}

TEST_F(DaemonIntegrationTest, scheduleSwitchesAtItsBoundaries)
{
    // Every day 09:00 to 17:00 UTC; the daemon's clock is moved to 15 s before
    // each boundary (room for a slow start), and the full check 30 s after the
    // first one switches the section.
    const HelperScheduleConfig config = [] {
        QMap<QString, HelperDaySchedule> days;
        for (const char* key : { "sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday" })
            days.insert(QString::fromLatin1(key), HelperDaySchedule(true, 9, 0, 17, 0));
        return HelperScheduleConfig(days, true, { u"a.com"_s });
    }();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(configPath).absolutePath()));
    QFile file(configPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(config.toJsonBytes());
    file.close();
    startBus();

    const auto offsetTo = [](const char* time) {
        const QDateTime target(QDate::currentDate(), QTime::fromString(QString::fromLatin1(time)), QTimeZone::utc());
        return QString::number(static_cast<double>(target.toMSecsSinceEpoch()) / 1000.0 - unixNow(), 'f', 3);
    };
    {
        auto helper = daemon({ { u"KESTRAVIN_HELPER_CLOCK_OFFSET"_s, offsetTo("08:59:45") } });
        ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
        EXPECT_FALSE(sectionPresent());
        EXPECT_TRUE(waitFor([&] { return sectionPresent(); }, 60000));
    }
    {
        auto helper = daemon({ { u"KESTRAVIN_HELPER_CLOCK_OFFSET"_s, offsetTo("16:59:45") } });
        ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
        EXPECT_TRUE(sectionPresent());
        Client client(bus->address());
        EXPECT_EQ(client.call(u"getBlockedSites"_s).arguments().value(0).toStringList(), QStringList({ u"a.com"_s }));
        EXPECT_TRUE(waitFor([&] { return !sectionPresent(); }, 60000));
        EXPECT_EQ(hosts(), localhost);
    }
}

TEST_F(DaemonIntegrationTest, replacingTheExecutableEndsTheDaemon)
{
    startBus();
    // A copy that the test may replace, in a folder of its own.
    QTemporaryDir binaries;
    ASSERT_TRUE(binaries.isValid());
    const QString program = binaries.filePath(u"com.kestravin.helper"_s);
    ASSERT_TRUE(QFile::copy(HelperDaemonProcess::defaultProgram(), program));
    const QMap<QString, QString> fastWatch { { u"KESTRAVIN_HELPER_WATCH_INTERVAL_MS"_s, u"100"_s } };

    auto helper = daemon(fastWatch);
    helper->setProgram(program);
    ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();

    // Touching and chmod keep the same file.
    ASSERT_EQ(::utime(QFile::encodeName(program).constData(), nullptr), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0700), 0);
    QThread::msleep(1000);
    EXPECT_TRUE(helper->isRunning());

    // An update installs the new file by rename.
    const QString staged = binaries.filePath(u"staged"_s);
    ASSERT_TRUE(QFile::copy(HelperDaemonProcess::defaultProgram(), staged));
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(program).constData()), 0);
    ASSERT_TRUE(helper->waitForExit(10000));
    EXPECT_EQ(helper->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper->exitCode(), 0);

    // Deleted without a replacement: keeps running.
    auto second = daemon(fastWatch);
    second->setProgram(program);
    ASSERT_TRUE(second->start()) << second->errorString().toStdString();
    ASSERT_TRUE(QFile::remove(program));
    QThread::msleep(1000);
    EXPECT_TRUE(second->isRunning());
}

TEST_F(DaemonIntegrationTest, uninstallRemovesEverythingAndEndsTheProcess)
{
    startBus();
    auto helper = daemon();
    ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
    Client client(bus->address());
    const HelperScheduleConfig config({}, false, { u"a.com"_s });
    ASSERT_TRUE(client.reply(u"updateSchedule"_s, { config.toJsonBytes(), config.blockedSites }).first);
    ASSERT_TRUE(client.reply(u"activateBlocking"_s, { QStringList { u"a.com"_s } }).first);
    ASSERT_TRUE(QFileInfo::exists(configPath));

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(client.reply(u"uninstallHelper"_s), std::make_pair(true, QString()));
    EXPECT_EQ(hosts(), localhost);
    EXPECT_FALSE(QFileInfo::exists(configPath));
    ASSERT_TRUE(helper->waitForExit(10000));
    EXPECT_GE(elapsed.elapsed(), 400);
    EXPECT_EQ(helper->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper->exitCode(), 0);
}

TEST_F(DaemonIntegrationTest, aNameThatCannotBeTakenEndsWithAnError)
{
    startBus();
    auto first = daemon();
    ASSERT_TRUE(first->start()) << first->errorString().toStdString();

    const auto runDaemon = [&](const QString& busAddress) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, busAddress);
        process.setProcessEnvironment(environment);
        process.start(
            HelperDaemonProcess::defaultProgram(), { u"--hosts-file"_s, hostsPath, u"--config-file"_s, configPath });
        process.waitForFinished(20000);
        return std::make_pair(process.exitCode(), QString::fromUtf8(process.readAllStandardError()));
    };
    const auto [takenCode, takenError] = runDaemon(bus->address());
    EXPECT_NE(takenCode, 0);
    EXPECT_TRUE(takenError.contains(u"cannot take the name com.kestravin.helper"_s)) << takenError.toStdString();

    const auto [noBusCode, noBusError] = runDaemon(u"unix:path="_s + dir.filePath(u"no-bus"_s));
    EXPECT_NE(noBusCode, 0);
    EXPECT_TRUE(noBusError.contains(u"cannot connect to the system bus"_s)) << noBusError.toStdString();
    EXPECT_TRUE(first->isRunning());
}

} // namespace

namespace {

TEST(PackagingTest, systemdUnitVerifies)
{
    const QString analyze = QStandardPaths::findExecutable(u"systemd-analyze"_s);
    if (analyze.isEmpty())
        GTEST_SKIP() << "systemd-analyze is missing";
    QFile unit(QStringLiteral(KESTRAVIN_PACKAGING_DIR "/com.kestravin.helper.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    QByteArray text = unit.readAll();
    ASSERT_TRUE(text.contains("\nExecStart=/usr/local/libexec/kestravin/com.kestravin.helper\n"));
    // The installed path does not exist here: verify against the built binary.
    text.replace(
        "/usr/local/libexec/kestravin/com.kestravin.helper", QFile::encodeName(HelperDaemonProcess::defaultProgram()));
    QTemporaryDir dir;
    QFile copy(dir.filePath(u"com.kestravin.helper.service"_s));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(text);
    copy.close();

    QProcess process;
    process.start(analyze, { u"verify"_s, copy.fileName() });
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_FALSE(output.contains(u"com.kestravin.helper.service:"_s)) << output.toStdString();

    // The bus hands activation to this unit.
    QFile activation(QStringLiteral(KESTRAVIN_PACKAGING_DIR "/com.kestravin.helper.dbus-service"));
    ASSERT_TRUE(activation.open(QIODevice::ReadOnly));
    const QByteArray activationText = activation.readAll();
    EXPECT_TRUE(activationText.contains("\nName=com.kestravin.helper\n"));
    EXPECT_TRUE(activationText.contains("\nSystemdService=com.kestravin.helper.service\n"));
}

} // namespace

namespace {

// The temporary copies that a daemon killed mid-write leaves beside a file.
QStringList temporaryFiles(const QString& folder)
{
    return QDir(folder).entryList(
        { u".hosts.kestravin-*"_s, u".helper-config.json.kestravin-*"_s }, QDir::Files | QDir::Hidden);
}

} // namespace

TEST_F(DaemonIntegrationTest, killedMidWriteLeavesWholeFilesAndNoLeftoversAfterTheNextStart)
{
    // A large hosts file and a large focus, so that a kill at a random moment
    // often lands inside a write.
    QByteArray base = localhost;
    for (int i = 0; i < 20000; ++i)
        base += "10.1." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250) + " machine"
            + QByteArray::number(i) + ".lan\n";
    QStringList sites;
    for (int i = 0; i < 20000; ++i)
        sites.append(u"s%1.example.com"_s.arg(i));
    const QString stateFolder = QFileInfo(configPath).absolutePath();
    const auto prepare = [&] {
        writeHosts(base);
        QFile::remove(configPath);
        return ::chmod(QFile::encodeName(hostsPath).constData(), 0640) == 0;
    };
    const auto modeAndOwner = [&] {
        struct stat info { };
        ::stat(QFile::encodeName(hostsPath).constData(), &info);
        return std::make_pair(info.st_mode & 07777, info.st_uid);
    };

    // One uninterrupted call gives the new bytes and the time a write takes.
    startBus();
    ASSERT_TRUE(prepare());
    QByteArray blocked;
    qint64 callMs = 0;
    {
        auto helper = daemon();
        ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
        Client client(bus->address());
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(client.reply(u"activateBlockingUntil"_s, { sites, unixNow() + 3600 }).first);
        callMs = timer.elapsed();
        blocked = hosts();
        ASSERT_NE(blocked, base);
    }

    const QString connectionName = u"kill-trial"_s;
    int killedWithLeftovers = 0;
    int leftoverFiles = 0;
    int oldBytes = 0;
    int newBytes = 0;
    constexpr int trials = 15;
    for (int trial = 0; trial < trials; ++trial) {
        SCOPED_TRACE(trial);
        ASSERT_TRUE(prepare());
        auto helper = daemon();
        ASSERT_TRUE(helper->start()) << helper->errorString().toStdString();
        EXPECT_EQ(temporaryFiles(dir.path()) + temporaryFiles(stateFolder), QStringList());
        {
            QDBusConnection connection = QDBusConnection::connectToBus(bus->address(), connectionName);
            QDBusMessage message = QDBusMessage::createMethodCall(u"com.kestravin.helper"_s, u"/com/kestravin/helper"_s,
                u"com.kestravin.Helper"_s, u"activateBlockingUntil"_s);
            message.setArguments({ sites, unixNow() + 3600 });
            connection.asyncCall(message);
            if (trial % 2 == 0) {
                // Anywhere in the call, with a little before and after.
                QThread::msleep(static_cast<unsigned long>(QRandomGenerator::global()->bounded(callMs * 12 / 10 + 1)));
            } else {
                // Inside a write: as soon as a temporary copy shows, give or take a moment.
                QDeadlineTimer deadline(callMs * 2 + 1000);
                while (temporaryFiles(dir.path()).isEmpty() && temporaryFiles(stateFolder).isEmpty()
                    && !deadline.hasExpired())
                    QThread::usleep(200);
                QThread::usleep(static_cast<unsigned long>(QRandomGenerator::global()->bounded(3000)));
            }
            ASSERT_EQ(::kill(static_cast<pid_t>(helper->processId()), SIGKILL), 0);
            ASSERT_TRUE(helper->waitForExit(10000));
        }
        QDBusConnection::disconnectFromBus(connectionName);

        const QByteArray now = hosts();
        EXPECT_TRUE(now == base || now == blocked) << "torn hosts file of " << now.size() << " bytes";
        oldBytes += now == base;
        newBytes += now == blocked;
        EXPECT_EQ(modeAndOwner(), std::make_pair(mode_t(0640), ::geteuid()));
        QFile config(configPath);
        if (config.open(QIODevice::ReadOnly)) {
            EXPECT_TRUE(QJsonDocument::fromJson(config.readAll()).isObject()) << "torn configuration file";
        }
        const int left = int(temporaryFiles(dir.path()).size() + temporaryFiles(stateFolder).size());
        leftoverFiles += left;
        killedWithLeftovers += left > 0;
    }
    // The last trial's leftovers go with the next start too.
    ASSERT_TRUE(prepare());
    auto last = daemon();
    ASSERT_TRUE(last->start()) << last->errorString().toStdString();
    EXPECT_EQ(temporaryFiles(dir.path()) + temporaryFiles(stateFolder), QStringList());
    RecordProperty("trials", trials);
    RecordProperty("killed_mid_write", killedWithLeftovers);
    RecordProperty("leftover_files_before_restart", leftoverFiles);
    std::printf("kill trials: %d, old bytes %d, new bytes %d, killed mid-write %d, leftover files before restart %d, "
                "after restart 0; one call takes %lld ms\n",
        trials, oldBytes, newBytes, killedWithLeftovers, leftoverFiles, static_cast<long long>(callMs));
}
