#pragma once

#include "DBusDaemonProcess.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kestravin::testing {

// A dbus-daemon of its own for one test, listening in a private temporary
// folder. Everyone may own names and call anyone: the tests play the daemon,
// the desktop's services and the application on it. For the daemon's real
// policy use PrivateSystemBus.
class PrivateBus {
public:
    enum class Type { system, session };

    explicit PrivateBus(Type type = Type::system);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !m_daemon.address().isEmpty(); }
    QString address() const { return m_daemon.address(); }
    QString error() const { return m_error.isEmpty() ? m_daemon.errorString() : m_error; }

    // A named connection to this bus, closed when the bus goes.
    QDBusConnection connect(const QString& name);

private:
    QTemporaryDir m_dir;
    DBusDaemonProcess m_daemon;
    QString m_error;
    QStringList m_connectionNames;
};

} // namespace kestravin::testing
