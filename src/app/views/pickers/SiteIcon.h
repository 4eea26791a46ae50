#pragma once

#include "app/models/SiteTileItem.h"

#include <QRectF>
#include <QWidget>

class QPainter;

namespace kestravin {

class SiteIconStore;

// How a site is pictured, first that applies: its platform logo (at most 18
// points), else its downloaded icon over a letter monogram that shows until
// the icon arrives. A logo missing from the artwork falls through to the
// monogram and the icon.
namespace SiteIconPainter {
// The platform logo that will be drawn, if any.
std::optional<QString> logoPlatform(const SiteTileItem& item);
// `arrival` runs from 0 to 1 while a newly arrived icon replaces the monogram.
void paint(QPainter& painter, const QRectF& square, const SiteTileItem& item, const SiteIconStore& store,
    double arrival = 1.0);
// Asks the store for the icon when the item needs one.
void request(const SiteTileItem& item, SiteIconStore& store);
} // namespace SiteIconPainter

// The icon alone, for rows and other screens. Decorative: hidden from
// accessibility (the row or tile carries the name).
class SiteIcon : public QWidget {
    Q_OBJECT
public:
    SiteIcon(SiteTileItem item, double size, SiteIconStore& store, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SiteTileItem m_item;
    double m_size;
    SiteIconStore& m_store;
};

} // namespace kestravin
