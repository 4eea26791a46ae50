// The bridge against the real daemon binary on a private system-type bus: the
// extension's receipt makes the bridge push, the daemon takes the browser
// state and writes or frees the hosts file accordingly.
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "contract/HelperConstants.h"

#include "BridgeRig.h"
#include "EventLoop.h"
#include "HelperDaemonProcess.h"
#include "PrivateSystemBus.h"
#include "ServiceRig.h"
#include "TestFiles.h"

#include <QFile>
#include <QJsonDocument>

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

TEST(BrowserBridgeDaemonTest, ReceiptPushAndTheHostsFile)
{
    PrivateSystemBus bus;
    ASSERT_TRUE(bus.start()) << bus.errorString().toStdString();
    const Configuration configuration = ServiceRig::configurationWith({ u"a.example"_s, u"www.youtube.com"_s }, false);
    ServiceRig::Options options;
    options.installed = true;
    options.busAddress = bus.address();
    options.configJson = configuration.toJsonBytes();
    options.start = QDateTime::currentDateTimeUtc();
    ServiceRig rig(options);
    const QString daemonConfig = rig.dir.filePath(u"helper-config.json"_s);
    HelperDaemonProcess daemon(bus.address(), rig.hostsPath(), daemonConfig);
    ASSERT_TRUE(daemon.start()) << daemon.errorString().toStdString();
    rig.installer->checkHelperStatus();
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    ASSERT_TRUE(rig.installer->supportsBrowserSync());

    bool handed = false;
    rig.connection->updateSchedule(
        configuration.helperScheduleConfig(), [&](bool success, const QString&) { handed = success; });
    ASSERT_TRUE(waitUntil([&] { return handed; }));

    testing::FakeBridgeAccount account;
    int pushes = 0;
    int answers = 0;
    DesktopBrowserBridge bridge(DesktopBrowserBridge::Environment {
        rig.dir.filePath(u"data/Kestravin/browser-bridge"_s),
        &Clock::system(),
        &rig.time,
        QTimeZone::utc(),
        [&] { return configuration; },
        [&] { return rig.installer->supportsBrowserSync(); },
        [&](const BrowserHelperControl& control, const HelperScheduleConfig& expected,
            DesktopBrowserBridge::DaemonCompletion done) {
            ++pushes;
            rig.connection->updateBrowserControl(control, expected, [&answers, done](bool ok, const QString& message) {
                ++answers;
                done(ok, message);
            });
        },
        &account,
        [](const QDateTime&) {},
        [](const QString&) {},
        rig.dir.filePath(u"settings.ini"_s),
    });
    const auto settled = [&] { return waitUntil([&] { return answers == pushes; }); };

    bridge.setEnabled(true);
    ASSERT_TRUE(settled());
    ASSERT_EQ(bridge.begin(10), std::nullopt);
    ASSERT_TRUE(settled());
    ASSERT_EQ(pushes, 2);
    // The focus holds exactly the sites the configuration hands the daemon.
    const QByteArray hosts = readFile(rig.hostsPath());
    const QStringList sites = configuration.helperScheduleConfig().blockedSites;
    EXPECT_TRUE(sites.contains(u"a.example"_s));
    for (const QString& site : sites) {
        EXPECT_TRUE(hosts.contains((u"127.0.0.1 "_s + site + u"\n::1 "_s + site + u'\n').toUtf8()))
            << hosts.constData();
    }
    EXPECT_EQ(hosts.count("127.0.0.1 "), 1 + sites.size()) << hosts.constData();

    // The extension applies the state; the next push (3 s on) carries its cover.
    const auto writeReceipt = [&] {
        const QJsonObject state = QJsonDocument::fromJson(readFile(bridge.directory() + u"/state.json"_s)).object();
        const QJsonObject receipt { { u"revision"_s, state.value(u"revision"_s) },
            { u"focusId"_s, state.value(u"focus"_s).toObject().value(u"id"_s) },
            { u"receivedAt"_s, double(QDateTime::currentMSecsSinceEpoch()) } };
        QFile file(bridge.directory() + u"/receipt-profile.json"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(receipt).toJson());
    };
    writeReceipt();
    bridge.tick();
    EXPECT_TRUE(bridge.connected());
    EXPECT_EQ(bridge.status(), u"Aplicando o foco neste computador…"_s);
    testing::spin(3000);
    writeReceipt();
    bridge.tick();
    ASSERT_EQ(pushes, 3);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(bridge.helperReady());
    bridge.tick();
    EXPECT_EQ(bridge.status(), u"Extensão sincronizada neste perfil."_s);
    EXPECT_TRUE(readFile(bridge.directory() + u"/state.json"_s).contains(R"("systemReady":true)"));

    // Switching sync off hands the daemon a disabled browser state: the focus
    // it allowed is over and the hosts file is freed.
    bridge.setEnabled(false);
    ASSERT_TRUE(settled());
    EXPECT_FALSE(readFile(rig.hostsPath()).contains(HelperConstants::blockMarkerStart.toUtf8()));
}

} // namespace
} // namespace kestravin
