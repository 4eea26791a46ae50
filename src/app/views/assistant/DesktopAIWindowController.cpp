#include "app/views/assistant/DesktopAIWindowController.h"

#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace kestravin {

DesktopAIWindowController& DesktopAIWindowController::shared()
{
    static DesktopAIWindowController controller;
    return controller;
}

void DesktopAIWindowController::showWindow()
{
    if (!m_window) {
        m_window = new QWidget;
        m_window->setWindowTitle(u"Pedir ajuda à Orla"_s);
        m_window->setAccessibleName(u"Pedir ajuda à Orla"_s);
        m_window->resize(520, 600);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace kestravin
