#pragma once

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class QSvgRenderer;

namespace kestravin {

// One piece of vector artwork. It is drawn straight from its vector source, so it
// stays crisp at any size and device pixel ratio.
class BrandImage {
public:
    explicit BrandImage(std::unique_ptr<QSvgRenderer> renderer);
    ~BrandImage();
    BrandImage(const BrandImage&) = delete;
    BrandImage& operator=(const BrandImage&) = delete;

    // The artwork's own size (its view box), which gives its aspect ratio.
    QSizeF size() const;
    // Draws the artwork stretched to `target`.
    void render(QPainter& painter, const QRectF& target) const;
    // Draws the artwork fitted into `target` with its aspect ratio kept, centred.
    void renderFitted(QPainter& painter, const QRectF& target) const;
    // Draws only the artwork's shape (its alpha), filled with `color`, fitted.
    void renderTinted(QPainter& painter, const QRectF& target, const QColor& color) const;
    // The artwork at `pixels`, stretched, transparent elsewhere.
    QImage rasterize(QSize pixels) const;

    static QRectF fitted(const QSizeF& size, const QRectF& target);

private:
    std::unique_ptr<QSvgRenderer> m_renderer;
};

// The artwork the application carries: the mascot and the platform logos
// (":/brand/<name>.svg") and the symbols the controls draw (":/symbols/<name>.svg").
// Successful loads are kept for the life of the process; a missing name is
// looked up again on every call. GUI thread only.
struct BrandAssets {
    BrandAssets() = delete;

    // The brand image `name` (no extension), or nullptr.
    static const BrandImage* image(const QString& name);
    // The symbol `name` (such as "arrow.right"), or nullptr.
    static const BrandImage* symbol(const QString& name);

    // How many times a file was read and parsed (each image once, each miss every time).
    static int loadCount();

private:
    static const BrandImage* load(
        QHash<QString, std::shared_ptr<BrandImage>>& cache, const QString& folder, const QString& name);
};

} // namespace kestravin
