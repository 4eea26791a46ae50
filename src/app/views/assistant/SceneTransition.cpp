#include "app/views/assistant/SceneTransition.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/Firefly.h"

#include <QPainter>

namespace kestravin {

namespace SceneMotion {

SceneLook entering(double progress, bool reduceMotion)
{
    return { progress, reduceMotion ? 1.0 : 0.97 + 0.03 * progress, true };
}

SceneLook leaving(double progress, bool reduceMotion)
{
    return { 1.0 - progress, reduceMotion ? 1.0 : 1.0 + 0.02 * progress, false };
}

int durationMs(bool reduceMotion)
{
    return reduceMotion ? 180 : 500;
}

QEasingCurve curve(bool reduceMotion)
{
    return reduceMotion ? BrandMotion::easeOutCurve() : BrandMotion::brandCurve();
}

} // namespace SceneMotion

namespace {

void paintLook(QPainter* painter, const QPixmap& picture, const QPointF& at, const SceneLook& look)
{
    const QSizeF size = picture.deviceIndependentSize();
    const QPointF anchor = at + QPointF(size.width() / 2.0, look.anchoredAtTop ? 0.0 : size.height() / 2.0);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * look.opacity);
    painter->translate(anchor);
    painter->scale(look.scale, look.scale);
    painter->translate(-anchor);
    painter->drawPixmap(at, picture);
    painter->restore();
}

} // namespace

SceneEffect::SceneEffect(QObject* parent) : QGraphicsEffect(parent)
{
}

void SceneEffect::setLook(const SceneLook& look)
{
    if (look == m_look) {
        return;
    }
    m_look = look;
    update();
}

void SceneEffect::draw(QPainter* painter)
{
    if (m_look.opacity >= 1.0 && qFuzzyCompare(m_look.scale, 1.0)) {
        drawSource(painter);
        return;
    }
    if (m_look.opacity <= 0.0) {
        return;
    }
    QPoint offset;
    const QPixmap picture = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    paintLook(painter, picture, offset, m_look);
}

SceneTransition::SceneTransition(QWidget* parent) : QWidget(parent)
{
    BrandAccessibility::setDecorative(this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    connect(&m_progress, &BrandTween::valueChanged, this, &SceneTransition::step);
}

void SceneTransition::play(const QPixmap& leaving, QWidget* entering, std::optional<Flight> flight)
{
    finish();
    m_reduced = Appearance::shared().reduceMotion();
    m_leaving = leaving;
    m_entering = entering;
    // Under reduce motion the mascot comes and goes with its scene.
    m_flight = m_reduced ? std::nullopt : std::move(flight);
    if (m_flight && m_flight->showLanded) {
        m_flight->showLanded(false);
    }
    m_effect = new SceneEffect(entering);
    entering->setGraphicsEffect(m_effect);
    m_progress.jumpTo(0.0);
    step();
    setGeometry(parentWidget()->rect());
    show();
    raise();
    m_progress.animateTo(1.0, SceneMotion::curve(m_reduced), SceneMotion::durationMs(m_reduced));
}

void SceneTransition::finish()
{
    if (m_progress.isAnimating()) {
        m_progress.jumpTo(1.0);
    }
    if (m_entering && m_entering->graphicsEffect() == m_effect) {
        m_entering->setGraphicsEffect(nullptr);
    }
    if (m_flight && m_flight->showLanded) {
        m_flight->showLanded(true);
    }
    m_flight.reset();
    m_entering = nullptr;
    m_leaving = QPixmap();
    hide();
}

void SceneTransition::step()
{
    if (m_effect) {
        m_effect->setLook(enteringLook());
    }
    update();
    if (m_progress.value() >= 1.0 && isVisible()) {
        // Once the tween has left its last step.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_progress.value() >= 1.0 && !m_progress.isAnimating()) {
                    finish();
                }
            },
            Qt::QueuedConnection);
    }
}

SceneLook SceneTransition::enteringLook() const
{
    return SceneMotion::entering(m_progress.value(), m_reduced);
}

std::optional<QRectF> SceneTransition::mascotRect() const
{
    if (!m_flight || !isVisible()) {
        return std::nullopt;
    }
    const double t = m_progress.value();
    const QRectF& a = m_flight->from;
    const QRectF& b = m_flight->to;
    return QRectF(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t, a.width() + (b.width() - a.width()) * t,
        a.height() + (b.height() - a.height()) * t);
}

void SceneTransition::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_leaving.isNull()) {
        paintLook(&painter, m_leaving, QPointF(), SceneMotion::leaving(m_progress.value(), m_reduced));
    }
    if (const auto mascot = mascotRect()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_flight->fromPicture.isNull() || m_flight->toPicture.isNull()) {
            Firefly::paint(painter, mascot->topLeft(), mascot->width());
            return;
        }
        const double t = m_progress.value();
        painter.setOpacity(1.0 - t);
        painter.drawImage(*mascot, m_flight->fromPicture);
        painter.setOpacity(t);
        painter.drawImage(*mascot, m_flight->toPicture);
    }
}

} // namespace kestravin
