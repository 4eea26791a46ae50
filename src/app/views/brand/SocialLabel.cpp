#include "app/views/brand/SocialLabel.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAssets.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr double spacing = 7.0;

// The names of the platforms whose logos we carry, as the site catalogue
// shows them.
const QHash<QString, QString>& platformNames()
{
    static const QHash<QString, QString> names {
        { u"youtube"_s, u"YouTube"_s },
        { u"instagram"_s, u"Instagram"_s },
        { u"x"_s, u"X"_s },
        { u"tiktok"_s, u"TikTok"_s },
        { u"reddit"_s, u"Reddit"_s },
        { u"facebook"_s, u"Facebook"_s },
        { u"linkedin"_s, u"LinkedIn"_s },
        { u"netflix"_s, u"Netflix"_s },
        { u"twitch"_s, u"Twitch"_s },
        { u"prime"_s, u"Prime Video"_s },
        { u"primevideo"_s, u"Prime Video"_s },
        { u"g1"_s, u"g1"_s },
        { u"uol"_s, u"UOL"_s },
        { u"mercadolivre"_s, u"Mercado Livre"_s },
        { u"amazon"_s, u"Amazon"_s },
        { u"shopee"_s, u"Shopee"_s },
        { u"steam"_s, u"Steam"_s },
        { u"roblox"_s, u"Roblox"_s },
    };
    return names;
}

} // namespace

SocialLabel::SocialLabel(const QString& platform, std::optional<QString> title, double size, QWidget* parent)
    : QWidget(parent), m_platform(platform), m_text(displayText(platform, title)), m_size(size)
{
    setAccessibleName(m_text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

const QSet<QString>& SocialLabel::glyphLogos()
{
    static const QSet<QString> glyphs { u"x"_s, u"tiktok"_s, u"steam"_s, u"roblox"_s };
    return glyphs;
}

QString SocialLabel::displayText(const QString& platform, const std::optional<QString>& title)
{
    if (title) {
        return *title;
    }
    return platformNames().value(platform, platform);
}

bool SocialLabel::hasLogo() const
{
    return BrandAssets::image(m_platform) != nullptr;
}

QSize SocialLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    double width = 0.0;
    if (hasLogo()) {
        width += m_size;
    }
    if (!m_text.isEmpty()) {
        width += (width > 0.0 ? spacing : 0.0) + metrics.horizontalAdvance(m_text);
    }
    return QSize(qCeil(width), qCeil(std::max(hasLogo() ? m_size : 0.0, metrics.height())));
}

void SocialLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    double x = 0.0;
    if (const BrandImage* logo = BrandAssets::image(m_platform)) {
        const QRectF box(0, (height() - m_size) / 2.0, m_size, m_size);
        if (glyphLogos().contains(m_platform)) {
            logo->renderTinted(painter, box, ink);
        } else {
            logo->renderFitted(painter, box);
        }
        x = m_size + spacing;
    }
    if (!m_text.isEmpty()) {
        painter.setPen(ink);
        painter.setFont(font());
        painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }
}

} // namespace kestravin
