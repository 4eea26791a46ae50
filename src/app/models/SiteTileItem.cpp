#include "app/models/SiteTileItem.h"

#include "app/models/SiteCatalog.h"

using namespace Qt::StringLiterals;

namespace kestravin {

SiteTileItem SiteTileItem::fromEntry(const SiteCatalogEntry& entry, bool blocked)
{
    const QString root = entry.roots.value(0);
    return SiteTileItem { entry.id, entry.name, root, root, entry, entry.domains, blocked, false };
}

SiteTileItem SiteTileItem::newSite(const QString& domain)
{
    return SiteTileItem { u"new:"_s + domain, domain, u"Novo site"_s, domain, std::nullopt,
        { domain, u"www."_s + domain }, false, true };
}

QString SiteTileItem::monogram() const
{
    if (!entry) {
        return name.left(1).toUpper();
    }
    if (entry->monogram) {
        return *entry->monogram;
    }
    return entry->name.left(1).toUpper();
}

std::optional<QString> SiteTileItem::brandPlatform() const
{
    if (!entry || !SiteCatalog::brandLogos().contains(entry->id)) {
        return std::nullopt;
    }
    return entry->id == u"prime"_s ? u"primevideo"_s : entry->id;
}

} // namespace kestravin
