#include "app/views/assistant/DesktopAIWindowController.h"

#include "app/views/brand/WindowPresenter.h"

using namespace Qt::StringLiterals;

namespace kestravin {

DesktopAIWindowController& DesktopAIWindowController::shared()
{
    static DesktopAIWindowController controller;
    return controller;
}

void DesktopAIWindowController::showWindow()
{
    presentWindow(m_window, [] {
        auto* window = new QWidget;
        window->setWindowTitle(u"Pedir ajuda à Orla"_s);
        window->setAccessibleName(u"Pedir ajuda à Orla"_s);
        window->resize(520, 600);
        return window;
    });
}

} // namespace kestravin
