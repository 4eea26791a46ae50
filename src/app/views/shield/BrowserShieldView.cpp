#include "app/views/shield/BrowserShieldView.h"

#include "app/models/BrowserShieldPolicy.h"
#include "app/models/SiteGrantPolicy.h"
#include "app/models/WeekSchedule.h"
#include "app/views/blocker/FolgaLine.h"
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
constexpr int cardSpacing = 20;
constexpr int headerSpacing = 14;
constexpr int textSpacing = 6;
constexpr int buttonSpacing = 10;
constexpr double cornerRadius = 28.0;
constexpr double borderOpacity = 0.45;
constexpr double backdropOpacity = 0.97;
const QColor backdrop(28, 27, 25);

// The card: its own colour in a continuous rounded rectangle with the accent
// as a thin border.
class ShieldCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        const BrandPalette& palette = BrandPalette::forWidget(this);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds = rect();
        painter.fillPath(BrandShapes::continuousRect(bounds, cornerRadius), palette.paper);
        painter.setPen(QPen(withOpacity(palette.accentRing, borderOpacity), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(BrandShapes::strokeInside(bounds, cornerRadius, 1.0));
    }
};

QLabel* wrappingLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setWordWrap(true);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
    return label;
}

BrandButton* button(const QString& text, bool prominent, std::function<void()> action, QWidget* parent)
{
    auto* b = new BrandButton(text, prominent, parent);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QObject::connect(b, &QAbstractButton::clicked, b, [action = std::move(action)] {
        if (action) {
            action();
        }
    });
    return b;
}

} // namespace

BrowserShieldView::BrowserShieldView(QString host, QString message, std::optional<QDateTime> endsAt, Inputs inputs,
    std::function<void()> onFolga, std::function<void()> onRequest, std::function<void()> onCloseTab,
    std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), m_onDismiss(std::move(onDismiss))
{
    BrandPalette::setFixedScheme(this, ColorScheme::Dark);
    const BrandPalette& palette = BrandPalette::of(ColorScheme::Dark);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(message);

    m_card = new ShieldCard(this);
    m_card->setFixedWidth(cardWidth);
    auto* card = new QVBoxLayout(m_card);
    card->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    card->setSpacing(cardSpacing);

    auto* header = new QHBoxLayout();
    header->setSpacing(headerSpacing);
    auto* firefly = new Firefly(52, m_card);
    BrandAccessibility::setDecorative(firefly);
    header->addWidget(firefly, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout();
    texts->setSpacing(textSpacing);
    m_title = wrappingLabel(
        message, BrandFonts::font(22, QFont::DemiBold, BrandFonts::Design::Rounded), palette.ink, m_card);
    m_detail = wrappingLabel(detail(host, inputs, endsAt), BrandFonts::font(13), palette.mutedInk, m_card);
    texts->addWidget(m_title);
    texts->addWidget(m_detail);
    header->addLayout(texts, 1);
    card->addLayout(header);

    auto* buttons = new QVBoxLayout();
    buttons->setSpacing(buttonSpacing);
    m_dismiss = button(
        u"Voltar ao foco"_s, true,
        [this] {
            if (m_onDismiss) {
                m_onDismiss();
            }
        },
        m_card);
    // Return presses it (keyPressEvent): screen readers are told so.
    BrandAccessibility::setDefaultButton(m_dismiss);
    buttons->addWidget(m_dismiss);
    auto* row = new QHBoxLayout();
    row->setSpacing(buttonSpacing);
    if (canRequest(host, inputs)) {
        m_request = button(u"Pedir à Orla"_s, false, std::move(onRequest), m_card);
        row->addWidget(m_request, 1);
    }
    m_closeTab = button(u"Fechar aba"_s, false, std::move(onCloseTab), m_card);
    row->addWidget(m_closeTab, 1);
    buttons->addLayout(row);
    card->addLayout(buttons);

    m_folga = new FolgaLine(std::move(onFolga), m_card);
    card->addWidget(m_folga);

    m_card->setFixedHeight(card->totalHeightForWidth(cardWidth));
    resize(QSize(560, 440));
    placeCard();
}

std::optional<QString> BrowserShieldView::site(const QString& host, const QStringList& blockedSites)
{
    if (BrowserShieldPolicy::platform(host) == u"tiktok"_s) {
        return host;
    }
    return SiteGrantPolicy::site(host, blockedSites);
}

bool BrowserShieldView::canRequest(const QString& host, const Inputs& inputs)
{
    if (site(host, inputs.blockedSites)) {
        return true;
    }
    const auto platform = BrowserShieldPolicy::platform(host);
    return (inputs.bridgeEnabled || inputs.hasSession) && (platform == u"youtube"_s || platform == u"x"_s);
}

QString BrowserShieldView::endLine(const std::optional<QDateTime>& endsAt)
{
    if (!endsAt || !endsAt->isValid()) {
        return u"Quando seu foco terminar, o site abre normalmente."_s;
    }
    const QTime local = endsAt->toLocalTime().time();
    return u"Seu foco termina às "_s + WeekSchedule::timeLabel(local.hour() * 60 + local.minute()) + u"."_s;
}

QString BrowserShieldView::detail(const QString& host, const Inputs& inputs, const std::optional<QDateTime>& endsAt)
{
    return site(host, inputs.blockedSites).value_or(host) + u" fica para depois. "_s + endLine(endsAt);
}

void BrowserShieldView::placeCard()
{
    m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
}

void BrowserShieldView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeCard();
}

void BrowserShieldView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), withOpacity(backdrop, backdropOpacity));
}

void BrowserShieldView::keyPressEvent(QKeyEvent* event)
{
    // "Voltar ao foco" is the default action.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_dismiss->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestravin
