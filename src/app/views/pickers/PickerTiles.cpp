#include "app/views/pickers/PickerTiles.h"

#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/pickers/PickerColors.h"
#include "app/views/pickers/SiteIcon.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin {

AppTile::AppTile(const AppTileItem& item, InstalledApps& installed, QWidget* parent)
    : PickerTile(item.id, parent), m_installed(installed)
{
    setItem(item);
}

void AppTile::setItem(const AppTileItem& item)
{
    m_item = item;
    setTexts(item.name, item.path ? QString() : u"Não está neste computador"_s);
    setBlocked(item.blocked);
    update();
}

void AppTile::paintIcon(QPainter& painter, const QRectF& well)
{
    if (m_item.path) {
        const QIcon icon = m_installed.icon(*m_item.path);
        const qreal ratio = devicePixelRatioF();
        const QPixmap pixmap = icon.pixmap(QSize(32, 32), ratio);
        painter.drawPixmap(well, pixmap, QRectF(QPointF(0, 0), QSizeF(pixmap.size())));
        return;
    }
    if (const BrandImage* symbol = BrandAssets::symbol(u"app.dashed"_s)) {
        const QRectF target(well.center() - QPointF(9.0, 9.0), QSizeF(18.0, 18.0));
        symbol->renderTinted(painter, target, PickerColors::current().muted);
    }
}

SiteTile::SiteTile(const SiteTileItem& item, SiteIconStore& store, QWidget* parent)
    : PickerTile(item.id, parent), m_store(store)
{
    connect(&m_store, &SiteIconStore::iconChanged, this, [this](const QString& host) {
        if (host != m_item.iconHost) {
            return;
        }
        if (Appearance::shared().reduceMotion()) {
            m_arrival.jumpTo(1.0);
        } else {
            m_arrival.jumpTo(0.0);
            m_arrival.animateTo(1.0, BrandMotion::easeOutCurve(), 220);
        }
        update();
    });
    connect(&m_arrival, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    setItem(item);
}

void SiteTile::setItem(const SiteTileItem& item)
{
    const bool hostChanged = item.iconHost != m_item.iconHost || item.entry != m_item.entry;
    m_item = item;
    setTexts(item.name, item.caption);
    setBlocked(item.blocked);
    if (hostChanged) {
        SiteIconPainter::request(m_item, m_store);
    }
    update();
}

void SiteTile::paintWell(QPainter& painter, const QRectF& well)
{
    const PickerColors& c = PickerColors::current();
    painter.fillPath(BrandShapes::continuousRect(well, 10.0),
        isBlocked() ? c.surface : BrandTokens::sunk(Appearance::shared().colorScheme()));
}

void SiteTile::paintIcon(QPainter& painter, const QRectF& well)
{
    const QRectF square(well.center() - QPointF(10.0, 10.0), QSizeF(20.0, 20.0));
    SiteIconPainter::paint(painter, square, m_item, m_store, m_arrival.value());
}

} // namespace kestravin
