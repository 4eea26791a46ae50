#include "app/models/DesktopAccountPolicy.h"
#include "app/models/WeekSchedule.h"

#include <functional>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace Qt::StringLiterals;

namespace {

BrowserSettings accountSettings()
{
    BrowserSettings settings;
    settings.onboarded = true;
    settings.enabled = true;
    settings.timezone = u"America/Sao_Paulo"_s;
    settings.schedule = { { { 0, 6 }, u"09:00"_s, u"12:00"_s } };
    return settings;
}

Configuration local()
{
    return Configuration(
        { u"kept.example"_s }, Schedule::defaultSchedule(), false, { BlockedApp(u"discord"_s, u"Discord"_s) });
}

} // namespace

TEST(DesktopAccountPolicyTest, RefusesInvalidSettings)
{
    struct Case {
        const char* name;
        std::function<void(BrowserSettings&)> change;
        bool accepted;
    };
    const auto slot = [](const char16_t* start, const char16_t* end) {
        return [start, end](BrowserSettings& s) {
            s.schedule = { { { 1 }, QString::fromUtf16(start), QString::fromUtf16(end) } };
        };
    };
    const Case cases[] = {
        { "as is", [](BrowserSettings&) {}, true },
        { "not onboarded", [](BrowserSettings& s) { s.onboarded = false; }, false },
        { "unknown zone", [](BrowserSettings& s) { s.timezone = u"Mars/Olympus"_s; }, false },
        { "tiktok", [](BrowserSettings& s) { s.platforms = { u"tiktok"_s }; }, false },
        { "YouTube", [](BrowserSettings& s) { s.platforms = { u"YouTube"_s }; }, false },
        { "56 slots", [](BrowserSettings& s) { s.schedule = QList<BrowserScheduleSlot>(56, s.schedule.first()); },
            true },
        { "57 slots", [](BrowserSettings& s) { s.schedule = QList<BrowserScheduleSlot>(57, s.schedule.first()); },
            false },
        { "across midnight", slot(u"22:00", u"06:00"), false },
        { "empty range", slot(u"09:00", u"09:00"), false },
        { "hour 24", slot(u"09:00", u"24:00"), false },
        { "minute 60", slot(u"10:60", u"11:00"), false },
        { "negative", slot(u"-1:00", u"11:00"), false },
        { "single digits", slot(u"9:5", u"10:00"), true },
        { "one part", slot(u"9", u"10:00"), false },
        { "hex", slot(u"0x9:00", u"10:00"), false },
        { "huge", slot(u"99999999999999999999:00", u"10:00"), false },
        // A slot on no day is never converted, so it cannot fail.
        { "bad slot on no day",
            [](BrowserSettings& s) {
                s.schedule = { { {}, u"x"_s, u"y"_s } };
            },
            true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BrowserSettings settings = accountSettings();
        c.change(settings);
        const auto received = DesktopAccountPolicy::configuration(settings, local());
        EXPECT_EQ(received.configuration.has_value(), c.accepted) << received.reason.toStdString();
        if (!c.accepted) {
            EXPECT_EQ(received.error, DesktopAccessError::invalidApproval);
        }
    }
    BrowserScheduleSlot short_ { { 1 }, u"9:5"_s, u"10:00"_s };
    const auto range = DesktopAccountPolicy::slotRange(short_);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->startMinutes(), 9 * 60 + 5);
}

TEST(DesktopAccountPolicyTest, BuildsTheLocalConfiguration)
{
    BrowserSettings settings = accountSettings();
    const auto received = DesktopAccountPolicy::configuration(settings, local());
    ASSERT_TRUE(received.configuration);
    const Configuration& result = *received.configuration;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        const DaySchedule& schedule = result.schedule.daySchedule(day);
        if (day == DayOfWeek::sunday || day == DayOfWeek::saturday) {
            EXPECT_TRUE(schedule.enabled);
            ASSERT_EQ(schedule.timeRanges.size(), 1);
            EXPECT_EQ(schedule.timeRanges.first().startMinutes(), 540);
            EXPECT_EQ(schedule.timeRanges.first().endMinutes(), 720);
        } else {
            EXPECT_EQ(schedule, DaySchedule::disabled());
        }
    }
    EXPECT_TRUE(result.enabled);
    // Absent sites and apps keep the local lists.
    EXPECT_EQ(result.blockedSites, QStringList { u"kept.example"_s });
    EXPECT_EQ(result.blockedApps, local().blockedApps);

    settings.platforms = { u"x"_s };
    settings.sites = QStringList { u"Example.com"_s, u"example.com"_s, u"m.youtube.com"_s, u"twitter.com"_s };
    settings.apps = QList<AccountApp> {};
    const auto withPlatform = DesktopAccountPolicy::configuration(settings, local());
    ASSERT_TRUE(withPlatform.configuration);
    EXPECT_EQ(withPlatform.configuration->blockedSites,
        (QStringList {
            u"Example.com"_s, u"example.com"_s, u"twitter.com"_s, u"www.twitter.com"_s, u"www.x.com"_s, u"x.com"_s }));
    EXPECT_TRUE(withPlatform.configuration->blockedApps.isEmpty());

    settings.sites = QStringList {};
    settings.platforms = {};
    EXPECT_TRUE(DesktopAccountPolicy::configuration(settings, local()).configuration->blockedSites.isEmpty());
}

TEST(DesktopAccountPolicyTest, BuildsTheUpload)
{
    Configuration configuration = local();
    configuration.blockedSites = { u"Example.COM"_s, u"localhost"_s, u"my_site.com"_s, u"a.b"_s, u"example.com"_s,
        u"evil.com\n"_s, u"www.youtube.com"_s };
    configuration.enabled = true;
    BrowserSettings account = accountSettings();
    account.onboarded = false;

    const BrowserSettings upload = DesktopAccountPolicy::settings(configuration, account, false, u"Europe/Lisbon"_s);
    EXPECT_EQ(upload.sites, (QStringList { u"a.b"_s, u"example.com"_s, u"www.youtube.com"_s }));
    EXPECT_EQ(upload.platforms, QStringList { u"youtube"_s });
    EXPECT_EQ(upload.timezone, u"Europe/Lisbon"_s);
    EXPECT_FALSE(upload.onboarded);
    EXPECT_TRUE(upload.enabled);
    EXPECT_EQ(upload.apps, (QList<AccountApp> { { u"discord"_s, u"Discord"_s } }));
    EXPECT_TRUE(DesktopAccountPolicy::settings(configuration, account, true, u"UTC"_s).onboarded);

    // The default week: Monday to Friday 09:00-19:00 in one slot.
    ASSERT_EQ(upload.schedule.size(), 1);
    EXPECT_EQ(upload.schedule.first().days, (QList<int> { 1, 2, 3, 4, 5 }));
    EXPECT_EQ(upload.schedule.first().start, u"09:00"_s);
    EXPECT_EQ(upload.schedule.first().end, u"19:00"_s);

    // What is uploaded comes back as the same week.
    auto back = DesktopAccountPolicy::configuration(
        DesktopAccountPolicy::settings(configuration, account, true, u"UTC"_s), configuration);
    ASSERT_TRUE(back.configuration);
    EXPECT_EQ(WeekSchedule::days(back.configuration->schedule), WeekSchedule::days(configuration.schedule));
}
