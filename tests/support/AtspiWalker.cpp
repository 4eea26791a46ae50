#include "AtspiWalker.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QThread>

#include <atspi/atspi-constants.h>

#include <unistd.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace kestravin::test {

namespace {

const QString rootPath = u"/org/a11y/atspi/accessible/root"_s;
const QString nullPath = u"/org/a11y/atspi/null"_s;
const QString accessibleInterface = u"org.a11y.atspi.Accessible"_s;
const QString actionInterface = u"org.a11y.atspi.Action"_s;
constexpr int callTimeoutMs = 5000;
std::atomic<int> walkerCount = 0;

// Roles of elements that take input or react to a press.
const QStringList interactiveRoles { u"push button"_s, u"toggle button"_s, u"check box"_s, u"radio button"_s, u"text"_s,
    u"entry"_s, u"password text"_s, u"combo box"_s, u"slider"_s, u"spin button"_s, u"link"_s, u"menu item"_s,
    u"check menu item"_s, u"radio menu item"_s, u"page tab"_s };

// Roles that say nothing by themselves: a leaf of one of these is either a
// drawing that should have left the tree or a text that should be a label.
const QStringList meaninglessRoles { u"filler"_s, u"panel"_s, u"unknown"_s, u"invalid"_s, u"redundant object"_s,
    u"image"_s, u"icon"_s, u"canvas"_s, u"drawing area"_s, u"animation"_s };

const QStringList windowRoles { u"frame"_s, u"window"_s, u"dialog"_s };

QList<uint> statesFrom(const QList<uint>& words)
{
    QList<uint> states;
    for (qsizetype word = 0; word < words.size(); ++word) {
        for (uint bit = 0; bit < 32; ++bit) {
            if ((words[word] & (1u << bit)) != 0) {
                states.append(static_cast<uint>(word) * 32 + bit);
            }
        }
    }
    return states;
}

// The (service, path) references of an AT-SPI GetChildren reply.
QList<std::pair<QString, QString>> referencesOf(const QDBusMessage& reply)
{
    QList<std::pair<QString, QString>> found;
    // An error's only argument is its text, not a list of children.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()
        || reply.arguments().constFirst().userType() != qMetaTypeId<QDBusArgument>()) {
        return found;
    }
    const QDBusArgument references = reply.arguments().constFirst().value<QDBusArgument>();
    references.beginArray();
    while (!references.atEnd()) {
        QString service;
        QDBusObjectPath path;
        references.beginStructure();
        references >> service >> path;
        references.endStructure();
        found.append({ service, path.path() });
    }
    references.endArray();
    return found;
}
} // namespace

bool AtspiNode::isInteractive() const
{
    if (interactiveRoles.contains(role)) {
        return true;
    }
    for (const QString& action : actions) {
        if (action.compare(u"SetFocus"_s, Qt::CaseInsensitive) != 0) {
            return true;
        }
    }
    return false;
}

QString AtspiNode::describe() const
{
    return role + u" '"_s + name + u"' ("_s + path + u')';
}

AtspiWalker::AtspiWalker(const QString& accessibilityBusAddress)
    // One connection per walker: a test may walk several desktops at once.
    : m_connectionName(u"kestravin-atspi-walker-"_s + QString::number(++walkerCount)),
      m_bus(QDBusConnection::connectToBus(accessibilityBusAddress, m_connectionName)),
      m_processId(::getpid())
{
}

AtspiWalker::~AtspiWalker()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void AtspiWalker::follow(qint64 processId)
{
    m_processId = processId;
    m_application.clear();
}

void AtspiWalker::offMainThread(const std::function<void()>& work)
{
    std::atomic<bool> done = false;
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    worker.join();
}

QString AtspiWalker::ownApplication()
{
    // As a screen reader finds it: among the applications the registry lists
    // on the desktop. A process may hold more connections to the bus than
    // its toolkit's (one that only listens to events, say): those have no
    // tree and are not on the desktop.
    const QDBusMessage desktop
        = QDBusMessage::createMethodCall(u"org.a11y.atspi.Registry"_s, rootPath, accessibleInterface, u"GetChildren"_s);
    QStringList applications;
    for (const auto& [service, path] : referencesOf(m_bus.call(desktop, QDBus::Block, callTimeoutMs))) {
        applications.append(service);
    }
    for (const QString& name : std::as_const(applications)) {
        if (name == m_bus.baseService()) {
            continue;
        }
        QDBusMessage pid = QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
            u"org.freedesktop.DBus"_s, u"GetConnectionUnixProcessID"_s);
        pid << name;
        const QDBusMessage reply = m_bus.call(pid, QDBus::Block, callTimeoutMs);
        if (!reply.arguments().isEmpty() && reply.arguments().constFirst().toUInt() == uint(m_processId)) {
            return name;
        }
    }
    return {};
}

AtspiNode AtspiWalker::read(const QString& service, const QString& path, int depth)
{
    AtspiNode node;
    node.service = service;
    node.path = path;
    node.depth = depth;
    auto call = [&](const QString& interface, const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, callTimeoutMs);
    };
    auto property = [&](const QString& name) {
        const QDBusMessage reply = call(u"org.freedesktop.DBus.Properties"_s, u"Get"_s, { accessibleInterface, name });
        return reply.arguments().isEmpty() ? QVariant()
                                           : qdbus_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
    };
    node.role = call(accessibleInterface, u"GetRoleName"_s).arguments().value(0).toString();
    node.name = property(u"Name"_s).toString();
    node.description = property(u"Description"_s).toString();
    node.childCount = property(u"ChildCount"_s).toInt();
    const QDBusMessage states = call(accessibleInterface, u"GetState"_s);
    if (!states.arguments().isEmpty()) {
        node.states = statesFrom(qdbus_cast<QList<uint>>(states.arguments().constFirst()));
    }
    node.interfaces = call(accessibleInterface, u"GetInterfaces"_s).arguments().value(0).toStringList();
    if (node.interfaces.contains(actionInterface)) {
        const QDBusMessage reply = call(actionInterface, u"GetActions"_s);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const QDBusArgument actions = reply.arguments().constFirst().value<QDBusArgument>();
            actions.beginArray();
            while (!actions.atEnd()) {
                QString name;
                QString description;
                QString keys;
                actions.beginStructure();
                actions >> name >> description >> keys;
                actions.endStructure();
                node.actions.append(name);
            }
            actions.endArray();
        }
    }
    return node;
}

QList<AtspiNode> AtspiWalker::walk(const AtspiNode& root)
{
    QList<AtspiNode> tree;
    offMainThread([&] {
        std::function<void(const AtspiNode&)> visit = [&](const AtspiNode& node) {
            tree.append(node);
            QDBusMessage message
                = QDBusMessage::createMethodCall(node.service, node.path, accessibleInterface, u"GetChildren"_s);
            const auto children = referencesOf(m_bus.call(message, QDBus::Block, callTimeoutMs));
            for (const auto& [service, path] : children) {
                if (path == nullPath) {
                    continue;
                }
                const AtspiNode child = read(service.isEmpty() ? node.service : service, path, node.depth + 1);
                if (child.has(ATSPI_STATE_VISIBLE)) {
                    visit(child);
                }
            }
        };
        visit(read(root.service, root.path, 0));
    });
    return tree;
}

QList<AtspiNode> AtspiWalker::windowContaining(const QString& name, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_application.isEmpty()) {
            offMainThread([this] { m_application = ownApplication(); });
        }
        if (!m_application.isEmpty()) {
            AtspiNode application;
            application.service = m_application;
            application.path = rootPath;
            const QList<AtspiNode> everything = walk(application);
            // Each window is a child of the application: cut the walk there.
            for (qsizetype i = 0; i < everything.size(); ++i) {
                if (everything[i].depth != 1) {
                    continue;
                }
                qsizetype end = i + 1;
                while (end < everything.size() && everything[end].depth > 1) {
                    ++end;
                }
                QList<AtspiNode> window = everything.mid(i, end - i);
                if (find(window, name)) {
                    for (AtspiNode& node : window) {
                        node.depth -= 1;
                    }
                    return window;
                }
            }
        }
        QDeadlineTimer pause(100);
        while (!pause.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
    return {};
}

QStringList AtspiWalker::problems(const QList<AtspiNode>& tree)
{
    QStringList found;
    // Below a text element lie the toolkit's own parts of it (the viewport and
    // the scroll bars of a multi-line editor), read as part of the text.
    int insideTextBelow = -1;
    for (const AtspiNode& node : tree) {
        if (insideTextBelow >= 0 && node.depth > insideTextBelow) {
            continue;
        }
        insideTextBelow = node.role == u"text"_s ? node.depth : -1;
        const bool interactive = node.isInteractive();
        // A scroll bar is read by its orientation and position, never by a name.
        if (interactive && node.name.trimmed().isEmpty() && node.role != u"scroll bar"_s) {
            found << u"an interactive element has no name: "_s + node.describe();
        }
        if (!interactive && node.childCount == 0 && meaninglessRoles.contains(node.role)) {
            found << (node.name.isEmpty() ? u"a drawing is left in the tree: "_s
                                          : u"a text is exposed without the label role: "_s)
                    + node.describe();
        }
        // Only the walked window itself is a window: a part read as one is
        // announced as a window of its own.
        if (node.depth > 0 && windowRoles.contains(node.role)) {
            found << u"a part of the window is read as a window: "_s + node.describe();
        }
        const bool checkable
            = node.has(ATSPI_STATE_CHECKABLE) || node.role == u"check box"_s || node.role == u"toggle button"_s;
        if (checkable && node.actions.contains(u"Toggle"_s) && !node.actions.contains(u"Press"_s)) {
            found << u"a checkable element toggles instead of clicking: "_s + node.describe();
        }
    }
    return found;
}

std::optional<AtspiNode> AtspiWalker::find(const QList<AtspiNode>& tree, const QString& name, const QString& role)
{
    for (const AtspiNode& node : tree) {
        if (node.name == name && (role.isEmpty() || node.role == role)) {
            return node;
        }
    }
    return std::nullopt;
}

AtspiNode AtspiWalker::refresh(const AtspiNode& node)
{
    AtspiNode fresh;
    offMainThread([&] { fresh = read(node.service, node.path, node.depth); });
    return fresh;
}

bool AtspiWalker::doAction(const AtspiNode& node, const QString& action)
{
    const qsizetype index = node.actions.indexOf(action);
    if (index < 0) {
        return false;
    }
    bool done = false;
    offMainThread([&] {
        QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, actionInterface, u"DoAction"_s);
        message << int(index);
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, callTimeoutMs);
        done = reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
    });
    // Let whatever the action set off (signals, repaints) run.
    QCoreApplication::processEvents();
    return done;
}

bool AtspiWalker::setText(const AtspiNode& node, const QString& text)
{
    bool done = false;
    offMainThread([&] {
        QDBusMessage message = QDBusMessage::createMethodCall(
            node.service, node.path, u"org.a11y.atspi.EditableText"_s, u"SetTextContents"_s);
        message << text;
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, callTimeoutMs);
        done = reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
    });
    QCoreApplication::processEvents();
    return done;
}

QString AtspiWalker::text(const AtspiNode& node)
{
    QString result;
    offMainThread([&] {
        QDBusMessage message
            = QDBusMessage::createMethodCall(node.service, node.path, u"org.a11y.atspi.Text"_s, u"GetText"_s);
        message << 0 << -1;
        result = m_bus.call(message, QDBus::Block, callTimeoutMs).arguments().value(0).toString();
    });
    return result;
}

} // namespace kestravin::test
