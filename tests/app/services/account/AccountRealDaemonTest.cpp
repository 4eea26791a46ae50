// The account service end to end: the account API double, the real daemon on a
// private system-type bus, and the blocking services with temporary files.

#include "AccountApiDouble.h"
#include "EventLoop.h"
#include "HelperDaemonProcess.h"
#include "PrivateSystemBus.h"
#include "ServiceRig.h"
#include "TestFiles.h"

#include "app/services/account/DesktopAccountService.h"

#include <QFile>
#include <QJsonArray>
#include <QSettings>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace kestravin::testing;
using namespace Qt::StringLiterals;

namespace {

double realNowMs()
{
    return double(QDateTime::currentMSecsSinceEpoch());
}

} // namespace

TEST(AccountRealDaemonTest, TheAccountsHoursAndGrantsReachTheHostsFile)
{
    PrivateSystemBus bus;
    ASSERT_TRUE(bus.start()) << bus.errorString().toStdString();
    ServiceRig::Options options;
    options.installed = true;
    options.busAddress = bus.address();
    options.configJson = ServiceRig::configurationWith({ u"local.example"_s }, false).toJsonBytes();
    options.start = QDateTime::currentDateTimeUtc();
    ServiceRig rig(options);
    HelperDaemonProcess daemon(bus.address(), rig.hostsPath(), rig.dir.filePath(u"helper-config.json"_s));
    ASSERT_TRUE(daemon.start()) << daemon.errorString().toStdString();
    rig.installer->checkHelperStatus();
    ASSERT_TRUE(rig.waitForInstalledDaemon());

    AccountApiDouble api;
    // Focus hours all day, every day, whatever the zone.
    api.snapshot.insert(u"settings"_s,
        QJsonObject {
            { u"onboarded"_s, true },
            { u"enabled"_s, true },
            { u"timezone"_s, u"UTC"_s },
            { u"platforms"_s, QJsonArray {} },
            { u"schedule"_s,
                QJsonArray { QJsonObject { { u"days"_s, QJsonArray { 0, 1, 2, 3, 4, 5, 6 } },
                    { u"start"_s, u"00:00"_s }, { u"end"_s, u"23:59"_s } } } },
            { u"sites"_s, QJsonArray { u"account.example"_s } },
        });
    api.snapshot.insert(u"focus"_s,
        QJsonObject { { u"enabled"_s, true }, { u"id"_s, u"f1"_s }, { u"endsAt"_s, realNowMs() + 3600000 } });
    MemorySessionStore store;
    store.setStored(DesktopAccountSession::fromJson(api.issueSession())->toJsonBytes());
    QSettings defaults(rig.dir.filePath(u"defaults.ini"_s), QSettings::IniFormat);
    AccountClient client(AccountEnvironment(api.apiBase(), api.webBase()), store, rig.time, defaults);
    DeviceLink link(
        client, rig.time, rig.time, [](const QUrl&) {}, [] { return QString(); });
    rig.account.attach({ &client, &link, [&] { return rig.config.get(); }, [&] { return rig.blocking.get(); },
        [&] { return rig.schedule.get(); }, [&] { return rig.connection.get(); }, &rig.time, &rig.time,
        [] { return u"UTC"_s; } });

    const auto blocked = [&] { return readFile(rig.hostsPath()).contains("account.example"); };
    rig.account.start();
    ASSERT_TRUE(waitUntil(blocked, 15000)) << readFile(rig.hostsPath()).toStdString();
    EXPECT_FALSE(readFile(rig.hostsPath()).contains("local.example"));

    // The account frees the site for a few seconds during its focus.
    api.snapshot.insert(u"grants"_s,
        QJsonArray { QJsonObject {
            { u"site"_s, u"account.example"_s }, { u"expiresAt"_s, realNowMs() + 4000 }, { u"focusId"_s, u"f1"_s } } });
    rig.time.setNow(QDateTime::currentDateTimeUtc());
    rig.account.syncNow();
    ASSERT_TRUE(waitUntil([&] { return !blocked(); }, 10000));
    EXPECT_TRUE(waitUntil([&] { return rig.account.appliedGrants().size() == 1; }));
    // ...and the daemon blocks it again at the grant's end by itself.
    ASSERT_TRUE(waitUntil(blocked, 10000));
}
