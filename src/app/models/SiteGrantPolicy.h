#pragma once

#include "app/models/BrowserSettings.h"
#include "contract/SiteAccessGrant.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// How the account's site grants relate to the blocked list, and which of them
// the daemon applies now. Pure: "now" is an argument.
namespace SiteGrantPolicy {

// At most this many distinct hosts are handed to the daemon.
inline constexpr int hostBudget = 10;

// The blocked list's own domains (trimmed, lower-case, without one leading
// "www."), first occurrence first, without the platforms' domains.
QStringList roots(const QStringList& blocked);
// The root of `blocked` that `host` is or lies under.
std::optional<QString> site(const QString& host, const QStringList& blocked);
// The hosts one grant site opens ("platform:youtube", "platform:x" or a domain).
QStringList grantSites(const QString& grantSite);

struct HelperSet {
    // The account grants that are applied, most recently granted first.
    QList<AccountGrant> applied;
    // The daemon's list, by host name.
    QList<SiteAccessGrant> grants;
};
// The grants of the running focus `focusId` that open hosts the daemon blocks
// (`blocked` = the daemon schedule's blocked sites), within the host budget.
HelperSet helperSet(const QList<AccountGrant>& grants, const std::optional<QString>& focusId,
    const QStringList& blocked, const QDateTime& now);

} // namespace SiteGrantPolicy

} // namespace kestravin
