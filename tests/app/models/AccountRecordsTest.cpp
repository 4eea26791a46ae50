#include "app/models/AccountRecords.h"
#include "app/models/AccessRequests.h"
#include "app/models/AccountJson.h"
#include "app/models/Missions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>

using namespace kestravin;
using namespace Qt::StringLiterals;

namespace {

const char* const bootstrap = R"({
  "user": {"id": "u1", "email": "ana@example.com"},
  "settings": {"onboarded": true, "enabled": true, "timezone": "America/Sao_Paulo", "platforms": ["youtube"],
               "schedule": [{"days": [1, 2], "start": "09:00", "end": "12:00"}], "extra": 1},
  "revision": 7,
  "focus": {"enabled": false},
  "pausedUntil": 0,
  "unknown": {"ignored": true}
})";

QByteArray withChange(const QByteArray& json, const QString& key, const QJsonValue& value)
{
    QJsonObject object = QJsonDocument::fromJson(json).object();
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return QJsonDocument(object).toJson();
}

} // namespace

TEST(AccountRecordsTest, SnapshotDecodesRequiredAndOptionalMembersStrictly)
{
    const QByteArray base(bootstrap);
    const auto plain = AccountJson::decode<DesktopAccountSnapshot>(base);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->revision, 7);
    EXPECT_FALSE(plain->folga);
    EXPECT_FALSE(plain->missions);
    EXPECT_FALSE(plain->grants);
    EXPECT_FALSE(plain->user.name);
    EXPECT_FALSE(plain->user.image);
    EXPECT_FALSE(plain->focus.endsAt || plain->focus.id || plain->focus.source);
    EXPECT_FALSE(plain->settings.sites);
    EXPECT_EQ(plain->settings.schedule.at(0).days, (QList<int> { 1, 2 }));

    struct Case {
        const char* name;
        QString key;
        QJsonValue value;
        bool decodes;
    };
    const QJsonObject folga { { u"available"_s, 1 }, { u"minutes"_s, 15 }, { u"earnedToday"_s, QJsonArray {} },
        { u"focusMinutes"_s, 0 } };
    const Case cases[] = {
        { "no pausedUntil", u"pausedUntil"_s, QJsonValue::Undefined, false },
        { "no revision", u"revision"_s, QJsonValue::Undefined, false },
        { "fractional revision", u"revision"_s, 7.5, false },
        { "revision as text", u"revision"_s, u"7"_s, false },
        { "null folga", u"folga"_s, QJsonValue::Null, true },
        { "folga", u"folga"_s, folga, true },
        { "folga without focusMinutes", u"folga"_s,
            QJsonObject { { u"available"_s, 1 }, { u"minutes"_s, 15 }, { u"earnedToday"_s, QJsonArray {} } }, false },
        { "folga without earnedToday", u"folga"_s,
            QJsonObject { { u"available"_s, 1 }, { u"minutes"_s, 15 }, { u"focusMinutes"_s, 0 } }, false },
        { "missions", u"missions"_s, QJsonArray { QJsonObject { { u"kind"_s, u"yoga"_s }, { u"target"_s, 5 } } },
            true },
        { "mission without target", u"missions"_s, QJsonArray { QJsonObject { { u"kind"_s, u"focus"_s } } }, false },
        { "grants", u"grants"_s, QJsonArray { QJsonObject { { u"site"_s, u"a.com"_s }, { u"expiresAt"_s, 5.5 } } },
            true },
        { "grant without expiry", u"grants"_s, QJsonArray { QJsonObject { { u"site"_s, u"a.com"_s } } }, false },
        { "grants not a list", u"grants"_s, QJsonObject {}, false },
        { "user image not an address", u"user"_s,
            QJsonObject { { u"id"_s, u"u"_s }, { u"email"_s, u"e"_s }, { u"image"_s, u"not a url"_s } }, true },
        { "user without email", u"user"_s, QJsonObject { { u"id"_s, u"u"_s } }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AccountJson::decode<DesktopAccountSnapshot>(withChange(base, c.key, c.value)).has_value(), c.decodes);
    }

    const auto withImage = AccountJson::decode<DesktopAccountSnapshot>(withChange(base, u"user"_s,
        QJsonObject {
            { u"id"_s, u"u"_s }, { u"email"_s, u"e"_s }, { u"image"_s, u"https://cdn.example.com/a.png"_s } }));
    ASSERT_TRUE(withImage);
    EXPECT_EQ(withImage->user.image, QUrl(u"https://cdn.example.com/a.png"_s));
}

TEST(AccountRecordsTest, SmallRepliesDecode)
{
    const auto poll = AccountJson::decode<DevicePoll>(R"({"status": "pending"})"_ba);
    ASSERT_TRUE(poll);
    EXPECT_EQ(poll->status, u"pending"_s);
    EXPECT_FALSE(poll->session);

    const auto refusal = AccountJson::decode<AccountErrorReply>(R"({"error": "Não pode."})"_ba);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->error, u"Não pode."_s);
    EXPECT_FALSE(refusal->code);

    EXPECT_FALSE(AccountJson::decode<DeviceConnection>(
        R"({"code": "A", "secret": "s", "expiresAt": 1, "webURL": "/relative"})"_ba));
    EXPECT_FALSE(AccountJson::decode<DevicePoll>(R"({"status": "connected", "session": {"accessToken": "a"}})"_ba));
    EXPECT_FALSE(AccountJson::decode<SavedSettings>("[]"_ba));
    EXPECT_FALSE(AccountJson::decode<SavedSettings>("not json"_ba));
}

TEST(AccountRecordsTest, SessionRoundTripKeepsExactlyItsThreeKeys)
{
    const DesktopAccountSession session { u"a"_s, u"r"_s, 1767225600123.0 };
    const QByteArray bytes = session.toJsonBytes();
    EXPECT_EQ(QJsonDocument::fromJson(bytes).object().keys(),
        (QStringList { u"accessToken"_s, u"expiresAt"_s, u"refreshToken"_s }));
    const auto back = AccountJson::decode<DesktopAccountSession>(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, session);
    EXPECT_EQ(qint64(back->expiresAt), 1767225600123);
}

TEST(AccountRecordsTest, WritersLeaveAbsentOptionalsOut)
{
    AccountFolga folga;
    folga.available = 2;
    folga.minutes = 15;
    folga.earnedToday = { u"focus"_s };
    EXPECT_EQ(
        folga.toJson().keys(), (QStringList { u"available"_s, u"earnedToday"_s, u"focusMinutes"_s, u"minutes"_s }));
    folga.active = AccountFolga::Active { u"2026-03-09T14:30:00Z"_s };
    EXPECT_EQ(AccountFolga::fromJson(folga.toJson()), folga);

    BrowserSettings settings;
    EXPECT_FALSE(settings.toJson().contains(u"sites"_s));
    EXPECT_FALSE(settings.toJson().contains(u"apps"_s));
    settings.sites = QStringList {};
    settings.apps = QList<AccountApp> { { u"discord"_s, u"Discord"_s } };
    EXPECT_EQ(BrowserSettings::fromJson(settings.toJson()), settings);

    EXPECT_EQ(AccountBodies::settingsUpdate({ settings, 4 }),
        R"({"revision":4,"settings":{"apps":[{"id":"discord","name":"Discord"}],"enabled":false,"onboarded":false,)"
        R"("platforms":[],"schedule":[],"sites":[],"timezone":""}})"_ba);
    EXPECT_EQ(AccountBodies::focusStart(30), R"({"minutes":30})"_ba);
    EXPECT_EQ(AccountBodies::devicePoll(u"s"_s), R"({"secret":"s"})"_ba);
}

// Every reply record writes what it reads back equal, each once with its
// optionals absent (left out, never null) and once with all of them.
template <typename T> void expectRoundTrip(const T& record, const QStringList& keys)
{
    const QJsonObject json = record.toJson();
    EXPECT_EQ(json.keys(), keys);
    const auto back = T::fromJson(json);
    ASSERT_TRUE(back) << QJsonDocument(json).toJson().constData();
    EXPECT_EQ(*back, record);
}

TEST(AccountRecordsTest, ReplyWritersRoundTrip)
{
    SCOPED_TRACE("focus");
    expectRoundTrip(AccountFocus(), { u"enabled"_s });
    expectRoundTrip(AccountFocus(true, 1767225600123.0, u"f1"_s, u"account"_s),
        { u"enabled"_s, u"endsAt"_s, u"id"_s, u"source"_s });

    SCOPED_TRACE("snapshot");
    DesktopAccountSnapshot snapshot;
    snapshot.user = { u"u1"_s, u"ana@example.com"_s, std::nullopt, std::nullopt };
    snapshot.settings.timezone = u"America/Sao_Paulo"_s;
    snapshot.revision = 3;
    expectRoundTrip(snapshot, { u"focus"_s, u"pausedUntil"_s, u"revision"_s, u"settings"_s, u"user"_s });
    snapshot.user.name = u"Ana"_s;
    snapshot.user.image = QUrl(u"https://cdn.example.com/a.png"_s);
    snapshot.folga = AccountFolga { 1, 15, std::nullopt, std::nullopt, std::nullopt, {}, 0 };
    snapshot.missions = QList<AccountMission> { { u"focus"_s, 60 } };
    snapshot.grants = QList<AccountGrant> { { u"a.com"_s, 5.5, u"f1"_s, 1.5 } };
    snapshot.pausedUntil = 1767225600123.0;
    expectRoundTrip(snapshot,
        { u"focus"_s, u"folga"_s, u"grants"_s, u"missions"_s, u"pausedUntil"_s, u"revision"_s, u"settings"_s,
            u"user"_s });
    EXPECT_EQ(snapshot.user.toJson().keys(), (QStringList { u"email"_s, u"id"_s, u"image"_s, u"name"_s }));

    SCOPED_TRACE("device link");
    expectRoundTrip(
        DeviceConnection { u"ABCD-1234"_s, u"s"_s, 1.5, QUrl(u"http://127.0.0.1:1/web/link?code=ABCD-1234"_s) },
        { u"code"_s, u"expiresAt"_s, u"secret"_s, u"webURL"_s });
    expectRoundTrip(DevicePoll { u"pending"_s, std::nullopt }, { u"status"_s });
    expectRoundTrip(
        DevicePoll { u"connected"_s, DesktopAccountSession { u"a"_s, u"r"_s, 2.0 } }, { u"session"_s, u"status"_s });

    SCOPED_TRACE("errors and small replies");
    expectRoundTrip(AccountErrorReply { u"Não pode."_s, std::nullopt }, { u"error"_s });
    expectRoundTrip(AccountErrorReply { u"Revisão antiga."_s, u"stale_revision"_s }, { u"code"_s, u"error"_s });
    EXPECT_EQ(SavedSettings::fromJson(SavedSettings { 9 }.toJson())->revision, 9);
    AccountFolga folga { 0, 15, std::nullopt, AccountFolga::Active { u"2026-03-09T14:30:00Z"_s }, std::nullopt,
        { u"focus"_s }, 25 };
    const FolgaUseReply used { folga, AccountFocus(true, 4.0) };
    const auto usedBack = FolgaUseReply::fromJson(used.toJson());
    ASSERT_TRUE(usedBack);
    EXPECT_EQ(usedBack->folga, folga);
    EXPECT_EQ(usedBack->focus, used.focus);
    EXPECT_EQ(FolgaEarnReply::fromJson(FolgaEarnReply { folga }.toJson())->folga, folga);
    const QList<FolgaEntry> entries { { u"focus"_s, 1712.9, 1800.0, std::nullopt, std::nullopt, u"available"_s },
        { u"yoga"_s, 1.0, 2.0, 1.5, 1.75, u"used"_s } };
    EXPECT_EQ(entries[0].toJson().keys(), (QStringList { u"earnedAt"_s, u"expiresAt"_s, u"mission"_s, u"status"_s }));
    EXPECT_EQ(FolgaHistoryReply::fromJson(FolgaHistoryReply { entries }.toJson())->entries, entries);

    SCOPED_TRACE("decisions");
    expectRoundTrip(
        DesktopAccessReply { u"deny"_s, u"Agora não."_s, std::nullopt, std::nullopt, std::nullopt, std::nullopt },
        { u"decision"_s, u"reason"_s });
    expectRoundTrip(DesktopAccessReply { u"allow"_s, u"Pode ir."_s, u"r1"_s, u"f1"_s, u"discord"_s, 3.5 },
        { u"appId"_s, u"decision"_s, u"expiresAt"_s, u"focusId"_s, u"reason"_s, u"requestId"_s });
    expectRoundTrip(LinkReply { u"clarify"_s, u"Para quê?"_s, std::nullopt }, { u"decision"_s, u"reason"_s });
    expectRoundTrip(LinkReply { u"allow"_s, u"Pode ir."_s, 8.0 }, { u"decision"_s, u"grantExpiresAt"_s, u"reason"_s });
}

TEST(MissionTextTest, DurationsGroupsAndTitles)
{
    const std::pair<qint64, const char16_t*> durations[] = {
        { 0, u"0 min" },
        { 45, u"45 min" },
        { 59, u"59 min" },
        { 60, u"1h" },
        { 61, u"1h01" },
        { 90, u"1h30" },
        { 120, u"2h" },
        { 65, u"1h05" },
    };
    for (const auto& [minutes, text] : durations)
        EXPECT_EQ(MissionText::duration(minutes), QString::fromUtf16(text)) << minutes;

    const std::pair<qint64, const char16_t*> groups[] = {
        { 0, u"0" },
        { 950, u"950" },
        { 8000, u"8.000" },
        { 12500, u"12.500" },
        { -4000, u"4.000" },
        { 1234567, u"1.234.567" },
        { std::numeric_limits<qint64>::min(), u"9.223.372.036.854.775.808" },
    };
    for (const auto& [number, text] : groups)
        EXPECT_EQ(MissionText::grouped(number), QString::fromUtf16(text)) << number;

    EXPECT_EQ(title(MissionKind::steps, 8000), u"Caminhar 8.000 passos"_s);
    EXPECT_EQ(title(MissionKind::focus, 60), u"Focar 1h além dos seus horários"_s);
    EXPECT_EQ(title(MissionKind::app, 45), u"Usar seu app do bem por 45 min"_s);
    EXPECT_EQ(title(MissionKind::workout, 30), u"Treinar 30 min"_s);
    EXPECT_EQ(title(MissionKind::mindful, 10), u"Meditar 10 min"_s);
    EXPECT_FALSE(missionKindFromRaw(u"Focus"_s));

    EXPECT_EQ(
        AppTimeLog::dayKey(QDateTime(QDate(2026, 3, 7), QTime(23, 30), Qt::UTC), QTimeZone("UTC")), u"2026-03-07"_s);
    // The day is the zone's: 02:30 UTC is still the evening before in São Paulo.
    EXPECT_EQ(AppTimeLog::dayKey(QDateTime(QDate(2026, 3, 8), QTime(2, 30), Qt::UTC), QTimeZone("America/Sao_Paulo")),
        u"2026-03-07"_s);
}

TEST(FolgaEntryTest, IdTruncatesAndUnrepresentableInstantsAreRefused)
{
    const auto entry = FolgaEntry::fromJson(QJsonDocument::fromJson(
        R"({"mission": "focus", "earnedAt": 1712.9, "expiresAt": 2000, "status": "available"})"_ba)
                                                .object());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->id(), u"focus-1712"_s);
    EXPECT_FALSE(entry->usedAt);

    for (const char* earnedAt : { "1e19", "-1e19", "9223372036854775808" }) {
        const QByteArray json = R"({"mission": "focus", "earnedAt": )"_ba + earnedAt
            + R"(, "expiresAt": 2000, "status": "available"})"_ba;
        EXPECT_FALSE(AccountJson::decode<FolgaEntry>(json)) << earnedAt;
    }
    const auto negative = AccountJson::decode<FolgaEntry>(
        R"({"mission": "app", "earnedAt": -5.7, "expiresAt": 0, "status": "used"})"_ba);
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->id(), u"app--5"_s);
}

TEST(MissionLineTest, MakeAndClaimable)
{
    const QList<AccountMission> missions {
        { u"focus"_s, 60 },
        { u"yoga"_s, 5 },
        { u"app"_s, 30 },
        { u"steps"_s, 8000 },
    };
    AccountFolga folga;
    folga.minutes = 15;
    folga.earnedToday = { u"app"_s };
    folga.focusMinutes = 75;

    const auto lines = MissionLine::make(missions, folga, 30);
    const QList<MissionLine> expected {
        { MissionKind::focus, 60, 75, false },
        { MissionKind::app, 30, 30, true },
        { MissionKind::steps, 8000, std::nullopt, false },
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines.at(0).status(), u"Feito"_s);
    EXPECT_EQ(lines.at(1).status(), u"Folga ganha"_s);
    EXPECT_EQ(lines.at(2).status(), u"Medido pelo iPhone"_s);
    EXPECT_EQ(MissionLine::claimable(lines, folga), QList<MissionLine> { expected.at(0) });

    const auto withoutFolga = MissionLine::make(missions, std::nullopt, 30);
    EXPECT_EQ(withoutFolga.at(0).value, 0);
    EXPECT_FALSE(withoutFolga.at(1).earned);
    EXPECT_TRUE(MissionLine::claimable(withoutFolga, std::nullopt).isEmpty());
    // The app line reaches its target, so it becomes claimable once a folga exists.
    AccountFolga none;
    EXPECT_EQ(MissionLine::claimable(withoutFolga, none), (QList<MissionLine> { withoutFolga.at(1) }));

    EXPECT_EQ((MissionLine { MissionKind::focus, 60, 20, false }).status(), u"20 min de 1h"_s);
}
