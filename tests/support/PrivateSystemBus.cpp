#include "PrivateSystemBus.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

namespace {

// The system bus's default policy: nobody owns names or sends method calls
// unless a later policy allows it; talking to the bus itself is allowed.
constexpr auto configTemplate = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
  <include>%2</include>
%3</busconfig>
)";

constexpr auto callerTemplate = R"(  <policy user="%1">
    <allow send_destination="com.kestravin.helper" send_interface="com.kestravin.Helper"/>
    <allow send_destination="com.kestravin.helper" send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
)";

constexpr auto selfTemplate = R"(  <policy user="%1">
    <allow own="com.kestravin.helper"/>
    <allow send_destination="com.kestravin.helper"/>
  </policy>
)";

} // namespace

PrivateSystemBus::PrivateSystemBus(QList<uint> callerUids) : m_callerUids(std::move(callerUids))
{
}

PrivateSystemBus::~PrivateSystemBus()
{
    stop();
}

QString PrivateSystemBus::packagedPolicyPath()
{
    return QStringLiteral(KESTRAVIN_PACKAGED_POLICY);
}

QString PrivateSystemBus::socketPath() const
{
    return m_dir.filePath(u"system_bus_socket"_s);
}

QString PrivateSystemBus::directory() const
{
    return m_dir.path();
}

bool PrivateSystemBus::start()
{
    if (!m_dir.isValid()) {
        m_error = u"cannot create a temporary folder"_s;
        return false;
    }
    // Clients under other uids must reach the socket.
    QFile::setPermissions(m_dir.path(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::ExeOther);

    QString callers;
    // Tests that do not run as root start the daemon as themselves: let that
    // uid stand in for root.
    if (const uid_t self = ::geteuid(); self != 0)
        callers += QString::fromUtf8(selfTemplate).arg(self);
    for (uint uid : m_callerUids)
        callers += QString::fromUtf8(callerTemplate).arg(uid);
    const QString config
        = QString::fromUtf8(configTemplate).arg(socketPath(), packagedPolicyPath().toHtmlEscaped(), callers);
    const QString configPath = m_dir.filePath(u"bus.conf"_s);
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        m_error = u"cannot write "_s + configPath;
        return false;
    }
    file.close();

    if (!m_daemon.start(configPath)) {
        m_error = m_daemon.errorString();
        return false;
    }
    m_address = m_daemon.address();
    QFile::setPermissions(socketPath(), QFile::permissions(socketPath()) | QFile::WriteOther | QFile::ReadOther);
    return true;
}

void PrivateSystemBus::stop()
{
    m_daemon.stop();
}

} // namespace kestravin::testing
