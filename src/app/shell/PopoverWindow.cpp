#include "app/shell/PopoverWindow.h"

#include "app/shell/PopoverPlacement.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/SettledLayout.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// The popover background of the two schemes.
QColor background()
{
    return Appearance::shared().isDark() ? QColor(0x1C, 0x1B, 0x19) : QColor(0xFB, 0xFA, 0xF8);
}

} // namespace

PopoverWindow::PopoverWindow(Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_clock(clock)
{
    setWindowTitle(u"Kestravin"_s);
    setAccessibleName(u"Kestravin"_s);
    setFixedWidth(popoverWidth);
    connect(&Appearance::shared(), &Appearance::colorSchemeChanged, this, qOverload<>(&QWidget::update));
}

void PopoverWindow::setContent(QWidget* content)
{
    if (m_content) {
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        // Placed by hand, not by a layout: a layout centres a column that is
        // shorter than the window, and the window follows the column anyway.
        content->setParent(this);
        content->setGeometry(rect());
        content->show();
    }
}

void PopoverWindow::toggle(QPoint anchor)
{
    if (isVisible()) {
        hide();
        return;
    }
    if (m_closedByFocusLossAt.isValid() && m_closedByFocusLossAt.msecsTo(m_clock.now()) < reopenGuardMs) {
        m_closedByFocusLossAt = {};
        return;
    }
    showAt(anchor);
}

void PopoverWindow::showAt(QPoint anchor)
{
    m_anchor = anchor.isNull() ? QCursor::pos() : anchor;
    fitToContent();
    show();
    // Showing refreshes the content (its texts follow the clock): measure again.
    fitToContent();
    raise();
    activateWindow();
    if (m_content) {
        m_content->setFocus(Qt::PopupFocusReason);
    }
}

void PopoverWindow::fitToContent()
{
    QScreen* screen = QGuiApplication::screenAt(m_anchor);
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    int contentHeight = 0;
    if (m_content) {
        // Settle the content's pending layout work first, so that a text set
        // a moment ago counts with the lines it wraps into.
        settleLayouts(m_content);
        contentHeight
            = m_content->hasHeightForWidth() ? m_content->heightForWidth(popoverWidth) : m_content->sizeHint().height();
    }
    const int height = std::clamp(contentHeight, 1, std::min(maximumHeight, available.height()));
    const QRect geometry = popoverGeometry(m_anchor, QSize(popoverWidth, height), available);
    if (geometry != this->geometry() || height != minimumHeight() || height != QWidget::maximumHeight()) {
        setFixedHeight(height);
        setGeometry(geometry);
    }
}

bool PopoverWindow::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // The content changed what it needs (a section came or went, a text
    // wrapped): the open window follows.
    if (event->type() == QEvent::LayoutRequest && isVisible()) {
        fitToContent();
    }
    return handled;
}

void PopoverWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
        m_closedByFocusLossAt = m_clock.now();
        hide();
    }
}

void PopoverWindow::keyPressEvent(QKeyEvent* event)
{
    // Controls that use Escape themselves (a field clearing its text) take it
    // first; what they leave reaches the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_content) {
        m_content->setGeometry(rect());
    }
}

void PopoverWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), background());
}

} // namespace kestravin
