#pragma once

#include "app/models/SitePickerModel.h"
#include "app/views/pickers/PickerHosts.h"

#include <QHash>
#include <QWidget>

class QLabel;
class QPushButton;

namespace kestravin {

class ConfigurationManager;
class DesktopAccountService;
class FlightOverlay;
class LockNotice;
class PickerSearchField;
class RollingText;
class SiteIconStore;
class SiteTile;
class SuggestionList;
class TileGrid;

// The page on which the user picks the web sites blocked during a focus: a
// search-and-add field with its suggestions, the count of blocked sites and
// the tiles (the user's own sites, then the catalogue). Used by the settings
// window and, `embedded` (without title and footer), by the first-run wizard.
class BlockedSitesView : public QWidget {
    Q_OBJECT
public:
    explicit BlockedSitesView(bool embedded = false, QWidget* parent = nullptr);
    BlockedSitesView(bool embedded, ConfigurationManager& config, DesktopAccountService& account, SiteIconStore& icons,
        QWidget* parent = nullptr);

    const SitePickerModel& model() const { return m_model; }
    PickerSearchField* searchField() const { return m_search; }
    SuggestionList* suggestions() const { return m_dropdown; }
    LockNotice* lockNotice() const { return m_notice; }
    FlightOverlay* flightOverlay() const { return m_overlay; }
    SiteTile* tile(const QString& id) const { return m_tiles.value(id); }
    QList<SiteTile*> tilesInOrder() const;
    RollingText* counter() const { return m_count; }
    QString footerText() const;
    // "Restaurar padrão"; null when embedded.
    QPushButton* resetButton() const { return m_reset; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void syncField();
    void placeDropdown();
    void startFlight();

    bool m_embedded;
    ConfigurationManager& m_config;
    DesktopAccountService& m_account;
    SiteIconStore& m_icons;
    ConfigSitePickerHost m_host;
    SitePickerModel m_model;

    LockNotice* m_notice;
    PickerSearchField* m_search;
    RollingText* m_count;
    TileGrid* m_grid;
    QHash<QString, SiteTile*> m_tiles;
    SuggestionList* m_dropdown;
    QLabel* m_footer = nullptr;
    QPushButton* m_reset = nullptr;
    FlightOverlay* m_overlay;
};

// The suggestion dropdown: an overlay inside the window under the search field,
// so the keyboard focus stays in the field. Rows take the pointer and clicks
// but never the focus.
class SuggestionList : public QWidget {
    Q_OBJECT
public:
    SuggestionList(SiteIconStore& icons, QWidget* parent);
    void show(const QList<SiteTileItem>& options, int active, const SitePickerModel& model);
    int rowCount() const { return int(m_rows.size()); }
    QWidget* row(int index) const { return m_rows.value(index); }
    QString notFoundText() const;

Q_SIGNALS:
    void hovered(int index);
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SiteIconStore& m_icons;
    QList<QWidget*> m_rows;
    QLabel* m_notFound;
};

} // namespace kestravin
