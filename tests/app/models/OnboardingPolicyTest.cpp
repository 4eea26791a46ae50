#include "app/models/OnboardingPolicy.h"
#include "app/models/AppBlockPolicy.h"
#include "app/models/BlockedSiteGroup.h"
#include "app/models/SiteCatalog.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using OnboardingPolicy::Preset;

TEST(OnboardingPolicyTest, FirstRunSites)
{
    const QStringList& sites = OnboardingPolicy::firstRunSites();
    ASSERT_EQ(sites.size(), 14);
    EXPECT_EQ(sites.first(), SiteCatalog::entry(u"youtube.com")->domains.first());
    EXPECT_EQ(SiteCatalog::entry(sites.last())->id, u"tiktok"_s);
    EXPECT_EQ(OnboardingPolicy::blockedCount(sites), 4);
}

TEST(OnboardingPolicyTest, BlockedCount)
{
    struct Case {
        QStringList sites;
        int count;
    };
    const Case cases[] = {
        { {}, 0 },
        { { u"example.com"_s, u"www.example.com"_s }, 1 },
        { { u"m.youtube.com"_s, u"instagram.com"_s }, 2 },
        { { u"youtube.com"_s, u"youtu.be"_s, u"example.com"_s, u"Example.org "_s }, 3 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(OnboardingPolicy::blockedCount(c.sites), c.count) << c.sites.join(u',').toStdString();
}

TEST(OnboardingPolicyTest, Presets)
{
    EXPECT_EQ(Preset::fromString(u"workday"), Preset(Preset::workday));
    EXPECT_EQ(Preset::fromString(u"business"), Preset(Preset::business));
    EXPECT_FALSE(Preset::fromString(u"Workday"));
    EXPECT_EQ(Preset(Preset::business).rawValue(), u"business"_s);

    const WeekSchedule::Week workday = Preset(Preset::workday).days();
    ASSERT_EQ(workday.size(), 7);
    EXPECT_TRUE(workday[0].isEmpty() && workday[6].isEmpty());
    EXPECT_EQ(workday[1], (QList<MinuteRange> { { 540, 1080 } }));

    EXPECT_EQ(Preset::matching(workday), Preset(Preset::workday));
    WeekSchedule::Week split = workday;
    split[1] = { { 800, 1080 }, { 540, 800 } };
    EXPECT_EQ(Preset::matching(split), Preset(Preset::workday));

    WeekSchedule::Week business(7);
    for (int day = 1; day <= 5; ++day)
        business[day] = { { 540, 720 }, { 780, 1080 } };
    EXPECT_EQ(Preset::matching(business), Preset(Preset::business));

    WeekSchedule::Week saturday = workday;
    saturday[6] = { { 600, 660 } };
    EXPECT_FALSE(Preset::matching(saturday));
    EXPECT_FALSE(Preset::matching(workday.mid(0, 6)));
    EXPECT_FALSE(Preset::matching({}));
}

TEST(BlockedSiteGroupTest, Make)
{
    const QStringList youtube = SiteCatalog::entry(u"youtube.com")->domains;
    const auto groups = BlockedSiteGroup::make(youtube + QStringList { u"example.org"_s });
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0], (BlockedSiteGroup { u"service:youtube"_s, u"YouTube"_s, u"youtube"_s, youtube }));
    EXPECT_EQ(
        groups[1], (BlockedSiteGroup { u"host:example.org"_s, u"example.org"_s, std::nullopt, { u"example.org"_s } }));

    // Strings stay as typed; grouping looks at their cleaned form.
    const auto mixed
        = BlockedSiteGroup::make({ u" WWW.Example.com"_s, u"x.com"_s, u"example.com"_s, u"mobile.twitter.com"_s });
    ASSERT_EQ(mixed.size(), 2);
    EXPECT_EQ(mixed[0].id, u"host:example.com"_s);
    EXPECT_EQ(mixed[0].domains, (QStringList { u" WWW.Example.com"_s, u"example.com"_s }));
    EXPECT_EQ(mixed[1].title, u"X"_s);
    EXPECT_EQ(mixed[1].domains.size(), 2);
}

TEST(AppBlockPolicyTest, Protection)
{
    struct Case {
        QString id;
        std::optional<QString> own;
        bool isProtected;
    };
    const Case cases[] = {
        { u"com.apple.Finder"_s, std::nullopt, true },
        { u"COM.KESTRAVIN.APP"_s, std::nullopt, true },
        { u"org.gnome.nautilus"_s, std::nullopt, true },
        { u"org.kde.dolphin"_s, std::nullopt, true },
        { u"org.gnome.Settings"_s, std::nullopt, true },
        { u"gnome-system-monitor"_s, std::nullopt, true },
        { u"discord"_s, std::nullopt, false },
        { u"discord"_s, u"Discord"_s, true },
        { u""_s, std::nullopt, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppBlockPolicy::isProtected(c.id, c.own), c.isProtected) << c.id.toStdString();
    EXPECT_EQ(AppBlockPolicy::popularBundleIDs().first(), u"net.whatsapp.WhatsApp"_s);
    EXPECT_TRUE(AppBlockPolicy::popularBundleIDs().contains(u"com.discordapp.Discord"_s));
}

TEST(AppBlockPolicyTest, Setting)
{
    const BlockedApp finder(u"com.apple.Finder"_s, u"Finder"_s);
    const BlockedApp discord(u"discord"_s, u"Discord"_s);
    const QList<BlockedApp> list { BlockedApp(u"com.apple.finder"_s, u"Finder"_s), discord };

    // A protected app is never added, but an old entry of it can be removed.
    EXPECT_EQ(AppBlockPolicy::setting(finder, true, list), (QList<BlockedApp> { discord }));
    EXPECT_EQ(AppBlockPolicy::setting(finder, false, list), (QList<BlockedApp> { discord }));

    const BlockedApp discordAgain(u"Discord"_s, u"Discord (Flatpak)"_s);
    EXPECT_EQ(AppBlockPolicy::setting(discordAgain, true, { discord }), (QList<BlockedApp> { discordAgain }));
    EXPECT_EQ(AppBlockPolicy::setting(discordAgain, false, { discord }), QList<BlockedApp> {});
}
