#include "app/models/SiteCatalog.h"
#include "app/models/Configuration.h"
#include "contract/HostName.h"
#include "contract/ScheduledSiteAccess.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

SiteCatalogEntry entryWithId(const QString& id)
{
    for (const SiteCatalogEntry& entry : SiteCatalog::entries()) {
        if (entry.id == id)
            return entry;
    }
    ADD_FAILURE() << "no entry " << id.toStdString();
    return {};
}

QStringList tail(const QStringList& list, qsizetype from)
{
    return list.mid(from);
}

} // namespace

TEST(SiteCatalogTest, TablesAreConsistent)
{
    const QList<SiteCatalogEntry>& entries = SiteCatalog::entries();
    QStringList ids;
    for (const SiteCatalogEntry& entry : entries)
        ids.append(entry.id);
    EXPECT_EQ(ids,
        (QStringList { u"youtube"_s, u"instagram"_s, u"x"_s, u"tiktok"_s, u"reddit"_s, u"facebook"_s, u"linkedin"_s,
            u"netflix"_s, u"twitch"_s, u"prime"_s, u"g1"_s, u"uol"_s, u"mercadolivre"_s, u"amazon"_s, u"shopee"_s }));
    EXPECT_EQ(SiteCatalog::brandLogos(), QSet<QString>(ids.cbegin(), ids.cend()));
    EXPECT_EQ(entryWithId(u"linkedin"_s).monogram, u"in"_s);
    EXPECT_EQ(entryWithId(u"g1"_s).monogram, u"g1"_s);
    EXPECT_EQ(entryWithId(u"youtube"_s).domains.size(), 6);
    EXPECT_EQ(entryWithId(u"x"_s).domains.size(), 4);

    for (const SiteCatalogEntry& entry : entries) {
        // Every domain a service blocks is its own and safe for the hosts file.
        for (const QString& domain : entry.domains) {
            EXPECT_TRUE(entry.matches(domain)) << domain.toStdString();
            EXPECT_EQ(SiteCatalog::entry(domain), entry) << domain.toStdString();
            EXPECT_TRUE(isSafeHostName(domain)) << domain.toStdString();
        }
        // The daemon's platform tables cover what the catalogue blocks.
        const QSet<QString> platform = ScheduledSiteAccess::domains(entry.id);
        if (!platform.isEmpty()) {
            for (const QString& domain : entry.domains)
                EXPECT_TRUE(platform.contains(domain)) << domain.toStdString();
        }
    }

    qsizetype extraHosts = 0;
    for (const QStringList& hosts : SiteCatalog::pageHosts())
        extraHosts += hosts.size();
    EXPECT_EQ(SiteCatalog::pageHosts().size(), 7);
    EXPECT_EQ(extraHosts, 22);
}

TEST(SiteCatalogTest, Matching)
{
    const SiteCatalogEntry youtube = entryWithId(u"youtube"_s);
    struct Case {
        QString domain;
        bool matches;
    };
    const Case cases[] = {
        { u"  WWW.YouTube.com \n"_s, true },
        { u"m.youtube.com"_s, true },
        { u"youtu.be"_s, true },
        { u"rr3---sn-abc.googlevideo.com"_s, true },
        { u"notyoutube.com"_s, false },
        { u"youtube.com.evil.example"_s, false },
        { u"youtube"_s, false },
        { u""_s, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(youtube.matches(c.domain), c.matches) << c.domain.toStdString();

    EXPECT_EQ(SiteCatalog::entry(u"mobile.twitter.com")->id, u"x"_s);
    EXPECT_EQ(SiteCatalog::entry(u"g1.globo.com")->id, u"g1"_s);
    // The portal itself is not the news site.
    EXPECT_FALSE(SiteCatalog::entry(u"globo.com"));
    EXPECT_FALSE(SiteCatalog::entry(u"example.com"));
}

TEST(SiteCatalogTest, SettingAService)
{
    const SiteCatalogEntry youtube = entryWithId(u"youtube"_s);
    const QStringList list { u"example.com"_s, u" WWW.YOUTUBE.COM "_s, u"gaming.youtube.com"_s, u"youtu.be"_s,
        u"reddit.com"_s };
    EXPECT_EQ(SiteCatalog::setting(youtube, false, list), (QStringList { u"example.com"_s, u"reddit.com"_s }));

    const QStringList blocked = SiteCatalog::setting(youtube, true, list);
    EXPECT_EQ(blocked.mid(0, 2), (QStringList { u"example.com"_s, u"reddit.com"_s }));
    EXPECT_EQ(tail(blocked, 2), youtube.domains);
    // Setting it twice changes nothing.
    EXPECT_EQ(SiteCatalog::setting(youtube, true, blocked), blocked);
}

TEST(SiteCatalogTest, NormalizedDomain)
{
    struct Case {
        QString text;
        std::optional<QString> domain;
    };
    const Case cases[] = {
        { u"  HTTPS://www.Example.COM/a?b#c "_s, u"example.com"_s },
        { u"example.com?q=1"_s, u"example.com"_s },
        { u"news.example.co.uk#top"_s, u"news.example.co.uk"_s },
        { u"ftp://a-b.example/x"_s, u"a-b.example"_s },
        { u"www.www.example.com"_s, u"www.example.com"_s },
        { u"localhost"_s, std::nullopt },
        { u"example.com:8080"_s, std::nullopt },
        { u"user@example.com"_s, std::nullopt },
        { u"my_site.example"_s, std::nullopt },
        { u"exämple.com"_s, std::nullopt },
        { u"example..com"_s, std::nullopt },
        { u"example.com."_s, std::nullopt },
        { u"example.com\nevil.com"_s, std::nullopt },
        { u"www."_s, std::nullopt },
        { u""_s, std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(SiteCatalog::normalizedDomain(c.text), c.domain) << c.text.toStdString();
}

TEST(SiteCatalogTest, SystemHosts)
{
    const QStringList xFirst = SiteCatalog::pageHosts().value(u"x.com"_s);
    const QStringList xSecond = SiteCatalog::pageHosts().value(u"twitter.com"_s);
    ASSERT_EQ(xFirst.size(), 7);
    ASSERT_EQ(xSecond.size(), 2);

    const QStringList wwwOnly { u"www.x.com"_s };
    EXPECT_EQ(SiteCatalog::systemHosts(wwwOnly), wwwOnly + xFirst);

    // Roots are visited in ascending order: twitter.com before x.com.
    const QStringList both { u"x.com"_s, u"twitter.com"_s };
    EXPECT_EQ(SiteCatalog::systemHosts(both), both + xSecond + xFirst);

    const QStringList plain { u" Example.com"_s, u"example.com"_s, u"X.COM"_s, u"mobile.x.com"_s };
    EXPECT_EQ(SiteCatalog::systemHosts(plain), plain);

    // A page host already listed is not repeated.
    const QStringList withExtra { u"reddit.com"_s, u"old.reddit.com"_s };
    EXPECT_EQ(SiteCatalog::systemHosts(withExtra),
        (QStringList { u"reddit.com"_s, u"old.reddit.com"_s, u"new.reddit.com"_s, u"gql.reddit.com"_s,
            u"accounts.reddit.com"_s }));
    EXPECT_TRUE(SiteCatalog::systemHosts({}).isEmpty());
}

TEST(HelperScheduleConfigDerivation, CarriesTheWeekAsStored)
{
    Configuration configuration;
    configuration.enabled = false;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        if (day != DayOfWeek::saturday)
            configuration.schedule.daySchedules.insert(day, DaySchedule(true, {}));
    }
    configuration.schedule.daySchedules.insert(DayOfWeek::monday,
        DaySchedule(false, { TimeRange(13, 0, 24, 0), TimeRange(9, 0, 12, 0), TimeRange(20, 0, 8, 0) }));
    configuration.blockedApps = { BlockedApp(u"discord"_s, u"Discord"_s) };

    const HelperScheduleConfig config = configuration.helperScheduleConfig();
    EXPECT_FALSE(config.enabled);
    EXPECT_EQ(config.daySchedules.keys(),
        (QStringList { u"friday"_s, u"monday"_s, u"sunday"_s, u"thursday"_s, u"tuesday"_s, u"wednesday"_s }));
    EXPECT_EQ(config.daySchedules.value(u"monday"_s),
        HelperDaySchedule(
            false, { HelperTimeRange(13, 0, 24, 0), HelperTimeRange(9, 0, 12, 0), HelperTimeRange(20, 0, 8, 0) }));
    EXPECT_EQ(config.daySchedules.value(u"sunday"_s), HelperDaySchedule(true, {}));
    EXPECT_TRUE(config.blockedSites.isEmpty());

    const QJsonObject object = QJsonDocument::fromJson(config.toJsonBytes()).object();
    EXPECT_EQ(object.keys(), (QStringList { u"blockedSites"_s, u"daySchedules"_s, u"enabled"_s }));
}

TEST(HelperScheduleConfigDerivation, SitesAreWidenedAndUnsafeNamesDropped)
{
    Configuration configuration = Configuration::defaultConfig();
    configuration.blockedSites = { u"instagram.com"_s, u"bad host.com"_s, u"evil.com\n1.2.3.4 bank.com"_s,
        u"Example.COM"_s, u""_s, u"-x.com"_s };
    const HelperScheduleConfig config = configuration.helperScheduleConfig();
    EXPECT_EQ(
        config.blockedSites, (QStringList { u"instagram.com"_s, u"Example.COM"_s, u"scontent.cdninstagram.com"_s }));
    EXPECT_TRUE(config.enabled);
    EXPECT_EQ(config.daySchedules.size(), 7);
    EXPECT_FALSE(config.temporaryAccess || config.browserControl || config.lastBrowserGeneration || config.siteAccess
        || config.siteAccessFocusEnd);
}

TEST(HelperScheduleConfigDerivation, IsDeterministic)
{
    // Reading a legacy day draws a new range identifier each time; the
    // daemon's copy must not see a difference.
    const QByteArray legacy = R"({"blockedSites":["x.com"],"enabled":true,"schedule":{"daySchedules":
        ["monday",{"enabled":true,"startHour":9,"startMinute":0,"endHour":17,"endMinute":0}]}})";
    const auto first = Configuration::fromJsonBytes(legacy);
    const auto second = Configuration::fromJsonBytes(legacy);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(first->helperScheduleConfig().sameSchedule(second->helperScheduleConfig()));

    const Configuration& defaults = Configuration::defaultConfig();
    EXPECT_TRUE(defaults.helperScheduleConfig().sameSchedule(defaults.helperScheduleConfig()));
    EXPECT_EQ(defaults.helperScheduleConfig().toJsonBytes(), defaults.helperScheduleConfig().toJsonBytes());
}
