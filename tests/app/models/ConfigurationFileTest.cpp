#include "app/models/BlockingStatus.h"
#include "app/models/Configuration.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

const QUuid someId = QUuid::fromString(u"6f1c2d3e-4a5b-4c6d-8e9f-0a1b2c3d4e5f"_s);

std::optional<Configuration> read(const QByteArray& json, QString* error = nullptr)
{
    return Configuration::fromJsonBytes(json, error);
}

// A whole file around one "daySchedules" array.
QByteArray withDays(const QByteArray& days)
{
    return R"({"blockedSites":[],"enabled":true,"schedule":{"daySchedules":)" + days + "}}";
}

} // namespace

TEST(ConfigurationFile, DefaultRoundTripsInItsOwnLayout)
{
    const Configuration& original = Configuration::defaultConfig();
    ASSERT_EQ(original.blockedSites.size(), 20);
    EXPECT_TRUE(original.enabled);
    EXPECT_TRUE(original.blockedApps.isEmpty());

    const QByteArray bytes = original.toJsonBytes();
    const auto back = read(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, original);

    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(object.keys(), (QStringList { u"blockedApps"_s, u"blockedSites"_s, u"enabled"_s, u"schedule"_s }));
    EXPECT_TRUE(object.value(u"blockedApps"_s).isArray());
    // Top-level keys come out sorted in the text itself.
    EXPECT_LT(bytes.indexOf("\"blockedApps\""), bytes.indexOf("\"blockedSites\""));
    EXPECT_LT(bytes.indexOf("\"enabled\""), bytes.indexOf("\"schedule\""));

    const QJsonObject schedule = object.value(u"schedule"_s).toObject();
    EXPECT_EQ(schedule.keys(), QStringList { u"daySchedules"_s });
    const QJsonArray pairs = schedule.value(u"daySchedules"_s).toArray();
    ASSERT_EQ(pairs.size(), 14);
    QStringList days;
    for (qsizetype i = 0; i < pairs.size(); i += 2)
        days.append(pairs.at(i).toString());
    // A fixed order, Sunday first, so equal configurations give equal bytes.
    EXPECT_EQ(days,
        (QStringList {
            u"sunday"_s, u"monday"_s, u"tuesday"_s, u"wednesday"_s, u"thursday"_s, u"friday"_s, u"saturday"_s }));
    const QJsonObject monday = pairs.at(3).toObject();
    EXPECT_EQ(monday.keys(), (QStringList { u"enabled"_s, u"timeRanges"_s }));
    const QJsonObject range = monday.value(u"timeRanges"_s).toArray().first().toObject();
    EXPECT_EQ(range.keys(), (QStringList { u"endHour"_s, u"endMinute"_s, u"id"_s, u"startHour"_s, u"startMinute"_s }));
    const QString id = range.value(u"id"_s).toString();
    EXPECT_EQ(id.size(), 36);
    EXPECT_EQ(id, id.toUpper());
}

TEST(ConfigurationFile, EncodingIsDeterministicWhateverTheInsertionOrder)
{
    Configuration a;
    Configuration b;
    const DaySchedule day(true, { TimeRange(someId, 8, 0, 12, 30) });
    for (const DayOfWeek d : { DayOfWeek::saturday, DayOfWeek::monday, DayOfWeek::sunday })
        a.schedule.daySchedules.insert(d, day);
    for (const DayOfWeek d : { DayOfWeek::sunday, DayOfWeek::saturday, DayOfWeek::monday })
        b.schedule.daySchedules.insert(d, day);
    EXPECT_EQ(a.toJsonBytes(), b.toJsonBytes());
    EXPECT_EQ(a.toJsonBytes(QJsonDocument::Compact), b.toJsonBytes(QJsonDocument::Compact));
}

TEST(ConfigurationFile, ReadsPairsInAnyOrderAndKeepsTheLaterRepeat)
{
    const auto configuration = read(withDays(R"([
        "monday", {"enabled": true, "timeRanges": []},
        "sunday", {"enabled": false, "timeRanges": []},
        "monday", {"enabled": false, "timeRanges": []}])"));
    ASSERT_TRUE(configuration);
    const auto& days = configuration->schedule.daySchedules;
    EXPECT_EQ(days.size(), 2);
    EXPECT_FALSE(days.value(DayOfWeek::monday).enabled);
    EXPECT_TRUE(days.contains(DayOfWeek::sunday));
}

TEST(ConfigurationFile, LegacySingleRangeDayIsReadAndWrittenInTheNewForm)
{
    const auto configuration
        = read(withDays(R"(["monday", {"enabled": true, "startHour": 9, "startMinute": 0, "endHour": 17,
                                         "endMinute": 0}])"));
    ASSERT_TRUE(configuration);
    const DaySchedule monday = configuration->schedule.daySchedules.value(DayOfWeek::monday);
    EXPECT_TRUE(monday.enabled);
    ASSERT_EQ(monday.timeRanges.size(), 1);
    const TimeRange& range = monday.timeRanges.first();
    EXPECT_FALSE(range.id.isNull());
    EXPECT_EQ(std::tuple(range.startHour, range.startMinute, range.endHour, range.endMinute), std::tuple(9, 0, 17, 0));

    const QJsonObject written = configuration->schedule.daySchedules.value(DayOfWeek::monday).toJson();
    EXPECT_EQ(written.keys(), (QStringList { u"enabled"_s, u"timeRanges"_s }));
    // The stored form is read back unchanged, the drawn identifier included.
    const auto again = read(configuration->toJsonBytes());
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *configuration);
}

TEST(ConfigurationFile, BlockedAppsAreOptionalOnReadAndAlwaysWritten)
{
    for (const QByteArray& apps : { QByteArray(), QByteArray(R"(,"blockedApps":null)") }) {
        const auto configuration
            = read(R"({"blockedSites":["a.com"],"enabled":false,"schedule":{"daySchedules":[]})" + apps + "}");
        ASSERT_TRUE(configuration) << apps.constData();
        EXPECT_TRUE(configuration->blockedApps.isEmpty());
        EXPECT_TRUE(configuration->toJsonBytes(QJsonDocument::Compact).contains(R"("blockedApps":[])"));
    }

    const auto withApps = read(R"({"blockedSites":[],"enabled":true,"schedule":{"daySchedules":[]},
        "blockedApps":[{"bundleIdentifier":"discord","name":"Discord"}]})");
    ASSERT_TRUE(withApps);
    EXPECT_EQ(withApps->blockedApps, (QList<BlockedApp> { BlockedApp(u"discord"_s, u"Discord"_s) }));
}

TEST(ConfigurationFile, MidnightEndsAndOddValuesSurviveUnchanged)
{
    Configuration configuration;
    configuration.schedule.daySchedules.insert(DayOfWeek::friday,
        DaySchedule(true,
            { TimeRange(someId, 22, 0, 24, 0), TimeRange(someId, 22, 0, 23, 59), TimeRange(someId, 20, 0, 2, 0),
                TimeRange(someId, -1, 75, 99, -3) }));
    const auto back = read(configuration.toJsonBytes());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, configuration);
}

TEST(ConfigurationFile, UuidTextForms)
{
    const auto lower = uuidFromText(u"6f1c2d3e-4a5b-4c6d-8e9f-0a1b2c3d4e5f");
    ASSERT_TRUE(lower);
    EXPECT_EQ(*lower, someId);
    EXPECT_EQ(uuidText(someId), u"6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F"_s);
    EXPECT_TRUE(uuidFromText(u"00000000-0000-0000-0000-000000000000"));
    for (const char16_t* bad : { u"{6f1c2d3e-4a5b-4c6d-8e9f-0a1b2c3d4e5f}", u"6f1c2d3e4a5b4c6d8e9f0a1b2c3d4e5f",
             u"6f1c2d3e-4a5b-4c6d-8e9f-0a1b2c3d4e5g", u"6f1c2d3e-4a5b-4c6d-8e9f_0a1b2c3d4e5f", u"" })
        EXPECT_FALSE(uuidFromText(QStringView(bad))) << QString::fromUtf16(bad).toStdString();
}

TEST(ConfigurationFile, FailuresFailTheWholeRead)
{
    struct Case {
        const char* name;
        QByteArray json;
    };
    const QByteArray goodDay = R"({"enabled":true,"timeRanges":[]})";
    const Case cases[] = {
        { "not JSON", "{" },
        { "not an object", "[]" },
        { "odd-length day array", withDays(R"(["monday"])") },
        { "ends after a key", withDays(R"(["monday",)" + goodDay + R"(,"tuesday"])") },
        { "unknown day", withDays(R"(["Monday",)" + goodDay + "]") },
        { "day name not a string", withDays("[1," + goodDay + "]") },
        { "day object map instead of array", withDays(R"({"monday":)" + goodDay + "}") },
        { "range without id and no legacy keys",
            withDays(R"(["monday",{"enabled":true,"timeRanges":[{"startHour":9,"startMinute":0,"endHour":17,
                "endMinute":0}]}])") },
        { "id that is no UUID and no legacy keys",
            withDays(R"(["monday",{"enabled":true,"timeRanges":[{"id":"x","startHour":9,"startMinute":0,
                "endHour":17,"endMinute":0}]}])") },
        { "legacy form missing a key",
            withDays(R"(["monday",{"enabled":true,"startHour":9,"startMinute":0,"endHour":17}])") },
        { "day without enabled", withDays(R"(["monday",{"timeRanges":[]}])") },
        { "fractional hour", withDays(R"(["monday",{"enabled":true,"startHour":9.5,"startMinute":0,"endHour":17,
                                                    "endMinute":0}])") },
        { "missing blockedSites", R"({"enabled":true,"schedule":{"daySchedules":[]}})" },
        { "missing schedule", R"({"blockedSites":[],"enabled":true})" },
        { "missing enabled", R"({"blockedSites":[],"schedule":{"daySchedules":[]}})" },
        { "enabled as a number", R"({"blockedSites":[],"enabled":1,"schedule":{"daySchedules":[]}})" },
        { "site that is not a string", R"({"blockedSites":[1],"enabled":true,"schedule":{"daySchedules":[]}})" },
        { "app without name",
            R"({"blockedSites":[],"enabled":true,"schedule":{"daySchedules":[]},
                "blockedApps":[{"bundleIdentifier":"discord"}]})" },
        { "apps not a list", R"({"blockedSites":[],"enabled":true,"schedule":{"daySchedules":[]},"blockedApps":{}})" },
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(read(c.json, &error)) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
}

TEST(ConfigurationFile, ARangeWithoutIdFallsBackToTheLegacyKeys)
{
    const auto configuration = read(withDays(R"(["monday",{"enabled":false,
        "timeRanges":[{"startHour":1,"startMinute":0,"endHour":2,"endMinute":0}],
        "startHour":8,"startMinute":15,"endHour":12,"endMinute":45}])"));
    ASSERT_TRUE(configuration);
    const DaySchedule monday = configuration->schedule.daySchedules.value(DayOfWeek::monday);
    EXPECT_FALSE(monday.enabled);
    ASSERT_EQ(monday.timeRanges.size(), 1);
    EXPECT_EQ(monday.timeRanges.first().startMinutes(), 8 * 60 + 15);
    EXPECT_EQ(monday.timeRanges.first().endMinutes(), 12 * 60 + 45);
}

TEST(ConfigurationFile, Defaults)
{
    const Schedule& schedule = Schedule::defaultSchedule();
    ASSERT_EQ(schedule.daySchedules.size(), 7);
    for (const DayOfWeek day : DayOfWeek::allCases) {
        const bool weekend = day == DayOfWeek::saturday || day == DayOfWeek::sunday;
        EXPECT_EQ(
            schedule.daySchedules.value(day), weekend ? DaySchedule::defaultWeekend() : DaySchedule::defaultWeekday())
            << day.rawValue().toStdString();
    }
    const TimeRange& weekday = DaySchedule::defaultWeekday().timeRanges.first();
    EXPECT_EQ(weekday, TimeRange::defaultFullDay());
    EXPECT_EQ(std::pair(weekday.startMinutes(), weekday.endMinutes()), std::pair(qint64(540), qint64(1140)));
    EXPECT_TRUE(DaySchedule::defaultWeekday().enabled);
    const TimeRange& weekend = DaySchedule::defaultWeekend().timeRanges.first();
    EXPECT_EQ(std::pair(weekend.startMinutes(), weekend.endMinutes()), std::pair(qint64(600), qint64(840)));
    EXPECT_FALSE(DaySchedule::defaultWeekend().enabled);
    const TimeRange& missing = DaySchedule::disabled().timeRanges.first();
    EXPECT_EQ(std::pair(missing.startMinutes(), missing.endMinutes()), std::pair(qint64(540), qint64(1020)));
    EXPECT_FALSE(DaySchedule::disabled().enabled);
}

TEST(DayOfWeekTest, NamesAndNumbers)
{
    EXPECT_EQ(DayOfWeek::from(1), DayOfWeek(DayOfWeek::sunday));
    EXPECT_EQ(DayOfWeek::from(7), DayOfWeek(DayOfWeek::saturday));
    for (const int bad : { 0, 8, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max() })
        EXPECT_FALSE(DayOfWeek::from(bad)) << bad;
    for (const DayOfWeek day : DayOfWeek::allCases)
        EXPECT_EQ(DayOfWeek::fromString(day.rawValue()), day);
    EXPECT_EQ(DayOfWeek(DayOfWeek::wednesday).rawValue(), u"wednesday"_s);
    EXPECT_FALSE(DayOfWeek::fromString(u"Sunday"));
    EXPECT_FALSE(DayOfWeek::fromString(u"sun"));
    const QSet<DayOfWeek> days(DayOfWeek::allCases.cbegin(), DayOfWeek::allCases.cend());
    EXPECT_EQ(days.size(), 7);
}

TEST(BlockingStatusTest, EqualityComparesKindAndPayload)
{
    const QDateTime nine = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    EXPECT_EQ(BlockingStatus::scheduledFor(nine), BlockingStatus::scheduledFor(nine.toOffsetFromUtc(3600)));
    EXPECT_NE(BlockingStatus::scheduledFor(nine), BlockingStatus::scheduledFor(nine.addSecs(60)));
    EXPECT_EQ(BlockingStatus::error(u"a"_s), BlockingStatus::error(u"a"_s));
    EXPECT_NE(BlockingStatus::error(u"a"_s), BlockingStatus::error(u"b"_s));
    EXPECT_NE(BlockingStatus::active(), BlockingStatus::manualOverride());
    EXPECT_EQ(BlockingStatus(), BlockingStatus::inactive());
    EXPECT_EQ(BlockingStatus::error(u"x"_s).kind(), BlockingStatus::Kind::error);
}
