#pragma once

#include "app/platform/NotificationCenter.h"

#include <QDBusConnection>
#include <QObject>

namespace kestravin {

// Notices through org.freedesktop.Notifications on the session bus. There is
// no permission to ask for: a notification service on the bus counts as
// authorized, no service as denied.
class FreedesktopNotifications final : public QObject, public NotificationCenter {
    Q_OBJECT
public:
    explicit FreedesktopNotifications(QDBusConnection bus, QObject* parent = nullptr);

    Authorization authorizationStatus() override;
    void requestAuthorization(std::function<void(bool granted)> granted) override;
    void post(const QString& title, const QString& body, std::function<void(QString error)> done) override;

private:
    QDBusConnection m_bus;
};

} // namespace kestravin
