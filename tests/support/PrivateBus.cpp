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
    m_daemon.start(config);
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : std::as_const(m_connectionNames))
        QDBusConnection::disconnectFromBus(name);
}

QDBusConnection PrivateBus::connect(const QString& name)
{
    m_connectionNames << name;
    return QDBusConnection::connectToBus(address(), name);
}

} // namespace kestravin::testing
