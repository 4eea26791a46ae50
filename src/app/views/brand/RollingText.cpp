#include "app/views/brand/RollingText.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/PlainLabel.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr double rollDistance = 9.0;

} // namespace

RollingText::RollingText(const QString& text, QWidget* parent) : QWidget(parent), m_text(text), m_roll(1.0)
{
    setAccessibleName(text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_roll, &BrandTween::valueChanged, this, [this] {
        if (!m_roll.isAnimating() && m_roll.value() >= 1.0) {
            m_leaving.clear();
            updateGeometry();
        }
        update();
    });
}

void RollingText::setText(const QString& text, double direction)
{
    m_direction = direction;
    if (text == m_text) {
        return;
    }
    // A change mid-roll starts from the text shown now; the older one is dropped.
    m_leaving = m_text;
    m_text = text;
    setAccessibleName(text);
    m_rollReduced = Appearance::shared().reduceMotion();
    m_roll.jumpTo(0.0);
    if (m_rollReduced) {
        m_roll.animateTo(1.0, QEasingCurve::Linear, 120);
    } else {
        m_roll.animateTo(1.0, BrandMotion::brandCurve(), 260);
    }
    updateGeometry();
    update();
}

RollingText::Frame RollingText::frameAt(double progress, double direction, bool reduceMotion)
{
    Frame frame;
    frame.enterOpacity = progress;
    frame.leaveOpacity = 1.0 - progress;
    if (!reduceMotion) {
        frame.enterOffset = (1.0 - progress) * rollDistance * direction;
        frame.leaveOffset = -progress * rollDistance * direction;
    }
    return frame;
}

QSize RollingText::sizeHint() const
{
    // While two texts cross, the label is as wide as the wider, so neither is cut
    // at the sides.
    const QFontMetricsF metrics(font());
    double width = metrics.horizontalAdvance(m_text);
    if (!m_leaving.isEmpty()) {
        width = std::max(width, metrics.horizontalAdvance(m_leaving));
    }
    return QSize(qCeil(width), qCeil(metrics.height()));
}

void RollingText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setClipRect(rect());
    const Frame now = frame();
    if (!m_leaving.isEmpty() && now.leaveOpacity > 0.0) {
        painter.setOpacity(now.leaveOpacity);
        painter.drawText(QRectF(rect()).translated(0, now.leaveOffset), Qt::AlignCenter, m_leaving);
    }
    painter.setOpacity(now.enterOpacity);
    painter.drawText(QRectF(rect()).translated(0, now.enterOffset), Qt::AlignCenter, m_text);
}

double RollingTime::Memory::update(int m)
{
    if (last && *last != m) {
        direction = *last < m ? 1.0 : -1.0;
    }
    last = m;
    return direction;
}

RollingTime::RollingTime(int minute, QWidget* parent) : RollingText(label(minute), parent), m_minute(minute)
{
    // The first minute is shown, not rolled in.
    m_memory.update(minute);
}

void RollingTime::setMinute(int minute)
{
    m_minute = minute;
    const double direction = m_memory.update(minute);
    setText(label(minute), direction);
}

QString RollingTime::label(int minute)
{
    const int hours = minute / 60;
    const int minutes = minute % 60;
    QString text = QString::number(hours) + u'h';
    if (minutes != 0) {
        text += QStringLiteral("%1").arg(minutes, 2, 10, QLatin1Char('0'));
    }
    return text;
}

RollingRange::RollingRange(int start, int end, QWidget* parent)
    : QWidget(parent), m_start(new RollingTime(start)), m_end(new RollingTime(end))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_start, 0, Qt::AlignVCenter);
    layout->addWidget(plainLabel(u"\u2013"_s), 0, Qt::AlignVCenter);
    layout->addWidget(m_end, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Read as one label, start to end, not as three pieces.
    setAccessibleName(text());
}

void RollingRange::setRange(int start, int end)
{
    m_start->setMinute(start);
    m_end->setMinute(end);
    setAccessibleName(text());
}

QString RollingRange::text() const
{
    return m_start->text() + u"\u2013"_s + m_end->text();
}

} // namespace kestravin
