// A focus started from the popover's start button through the real daemon
// binary on a private system-type bus, with temporary hosts and
// configuration files; and the daemon as scripts/run starts it, on the bus
// the application was pointed at, with no installed files at all.

#include "app/views/brand/ChoiceChips.h"
#include "app/views/menubar/FocusStartSection.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBlockingPort.h"
#include "app/views/menubar/MenuControls.h"
#include "app/views/settings/SettingsPages.h"
#include "contract/HelperConstants.h"

#include "EventLoop.h"
#include "HelperDaemonProcess.h"
#include "MenuBarFakes.h"
#include "PrivateSystemBus.h"
#include "ServiceRig.h"
#include "TestFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::HelperDaemonProcess;
using testing::PrivateSystemBus;
using testing::readFile;
using testing::ServiceRig;
using testing::waitUntil;

bool showsText(const QWidget& view, const QString& text)
{
    for (QLabel* label : view.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&view) && label->text().contains(text)) {
            return true;
        }
    }
    return false;
}

TEST(MenuBarRealDaemonTest, TheStartButtonBlocksAndTheDaemonLiftsTheBlockAtItsEnd)
{
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    PrivateSystemBus bus;
    ASSERT_TRUE(bus.start()) << bus.errorString().toStdString();
    ServiceRig::Options options;
    options.installed = true;
    options.busAddress = bus.address();
    options.configJson = Configuration({ u"a.example"_s }, Schedule(), false).toJsonBytes();
    // The application's clock runs 25 min − 8 s behind the daemon's, so a
    // focus of 25 minutes ends 8 real seconds after it starts.
    options.start = QDateTime::currentDateTimeUtc().addSecs(-(25 * 60 - 8));
    ServiceRig rig(options);
    HelperDaemonProcess daemon(bus.address(), rig.hostsPath(), rig.dir.filePath(u"helper-config.json"_s));
    ASSERT_TRUE(daemon.start()) << daemon.errorString().toStdString();
    rig.installer->checkHelperStatus();
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    rig.startScheduleManager();

    testing::FakeBrowser bridge;
    testing::FakeMenuAccount account;
    testing::FakeUpdater updater;
    testing::FakeShield shield;
    DesktopMenuBlockingPort blocking(*rig.blocking, *rig.schedule, *rig.config, *rig.installer, bridge);
    MenuBarServices services;
    services.blocking = &blocking;
    services.account = &account;
    services.updater = &updater;
    services.shield = &shield;
    services.clock = &rig.time;
    services.scheduler = &rig.time;
    services.timeZone = QTimeZone::utc();
    MenuBarPopoverView view(services);
    view.show();

    FocusStartSection* section = view.focusStartSection();
    ASSERT_TRUE(section->isVisibleTo(&view));
    section->chips()->button(0)->click();
    ASSERT_EQ(section->startButton()->accessibleName(), u"Começar foco de 25 min"_s);
    section->startButton()->click();

    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }, 15000));
    EXPECT_TRUE(readFile(rig.hostsPath()).contains("127.0.0.1 a.example\n::1 a.example"));
    EXPECT_TRUE(showsText(view, u"Bloqueando agora"_s));
    EXPECT_TRUE(showsText(view, u"25:00 restantes"_s));
    EXPECT_FALSE(section->isVisibleTo(&view));

    // The daemon ends the block by itself.
    ASSERT_TRUE(waitUntil(
        [&] { return !readFile(rig.hostsPath()).contains(HelperConstants::blockMarkerStart.toUtf8()); }, 20000));
    // The application's own end of the session finds it lifted.
    rig.time.advance(25min + 5s);
    ASSERT_TRUE(waitUntil([&] { return !rig.blocking->isBlocking(); }));
    rig.time.advance(5s);
    EXPECT_TRUE(waitUntil([&] { return showsText(view, u"Livre agora"_s); }));
    EXPECT_TRUE(section->isVisibleTo(&view));
}

// scripts/run's way: the daemon first, on a private system-type bus with its
// own hosts and configuration files, then the application pointed at that
// bus, with nothing installed on the system.
class DaemonOnTheChosenBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
        ASSERT_TRUE(bus.start()) << bus.errorString().toStdString();
        QFile hosts(hostsPath());
        ASSERT_TRUE(hosts.open(QIODevice::WriteOnly));
        hosts.write("127.0.0.1 localhost\n::1 localhost\n");
        hosts.close();
        startDaemon();
    }

    void startDaemon()
    {
        daemon = std::make_unique<HelperDaemonProcess>(bus.address(), hostsPath(), daemonConfigPath());
        ASSERT_TRUE(daemon->start()) << daemon->errorString().toStdString();
    }

    void startApplication(const Configuration& configuration)
    {
        ServiceRig::Options options;
        options.daemonBusChosen = true;
        options.busAddress = bus.address();
        options.configJson = configuration.toJsonBytes();
        options.start = QDateTime::currentDateTimeUtc();
        rig = std::make_unique<ServiceRig>(options);
        rig->startScheduleManager();
        port = std::make_unique<DesktopMenuBlockingPort>(
            *rig->blocking, *rig->schedule, *rig->config, *rig->installer, bridge);
        services.blocking = port.get();
        services.account = &account;
        services.updater = &updater;
        services.shield = &shield;
        services.clock = &rig->time;
        services.scheduler = &rig->time;
        services.timeZone = QTimeZone::utc();
        view = std::make_unique<MenuBarPopoverView>(services);
        view->show();
        permissions = std::make_unique<HelperPermissionPage>(*rig->installer);
    }

    QString hostsPath() const { return state.filePath(u"hosts"_s); }
    QString daemonConfigPath() const { return state.filePath(u"helper-config.json"_s); }
    bool sectionPresent() const { return readFile(hostsPath()).contains(HelperConstants::blockMarkerStart.toUtf8()); }
    bool asksForPermission() const { return showsText(*view, u"Falta uma permissão"_s); }

    QTemporaryDir settings;
    QTemporaryDir state;
    PrivateSystemBus bus;
    std::unique_ptr<HelperDaemonProcess> daemon;
    std::unique_ptr<ServiceRig> rig;
    testing::FakeBrowser bridge;
    testing::FakeMenuAccount account;
    testing::FakeUpdater updater;
    testing::FakeShield shield;
    std::unique_ptr<DesktopMenuBlockingPort> port;
    MenuBarServices services;
    std::unique_ptr<MenuBarPopoverView> view;
    std::unique_ptr<HelperPermissionPage> permissions;
};

TEST_F(DaemonOnTheChosenBus, HoursActiveNowReachTheHostsFileAndARestartedDaemonGetsThemAgain)
{
    QElapsedTimer started;
    started.start();
    startApplication(ServiceRig::configurationWith({ u"a.example"_s }, true, 0, 24));
    ASSERT_TRUE(waitUntil([&] { return sectionPresent(); }, 2000 - int(started.elapsed())));
    EXPECT_TRUE(rig->installer->isHelperInstalled());
    EXPECT_TRUE(readFile(hostsPath()).contains("127.0.0.1 a.example"));
    EXPECT_FALSE(asksForPermission());
    EXPECT_EQ(permissions->statusText(), u"Serviço instalado e ativo"_s);

    // Stopped: both the popover and the permission page say so.
    daemon->kill();
    ASSERT_TRUE(waitUntil([&] { return !rig->installer->isHelperInstalled(); }));
    EXPECT_TRUE(asksForPermission());
    EXPECT_EQ(permissions->statusText(), u"Serviço com problema"_s);

    // Back, with no schedule of its own: it is handed ours again, long after
    // the installer's own re-checks have run out.
    QFile::remove(daemonConfigPath());
    rig->time.advance(5min);
    startDaemon();
    ASSERT_TRUE(waitUntil([&] { return rig->installer->isHelperInstalled(); }));
    ASSERT_TRUE(waitUntil([&] {
        const auto handed = HelperScheduleConfig::fromJsonBytes(readFile(daemonConfigPath()));
        return handed && handed->sameSchedule(rig->config->configuration().helperScheduleConfig());
    }));
    EXPECT_TRUE(waitUntil([&] { return sectionPresent(); }));
    EXPECT_FALSE(asksForPermission());
    EXPECT_EQ(permissions->statusText(), u"Serviço instalado e ativo"_s);
}

TEST_F(DaemonOnTheChosenBus, AFocusOf25MinutesFromThePopoverBlocks)
{
    startApplication(Configuration({ u"a.example"_s }, Schedule(), false));
    ASSERT_TRUE(waitUntil([&] { return rig->installer->isHelperInstalled(); }));
    ASSERT_FALSE(asksForPermission());

    FocusStartSection* section = view->focusStartSection();
    ASSERT_TRUE(section->isVisibleTo(view.get()));
    section->chips()->button(0)->click();
    ASSERT_EQ(section->startButton()->accessibleName(), u"Começar foco de 25 min"_s);
    section->startButton()->click();
    ASSERT_TRUE(waitUntil([&] { return sectionPresent(); }, 15000));
    EXPECT_TRUE(readFile(hostsPath()).contains("127.0.0.1 a.example\n::1 a.example"));
    EXPECT_TRUE(waitUntil([&] { return showsText(*view, u"Bloqueando agora"_s); }));
}

} // namespace
} // namespace kestravin
