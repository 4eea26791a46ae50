#include "SiteCatalogEntry.h"

#include "contract/ScheduledSiteAccess.h"

namespace kestravin {

bool SiteCatalogEntry::matches(QStringView domain) const
{
    const QString host = domain.trimmed().toString().toLower();
    return std::any_of(
        roots.cbegin(), roots.cend(), [&host](const QString& root) { return siteIsCovered(host, root); });
}

} // namespace kestravin
