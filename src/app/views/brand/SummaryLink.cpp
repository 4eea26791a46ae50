#include "app/views/brand/SummaryLink.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/LinkPressStyle.h"

#include <QEnterEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int padding = 10;
constexpr int spacing = 4;
constexpr int chevronSide = 9;
constexpr int pillHeight = 30;

} // namespace

SummaryLink::SummaryLink(const QString& title, const QString& accessibilityText, QWidget* parent)
    : QAbstractButton(parent), m_press(nullptr), m_hover(0.0)
{
    BrandAccessibility::setPressable(this);
    m_press = new LinkPressStyle(this);
    setText(title);
    setAccessibleName(accessibleNameFor(title, accessibilityText));
    setFont(BrandFonts::font(12, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_hover, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QString SummaryLink::accessibleNameFor(const QString& title, const QString& accessibilityText)
{
    return accessibilityText.isEmpty() ? title + u" na etapa anterior"_s : accessibilityText;
}

double SummaryLink::pressScale() const
{
    return m_press->scale();
}

QSize SummaryLink::sizeHint() const
{
    const QFontMetrics metrics(font());
    return { padding + metrics.horizontalAdvance(text()) + spacing + chevronSide + padding, pillHeight };
}

void SummaryLink::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void SummaryLink::leaveEvent(QEvent* event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void SummaryLink::setHovered(bool hovered)
{
    const double target = hovered ? 1.0 : 0.0;
    if (Appearance::shared().reduceMotion()) {
        m_hover.jumpTo(target);
    } else {
        m_hover.animateTo(target, BrandMotion::brandCurve(), 160);
    }
}

void SummaryLink::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = m_press->scale();
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);

    const ColorScheme scheme = BrandPalette::schemeOf(this);
    const BrandPalette& palette = BrandPalette::of(scheme);
    const double hover = m_hover.value();
    const QRectF pill = QRectF(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(blend(BrandTokens::sunk(scheme), palette.paper, hover));
    painter.drawPath(BrandShapes::continuousRect(pill, 9));

    const QColor color = blend(palette.mutedInk, palette.ink, hover);
    const QFontMetrics metrics(font());
    const QRectF textRect(padding, 0, metrics.horizontalAdvance(text()), pill.height());
    painter.setFont(font());
    painter.setPen(color);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
    const double nudge = Appearance::shared().reduceMotion() ? 0.0 : 2.0 * hover;
    const QRectF chevron(
        textRect.right() + spacing + nudge, (pill.height() - chevronSide) / 2, chevronSide, chevronSide);
    BrandMotionIcon::paintSymbol(painter, u"chevron.right"_s, chevron, color, {});

    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette.focusRing, 2));
        painter.drawPath(BrandShapes::continuousRect(pill.adjusted(1, 1, -1, -1), 8));
    }
}

} // namespace kestravin
