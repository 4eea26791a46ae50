#include "app/platform/linux/AtspiEvents.h"

#include <QDBusMessage>
#include <QLoggingCategory>

#include <atomic>

using namespace Qt::StringLiterals;

namespace kestravin {

Q_LOGGING_CATEGORY(lcAtspiEvents, "com.kestravin.app.Shield.Events")

namespace {

std::atomic<int> nextConnection { 0 };

struct Followed {
    const char* interface;
    const char* member;
    // The registry's name of the event, with its detail where only one is
    // wanted.
    const char* event;
    // The detail (the signal's first argument) that counts; empty for all.
    const char* detail;
};

// Only these: every event a toolkit sends to a listener is a message on the
// bus, and a page being built changes states and text all the time.
constexpr Followed followed[] = {
    { "org.a11y.atspi.Event.Window", "Activate", "window:activate", "" },
    { "org.a11y.atspi.Event.Object", "StateChanged", "object:state-changed:focused", "focused" },
    { "org.a11y.atspi.Event.Document", "LoadComplete", "document:load-complete", "" },
    { "org.a11y.atspi.Event.Document", "Reload", "document:reload", "" },
    { "org.a11y.atspi.Event.Object", "PropertyChange", "object:property-change:accessible-name", "accessible-name" },
};

} // namespace

AtspiEvents::AtspiEvents(QObject* parent)
    : AccessibilityEvents(parent), m_connectionName(u"kestravin-shield-events-%1"_s.arg(nextConnection.fetch_add(1)))
{
}

AtspiEvents::~AtspiEvents()
{
    stop();
}

bool AtspiEvents::listen()
{
    if (m_bus && m_bus->isConnected()) {
        return true;
    }
    stop();
    QDBusMessage ask
        = QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s, u"org.a11y.Bus"_s, u"GetAddress"_s);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return false;
    }
    m_bus = QDBusConnection::connectToBus(reply.arguments().constFirst().toString(), m_connectionName);
    if (!m_bus->isConnected()) {
        qCWarning(lcAtspiEvents).noquote()
            << u"cannot connect to the accessibility bus: "_s + m_bus->lastError().message();
        stop();
        return false;
    }
    for (const Followed& f : followed) {
        m_bus->connect(QString(), QString(), QString::fromLatin1(f.interface), QString::fromLatin1(f.member), this,
            SLOT(onEvent(QDBusMessage)));
        QDBusMessage registration = QDBusMessage::createMethodCall(u"org.a11y.atspi.Registry"_s,
            u"/org/a11y/atspi/registry"_s, u"org.a11y.atspi.Registry"_s, u"RegisterEvent"_s);
        registration.setArguments({ QString::fromLatin1(f.event), QStringList(), QString() });
        // Nobody waits for the registry: the events come once it has told
        // the applications.
        m_bus->send(registration);
    }
    return true;
}

void AtspiEvents::stop()
{
    if (!m_bus) {
        return;
    }
    m_bus.reset();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void AtspiEvents::onEvent(const QDBusMessage& message)
{
    const QString kind = message.arguments().isEmpty() ? QString() : message.arguments().constFirst().toString();
    for (const Followed& f : followed) {
        if (message.interface() == QLatin1String(f.interface) && message.member() == QLatin1String(f.member)) {
            if (*f.detail != '\0' && kind != QLatin1String(f.detail)) {
                return;
            }
            // A focus that leaves says nothing new.
            if (message.member() == u"StateChanged"_s && message.arguments().value(1).toInt() == 0) {
                return;
            }
            Q_EMIT announced(message.service());
            return;
        }
    }
}

} // namespace kestravin
