#include "app/views/brand/ChoiceChips.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/LinkPressStyle.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>

namespace kestravin {

namespace {

constexpr double chipRadius = 9.0;
constexpr int chipHeight = 30;
constexpr int chipSpacing = 6;
constexpr BrandSpring chipGlide { 0.32, 0.86 };

constexpr double segmentRadius = 11.0;
constexpr double wellRadius = 14.0;
constexpr int wellPadding = 3;
constexpr int segmentPadding = 16;
constexpr int segmentMinimumHeight = 32;

QRectF lerp(const QRectF& a, const QRectF& b, double t)
{
    return QRectF(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t, a.width() + (b.width() - a.width()) * t,
        a.height() + (b.height() - a.height()) * t);
}

} // namespace

ChoiceButton::ChoiceButton(const QString& label, const QFont& font, double radius, int horizontalPadding,
    int minimumHeight, bool pressScale, QWidget* parent)
    : QAbstractButton(parent), m_radius(radius), m_padding(horizontalPadding), m_minimumHeight(minimumHeight)
{
    setText(label);
    setFont(font);
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    if (pressScale) {
        m_press = new LinkPressStyle(this);
    }
    connect(&m_selected, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
}

void ChoiceButton::setSelected(bool selected, int durationMs)
{
    setChecked(selected);
    const double target = selected ? 1.0 : 0.0;
    if (target == m_selected.target()) {
        return;
    }
    if (durationMs <= 0) {
        m_selected.jumpTo(target);
    } else {
        m_selected.animateTo(target, BrandMotion::easeOutCurve(), durationMs);
    }
}

double ChoiceButton::pressScale() const
{
    return m_press != nullptr ? m_press->scale() : 1.0;
}

QSize ChoiceButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(
        qCeil(metrics.horizontalAdvance(text()) + 2 * m_padding), std::max(m_minimumHeight, qCeil(metrics.height())));
}

void ChoiceButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const QPointF centre = QRectF(rect()).center();
    const double scale = pressScale();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.setFont(font());
    painter.setPen(blend(palette.mutedInk, palette.ink, m_selected.value()));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

bool ChoiceButton::hitButton(const QPoint& pos) const
{
    return BrandShapes::continuousRect(rect(), m_radius).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

ChoiceRow::ChoiceRow(QWidget* parent) : QWidget(parent), m_glide(1.0)
{
    connect(&m_glide, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void ChoiceRow::addButton(ChoiceButton* button)
{
    const int index = count();
    m_buttons.append(button);
    connect(button, &QAbstractButton::clicked, this, [this, index] { pick(index); });
}

void ChoiceRow::setCurrentIndex(int index)
{
    select(index, false);
}

void ChoiceRow::pick(int index)
{
    select(index, true);
    Q_EMIT picked(index);
}

void ChoiceRow::select(int index, bool animated)
{
    if (index < 0 || index >= count()) {
        index = -1;
    }
    const bool moving = animated && index != m_current && m_current >= 0 && index >= 0;
    const QRectF from = pillRect();
    const bool changed = index != m_current;
    m_current = index;
    const int fade = animated ? labelFadeMs() : 0;
    for (int i = 0; i < count(); ++i) {
        m_buttons[i]->setSelected(i == index, fade);
    }
    if (moving) {
        m_pillFrom = from;
        m_glide.jumpTo(0.0);
        glide(m_glide);
    } else {
        m_glide.jumpTo(1.0);
    }
    update();
    if (changed) {
        Q_EMIT currentIndexChanged(index);
    }
}

QRectF ChoiceRow::pillRect() const
{
    if (m_current < 0) {
        return {};
    }
    const QRectF target = m_buttons[m_current]->geometry();
    if (m_glide.value() >= 1.0 && !m_glide.isAnimating()) {
        return target;
    }
    return lerp(m_pillFrom, target, m_glide.value());
}

ChoiceChips::ChoiceChips(const QStringList& labels, int currentIndex, QWidget* parent) : ChoiceRow(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(chipSpacing);
    const QFont font = BrandFonts::font(12, QFont::Medium);
    for (const QString& label : labels) {
        auto* button = new ChoiceButton(label, font, chipRadius, 0, chipHeight, true, this);
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        button->setFixedHeight(chipHeight);
        layout->addWidget(button, 1);
        addButton(button);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(chipHeight);
    setCurrentIndex(currentIndex);
}

QSize ChoiceChips::sizeHint() const
{
    int width = 0;
    for (int i = 0; i < count(); ++i) {
        width += button(i)->sizeHint().width() + 24;
    }
    return QSize(width + chipSpacing * std::max(0, count() - 1), chipHeight);
}

void ChoiceChips::glide(BrandTween& tween)
{
    if (Appearance::shared().reduceMotion()) {
        tween.jumpTo(1.0);
    } else {
        tween.springTo(1.0, chipGlide);
    }
}

int ChoiceChips::labelFadeMs() const
{
    return Appearance::shared().reduceMotion() ? 0 : 160;
}

void ChoiceChips::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    for (int i = 0; i < count(); ++i) {
        const QRectF face = button(i)->geometry();
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.paper);
        painter.drawPath(BrandShapes::continuousRect(face, chipRadius));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette.hairline, 1.0));
        painter.drawPath(BrandShapes::strokeInside(face, chipRadius, 1.0));
    }
    const QRectF pill = pillRect();
    if (!pill.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.highlight);
        painter.drawPath(BrandShapes::continuousRect(pill, chipRadius));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(withOpacity(BrandTokens::accent(), 0.7), 1.0));
        painter.drawPath(BrandShapes::strokeInside(pill, chipRadius, 1.0));
    }
}

SegmentedSwitch::SegmentedSwitch(const QStringList& labels, int currentIndex, QWidget* parent) : ChoiceRow(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(wellPadding, wellPadding, wellPadding, wellPadding);
    layout->setSpacing(0);
    const QFont font = BrandFonts::font(13, QFont::DemiBold);
    for (const QString& label : labels) {
        auto* button = new ChoiceButton(label, font, segmentRadius, segmentPadding, segmentMinimumHeight, false, this);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        layout->addWidget(button, 0, Qt::AlignVCenter);
        addButton(button);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCurrentIndex(currentIndex);
}

void SegmentedSwitch::glide(BrandTween& tween)
{
    if (Appearance::shared().reduceMotion()) {
        tween.jumpTo(1.0);
    } else {
        tween.animateTo(1.0, BrandMotion::brandCurve(), 380);
    }
}

void SegmentedSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const QRectF well = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrandTokens::sunk(Appearance::shared().colorScheme()));
    painter.drawPath(BrandShapes::continuousRect(well, wellRadius));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withOpacity(palette.hairline, 0.7), 1.0));
    painter.drawPath(BrandShapes::strokeInside(well, wellRadius, 1.0));

    const QRectF pill = pillRect();
    if (pill.isEmpty()) {
        return;
    }
    // A soft one-point shadow below the pill.
    painter.setPen(Qt::NoPen);
    const QColor shadow(0x28, 0x1E, 0x0A);
    painter.setBrush(withOpacity(shadow, 0.05));
    painter.drawPath(BrandShapes::continuousRect(pill.adjusted(-0.5, 0.5, 0.5, 1.5), segmentRadius + 0.5));
    painter.setBrush(withOpacity(shadow, 0.08));
    painter.drawPath(BrandShapes::continuousRect(pill.translated(0, 1), segmentRadius));
    painter.setBrush(palette.paper);
    painter.drawPath(BrandShapes::continuousRect(pill, segmentRadius));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withOpacity(palette.hairline, 0.7), 1.0));
    painter.drawPath(BrandShapes::strokeInside(pill, segmentRadius, 1.0));
}

} // namespace kestravin
