#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace kestravin::test {

// A private X display for one test: Xvfb on a free display number (chosen by
// the server through -displayfd) with openbox managing it. Both processes end
// with the object.
class XDisplay {
public:
    XDisplay() = default;
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // Starts the server and the window manager and waits until the window
    // manager publishes its EWMH hints. On failure says why in `error`.
    bool start(QString* error);
    void stop();

    // ":N"
    QString name() const { return m_name; }
    // The calling process's environment with DISPLAY pointing here.
    QProcessEnvironment environment() const;

private:
    bool waitForWindowManager(int timeoutMs) const;

    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
    QString m_name;
};

} // namespace kestravin::test
