#pragma once

#include "app/models/BlockedApp.h"
#include "app/models/InstalledApp.h"
#include "app/models/PickerSignals.h"

#include <QList>
#include <QString>

namespace kestravin {

// The value one app tile shows. No path: on the block list but not installed.
struct AppTileItem {
    QString id;
    QString name;
    std::optional<QString> path;
    bool blocked = false;
    QString iconName;

    bool operator==(const AppTileItem&) const = default;
};

// What the app picker reads and changes outside itself.
class AppPickerHost {
public:
    virtual ~AppPickerHost() = default;
    virtual QList<BlockedApp> blockedApps() const = 0;
    virtual void setBlocked(const BlockedApp& app, bool blocked) = 0;
    virtual void localEditChanged() = 0;
    virtual bool reduceMotion() const = 0;
    virtual void nextTurn(std::function<void()> work) = 0;
};

// The app picker without its drawing: the popular apps first, then the rest
// (blocked apps that are no longer installed at their head), the search over
// both, the counter and the block and release rule.
class AppPickerModel {
public:
    struct Section {
        QString title;
        QList<AppTileItem> items;
    };
    struct Content {
        // The first scan has not finished: show progress, nothing else.
        bool loading = false;
        // Sections when there is no search; one untitled section of results otherwise.
        QList<Section> sections;
        // Shown above the results when a search finds nothing.
        QString emptyText;
    };

    explicit AppPickerModel(AppPickerHost& host);

    Content content(const QList<InstalledApp>& apps, bool loaded) const;
    int blockedCount() const { return int(m_host.blockedApps().size()); }

    QString query() const { return m_query; }
    void setQuery(const QString& query) { m_query = query; }
    // Escape while the field has focus: clears a query and uses up the key.
    bool escape();

    // Takes the item by value: the host's callbacks may rebuild the tile it came from.
    void toggle(AppTileItem item);

    const TileSignal& hop() const { return m_hop; }
    const TileSignal& flight() const { return m_flight; }
    double countDirection() const { return m_countDirection; }

    static QString notFoundText();

private:
    AppTileItem item(const InstalledApp& app, const QList<BlockedApp>& blocked) const;

    AppPickerHost& m_host;
    QString m_query;
    TileSignal m_hop;
    TileSignal m_flight;
    double m_countDirection = 1.0;
};

} // namespace kestravin
