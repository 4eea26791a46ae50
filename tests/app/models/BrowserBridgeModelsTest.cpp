#include "app/models/BrowserBridgeModels.h"

#include <gtest/gtest.h>

#include <QJsonArray>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

template <typename Decode> bool decodes(const char* json, Decode decode)
{
    return BrowserExchange::decode(QByteArray(json), decode).has_value();
}

} // namespace

TEST(BrowserExchangeTest, ReceiptClientIdComesFromTheNameAlone)
{
    const QList<std::pair<QString, std::optional<QString>>> cases = {
        { u"receipt-abc.json"_s, u"abc"_s },
        { u"receipt-abc.old.json"_s, u"abc.old"_s },
        { u"receipt-abc"_s, u"abc"_s },
        { u"receipt-abc.tmp"_s, u"abc"_s },
        { u"receipt-.json"_s, u""_s },
        { u"Receipt-x.json"_s, std::nullopt },
        { u"command-x.json"_s, std::nullopt },
    };
    for (const auto& [name, client] : cases) {
        EXPECT_EQ(BrowserExchange::receiptClientId(name), client) << name.toStdString();
    }
}

TEST(BrowserExchangeTest, DecodersAreStrictAboutRequiredMembersAndTypes)
{
    // Integral numbers pass as real numbers, not the other way round.
    EXPECT_TRUE(decodes(R"({"revision":"r","focusId":"f","receivedAt":5})", BrowserReceipt::fromJson));
    EXPECT_FALSE(decodes(R"({"revision":"r","focusId":"f","receivedAt":"5"})", BrowserReceipt::fromJson));
    EXPECT_FALSE(decodes(R"({"revision":"r","focusId":null,"receivedAt":5})", BrowserReceipt::fromJson));
    EXPECT_TRUE(decodes(R"({"id":"c","action":"start","revision":"r","minutes":25})", BrowserCommand::fromJson));
    EXPECT_FALSE(decodes(R"({"id":"c","action":"start","revision":"r","minutes":2.5})", BrowserCommand::fromJson));
    EXPECT_FALSE(decodes(R"([{"id":"c","action":"sync","revision":"r"}])", BrowserCommand::fromJson));
    EXPECT_FALSE(decodes(R"({"id":"c","action":"sync","revision":"r")", BrowserCommand::fromJson));
    // Names are case-sensitive; unknown members are skipped; null optionals are absent.
    EXPECT_FALSE(decodes(R"({"id":"a","focusID":"f"})", BrowserURLResult::fromJson));
    const auto result = BrowserExchange::decode(
        QByteArray(R"({"id":"a","focusId":"f","decision":null,"extra":[1],"expiresAt":12.5})"),
        BrowserURLResult::fromJson);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->decision, std::nullopt);
    EXPECT_EQ(result->error, std::nullopt);
    EXPECT_EQ(result->expiresAt, 12.5);
    EXPECT_FALSE(decodes(
        R"({"enabled":true,"id":"f","endsAt":1,"platforms":["x",1],"source":"desktop"})", BrowserFocus::fromJson));
    EXPECT_FALSE(decodes(R"({"onboarded":true,"enabled":true,"timezone":"UTC","platforms":[],
        "schedule":[{"days":[1.5],"start":"09:00","end":"10:00"}]})",
        BrowserSettings::fromJson));
}

TEST(BrowserExchangeTest, RecordsRoundTripAndLeaveAbsentMembersOut)
{
    BrowserSettings settings { true, true, u"America/Sao_Paulo"_s, { u"youtube"_s },
        { BrowserScheduleSlot { { 1 }, u"09:00"_s, u"24:00"_s } }, QStringList { u"a.com"_s },
        QList<AccountApp> { { u"org.app"_s, u"App"_s } } };
    EXPECT_EQ(BrowserSettings::fromJson(settings.toJson()), settings);
    settings.apps.reset();
    EXPECT_FALSE(settings.toJson().contains(u"apps"_s));

    const AccountGrant grant { u"a.com"_s, 1700000000000.5, u"f1"_s, std::nullopt };
    EXPECT_EQ(AccountGrant::fromJson(grant.toJson()), grant);
    EXPECT_FALSE(grant.toJson().contains(u"grantedAt"_s));

    const BrowserURLRequest request { u"a"_s, u"ID"_s, u"f"_s, u"https://x.com/a/status/1"_s, u"reason"_s, 5, 12.5 };
    EXPECT_EQ(BrowserURLRequest::fromJson(request.toJson()), request);

    BrowserSnapshot snapshot;
    const QJsonObject json = snapshot.toJson();
    EXPECT_FALSE(json.contains(u"request"_s));
    EXPECT_FALSE(json.contains(u"pausedUntil"_s));
    EXPECT_EQ(json.value(u"grants"_s), QJsonArray());
    EXPECT_FALSE(BrowserExchange::compact(json).contains("null"));
}

TEST(BrowserExchangeTest, SessionKeepsSecondsSince2001)
{
    // 2001-01-02T00:00:00Z is one day after the origin.
    const BrowserBridgeSession session { BrowserManualFocus { u"M"_s, Instant(86400) }, std::nullopt, 42 };
    const QByteArray bytes = BrowserExchange::compact(session.toJson());
    EXPECT_TRUE(bytes.contains(R"("endsAt":86400)")) << bytes.constData();
    EXPECT_FALSE(bytes.contains("pausedUntil"));
    EXPECT_FALSE(bytes.contains("null"));
    EXPECT_EQ(BrowserExchange::decode(bytes, BrowserBridgeSession::fromJson), session);

    const auto withoutManual
        = BrowserExchange::decode(QByteArray(R"({"manual":null,"generation":7})"), BrowserBridgeSession::fromJson);
    ASSERT_TRUE(withoutManual.has_value());
    EXPECT_EQ(withoutManual->manual, std::nullopt);
    EXPECT_FALSE(BrowserExchange::compact(withoutManual->toJson()).contains("manual"));
    EXPECT_FALSE(decodes(R"({"pausedUntil":5})", BrowserBridgeSession::fromJson));
    EXPECT_EQ(BrowserBridgeSession::fresh(1700000000123.9).generation, 1700000000123);
}

TEST(BrowserExchangeTest, IdentifiersAreUpperCaseUuids)
{
    const QString id = BrowserExchange::newIdentifier();
    EXPECT_EQ(id.size(), 36);
    EXPECT_EQ(id, id.toUpper());
    EXPECT_EQ(id.count(u'-'), 4);
    EXPECT_NE(id, BrowserExchange::newIdentifier());
    EXPECT_EQ(BrowserExchange::resultFileName(u"AB"_s), u"result-AB.json"_s);
}
