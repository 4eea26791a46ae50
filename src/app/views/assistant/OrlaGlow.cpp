#include "app/views/assistant/OrlaGlow.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/Firefly.h"

#include <QPainter>
#include <QRadialGradient>
#include <QtMath>

namespace kestravin {

namespace {

constexpr double glowSide = 220;

} // namespace

QColor desktopAIBackdrop(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? QColor(0x1C, 0x1B, 0x19) : QColor(0xFB, 0xFA, 0xF8);
}

QColor OrlaGlow::glowColor(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? QColor(0xF8, 0xBD, 0x52) : QColor(0xB1, 0x7A, 0x20);
}

OrlaGlow::OrlaGlow(Mode mode, double mascotSize, QWidget* parent, PikoClock clock)
    : QWidget(parent),
      m_mode(mode),
      m_mascotSize(mascotSize),
      m_clock(std::move(clock)),
      m_started(m_clock()),
      m_opened(0.0),
      m_frames(33)
{
    BrandAccessibility::setDecorative(this);
    connect(&m_frames, &PikoFrameClock::tick, this, qOverload<>(&QWidget::update));
    connect(&m_opened, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, &OrlaGlow::follow);
}

void OrlaGlow::restart(Mode mode)
{
    m_mode = mode;
    m_started = m_clock();
    m_opened.jumpTo(0.0);
    if (isVisible()) {
        follow();
        if (m_mode == Mode::open) {
            if (Appearance::shared().reduceMotion()) {
                m_opened.jumpTo(1.0);
            } else {
                m_opened.animateTo(1.0, BrandMotion::brandCurve(), AssistantScenes::openingMs);
            }
        }
    }
    update();
}

void OrlaGlow::setMascotLit(bool lit)
{
    m_lit = lit;
    update();
}

void OrlaGlow::setMascotShown(bool shown)
{
    if (m_mascotShown != shown) {
        m_mascotShown = shown;
        update();
    }
}

QRectF OrlaGlow::mascotRect() const
{
    QRectF square(0, 0, m_mascotSize, m_mascotSize);
    square.moveCenter(QRectF(rect()).center());
    return square;
}

QImage OrlaGlow::mascotPicture()
{
    const QImage& mascot = cachedMascot(devicePixelRatioF());
    if (m_lit) {
        return mascot;
    }
    QImage faded(mascot.size(), QImage::Format_ARGB32_Premultiplied);
    faded.setDevicePixelRatio(mascot.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.75);
    painter.drawImage(QPointF(0, 0), mascot);
    return faded;
}

AssistantScenes::GlowFrame OrlaGlow::frame() const
{
    return AssistantScenes::glowFrame(
        m_mode, m_clock() - m_started, m_opened.value(), Appearance::shared().reduceMotion());
}

QSize OrlaGlow::sizeHint() const
{
    return { 200, 200 };
}

void OrlaGlow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    restart(m_mode);
}

void OrlaGlow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_frames.setRunning(false);
}

void OrlaGlow::follow()
{
    // A switch of the colour scheme only repaints; the phase and the opening go on.
    m_frames.setRunning(isVisible() && AssistantScenes::glowAnimates(m_mode, Appearance::shared().reduceMotion()));
    update();
}

const QImage& OrlaGlow::cachedLight(ColorScheme scheme, double ratio)
{
    // Drawn once at full strength and the largest scale; each frame only
    // scales it down and fades it.
    if (m_light.isNull() || m_lightScheme != scheme || !qFuzzyCompare(m_light.devicePixelRatio(), ratio)) {
        const double side = glowSide * largestScale;
        m_light = QImage(QSize(qCeil(side * ratio), qCeil(side * ratio)), QImage::Format_ARGB32_Premultiplied);
        m_light.setDevicePixelRatio(ratio);
        m_light.fill(Qt::transparent);
        QPainter painter(&m_light);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = glowColor(scheme);
        const double radius = side / 2;
        QRadialGradient gradient(QPointF(radius, radius), radius);
        gradient.setColorAt(0, color);
        gradient.setColorAt(4.0 / (glowSide / 2), color);
        gradient.setColorAt(1, withOpacity(color, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(QPointF(radius, radius), radius, radius);
        m_lightScheme = scheme;
    }
    return m_light;
}

const QImage& OrlaGlow::cachedMascot(double ratio)
{
    if (m_mascot.isNull() || m_mascotLitCached != m_lit || !qFuzzyCompare(m_mascot.devicePixelRatio(), ratio)) {
        m_mascot = QImage(
            QSize(qCeil(m_mascotSize * ratio), qCeil(m_mascotSize * ratio)), QImage::Format_ARGB32_Premultiplied);
        m_mascot.setDevicePixelRatio(ratio);
        m_mascot.fill(Qt::transparent);
        {
            QPainter artwork(&m_mascot);
            artwork.setRenderHint(QPainter::Antialiasing);
            Firefly::paint(artwork, QPointF(0, 0), m_mascotSize);
        }
        if (!m_lit) {
            // Greyed: most of the colour drained.
            for (int y = 0; y < m_mascot.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(m_mascot.scanLine(y));
                for (int x = 0; x < m_mascot.width(); ++x) {
                    const QRgb pixel = line[x];
                    const int grey = qGray(pixel);
                    const auto towards = [grey](int channel) { return qRound(grey + 0.35 * (channel - grey)); };
                    line[x] = qRgba(towards(qRed(pixel)), towards(qGreen(pixel)), towards(qBlue(pixel)), qAlpha(pixel));
                }
            }
        }
        m_mascotLitCached = m_lit;
    }
    return m_mascot;
}

void OrlaGlow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const ColorScheme scheme = BrandPalette::schemeOf(this);
    const AssistantScenes::GlowFrame shown = frame();
    const QPointF centre = QRectF(rect()).center();
    const double ratio = devicePixelRatioF();

    // The light is a soft gradient: scaled without smoothing it looks the same,
    // at a fraction of the cost (smooth scaling also wakes Qt's painting
    // threads on every frame).
    const QImage& light = cachedLight(scheme, ratio);
    const double side = glowSide * shown.scale;
    painter.setOpacity(shown.opacity);
    painter.drawImage(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side), light);

    if (m_mascotSize > 0 && m_mascotShown) {
        painter.setOpacity(m_lit ? 1.0 : 0.75);
        painter.drawImage(mascotRect().topLeft(), cachedMascot(ratio));
    }
}

} // namespace kestravin
