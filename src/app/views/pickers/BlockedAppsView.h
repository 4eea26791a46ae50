#pragma once

#include "app/models/AppPickerModel.h"
#include "app/views/pickers/PickerHosts.h"

#include <QHash>
#include <QWidget>

class QLabel;
class QScrollArea;

namespace kestravin {

class AppTile;
class ConfigurationManager;
class DesktopAccountService;
class FlightOverlay;
class InstalledApps;
class LockNotice;
class PickerSearchField;
class RollingText;
class TileGrid;

// The page on which the user picks the installed apps hidden during a focus:
// the most distracting apps first, then the rest, a search by name, and a
// counter of blocked apps. Used by the settings window and, `embedded`
// (without its header and footer), by the first-run wizard.
class BlockedAppsView : public QWidget {
    Q_OBJECT
public:
    explicit BlockedAppsView(bool embedded = false, QWidget* parent = nullptr);
    BlockedAppsView(bool embedded, ConfigurationManager& config, DesktopAccountService& account,
        InstalledApps& installed, QWidget* parent = nullptr);

    const AppPickerModel& model() const { return m_model; }
    PickerSearchField* searchField() const { return m_search; }
    LockNotice* lockNotice() const { return m_notice; }
    FlightOverlay* flightOverlay() const { return m_overlay; }
    AppTile* tile(const QString& id) const { return m_tiles.value(id); }
    RollingText* counter() const { return m_count; }
    // Section titles and the not-found text as shown now (hidden ones left out).
    QStringList visibleTexts() const;
    bool isLoading() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void startFlight();

    bool m_embedded;
    ConfigurationManager& m_config;
    InstalledApps& m_installed;
    ConfigAppPickerHost m_host;
    AppPickerModel m_model;

    LockNotice* m_notice;
    PickerSearchField* m_search;
    RollingText* m_count;
    QLabel* m_progress;
    QLabel* m_empty;
    QLabel* m_titles[2];
    TileGrid* m_grids[2];
    QHash<QString, AppTile*> m_tiles;
    FlightOverlay* m_overlay;
};

} // namespace kestravin
