#include "app/shell/PopoverWindow.h"

#include "app/shell/PopoverPlacement.h"
#include "app/views/brand/Appearance.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

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
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_clock(clock),
      m_layout(new QVBoxLayout(this))
{
    setWindowTitle(u"Kestravin"_s);
    setAccessibleName(u"Kestravin"_s);
    m_layout->setContentsMargins(0, 0, 0, 0);
    setFixedWidth(popoverWidth);
    connect(&Appearance::shared(), &Appearance::colorSchemeChanged, this, qOverload<>(&QWidget::update));
}

void PopoverWindow::setContent(QWidget* content)
{
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        m_layout->addWidget(content);
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
    if (anchor.isNull()) {
        anchor = QCursor::pos();
    }
    QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int contentHeight = m_content ? m_content->sizeHint().height() : 0;
    const int height = std::clamp(contentHeight, 1, std::min(maximumHeight, available.height()));
    setFixedHeight(height);
    setGeometry(popoverGeometry(anchor, QSize(popoverWidth, height), available));
    show();
    raise();
    activateWindow();
    if (m_content) {
        m_content->setFocus(Qt::PopupFocusReason);
    }
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

void PopoverWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), background());
}

} // namespace kestravin
