#include "app/views/pickers/SiteIcon.h"

#include "app/services/catalog/SiteIconStore.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/SocialLabel.h"
#include "app/views/pickers/PickerColors.h"

#include <QPainter>

namespace kestravin {

namespace SiteIconPainter {

std::optional<QString> logoPlatform(const SiteTileItem& item)
{
    const std::optional<QString> platform = item.brandPlatform();
    if (platform && BrandAssets::image(*platform)) {
        return platform;
    }
    return std::nullopt;
}

void paint(
    QPainter& painter, const QRectF& square, const SiteTileItem& item, const SiteIconStore& store, double arrival)
{
    const PickerColors& c = PickerColors::current();
    const double size = square.width();
    if (const std::optional<QString> platform = logoPlatform(item)) {
        const double side = std::min(size, 18.0);
        const QRectF target(square.center() - QPointF(side / 2.0, side / 2.0), QSizeF(side, side));
        const BrandImage* image = BrandAssets::image(*platform);
        if (SocialLabel::glyphLogos().contains(*platform)) {
            image->renderTinted(painter, target, c.ink);
        } else {
            image->renderFitted(painter, target);
        }
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const std::optional<QImage> icon = store.icon(item.iconHost);
    // The monogram gives way to the icon as it arrives; the icon grows in from 0.85.
    const double shown = icon ? std::clamp(arrival, 0.0, 1.0) : 0.0;
    if (shown < 1.0) {
        painter.setOpacity(1.0 - shown);
        painter.fillPath(BrandShapes::continuousRect(square, size * 0.3), withOpacity(c.ink, 0.08));
        painter.setPen(c.ink);
        painter.setFont(BrandFonts::font(std::max(1, int(size * 0.5)), QFont::Bold));
        painter.drawText(square, Qt::AlignCenter, item.monogram());
    }
    if (icon && shown > 0.0) {
        painter.setOpacity(shown);
        const double scale = 0.85 + 0.15 * shown;
        painter.translate(square.center());
        painter.scale(scale, scale);
        painter.translate(-square.center());
        QSizeF fitted = QSizeF(icon->size()).scaled(square.size(), Qt::KeepAspectRatio);
        const QRectF target(square.center() - QPointF(fitted.width() / 2.0, fitted.height() / 2.0), fitted);
        painter.setClipPath(BrandShapes::continuousRect(square, size * 0.22));
        painter.drawImage(target, *icon);
    }
    painter.restore();
}

void request(const SiteTileItem& item, SiteIconStore& store)
{
    if (!logoPlatform(item)) {
        store.load(item.iconHost);
    }
}

} // namespace SiteIconPainter

SiteIcon::SiteIcon(SiteTileItem item, double size, SiteIconStore& store, QWidget* parent)
    : QWidget(parent), m_item(std::move(item)), m_size(size), m_store(store)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
    connect(&m_store, &SiteIconStore::iconChanged, this, [this](const QString& host) {
        if (host == m_item.iconHost) {
            update();
        }
    });
    SiteIconPainter::request(m_item, m_store);
}

QSize SiteIcon::sizeHint() const
{
    return { int(m_size), int(m_size) };
}

void SiteIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    SiteIconPainter::paint(painter, QRectF(rect()), m_item, m_store);
}

} // namespace kestravin
