#include "app/views/mascot/PikoSprite.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandTokens.h"

#include <QElapsedTimer>
#include <QPaintEngine>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace kestravin {

double pikoMonotonicSeconds()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

PikoFrameClock::PikoFrameClock(int intervalMs, QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PikoFrameClock::tick);
}

void PikoFrameClock::setRunning(bool running)
{
    if (running && !m_timer.isActive()) {
        m_timer.start();
    } else if (!running && m_timer.isActive()) {
        m_timer.stop();
    }
}

const PikoRenderer& PikoRendererCache::get(double devicePixelRatio)
{
    if (!m_renderer || m_renderer->devicePixelRatio() != devicePixelRatio) {
        m_renderer = std::make_unique<PikoRenderer>(m_width, devicePixelRatio);
    }
    return *m_renderer;
}

namespace {

// The pixel ratio of what is really painted on: a widget rendered into an image
// (screenshots, grab) paints through a redirection to that image.
double paintRatio(QPainter& painter, const QWidget* widget)
{
    if (QPaintEngine* engine = painter.paintEngine(); engine != nullptr && engine->paintDevice() != nullptr) {
        return engine->paintDevice()->devicePixelRatioF();
    }
    return widget->devicePixelRatioF();
}

double spillFor(double width)
{
    // Same reach as the renderer's, without building one.
    const double height = width / 1.5;
    const double halo = (0.22 * height + 40.0) / 2.0 + 34.0 - 0.16 * height;
    return std::ceil(std::max(halo, 22.0));
}

} // namespace

PikoSprite::PikoSprite(double width, bool flying, bool lit, QWidget* parent)
    : QWidget(parent),
      m_cache(width),
      m_flying(flying),
      m_lit(lit),
      m_litAmount(lit ? 1.0 : 0.0),
      m_clock(pikoMonotonicSeconds)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_frames, &PikoFrameClock::tick, this, qOverload<>(&QWidget::update));
    connect(&m_litAmount, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::reduceMotionChanged, this, [this] {
        updateTimer();
        update();
    });
}

double PikoSprite::spill() const
{
    return spillFor(spriteWidth());
}

QRectF PikoSprite::spriteRect() const
{
    QRectF frame(0, 0, spriteWidth(), spriteHeight());
    frame.moveCenter(QRectF(rect()).center());
    return frame;
}

QSize PikoSprite::sizeHint() const
{
    return QSize(qCeil(spriteWidth() + 2 * spill()), qCeil(spriteHeight() + 2 * spill()));
}

void PikoSprite::setFlying(bool flying)
{
    if (flying != m_flying) {
        m_flying = flying;
        updateTimer();
        update();
    }
}

void PikoSprite::setLit(bool lit)
{
    if (lit != m_lit) {
        m_lit = lit;
        m_litAmount.animateTo(lit ? 1.0 : 0.0, BrandMotion::easeOutCurve(), 600);
    }
}

bool PikoSprite::isAnimating() const
{
    return m_flying && !Appearance::shared().reduceMotion();
}

PikoWings::Angles PikoSprite::wingAngles() const
{
    return isAnimating() ? PikoWings::anglesAt(m_clock()) : PikoWings::Angles {};
}

void PikoSprite::updateTimer()
{
    m_frames.setRunning(isAnimating() && isVisible());
}

void PikoSprite::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void PikoSprite::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void PikoSprite::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const PikoRenderer& renderer = m_cache.get(paintRatio(painter, this));
    renderer.paint(painter, spriteRect().topLeft(), wingAngles(), m_litAmount.value());
}

FlyingPiko::FlyingPiko(const PikoArc& arc, double width, bool lit, QWidget* parent)
    : QWidget(parent),
      m_arc(arc),
      m_cache(width),
      m_lit(lit),
      m_litAmount(lit ? 1.0 : 0.0),
      m_clock(pikoMonotonicSeconds)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    connect(&m_frames, &PikoFrameClock::tick, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::reduceMotionChanged, this, [this] {
        updateTimer();
        update();
    });
}

void FlyingPiko::setProgress(double progress)
{
    if (progress == m_progress) {
        return;
    }
    m_progress = progress;
    updateTimer();
    // While the frame clock runs it paces the repaints; otherwise repaint now.
    if (!m_frames.isRunning()) {
        update();
    }
}

void FlyingPiko::setLit(bool lit)
{
    m_lit = lit;
    m_litAmount = lit ? 1.0 : 0.0;
    update();
}

void FlyingPiko::setRestOrigin(const QPointF& origin)
{
    m_restOrigin = origin;
    update();
}

QPointF FlyingPiko::restOrigin() const
{
    if (m_restOrigin) {
        return *m_restOrigin;
    }
    const double w = m_cache.width();
    return QPointF((width() - w) / 2.0, (height() - w / 1.5) / 2.0);
}

PikoPose FlyingPiko::currentPose() const
{
    return m_progress >= 1.0 ? PikoPose::rest : m_arc.pose(m_progress);
}

PikoWings::Angles FlyingPiko::wingAngles() const
{
    const bool flapping = isFlying() && !Appearance::shared().reduceMotion();
    return flapping ? PikoWings::anglesAt(m_clock()) : PikoWings::Angles {};
}

void FlyingPiko::updateTimer()
{
    m_frames.setRunning(isFlying() && !Appearance::shared().reduceMotion());
}

QSize FlyingPiko::sizeHint() const
{
    const double w = m_cache.width();
    return QSize(qCeil(w + 2 * spillFor(w)), qCeil(w / 1.5 + 2 * spillFor(w)));
}

void FlyingPiko::paintFrame(QPainter& painter, double devicePixelRatio)
{
    const PikoPose pose = currentPose();
    // Mid-turn the sprite is edge-on: nothing to draw (and no inverse to take).
    if (std::abs(pose.scaleX) < 1e-3 || std::abs(pose.scale) < 1e-3 || pose.opacity <= 0.0) {
        return;
    }
    const PikoRenderer& renderer = m_cache.get(devicePixelRatio);
    const QPointF origin = restOrigin();
    const QPointF centre = origin + QPointF(renderer.width() / 2.0, renderer.height() / 2.0);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(pose.transform(centre), true);
    if (pose.opacity < 1.0 || pose.blur > 0.0) {
        // Fading and blurring act on the whole sprite at once, as one picture.
        const QImage image = renderer.composed(pose, wingAngles(), m_litAmount);
        QRectF target(QPointF(), image.deviceIndependentSize());
        target.moveCenter(centre);
        painter.setOpacity(pose.opacity);
        painter.drawImage(target, image);
    } else {
        renderer.paint(painter, origin, wingAngles(), m_litAmount);
    }
    painter.restore();
}

void FlyingPiko::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintFrame(painter, paintRatio(painter, this));
}

NightBackground::NightBackground(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRectF NightBackground::glowRect(const QSizeF& size)
{
    QRectF glow(0, 0, 1.2 * size.width(), size.height());
    glow.moveCenter(QPointF(0.5 * size.width(), 0.38 * size.height()));
    return glow;
}

void NightBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), baseColor());
    const QRectF glow = glowRect(size());
    if (glow.isEmpty()) {
        return;
    }
    QRadialGradient gradient(QPointF(0, 0), 1.0);
    QColor warm(216, 161, 60);
    warm.setAlphaF(0.08f);
    QColor clear = warm;
    clear.setAlphaF(0.0f);
    gradient.setColorAt(0.0, warm);
    gradient.setColorAt(1.0, clear);
    QBrush brush(gradient);
    // The unit circle stretched to the glow's ellipse: clear at its edge.
    brush.setTransform(QTransform::fromScale(glow.width() / 2.0, glow.height() / 2.0)
        * QTransform::fromTranslate(glow.center().x(), glow.center().y()));
    painter.fillRect(rect(), brush);
}

PikoActivity::PikoActivity(bool active, QWidget* parent)
    : QWidget(parent), m_active(active), m_frames(33), m_clock(pikoMonotonicSeconds)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_frames, &PikoFrameClock::tick, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, [this] {
        if (swingWanted() != m_swingWanted) {
            restartSwing();
        }
        update();
    });
}

bool PikoActivity::swingWanted() const
{
    return m_active && !Appearance::shared().reduceMotion();
}

void PikoActivity::setActive(bool active)
{
    if (active == m_active) {
        return;
    }
    m_active = active;
    if (swingWanted() != m_swingWanted) {
        restartSwing();
    }
    update();
}

void PikoActivity::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    restartSwing();
}

void PikoActivity::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    ++m_generation;
    setTraveling(false);
}

void PikoActivity::restartSwing()
{
    m_swingWanted = swingWanted();
    // A newer start (or a stop) makes the pending steps of the older one void.
    const quint64 generation = ++m_generation;
    setTraveling(false);
    if (!m_swingWanted || !isVisible()) {
        return;
    }
    QTimer::singleShot(300, this, [this, generation] {
        if (generation != m_generation) {
            return;
        }
        m_started = m_clock();
        setTraveling(true);
        QTimer::singleShot(2700, this, [this, generation] {
            if (generation == m_generation) {
                setTraveling(false);
            }
        });
    });
}

void PikoActivity::setTraveling(bool traveling)
{
    m_traveling = traveling;
    m_frames.setRunning(m_traveling && m_active && !Appearance::shared().reduceMotion());
    update();
}

double PikoActivity::offsetAt(double elapsed, bool traveling, bool reduceMotion)
{
    if (!traveling || reduceMotion) {
        return 0.0;
    }
    return 4.0 * std::sin(2.0 * std::numbers::pi * elapsed / 0.9);
}

double PikoActivity::offset() const
{
    return offsetAt(m_clock() - m_started, m_traveling, Appearance::shared().reduceMotion());
}

QColor PikoActivity::dotColor() const
{
    return Appearance::shared().isDark() ? BrandTokens::accent() : BrandPalette::of(ColorScheme::Light).accentRing;
}

void PikoActivity::paintEvent(QPaintEvent*)
{
    if (!m_active) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dotColor());
    const QPointF centre = QRectF(rect()).center() + QPointF(offset(), 0);
    painter.drawEllipse(centre, 1.5, 1.5);
}

} // namespace kestravin
