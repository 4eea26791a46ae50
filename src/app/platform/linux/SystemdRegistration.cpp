#include "app/platform/linux/SystemdRegistration.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QFileInfo>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcSystemd, "com.kestravin.app.SystemdRegistration")

const QString systemdService = u"org.freedesktop.systemd1"_s;
const QString systemdPath = u"/org/freedesktop/systemd1"_s;
const QString managerInterface = u"org.freedesktop.systemd1.Manager"_s;
// A unit-file query answers at once; never hold the GUI thread long on it.
constexpr int queryTimeoutMs = 2000;
} // namespace

SystemdRegistration::SystemdRegistration(
    QDBusConnection bus, QString unitName, QString packagedUnitPath, QObject* parent)
    : QObject(parent),
      m_bus(std::move(bus)),
      m_unitName(std::move(unitName)),
      m_packagedUnitPath(std::move(packagedUnitPath))
{
}

bool SystemdRegistration::bundlesDaemon() const
{
    return QFileInfo::exists(m_packagedUnitPath);
}

bool SystemdRegistration::systemdAvailable()
{
    return m_bus.isConnected() && m_bus.interface() && m_bus.interface()->isServiceRegistered(systemdService).value();
}

DaemonRegistration::Status SystemdRegistration::status()
{
    if (!bundlesDaemon()) {
        return Status::notFound;
    }
    if (m_awaitingAuthorization) {
        return Status::requiresApproval;
    }
    if (!systemdAvailable()) {
        return Status::notRegistered;
    }
    auto message = QDBusMessage::createMethodCall(systemdService, systemdPath, managerInterface, u"GetUnitFileState"_s);
    message << m_unitName;
    const QDBusReply<QString> reply = m_bus.call(message, QDBus::Block, queryTimeoutMs);
    if (!reply.isValid()) {
        return Status::notRegistered;
    }
    const QString state = reply.value();
    return state == u"enabled"_s || state == u"enabled-runtime"_s ? Status::enabled : Status::notRegistered;
}

void SystemdRegistration::queryStatus(std::function<void(Status)> done)
{
    if (!bundlesDaemon()) {
        done(Status::notFound);
        return;
    }
    if (m_awaitingAuthorization) {
        done(Status::requiresApproval);
        return;
    }
    if (!m_bus.isConnected()) {
        done(Status::notRegistered);
        return;
    }
    // Without systemd on the bus the call fails at once with an unknown
    // service, which reads as not registered, as status() answers.
    auto message = QDBusMessage::createMethodCall(systemdService, systemdPath, managerInterface, u"GetUnitFileState"_s);
    message << m_unitName;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, queryTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, done = std::move(done)](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            // The answer of a call sent before an authorization began is stale.
            if (m_awaitingAuthorization) {
                done(Status::requiresApproval);
                return;
            }
            const QDBusPendingReply<QString> reply = *call;
            if (reply.isError()) {
                done(Status::notRegistered);
                return;
            }
            const QString state = reply.value();
            done(state == u"enabled"_s || state == u"enabled-runtime"_s ? Status::enabled : Status::notRegistered);
        });
}

bool SystemdRegistration::registerDaemon(QString* error)
{
    if (status() == Status::enabled) {
        return true;
    }
    if (!bundlesDaemon() || !systemdAvailable()) {
        if (error) {
            *error = u"systemd or the packaged unit is not available"_s;
        }
        return false;
    }
    if (m_awaitingAuthorization) {
        if (error) {
            *error = u"authorization pending"_s;
        }
        return false;
    }
    auto enable = QDBusMessage::createMethodCall(systemdService, systemdPath, managerInterface, u"EnableUnitFiles"_s);
    enable << QStringList { m_unitName } << false << true;
    enable.setInteractiveAuthorizationAllowed(true);
    m_awaitingAuthorization = true;
    // The user may take minutes in the authentication dialog.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(enable, 10 * 60 * 1000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        m_awaitingAuthorization = false;
        if (call->isError()) {
            qCInfo(lcSystemd).noquote() << u"SystemdRegistration: enabling failed: "_s + call->error().message();
            return;
        }
        m_bus.call(
            QDBusMessage::createMethodCall(systemdService, systemdPath, managerInterface, u"Reload"_s), QDBus::NoBlock);
        auto start = QDBusMessage::createMethodCall(systemdService, systemdPath, managerInterface, u"StartUnit"_s);
        start << m_unitName << u"replace"_s;
        start.setInteractiveAuthorizationAllowed(true);
        m_bus.call(start, QDBus::NoBlock);
    });
    if (error) {
        *error = u"authorization pending"_s;
    }
    return false;
}

void SystemdRegistration::unregisterDaemon(std::function<void()> done)
{
    if (!systemdAvailable()) {
        done();
        return;
    }
    auto disable = QDBusMessage::createMethodCall(systemdService, systemdPath, managerInterface, u"DisableUnitFiles"_s);
    disable << QStringList { m_unitName } << false;
    disable.setInteractiveAuthorizationAllowed(true);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(disable, 10 * 60 * 1000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        done();
    });
}

} // namespace kestravin
