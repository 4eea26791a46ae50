// Two homes (two computers) linked to one account on the account service:
// the application's account service, blocking services and configuration
// files on each side, a scripted daemon each, virtual time moved together.

#include "AccountServerFixture.h"
#include "ServiceRig.h"

#include "app/services/account/DesktopAccountService.h"

#include <QSettings>
#include <QUrlQuery>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin::testing {
namespace {

// One computer: its rig (home folder, daemon, blocking services, clock) and
// its account client, device link and account service.
struct Home {
    explicit Home(const QStringList& sites)
        : rig([&] {
              ServiceRig::Options options;
              options.fakeDaemon = true;
              options.configJson = ServiceRig::configurationWith(sites, true).toJsonBytes();
              return options;
          }())
    {
    }

    void attach(quint16 port)
    {
        const QString base = u"http://127.0.0.1:%1"_s.arg(port);
        client = std::make_unique<AccountClient>(
            AccountEnvironment(QUrl(base), QUrl(base + u"/web"_s)), store, rig.time, defaults);
        link = std::make_unique<DeviceLink>(
            *client, rig.time, rig.time, [this](const QUrl& url) { opened.append(url); }, [] { return u"home"_s; });
        rig.account.attach({ client.get(), link.get(), [this] { return rig.config.get(); },
            [this] { return rig.blocking.get(); }, [this] { return rig.schedule.get(); },
            [this] { return rig.connection.get(); }, &rig.time, &rig.time, [] { return u"UTC"_s; } });
        EXPECT_TRUE(rig.waitForInstalledDaemon());
        rig.account.start();
    }

    QByteArray config() const
    {
        QFile file(rig.configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ServiceRig rig;
    MemorySessionStore store;
    QSettings defaults { rig.dir.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    std::unique_ptr<AccountClient> client;
    std::unique_ptr<DeviceLink> link;
    QList<QUrl> opened;
};

class TwoHomesTest : public AccountServerFixture {
protected:
    void SetUp() override
    {
        now = first.rig.time.now().toMSecsSinceEpoch();
        AccountServerFixture::SetUp();
        first.attach(port);
        second.attach(port);
    }

    // Both computers' clocks and the service's move together.
    void advance(std::chrono::milliseconds by)
    {
        first.rig.time.advance(by);
        second.rig.time.advance(by);
        now = first.rig.time.now().toMSecsSinceEpoch();
        spin(50);
    }

    // The person links `home` through the page its application opened.
    void signIn(Home& home, const QByteArray& name)
    {
        home.rig.account.connect();
        ASSERT_TRUE(waitUntil([&] { return !home.opened.isEmpty(); })) << home.rig.account.message().toStdString();
        const QUrl page = home.opened.takeFirst();
        const HttpReply shown = http->send("GET", page.path() + u'?' + page.query(QUrl::FullyEncoded));
        const QByteArray form = "code=" + QUrlQuery(page).queryItemValue(u"code"_s).toUtf8()
            + "&token=" + formToken(shown.body) + "&action=confirm&name=" + name;
        ASSERT_EQ(http->send("POST", u"/web/link"_s, form).status, 200);
        advance(DeviceLink::pollInterval);
        ASSERT_TRUE(waitUntil([&] { return home.rig.account.snapshot().has_value() && !home.rig.account.syncing(); }))
            << home.rig.account.message().toStdString();
    }

    Home first { { u"first.example"_s } };
    Home second { { u"second.example"_s } };
};

TEST_F(TwoHomesTest, AnEditOnOneComputerReachesTheOtherWithinOneSyncPeriod)
{
    signIn(first, "Ana");
    EXPECT_FALSE(first.rig.account.snapshot()->settings.onboarded);
    EXPECT_EQ(first.rig.account.message(), u"Escolha seus horários no navegador."_s);

    // The first computer finishes its first run: its hours and sites become the account's.
    bool finished = false;
    first.rig.account.finishOnboarding([&] { finished = true; });
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    ASSERT_EQ(first.rig.account.saveState(), AccountSaveState::saved());

    // The second computer links to the same account and takes them over.
    signIn(second, "");
    EXPECT_EQ(second.rig.account.snapshot()->user.name, u"Ana"_s);
    EXPECT_TRUE(second.config().contains("first.example")) << second.config().toStdString();
    EXPECT_FALSE(second.config().contains("second.example"));

    // An edit on the second computer...
    Configuration edited = second.rig.config->configuration();
    edited.blockedSites.append(u"third.example"_s);
    second.rig.config->setConfiguration(edited);
    second.rig.config->saveConfiguration();
    second.rig.account.localEditChanged();
    advance(900ms);
    ASSERT_TRUE(waitUntil([&] { return second.rig.account.saveState() == AccountSaveState::saved(); }))
        << second.rig.account.saveState().message.toStdString();

    // ...is on the first one's disk after one sync period.
    EXPECT_FALSE(first.config().contains("third.example"));
    advance(10s);
    EXPECT_TRUE(waitUntil([&] { return first.config().contains("third.example"); })) << first.config().toStdString();
}

} // namespace
} // namespace kestravin::testing
