#include "app/models/SiteGrantPolicy.h"

#include "contract/ScheduledSiteAccess.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;

namespace kestravin::SiteGrantPolicy {

namespace {

bool isUnder(const QString& host, const QString& domain)
{
    return host == domain || host.endsWith(u'.' + domain);
}

QStringList platformDomains()
{
    QStringList domains;
    for (const QString& platform : { u"youtube"_s, u"x"_s, u"tiktok"_s }) {
        QStringList sorted = ScheduledSiteAccess::domains(platform).values();
        std::sort(sorted.begin(), sorted.end());
        domains.append(sorted);
    }
    return domains;
}

QStringList hostsOf(const QString& grantSite, const QStringList& blocked)
{
    QStringList hosts;
    for (const QString& host : grantSites(grantSite)) {
        if (std::any_of(blocked.cbegin(), blocked.cend(), [&host](const QString& b) { return isUnder(b, host); }))
            hosts.append(host);
    }
    return hosts;
}

} // namespace

QStringList roots(const QStringList& blocked)
{
    static const QRegularExpression rootForm(u"\\A[a-z0-9-]+(\\.[a-z0-9-]+)+\\z"_s);
    const QStringList platforms = platformDomains();
    QStringList result;
    for (const QString& entry : blocked) {
        QString candidate = entry.trimmed().toLower();
        if (candidate.startsWith(u"www."_s))
            candidate.remove(0, 4);
        if (candidate.size() > 253 || !rootForm.match(candidate).hasMatch())
            continue;
        if (std::any_of(platforms.cbegin(), platforms.cend(),
                [&candidate](const QString& domain) { return isUnder(candidate, domain); }))
            continue;
        if (!result.contains(candidate))
            result.append(candidate);
    }
    return result;
}

std::optional<QString> site(const QString& host, const QStringList& blocked)
{
    const QString lower = host.toLower();
    for (const QString& root : roots(blocked)) {
        if (isUnder(lower, root))
            return root;
    }
    return std::nullopt;
}

QStringList grantSites(const QString& grantSite)
{
    const QStringList platformHosts = ScheduledSiteAccess::grantHosts(grantSite);
    return platformHosts.isEmpty() ? QStringList { grantSite } : platformHosts;
}

HelperSet helperSet(const QList<AccountGrant>& grants, const std::optional<QString>& focusId,
    const QStringList& blocked, const QDateTime& now)
{
    HelperSet result;
    if (!focusId)
        return result;
    const double nowMs = double(now.toSecsSinceEpoch()) * 1000.0;

    QMap<QString, AccountGrant> bySite;
    for (const AccountGrant& grant : grants) {
        if (!(nowMs < grant.expiresAt) || grant.focusId != focusId || hostsOf(grant.site, blocked).isEmpty())
            continue;
        auto existing = bySite.find(grant.site);
        if (existing == bySite.end()) {
            bySite.insert(grant.site, grant);
            continue;
        }
        AccountGrant merged = grant;
        merged.expiresAt = std::max(existing->expiresAt, grant.expiresAt);
        if (existing->grantedAt && grant.grantedAt)
            merged.grantedAt = std::max(*existing->grantedAt, *grant.grantedAt);
        else
            merged.grantedAt = existing->grantedAt ? existing->grantedAt : grant.grantedAt;
        *existing = merged;
    }

    QList<AccountGrant> ordered = bySite.values();
    std::sort(ordered.begin(), ordered.end(), [](const AccountGrant& a, const AccountGrant& b) {
        return std::tuple(a.grantedAt.value_or(0), a.expiresAt, a.site)
            > std::tuple(b.grantedAt.value_or(0), b.expiresAt, b.site);
    });

    QMap<QString, double> expiries; // sorted by host
    for (const AccountGrant& grant : ordered) {
        const QStringList hosts = hostsOf(grant.site, blocked);
        QSet<QString> union_(expiries.keyBegin(), expiries.keyEnd());
        for (const QString& host : hosts)
            union_.insert(host);
        if (union_.size() > hostBudget)
            continue;
        result.applied.append(grant);
        for (const QString& host : hosts)
            expiries[host] = std::max(expiries.value(host, 0.0), grant.expiresAt);
    }
    for (auto it = expiries.cbegin(); it != expiries.cend(); ++it)
        result.grants.append(SiteAccessGrant(it.key(), Instant::fromUnixSeconds(it.value() / 1000.0)));
    return result;
}

} // namespace kestravin::SiteGrantPolicy
