#include "app/views/blocker/AppBlockView.h"

#include "app/models/WeekSchedule.h"
#include "app/views/blocker/FolgaLine.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/PlainLabel.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int cardPadding = 24;
constexpr int rowSpacing = 18;
constexpr int headerSpacing = 14;
constexpr int textSpacing = 6;
constexpr double cornerRadius = 28.0;
constexpr double borderOpacity = 0.45;

constexpr QSize iconBoxSize(64, 60);
constexpr int iconSide = 52;
constexpr double fireflySide = 34.0;
constexpr double iconSaturation = 0.4;
constexpr double iconOpacity = 0.85;

// The app's icon, faded so that it reads as "not now", with the mascot hanging
// over its lower-right corner. Decorative, like the rest of the artwork.
class IconBox : public QWidget {
public:
    IconBox(const QIcon& icon, QWidget* parent) : QWidget(parent), m_icon(icon) { setFixedSize(iconBoxSize); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (!m_icon.isNull()) {
            const double ratio = devicePixelRatioF();
            const QSize pixels(qRound(iconSide * ratio), qRound(iconSide * ratio));
            QImage image = m_icon.pixmap(pixels).toImage().convertToFormat(QImage::Format_ARGB32);
            desaturate(image, iconSaturation);
            image.setDevicePixelRatio(ratio);
            // Fitted into the 52 × 52 frame with its aspect kept.
            const QSizeF drawn = QSizeF(image.size()).scaled(QSizeF(iconSide, iconSide), Qt::KeepAspectRatio);
            const QRectF target(QPointF((iconSide - drawn.width()) / 2.0, (iconSide - drawn.height()) / 2.0), drawn);
            painter.setOpacity(iconOpacity);
            painter.drawImage(target, image);
            painter.setOpacity(1.0);
        }
        // Bottom-trailing in the box whether or not there is an icon.
        Firefly::paint(
            painter, QPointF(iconBoxSize.width() - fireflySide, iconBoxSize.height() - fireflySide), fireflySide);
    }

private:
    // Moves each pixel towards its luminance: 1 keeps the colour, 0 is grey.
    static void desaturate(QImage& image, double amount)
    {
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = line[x];
                const double luma = 0.2126 * qRed(p) + 0.7152 * qGreen(p) + 0.0722 * qBlue(p);
                auto mixed = [&](int c) { return qBound(0, qRound(luma + amount * (c - luma)), 255); };
                line[x] = qRgba(mixed(qRed(p)), mixed(qGreen(p)), mixed(qBlue(p)), qAlpha(p));
            }
        }
    }

    QIcon m_icon;
};

QLabel* wrappingLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setWordWrap(true);
    label->setFont(font);
    return label;
}

} // namespace

AppBlockView::AppBlockView(QString name, QIcon icon, std::optional<QDateTime> endsAt, std::function<void()> onFolga,
    std::function<void()> onReturn, QWidget* parent)
    : QWidget(parent), m_onReturn(std::move(onReturn))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(cardWidth);
    // The card holds the keyboard so that Return reaches it from anywhere.
    setFocusPolicy(Qt::StrongFocus);

    auto* card = new QVBoxLayout(this);
    card->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    card->setSpacing(rowSpacing);

    auto* header = new QHBoxLayout();
    header->setSpacing(headerSpacing);
    auto* iconBox = new IconBox(icon, this);
    // The title names the app; the icon and the mascot only repeat it.
    BrandAccessibility::setDecorative(iconBox);
    header->addWidget(iconBox, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout();
    texts->setSpacing(textSpacing);
    m_title = wrappingLabel(title(name), BrandFonts::font(20, QFont::DemiBold, BrandFonts::Design::Rounded), this);
    m_endLine = wrappingLabel(endLine(endsAt), BrandFonts::font(13), this);
    texts->addWidget(m_title);
    texts->addWidget(m_endLine);
    header->addLayout(texts, 1);
    card->addLayout(header);

    m_return = new BrandButton(u"Voltar ao foco"_s, true, this);
    m_return->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_return, &QAbstractButton::clicked, this, [this] {
        if (m_onReturn) {
            m_onReturn();
        }
    });
    card->addWidget(m_return);

    m_folga = new FolgaLine(std::move(onFolga), this);
    card->addWidget(m_folga);

    applyColors();
    connect(&Appearance::shared(), &Appearance::changed, this, &AppBlockView::applyColors);
    resize(sizeHint());
}

QString AppBlockView::title(const QString& name)
{
    return name + u" fica para depois."_s;
}

QString AppBlockView::endLine(const std::optional<QDateTime>& endsAt)
{
    if (!endsAt || !endsAt->isValid()) {
        return u"Quando seu foco terminar, o app abre normalmente."_s;
    }
    const QTime local = endsAt->toLocalTime().time();
    const int minute = local.hour() * 60 + local.minute();
    return u"Seu foco termina às "_s + WeekSchedule::timeLabel(minute) + u". Depois disso, o app abre normalmente."_s;
}

QSize AppBlockView::sizeHint() const
{
    // Long names wrap: the width stays, the height follows the text.
    return QSize(cardWidth, layout()->totalHeightForWidth(cardWidth));
}

QSize AppBlockView::minimumSizeHint() const
{
    return sizeHint();
}

void AppBlockView::applyColors()
{
    const BrandPalette& palette = BrandPalette::current();
    for (auto [label, color] : { std::pair { m_title, palette.ink }, std::pair { m_endLine, palette.mutedInk } }) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, color);
        label->setPalette(p);
    }
    update();
}

void AppBlockView::paintEvent(QPaintEvent*)
{
    const BrandPalette& palette = BrandPalette::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    painter.fillPath(BrandShapes::continuousRect(bounds, cornerRadius), palette.paper);
    painter.setPen(QPen(withOpacity(palette.accentRing, borderOpacity), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(BrandShapes::strokeInside(bounds, cornerRadius, 1.0));
}

void AppBlockView::keyPressEvent(QKeyEvent* event)
{
    // "Voltar ao foco" is the default action.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_return->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestravin
