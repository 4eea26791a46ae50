#include "DBusDaemonProcess.h"

using namespace Qt::StringLiterals;

namespace kestravin::testing {

DBusDaemonProcess::~DBusDaemonProcess()
{
    stop();
}

bool DBusDaemonProcess::start(const QString& configPath)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(u"dbus-daemon"_s,
        { u"--config-file="_s + configPath, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s });
    if (!m_process.waitForStarted(10000)) {
        m_error = u"dbus-daemon did not start: "_s + m_process.errorString();
        return false;
    }
    QByteArray out;
    while (!out.contains('\n')) {
        if (!m_process.waitForReadyRead(10000)) {
            m_error = u"dbus-daemon printed no address: "_s + QString::fromUtf8(m_process.readAllStandardError());
            stop();
            return false;
        }
        out += m_process.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(out.left(out.indexOf('\n'))).trimmed();
    return true;
}

void DBusDaemonProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

} // namespace kestravin::testing
