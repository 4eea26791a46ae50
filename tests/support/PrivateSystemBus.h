#pragma once

#include "DBusDaemonProcess.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

namespace kestravin::testing {

// A private dbus-daemon of the system type, in its own temporary folder, for
// tests that need the daemon's bus policy: root may own com.kestravin.helper,
// root and the uids in `callerUids` may call it, and everyone else is refused
// by the bus with AccessDenied. When the test itself is not root, its own uid
// may also own the name and call, so that the daemon can run as that user. The folder and socket are world-traversable
// so that a client started under another uid (setpriv) can connect.
//
//     PrivateSystemBus bus({ 65534 });
//     ASSERT_TRUE(bus.start()) << bus.errorString();
//     qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().toUtf8());
class PrivateSystemBus {
public:
    explicit PrivateSystemBus(QList<uint> callerUids = {});
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    // Writes the configuration and starts dbus-daemon; false with
    // errorString() set when it did not come up within a few seconds.
    bool start();
    void stop();

    QString address() const { return m_address; }
    QString socketPath() const;
    // The temporary folder that holds the socket and the configuration; tests
    // may put their own files there (it is removed with the fixture).
    QString directory() const;
    QString errorString() const { return m_error; }

    // The policy installed with the daemon, which this bus includes.
    static QString packagedPolicyPath();

private:
    QList<uint> m_callerUids;
    QTemporaryDir m_dir;
    DBusDaemonProcess m_daemon;
    QString m_address;
    QString m_error;
};

} // namespace kestravin::testing
