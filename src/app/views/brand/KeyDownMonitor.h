#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;

namespace kestravin {

// Lets a view receive the key presses of its own window, and swallow those it
// handles, without holding keyboard focus. While active it watches every key
// press of the application, and acts only on those aimed at a widget of its
// anchor's window; the handler returns true to swallow the press. It belongs to
// its anchor and is gone with it.
class KeyDownMonitor : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(QKeyEvent*)>;

    KeyDownMonitor(QWidget* anchor, Handler handler);

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    void setActive(bool active);
    bool isActive() const { return m_installed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_anchor;
    Handler m_handler;
    bool m_installed = false;
    // A press that is not handled travels up the widget tree and passes the
    // filter again at every step; it is judged once.
    const QEvent* m_lastEvent = nullptr;
    QPointer<QWidget> m_lastReceiver;
};

// Places a key-down monitor on `view`, active or not, and returns it.
KeyDownMonitor* onKeyDown(QWidget* view, bool active, KeyDownMonitor::Handler perform);

// Called when a settings or onboarding window closes.
class DockPresence : public QObject {
    Q_OBJECT
public:
    static DockPresence& shared();

    // Later on the GUI thread (after the closing window has gone), looks for a
    // visible, titled, non-popup window; when none is left the application is
    // back to living in the tray only, which `trayOnly` announces. Safe from any
    // thread.
    static void windowClosed();
    // Whether a visible ordinary window (titled, not a tool window or popup) is open.
    static bool hasOrdinaryWindow();

Q_SIGNALS:
    void trayOnly();
};

} // namespace kestravin
