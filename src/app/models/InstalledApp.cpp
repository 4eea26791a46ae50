#include "app/models/InstalledApp.h"

#include "app/models/AppBlockPolicy.h"

namespace kestravin::InstalledAppList {

std::optional<InstalledApp> find(const QList<InstalledApp>& apps, const QString& bundleIdentifier)
{
    for (const InstalledApp& app : apps) {
        if (app.bundleIdentifier.compare(bundleIdentifier, Qt::CaseInsensitive) == 0) {
            return app;
        }
    }
    return std::nullopt;
}

QList<InstalledApp> popular(const QList<InstalledApp>& apps)
{
    QList<InstalledApp> found;
    for (const QString& id : AppBlockPolicy::popularBundleIDs()) {
        if (auto app = find(apps, id)) {
            found.append(*app);
        }
    }
    return found;
}

} // namespace kestravin::InstalledAppList
