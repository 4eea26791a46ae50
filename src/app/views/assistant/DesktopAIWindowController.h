#pragma once

#include "app/views/assistant/DesktopAIWindow.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestravin {

// Owns the one window in which the user asks the assistant for a short
// exception: made on first use and kept for the life of the process, so the
// form and the conversation survive closing it.
class DesktopAIWindowController : public QObject {
    Q_OBJECT
public:
    // Gives the window its services when it is first made.
    using ServicesMaker = std::function<DesktopAIView::Services()>;

    explicit DesktopAIWindowController(ServicesMaker services, QObject* parent = nullptr);

    // Over the application's services.
    static DesktopAIWindowController& shared();

    // Makes the window on first use (centred), clears the last answer when
    // nothing would be lost (the window was not on screen, no request runs
    // and no allowed exception is counting down), then shows it in front and
    // gives it the keyboard. Later showings keep the place the user left it in.
    void showWindow();

    QWidget* window() const;
    DesktopAIWindow* assistantWindow() const { return m_window; }

private:
    ServicesMaker m_makeServices;
    DesktopAIView::Services m_services;
    QPointer<DesktopAIWindow> m_window;
};

} // namespace kestravin
