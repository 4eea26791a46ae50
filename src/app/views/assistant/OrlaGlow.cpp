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

void OrlaGlow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const AssistantScenes::GlowFrame shown = frame();
    const QPointF centre = QRectF(rect()).center();

    painter.save();
    painter.translate(centre);
    painter.scale(shown.scale, shown.scale);
    const QColor color = glowColor(BrandPalette::schemeOf(this));
    QRadialGradient gradient(QPointF(0, 0), glowSide / 2);
    const double inner = 4.0 / (glowSide / 2);
    gradient.setColorAt(0, withOpacity(color, shown.opacity));
    gradient.setColorAt(inner, withOpacity(color, shown.opacity));
    gradient.setColorAt(1, withOpacity(color, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(QPointF(0, 0), glowSide / 2, glowSide / 2);
    painter.restore();

    if (m_mascotSize > 0) {
        const QPointF topLeft = centre - QPointF(m_mascotSize / 2, m_mascotSize / 2);
        if (m_lit) {
            Firefly::paint(painter, topLeft, m_mascotSize);
        } else {
            // Greyed: most of the colour drained and partly see-through.
            QImage image(QSize(qCeil(m_mascotSize), qCeil(m_mascotSize)) * devicePixelRatioF(),
                QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(devicePixelRatioF());
            image.fill(Qt::transparent);
            {
                QPainter artwork(&image);
                artwork.setRenderHint(QPainter::Antialiasing);
                Firefly::paint(artwork, QPointF(0, 0), m_mascotSize);
            }
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = line[x];
                    const int grey = qGray(pixel);
                    const auto towards = [grey](int channel) { return qRound(grey + 0.35 * (channel - grey)); };
                    line[x] = qRgba(towards(qRed(pixel)), towards(qGreen(pixel)), towards(qBlue(pixel)), qAlpha(pixel));
                }
            }
            painter.setOpacity(0.75);
            painter.drawImage(topLeft, image);
        }
    }
}

} // namespace kestravin
