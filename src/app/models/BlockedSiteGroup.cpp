#include "BlockedSiteGroup.h"

#include "SiteCatalog.h"

using namespace Qt::StringLiterals;

namespace kestravin {

QList<BlockedSiteGroup> BlockedSiteGroup::make(const QStringList& blockedSites)
{
    QList<BlockedSiteGroup> groups;
    for (const QString& site : blockedSites) {
        const QString cleaned = site.trimmed().toLower();
        const auto entry = SiteCatalog::entry(cleaned);
        QString host = cleaned;
        if (host.startsWith(u"www."_s))
            host.remove(0, 4);
        const QString key = entry ? u"service:"_s + entry->id : u"host:"_s + host;

        const auto it = std::find_if(
            groups.begin(), groups.end(), [&key](const BlockedSiteGroup& group) { return group.id == key; });
        if (it != groups.end()) {
            it->domains.append(site);
            continue;
        }
        groups.append(BlockedSiteGroup {
            key, entry ? entry->name : host, entry ? std::optional<QString>(entry->id) : std::nullopt, { site } });
    }
    return groups;
}

} // namespace kestravin
