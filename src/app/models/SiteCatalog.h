#pragma once

#include "SiteCatalogEntry.h"

#include <QList>
#include <QMap>
#include <QSet>

namespace kestravin {

// The fixed catalogue of known services and the pure functions around the
// blocked-site list. Host names are the services' real public domains, in
// agreement with the daemon's platform tables.
namespace SiteCatalog {

// The 15 services in display order.
const QList<SiteCatalogEntry>& entries();

// Extra hosts that a service's pages load from, keyed by one of its roots.
const QMap<QString, QStringList>& pageHosts();

// The ids whose picker tile draws a brand logo: every catalogue id.
const QSet<QString>& brandLogos();

// The first entry in catalogue order that `domain` belongs to.
std::optional<SiteCatalogEntry> entry(QStringView domain);

// `sites` without anything the entry matches (any case, with or without
// surrounding spaces, subdomains included), then the entry's domains when
// `blocked` is true: exactly one copy of each, at the end.
QStringList setting(const SiteCatalogEntry& entry, bool blocked, const QStringList& sites);

// The bare lower-case domain in what the user typed (scheme, path, query,
// fragment and a leading "www." removed), or none when what is left is not
// two or more labels of a-z, 0-9 and '-'.
std::optional<QString> normalizedDomain(QStringView text);

// The host names for the hosts-file block: the list as given, followed by
// the extra page hosts of every root (or its "www." form) that it holds,
// roots taken in ascending order and hosts already present not repeated.
QStringList systemHosts(const QStringList& blocked);

} // namespace SiteCatalog

} // namespace kestravin
