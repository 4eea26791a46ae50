#pragma once

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestravin::test {

// One element of an AT-SPI tree as a screen reader reads it.
struct AtspiNode {
    QString service; // the application's name on the accessibility bus
    QString path;
    int depth = 0;
    QString role; // AT-SPI's role name: "push button", "label", "text", …
    QString name;
    QString description;
    QStringList interfaces; // "org.a11y.atspi.Action", …
    QStringList actions; // names of the Action interface, in order
    QList<uint> states; // AtspiStateType values that are set
    int childCount = 0;

    bool has(uint state) const { return states.contains(state); }
    // Takes input or reacts to a press.
    bool isInteractive() const;
    // "push button 'Continuar'", for messages.
    QString describe() const;
};

// Reads and drives this process's own widgets (or those of a followed
// process) through the accessibility bus,
// the way Orca does: every request is a D-Bus call to the Qt bridge. The
// bridge answers on the main thread, so each call runs on a worker thread
// while the main thread keeps processing events; use the walker from the main
// thread only. Start an AccessibleSession before the QApplication.
class AtspiWalker {
public:
    explicit AtspiWalker(const QString& accessibilityBusAddress);
    ~AtspiWalker();
    AtspiWalker(const AtspiWalker&) = delete;
    AtspiWalker& operator=(const AtspiWalker&) = delete;

    // Reads and drives the application of another process from now on (a
    // program the test started on the same accessibility bus).
    void follow(qint64 processId);

    // The tree of the first top-level window of this application whose tree
    // holds a visible element named `name`, waiting up to `timeoutMs` for it.
    QList<AtspiNode> windowContaining(const QString& name, int timeoutMs = 20000);

    // The visible elements below `root` (itself first), depth first. Hidden
    // elements are skipped with everything inside them.
    QList<AtspiNode> walk(const AtspiNode& root);

    // What a screen-reader user would trip over: an interactive element
    // without a name, a leaf that is not a label but carries text (painted text
    // exposed as a filler), an unnamed leaf drawing left in the tree, and a
    // checkable element whose action toggles instead of clicking, and a part of
    // the window (the first element) read as a window. Empty when
    // the tree is sound. The parts Qt puts inside a text element (viewport,
    // scroll bars) belong to it and are not judged.
    static QStringList problems(const QList<AtspiNode>& tree);

    // The first element of `tree` named `name` (and of `role` when given).
    static std::optional<AtspiNode> find(const QList<AtspiNode>& tree, const QString& name, const QString& role = {});

    // The element read again (states, name, actions) after a change.
    AtspiNode refresh(const AtspiNode& node);
    // Runs the named action ("Press", …); false when the element lacks it or
    // the bridge refuses.
    bool doAction(const AtspiNode& node, const QString& action);
    // Replaces the text of an editable element, as a screen reader's typing
    // does, and reads it back through the Text interface.
    bool setText(const AtspiNode& node, const QString& text);
    QString text(const AtspiNode& node);

private:
    void offMainThread(const std::function<void()>& work);
    AtspiNode read(const QString& service, const QString& path, int depth);
    QString ownApplication();

    QString m_connectionName;
    QDBusConnection m_bus;
    QString m_application;
    qint64 m_processId;
};

} // namespace kestravin::test
