#include "contract/HelperScheduleConfig.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

QString labelsOfLength(qsizetype length)
{
    // "aaa…a.b": one long label and a two-character tail.
    return QString(length - 2, u'a') + u".b"_s;
}

} // namespace

TEST(ContractRules, PlatformTables)
{
    struct Case {
        QString key;
        qsizetype hosts;
    };
    const Case cases[] = {
        { u"youtube"_s, 8 },
        { u"x"_s, 4 },
        { u"tiktok"_s, 4 },
        { u"YouTube"_s, 0 },
        { u" youtube"_s, 0 },
        { u"facebook"_s, 0 },
        { u""_s, 0 },
        { u"site:example.com"_s, 1 },
        { u"site:Example.com"_s, 0 },
        { u"site:a_b.com"_s, 0 },
        { u"site:a b.com"_s, 0 },
        { u"site:example.com."_s, 0 },
        { u"site:localhost"_s, 0 },
        { u"site:.example.com"_s, 0 },
        { u"site:a..com"_s, 0 },
        { u"site:"_s, 0 },
        { u"site:"_s + labelsOfLength(253), 1 },
        { u"site:"_s + labelsOfLength(254), 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduledSiteAccess::domains(c.key).size(), c.hosts) << c.key.left(40).toStdString();

    EXPECT_TRUE(ScheduledSiteAccess::domains(u"youtube"_s).contains(u"youtube.com"_s));
    EXPECT_TRUE(ScheduledSiteAccess::domains(u"x"_s).contains(u"twitter.com"_s));
    EXPECT_EQ(ScheduledSiteAccess::domains(u"site:news.example.org"_s), QSet<QString> { u"news.example.org"_s });
    // Every host in the tables is itself acceptable as a "site:" key.
    for (const char16_t* key : { u"youtube", u"x", u"tiktok" }) {
        for (const QString& host : ScheduledSiteAccess::domains(QStringView(key)))
            EXPECT_EQ(ScheduledSiteAccess::domains(QString(u"site:"_s + host)).size(), 1) << host.toStdString();
    }
}

TEST(ContractRules, Coverage)
{
    struct Case {
        const char16_t* site;
        const char16_t* domain;
        bool covered;
    };
    const Case cases[] = {
        { u"youtube.com", u"youtube.com", true },
        { u"www.youtube.com", u"youtube.com", true },
        { u"youtube.com", u"www.youtube.com", false },
        { u"notyoutube.com", u"youtube.com", false },
        { u"YouTube.com", u"youtube.com", false },
        { u"a.b.example.org", u"example.org", true },
        { u".example.org", u"example.org", true },
        { u"example.org", u"", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(siteIsCovered(QStringView(c.site), QStringView(c.domain)), c.covered)
            << QString::fromUtf16(c.site).toStdString() << " / " << QString::fromUtf16(c.domain).toStdString();
}

TEST(ContractRules, TimedAccessInForceOnlyInsideItsWindow)
{
    const Instant now(1000);
    const QStringList sites { u"youtube.com"_s, u"example.org"_s, u"music.youtube.com"_s, u"cdn.youtube.com"_s };
    struct Case {
        const char* name;
        Instant issuedAt;
        Instant expiresAt;
        QStringList expected;
    };
    const Case cases[] = {
        { "issued later", now.addSeconds(1), now.addSeconds(60), sites },
        { "issued exactly now", now, now.addSeconds(60), { u"example.org"_s } },
        { "expires exactly now", now.addSeconds(-60), now, sites },
        { "in force", now.addSeconds(-10), now.addSeconds(60), { u"example.org"_s } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduledSiteAccess(u"youtube"_s, c.expiresAt, c.issuedAt).blockedSites(sites, now), c.expected)
            << c.name;

    const ScheduledSiteAccess unknown(u"myspace"_s, now.addSeconds(60), now.addSeconds(-1));
    EXPECT_EQ(unknown.blockedSites(sites, now), sites);
}

TEST(ContractRules, SiteGrantsFreeTheirDomainAndBelow)
{
    const Instant now(5000);
    HelperScheduleConfig config({}, true, {});
    config.siteAccess = QList<SiteAccessGrant> {
        { u"reddit.com"_s, now.addSeconds(30) },
        { u"news.ycombinator.com"_s, now.addSeconds(30) },
        { u"expired.org"_s, now },
        { u"Bad_Host.com"_s, now.addSeconds(30) },
    };
    const QStringList sites { u"reddit.com"_s, u"old.reddit.com"_s, u"ycombinator.com"_s, u"news.ycombinator.com"_s,
        u"expired.org"_s, u"Bad_Host.com"_s, u"reddit.com"_s };
    EXPECT_EQ(config.withoutSiteAccess(sites, now),
        (QStringList { u"ycombinator.com"_s, u"expired.org"_s, u"Bad_Host.com"_s }));

    config.siteAccess.reset();
    EXPECT_EQ(config.withoutSiteAccess(sites, now), sites);
}

TEST(ContractRules, ShouldBlock)
{
    const Instant now(100);
    struct Case {
        const char* name;
        bool enabled;
        std::optional<Instant> manual;
        std::optional<Instant> paused;
        bool scheduled;
        bool expected;
    };
    const Case cases[] = {
        { "disabled follows schedule", false, now.addSeconds(50), std::nullopt, false, false },
        { "disabled follows schedule on", false, std::nullopt, now.addSeconds(50), true, true },
        { "pause beats manual", true, now.addSeconds(50), now.addSeconds(50), true, false },
        { "manual blocks off-hours", true, now.addSeconds(50), std::nullopt, false, true },
        { "manual ended", true, now, std::nullopt, false, false },
        { "pause ended", true, std::nullopt, now, true, true },
        { "neither", true, std::nullopt, std::nullopt, true, true },
        { "neither off", true, std::nullopt, std::nullopt, false, false },
    };
    for (const Case& c : cases) {
        const BrowserHelperControl control(c.enabled, 1, c.manual, c.paused, {}, now);
        EXPECT_EQ(control.shouldBlock(c.scheduled, now), c.expected) << c.name;
    }
}

TEST(ContractRules, BrowserControlValidity)
{
    const Instant now(10000);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        qint64 generation;
        QStringList platforms;
        Instant coverage;
        std::optional<Instant> manual;
        std::optional<Instant> paused;
        bool valid;
    };
    const Case cases[] = {
        { "plain", 0, { u"youtube"_s, u"x"_s }, now, std::nullopt, std::nullopt, true },
        { "negative generation", -1, {}, now, std::nullopt, std::nullopt, false },
        { "three platforms", 1, { u"youtube"_s, u"x"_s, u"x"_s }, now, std::nullopt, std::nullopt, false },
        { "duplicate", 1, { u"x"_s, u"x"_s }, now, std::nullopt, std::nullopt, false },
        { "tiktok refused", 1, { u"tiktok"_s }, now, std::nullopt, std::nullopt, false },
        { "empty platforms", 1, {}, now, std::nullopt, std::nullopt, true },
        { "coverage 15 s ahead", 1, {}, now.addSeconds(15), std::nullopt, std::nullopt, true },
        { "coverage beyond 15 s", 1, {}, now.addSeconds(15.001), std::nullopt, std::nullopt, false },
        { "coverage infinite", 1, {}, Instant(inf), std::nullopt, std::nullopt, false },
        { "coverage nan", 1, {}, Instant(nan), std::nullopt, std::nullopt, false },
        { "manual 4 h ahead", 1, {}, now, now.addSeconds(14400), std::nullopt, true },
        { "manual beyond 4 h", 1, {}, now, now.addSeconds(14400.5), std::nullopt, false },
        { "manual nan", 1, {}, now, Instant(nan), std::nullopt, false },
        { "pause 24 h ahead", 1, {}, now, std::nullopt, now.addSeconds(86400), true },
        { "pause 25 h ahead", 1, {}, now, std::nullopt, now.addSeconds(90000), false },
        { "pause -inf", 1, {}, now, std::nullopt, Instant(-inf), false },
        { "all in the past", 1, {}, now.addSeconds(-1e6), now.addSeconds(-1e6), now.addSeconds(-1e6), true },
    };
    for (const Case& c : cases) {
        const BrowserHelperControl control(true, c.generation, c.manual, c.paused, c.platforms, c.coverage);
        EXPECT_EQ(control.isValid(now), c.valid) << c.name;
    }
}

TEST(ContractRules, SameScheduleIgnoresAccessFields)
{
    const HelperScheduleConfig base(
        { { u"monday"_s, HelperDaySchedule(true, 9, 0, 17, 0) }, { u"tuesday"_s, HelperDaySchedule(false, {}) } }, true,
        { u"a.com"_s, u"b.com"_s });

    std::vector<std::pair<const char*, HelperScheduleConfig>> same;
    auto variant = base;
    variant.lastBrowserGeneration = 9;
    same.emplace_back("generation", variant);
    variant = base;
    variant.browserControl = BrowserHelperControl(true, 1, std::nullopt, std::nullopt, {}, Instant(1));
    same.emplace_back("browser control", variant);
    variant = base;
    variant.temporaryAccess = ScheduledSiteAccess(u"x"_s, Instant(2), Instant(1));
    same.emplace_back("temporary access", variant);
    variant = base;
    variant.siteAccess = QList<SiteAccessGrant> { { u"a.com"_s, Instant(3) } };
    variant.siteAccessFocusEnd = Instant(4);
    same.emplace_back("site grants", variant);
    for (const auto& [name, other] : same)
        EXPECT_TRUE(base.sameSchedule(other)) << name;

    std::vector<std::pair<const char*, HelperScheduleConfig>> different;
    variant = base;
    variant.blockedSites = { u"b.com"_s, u"a.com"_s };
    different.emplace_back("site order", variant);
    variant = base;
    variant.blockedSites = { u"a.com"_s, u"b.com"_s, u"b.com"_s };
    different.emplace_back("repetition", variant);
    variant = base;
    variant.enabled = false;
    different.emplace_back("switch", variant);
    variant = base;
    variant.daySchedules[u"monday"_s].timeRanges.first().endMinute = 1;
    different.emplace_back("range", variant);
    variant = base;
    variant.daySchedules.remove(u"tuesday"_s);
    different.emplace_back("missing day", variant);
    variant = base;
    variant.daySchedules[u"monday"_s].timeRanges.append({ 1, 0, 2, 0 });
    different.emplace_back("extra range", variant);
    for (const auto& [name, other] : different)
        EXPECT_FALSE(base.sameSchedule(other)) << name;
}

TEST(ContractRules, MinutesSaturateInsteadOfOverflowing)
{
    const qint64 huge = std::numeric_limits<qint64>::max();
    EXPECT_EQ(HelperTimeRange(huge, 0, 0, 0).startMinutes(), huge);
    EXPECT_EQ(HelperTimeRange(-huge, 0, 0, 0).startMinutes(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(HelperTimeRange(0, 0, 1, huge).endMinutes(), huge);
    EXPECT_EQ(HelperTimeRange(9, 30, 24, 0).startMinutes(), 570);
    EXPECT_EQ(HelperTimeRange(9, 30, 24, 0).endMinutes(), 1440);
}
