#include "app/shell/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace kestravin {

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus))
{
    new SingleInstanceAdaptor(this);
}

SingleInstance::~SingleInstance()
{
    release();
}

void SingleInstance::release()
{
    if (m_claimed) {
        m_bus.unregisterService(serviceName.toString());
        m_bus.unregisterObject(objectPath.toString());
        m_claimed = false;
    }
}

void SingleInstance::askToQuit(QDBusConnection bus)
{
    bus.send(QDBusMessage::createMethodCall(
        serviceName.toString(), objectPath.toString(), interfaceName.toString(), u"Quit"_s));
}

bool SingleInstance::claim()
{
    if (m_claimed) {
        return true;
    }
    if (!m_bus.isConnected() || !m_bus.interface()) {
        return false;
    }
    // Export first, so that a start racing this one finds the object as soon
    // as the name is ours.
    if (!m_bus.registerObject(objectPath.toString(), this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    const auto reply = m_bus.interface()->registerService(serviceName.toString(),
        QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_bus.unregisterObject(objectPath.toString());
        return false;
    }
    m_claimed = true;
    return true;
}

bool SingleInstance::handOver(QDBusConnection bus, const QStringList& arguments, QString* error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName.toString(), objectPath.toString(),
        interfaceName.toString(), arguments.isEmpty() ? u"Activate"_s : u"Open"_s);
    if (!arguments.isEmpty()) {
        call << arguments;
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (error) {
            *error = reply.errorMessage();
        }
        return false;
    }
    return true;
}

SingleInstanceAdaptor::SingleInstanceAdaptor(SingleInstance* instance)
    : QDBusAbstractAdaptor(instance), m_instance(instance)
{
}

void SingleInstanceAdaptor::Activate()
{
    Q_EMIT m_instance->activateRequested();
}

void SingleInstanceAdaptor::Open(const QStringList& arguments)
{
    Q_EMIT m_instance->openRequested(arguments);
}

void SingleInstanceAdaptor::Quit()
{
    Q_EMIT m_instance->quitRequested();
}

} // namespace kestravin
