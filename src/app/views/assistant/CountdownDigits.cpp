#include "app/views/assistant/CountdownDigits.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace kestravin {

namespace {

// How far a character travels, as a fraction of the line's height.
constexpr double rollShare = 0.45;
constexpr int rollMs = 350;

} // namespace

CountdownDigits::CountdownDigits(QWidget* parent) : QWidget(parent)
{
    BrandAccessibility::setDecorative(this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

CountdownDigits::Frame CountdownDigits::frameAt(double progress)
{
    // Counting down: the new character drops in from above, the old one drops out.
    Frame frame;
    frame.enterOpacity = progress;
    frame.enterOffset = -(1.0 - progress);
    frame.leaveOpacity = 1.0 - progress;
    frame.leaveOffset = progress;
    return frame;
}

void CountdownDigits::setText(const QString& text)
{
    if (text == m_text) {
        return;
    }
    const QString before = m_text;
    const bool animate = !before.isEmpty() && isVisible() && !Appearance::shared().reduceMotion();
    for (Slot& slot : m_slots) {
        delete slot.roll;
    }
    m_slots.clear();
    // The old text lined up at the right, where the seconds are.
    const qsizetype shift = text.size() - before.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        Slot slot;
        slot.shown = text[i];
        const qsizetype old = i - shift;
        slot.leaving = old >= 0 && old < before.size() ? before[old] : QChar();
        if (animate && slot.leaving != slot.shown) {
            slot.roll = new BrandTween(0.0, this);
            connect(slot.roll, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
            slot.roll->animateTo(1.0, BrandMotion::brandCurve(), rollMs);
        }
        m_slots.append(slot);
    }
    m_text = text;
    updateGeometry();
    update();
}

bool CountdownDigits::isRolling(int index) const
{
    return index >= 0 && index < m_slots.size() && m_slots[index].roll && m_slots[index].roll->isAnimating();
}

double CountdownDigits::advance(QChar c) const
{
    const QFontMetricsF metrics(font());
    if (c.isDigit()) {
        // Digits of equal width, so the time does not shake as it counts.
        double widest = 0.0;
        for (char digit = '0'; digit <= '9'; ++digit) {
            widest = std::max(widest, metrics.horizontalAdvance(QChar::fromLatin1(digit)));
        }
        return widest;
    }
    return metrics.horizontalAdvance(c);
}

QSize CountdownDigits::sizeHint() const
{
    double width = 0.0;
    for (const QChar c : m_text) {
        width += advance(c);
    }
    return QSize(qCeil(width), qCeil(QFontMetricsF(font()).height()));
}

void CountdownDigits::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
}

void CountdownDigits::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setClipRect(rect());
    const double distance = QFontMetricsF(font()).height() * rollShare;
    double x = (width() - sizeHint().width()) / 2.0;
    for (const Slot& slot : m_slots) {
        const double cell = advance(slot.shown);
        const QRectF box(x, 0, cell, height());
        const double progress = slot.roll ? slot.roll->value() : 1.0;
        const Frame frame = frameAt(progress);
        if (progress < 1.0 && !slot.leaving.isNull()) {
            painter.setOpacity(frame.leaveOpacity);
            painter.drawText(box.translated(0, frame.leaveOffset * distance), Qt::AlignCenter, slot.leaving);
        }
        painter.setOpacity(frame.enterOpacity);
        painter.drawText(box.translated(0, frame.enterOffset * distance), Qt::AlignCenter, slot.shown);
        x += cell;
    }
}

} // namespace kestravin
