#include "BlockedSiteGroup.h"

#include "SiteCatalog.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace kestravin {

QList<BlockedSiteGroup> BlockedSiteGroup::make(const QStringList& blockedSites)
{
    QList<BlockedSiteGroup> groups;
    // Group positions by id, so long lists group in linear time.
    QHash<QString, qsizetype> byId;
    for (const QString& site : blockedSites) {
        const QString cleaned = site.trimmed().toLower();
        const auto entry = SiteCatalog::entry(cleaned);
        QString host = cleaned;
        if (host.startsWith(u"www."_s))
            host.remove(0, 4);
        const QString key = entry ? u"service:"_s + entry->id : u"host:"_s + host;

        if (const auto it = byId.constFind(key); it != byId.cend()) {
            groups[*it].domains.append(site);
            continue;
        }
        byId.insert(key, groups.size());
        groups.append(BlockedSiteGroup {
            key, entry ? entry->name : host, entry ? std::optional<QString>(entry->id) : std::nullopt, { site } });
    }
    return groups;
}

} // namespace kestravin
