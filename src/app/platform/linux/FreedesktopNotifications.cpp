#include "app/platform/linux/FreedesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {
const QString notificationsService = u"org.freedesktop.Notifications"_s;
const QString notificationsPath = u"/org/freedesktop/Notifications"_s;
} // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
}

NotificationCenter::Authorization FreedesktopNotifications::authorizationStatus()
{
    if (!m_bus.isConnected() || !m_bus.interface()) {
        return Authorization::denied;
    }
    auto* bus = m_bus.interface();
    if (bus->isServiceRegistered(notificationsService).value()) {
        return Authorization::authorized;
    }
    const QStringList activatable = bus->activatableServiceNames().value();
    return activatable.contains(notificationsService) ? Authorization::authorized : Authorization::denied;
}

void FreedesktopNotifications::requestAuthorization(std::function<void(bool granted)> granted)
{
    granted(authorizationStatus() == Authorization::authorized);
}

void FreedesktopNotifications::post(const QString& title, const QString& body, std::function<void(QString error)> done)
{
    auto message
        = QDBusMessage::createMethodCall(notificationsService, notificationsPath, notificationsService, u"Notify"_s);
    const QVariantMap hints { { u"sound-name"_s, u"message-new-instant"_s } };
    message << u"Kestravin"_s << uint(0) << QString() << title << body << QStringList() << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (done) {
            done(call->isError() ? call->error().message() : QString());
        }
    });
}

} // namespace kestravin
