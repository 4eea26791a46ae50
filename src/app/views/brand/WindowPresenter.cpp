#include "app/views/brand/WindowPresenter.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestravin {

QWidget* presentWindow(QPointer<QWidget>& window, const std::function<QWidget*()>& make)
{
    if (!window) {
        window = make();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window->move(screen->availableGeometry().center() - window->rect().center());
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace kestravin
