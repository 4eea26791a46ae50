// The blocking services against the real daemon binary on a private
// system-type bus, with temporary hosts and configuration files.

#include "app/platform/linux/FreedesktopNotifications.h"
#include "app/services/core/AppEvents.h"
#include "contract/HelperConstants.h"

#include "EventLoop.h"
#include "HelperDaemonProcess.h"
#include "PrivateBus.h"
#include "PrivateSystemBus.h"
#include "ServiceRig.h"
#include "TestFiles.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QFile>
#include <QMutex>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::HelperDaemonProcess;
using testing::PrivateSystemBus;
using testing::readFile;
using testing::ServiceRig;
using testing::waitUntil;

class RealDaemonTest : public ::testing::Test {
protected:
    void startRig(const Configuration& configuration)
    {
        ASSERT_TRUE(bus.start()) << bus.errorString().toStdString();
        ServiceRig::Options options;
        options.installed = true;
        options.busAddress = bus.address();
        options.configJson = configuration.toJsonBytes();
        options.start = QDateTime::currentDateTimeUtc();
        options.notifications = notifications;
        rig = std::make_unique<ServiceRig>(options);
        startDaemon();
        rig->installer->checkHelperStatus();
        ASSERT_TRUE(rig->waitForInstalledDaemon());
    }

    void startDaemon()
    {
        daemon = std::make_unique<HelperDaemonProcess>(bus.address(), rig->hostsPath(), daemonConfigPath());
        ASSERT_TRUE(daemon->start()) << daemon->errorString().toStdString();
    }

    // Puts the application's clock `behind` the real one, so that a one-minute
    // focus started now ends 60 s - `behind` real seconds from now.
    void setClockBehind(std::chrono::seconds behind)
    {
        rig->time.setNow(QDateTime::currentDateTimeUtc().addSecs(-behind.count()));
    }

    QString daemonConfigPath() const { return rig->dir.filePath(u"helper-config.json"_s); }
    std::optional<HelperScheduleConfig> daemonSchedule() const
    {
        return HelperScheduleConfig::fromJsonBytes(readFile(daemonConfigPath()));
    }
    bool sectionPresent() const
    {
        return readFile(rig->hostsPath()).contains(HelperConstants::blockMarkerStart.toUtf8());
    }
    qint64 daemonPid() const
    {
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), u"pid-query"_s);
        const auto pid = connection.interface()->servicePid(HelperConstants::machServiceName);
        QDBusConnection::disconnectFromBus(u"pid-query"_s);
        return pid.isValid() ? qint64(pid.value()) : -1;
    }

    PrivateSystemBus bus;
    NotificationCenter* notifications = nullptr;
    std::unique_ptr<ServiceRig> rig;
    std::unique_ptr<HelperDaemonProcess> daemon;
};

TEST_F(RealDaemonTest, AManualFocusRunsAndTheDaemonEndsItOnTime)
{
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, false));
    auto& manager = rig->startScheduleManager();
    int changes = 0;
    QObject::connect(&AppEvents::shared(), &AppEvents::blockingStatusChanged, rig->blocking.get(), [&] { ++changes; });

    setClockBehind(52s);
    const QDateTime realEnd = QDateTime::currentDateTimeUtc().addSecs(8);
    manager.blockForDuration(1); // ends 8 real seconds from now
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }, 15000));
    EXPECT_TRUE(rig->blocking->isBlocking());
    EXPECT_EQ(rig->blocking->status(), BlockingStatus::active());
    EXPECT_TRUE(readFile(rig->hostsPath()).contains("127.0.0.1 a.example\n::1 a.example"));
    EXPECT_EQ(manager.remainingTime(), u"1:00"_s);
    EXPECT_EQ(changes, 1);

    // The daemon lifts the block at its end by itself.
    ASSERT_TRUE(waitUntil([&] { return !sectionPresent(); }, 20000));
    const qint64 late = realEnd.msecsTo(QDateTime::currentDateTimeUtc());
    EXPECT_GE(late, -100);
    EXPECT_LE(late, 3000);
    rig->time.advance(60s);
    ASSERT_TRUE(waitUntil([&] { return changes == 2; })); // the in-app end found it lifted
    EXPECT_FALSE(rig->blocking->isBlocking());
    rig->time.advance(5s);
    EXPECT_FALSE(manager.manualOverride());
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(rig->notices.titles(), (QStringList { u"Foco começou"_s, u"Foco concluído"_s }));
}

TEST_F(RealDaemonTest, AManualFocusSurvivesADaemonRestart)
{
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, false));
    auto& manager = rig->startScheduleManager();
    setClockBehind(45s);
    manager.blockForDuration(1); // ends 15 real seconds from now
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }, 15000));
    ASSERT_TRUE(sectionPresent());

    daemon->kill();
    startDaemon();
    rig->blocking->checkCurrentStatus();
    testing::spin(200);
    EXPECT_TRUE(rig->blocking->isBlocking());
    EXPECT_TRUE(sectionPresent());
    // The restarted daemon still ends the block at the focus's end.
    ASSERT_TRUE(waitUntil([&] { return !sectionPresent(); }, 30000));
}

TEST_F(RealDaemonTest, TheScheduleIsHandedOverAfterEditsAndHeldDuringABlock)
{
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, false, 9, 17));
    auto& manager = rig->startScheduleManager();
    rig->time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return daemonSchedule().has_value(); }));
    EXPECT_TRUE(daemonSchedule()->sameSchedule(rig->config->configuration().helperScheduleConfig()));

    manager.blockForDuration(30);
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }, 15000));
    const auto before = *daemonSchedule();

    // Changed hours wait for the end of the session.
    rig->config->setWeek({ {}, { { 600, 660 } } });
    rig->time.advance(1s);
    testing::spin(300);
    EXPECT_EQ(daemonSchedule()->daySchedules, before.daySchedules);

    rig->time.advance(30min + 5s);
    EXPECT_FALSE(manager.manualOverride());
    ASSERT_TRUE(waitUntil([&] { return daemonSchedule()->daySchedules != before.daySchedules; }));
    EXPECT_TRUE(daemonSchedule()->sameSchedule(rig->config->configuration().helperScheduleConfig()));
}

TEST_F(RealDaemonTest, SitesAddedDuringAFocusStayBlocked)
{
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, false));
    auto& manager = rig->startScheduleManager();
    manager.blockForDuration(30);
    ASSERT_TRUE(waitUntil([&] { return manager.manualOverride(); }, 15000));
    rig->config->addSites({ u"b.example"_s });
    rig->time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return readFile(rig->hostsPath()).contains("127.0.0.1 b.example"); }));
    // The daemon's own checks keep it (it polls every second during a focus).
    testing::spin(2500);
    EXPECT_TRUE(readFile(rig->hostsPath()).contains("127.0.0.1 b.example"));
    EXPECT_TRUE(readFile(rig->hostsPath()).contains("127.0.0.1 a.example"));
}

TEST_F(RealDaemonTest, SitesAddedDuringAScheduledBlockReachTheDaemonsSchedule)
{
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, true, 0, 24)); // hours all day
    rig->startScheduleManager();
    rig->time.advance(1s); // the schedule reaches the daemon, which blocks
    ASSERT_TRUE(waitUntil([&] { return sectionPresent(); }, 15000));
    rig->blocking->checkCurrentStatus();
    ASSERT_TRUE(waitUntil([&] { return rig->blocking->isBlocking(); }));

    rig->config->addSites({ u"b.example"_s });
    rig->time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return readFile(rig->hostsPath()).contains("127.0.0.1 b.example"); }));
    // The daemon's own schedule has the site, so its next check keeps it.
    ASSERT_TRUE(waitUntil([&] { return daemonSchedule()->blockedSites.contains(u"b.example"_s); }));
    EXPECT_TRUE(daemonSchedule()->sameSchedule(rig->config->configuration().helperScheduleConfig()));
}

TEST_F(RealDaemonTest, TimeOutMissingDaemonAndOtherVersionGiveTheirMessages)
{
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, false));
    HelperConnection& client = *rig->connection;

    // A daemon that hangs.
    const qint64 pid = daemonPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);
    std::optional<std::pair<bool, QString>> hung;
    client.activateBlocking({ u"a.example"_s }, [&](bool ok, QString text) { hung = std::make_pair(ok, text); });
    testing::spin(100);
    rig->time.advance(10s);
    ASSERT_TRUE(hung.has_value());
    EXPECT_EQ(*hung, std::make_pair(false, u"O ajudante de bloqueio não respondeu."_s));
    ::kill(pid_t(pid), SIGCONT);

    // No daemon at all.
    daemon->kill();
    std::optional<std::pair<bool, QString>> missing;
    client.activateBlocking({ u"a.example"_s }, [&](bool ok, QString text) { missing = std::make_pair(ok, text); });
    ASSERT_TRUE(waitUntil([&] { return missing.has_value(); }));
    EXPECT_FALSE(missing->first);
    EXPECT_TRUE(missing->second.startsWith(u"O ajudante de bloqueio não respondeu. "_s))
        << missing->second.toStdString();
    rig->installer->checkHelperStatus();
    ASSERT_TRUE(waitUntil([&] { return !rig->installer->isHelperInstalled(); }));
    EXPECT_TRUE(rig->installer->installationError().startsWith(u"O ajudante de bloqueio não respondeu. "_s));

    // A daemon of another version.
    testing::FakeHelperDaemon older(bus.address());
    ASSERT_TRUE(older.isRegistered());
    older.setVersion(u"1.6.9"_s);
    rig->installer->checkHelperStatus();
    ASSERT_TRUE(waitUntil([&] {
        return rig->installer->installationError() == u"Helper version mismatch: installed=1.6.9, expected=1.7.0"_s;
    }));
    EXPECT_FALSE(rig->installer->isHelperInstalled());
    std::optional<QString> gated;
    client.setSiteAccess({}, HelperScheduleConfig(), [&](bool, QString text) { gated = text; });
    ASSERT_TRUE(waitUntil([&] { return gated.has_value(); }));
    EXPECT_EQ(*gated, u"Atualize o helper do Kestravin."_s);
    EXPECT_EQ(older.count(u"setSiteAccess"_s), 0);
}

// org.freedesktop.Notifications on a private session bus, recording Notify.
class NotificationService final : public QDBusVirtualObject {
public:
    struct Notice {
        QString appName;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    explicit NotificationService(const QString& address)
        : m_connection(QDBusConnection::connectToBus(address, u"notification-service"_s))
    {
        m_connection.registerVirtualObject(u"/org/freedesktop/Notifications"_s, this);
        m_connection.registerService(u"org.freedesktop.Notifications"_s);
    }
    ~NotificationService() override { QDBusConnection::disconnectFromBus(u"notification-service"_s); }

    QList<Notice> notices() const
    {
        QMutexLocker lock(&m_mutex);
        return m_notices;
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != u"Notify"_s || message.arguments().size() != 8) {
            return false;
        }
        const QVariantList args = message.arguments();
        {
            QMutexLocker lock(&m_mutex);
            m_notices.append({ args.at(0).toString(), args.at(3).toString(), args.at(4).toString(),
                qdbus_cast<QVariantMap>(args.at(6)) });
        }
        connection.send(message.createReply(QVariantList { uint(m_notices.size()) }));
        return true;
    }

private:
    QDBusConnection m_connection;
    mutable QMutex m_mutex;
    QList<Notice> m_notices;
};

TEST_F(RealDaemonTest, NoticesGoToTheDesktopNotificationService)
{
    testing::PrivateBus session(testing::PrivateBus::Type::session);
    ASSERT_TRUE(session.isRunning());
    QDBusConnection appSession = QDBusConnection::connectToBus(session.address(), u"app-session"_s);
    FreedesktopNotifications desktop(appSession);
    EXPECT_EQ(desktop.authorizationStatus(), NotificationCenter::Authorization::denied);

    NotificationService service(session.address());
    EXPECT_EQ(desktop.authorizationStatus(), NotificationCenter::Authorization::authorized);
    notifications = &desktop;
    startRig(ServiceRig::configurationWith({ u"a.example"_s }, false));
    auto& manager = rig->startScheduleManager();
    manager.blockForDuration(25);
    ASSERT_TRUE(waitUntil([&] { return service.notices().size() == 1; }, 15000));
    const auto notice = service.notices().first();
    EXPECT_EQ(notice.appName, u"Kestravin"_s);
    EXPECT_EQ(notice.summary, u"Foco começou"_s);
    EXPECT_EQ(notice.body, u"Os sites e apps escolhidos ficam para depois por 25 min."_s);
    EXPECT_EQ(notice.hints.value(u"sound-name"_s).toString(), u"message-new-instant"_s);
    rig.reset(); // before the notification center it uses
    QDBusConnection::disconnectFromBus(u"app-session"_s);
}

} // namespace
} // namespace kestravin
