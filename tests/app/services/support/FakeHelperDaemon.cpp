#include "FakeHelperDaemon.h"

#include "contract/HelperConstants.h"

#include <QDBusConnectionInterface>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

namespace {
int nextId = 0;
}

FakeHelperDaemon::FakeHelperDaemon(const QString& busAddress)
    : m_connectionName(u"fake-helper-daemon-%1"_s.arg(++nextId)),
      m_connection(QDBusConnection::connectToBus(busAddress, m_connectionName))
{
    m_registered = m_connection.isConnected()
        && m_connection.registerVirtualObject(HelperConstants::helperObjectPath, this)
        && m_connection.registerService(HelperConstants::machServiceName);
}

FakeHelperDaemon::~FakeHelperDaemon()
{
    stop();
}

void FakeHelperDaemon::stop()
{
    if (!m_registered) {
        return;
    }
    m_registered = false;
    m_connection.unregisterObject(HelperConstants::helperObjectPath);
    m_connection.unregisterService(HelperConstants::machServiceName);
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void FakeHelperDaemon::setVersion(const QString& version)
{
    QMutexLocker lock(&m_mutex);
    m_version = version;
}

void FakeHelperDaemon::setBlockingActive(bool active)
{
    QMutexLocker lock(&m_mutex);
    m_active = active;
}

bool FakeHelperDaemon::blockingActive() const
{
    QMutexLocker lock(&m_mutex);
    return m_active;
}

void FakeHelperDaemon::setResult(bool success, const QString& message)
{
    QMutexLocker lock(&m_mutex);
    m_success = success;
    m_message = message;
}

void FakeHelperDaemon::setHoldReplies(bool hold, const QStringList& onlyMethods)
{
    QMutexLocker lock(&m_mutex);
    m_hold = hold;
    m_holdMethods = onlyMethods;
}

void FakeHelperDaemon::releaseHeld()
{
    QList<QDBusMessage> held;
    {
        QMutexLocker lock(&m_mutex);
        held.swap(m_held);
    }
    for (const auto& message : held) {
        reply(message);
    }
}

QList<FakeHelperDaemon::Call> FakeHelperDaemon::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QStringList FakeHelperDaemon::methods() const
{
    QStringList names;
    for (const auto& call : calls()) {
        names << call.method;
    }
    return names;
}

int FakeHelperDaemon::count(const QString& method) const
{
    return int(methods().count(method));
}

QString FakeHelperDaemon::introspect(const QString&) const
{
    return {};
}

bool FakeHelperDaemon::handleMessage(const QDBusMessage& message, const QDBusConnection&)
{
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append({ message.member(), message.arguments() });
        if (m_hold && (m_holdMethods.isEmpty() || m_holdMethods.contains(message.member()))) {
            m_held.append(message);
            return true;
        }
    }
    reply(message);
    return true;
}

void FakeHelperDaemon::reply(const QDBusMessage& message)
{
    const QString method = message.member();
    QVariantList out;
    {
        QMutexLocker lock(&m_mutex);
        if (method == u"getHelperVersion"_s) {
            out << m_version;
        } else if (method == u"isBlockingActive"_s) {
            out << m_active;
        } else if (method == u"getBlockedSites"_s) {
            out << QStringList();
        } else {
            if (m_success && (method == u"activateBlocking"_s || method == u"activateBlockingUntil"_s)) {
                m_active = true;
            } else if (m_success && method == u"deactivateBlocking"_s) {
                m_active = false;
            }
            out << m_success << m_message;
        }
    }
    m_connection.send(message.createReply(out));
}

} // namespace kestravin::testing
