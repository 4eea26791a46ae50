#include "app/models/SiteGrantPolicy.h"

#include <gtest/gtest.h>

using namespace kestravin;
using namespace Qt::StringLiterals;

namespace {

const QDateTime now = QDateTime::fromSecsSinceEpoch(1773000000, Qt::UTC);
const double nowMs = 1773000000000.0;

AccountGrant grant(const QString& site, double expiresInMs, std::optional<double> grantedAt = std::nullopt,
    std::optional<QString> focusId = u"focus-1"_s)
{
    return { site, nowMs + expiresInMs, std::move(focusId), grantedAt };
}

QStringList hosts(const QList<SiteAccessGrant>& grants)
{
    QStringList result;
    for (const auto& g : grants)
        result.append(g.site);
    return result;
}

} // namespace

TEST(SiteGrantPolicyTest, RootsAndSites)
{
    const QStringList blocked { u"  WWW.Example.com \n"_s, u"www.www.foo.com"_s, u"example.com"_s, u"localhost"_s,
        u"https://a.com/x"_s, u"my_site.com"_s, u"m.youtube.com"_s, u"notyoutube.com"_s,
        QString(254, u'a') + u".com"_s };
    EXPECT_EQ(
        SiteGrantPolicy::roots(blocked), (QStringList { u"example.com"_s, u"www.foo.com"_s, u"notyoutube.com"_s }));
    EXPECT_EQ(SiteGrantPolicy::site(u"NEWS.EXAMPLE.COM"_s, blocked), u"example.com"_s);
    EXPECT_EQ(SiteGrantPolicy::site(u"badexample.com"_s, blocked), std::nullopt);
    EXPECT_EQ(SiteGrantPolicy::site(u"a.com"_s, {}), std::nullopt);
    EXPECT_EQ(SiteGrantPolicy::grantSites(u"platform:youtube"_s).size(), 3);
    EXPECT_EQ(SiteGrantPolicy::grantSites(u"platform:X"_s), QStringList { u"platform:X"_s });
}

TEST(SiteGrantPolicyTest, HelperSetKeepsCurrentGrantsWithinTheBudget)
{
    const QStringList blocked { u"a.com"_s, u"www.b.com"_s, u"youtube.com"_s };
    // No focus: nothing, whatever the grants.
    const auto none = SiteGrantPolicy::helperSet({ grant(u"a.com"_s, 60000) }, std::nullopt, blocked, now);
    EXPECT_TRUE(none.applied.isEmpty() && none.grants.isEmpty());

    const auto set = SiteGrantPolicy::helperSet(
        {
            grant(u"a.com"_s, 600000, 1.0), grant(u"a.com"_s, 1200000, 2.0),
            grant(u"b.com"_s, 0), // expires exactly now
            grant(u"b.com"_s, 60000, std::nullopt, u"other focus"_s), grant(u"c.com"_s, 60000), // not blocked
            grant(u"platform:youtube"_s, 30000, 3.0), // only youtube.com is blocked
        },
        u"focus-1"_s, blocked, now);
    ASSERT_EQ(set.applied.size(), 2);
    EXPECT_EQ(set.applied.at(0).site, u"platform:youtube"_s);
    EXPECT_EQ(set.applied.at(1).site, u"a.com"_s);
    EXPECT_EQ(set.applied.at(1).expiresAt, nowMs + 1200000);
    EXPECT_EQ(set.applied.at(1).grantedAt, 2.0);
    EXPECT_EQ(hosts(set.grants), (QStringList { u"a.com"_s, u"youtube.com"_s }));
    EXPECT_EQ(set.grants.at(0).expiresAt, Instant::fromUnixSeconds((nowMs + 1200000) / 1000));

    QList<AccountGrant> eleven;
    QStringList many;
    for (int i = 0; i < 11; ++i) {
        const QString host = u"s%1.com"_s.arg(i, 2, 10, QLatin1Char('0'));
        many.append(host);
        eleven.append(grant(host, 60000, double(i)));
    }
    eleven.append(grant(u"s10.com"_s, 90000, 0.5)); // merges into the first grant of its site
    const auto budget = SiteGrantPolicy::helperSet(eleven, u"focus-1"_s, many, now);
    EXPECT_EQ(budget.grants.size(), 10);
    EXPECT_FALSE(hosts(budget.grants).contains(u"s00.com"_s));
    EXPECT_EQ(budget.applied.size(), 10);
}
