#include "contract/HelperScheduleConfig.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

QJsonObject parseObject(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

TEST(ContractJson, ThreeArgumentConfigurationWritesOnlyItsThreeKeys)
{
    const HelperScheduleConfig config(
        { { u"monday"_s, HelperDaySchedule(true, 9, 0, 17, 0) } }, true, { u"example.com"_s });
    const QJsonObject object = config.toJson();
    EXPECT_EQ(object.keys(), (QStringList { u"blockedSites"_s, u"daySchedules"_s, u"enabled"_s }));
    EXPECT_FALSE(config.toJsonBytes().contains("null"));
}

TEST(ContractJson, ScheduleConfigDecodeTable)
{
    struct Case {
        const char* name;
        const char* json;
        bool decodes;
    };
    const Case cases[] = {
        { "minimal", R"({"daySchedules":{},"enabled":false,"blockedSites":[]})", true },
        { "null optional", R"({"daySchedules":{},"enabled":true,"blockedSites":[],"temporaryAccess":null})", true },
        { "unknown keys", R"({"daySchedules":{"monday":{"enabled":true,"timeRanges":[],"x":1}},"enabled":true,
                            "blockedSites":["a.com"],"futureKey":{"deep":[1,2]}})",
            true },
        { "missing blockedSites", R"({"daySchedules":{},"enabled":true})", false },
        { "null blockedSites", R"({"daySchedules":{},"enabled":true,"blockedSites":null})", false },
        { "missing enabled", R"({"daySchedules":{},"blockedSites":[]})", false },
        { "enabled as string", R"({"daySchedules":{},"enabled":"true","blockedSites":[]})", false },
        { "non-string site", R"({"daySchedules":{},"enabled":true,"blockedSites":[1]})", false },
        { "missing daySchedules", R"({"enabled":true,"blockedSites":[]})", false },
        { "fractional generation", R"({"daySchedules":{},"enabled":true,"blockedSites":[],
                                      "lastBrowserGeneration":1.5})",
            false },
        { "integral generation", R"({"daySchedules":{},"enabled":true,"blockedSites":[],
                                    "lastBrowserGeneration":9007199254740993})",
            true },
        { "bad optional access", R"({"daySchedules":{},"enabled":true,"blockedSites":[],
                                    "temporaryAccess":{"platform":"x"}})",
            false },
        { "smallest integer", R"({"daySchedules":{"monday":{"enabled":true,"startHour":-9223372036854775808,
                                 "startMinute":0,"endHour":9,"endMinute":0}},"enabled":true,"blockedSites":[]})",
            true },
        { "integer below the range", R"({"daySchedules":{"monday":{"enabled":true,"startHour":-9223372036854775809,
                                        "startMinute":0,"endHour":9,"endMinute":0}},"enabled":true,"blockedSites":[]})",
            false },
        { "integer above the range", R"({"daySchedules":{"monday":{"enabled":true,"startHour":9223372036854775808,
                                        "startMinute":0,"endHour":9,"endMinute":0}},"enabled":true,"blockedSites":[]})",
            false },
        { "not an object", R"([1,2,3])", false },
        { "not json", R"({"daySchedules":)", false },
    };
    for (const Case& c : cases) {
        QString error;
        const auto config = HelperScheduleConfig::fromJsonBytes(QByteArray(c.json), &error);
        EXPECT_EQ(config.has_value(), c.decodes) << c.name << ": " << error.toStdString();
        if (!c.decodes) {
            EXPECT_FALSE(error.isEmpty()) << c.name;
        }
    }
}

TEST(ContractJson, LargeIntegersSurviveExactly)
{
    const auto config = HelperScheduleConfig::fromJsonBytes(
        R"({"daySchedules":{},"enabled":true,"blockedSites":[],"lastBrowserGeneration":9007199254740993})");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->lastBrowserGeneration, 9007199254740993LL);
    const auto again = HelperScheduleConfig::fromJsonBytes(config->toJsonBytes());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->lastBrowserGeneration, 9007199254740993LL);
}

TEST(ContractJson, DayScheduleForms)
{
    struct Case {
        const char* name;
        const char* json;
        std::optional<QList<HelperTimeRange>> ranges; // nullopt: decode fails
    };
    const Case cases[] = {
        { "empty list", R"({"enabled":true,"timeRanges":[]})", QList<HelperTimeRange> {} },
        { "single-range form", R"({"enabled":true,"startHour":8,"startMinute":30,"endHour":12,"endMinute":0})",
            QList<HelperTimeRange> { { 8, 30, 12, 0 } } },
        { "list wins over single keys",
            R"({"enabled":true,"timeRanges":[{"startHour":1,"startMinute":2,"endHour":3,"endMinute":4}],
             "startHour":8,"startMinute":30,"endHour":12,"endMinute":0})",
            QList<HelperTimeRange> { { 1, 2, 3, 4 } } },
        { "broken element, no single keys",
            R"({"enabled":true,"timeRanges":[{"startHour":1,"startMinute":2,"endHour":3}]})", std::nullopt },
        { "broken element, single keys",
            R"({"enabled":true,"timeRanges":[{"startHour":1,"startMinute":2,"endHour":3}],
             "startHour":8,"startMinute":30,"endHour":12,"endMinute":0})",
            QList<HelperTimeRange> { { 8, 30, 12, 0 } } },
        { "null list, single keys", R"({"enabled":false,"timeRanges":null,"startHour":0,"startMinute":0,
                                       "endHour":24,"endMinute":0})",
            QList<HelperTimeRange> { { 0, 0, 24, 0 } } },
        { "single key fractional", R"({"enabled":true,"startHour":8.5,"startMinute":0,"endHour":9,"endMinute":0})",
            std::nullopt },
        { "missing enabled", R"({"timeRanges":[]})", std::nullopt },
        { "out of range values kept", R"({"enabled":true,"timeRanges":[{"startHour":-5,"startMinute":99,
                                         "endHour":30,"endMinute":-1}]})",
            QList<HelperTimeRange> { { -5, 99, 30, -1 } } },
    };
    for (const Case& c : cases) {
        const auto day = HelperDaySchedule::fromJson(parseObject(c.json));
        ASSERT_EQ(day.has_value(), c.ranges.has_value()) << c.name;
        if (day) {
            EXPECT_EQ(day->timeRanges, *c.ranges) << c.name;
        }
    }
}

TEST(ContractJson, SingleRangeDayIsWrittenInListForm)
{
    const auto day = HelperDaySchedule::fromJson(
        parseObject(R"({"enabled":true,"startHour":8,"startMinute":30,"endHour":12,"endMinute":0})"));
    ASSERT_TRUE(day);
    const QJsonObject written = day->toJson();
    EXPECT_EQ(written.keys(), (QStringList { u"enabled"_s, u"timeRanges"_s }));
}

TEST(ContractJson, EmptyDayReadsAsNineToFive)
{
    const auto day = HelperDaySchedule::fromJson(parseObject(R"({"enabled":true,"timeRanges":[]})"));
    ASSERT_TRUE(day);
    EXPECT_TRUE(day->enabled);
    EXPECT_EQ(day->startHour(), 9);
    EXPECT_EQ(day->startMinute(), 0);
    EXPECT_EQ(day->endHour(), 17);
    EXPECT_EQ(day->endMinute(), 0);
}

TEST(ContractJson, BrowserControlOptionalAndRequiredInstants)
{
    const auto withoutOptionals = BrowserHelperControl::fromJsonBytes(
        R"({"enabled":true,"generation":3,"platforms":["youtube"],"coverageUntil":10.25})");
    ASSERT_TRUE(withoutOptionals);
    EXPECT_FALSE(withoutOptionals->manualEndsAt);
    EXPECT_FALSE(withoutOptionals->pausedUntil);
    EXPECT_FALSE(withoutOptionals->toJson().contains(u"manualEndsAt"_s));

    EXPECT_FALSE(BrowserHelperControl::fromJsonBytes(R"({"enabled":true,"generation":3,"platforms":[]})"));
    EXPECT_FALSE(BrowserHelperControl::fromJsonBytes(
        R"({"enabled":true,"generation":3,"platforms":[],"coverageUntil":"soon"})"));
}

TEST(ContractJson, InstantsKeepFractionsAndConvertFrom1970)
{
    EXPECT_EQ(Instant(0).unixSeconds(), 978307200.0);
    EXPECT_EQ(Instant::fromUnixSeconds(978307200.0), Instant(0));
    EXPECT_EQ(Instant::fromUnixSeconds(1700000000.5).secondsSinceReference, 1700000000.5 - 978307200.0);

    const double fraction = 123456789.123456;
    HelperScheduleConfig config({}, true, {});
    config.siteAccessFocusEnd = Instant(fraction);
    config.siteAccess = QList<SiteAccessGrant> { { u"a.com"_s, Instant(0.000001) } };
    config.temporaryAccess = ScheduledSiteAccess(u"x"_s, Instant(fraction + 0.5), Instant(-0.25));
    const auto decoded = HelperScheduleConfig::fromJsonBytes(config.toJsonBytes());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->siteAccessFocusEnd, Instant(fraction));
    EXPECT_EQ(decoded->siteAccess, config.siteAccess);
    EXPECT_EQ(decoded->temporaryAccess, config.temporaryAccess);
}

TEST(ContractJson, FullConfigurationRoundTrips)
{
    HelperScheduleConfig config({ { u"monday"_s, HelperDaySchedule(true, { { 9, 0, 12, 0 }, { 13, 0, 18, 0 } }) },
                                    { u"sunday"_s, HelperDaySchedule(false, {}) } },
        true, { u"b.com"_s, u"a.com"_s, u"b.com"_s });
    config.browserControl = BrowserHelperControl(true, 7, Instant(100.5), std::nullopt, { u"x"_s }, Instant(99));
    config.lastBrowserGeneration = 7;
    const auto decoded = HelperScheduleConfig::fromJsonBytes(config.toJsonBytes());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->daySchedules, config.daySchedules);
    EXPECT_EQ(decoded->blockedSites, config.blockedSites);
    ASSERT_TRUE(decoded->browserControl);
    EXPECT_EQ(decoded->browserControl->toJson(), config.browserControl->toJson());
    EXPECT_EQ(decoded->lastBrowserGeneration, 7);
    EXPECT_EQ(decoded->toJsonBytes(), config.toJsonBytes());
}

TEST(ContractJson, SiteGrantListIsATopLevelArray)
{
    const QList<SiteAccessGrant> grants { { u"a.com"_s, Instant(1.5) }, { u"b.org"_s, Instant(2) } };
    const QByteArray bytes = SiteAccessGrant::listToJsonBytes(grants);
    EXPECT_TRUE(bytes.startsWith('['));
    EXPECT_EQ(SiteAccessGrant::listFromJsonBytes(bytes), grants);
    EXPECT_FALSE(SiteAccessGrant::listFromJsonBytes(R"({"site":"a.com","expiresAt":1})"));
    EXPECT_FALSE(SiteAccessGrant::listFromJsonBytes(R"([{"site":"a.com"}])"));
}
