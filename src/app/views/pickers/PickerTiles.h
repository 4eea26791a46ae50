#pragma once

#include "app/models/AppPickerModel.h"
#include "app/models/SiteTileItem.h"
#include "app/views/pickers/PickerTile.h"

namespace kestravin {

class InstalledApps;
class SiteIconStore;

// One app: its icon, its name and, when it is not installed here, a note.
class AppTile : public PickerTile {
    Q_OBJECT
public:
    AppTile(const AppTileItem& item, InstalledApps& installed, QWidget* parent = nullptr);
    const AppTileItem& item() const { return m_item; }
    void setItem(const AppTileItem& item);

protected:
    void paintIcon(QPainter& painter, const QRectF& well) override;

private:
    AppTileItem m_item;
    InstalledApps& m_installed;
};

// One site: its logo, icon or monogram in a well, its name and caption.
class SiteTile : public PickerTile {
    Q_OBJECT
public:
    SiteTile(const SiteTileItem& item, SiteIconStore& store, QWidget* parent = nullptr);
    const SiteTileItem& item() const { return m_item; }
    void setItem(const SiteTileItem& item);

protected:
    void paintWell(QPainter& painter, const QRectF& well) override;
    void paintIcon(QPainter& painter, const QRectF& well) override;

private:
    SiteTileItem m_item;
    SiteIconStore& m_store;
    BrandTween m_arrival { 1.0 };
};

} // namespace kestravin
