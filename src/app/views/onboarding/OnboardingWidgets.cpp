#include "app/views/onboarding/OnboardingWidgets.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/RollingText.h"
#include "app/views/mascot/PikoRenderer.h"
#include "app/views/mascot/PikoSprite.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int firstDayStep = 1;
constexpr int lastDayStep = 4;

bool reduceMotion()
{
    return Appearance::shared().reduceMotion();
}

ItemLook mixLooks(const ItemLook& a, const ItemLook& b, double t)
{
    return { a.opacity + (b.opacity - a.opacity) * t, a.offsetY + (b.offsetY - a.offsetY) * t,
        a.blur + (b.blur - a.blur) * t };
}

} // namespace

void keepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    if (!policy.retainSizeWhenHidden()) {
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
}

const OnboardingColors& OnboardingColors::of(ColorScheme scheme)
{
    static const OnboardingColors light = [] {
        const BrandPalette& p = BrandPalette::of(ColorScheme::Light);
        return OnboardingColors { p.paper, p.ink, p.mutedInk, p.hairline, QColor(0xB1, 0x7A, 0x20) };
    }();
    static const OnboardingColors dark = [] {
        const BrandPalette& p = BrandPalette::of(ColorScheme::Dark);
        return OnboardingColors { p.paper, p.ink, p.mutedInk, p.hairline, QColor(0xF8, 0xBD, 0x52) };
    }();
    return scheme == ColorScheme::Dark ? dark : light;
}

const OnboardingColors& OnboardingColors::forWidget(const QWidget* widget)
{
    return of(BrandPalette::schemeOf(widget));
}

// ---------------------------------------------------------------------------

StageEffect::StageEffect(QObject* parent) : QGraphicsEffect(parent)
{
    setEnabled(false);
}

bool StageEffect::atRest() const
{
    return m_look == ItemLook {} && m_offsetX == 0.0;
}

void StageEffect::setLook(const ItemLook& look, double offsetX)
{
    if (look == m_look && offsetX == m_offsetX) {
        return;
    }
    m_look = look;
    m_offsetX = offsetX;
    setEnabled(!atRest());
    updateBoundingRect();
    update();
}

QRectF StageEffect::boundingRectFor(const QRectF& rect) const
{
    const double pad = 2.0 * m_look.blur;
    return rect.translated(m_offsetX, m_look.offsetY).adjusted(-pad, -pad, pad, pad).united(rect);
}

void StageEffect::draw(QPainter* painter)
{
    if (m_look.opacity <= 0.0) {
        return;
    }
    QPoint offset;
    if (m_look.blur <= 0.0) {
        const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        painter->save();
        painter->setOpacity(painter->opacity() * m_look.opacity);
        painter->drawPixmap(QPointF(offset) + QPointF(m_offsetX, m_look.offsetY), pixmap);
        painter->restore();
        return;
    }
    const QPixmap pixmap = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    blurImage(image, m_look.blur * ratio);
    painter->save();
    painter->setWorldTransform(QTransform());
    painter->setOpacity(painter->opacity() * m_look.opacity);
    painter->drawImage(QPointF(offset) + QPointF(m_offsetX, m_look.offsetY) * ratio, image);
    painter->restore();
}

// ---------------------------------------------------------------------------

LookAnimator::LookAnimator(QWidget* target, const ItemLook& initial)
    : QObject(target), m_effect(new StageEffect(target)), m_from(initial), m_to(initial), m_progress(1.0)
{
    target->setGraphicsEffect(m_effect);
    apply();
    connect(&m_progress, &BrandTween::valueChanged, this, [this] { apply(); });
}

ItemLook LookAnimator::current() const
{
    return mixLooks(m_from, m_to, m_progress.value());
}

void LookAnimator::jumpTo(const ItemLook& look)
{
    m_from = look;
    m_to = look;
    m_progress.jumpTo(1.0);
    apply();
}

void LookAnimator::animateTo(const ItemLook& look, const QEasingCurve& curve, int durationMs, int delayMs)
{
    if (look == m_to && (m_progress.isAnimating() || current() == look)) {
        return;
    }
    m_from = current();
    m_to = look;
    m_progress.jumpTo(0.0);
    m_progress.animateTo(1.0, curve, durationMs, delayMs);
    apply();
}

void LookAnimator::apply()
{
    const ItemLook look = current();
    m_effect->setLook(look);
    // Fully faded, the widget is hidden (keeping its place): an effect that
    // draws nothing would leave the area of an opaque child, such as a scroll
    // area's viewport, unpainted.
    if (auto* target = qobject_cast<QWidget*>(parent())) {
        keepPlaceWhenHidden(target);
        target->setVisible(look.opacity > 0.0);
    }
}

// ---------------------------------------------------------------------------

namespace {
const char* const riseVisibleProperty = "kestravinRiseVisible";
}

RiseIn::RiseIn(QWidget* target, int order)
    : QObject(target), m_target(target), m_order(order), m_animator(target, ItemLook {})
{
    target->installEventFilter(this);
    follow(false);
}

bool RiseIn::riseVisible(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant value = w->property(riseVisibleProperty);
        if (value.isValid()) {
            return value.toBool();
        }
    }
    return true;
}

void RiseIn::setRiseVisible(QWidget* root, bool visible)
{
    root->setProperty(riseVisibleProperty, visible);
    for (RiseIn* item : root->findChildren<RiseIn*>()) {
        item->follow(true);
    }
}

bool RiseIn::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_target && event->type() == QEvent::ParentChange) {
        follow(false);
    }
    return false;
}

void RiseIn::follow(bool animated)
{
    if (!m_target) {
        return;
    }
    const bool visible = riseVisible(m_target);
    const bool reduce = reduceMotion();
    const ItemLook look = ItemLook::riseIn(visible, reduce);
    m_shown = visible;
    if (animated && visible && !reduce) {
        m_animator.animateTo(look, BrandMotion::brandCurve(), 420, riseInDelayMs(m_order));
    } else {
        m_animator.jumpTo(look);
    }
}

RiseIn* riseIn(QWidget* widget, int order)
{
    return new RiseIn(widget, order);
}

// ---------------------------------------------------------------------------

WelcomeItem::WelcomeItem(QWidget* target, int index, double readyDelay, WelcomePhase phase)
    : QObject(target),
      m_index(index),
      m_readyDelay(readyDelay),
      m_phase(phase),
      m_animator(target, ItemLook::welcomeItem(phase, reduceMotion()))
{
}

void WelcomeItem::setPhase(WelcomePhase phase)
{
    if (phase == m_phase) {
        return;
    }
    m_phase = phase;
    const bool reduce = reduceMotion();
    const ItemLook look = ItemLook::welcomeItem(phase, reduce);
    if (reduce) {
        m_animator.animateTo(look, BrandMotion::easeOutCurve(), 200);
    } else if (phase == WelcomePhase::leaving) {
        m_animator.animateTo(look, BrandMotion::easeInCurve(), 220, m_index * 40);
    } else {
        m_animator.animateTo(look, BrandMotion::brandCurve(), 700, static_cast<int>(std::lround(m_readyDelay * 1000)));
    }
}

WelcomeItem* welcomeItem(QWidget* widget, WelcomePhase phase, int index, double readyDelay)
{
    return new WelcomeItem(widget, index, readyDelay, phase);
}

// ---------------------------------------------------------------------------

StepHeader::StepHeader(const QString& title, const std::optional<QString>& subtitle, QWidget* parent)
    : QWidget(parent), m_title(new QLabel(title, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 10, 0, 20);
    layout->setSpacing(6);
    QFont titleFont = OnboardingType::font(26, 650);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.8);
    m_title->setFont(titleFont);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setWordWrap(true);
    layout->addWidget(m_title);
    if (subtitle) {
        m_subtitle = new QLabel(*subtitle, this);
        m_subtitle->setTextFormat(Qt::PlainText);
        QFont font = m_subtitle->font();
        font.setPixelSize(14);
        m_subtitle->setFont(font);
        m_subtitle->setWordWrap(true);
        m_subtitle->setMaximumWidth(560);
        layout->addWidget(m_subtitle);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    applyColors();
    connect(&Appearance::shared(), &Appearance::changed, this, &StepHeader::applyColors);
}

void StepHeader::setSubtitle(const QString& subtitle)
{
    if (m_subtitle) {
        m_subtitle->setText(subtitle);
    }
}

void StepHeader::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        applyColors();
    }
    QWidget::changeEvent(event);
}

void StepHeader::applyColors()
{
    const OnboardingColors& colors = OnboardingColors::forWidget(this);
    QPalette titlePalette = m_title->palette();
    titlePalette.setColor(QPalette::WindowText, colors.ink);
    m_title->setPalette(titlePalette);
    if (m_subtitle) {
        QPalette palette = m_subtitle->palette();
        palette.setColor(QPalette::WindowText, colors.quiet);
        m_subtitle->setPalette(palette);
    }
}

// ---------------------------------------------------------------------------

namespace {
constexpr double dotSide = 6.0;
constexpr double dotLabelSpacing = 7.0;
constexpr double connectorWidth = 4.0 + 12.0 + 8.0;
constexpr double rowTop = 8.0;
constexpr double rowBottom = 12.0;
constexpr double itemPadding = 4.0;
constexpr int pulseMs = 600;
constexpr int tripMs = 560;
} // namespace

OnboardingProgress::OnboardingProgress(int step, QWidget* parent) : QWidget(parent), m_step(step)
{
    setFont(OnboardingType::font(11, 550));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    BrandAccessibility::setPaintedText(this);
    setAccessibleName(OnboardingCopy::progressText(step));
    connect(&m_pulse, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_trip, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void OnboardingProgress::setStep(int step)
{
    if (step == m_step) {
        return;
    }
    const auto isDay = [](int s) { return s >= firstDayStep && s <= lastDayStep; };
    if (isDay(m_step) && isDay(step) && !reduceMotion()) {
        m_tripFrom = m_step;
        m_tripTo = step;
        m_trip.jumpTo(0.0);
        m_trip.animateTo(1.0, BrandMotion::cubicCurve(0.3, 0.4, 0.25, 1.0), tripMs);
    }
    m_step = step;
    setAccessibleName(OnboardingCopy::progressText(step));
    update();
}

void OnboardingProgress::setDotHidden(bool hidden)
{
    if (hidden != m_dotHidden) {
        m_dotHidden = hidden;
        update();
    }
}

void OnboardingProgress::pulse()
{
    if (reduceMotion()) {
        return;
    }
    // From a full-size, 80 % disc under the dot out to 26 points, fading.
    m_pulse.jumpTo(0.0);
    m_pulse.animateTo(1.0, BrandMotion::easeOutCurve(), pulseMs);
}

double OnboardingProgress::pulseScale() const
{
    return 1.0 + (26.0 / 6.0 - 1.0) * m_pulse.value();
}

double OnboardingProgress::pulseOpacity() const
{
    return 0.8 * (1.0 - m_pulse.value());
}

bool OnboardingProgress::animating() const
{
    return m_pulse.isAnimating() || m_trip.isAnimating();
}

QList<OnboardingProgress::Item> OnboardingProgress::layoutItems() const
{
    const QFontMetricsF metrics(font());
    double total = 0.0;
    QList<double> labelWidths;
    for (int s = firstDayStep; s <= lastDayStep; ++s) {
        labelWidths << metrics.horizontalAdvance(OnboardingCopy::stepName(s));
        total += dotSide + dotLabelSpacing + labelWidths.last() + (s > firstDayStep ? connectorWidth : 0.0);
    }
    const double rowHeight = std::max(dotSide, metrics.height());
    const double centreY = rowTop + itemPadding + rowHeight / 2.0;
    double x = std::round((width() - total) / 2.0);
    QList<Item> items;
    for (int s = firstDayStep; s <= lastDayStep; ++s) {
        if (s > firstDayStep) {
            x += connectorWidth;
        }
        const QRectF dot(x, centreY - dotSide / 2.0, dotSide, dotSide);
        x += dotSide + dotLabelSpacing;
        items.append({ s, dot, QPointF(x, centreY - metrics.height() / 2.0 + metrics.ascent()) });
        x += labelWidths[s - firstDayStep];
    }
    return items;
}

QPointF OnboardingProgress::dotCentre(int step) const
{
    for (const Item& item : layoutItems()) {
        if (item.step == step) {
            return item.dot.center();
        }
    }
    return QPointF(width() / 2.0, height() / 2.0);
}

QPointF OnboardingProgress::lightPosition() const
{
    const QPointF from = dotCentre(m_tripFrom);
    const QPointF to = dotCentre(m_tripTo);
    const double t = m_trip.value();
    // A low arc above the row.
    const QPointF control((from.x() + to.x()) / 2.0, std::min(from.y(), to.y()) - 14.0);
    const double u = 1.0 - t;
    return u * u * from + 2.0 * u * t * control + t * t * to;
}

QSize OnboardingProgress::sizeHint() const
{
    const QFontMetricsF metrics(font());
    double total = 0.0;
    for (int s = firstDayStep; s <= lastDayStep; ++s) {
        total += dotSide + dotLabelSpacing + metrics.horizontalAdvance(OnboardingCopy::stepName(s))
            + (s > firstDayStep ? connectorWidth : 0.0);
    }
    const double rowHeight = std::max(dotSide, metrics.height());
    return QSize(static_cast<int>(std::ceil(total)),
        static_cast<int>(std::ceil(rowTop + 2 * itemPadding + rowHeight + rowBottom)));
}

void OnboardingProgress::hideEvent(QHideEvent* event)
{
    // Nothing moves on a hidden row.
    m_pulse.jumpTo(1.0);
    m_trip.jumpTo(1.0);
    QWidget::hideEvent(event);
}

void OnboardingProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const OnboardingColors& colors = OnboardingColors::forWidget(this);
    const QList<Item> items = layoutItems();
    painter.setFont(font());
    for (const Item& item : items) {
        const bool current = item.step == m_step;
        const bool complete = item.step < m_step;
        if (item.step > firstDayStep) {
            const QRectF rule(item.dot.left() - 8.0 - 12.0, item.dot.center().y() - 0.5, 12.0, 1.0);
            painter.fillRect(rule, colors.hairline);
        }
        if (current && m_pulse.isAnimating()) {
            const double side = dotSide * pulseScale();
            QRectF disc(0, 0, side, side);
            disc.moveCenter(item.dot.center());
            painter.setPen(Qt::NoPen);
            painter.setBrush(withOpacity(BrandTokens::accent(), pulseOpacity()));
            painter.drawEllipse(disc);
        }
        if (!(current && m_dotHidden)) {
            if (current) {
                QRadialGradient glow(item.dot.center(), dotSide / 2.0 + 4.0);
                glow.setColorAt(0.0, withOpacity(BrandTokens::accent(), 0.55));
                glow.setColorAt(1.0, withOpacity(BrandTokens::accent(), 0.0));
                painter.setPen(Qt::NoPen);
                painter.setBrush(glow);
                painter.drawEllipse(item.dot.center(), dotSide / 2.0 + 4.0, dotSide / 2.0 + 4.0);
            }
            const QColor fill = current ? colors.gold : complete ? colors.quiet : QColor(Qt::transparent);
            const QColor stroke = current ? colors.gold : complete ? colors.quiet : colors.hairline;
            painter.setBrush(fill);
            painter.setPen(QPen(stroke, 1.0));
            painter.drawEllipse(item.dot.adjusted(0.5, 0.5, -0.5, -0.5));
        }
        painter.setPen(current ? colors.ink : colors.quiet);
        painter.drawText(item.labelOrigin, OnboardingCopy::stepName(item.step));
    }
    if (m_trip.isAnimating()) {
        const QPointF at = lightPosition();
        QRadialGradient light(at, 7.0);
        light.setColorAt(0.0, withOpacity(BrandTokens::accent(), 0.95));
        light.setColorAt(0.4, withOpacity(BrandTokens::accent(), 0.5));
        light.setColorAt(1.0, withOpacity(BrandTokens::accent(), 0.0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(light);
        painter.drawEllipse(at, 7.0, 7.0);
    }
}

// ---------------------------------------------------------------------------

QuietButton::QuietButton(const QString& text, Look look, QWidget* parent) : QAbstractButton(parent), m_look(look)
{
    // Before the text, whose change would build the accessible interface.
    BrandAccessibility::setPressable(this);
    setText(text);
    QFont f = font();
    f.setPixelSize(13);
    if (look == Look::night) {
        f.setWeight(QFont::DemiBold);
    }
    setFont(f);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QSize QuietButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text()) + 24;
    if (m_look == Look::night) {
        return QSize(std::max(176, textWidth), std::max(36, metrics.height() + 14));
    }
    return QSize(textWidth, std::max(36, metrics.height() + 12));
}

bool QuietButton::event(QEvent* event)
{
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave) {
        m_hovered = event->type() == QEvent::HoverEnter;
        update();
    }
    return QAbstractButton::event(event);
}

void QuietButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font());
    if (m_look == Look::night) {
        paintNight(painter);
    } else {
        paintDay(painter);
    }
}

void QuietButton::paintDay(QPainter& painter)
{
    const ColorScheme scheme = BrandPalette::schemeOf(this);
    const OnboardingColors& colors = OnboardingColors::of(scheme);
    const QRectF pill(0, 0, sizeHint().width(), height());
    if (m_hovered) {
        painter.fillPath(BrandShapes::continuousRect(pill, 10), BrandTokens::sunk(scheme));
    }
    if (hasFocus()) {
        painter.setPen(QPen(BrandPalette::of(scheme).focusRing, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(BrandShapes::continuousRect(pill.adjusted(1, 1, -1, -1), 9));
    }
    painter.setPen(m_hovered ? colors.ink : colors.quiet);
    painter.drawText(pill, Qt::AlignCenter, text());
}

void QuietButton::paintNight(QPainter& painter)
{
    // The night screens keep their own colours in both schemes.
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath pill = BrandShapes::continuousRect(box, 12);
    if (m_hovered) {
        painter.fillPath(pill, withOpacity(Qt::white, 0.05));
    }
    painter.setPen(QPen(hasFocus() ? BrandTokens::accent() : QColor(69, 68, 58), hasFocus() ? 2.0 : 1.0));
    painter.drawPath(pill);
    painter.setPen(brightened(QColor(217, 211, 195), isDown() ? -0.04 : 0.0));
    painter.drawText(box, Qt::AlignCenter, text());
}

// ---------------------------------------------------------------------------

OnboardingFooter::OnboardingFooter(QWidget* parent)
    : QWidget(parent),
      m_back(new QuietButton(u"Voltar"_s, QuietButton::Look::day, this)),
      m_hint(new RollingText({}, this)),
      m_next(new BrandButton(u"Continuar"_s, true, this)),
      m_activity(new PikoActivity(false, m_next))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 14, 24, 14);
    layout->setSpacing(16);
    QSizePolicy backPolicy = m_back->sizePolicy();
    backPolicy.setRetainSizeWhenHidden(true);
    m_back->setSizePolicy(backPolicy);
    layout->addWidget(m_back, 1, Qt::AlignLeft | Qt::AlignVCenter);
    QFont hintFont = m_hint->font();
    hintFont.setPixelSize(12);
    m_hint->setFont(hintFont);
    m_hint->setMaximumWidth(420);
    layout->addWidget(m_hint, 1, Qt::AlignCenter);
    m_next->setSymbol(u"arrow.right"_s, BrandIconMotion::Forward);
    m_next->setMinimumWidth(126 + 40);
    layout->addWidget(m_next, 1, Qt::AlignRight | Qt::AlignVCenter);
    BrandAccessibility::setDecorative(m_activity);
    m_activity->hide();
    connect(m_back, &QAbstractButton::clicked, this, &OnboardingFooter::backClicked);
    connect(m_next, &QAbstractButton::clicked, this, &OnboardingFooter::nextClicked);
    connect(&Appearance::shared(), &Appearance::changed, this, [this] {
        QPalette palette = m_hint->palette();
        palette.setColor(QPalette::WindowText, OnboardingColors::forWidget(this).quiet);
        m_hint->setPalette(palette);
        update();
    });
    QPalette palette = m_hint->palette();
    palette.setColor(QPalette::WindowText, OnboardingColors::forWidget(this).quiet);
    m_hint->setPalette(palette);
    m_state.nextLabel = u"Continuar"_s;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void OnboardingFooter::setState(const State& state)
{
    if (state == m_state) {
        return;
    }
    m_state = state;
    m_back->setVisible(!state.first);
    m_back->setEnabled(!state.first);
    m_hint->setText(state.hint, 1.0);
    m_hint->setAccessibleName(state.hint);
    m_next->setText(state.nextLabel);
    m_next->setEnabled(state.canNext);
    m_next->setAccessibleName(state.installing ? u"Aguardando a permissão do sistema"_s : state.nextLabel);
    m_activity->setVisible(state.installing);
    m_activity->setActive(state.installing);
    placeActivity();
}

void OnboardingFooter::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeActivity();
}

void OnboardingFooter::placeActivity()
{
    // Before the title, inside the accent fill.
    m_activity->move(12, (m_next->height() - m_activity->height()) / 2);
}

void OnboardingFooter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRectF(0, 0, width(), 1), withOpacity(OnboardingColors::forWidget(this).hairline, 0.7));
}

// ---------------------------------------------------------------------------

DawnOverlay::DawnOverlay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    BrandAccessibility::setDecorative(this);
}

DawnOverlay::~DawnOverlay() = default;

void DawnOverlay::start(std::function<QImage()> night, const QRectF& origin, const QPointF& target)
{
    m_night = std::move(night);
    m_origin = origin;
    m_target = target;
    m_progress = 0.0;
    m_renderer.reset();
    update();
}

void DawnOverlay::setProgress(double progress)
{
    m_progress = progress;
    update();
}

DawnFrame DawnOverlay::frame() const
{
    return DawnFrame::at(m_progress, m_origin, m_target, QSizeF(size()));
}

QImage DawnOverlay::punchedNight() const
{
    QImage image = m_night ? m_night() : QImage();
    if (image.isNull()) {
        return image;
    }
    const DawnFrame f = frame();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    // Opaque inside the clear radius removes the night; the ring out to the
    // soft edge removes less and less.
    QRadialGradient hole(f.light, f.softEdge);
    hole.setColorAt(0.0, Qt::black);
    hole.setColorAt(f.clearRadius / f.softEdge, Qt::black);
    hole.setColorAt(1.0, Qt::transparent);
    painter.setPen(Qt::NoPen);
    painter.setBrush(hole);
    painter.drawEllipse(f.light, f.softEdge, f.softEdge);
    return image;
}

void DawnOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage night = punchedNight();
    if (!night.isNull()) {
        painter.drawImage(QRectF(QPointF(), night.deviceIndependentSize()), night);
    }
    if (m_origin.width() <= 0.0) {
        return;
    }
    const double ratio = devicePixelRatioF();
    if (!m_renderer || m_renderer->devicePixelRatio() != ratio) {
        m_renderer = std::make_unique<PikoRenderer>(m_origin.width(), ratio);
    }
    const DawnFrame f = frame();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(f.mascot);
    painter.rotate(f.tilt);
    painter.scale(f.scale, f.scale);
    const QSizeF sprite = m_renderer->size();
    m_renderer->paint(painter, QPointF(-sprite.width() / 2.0, -sprite.height() / 2.0),
        PikoWings::anglesAt(pikoMonotonicSeconds()), 1.0);
}

} // namespace kestravin
