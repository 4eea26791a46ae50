#pragma once

#include <QProcess>
#include <QString>

namespace kestravin::testing {

// One dbus-daemon run with a configuration file of the test's own; the bus
// fixtures write the configuration and leave the process handling here.
class DBusDaemonProcess {
public:
    DBusDaemonProcess() = default;
    ~DBusDaemonProcess();
    DBusDaemonProcess(const DBusDaemonProcess&) = delete;
    DBusDaemonProcess& operator=(const DBusDaemonProcess&) = delete;

    // Starts the daemon and waits for the address it prints; false with
    // errorString() set when it did not come up within ten seconds.
    bool start(const QString& configPath);
    void stop();

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QString address() const { return m_address; }
    QString errorString() const { return m_error; }

private:
    QProcess m_process;
    QString m_address;
    QString m_error;
};

} // namespace kestravin::testing
