#pragma once

#include "app/models/AccountRecords.h"
#include "app/models/PickerSignals.h"
#include "app/models/SearchFolding.h"
#include "app/models/SiteTileItem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// What the site picker reads and changes outside itself: the configuration,
// the removal lock and the account's record of local edits.
class SitePickerHost {
public:
    virtual ~SitePickerHost() = default;
    virtual QStringList blockedSites() const = 0;
    virtual bool removalsLocked() const = 0;
    virtual void noteLocked() = 0;
    virtual void setBlocked(const SiteCatalogEntry& entry, bool blocked) = 0;
    virtual void addSites(const QStringList& domains) = 0;
    virtual void removeSites(const QStringList& domains) = 0;
    virtual void resetSitesToDefaults() = 0;
    virtual void localEditChanged() = 0;
    virtual bool reduceMotion() const = 0;
    virtual void nextTurn(std::function<void()> work) = 0;
};

// The account's upload state as the footer words it.
struct SitePickerAccount {
    using SaveState = AccountSaveState::Case;
    bool hasSession = false;
    bool onboarded = false;
    SaveState saveState = SaveState::idle;
    QString failure;
};

// The site picker without its drawing: the tile list (the user's own sites
// newest first, then the catalogue), the suggestions for the query with the
// add row, the dropdown keys and the block and release rules.
class SitePickerModel {
public:
    explicit SitePickerModel(SitePickerHost& host);

    QList<SiteTileItem> tiles() const;
    // Tiles that are blocked (a catalogue site counts once, whatever its domains).
    static int blockedCount(const QList<SiteTileItem>& tiles);
    QList<SiteTileItem> options() const;
    bool showDropdown() const;

    QString query() const { return m_query; }
    void setQuery(const QString& query);
    bool searchFocused() const { return m_searchFocused; }
    // Focus of the search field. Losing it dismisses the dropdown after
    // dismissDelayMs, unless the focus came back in between: call
    // focusLossSettled() then.
    void setSearchFocused(bool focused);
    void focusLossSettled();
    static constexpr int dismissDelayMs = 200;

    int activeOption() const { return m_activeOption; }
    void setActiveOption(int index) { m_activeOption = index; }

    // Key handling while the field has focus; true when the key is used up.
    bool arrowUp();
    bool arrowDown();
    bool escape();

    void choose(int index);
    // Takes the item by value: the host's callbacks may rebuild the tile it came from.
    void toggle(SiteTileItem item);
    void reset();

    const TileSignal& hop() const { return m_hop; }
    const TileSignal& flight() const { return m_flight; }
    double countDirection() const { return m_countDirection; }
    const QStringList& customOrder() const { return m_customOrder; }

    static QString footerNote(const SitePickerAccount& account);
    // The part of `text` that matches the trimmed query, for emphasis.
    std::optional<SearchFolding::Match> highlight(const QString& text) const;

    static QString notFoundText();
    static QString exampleDomain();

private:
    void celebrate(const QString& id, double direction);
    bool moveActive(int step);

    QList<SiteTileItem> buildTiles(const QStringList& stored) const;

    SitePickerHost& m_host;
    // The tiles of the last stored list seen: typing asks for the suggestions
    // on every key, while the list and the screen's own state rarely change.
    struct TileCache {
        QStringList stored;
        QList<SiteTileItem> tiles;
    };
    mutable std::optional<TileCache> m_tileCache;
    QString m_query;
    bool m_searchFocused = false;
    int m_activeOption = 0;
    bool m_dropdownDismissed = false;
    QStringList m_customOrder;
    QHash<QString, QStringList> m_released;
    TileSignal m_hop;
    TileSignal m_flight;
    double m_countDirection = 1.0;
};

} // namespace kestravin
