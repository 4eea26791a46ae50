#include "ScheduledSiteAccess.h"

#include "ContractJson.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kestravin {

bool siteIsCovered(QStringView site, QStringView domain)
{
    if (site == domain)
        return true;
    return site.size() > domain.size() && site.endsWith(domain) && site[site.size() - domain.size() - 1] == u'.';
}

QStringList sitesNotCoveredBy(const QStringList& sites, const QSet<QString>& domains)
{
    if (domains.isEmpty())
        return sites;
    QStringList kept;
    kept.reserve(sites.size());
    for (const QString& site : sites) {
        const bool covered = std::any_of(
            domains.cbegin(), domains.cend(), [&site](const QString& domain) { return siteIsCovered(site, domain); });
        if (!covered)
            kept.append(site);
    }
    return kept;
}

ScheduledSiteAccess::ScheduledSiteAccess(QString platform_, Instant expiresAt_, Instant issuedAt_)
    : platform(std::move(platform_)), expiresAt(expiresAt_), issuedAt(issuedAt_)
{
}

QSet<QString> ScheduledSiteAccess::domains(QStringView platformKey)
{
    if (platformKey == u"youtube") {
        return { u"youtube.com"_s, u"www.youtube.com"_s, u"m.youtube.com"_s, u"music.youtube.com"_s, u"youtu.be"_s,
            u"www.youtu.be"_s, u"googlevideo.com"_s, u"www.googlevideo.com"_s };
    }
    if (platformKey == u"x")
        return { u"x.com"_s, u"www.x.com"_s, u"twitter.com"_s, u"www.twitter.com"_s };
    if (platformKey == u"tiktok")
        return { u"tiktok.com"_s, u"www.tiktok.com"_s, u"ads.tiktok.com"_s, u"business.tiktok.com"_s };

    constexpr QStringView sitePrefix = u"site:";
    if (platformKey.startsWith(sitePrefix)) {
        static const QRegularExpression hostPattern(u"^[a-z0-9-]+(\\.[a-z0-9-]+)+$"_s);
        const QStringView host = platformKey.mid(sitePrefix.size());
        if (host.size() < 254 && hostPattern.match(host.toString()).hasMatch())
            return { host.toString() };
    }
    return {};
}

QStringList ScheduledSiteAccess::grantHosts(QStringView grantSite)
{
    if (grantSite == u"platform:youtube")
        return { u"youtube.com"_s, u"ytimg.com"_s, u"youtubei.googleapis.com"_s };
    if (grantSite == u"platform:x")
        return { u"x.com"_s, u"twitter.com"_s, u"twimg.com"_s };
    return {};
}

QStringList ScheduledSiteAccess::blockedSites(const QStringList& sites, Instant now) const
{
    const bool inForce = issuedAt <= now && now < expiresAt;
    if (!inForce)
        return sites;
    return sitesNotCoveredBy(sites, domains(platform));
}

QJsonObject ScheduledSiteAccess::toJson() const
{
    return QJsonObject {
        { u"platform"_s, platform },
        { u"expiresAt"_s, expiresAt.secondsSinceReference },
        { u"issuedAt"_s, issuedAt.secondsSinceReference },
    };
}

std::optional<ScheduledSiteAccess> ScheduledSiteAccess::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    ScheduledSiteAccess access;
    if (!requireObject(value, u"ScheduledSiteAccess"_s, object, error)
        || !readString(object, u"platform"_s, access.platform, error)
        || !readInstant(object, u"expiresAt"_s, access.expiresAt, error)
        || !readInstant(object, u"issuedAt"_s, access.issuedAt, error))
        return std::nullopt;
    return access;
}

} // namespace kestravin
