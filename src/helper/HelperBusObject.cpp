#include "HelperBusObject.h"

#include "HelperService.h"

namespace kestravin {

namespace {

bool spread(const HelperReply& reply, QString& message)
{
    message = reply.message;
    return reply.success;
}

} // namespace

HelperBusObject::HelperBusObject(HelperService& service, QObject* parent) : QObject(parent), m_service(service)
{
}

bool HelperBusObject::activateBlocking(const QStringList& sites, QString& message)
{
    return spread(m_service.activateBlocking(sites), message);
}

bool HelperBusObject::activateBlockingUntil(const QStringList& sites, double endsAt, QString& message)
{
    return spread(m_service.activateBlockingUntil(sites, endsAt), message);
}

bool HelperBusObject::deactivateBlocking(QString& message)
{
    return spread(m_service.deactivateBlocking(), message);
}

bool HelperBusObject::isBlockingActive()
{
    return m_service.isBlockingActive();
}

QStringList HelperBusObject::getBlockedSites()
{
    return m_service.getBlockedSites();
}

bool HelperBusObject::updateSchedule(const QByteArray& scheduleData, const QStringList& sites, QString& message)
{
    return spread(m_service.updateSchedule(scheduleData, sites), message);
}

bool HelperBusObject::setScheduleEnabled(bool enabled, QString& message)
{
    return spread(m_service.setScheduleEnabled(enabled), message);
}

bool HelperBusObject::updateBrowserControl(
    const QByteArray& data, const QByteArray& expectedConfiguration, QString& message)
{
    return spread(m_service.updateBrowserControl(data, expectedConfiguration), message);
}

bool HelperBusObject::grantScheduledAccess(
    const QString& platform, double expiresAt, const QByteArray& expectedConfiguration, QString& message)
{
    return spread(m_service.grantScheduledAccess(platform, expiresAt, expectedConfiguration), message);
}

bool HelperBusObject::setSiteAccess(const QByteArray& data, const QByteArray& expectedConfiguration, QString& message)
{
    return spread(m_service.setSiteAccess(data, expectedConfiguration), message);
}

QString HelperBusObject::getHelperVersion()
{
    return m_service.getHelperVersion();
}

bool HelperBusObject::uninstallHelper(QString& message)
{
    return spread(m_service.uninstallHelper(), message);
}

} // namespace kestravin
