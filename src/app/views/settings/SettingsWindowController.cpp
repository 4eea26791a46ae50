#include "SettingsWindowController.h"

#include "SettingsView.h"
#include "app/views/brand/KeyDownMonitor.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// The settings view as a window that hides when closed.
class SettingsWindow final : public SettingsView {
public:
    using SettingsView::SettingsView;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        DockPresence::windowClosed();
    }
};

} // namespace

SettingsWindowController& SettingsWindowController::shared()
{
    static SettingsWindowController controller;
    return controller;
}

SettingsView* SettingsWindowController::view() const
{
    return qobject_cast<SettingsView*>(m_window.data());
}

void SettingsWindowController::show()
{
    if (!m_window) {
        auto* window = new SettingsWindow(m_pages ? *m_pages : SettingsPages::standard());
        window->setWindowTitle(u"Kestravin · Ajustes"_s);
        // Titled, closable and minimisable; no maximise and a fixed size.
        window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setFixedSize(SettingsView::contentWidth, SettingsView::contentHeight);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window->move(screen->availableGeometry().center() - window->rect().center());
        }
        m_window = window;
    }
    m_window->show();
    if (m_window->isMinimized()) {
        m_window->showNormal();
    }
    m_window->raise();
    m_window->activateWindow();
}

} // namespace kestravin
