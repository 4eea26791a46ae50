#include "app/models/AccessRequests.h"
#include "app/models/AccountJson.h"
#include "app/models/DesktopAccessError.h"
#include "app/models/Digest.h"
#include "app/models/OrlaConversation.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace Qt::StringLiterals;

namespace {

QJsonObject parsed(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

} // namespace

TEST(AccessRequestsTest, RequestBodiesCarryTheirKeysAndTypes)
{
    DesktopAccessRequest request { u"app"_s, std::nullopt, u"Preciso do TikTok Ads"_s, 30, u"tiktok"_s,
        u"TikTok — site inteiro, incluindo login do TikTok Ads"_s, u"focus-1"_s,
        u"6F1C2A5E-0B1D-4C8E-9A57-2D1E3F4A5B6C"_s, 1700000000000.0 };
    const QByteArray bytes = request.toJsonBytes();
    QJsonObject body = parsed(bytes);
    EXPECT_EQ(body.keys(),
        (QStringList { u"appId"_s, u"appName"_s, u"focusEnd"_s, u"focusId"_s, u"minutes"_s, u"mode"_s, u"reason"_s,
            u"requestId"_s }));
    // Integers and numbers as JSON numbers, never strings; no exponent.
    EXPECT_TRUE(bytes.contains(R"("minutes":30)"));
    EXPECT_TRUE(bytes.contains(R"("focusEnd":1700000000000)"));
    EXPECT_EQ(body.value(u"appName"_s).toString(), request.appName);

    request.mode = u"site"_s;
    request.site = u"example.com"_s;
    body = parsed(request.toJsonBytes());
    EXPECT_EQ(body.size(), 9);
    EXPECT_EQ(body.value(u"site"_s).toString(), u"example.com"_s);

    const LinkRequest link { u"https://www.youtube.com/watch?v=abc"_s, u"aula de cálculo"_s, 5, u"f"_s };
    EXPECT_EQ(parsed(link.toJsonBytes()),
        (QJsonObject {
            { u"url"_s, link.url }, { u"reason"_s, link.reason }, { u"minutes"_s, 5 }, { u"focusId"_s, u"f"_s } }));
}

TEST(AccessRequestsTest, RepliesReadStrictly)
{
    using Reply = std::optional<DesktopAccessReply>;
    const Reply bare = AccountJson::decode<DesktopAccessReply>(R"({"decision":"allow","reason":"abcde"})");
    ASSERT_TRUE(bare);
    EXPECT_EQ(*bare, (DesktopAccessReply { u"allow"_s, u"abcde"_s, {}, {}, {}, {} }));

    const Reply full = AccountJson::decode<DesktopAccessReply>(
        R"({"decision":"allow","reason":"ok!","requestId":"R","focusId":"F","appId":"tiktok","expiresAt":1.5,"extra":[1]})");
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, (DesktopAccessReply { u"allow"_s, u"ok!"_s, u"R"_s, u"F"_s, u"tiktok"_s, 1.5 }));

    const Reply nulls
        = AccountJson::decode<DesktopAccessReply>(R"({"decision":"deny","reason":"ok!","expiresAt":null})");
    ASSERT_TRUE(nulls);
    EXPECT_FALSE(nulls->expiresAt);

    // Missing required keys, wrong types, not an object: no reply.
    for (const QByteArray& bytes : { R"({"decision":"allow"})"_ba, R"({"decision":"allow","reason":null})"_ba,
             R"({"decision":1,"reason":"abc"})"_ba, R"({"decision":"allow","reason":"abc","expiresAt":"1"})"_ba,
             R"({"decision":"allow","reason":"abc","requestId":7})"_ba, R"(["allow"])"_ba, "not json"_ba }) {
        EXPECT_FALSE(AccountJson::decode<DesktopAccessReply>(bytes)) << bytes.constData();
    }

    const auto link = AccountJson::decode<LinkReply>(R"({"decision":"allow","reason":"vai","grantExpiresAt":9})");
    ASSERT_TRUE(link);
    EXPECT_EQ(*link, (LinkReply { u"allow"_s, u"vai"_s, 9.0 }));
    EXPECT_FALSE(AccountJson::decode<LinkReply>(R"({"reason":"vai"})"));
    EXPECT_FALSE(AccountJson::decode<LinkReply>(R"({"decision":"allow","reason":"vai","grantExpiresAt":true})"));
}

TEST(AccessRequestsTest, ValidRepliesHaveAKnownDecisionAndAnAnswerOfThreeTo400Characters)
{
    const QString thumbs = u"👍🏽"_s; // one character, four UTF-16 units
    const struct {
        QString decision;
        QString reason;
        bool valid;
    } cases[] = {
        { u"allow"_s, u"abc"_s, true },
        { u"clarify"_s, u"abc"_s, true },
        { u"deny"_s, u"abc"_s, true },
        { u"Allow"_s, u"abc"_s, false },
        { u"approve"_s, u"abc"_s, false },
        { u"allow"_s, u"ab"_s, false },
        { u"allow"_s, thumbs + thumbs, false },
        { u"allow"_s, thumbs + thumbs + thumbs, true },
        { u"allow"_s, u"  "_s + u"a"_s, true }, // counted as received, blanks included
        { u"allow"_s, QString(400, u'a'), true },
        { u"allow"_s, QString(401, u'a'), false },
        { u"allow"_s, QString(399, u'a') + thumbs, true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidReply(c.decision, c.reason), c.valid) << qPrintable(c.decision) << " " << c.reason.size();
}

TEST(AccessRequestsTest, ErrorsKeepTheirCodesAndSentences)
{
    const struct {
        DesktopAccessError error;
        int code;
        QString text;
    } cases[] = {
        { DesktopAccessError::invalidApproval, 0,
            u"A aprovação não corresponde a este pedido. O bloqueio foi mantido."_s },
        { DesktopAccessError::invalidRequest, 3, u"Informe uma justificativa de 8 a 1.500 caracteres."_s },
        { DesktopAccessError::invalidTarget, 7,
            u"A Orla libera um vídeo do YouTube ou um tweet do X, um de cada vez. Abra o vídeo ou o tweet e peça de novo."_s },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(int(c.error), c.code);
        EXPECT_EQ(describe(c.error), c.text);
    }
}

TEST(AccessRequestsTest, HexDigestIsLowerCaseTwoDigitsPerByte)
{
    EXPECT_EQ(hexDigest(QByteArray()), u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"_s);
    EXPECT_EQ(hexDigest("abc"_ba).size(), 64);
}

TEST(AccessRequestsTest, ConversationJoinsRequestQuestionsAndAnswers)
{
    using OrlaConversation::Turn;
    EXPECT_EQ(OrlaConversation::reason(u"  Preciso ver a aula  "_s,
                  { Turn { u"Qual aula?"_s, u"  Cálculo  "_s }, Turn { u"Quanto tempo?"_s, u" 10 min \n"_s } }),
        u"Preciso ver a aula\n\nA Orla perguntou: Qual aula?\nMinha resposta: Cálculo\n\n"
        u"A Orla perguntou: Quanto tempo?\nMinha resposta: 10 min"_s);
    // An empty request keeps its place; questions are not trimmed.
    EXPECT_EQ(OrlaConversation::reason(u"   "_s, { Turn { u" Q "_s, u"A"_s } }),
        u"\n\nA Orla perguntou:  Q \nMinha resposta: A"_s);
    EXPECT_EQ(OrlaConversation::reason(u"\tSó isto\n"_s, {}), u"Só isto"_s);
}
