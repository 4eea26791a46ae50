#include "app/views/assistant/DesktopAIWindowController.h"

#include "app/models/AssistantScenes.h"
#include "app/platform/Clock.h"
#include "app/views/assistant/AssistantPort.h"
#include "app/views/assistant/DesktopAIWindow.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestravin {

DesktopAIWindowController::DesktopAIWindowController(ServicesMaker services, QObject* parent)
    : QObject(parent), m_makeServices(std::move(services))
{
}

QWidget* DesktopAIWindowController::window() const
{
    return m_window;
}

void DesktopAIWindowController::showWindow()
{
    const bool visible = m_window && m_window->isVisible();
    if (!m_window) {
        m_services = m_makeServices();
        m_window = new DesktopAIWindow(m_services);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
        }
    }
    AssistantPort& port = *m_services.port;
    if (AssistantScenes::resetsOnShow(visible, port.busy(), port.accessUntil(), m_services.clock->now())) {
        port.startOver();
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace kestravin
