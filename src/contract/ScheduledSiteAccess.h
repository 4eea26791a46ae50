#pragma once

#include "Instant.h"

#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// A site is covered by a domain when it equals the domain or ends with "."
// followed by it. Exact and case-sensitive: a parent is never covered by its
// subdomain.
bool siteIsCovered(QStringView site, QStringView domain);

// The sites of `sites`, in order and with repetitions, that no host of
// `domains` covers.
QStringList sitesNotCoveredBy(const QStringList& sites, const QSet<QString>& domains);

// A timed access to one platform ("youtube", "x", "tiktok" or "site:<host>").
struct ScheduledSiteAccess {
    QString platform;
    Instant expiresAt;
    Instant issuedAt;

    ScheduledSiteAccess() = default;
    ScheduledSiteAccess(QString platform, Instant expiresAt, Instant issuedAt);

    // The hosts a platform key stands for; empty for an unknown key or a
    // "site:" key whose host is not two or more lower-case labels.
    static QSet<QString> domains(QStringView platformKey);
    // The hosts that an account grant of a whole platform opens, in a fixed
    // order: "platform:youtube" gives the video site, its image host and its
    // API host, "platform:x" the current and former domains and the media
    // host. Empty for any other text (the comparison is exact).
    static QStringList grantHosts(QStringView grantSite);

    // `sites` without those this access frees while issuedAt <= now < expiresAt.
    QStringList blockedSites(const QStringList& sites, Instant now) const;

    QJsonObject toJson() const;
    static std::optional<ScheduledSiteAccess> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const ScheduledSiteAccess&) const = default;
};

} // namespace kestravin
