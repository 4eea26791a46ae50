#include "app/platform/linux/AtspiTree.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QHash>
#include <QLoggingCategory>
#include <QSet>

#include <atomic>

#include <atspi/atspi-constants.h>

using namespace Qt::StringLiterals;

namespace kestravin {

Q_LOGGING_CATEGORY(lcAtspi, "com.kestravin.app.Shield")

namespace {

const QString accessibleInterface = u"org.a11y.atspi.Accessible"_s;
const QString registryService = u"org.a11y.atspi.Registry"_s;
const QString rootPath = u"/org/a11y/atspi/accessible/root"_s;

std::atomic<int> nextConnection { 0 };

AxError errorOf(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    if (name == u"org.freedesktop.DBus.Error.UnknownObject"_s || name == u"org.freedesktop.DBus.Error.ServiceUnknown"_s
        || name == u"org.freedesktop.DBus.Error.NameHasNoOwner"_s) {
        return AxError::Gone;
    }
    if (name == u"org.freedesktop.DBus.Error.UnknownMethod"_s
        || name == u"org.freedesktop.DBus.Error.UnknownInterface"_s
        || name == u"org.freedesktop.DBus.Error.UnknownProperty"_s
        || name == u"org.freedesktop.DBus.Error.InvalidArgs"_s
        || name == u"org.freedesktop.DBus.Error.NotSupported"_s) {
        return AxError::NoValue;
    }
    return AxError::Failed;
}

QList<AxElement> references(const QVariant& value)
{
    QList<AxElement> list;
    const auto argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        list.append(AxElement { service, path.path() });
    }
    argument.endArray();
    return list;
}

AxRole roleOf(uint role)
{
    switch (role) {
    case ATSPI_ROLE_APPLICATION:
        return AxRole::Application;
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
        return AxRole::Window;
    case ATSPI_ROLE_DOCUMENT_WEB:
        return AxRole::WebArea;
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_EDITBAR:
        return AxRole::TextField;
    case ATSPI_ROLE_COMBO_BOX:
        return AxRole::ComboBox;
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return AxRole::TabList;
    case ATSPI_ROLE_PAGE_TAB:
        return AxRole::Tab;
    default:
        return AxRole::Other;
    }
}

} // namespace

struct AtspiTree::Private {
    Options options;
    // Each tree has a connection of its own: the shield reads on its own
    // thread while the tree probe or a test reads elsewhere.
    QString connectionName = u"kestravin-shield-a11y-%1"_s.arg(nextConnection.fetch_add(1));
    std::optional<QDBusConnection> bus;
    QString busAddress;
    QHash<qint64, AxElement> applications;
    // Whether an application's child is a window.
    QHash<AxElement, bool> windowChildren;
    // Per application, the window focusedWindow() found last; the
    // applications seen marking a window active.
    QHash<AxElement, AxElement> focusedFrames;
    QSet<AxElement> marksActive;

    QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
        const QVariantList& arguments, int timeout)
    {
        if (!connect()) {
            return QDBusMessage::createError(u"org.freedesktop.DBus.Error.Disconnected"_s, u"no accessibility bus"_s);
        }
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus->call(message, QDBus::Block, timeout);
    }

    QDBusMessage call(const AxElement& e, const QString& interface, const QString& method,
        const QVariantList& arguments = {}, int timeout = 0)
    {
        return call(e.service, e.path, interface, method, arguments, timeout > 0 ? timeout : options.elementTimeoutMs);
    }

    QDBusMessage property(const AxElement& e, const QString& interface, const QString& name)
    {
        return call(e, u"org.freedesktop.DBus.Properties"_s, u"Get"_s, { interface, name });
    }

    static QDBusMessage sessionCall(const QString& interface, const QString& method, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s, interface, method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, 500);
    }

    bool connect()
    {
        if (bus && bus->isConnected()) {
            return true;
        }
        const QDBusMessage reply = sessionCall(u"org.a11y.Bus"_s, u"GetAddress"_s, {});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return false;
        }
        busAddress = reply.arguments().constFirst().toString();
        bus = QDBusConnection::connectToBus(busAddress, connectionName);
        if (!bus->isConnected()) {
            qCWarning(lcAtspi).noquote() << u"AtspiTree: cannot connect to the accessibility bus: "_s
                    + bus->lastError().message();
            QDBusConnection::disconnectFromBus(connectionName);
            bus.reset();
            return false;
        }
        return true;
    }

    template <typename T> static AxRead<T> failed(const QDBusMessage& reply) { return AxRead<T>::fail(errorOf(reply)); }

    AxRead<QString> stringProperty(const AxElement& e, const QString& interface, const QString& name)
    {
        const QDBusMessage reply = property(e, interface, name);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return failed<QString>(reply);
        }
        return { reply.arguments().constFirst().value<QDBusVariant>().variant().toString() };
    }
};

AtspiTree::AtspiTree() : AtspiTree(Options {})
{
}

AtspiTree::AtspiTree(Options options) : d(std::make_unique<Private>())
{
    d->options = options;
}

AtspiTree::~AtspiTree()
{
    if (d->bus) {
        QDBusConnection::disconnectFromBus(d->connectionName);
    }
}

bool AtspiTree::isEnabled()
{
    for (const QString& name : { u"IsEnabled"_s, u"ScreenReaderEnabled"_s }) {
        const QDBusMessage reply
            = Private::sessionCall(u"org.freedesktop.DBus.Properties"_s, u"Get"_s, { u"org.a11y.Status"_s, name });
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().constFirst().value<QDBusVariant>().variant().toBool()) {
            return d->connect();
        }
    }
    return false;
}

bool AtspiTree::enable()
{
    // The general switch only: the screen-reader switch makes some desktops
    // start a screen reader.
    Private::sessionCall(u"org.freedesktop.DBus.Properties"_s, u"Set"_s,
        { u"org.a11y.Status"_s, u"IsEnabled"_s, QVariant::fromValue(QDBusVariant(true)) });
    return isEnabled();
}

std::optional<AxElement> AtspiTree::application(qint64 pid)
{
    if (const auto known = d->applications.constFind(pid); known != d->applications.constEnd()) {
        const QDBusMessage check
            = d->call(*known, accessibleInterface, u"GetRole"_s, {}, d->options.applicationTimeoutMs);
        if (check.type() == QDBusMessage::ReplyMessage) {
            return *known;
        }
        d->applications.remove(pid);
    }
    const QDBusMessage reply
        = d->call(registryService, rootPath, accessibleInterface, u"GetChildren"_s, {}, d->options.elementTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    for (const AxElement& app : references(reply.arguments().constFirst())) {
        const QDBusMessage owner
            = d->call(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s,
                u"GetConnectionUnixProcessID"_s, { app.service }, d->options.applicationTimeoutMs);
        if (owner.type() == QDBusMessage::ReplyMessage && !owner.arguments().isEmpty()) {
            const qint64 owningPid = owner.arguments().constFirst().toLongLong();
            d->applications.insert(owningPid, app);
            if (owningPid == pid) {
                return app;
            }
        }
    }
    return std::nullopt;
}

AxRead<AxElement> AtspiTree::focusedWindow(const AxElement& application, const WindowHint& hint)
{
    // Asked twice a second: the window found last time is checked first, with
    // one or two reads instead of reading every window of the application.
    if (const auto last = d->focusedFrames.constFind(application); last != d->focusedFrames.constEnd()) {
        const auto s = states(*last);
        if (s.ok() && s.value->active) {
            return { *last };
        }
        if (s.ok() && !hint.title.isEmpty() && !d->marksActive.contains(application)
            && name(*last).value == hint.title) {
            return { *last };
        }
    }
    auto found = findFocusedWindow(application, hint);
    if (found.ok()) {
        if (d->focusedFrames.size() >= 64) {
            d->focusedFrames.clear();
        }
        d->focusedFrames.insert(application, *found.value);
    }
    return found;
}

AxRead<AxElement> AtspiTree::findFocusedWindow(const AxElement& application, const WindowHint& hint)
{
    const QDBusMessage reply
        = d->call(application, accessibleInterface, u"GetChildren"_s, {}, d->options.applicationTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<AxElement>(reply);
    }
    QList<AxElement> frames;
    for (const AxElement& child : references(reply.arguments().constFirst())) {
        // Asked twice a second of every child of the browser: a window stays
        // a window, and a child that is not one stays so too.
        auto known = d->windowChildren.constFind(child);
        if (known == d->windowChildren.constEnd()) {
            const auto read = role(child);
            if (!read.ok()) {
                continue;
            }
            if (d->windowChildren.size() >= 1000) {
                d->windowChildren.clear();
            }
            known = d->windowChildren.insert(child, *read.value == AxRole::Window);
        }
        if (!*known) {
            continue;
        }
        frames.append(child);
        const auto s = states(child);
        if (s.ok() && s.value->active) {
            // This application marks its active window: no title stands
            // for it then.
            d->marksActive.insert(application);
            return { child };
        }
    }
    // Chromium may mark no window active; its pop-ups (the address bar's
    // suggestions) are windows of their own, small and unnamed. The window
    // titled like the desktop's active one stands for the focused one then,
    // else the only one in its place, else the largest: two windows of the
    // same size are told apart by their titles.
    std::optional<AxElement> largest;
    qint64 largestArea = 0;
    QList<AxElement> inPlace;
    for (const AxElement& frame : std::as_const(frames)) {
        const auto box = extents(frame);
        if (!box.ok() || box.value->width() <= 100 || box.value->height() <= 100) {
            continue;
        }
        if (!hint.title.isEmpty() && name(frame).value == hint.title) {
            return { frame };
        }
        if (hint.frame && *box.value == *hint.frame) {
            inPlace.append(frame);
        }
        const qint64 area = qint64(box.value->width()) * box.value->height();
        if (area > largestArea) {
            largestArea = area;
            largest = frame;
        }
    }
    if (inPlace.size() == 1) {
        return { inPlace.constFirst() };
    }
    if (largest) {
        return { *largest };
    }
    return AxRead<AxElement>::fail(AxError::NoValue);
}

AxRead<uint> AtspiTree::rawRole(const AxElement& element)
{
    const QDBusMessage reply = d->call(element, accessibleInterface, u"GetRole"_s);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<uint>(reply);
    }
    return { reply.arguments().constFirst().toUInt() };
}

AxRead<AxRole> AtspiTree::role(const AxElement& element)
{
    const auto raw = rawRole(element);
    if (!raw.ok()) {
        return AxRead<AxRole>::fail(raw.error);
    }
    return { roleOf(*raw.value) };
}

AxRead<AxChildren> AtspiTree::children(const AxElement& element, int limit)
{
    const QDBusMessage reply = d->call(element, accessibleInterface, u"GetChildren"_s);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<AxChildren>(reply);
    }
    const QList<AxElement> all = references(reply.arguments().constFirst());
    return { AxChildren { all.first(std::min<qsizetype>(limit, all.size())), int(all.size()) } };
}

AxRead<QString> AtspiTree::name(const AxElement& element)
{
    return d->stringProperty(element, accessibleInterface, u"Name"_s);
}

AxRead<QString> AtspiTree::description(const AxElement& element)
{
    return d->stringProperty(element, accessibleInterface, u"Description"_s);
}

AxRead<QMap<QString, QString>> AtspiTree::attributes(const AxElement& element)
{
    const QDBusMessage reply = d->call(element, accessibleInterface, u"GetAttributes"_s);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<QMap<QString, QString>>(reply);
    }
    QMap<QString, QString> map;
    reply.arguments().constFirst().value<QDBusArgument>() >> map;
    return { map };
}

AxRead<QString> AtspiTree::identifier(const AxElement& element)
{
    const auto id = d->stringProperty(element, accessibleInterface, u"AccessibleId"_s);
    if (id.ok() && !id.value->isEmpty()) {
        return id;
    }
    const auto map = attributes(element);
    if (!map.ok()) {
        return AxRead<QString>::fail(map.error);
    }
    if (!map.value->contains(u"id"_s)) {
        return AxRead<QString>::fail(AxError::NoValue);
    }
    return { map.value->value(u"id"_s) };
}

AxRead<QString> AtspiTree::text(const AxElement& element)
{
    const QDBusMessage reply = d->call(element, u"org.a11y.atspi.Text"_s, u"GetText"_s, { 0, -1 });
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<QString>(reply);
    }
    return { reply.arguments().constFirst().toString() };
}

AxRead<AxStates> AtspiTree::states(const AxElement& element)
{
    const QDBusMessage reply = d->call(element, accessibleInterface, u"GetState"_s);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<AxStates>(reply);
    }
    QList<uint> words;
    reply.arguments().constFirst().value<QDBusArgument>() >> words;
    auto has = [&words](int bit) { return words.size() > bit / 32 && (words.at(bit / 32) >> (bit % 32)) & 1u; };
    if (has(ATSPI_STATE_DEFUNCT)) {
        return AxRead<AxStates>::fail(AxError::Gone);
    }
    return { AxStates {
        has(ATSPI_STATE_FOCUSED), has(ATSPI_STATE_SELECTED), has(ATSPI_STATE_ACTIVE), has(ATSPI_STATE_SHOWING) } };
}

AxRead<QString> AtspiTree::documentUrl(const AxElement& element)
{
    for (const QString& key : { u"DocURL"_s, u"URI"_s }) {
        const QDBusMessage reply = d->call(element, u"org.a11y.atspi.Document"_s, u"GetAttributeValue"_s, { key });
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return Private::failed<QString>(reply);
        }
        const QString value = reply.arguments().constFirst().toString();
        if (!value.isEmpty()) {
            return { value };
        }
    }
    return AxRead<QString>::fail(AxError::NoValue);
}

AxRead<QRect> AtspiTree::extents(const AxElement& element)
{
    const QDBusMessage reply
        = d->call(element, u"org.a11y.atspi.Component"_s, u"GetExtents"_s, { uint(ATSPI_COORD_TYPE_SCREEN) });
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Private::failed<QRect>(reply);
    }
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    int x = 0, y = 0, w = 0, h = 0;
    argument.beginStructure();
    argument >> x >> y >> w >> h;
    argument.endStructure();
    return { QRect(x, y, w, h) };
}

AxRead<QStringList> AtspiTree::actions(const AxElement& element)
{
    const QDBusMessage count = d->property(element, u"org.a11y.atspi.Action"_s, u"NActions"_s);
    if (count.type() != QDBusMessage::ReplyMessage || count.arguments().isEmpty()) {
        return Private::failed<QStringList>(count);
    }
    const int n = count.arguments().constFirst().value<QDBusVariant>().variant().toInt();
    QStringList names;
    for (int i = 0; i < n; ++i) {
        const QDBusMessage reply = d->call(element, u"org.a11y.atspi.Action"_s, u"GetName"_s, { i });
        names.append(reply.arguments().value(0).toString());
    }
    return { names };
}

bool AtspiTree::press(const AxElement& element)
{
    const QDBusMessage reply = d->call(element, u"org.a11y.atspi.Action"_s, u"DoAction"_s, { 0 });
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().toBool();
}

} // namespace kestravin
