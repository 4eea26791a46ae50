// "/api/decide": the rule set on its own, then over loopback with the
// grants it leaves for the next bootstrap.

#include "AccountServerFixture.h"

#include "DecideRules.h"
#include "app/models/AccountJson.h"

#include <QUuid>

using namespace Qt::StringLiterals;

namespace kestravin::testing {
namespace {

constexpr qint64 minute = 60 * 1000;

TEST(DecideRulesTest, RulesInTheirOrder)
{
    struct Case {
        const char* label;
        DecideRules::Input input;
        QString decision;
        std::optional<qint64> expiresAt;
    };
    const qint64 t = 1000 * minute;
    const QList<Case> cases {
        { "long reason, time left", { t, t + 60 * minute, 10, 40, 0, false }, u"allow"_s, t + 10 * minute },
        { "ends with the focus", { t, t + 5 * minute, 10, 40, 0, false }, u"allow"_s, t + 5 * minute },
        { "focus ending", { t, t + DecideRules::closingMarginMs - 1, 10, 40, 0, false }, u"deny"_s, std::nullopt },
        { "short reason asks once", { t, t + 60 * minute, 10, 39, 0, false }, u"clarify"_s, std::nullopt },
        { "short reason after the question", { t, t + 60 * minute, 10, 39, 0, true }, u"allow"_s, t + 10 * minute },
        { "budget exactly used", { t, t + 60 * minute, 10, 40, 20, false }, u"allow"_s, t + 10 * minute },
        { "budget passed", { t, t + 60 * minute, 11, 40, 20, false }, u"deny"_s, std::nullopt },
        { "budget before the question", { t, t + 60 * minute, 5, 10, 30, false }, u"deny"_s, std::nullopt },
    };
    for (const Case& c : cases) {
        const DecideRules::Decision decision = DecideRules::decide(c.input);
        EXPECT_EQ(decision.decision, c.decision) << c.label;
        EXPECT_EQ(decision.expiresAtMs, c.expiresAt) << c.label;
        const int length = AccountRequests::characters(decision.reason);
        EXPECT_TRUE(length >= 3 && length <= 400) << c.label;
    }
}

class DecideTest : public AccountServerFixture {
protected:
    void SetUp() override
    {
        AccountServerFixture::SetUp();
        session = link();
        ASSERT_EQ(authed("POST", u"/api/focus"_s, AccountBodies::focusStart(60)).status, 200);
        focusId = snapshot().focus.id.value_or(QString());
    }

    DesktopAccountSnapshot snapshot() const
    {
        return AccountJson::decode<DesktopAccountSnapshot>(authed("GET", u"/api/bootstrap"_s).body)
            .value_or(DesktopAccountSnapshot {});
    }

    QJsonObject siteRequest(const QString& site, qint64 minutes, const QString& reason) const
    {
        return { { u"mode"_s, u"site"_s }, { u"site"_s, site }, { u"reason"_s, reason }, { u"minutes"_s, minutes },
            { u"appId"_s, site }, { u"appName"_s, site }, { u"focusId"_s, focusId },
            { u"requestId"_s, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() },
            { u"focusEnd"_s, double(start + 60 * minute) } };
    }

    HttpReply decide(const QJsonObject& body) const
    {
        return authed("POST", u"/api/decide"_s, QJsonDocument(body).toJson(QJsonDocument::Compact));
    }

    const QString longReason = u"Preciso conferir a entrega do trabalho de grupo que vence hoje à tarde."_s;
    QString focusId;
};

TEST_F(DecideTest, SiteAllowEchoesTheRequestAndGrantsTheRootForThisFocus)
{
    const QJsonObject body = siteRequest(u"example.com"_s, 10, longReason);
    const HttpReply reply = decide(body);
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    const QJsonObject answer = reply.json();
    EXPECT_EQ(answer.value(u"decision"_s).toString(), u"allow"_s);
    for (const QString& echo : { u"requestId"_s, u"focusId"_s, u"appId"_s })
        EXPECT_EQ(answer.value(echo), body.value(echo)) << echo.toStdString();
    EXPECT_EQ(answer.value(u"expiresAt"_s).toDouble(), double(start + 10 * minute));

    const auto grants = snapshot().grants.value_or(QList<AccountGrant> {});
    ASSERT_EQ(grants.size(), 1);
    EXPECT_EQ(grants[0], (AccountGrant { u"example.com"_s, double(start + 10 * minute), focusId, double(start) }));

    // The grant belongs to this focus: a new focus lists none.
    ASSERT_EQ(authed("POST", u"/api/focus"_s, AccountBodies::focusStart(30)).status, 200);
    EXPECT_EQ(snapshot().grants, QList<AccountGrant> {});
}

TEST_F(DecideTest, LinkAllowGrantsThePlatformAndAppAllowGrantsNothing)
{
    const QJsonObject link { { u"url"_s, u"https://youtu.be/dQw4w9WgXcQ"_s }, { u"reason"_s, longReason },
        { u"minutes"_s, 5 }, { u"focusId"_s, focusId } };
    const QJsonObject answer = decide(link).json();
    EXPECT_EQ(answer.value(u"decision"_s).toString(), u"allow"_s);
    EXPECT_EQ(answer.value(u"grantExpiresAt"_s).toDouble(), double(start + 5 * minute));

    QJsonObject app = siteRequest(u"tiktok"_s, 5, longReason);
    app.insert(u"mode"_s, u"app"_s);
    app.remove(u"site"_s);
    EXPECT_EQ(decide(app).json().value(u"decision"_s).toString(), u"allow"_s);

    const auto grants = snapshot().grants.value_or(QList<AccountGrant> {});
    ASSERT_EQ(grants.size(), 1);
    EXPECT_EQ(grants[0].site, u"platform:youtube"_s);
}

TEST_F(DecideTest, ShortReasonIsQuestionedOnceAndTheBudgetDeniesPastThirtyMinutes)
{
    EXPECT_EQ(decide(siteRequest(u"example.com"_s, 10, u"preciso ver"_s)).json().value(u"decision"_s), u"clarify"_s);
    EXPECT_EQ(decide(siteRequest(u"example.com"_s, 10, u"preciso ver"_s)).json().value(u"decision"_s), u"allow"_s);
    EXPECT_EQ(decide(siteRequest(u"other.org"_s, 20, longReason)).json().value(u"decision"_s), u"allow"_s);
    const QJsonObject denied = decide(siteRequest(u"third.net"_s, 1, longReason)).json();
    EXPECT_EQ(denied.value(u"decision"_s), u"deny"_s);
    EXPECT_FALSE(denied.contains(u"expiresAt"_s));
    EXPECT_EQ(snapshot().grants.value_or(QList<AccountGrant> {}).size(), 2);
}

TEST_F(DecideTest, AllowNeverPassesTheFocusEndTheClientSent)
{
    QJsonObject body = siteRequest(u"example.com"_s, 30, longReason);
    body.insert(u"focusEnd"_s, double(start + 7 * minute));
    EXPECT_EQ(decide(body).json().value(u"expiresAt"_s).toDouble(), double(start + 7 * minute));
}

TEST_F(DecideTest, RefusedRequests)
{
    struct Case {
        const char* label;
        std::function<void(QJsonObject&)> change;
        int status;
    };
    const QList<Case> cases {
        { "another focus", [](QJsonObject& b) { b.insert(u"focusId"_s, u"old-focus"_s); }, 409 },
        { "31 minutes", [](QJsonObject& b) { b.insert(u"minutes"_s, 31); }, 400 },
        { "0 minutes", [](QJsonObject& b) { b.insert(u"minutes"_s, 0); }, 400 },
        { "reason of 7 characters", [](QJsonObject& b) { b.insert(u"reason"_s, u"  curto7  "_s); }, 400 },
        { "unknown mode", [](QJsonObject& b) { b.insert(u"mode"_s, u"all"_s); }, 400 },
        { "site not a root", [](QJsonObject& b) { b.insert(u"site"_s, u"Example.COM"_s); }, 400 },
        { "site missing", [](QJsonObject& b) { b.remove(u"site"_s); }, 400 },
        { "focusEnd as text", [](QJsonObject& b) { b.insert(u"focusEnd"_s, u"soon"_s); }, 400 },
        { "no request id", [](QJsonObject& b) { b.remove(u"requestId"_s); }, 400 },
        { "link that is no video",
            [](QJsonObject& b) {
                b.insert(u"url"_s, u"https://example.com/"_s);
                b.remove(u"mode"_s);
            },
            400 },
    };
    for (const Case& c : cases) {
        QJsonObject body = siteRequest(u"example.com"_s, 10, longReason);
        c.change(body);
        const HttpReply reply = decide(body);
        EXPECT_EQ(reply.status, c.status) << c.label;
        EXPECT_FALSE(reply.error().isEmpty()) << c.label;
    }
    advance(60 * minute); // the focus ended
    EXPECT_EQ(decide(siteRequest(u"example.com"_s, 10, longReason)).status, 409);
    EXPECT_EQ(snapshot().grants, QList<AccountGrant> {});
}

} // namespace
} // namespace kestravin::testing
