#include "app/views/brand/BrandAssets.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

using namespace Qt::StringLiterals;

// The artwork lives in a static library; naming its resources here keeps the
// linker from dropping them.
static void initBrandResources()
{
    Q_INIT_RESOURCE(brand);
}

namespace kestravin {

namespace {

int g_loads = 0;

QString canonicalName(const QString& name)
{
    // Prime Video is asked for by its platform name; its catalogue id is kept as an alias.
    if (name == u"prime"_s) {
        return u"primevideo"_s;
    }
    return name;
}

bool isAssetName(const QString& name)
{
    static const QRegularExpression pattern(u"^[a-z0-9][a-z0-9.\\-]*$"_s);
    return !name.contains(u".."_s) && pattern.match(name).hasMatch();
}

} // namespace

BrandImage::BrandImage(std::unique_ptr<QSvgRenderer> renderer) : m_renderer(std::move(renderer))
{
}

BrandImage::~BrandImage() = default;

QSizeF BrandImage::size() const
{
    return m_renderer->viewBoxF().size();
}

void BrandImage::render(QPainter& painter, const QRectF& target) const
{
    m_renderer->render(&painter, target);
}

QRectF BrandImage::fitted(const QSizeF& size, const QRectF& target)
{
    if (size.isEmpty() || target.isEmpty()) {
        return target;
    }
    const QSizeF scaled = size.scaled(target.size(), Qt::KeepAspectRatio);
    QRectF rect(QPointF(), scaled);
    rect.moveCenter(target.center());
    return rect;
}

void BrandImage::renderFitted(QPainter& painter, const QRectF& target) const
{
    render(painter, fitted(size(), target));
}

void BrandImage::renderTinted(QPainter& painter, const QRectF& target, const QColor& color) const
{
    const QRectF rect = fitted(size(), target);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QTransform& world = painter.worldTransform();
    const qreal scale = ratio * std::max(std::abs(world.m11()) + std::abs(world.m21()), 1e-3);
    const QSize pixels(std::max(1, qRound(rect.width() * scale)), std::max(1, qRound(rect.height() * scale)));
    QImage shape = rasterize(pixels);
    {
        QPainter tint(&shape);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(shape.rect(), color);
    }
    shape.setDevicePixelRatio(scale);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect, shape);
    painter.restore();
}

QImage BrandImage::rasterize(QSize pixels) const
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer->render(&painter, QRectF(QPointF(), QSizeF(pixels)));
    return image;
}

const BrandImage* BrandAssets::image(const QString& name)
{
    static QHash<QString, std::shared_ptr<BrandImage>> cache;
    return load(cache, u":/brand"_s, canonicalName(name));
}

const BrandImage* BrandAssets::symbol(const QString& name)
{
    static QHash<QString, std::shared_ptr<BrandImage>> cache;
    return load(cache, u":/symbols"_s, name);
}

int BrandAssets::loadCount()
{
    return g_loads;
}

const BrandImage* BrandAssets::load(
    QHash<QString, std::shared_ptr<BrandImage>>& cache, const QString& folder, const QString& name)
{
    if (const auto found = cache.constFind(name); found != cache.constEnd()) {
        return found->get();
    }
    if (!isAssetName(name)) {
        return nullptr;
    }
    static const bool resourcesReady = [] {
        initBrandResources();
        return true;
    }();
    Q_UNUSED(resourcesReady);
    ++g_loads;
    QFile file(folder + u'/' + name + u".svg"_s);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    auto renderer = std::make_unique<QSvgRenderer>(file.readAll());
    if (!renderer->isValid() || renderer->viewBoxF().isEmpty()) {
        return nullptr;
    }
    auto image = std::make_shared<BrandImage>(std::move(renderer));
    cache.insert(name, image);
    return image.get();
}

} // namespace kestravin
