// The account service over loopback: each endpoint's answers, errors and
// state rules, as the application's wire records read them.

#include "AccountServerFixture.h"

#include "app/models/AccountJson.h"
#include "app/models/AccountRecords.h"

#include <QTimeZone>
#include <QtGlobal>

using namespace Qt::StringLiterals;

namespace kestravin::testing {
namespace {

constexpr qint64 minute = 60 * 1000;

class DeviceLinkTest : public AccountServerFixture { };

TEST_F(DeviceLinkTest, BeginGivesACodeThatExpiresInTenMinutesAndAPageUnderTheWebBase)
{
    const DeviceConnection connection = begin();
    EXPECT_TRUE(QRegularExpression(u"^[A-Z2-9]{4}-[A-Z2-9]{4}$"_s).match(connection.code).hasMatch());
    EXPECT_GE(connection.secret.size(), 43);
    EXPECT_EQ(connection.expiresAt, double(start + 10 * minute));
    EXPECT_EQ(connection.webURL.toString(), u"http://127.0.0.1:%1/web/link?code=%2"_s.arg(port).arg(connection.code));

    const HttpReply page = http->send("GET", u"/web/link?code=%1&install=abc-123"_s.arg(connection.code));
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.header("Content-Type").startsWith("text/html"));
    EXPECT_FALSE(page.body.contains("<script"));
    for (const QByteArray& part : { connection.code.toUtf8(), "Seu nome"_ba, ">Confirmar<"_ba, ">Cancelar<"_ba,
             "name=\"install\" value=\"abc-123\""_ba })
        EXPECT_TRUE(page.body.contains(part)) << part.toStdString();
}

TEST_F(DeviceLinkTest, PollIsPendingUntilConfirmedThenConnectedOnce)
{
    const DeviceConnection connection = begin();
    const QByteArray body = AccountBodies::devicePoll(connection.secret);
    EXPECT_EQ(call("POST", "/api/device/poll", body).json(), (QJsonObject { { u"status"_s, u"pending"_s } }));

    const HttpReply done = confirmForm(connection, "confirm", "Ana+Lima");
    EXPECT_EQ(done.status, 200);
    EXPECT_TRUE(done.body.contains("conectado"));

    const auto poll = AccountJson::decode<DevicePoll>(call("POST", "/api/device/poll", body).body);
    ASSERT_TRUE(poll && poll->session);
    EXPECT_EQ(poll->status, u"connected"_s);
    EXPECT_EQ(poll->session->expiresAt, double(start + 60 * minute));
    EXPECT_EQ(call("GET", "/api/bootstrap", {}, poll->session->accessToken).status, 200);
    // The session went out; the secret is spent.
    EXPECT_EQ(call("POST", "/api/device/poll", body).status, 404);
}

TEST_F(DeviceLinkTest, PollRefusalsAndEndings)
{
    EXPECT_EQ(call("POST", "/api/device/poll", AccountBodies::devicePoll(u"no-such-secret"_s)).status, 404);

    const DeviceConnection expiring = begin();
    now += 10 * minute;
    EXPECT_EQ(call("POST", "/api/device/poll", AccountBodies::devicePoll(expiring.secret)).json(),
        (QJsonObject { { u"status"_s, u"expired"_s } }));
    EXPECT_EQ(http->send("GET", u"/web/link?code="_s + expiring.code).status, 404);

    const DeviceConnection cancelled = begin();
    const HttpReply page = confirmForm(cancelled, "cancel", "");
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("cancelada"));
    const HttpReply polled = call("POST", "/api/device/poll", AccountBodies::devicePoll(cancelled.secret));
    EXPECT_EQ(polled.status, 410);
    EXPECT_EQ(polled.error(), u"A conexão foi cancelada no navegador."_s);
}

TEST_F(DeviceLinkTest, ConfirmationRefusesCrossSiteAndForgedPostsAndAsksForTheName)
{
    const DeviceConnection connection = begin();
    struct Case {
        const char* label;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray name;
        int status;
    };
    const QByteArray own = "http://127.0.0.1:" + QByteArray::number(port);
    const QList<Case> refused {
        { "another origin", { { "Origin", "https://evil.example" } }, "Ana", 403 },
        { "opaque origin", { { "Origin", "null" } }, "Ana", 403 },
        { "cross-site fetch", { { "Sec-Fetch-Site", "cross-site" } }, "Ana", 403 },
        { "no name on first use", { { "Origin", own } }, "+++", 400 },
    };
    for (const Case& c : refused) {
        EXPECT_EQ(confirmForm(connection, "confirm", c.name, c.headers).status, c.status) << c.label;
        EXPECT_EQ(
            call("POST", "/api/device/poll", AccountBodies::devicePoll(connection.secret)).json().value(u"status"_s),
            u"pending"_s)
            << c.label;
    }
    const QByteArray forged = "code=" + connection.code.toUtf8() + "&token=guessed&action=confirm&name=Ana";
    EXPECT_EQ(http->send("POST", u"/web/link"_s, forged).status, 403);

    EXPECT_EQ(
        confirmForm(connection, "confirm", "Ana", { { "Origin", own }, { "Sec-Fetch-Site", "same-origin" } }).status,
        200);
    // The account exists now: the next computer's page asks for no name.
    const DeviceConnection second = begin();
    EXPECT_FALSE(http->send("GET", u"/web/link?code="_s + second.code).body.contains("Seu nome"));
}

class SessionTest : public AccountServerFixture {
protected:
    void SetUp() override
    {
        AccountServerFixture::SetUp();
        session = link();
    }
};

TEST_F(SessionTest, BearerIsCheckedOnEveryAccountCall)
{
    struct Case {
        const char* label;
        std::optional<QString> token;
        qint64 at;
        int status;
    };
    const QList<Case> cases {
        { "valid", session.accessToken, start, 200 },
        { "missing", std::nullopt, start, 401 },
        { "wrong", u"not-a-token"_s, start, 401 },
        { "refresh token as bearer", session.refreshToken, start, 401 },
        { "last valid millisecond", session.accessToken, start + 60 * minute - 1, 200 },
        { "expired", session.accessToken, start + 60 * minute, 401 },
    };
    for (const Case& c : cases) {
        now = c.at;
        for (const auto& [method, path] : QList<std::pair<QByteArray, QString>> {
                 { "GET", u"/api/bootstrap"_s }, { "GET", u"/api/folga/history"_s } }) {
            const HttpReply reply = call(method, path, {}, c.token);
            EXPECT_EQ(reply.status, c.status) << c.label << " " << path.toStdString();
            if (c.status != 200) {
                EXPECT_FALSE(reply.error().isEmpty());
            }
        }
    }
}

TEST_F(SessionTest, RefreshRotatesAndAUsedRefreshTokenIsDead)
{
    now += 59 * minute;
    const HttpReply first = call("POST", "/api/auth/refresh", AccountBodies::refresh(session.refreshToken));
    ASSERT_EQ(first.status, 200);
    const auto renewed = AccountJson::decode<DesktopAccountSession>(first.body);
    ASSERT_TRUE(renewed);
    EXPECT_EQ(renewed->expiresAt, double(now + 60 * minute));
    EXPECT_NE(renewed->accessToken, session.accessToken);
    EXPECT_NE(renewed->refreshToken, session.refreshToken);

    EXPECT_EQ(call("POST", "/api/auth/refresh", AccountBodies::refresh(session.refreshToken)).status, 401);
    EXPECT_EQ(call("GET", "/api/bootstrap", {}, session.accessToken).status, 401);
    EXPECT_EQ(call("GET", "/api/bootstrap", {}, renewed->accessToken).status, 200);
    now += 2 * 60 * minute; // the access token ran out; the refresh token still works
    EXPECT_EQ(call("POST", "/api/auth/refresh", AccountBodies::refresh(renewed->refreshToken)).status, 200);
}

TEST_F(SessionTest, LogoutRevokesBothTokensOfThatComputerOnly)
{
    const DesktopAccountSession other = link();
    EXPECT_EQ(call("POST", "/api/auth/logout", "{}", session.accessToken).status, 200);
    EXPECT_EQ(call("GET", "/api/bootstrap", {}, session.accessToken).status, 401);
    EXPECT_EQ(call("POST", "/api/auth/refresh", AccountBodies::refresh(session.refreshToken)).status, 401);
    EXPECT_EQ(call("GET", "/api/bootstrap", {}, other.accessToken).status, 200);

    const HttpReply page = http->send("GET", u"/web"_s);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("Ana Lima"));
    EXPECT_EQ(page.body.count("<li>"), 1) << page.body.toStdString();
}

class AccountStateTest : public SessionTest {
protected:
    DesktopAccountSnapshot snapshot() const
    {
        const HttpReply reply = authed("GET", u"/api/bootstrap"_s);
        QString error;
        const auto decoded = AccountJson::decode<DesktopAccountSnapshot>(reply.body, &error);
        EXPECT_TRUE(decoded) << error.toStdString() << reply.body.toStdString();
        return decoded.value_or(DesktopAccountSnapshot {});
    }

    static BrowserSettings settings(const QString& site)
    {
        BrowserSettings settings;
        settings.onboarded = true;
        settings.enabled = true;
        settings.timezone = u"America/Sao_Paulo"_s;
        settings.schedule = { BrowserScheduleSlot { { 1, 2, 3, 4, 5 }, u"09:00"_s, u"17:00"_s } };
        settings.sites = QStringList { site };
        return settings;
    }

    HttpReply put(const BrowserSettings& value, qint64 revision) const
    {
        return authed("PUT", u"/api/settings"_s, AccountBodies::settingsUpdate({ value, revision }));
    }
};

TEST_F(AccountStateTest, NewAccountBootstrapsNotOnboardedInTheLinkingComputersZone)
{
    const DesktopAccountSnapshot first = snapshot();
    EXPECT_EQ(first.user.name, u"Ana Lima"_s);
    EXPECT_FALSE(first.settings.onboarded);
    EXPECT_EQ(first.settings.timezone, u"America/Sao_Paulo"_s);
    EXPECT_EQ(first.revision, 0);
    EXPECT_FALSE(first.focus.enabled);
    EXPECT_EQ(first.pausedUntil, 0);
    EXPECT_EQ(first.folga->available, 0);
    EXPECT_EQ(first.folga->minutes, AccountStore::folgaMinutes);
    EXPECT_EQ(first.missions, QList<AccountMission> {});
    EXPECT_EQ(first.grants, QList<AccountGrant> {});
}

TEST_F(AccountStateTest, SettingsSaveOnTheCurrentRevisionAndAStaleOneIsRefused)
{
    const HttpReply saved = put(settings(u"example.com"_s), 0);
    ASSERT_EQ(saved.status, 200) << saved.body.toStdString();
    EXPECT_EQ(saved.json(), (QJsonObject { { u"revision"_s, 1 } }));
    EXPECT_EQ(snapshot().settings, settings(u"example.com"_s));

    const HttpReply stale = put(settings(u"other.org"_s), 0);
    EXPECT_EQ(stale.status, 409);
    EXPECT_EQ(stale.json().value(u"code"_s).toString(), u"stale_revision"_s);
    EXPECT_EQ(snapshot().revision, 1);
    EXPECT_EQ(snapshot().settings.sites, QStringList { u"example.com"_s });
}

TEST_F(AccountStateTest, TwoComputersWritingAtOnceGiveOneWinnerAndOneConflict)
{
    const DesktopAccountSession other = link();
    const auto body = [](const QString& site) { return AccountBodies::settingsUpdate({ settings(site), 0 }); };
    // Both requests are on the wire before either is answered.
    QTcpSocket* first = http->start("PUT", u"/api/settings"_s, body(u"first.com"_s),
        { { "Content-Type", "application/json" }, { "Authorization", "Bearer " + session.accessToken.toUtf8() } });
    QTcpSocket* second = http->start("PUT", u"/api/settings"_s, body(u"second.com"_s),
        { { "Content-Type", "application/json" }, { "Authorization", "Bearer " + other.accessToken.toUtf8() } });
    const HttpReply a = RawHttp::finish(first);
    const HttpReply b = RawHttp::finish(second);
    EXPECT_EQ(QList<int>({ a.status, b.status }).count(200), 1);
    EXPECT_EQ(QList<int>({ a.status, b.status }).count(409), 1);
    const QString winner = a.status == 200 ? u"first.com"_s : u"second.com"_s;
    EXPECT_EQ(snapshot().settings.sites, QStringList { winner });
    EXPECT_EQ(snapshot().revision, 1);
}

TEST_F(AccountStateTest, MalformedSettingsChangeNothing)
{
    const QList<QByteArray> bodies {
        "not json",
        R"({"revision":0})",
        R"({"settings":{"onboarded":true},"revision":0})",
        R"({"settings":)" + QJsonDocument(settings(u"a.com"_s).toJson()).toJson(QJsonDocument::Compact)
            + R"(,"revision":"0"})",
        R"({"settings":)" + QJsonDocument(settings(u"a.com"_s).toJson()).toJson(QJsonDocument::Compact)
            + R"(,"revision":0.5})",
        "[]",
    };
    for (const QByteArray& body : bodies) {
        const HttpReply reply = authed("PUT", u"/api/settings"_s, body);
        EXPECT_EQ(reply.status, 400) << body.toStdString();
        EXPECT_FALSE(reply.error().isEmpty());
    }
    EXPECT_EQ(snapshot().revision, 0);
}

TEST_F(AccountStateTest, FocusStartsEndsAndStops)
{
    ASSERT_EQ(authed("POST", u"/api/focus"_s, AccountBodies::focusStart(25)).status, 200);
    const AccountFocus running = snapshot().focus;
    EXPECT_TRUE(running.enabled);
    ASSERT_TRUE(running.id);
    EXPECT_EQ(running.endsAt, double(start + 25 * minute));
    EXPECT_EQ(running.source, u"account"_s);

    now += 25 * minute;
    EXPECT_FALSE(snapshot().focus.enabled);

    ASSERT_EQ(authed("POST", u"/api/focus"_s, AccountBodies::focusStart(50)).status, 200);
    const AccountFocus next = snapshot().focus;
    EXPECT_NE(next.id, running.id);
    now += 10 * minute;
    EXPECT_EQ(authed("DELETE", u"/api/focus"_s).status, 200);
    EXPECT_FALSE(snapshot().focus.enabled);
    // Twenty-five and ten minutes of focus today.
    EXPECT_EQ(snapshot().folga->focusMinutes, 35);

    for (const QByteArray& body : { R"({"minutes":0})"_ba, R"({"minutes":1441})"_ba, R"({"minutes":"5"})"_ba,
             R"({"minutes":2.5})"_ba, R"({})"_ba })
        EXPECT_EQ(authed("POST", u"/api/focus"_s, body).status, 400) << body.toStdString();
}

TEST_F(AccountStateTest, FolgasAreEarnedOncePerGoalAndDayUsedOneAtATimeAndExpireAfterSunday)
{
    const AccountMission focusGoal { u"focus"_s, 60 };
    EXPECT_EQ(authed("POST", u"/api/folga/earn"_s, AccountBodies::folgaEarn(focusGoal)).status, 409);
    ASSERT_EQ(
        authed("PUT", u"/api/missions"_s, AccountBodies::missions({ focusGoal, { u"steps"_s, 8000 } })).status, 200);
    EXPECT_EQ(snapshot().missions, (QList<AccountMission> { focusGoal, { u"steps"_s, 8000 } }));

    const HttpReply earned = authed("POST", u"/api/folga/earn"_s, AccountBodies::folgaEarn(focusGoal));
    ASSERT_EQ(earned.status, 200);
    const auto reply = AccountJson::decode<FolgaEarnReply>(earned.body);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->folga.available, 1);
    EXPECT_EQ(reply->folga.earnedToday, QStringList { u"focus"_s });
    // Earned on a Tuesday in São Paulo: valid until Sunday ends there.
    EXPECT_EQ(reply->folga.expiresAt, u"2026-06-15T03:00:00Z"_s);
    EXPECT_EQ(authed("POST", u"/api/folga/earn"_s, AccountBodies::folgaEarn(focusGoal)).status, 409);

    advance(24 * 60 * minute);
    ASSERT_EQ(authed("POST", u"/api/folga/earn"_s, AccountBodies::folgaEarn(focusGoal)).status, 200);
    EXPECT_EQ(snapshot().folga->available, 2);

    const HttpReply used = authed("POST", u"/api/folga"_s, "{}");
    ASSERT_EQ(used.status, 200);
    const auto use = AccountJson::decode<FolgaUseReply>(used.body);
    ASSERT_TRUE(use && use->folga.active);
    EXPECT_EQ(use->folga.available, 1);
    EXPECT_EQ(snapshot().pausedUntil, double(now + 15 * minute));
    EXPECT_EQ(authed("POST", u"/api/folga"_s, "{}").status, 409);

    now += 16 * minute;
    EXPECT_EQ(authed("POST", u"/api/folga"_s, "{}").status, 200);
    EXPECT_EQ(authed("POST", u"/api/folga"_s, "{}").error(), u"Uma folga já está em uso."_s);
    now += 16 * minute;
    EXPECT_EQ(authed("POST", u"/api/folga"_s, "{}").error(), u"Nenhuma folga disponível."_s);

    const auto history = AccountJson::decode<FolgaHistoryReply>(authed("GET", u"/api/folga/history"_s).body);
    ASSERT_TRUE(history);
    ASSERT_EQ(history->entries.size(), 2);
    EXPECT_EQ(history->entries[0].status, u"used"_s);
    EXPECT_EQ(history->entries[0].earnedAt, double(start + 24 * 60 * minute));
}

TEST_F(AccountStateTest, UnusedFolgasExpire)
{
    ASSERT_EQ(authed("PUT", u"/api/missions"_s, AccountBodies::missions({ { u"mindful"_s, 10 } })).status, 200);
    ASSERT_EQ(authed("POST", u"/api/folga/earn"_s, AccountBodies::folgaEarn({ u"mindful"_s, 10 })).status, 200);
    advance(QDateTime(QDate(2026, 6, 15), QTime(3, 0), QTimeZone::utc()).toMSecsSinceEpoch() - now);
    EXPECT_EQ(snapshot().folga->available, 0);
    const auto history = AccountJson::decode<FolgaHistoryReply>(authed("GET", u"/api/folga/history"_s).body);
    ASSERT_TRUE(history);
    EXPECT_EQ(history->entries.value(0).status, u"expired"_s);
}

class BadInputTest : public SessionTest { };

TEST_F(BadInputTest, EachKindOfBadRequestGetsItsStatusAndAnErrorBody)
{
    const QByteArray tooLarge = R"({"pad":")" + QByteArray(64001 - 10, 'x') + R"("})";
    ASSERT_EQ(tooLarge.size(), 64001);
    const QByteArray largest = R"({"pad":")" + QByteArray(64000 - 10, 'x') + R"("})";
    struct Case {
        const char* label;
        QByteArray method;
        QString path;
        QByteArray body;
        bool withToken;
        int status;
    };
    const QList<Case> cases {
        { "body over the limit", "PUT", u"/api/settings"_s, tooLarge, true, 413 },
        { "body at the limit is read", "PUT", u"/api/settings"_s, largest, true, 400 },
        { "unknown path", "GET", u"/api/nothing"_s, {}, true, 404 },
        { "unknown page", "GET", u"/web/nothing"_s, {}, false, 404 },
        { "wrong method", "GET", u"/api/settings"_s, {}, true, 405 },
        { "malformed json", "POST", u"/api/decide"_s, "{\"reason\":", true, 400 },
        { "mistyped json", "PUT", u"/api/missions"_s, R"({"missions":{"kind":"focus"}})", true, 400 },
        { "begin with a non-object body", "POST", u"/api/device/begin"_s, "[1]", false, 400 },
        { "refresh without a token", "POST", u"/api/auth/refresh"_s, "{}", false, 400 },
    };
    for (const Case& c : cases) {
        const HttpReply reply
            = call(c.method, c.path, c.body, c.withToken ? std::optional(session.accessToken) : std::nullopt);
        EXPECT_EQ(reply.status, c.status) << c.label;
        if (!c.path.startsWith(u"/web"_s)) {
            EXPECT_FALSE(reply.error().isEmpty()) << c.label;
        }
    }
    EXPECT_EQ(call("DELETE", u"/api/settings"_s).header("Allow"), "PUT");
    EXPECT_EQ(call("PUT", u"/api/focus"_s).header("Allow"), "POST, DELETE");
}

TEST_F(BadInputTest, ARequestNamingAnotherHostIsRefused)
{
    const HttpReply rebound = http->send("GET", u"/api/bootstrap"_s, {},
        { { "Host", "attacker.example:80" }, { "Authorization", "Bearer " + session.accessToken.toUtf8() } });
    EXPECT_EQ(rebound.status, 400);
    EXPECT_EQ(http->send("GET", u"/web"_s, {}, { { "Host", "localhost:1" } }).status, 200);
}

TEST_F(BadInputTest, EveryRequestLeavesOneLogLine)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& message) {
              if (QByteArray(context.category) == "com.kestravin.account")
                  lines.append(message);
          });
    call("GET", u"/api/bootstrap?x=secret-code"_s, {}, session.accessToken);
    call("PUT", u"/api/settings"_s, "{", session.accessToken);
    qInstallMessageHandler(previous);
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString(); // the refused body says why, too
    EXPECT_TRUE(
        QRegularExpression(u"^AccountServer: GET /api/bootstrap 200 \\d+\\.\\d\\d ms$"_s).match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[2].startsWith(u"AccountServer: PUT /api/settings 400 "_s)) << lines[2].toStdString();
}

} // namespace
} // namespace kestravin::testing
