#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kestravin::testing {

// The real daemon binary, started on a private bus with its own hosts and
// configuration files. Its standard output is collected line by line.
//
//     HelperDaemonProcess daemon(bus.address(), hostsPath, configPath);
//     ASSERT_TRUE(daemon.start()) << daemon.errorString();
class HelperDaemonProcess {
public:
    HelperDaemonProcess(QString busAddress, QString hostsPath, QString configPath);
    ~HelperDaemonProcess();
    HelperDaemonProcess(const HelperDaemonProcess&) = delete;
    HelperDaemonProcess& operator=(const HelperDaemonProcess&) = delete;

    // The daemon built with this tree.
    static QString defaultProgram();

    void setProgram(const QString& program) { m_program = program; }
    // Extra environment for the daemon, for example TZ or the test hooks
    // KESTRAVIN_HELPER_CLOCK_OFFSET (seconds added to the clock) and
    // KESTRAVIN_HELPER_WATCH_INTERVAL_MS (the self-replacement watch).
    void setEnvironmentVariable(const QString& name, const QString& value);

    // Starts the daemon and waits until it owns its name on the bus.
    bool start(int timeoutMs = 20000);
    // Ends it with SIGTERM (as a crash or a kill would) and waits.
    void kill();
    bool waitForExit(int timeoutMs);
    bool isRunning() const;
    int exitCode() const;
    QProcess::ExitStatus exitStatus() const;
    // The running daemon's process id (0 when none), for signals of a test's choosing.
    qint64 processId() const { return m_process.processId(); }

    // Everything printed so far, split in lines.
    QStringList outputLines();
    bool waitForOutputLine(const QString& line, int timeoutMs);
    QString errorString() const { return m_error; }

private:
    QString m_busAddress;
    QString m_hostsPath;
    QString m_configPath;
    QString m_program;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QByteArray m_output;
    QString m_error;
};

// Whether `name` has an owner on the bus at `address`.
bool busNameHasOwner(const QString& address, const QString& name);

} // namespace kestravin::testing
