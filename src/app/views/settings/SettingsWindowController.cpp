#include "SettingsWindowController.h"

#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace kestravin {

SettingsWindowController& SettingsWindowController::shared()
{
    static SettingsWindowController controller;
    return controller;
}

void SettingsWindowController::show()
{
    if (!m_window) {
        m_window = new QWidget;
        m_window->setWindowTitle(u"Kestravin · Ajustes"_s);
        m_window->setFixedSize(820, 640);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace kestravin
