#include "app/platform/linux/AtspiScreenReader.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QString service = u"org.a11y.Bus"_s;
const QString path = u"/org/a11y/bus"_s;
const QString statusInterface = u"org.a11y.Status"_s;
const QString readerKey = u"ScreenReaderEnabled"_s;

} // namespace

ScreenReader& ScreenReader::system()
{
    static AtspiScreenReader reader(QDBusConnection::sessionBus());
    return reader;
}

AtspiScreenReader::AtspiScreenReader(const QDBusConnection& bus, QObject* parent) : ScreenReader(parent), m_bus(bus)
{
    if (!m_bus.isConnected()) {
        return;
    }
    m_bus.connect(service, path, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s, this,
        SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    read();
}

void AtspiScreenReader::read()
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(service, path, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    message.setArguments({ statusInterface, readerKey });
    // Asked without blocking: the bus launcher may be slow to start, and the
    // answer only matters once a window could close by itself.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isValid()) {
            set(reply.value().variant().toBool());
        }
        call->deleteLater();
    });
}

void AtspiScreenReader::onPropertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface != statusInterface) {
        return;
    }
    if (const auto value = changed.constFind(readerKey); value != changed.constEnd()) {
        set(value->toBool());
    } else if (invalidated.contains(readerKey)) {
        read();
    }
}

void AtspiScreenReader::set(bool running)
{
    if (running != m_running) {
        m_running = running;
        Q_EMIT runningChanged(running);
    }
}

} // namespace kestravin
