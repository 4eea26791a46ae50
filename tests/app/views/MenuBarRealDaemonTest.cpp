// A focus started from the popover's start button through the real daemon
// binary on a private system-type bus, with temporary hosts and
// configuration files.

#include "app/views/brand/ChoiceChips.h"
#include "app/views/menubar/FocusStartSection.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBlockingPort.h"
#include "app/views/menubar/MenuControls.h"
#include "contract/HelperConstants.h"

#include "EventLoop.h"
#include "HelperDaemonProcess.h"
#include "MenuBarFakes.h"
#include "PrivateSystemBus.h"
#include "ServiceRig.h"
#include "TestFiles.h"

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

} // namespace
} // namespace kestravin
