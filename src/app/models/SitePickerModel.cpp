#include "app/models/SitePickerModel.h"

#include "app/models/BlockedSiteGroup.h"
#include "app/models/SiteCatalog.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

const QString userCaption = u"Site adicionado"_s;
const QString hostPrefix = u"host:"_s;

QString trimSpacesAndTabs(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (start < end && blank(text.at(start))) {
        ++start;
    }
    while (end > start && blank(text.at(end - 1))) {
        --end;
    }
    return text.mid(start, end - start);
}

} // namespace

SitePickerModel::SitePickerModel(SitePickerHost& host) : m_host(host)
{
}

QList<SiteTileItem> SitePickerModel::tiles() const
{
    const QStringList stored = m_host.blockedSites();
    if (!m_tileCache || m_tileCache->stored != stored) {
        m_tileCache = TileCache { stored, buildTiles(stored) };
    }
    return m_tileCache->tiles;
}

QList<SiteTileItem> SitePickerModel::buildTiles(const QStringList& stored) const
{
    QList<BlockedSiteGroup> own;
    for (BlockedSiteGroup& group : BlockedSiteGroup::make(stored)) {
        if (!group.platform) {
            own.append(std::move(group));
        }
    }

    // The user's sites newest first, except those whose place was frozen by a
    // release on this screen: they follow, in their frozen order.
    const QSet<QString> frozen(m_customOrder.cbegin(), m_customOrder.cend());
    QStringList order;
    for (auto it = own.crbegin(); it != own.crend(); ++it) {
        if (!frozen.contains(it->id)) {
            order.append(it->id);
        }
    }
    order += m_customOrder;

    QHash<QString, const BlockedSiteGroup*> byId;
    for (const BlockedSiteGroup& group : std::as_const(own)) {
        byId.insert(group.id, &group);
    }

    QList<SiteTileItem> result;
    for (const QString& id : std::as_const(order)) {
        if (const BlockedSiteGroup* group = byId.value(id)) {
            result.append({ id, group->title, userCaption, group->title, std::nullopt, group->domains, true, false });
        } else if (auto released = m_released.constFind(id); released != m_released.cend()) {
            const QString host = id.mid(hostPrefix.size());
            result.append({ id, host, userCaption, host, std::nullopt, *released, false, false });
        }
    }
    for (const SiteCatalogEntry& entry : SiteCatalog::entries()) {
        const bool blocked
            = std::any_of(stored.cbegin(), stored.cend(), [&](const QString& site) { return entry.matches(site); });
        result.append(SiteTileItem::fromEntry(entry, blocked));
    }
    return result;
}

int SitePickerModel::blockedCount(const QList<SiteTileItem>& tiles)
{
    return int(std::count_if(tiles.cbegin(), tiles.cend(), [](const SiteTileItem& t) { return t.blocked; }));
}

QList<SiteTileItem> SitePickerModel::options() const
{
    const QString q = m_query.trimmed().toLower();
    if (q.isEmpty()) {
        return {};
    }
    const QList<SiteTileItem> all = tiles();
    QList<SiteTileItem> matches;
    for (const SiteTileItem& tile : all) {
        const QStringList candidates = tile.entry ? tile.entry->roots : QStringList { tile.name };
        const bool hit = tile.name.toLower().contains(q)
            || std::any_of(candidates.cbegin(), candidates.cend(), [&](const QString& c) { return c.contains(q); });
        if (hit) {
            matches.append(tile);
        }
    }
    if (matches.size() > 5) {
        matches.resize(5);
    }
    const std::optional<QString> domain = SiteCatalog::normalizedDomain(q);
    if (!domain || SiteCatalog::entry(*domain)) {
        return matches;
    }
    const bool onScreen
        = std::any_of(all.cbegin(), all.cend(), [&](const SiteTileItem& t) { return !t.entry && t.name == *domain; });
    if (!onScreen) {
        matches.append(SiteTileItem::newSite(*domain));
    }
    return matches;
}

bool SitePickerModel::showDropdown() const
{
    return !trimSpacesAndTabs(m_query).isEmpty() && !m_dropdownDismissed;
}

void SitePickerModel::setQuery(const QString& query)
{
    if (query == m_query) {
        return;
    }
    m_query = query;
    m_activeOption = 0;
    m_dropdownDismissed = false;
}

void SitePickerModel::setSearchFocused(bool focused)
{
    m_searchFocused = focused;
}

void SitePickerModel::focusLossSettled()
{
    if (!m_searchFocused) {
        m_dropdownDismissed = true;
    }
}

bool SitePickerModel::moveActive(int step)
{
    if (!showDropdown()) {
        return false;
    }
    const int n = int(options().size());
    if (n == 0) {
        return false;
    }
    m_activeOption = ((m_activeOption + step) % n + n) % n;
    return true;
}

bool SitePickerModel::arrowUp()
{
    return moveActive(-1);
}

bool SitePickerModel::arrowDown()
{
    return moveActive(1);
}

bool SitePickerModel::escape()
{
    if (m_query.isEmpty()) {
        return false;
    }
    setQuery(QString());
    return true;
}

void SitePickerModel::choose(int index)
{
    const QList<SiteTileItem> rows = options();
    if (index < 0 || index >= rows.size()) {
        return;
    }
    const SiteTileItem row = rows.at(index);
    setQuery(QString());
    m_searchFocused = true;
    if (row.isNew) {
        m_host.addSites({ row.name, u"www."_s + row.name });
        // Like every other edit: a typed site that the account never hears of
        // would be replaced by the account's list at the next download.
        m_host.localEditChanged();
        celebrate(hostPrefix + row.name, 1.0);
    } else if (row.blocked) {
        m_hop = m_hop.next(row.id);
    } else {
        toggle(row);
    }
}

void SitePickerModel::toggle(SiteTileItem item)
{
    if (item.blocked && m_host.removalsLocked()) {
        m_host.noteLocked();
        return;
    }
    if (item.entry) {
        m_host.setBlocked(*item.entry, !item.blocked);
        m_host.localEditChanged();
        if (item.blocked) {
            m_countDirection = -1.0;
        } else {
            celebrate(item.id, 1.0);
        }
        return;
    }
    if (!item.blocked) {
        m_host.addSites(item.domains);
        m_released.remove(item.id);
        m_tileCache.reset();
        m_host.localEditChanged();
        celebrate(item.id, 1.0);
        return;
    }
    // Freeze the order of the user's tiles so the released one keeps its place.
    m_customOrder.clear();
    for (const SiteTileItem& tile : tiles()) {
        if (!tile.entry) {
            m_customOrder.append(tile.id);
        }
    }
    m_released.insert(item.id, item.domains);
    m_tileCache.reset();
    m_host.removeSites(item.domains);
    m_host.localEditChanged();
    m_countDirection = -1.0;
}

void SitePickerModel::reset()
{
    m_host.resetSitesToDefaults();
    m_released.clear();
    m_tileCache.reset();
    m_host.localEditChanged();
}

void SitePickerModel::celebrate(const QString& id, double direction)
{
    m_countDirection = direction;
    m_hop = m_hop.next(id);
    if (!m_host.reduceMotion()) {
        m_host.nextTurn([this, id] { m_flight = m_flight.next(id); });
    }
}

QString SitePickerModel::footerNote(const SitePickerAccount& account)
{
    const QString plain = u"Os sites marcados ficam bloqueados nos seus horários."_s;
    if (!account.hasSession || !account.onboarded) {
        return plain;
    }
    switch (account.saveState) {
    case SitePickerAccount::SaveState::idle:
        return u"YouTube e X também seguem sua conta."_s;
    case SitePickerAccount::SaveState::saving:
        return u"Salvando na conta…"_s;
    case SitePickerAccount::SaveState::saved:
        return u"YouTube e X sincronizados com a conta."_s;
    case SitePickerAccount::SaveState::failed:
        return account.failure;
    }
    return plain;
}

std::optional<SearchFolding::Match> SitePickerModel::highlight(const QString& text) const
{
    return SearchFolding::firstMatch(text, m_query.trimmed());
}

QString SitePickerModel::exampleDomain()
{
    return u"meusite.com.br"_s;
}

QString SitePickerModel::notFoundText()
{
    return u"Nada encontrado. Digite um endereço, como "_s + exampleDomain() + u", para adicionar."_s;
}

} // namespace kestravin
