#pragma once

#include "PrivateBus.h"
#include "support/XDisplay.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kestravin::test {

// Everything a screen reader would find on a desktop, private to one test
// program: a session bus of its own, the accessibility bus that
// at-spi-bus-launcher starts for it (with the registry), and an Xvfb display
// with openbox. `start` also points this process at them (session bus,
// DISPLAY, the xcb platform, QT_LINUX_ACCESSIBILITY_ALWAYS_ON), so call it
// before the QApplication is made; the processes end with the object.
class AccessibleSession {
public:
    AccessibleSession();
    ~AccessibleSession();
    AccessibleSession(const AccessibleSession&) = delete;
    AccessibleSession& operator=(const AccessibleSession&) = delete;

    bool start(QString* error);

    // The accessibility bus, as org.a11y.Bus hands it to applications.
    QString accessibilityBusAddress() const { return m_a11yAddress; }
    // The private session bus and the X display, for programs the test starts.
    QString sessionBusAddress() const { return m_session->address(); }
    QString displayName() const { return m_display.name(); }

private:
    std::unique_ptr<kestravin::testing::PrivateBus> m_session;
    QTemporaryDir m_runtimeDir;
    QProcess m_launcher;
    XDisplay m_display;
    QString m_a11yAddress;
};

} // namespace kestravin::test
