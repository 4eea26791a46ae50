#pragma once

#include "app/platform/DaemonRegistration.h"

#include <QDBusConnection>
#include <QObject>

namespace kestravin {

// The daemon's packaged systemd unit, driven through systemd's D-Bus API on
// the system bus. Enabling asks polkit with interactive authorization; while
// that question is open the status reads `requiresApproval`.
class SystemdRegistration final : public QObject, public DaemonRegistration {
    Q_OBJECT
public:
    SystemdRegistration(QDBusConnection bus, QString unitName, QString packagedUnitPath, QObject* parent = nullptr);

    Status status() override;
    void queryStatus(std::function<void(Status)> done) override;
    bool registerDaemon(QString* error) override;
    void unregisterDaemon(std::function<void()> done) override;
    void openApprovalSettings() override { }
    bool bundlesDaemon() const override;

private:
    bool systemdAvailable();

    QDBusConnection m_bus;
    QString m_unitName;
    QString m_packagedUnitPath;
    bool m_awaitingAuthorization = false;
};

} // namespace kestravin
