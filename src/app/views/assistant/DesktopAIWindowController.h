#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kestravin {

// Owns the one window in which the user asks the assistant for a short
// exception: made on first use, reused afterwards.
class DesktopAIWindowController : public QObject {
    Q_OBJECT
public:
    static DesktopAIWindowController& shared();

    // Makes the window on first use, shows it in front and gives it the
    // keyboard.
    void showWindow();

    QWidget* window() const { return m_window; }

private:
    QPointer<QWidget> m_window;
};

} // namespace kestravin
