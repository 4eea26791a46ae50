#include "app/views/brand/KeyDownMonitor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

namespace kestravin {

KeyDownMonitor::KeyDownMonitor(QWidget* anchor, Handler handler)
    : QObject(anchor), m_anchor(anchor), m_handler(std::move(handler))
{
}

void KeyDownMonitor::setActive(bool active)
{
    if (active == m_installed) {
        return;
    }
    m_installed = active;
    if (active) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

bool KeyDownMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    if (!m_anchor || m_anchor->window() == nullptr || !m_handler) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    auto* receiver = static_cast<QWidget*>(watched);
    const bool propagating = event == m_lastEvent && m_lastReceiver && m_lastReceiver != receiver
        && receiver->isAncestorOf(m_lastReceiver);
    m_lastEvent = event;
    m_lastReceiver = receiver;
    if (propagating) {
        return false;
    }
    if (receiver->window() != m_anchor->window()) {
        return false;
    }
    return m_handler(key);
}

KeyDownMonitor* onKeyDown(QWidget* view, bool active, KeyDownMonitor::Handler perform)
{
    auto* monitor = new KeyDownMonitor(view, std::move(perform));
    monitor->setActive(active);
    return monitor;
}

DockPresence& DockPresence::shared()
{
    static DockPresence* instance = [] {
        auto* presence = new DockPresence;
        // Its queued checks must run on the GUI thread, whoever asked first.
        presence->moveToThread(QCoreApplication::instance()->thread());
        return presence;
    }();
    return *instance;
}

bool DockPresence::hasOrdinaryWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* window : windows) {
        const Qt::WindowType type = window->windowType();
        const bool ordinary = type == Qt::Window || type == Qt::Dialog;
        const bool titled = !window->windowFlags().testFlag(Qt::FramelessWindowHint);
        if (window->isVisible() && ordinary && titled) {
            return true;
        }
    }
    return false;
}

void DockPresence::windowClosed()
{
    QTimer::singleShot(0, &shared(), [] {
        if (!hasOrdinaryWindow()) {
            Q_EMIT shared().trayOnly();
        }
    });
}

} // namespace kestravin
