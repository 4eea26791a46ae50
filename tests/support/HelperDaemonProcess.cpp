#include "HelperDaemonProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

bool busNameHasOwner(const QString& address, const QString& name)
{
    const QString connectionName = u"probe-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool owned = false;
    {
        QDBusConnection connection = QDBusConnection::connectToBus(address, connectionName);
        if (connection.isConnected() && connection.interface())
            owned = connection.interface()->isServiceRegistered(name).value();
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return owned;
}

HelperDaemonProcess::HelperDaemonProcess(QString busAddress, QString hostsPath, QString configPath)
    : m_busAddress(std::move(busAddress)),
      m_hostsPath(std::move(hostsPath)),
      m_configPath(std::move(configPath)),
      m_program(defaultProgram()),
      m_environment(QProcessEnvironment::systemEnvironment())
{
    m_environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, m_busAddress);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

HelperDaemonProcess::~HelperDaemonProcess()
{
    kill();
}

QString HelperDaemonProcess::defaultProgram()
{
    return QStringLiteral(KESTRAVIN_HELPER_BINARY);
}

void HelperDaemonProcess::setEnvironmentVariable(const QString& name, const QString& value)
{
    m_environment.insert(name, value);
}

bool HelperDaemonProcess::start(int timeoutMs)
{
    m_output.clear();
    m_process.setProcessEnvironment(m_environment);
    m_process.start(m_program, { u"--hosts-file"_s, m_hostsPath, u"--config-file"_s, m_configPath });
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = u"cannot start "_s + m_program + u": "_s + m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (busNameHasOwner(m_busAddress, u"com.kestravin.helper"_s))
            return true;
        if (m_process.state() != QProcess::Running) {
            m_error = u"the daemon ended: "_s + outputLines().join(u'\n');
            return false;
        }
        m_process.waitForReadyRead(50);
    }
    m_error = u"the daemon did not take its name: "_s + outputLines().join(u'\n');
    return false;
}

void HelperDaemonProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool HelperDaemonProcess::waitForExit(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    return m_process.waitForFinished(timeoutMs);
}

bool HelperDaemonProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

int HelperDaemonProcess::exitCode() const
{
    return m_process.exitCode();
}

QProcess::ExitStatus HelperDaemonProcess::exitStatus() const
{
    return m_process.exitStatus();
}

QStringList HelperDaemonProcess::outputLines()
{
    m_output += m_process.readAll();
    return QString::fromUtf8(m_output).split(u'\n', Qt::SkipEmptyParts);
}

bool HelperDaemonProcess::waitForOutputLine(const QString& line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        if (outputLines().contains(line))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            return outputLines().contains(line);
        m_process.waitForReadyRead(50);
    } while (!deadline.hasExpired());
    return outputLines().contains(line);
}

} // namespace kestravin::testing
