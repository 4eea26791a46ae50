#include "AccountApiDouble.h"
#include "EventLoop.h"
#include "FakeTime.h"

#include "app/services/account/DeviceLink.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace kestravin::testing;
using namespace Qt::StringLiterals;

namespace {

const QString beginPath = u"/api/device/begin"_s;
const QString pollPath = u"/api/device/poll"_s;

struct LinkRig {
    FakeTime time;
    AccountApiDouble api;
    MemorySessionStore store;
    QTemporaryDir folder;
    QSettings defaults { folder.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    AccountClient client { AccountEnvironment(api.apiBase(), api.webBase()), store, time, defaults };
    QList<QUrl> opened;
    DeviceLink link { client, time, time, [this](const QUrl& url) { opened.append(url); },
        [] { return u"install-7"_s; } };
    QSignalSpy linked { &link, &DeviceLink::linked };

    LinkRig()
    {
        api.nowMs = [this] { return double(time.now().toMSecsSinceEpoch()); };
    }

    // Starts a sign-in and waits until the code is shown.
    void begin()
    {
        link.connect();
        ASSERT_TRUE(waitUntil([&] { return !link.code().isEmpty() || !link.connecting(); }));
    }

    // One poll period: the poll is sent and its answer handled (the next
    // poll is due, or the link has ended).
    void pollOnce()
    {
        const int before = api.count(pollPath);
        time.advance(DeviceLink::pollInterval);
        ASSERT_TRUE(waitUntil([&] { return api.count(pollPath) == before + 1; }));
        ASSERT_TRUE(waitUntil([&] { return time.pending() > 0 || !link.connecting(); }));
    }
};

} // namespace

TEST(DeviceLinkTest, LinksAfterTheConfirmation)
{
    LinkRig rig;
    rig.begin();
    EXPECT_TRUE(rig.link.connecting());
    EXPECT_EQ(rig.link.code(), rig.api.linkCode);
    EXPECT_EQ(rig.link.message(), u"Confira o código e confirme a conexão no navegador."_s);
    ASSERT_EQ(rig.opened.size(), 1);
    EXPECT_EQ(rig.opened.first().toString(QUrl::FullyEncoded),
        rig.api.webBase().toString() + u"/link?code=ABCD-1234&install=install-7"_s);
    EXPECT_EQ(rig.api.requestsTo(beginPath).first().body, "{}"_ba);

    // Pending, and "connected" without a session, both keep polling.
    rig.pollOnce();
    rig.api.addFault(pollPath, AccountApiDouble::status(200, R"({"status":"connected"})"_ba));
    rig.pollOnce();
    rig.api.addFault(pollPath, AccountApiDouble::status(200, R"({"status":"waiting_for_user"})"_ba));
    rig.pollOnce();
    EXPECT_TRUE(rig.link.connecting());
    EXPECT_EQ(rig.linked.count(), 0);

    rig.api.confirmed = true;
    rig.pollOnce();
    ASSERT_TRUE(waitUntil([&] { return rig.linked.count() == 1; }));
    EXPECT_FALSE(rig.link.connecting());
    EXPECT_TRUE(rig.link.code().isEmpty());
    EXPECT_FALSE(rig.link.connectError());
    ASSERT_TRUE(rig.client.session());
    EXPECT_EQ(rig.store.stored(), rig.client.session()->toJsonBytes());
    for (const auto& poll : rig.api.requestsTo(pollPath)) {
        EXPECT_EQ(poll.body, R"({"secret":"secret-1"})"_ba);
        EXPECT_TRUE(poll.header("Authorization"_ba).isEmpty());
    }
    rig.time.advance(std::chrono::seconds(10));
    spin(30);
    EXPECT_EQ(rig.api.count(pollPath), 4);
}

TEST(DeviceLinkTest, SecondConnectDuringALinkStartsNothing)
{
    LinkRig rig;
    rig.begin();
    rig.link.connect();
    spin(50);
    EXPECT_EQ(rig.api.count(beginPath), 1);
    EXPECT_EQ(rig.opened.size(), 1);
}

TEST(DeviceLinkTest, PageOutsideTheWebAppIsNotOpened)
{
    for (const QString& page : { u"http://evil.example/web/link?code=A"_s, u"http://127.0.0.1:1/web/link"_s }) {
        LinkRig rig;
        rig.api.addFault(beginPath,
            AccountApiDouble::status(
                200, uR"({"code":"A","secret":"s","expiresAt":9e15,"webURL":"%1"})"_s.arg(page).toUtf8()));
        rig.begin();
        EXPECT_TRUE(rig.opened.isEmpty());
        EXPECT_EQ(rig.link.connectError(), u"Conecte sua conta e inicie o foco nos seus horários para usar a IA."_s);
        EXPECT_FALSE(rig.link.connecting());
        rig.time.advance(std::chrono::seconds(10));
        EXPECT_EQ(rig.api.count(pollPath), 0);
    }
}

TEST(DeviceLinkTest, EndsWithTheRightTextOnExpiryOrFailure)
{
    const QString expired = u"A conexão expirou. Tente novamente."_s;
    {
        LinkRig rig;
        rig.api.linkLifetimeMs = 5000;
        rig.begin();
        rig.pollOnce(); // t = 2 s
        rig.pollOnce(); // t = 4 s
        rig.time.advance(DeviceLink::pollInterval); // t = 6 s: a last poll is sent and time is up after it
        ASSERT_TRUE(waitUntil([&] { return !rig.link.connecting(); }));
        EXPECT_EQ(rig.link.message(), expired);
        EXPECT_EQ(rig.link.connectError(), expired);
        EXPECT_TRUE(rig.link.code().isEmpty());
        EXPECT_EQ(rig.api.count(pollPath), 3);
    }
    {
        LinkRig rig;
        rig.begin();
        rig.api.addFault(pollPath, AccountApiDouble::status(500, R"({"error":"O código não vale mais."})"_ba));
        rig.pollOnce();
        ASSERT_TRUE(waitUntil([&] { return !rig.link.connecting(); }));
        EXPECT_EQ(rig.link.connectError(), u"O código não vale mais."_s);
        rig.time.advance(std::chrono::seconds(10));
        EXPECT_EQ(rig.api.count(pollPath), 1);
    }
    {
        LinkRig rig;
        rig.api.addFault(beginPath, AccountApiDouble::status(200, "{}"_ba));
        rig.begin();
        EXPECT_EQ(rig.link.connectError(), u"A resposta do serviço da conta veio num formato inesperado."_s);
    }
}

TEST(DeviceLinkTest, KeyringFailureIsShownAndNothingIsKept)
{
    LinkRig rig;
    const QString text = u"Sem chaveiro."_s;
    rig.store.failSaves(text);
    rig.api.confirmed = true;
    rig.begin();
    rig.pollOnce();
    ASSERT_TRUE(waitUntil([&] { return !rig.link.connecting(); }));
    EXPECT_EQ(rig.link.connectError(), text);
    EXPECT_FALSE(rig.client.session());
    EXPECT_EQ(rig.linked.count(), 0);
}

TEST(DeviceLinkTest, SignOutForgetsTheSessionEvenOffline)
{
    LinkRig rig;
    rig.api.confirmed = true;
    rig.begin();
    rig.pollOnce();
    ASSERT_TRUE(waitUntil([&] { return rig.client.session().has_value(); }));
    rig.defaults.setValue(u"kestravinInstallId"_s, u"install-7"_s);
    rig.defaults.setValue(u"kestravinLinkedUser"_s, u"user-1"_s);

    AccountApiDouble::Fault offline;
    offline.drop = true;
    rig.api.addFault(u"/api/auth/logout"_s, offline);
    rig.api.addFault(u"/api/auth/logout"_s, offline); // Qt's own second try
    QSignalSpy signedOut(&rig.link, &DeviceLink::signedOut);
    rig.link.disconnect();
    ASSERT_TRUE(waitUntil([&] { return signedOut.count() == 1; }));
    EXPECT_EQ(rig.link.message(), u"Conta desconectada. A agenda já baixada foi preservada."_s);
    EXPECT_FALSE(rig.client.session());
    EXPECT_TRUE(waitUntil([&] { return rig.store.stored().isEmpty(); }));
    EXPECT_FALSE(rig.defaults.contains(u"kestravinInstallId"_s));
    EXPECT_FALSE(rig.defaults.contains(u"kestravinLinkedUser"_s));
    const auto logout = rig.api.requestsTo(u"/api/auth/logout"_s);
    ASSERT_EQ(logout.size(), 2);
    EXPECT_EQ(logout.first().body, "{}"_ba);
    EXPECT_TRUE(logout.first().header("Authorization"_ba).startsWith("Bearer "_ba));
}

TEST(DeviceLinkTest, SignOutDuringASignInStopsItQuietly)
{
    LinkRig rig;
    rig.begin();
    rig.link.disconnect();
    ASSERT_TRUE(waitUntil([&] { return !rig.link.connecting(); }));
    const QString message = rig.link.message();
    rig.api.confirmed = true;
    rig.time.advance(std::chrono::seconds(10));
    spin(50);
    EXPECT_EQ(rig.api.count(pollPath), 0);
    EXPECT_FALSE(rig.client.session());
    EXPECT_EQ(rig.link.message(), message);
}

TEST(DeviceLinkTest, WithoutAddressesSignInFailsAtOnce)
{
    LinkRig rig;
    AccountClient unconfigured(AccountEnvironment(), rig.store, rig.time, rig.defaults);
    DeviceLink link(
        unconfigured, rig.time, rig.time, [](const QUrl&) {}, [] { return QString(); });
    link.connect();
    EXPECT_FALSE(link.connecting());
    EXPECT_EQ(link.connectError(), u"Conecte sua conta e inicie o foco nos seus horários para usar a IA."_s);
    EXPECT_EQ(link.message(), *link.connectError());
    EXPECT_TRUE(rig.api.requests().isEmpty());
}
