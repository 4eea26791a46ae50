#include "PrivateBus.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

PrivateBus::PrivateBus(Type type)
{
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return;
    }
    const QString config = m_dir.filePath(u"bus.conf"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = u"cannot write bus.conf"_s;
        return;
    }
    const QString text = uR"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>%1</type>
  <listen>unix:dir=%2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)"_s.arg(type == Type::system ? u"system"_s : u"session"_s, m_dir.path());
    file.write(text.toUtf8());
    file.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(
        u"dbus-daemon"_s, { u"--config-file="_s + config, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s });
    if (!m_process->waitForStarted(10000)) {
        m_error = u"dbus-daemon did not start: "_s + m_process->errorString();
        return;
    }
    QByteArray line;
    while (!line.contains('\n')) {
        if (!m_process->waitForReadyRead(10000)) {
            m_error = u"dbus-daemon printed no address: "_s + QString::fromUtf8(m_process->readAllStandardError());
            return;
        }
        line += m_process->readAllStandardOutput();
    }
    m_address = QString::fromUtf8(line.left(line.indexOf('\n'))).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
}

} // namespace kestravin::testing
