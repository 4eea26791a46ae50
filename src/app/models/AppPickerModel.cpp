#include "app/models/AppPickerModel.h"

#include "app/models/AppBlockPolicy.h"
#include "app/models/SearchFolding.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

bool sameId(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isPopular(const QString& id)
{
    const QStringList& popular = AppBlockPolicy::popularBundleIDs();
    return std::any_of(popular.cbegin(), popular.cend(), [&](const QString& p) { return sameId(p, id); });
}

} // namespace

AppPickerModel::AppPickerModel(AppPickerHost& host) : m_host(host)
{
}

AppTileItem AppPickerModel::item(const InstalledApp& app, const QList<BlockedApp>& blocked) const
{
    const bool isBlocked = std::any_of(blocked.cbegin(), blocked.cend(),
        [&](const BlockedApp& b) { return sameId(b.bundleIdentifier, app.bundleIdentifier); });
    return { app.bundleIdentifier, app.name, app.path, isBlocked, app.iconName };
}

AppPickerModel::Content AppPickerModel::content(const QList<InstalledApp>& apps, bool loaded) const
{
    Content result;
    if (!loaded) {
        result.loading = true;
        return result;
    }
    const QList<BlockedApp> blocked = m_host.blockedApps();
    QList<AppTileItem> popular;
    for (const InstalledApp& app : InstalledAppList::popular(apps)) {
        popular.append(item(app, blocked));
    }
    QList<AppTileItem> others;
    for (const BlockedApp& app : blocked) {
        if (!InstalledAppList::find(apps, app.bundleIdentifier)) {
            others.append({ app.bundleIdentifier, app.name, std::nullopt, true, QString() });
        }
    }
    for (const InstalledApp& app : apps) {
        if (!isPopular(app.bundleIdentifier)) {
            others.append(item(app, blocked));
        }
    }

    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    const bool noQuery = std::all_of(m_query.cbegin(), m_query.cend(), blank);
    if (noQuery) {
        if (!popular.isEmpty()) {
            result.sections.append({ u"Os que mais distraem"_s, popular });
        }
        result.sections.append({ popular.isEmpty() ? u"Apps neste computador"_s : u"Outros apps"_s, others });
        return result;
    }
    const QString term = m_query.trimmed();
    Section found;
    for (const QList<AppTileItem>* list : { &popular, &others }) {
        for (const AppTileItem& tile : *list) {
            if (SearchFolding::containsFolded(tile.name, term)) {
                found.items.append(tile);
            }
        }
    }
    if (found.items.isEmpty()) {
        result.emptyText = notFoundText();
    }
    result.sections.append(found);
    return result;
}

bool AppPickerModel::escape()
{
    if (m_query.isEmpty()) {
        return false;
    }
    m_query.clear();
    return true;
}

void AppPickerModel::toggle(AppTileItem item)
{
    m_countDirection = item.blocked ? -1.0 : 1.0;
    m_host.setBlocked(BlockedApp(item.id, item.name), !item.blocked);
    m_host.localEditChanged();
    if (item.blocked) {
        return;
    }
    m_hop = m_hop.next(item.id);
    if (!m_host.reduceMotion()) {
        const QString id = item.id;
        m_host.nextTurn([this, id] { m_flight = m_flight.next(id); });
    }
}

QString AppPickerModel::notFoundText()
{
    return u"Nenhum app com esse nome neste computador."_s;
}

} // namespace kestravin
