#include "AccountApiDouble.h"
#include "EventLoop.h"
#include "FakeTime.h"

#include "app/services/account/AccountClient.h"

#include <QJsonDocument>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace kestravin::testing;
using namespace Qt::StringLiterals;

namespace {

const QString bootstrapPath = u"/api/bootstrap"_s;
const QString refreshPath = u"/api/auth/refresh"_s;

struct ClientRig {
    FakeTime time;
    AccountApiDouble api;
    MemorySessionStore store;
    QTemporaryDir folder;
    QSettings defaults { folder.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    AccountClient client { AccountEnvironment(api.apiBase(), api.webBase()), store, time, defaults };

    ClientRig()
    {
        api.nowMs = [this] { return double(time.now().toMSecsSinceEpoch()); };
        defaults.setValue(u"kestravinInstallId"_s, u"install-1"_s);
        defaults.setValue(u"kestravinLinkedUser"_s, u"user-1"_s);
    }

    double nowMs() const { return double(time.now().toMSecsSinceEpoch()); }

    // Signs in with a session from the double that expires in `expiresInMs`.
    DesktopAccountSession signIn(double expiresInMs = 3600000)
    {
        auto session = DesktopAccountSession::fromJson(api.issueSession());
        session->expiresAt = nowMs() + expiresInMs;
        client.setSession(*session);
        store.setStored(session->toJsonBytes());
        return *session;
    }

    AccountReply wait(std::optional<AccountReply>& reply)
    {
        EXPECT_TRUE(waitUntil([&] { return reply.has_value(); }, 10000));
        return reply.value_or(AccountReply { AccountFailure::decodeError(u"no reply"_s), {} });
    }

    AccountReply call(const QString& path = bootstrapPath)
    {
        std::optional<AccountReply> reply;
        client.request(path, {}, std::nullopt, [&](AccountReply r) { reply = std::move(r); });
        return wait(reply);
    }

    AccountReply rawCall(const QString& path, std::optional<QByteArray> body)
    {
        std::optional<AccountReply> reply;
        client.raw(path, {}, std::move(body), std::nullopt, [&](AccountReply r) { reply = std::move(r); });
        return wait(reply);
    }
};

} // namespace

TEST(AccountClientTest, RefreshesOnlyWithinThirtySecondsOfExpiry)
{
    for (const double expiresIn : { 0.0, 29999.0, 30000.0, 31000.0 }) {
        SCOPED_TRACE(expiresIn);
        ClientRig rig;
        const auto old = rig.signIn(expiresIn);
        const bool refreshes = expiresIn <= 30000;
        const AccountReply reply = rig.call();
        EXPECT_TRUE(reply.ok());
        EXPECT_EQ(rig.api.count(refreshPath), refreshes ? 1 : 0);
        const auto& requests = rig.api.requests();
        ASSERT_FALSE(requests.isEmpty());
        if (refreshes) {
            EXPECT_EQ(requests.first().path, refreshPath);
            EXPECT_EQ(requests.first().body, AccountBodies::refresh(old.refreshToken));
            EXPECT_TRUE(requests.first().header("Authorization"_ba).isEmpty());
            EXPECT_NE(rig.client.session()->accessToken, old.accessToken);
            // The fresh session is kept in the store as well.
            EXPECT_EQ(rig.store.stored(), rig.client.session()->toJsonBytes());
        }
        EXPECT_EQ(
            requests.last().header("Authorization"_ba), "Bearer "_ba + rig.client.session()->accessToken.toUtf8());
    }
}

TEST(AccountClientTest, ConcurrentCallersShareOneRefresh)
{
    ClientRig rig;
    rig.signIn(1000);
    AccountApiDouble::Fault slow;
    slow.delayMs = 150;
    rig.api.addFault(refreshPath, slow);

    std::optional<AccountReply> first, second;
    rig.client.request(bootstrapPath, {}, std::nullopt, [&](AccountReply r) { first = std::move(r); });
    rig.client.request(bootstrapPath, {}, std::nullopt, [&](AccountReply r) { second = std::move(r); });
    EXPECT_TRUE(rig.wait(first).ok());
    EXPECT_TRUE(rig.wait(second).ok());
    EXPECT_EQ(rig.api.count(refreshPath), 1);
    EXPECT_EQ(rig.api.count(bootstrapPath), 2);
}

TEST(AccountClientTest, RetriesOnceAfterUnauthorized)
{
    {
        // The server no longer takes the token: one refresh, one retry.
        ClientRig rig;
        const auto session = rig.signIn();
        rig.api.validAccessTokens.remove(session.accessToken);
        EXPECT_TRUE(rig.call().ok());
        EXPECT_EQ(rig.api.count(refreshPath), 1);
        EXPECT_EQ(rig.api.count(bootstrapPath), 2);
    }
    {
        // A 401 on the retry is the caller's, not a third attempt.
        ClientRig rig;
        rig.signIn();
        rig.api.addFault(bootstrapPath, AccountApiDouble::status(401));
        rig.api.addFault(bootstrapPath, AccountApiDouble::status(401));
        const AccountReply reply = rig.call();
        ASSERT_TRUE(reply.failure);
        EXPECT_TRUE(reply.failure->isHttp(401));
        EXPECT_EQ(rig.api.count(refreshPath), 1);
        EXPECT_EQ(rig.api.count(bootstrapPath), 2);
    }
}

TEST(AccountClientTest, OnlyTwoHundredWithinTheSizeCapSucceeds)
{
    const auto unavailable = AccountFailure::accessError(DesktopAccessError::unavailable);
    const auto withLength = [](qsizetype size, bool omitLength) {
        auto fault = AccountApiDouble::bodyOfSize(size);
        fault.omitLength = omitLength;
        return fault;
    };
    AccountApiDouble::Fault redirect = AccountApiDouble::status(302, "{}"_ba);
    redirect.headers = { { "Location"_ba, "/api/elsewhere"_ba } };
    AccountApiDouble::Fault dropped;
    dropped.drop = true;

    struct Case {
        const char* name;
        AccountApiDouble::Fault fault;
        std::optional<AccountFailure> failure;
        int status = 0;
    };
    const Case cases[] = {
        { "64000 bytes", withLength(64000, false), std::nullopt },
        { "64001 bytes", withLength(64001, false), unavailable },
        { "64000 bytes streamed", withLength(64000, true), std::nullopt },
        { "64001 bytes streamed", withLength(64001, true), unavailable },
        { "a megabyte streamed", withLength(1 << 20, true), unavailable },
        { "201", AccountApiDouble::status(201, "{}"_ba), std::nullopt, 201 },
        { "204", AccountApiDouble::status(204, ""_ba), std::nullopt, 204 },
        { "302", redirect, std::nullopt, 302 },
        { "500 without a body", AccountApiDouble::status(500, ""_ba), std::nullopt, 500 },
        { "409 with malformed body", AccountApiDouble::status(409, "{oops"_ba), std::nullopt, 409 },
        { "dropped connection", dropped, unavailable },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientRig rig;
        rig.signIn();
        // Qt sends a request once more when the connection closed before any
        // answer, so a dropped connection is scripted for that second try too.
        for (int i = 0; i < (c.fault.drop ? 2 : 1); ++i)
            rig.api.addFault(bootstrapPath, c.fault);
        const AccountReply reply = rig.call();
        if (c.status != 0) {
            ASSERT_TRUE(reply.failure);
            EXPECT_TRUE(reply.failure->isHttp(c.status));
            EXPECT_EQ(reply.failure->text, u"O serviço da conta não atendeu o pedido. Tente de novo em instantes."_s);
        } else {
            EXPECT_EQ(reply.failure, c.failure);
        }
        if (reply.ok()) {
            EXPECT_EQ(reply.body.size(), 64000);
        }
        EXPECT_EQ(rig.api.count(u"/api/elsewhere"_s), 0);
    }
}

TEST(AccountClientTest, RefusalCarriesTheServersTextAndCode)
{
    ClientRig rig;
    rig.signIn();
    rig.api.addFault(u"/api/settings"_s,
        AccountApiDouble::status(423, R"({"error": "O foco está travado.", "code": "focus_locked"})"_ba));
    std::optional<AccountReply> reply;
    rig.client.request(u"/api/settings"_s, "PUT"_ba, "{}"_ba, [&](AccountReply r) { reply = std::move(r); });
    const AccountReply result = rig.wait(reply);
    ASSERT_TRUE(result.failure);
    EXPECT_TRUE(result.failure->isHttp(423));
    EXPECT_EQ(result.failure->text, u"O foco está travado."_s);
    EXPECT_EQ(result.failure->code, u"focus_locked"_s);
    EXPECT_EQ(rig.api.requests().last().method, "PUT"_ba);
}

TEST(AccountClientTest, SendsItsHeadersAndNoCookies)
{
    ClientRig rig;
    const auto session = rig.signIn();
    AccountApiDouble::Fault withCookie = AccountApiDouble::status(200);
    withCookie.headers = { { "Set-Cookie"_ba, "tracker=1; Path=/"_ba } };
    rig.api.addFault(bootstrapPath, withCookie);
    ASSERT_TRUE(rig.call().ok());
    ASSERT_TRUE(rig.call().ok());
    ASSERT_TRUE(rig.rawCall(u"/api/device/begin"_s, "{}"_ba).ok());

    const auto& requests = rig.api.requests();
    ASSERT_EQ(requests.size(), 3);
    for (const auto& request : requests) {
        EXPECT_EQ(request.header("Content-Type"_ba), "application/json"_ba);
        EXPECT_EQ(request.header("X-Timezone"_ba), QTimeZone::systemTimeZoneId());
        EXPECT_TRUE(request.header("Cookie"_ba).isEmpty());
    }
    EXPECT_EQ(requests.at(0).method, "GET"_ba);
    EXPECT_EQ(requests.at(0).header("Authorization"_ba), "Bearer "_ba + session.accessToken.toUtf8());
    EXPECT_EQ(requests.at(2).method, "POST"_ba);
    EXPECT_EQ(requests.at(2).body, "{}"_ba);
    EXPECT_TRUE(requests.at(2).header("Authorization"_ba).isEmpty());
}

TEST(AccountClientTest, RefusedRefreshSignsOut)
{
    ClientRig rig;
    rig.signIn(1000);
    rig.api.validRefreshToken = u"something else"_s;
    QSignalSpy expired(&rig.client, &AccountClient::sessionExpired);
    const quint64 epoch = rig.client.epoch();

    const AccountReply reply = rig.call();
    ASSERT_TRUE(reply.failure);
    EXPECT_TRUE(reply.failure->isHttp(401));
    EXPECT_EQ(expired.count(), 1);
    EXPECT_FALSE(rig.client.session());
    EXPECT_NE(rig.client.epoch(), epoch);
    EXPECT_TRUE(waitUntil([&] { return rig.store.stored().isEmpty(); }));
    EXPECT_FALSE(rig.defaults.contains(u"kestravinInstallId"_s));
    EXPECT_FALSE(rig.defaults.contains(u"kestravinLinkedUser"_s));
    EXPECT_EQ(rig.api.count(bootstrapPath), 0);
}

TEST(AccountClientTest, ResultsOfAnEarlierSessionAreRefused)
{
    ClientRig rig;
    rig.signIn();
    AccountApiDouble::Fault slow;
    slow.delayMs = 200;
    rig.api.addFault(bootstrapPath, slow);
    std::optional<AccountReply> reply;
    rig.client.request(bootstrapPath, {}, std::nullopt, [&](AccountReply r) { reply = std::move(r); });
    ASSERT_TRUE(waitUntil([&] { return rig.api.count(bootstrapPath) == 1; }));
    rig.client.forgetSession();
    rig.signIn(); // a new sign-in before the old reply arrives
    const AccountReply result = rig.wait(reply);
    ASSERT_TRUE(result.failure);
    EXPECT_TRUE(result.failure->isAccess(DesktopAccessError::sessionChanged));
}

TEST(AccountClientTest, WithoutSessionOrAddressesNothingIsSent)
{
    ClientRig rig;
    const AccountReply noSession = rig.call();
    ASSERT_TRUE(noSession.failure);
    EXPECT_TRUE(noSession.failure->isAccess(DesktopAccessError::configuration));
    EXPECT_EQ(noSession.failure->text, u"Conecte sua conta e inicie o foco nos seus horários para usar a IA."_s);

    AccountClient unconfigured(AccountEnvironment(), rig.store, rig.time, rig.defaults);
    std::optional<AccountReply> reply;
    unconfigured.raw(u"/api/device/begin"_s, {}, "{}"_ba, std::nullopt, [&](AccountReply r) { reply = std::move(r); });
    const AccountReply result = rig.wait(reply);
    ASSERT_TRUE(result.failure);
    EXPECT_TRUE(result.failure->isAccess(DesktopAccessError::configuration));
    EXPECT_TRUE(rig.api.requests().isEmpty());
}

TEST(AccountEnvironmentTest, ConfirmationPagesMustBelongToTheWebApp)
{
    const AccountEnvironment environment(
        QUrl(u"https://api.kestravin.example"_s), QUrl(u"https://web.kestravin.example/app"_s));
    struct Case {
        const char* page;
        bool accepted;
    };
    const Case cases[] = {
        { "https://web.kestravin.example/app/link?code=A", true },
        { "https://WEB.Kestravin.example/app/link", true },
        { "https://web.kestravin.example:443/app/link", true },
        { "https://web.kestravin.example/app", true },
        { "https://web.kestravin.example/appx/link", false },
        { "https://web.kestravin.example/other", false },
        { "https://web.kestravin.example/app/../other", false },
        { "http://web.kestravin.example/app/link", false },
        { "https://web.kestravin.example:8443/app/link", false },
        { "https://web.kestravin.example.evil.com/app/link", false },
        { "https://web.kestravin.example@evil.com/app/link", false },
        { "https://user@web.kestravin.example/app/link", false },
        { "javascript:alert(1)", false },
        { "/app/link", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(environment.acceptsConnection(QUrl(QString::fromUtf8(c.page))), c.accepted) << c.page;

    EXPECT_EQ(environment.keychainAccount(), u"production"_s);
    EXPECT_EQ(AccountEnvironment(QUrl(u"http://127.0.0.1:8080"_s), QUrl(u"http://127.0.0.1:3000"_s)).keychainAccount(),
        u"http://127.0.0.1:8080"_s);
    EXPECT_FALSE(AccountEnvironment().isConfigured());
    EXPECT_EQ(environment.apiUrl(u"/api/bootstrap"_s), QUrl(u"https://api.kestravin.example/api/bootstrap"_s));
}
