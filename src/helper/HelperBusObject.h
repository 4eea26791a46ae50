#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

namespace kestravin {

class HelperService;

// The object exported at /com/kestravin/helper. The generated adaptor calls
// these methods; each hands the call to the service and spreads its reply over
// the D-Bus out arguments (success, message).
class HelperBusObject : public QObject {
    Q_OBJECT

public:
    explicit HelperBusObject(HelperService& service, QObject* parent = nullptr);

    bool activateBlocking(const QStringList& sites, QString& message);
    bool activateBlockingUntil(const QStringList& sites, double endsAt, QString& message);
    bool deactivateBlocking(QString& message);
    bool isBlockingActive();
    QStringList getBlockedSites();
    bool updateSchedule(const QByteArray& scheduleData, const QStringList& sites, QString& message);
    bool setScheduleEnabled(bool enabled, QString& message);
    bool updateBrowserControl(const QByteArray& data, const QByteArray& expectedConfiguration, QString& message);
    bool grantScheduledAccess(
        const QString& platform, double expiresAt, const QByteArray& expectedConfiguration, QString& message);
    bool setSiteAccess(const QByteArray& data, const QByteArray& expectedConfiguration, QString& message);
    QString getHelperVersion();
    bool uninstallHelper(QString& message);

private:
    HelperService& m_service;
};

} // namespace kestravin
