#pragma once

#include "app/platform/ShieldPlatform.h"
#include "app/services/shield/ShieldPanelHost.h"
#include "support/FakeTime.h"

#include <QHash>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace kestravin::testing {

// An accessibility tree held in memory. Every read costs `readCost` of the
// fake clock, so the searches' deadlines can be reached.
class FakeTree : public AccessibilityTree {
public:
    struct Node {
        AxRole role = AxRole::Other;
        QString name, description, identifier, text, url;
        AxStates states;
        std::optional<QRect> extents;
        QList<AxElement> children;
        AxError childrenError = AxError::None;
        bool gone = false;

        static Node with(AxRole role, const QString& name = {}, const QString& description = {},
            const QString& text = {}, const QString& url = {})
        {
            Node node;
            node.role = role;
            node.name = name;
            node.description = description;
            node.text = text;
            node.url = url;
            return node;
        }
    };

    explicit FakeTree(FakeTime& time) : m_time(time) { }

    bool enabled = true;
    bool enableWorks = true;
    QHash<qint64, AxElement> apps;
    QHash<AxElement, AxElement> focused;
    QHash<AxElement, Node> nodes;
    std::chrono::milliseconds readCost { 0 };
    // A real wait in every read instead, as a slow browser answers; the
    // reads may then come from another thread, and the fake clock stays.
    std::chrono::milliseconds realDelay { 0 };
    std::atomic<int> reads = 0;
    // Run at every read, to change the desktop while the tree is read.
    std::function<void()> onRead;
    QList<AxElement> childReads;
    QList<AxElement> pressed;

    AxElement add(const QString& path, Node node, const std::optional<AxElement>& parent = std::nullopt)
    {
        const AxElement element { QStringLiteral(":1.7"), path };
        nodes.insert(element, std::move(node));
        if (parent) {
            nodes[*parent].children.append(element);
        }
        return element;
    }
    Node& at(const AxElement& element) { return nodes[element]; }

    bool isEnabled() override { return enabled; }
    bool enable() override
    {
        enabled = enabled || enableWorks;
        return enabled;
    }
    std::optional<AxElement> application(qint64 pid) override
    {
        tick();
        return apps.contains(pid) ? std::optional(apps.value(pid)) : std::nullopt;
    }
    AxRead<AxElement> focusedWindow(const AxElement& app, const WindowHint& = {}) override
    {
        tick();
        if (!focused.contains(app)) {
            return AxRead<AxElement>::fail(AxError::NoValue);
        }
        return { focused.value(app) };
    }
    AxRead<AxRole> role(const AxElement& e) override
    {
        return read<AxRole>(e, [](const Node& n) { return n.role; });
    }
    AxRead<AxChildren> children(const AxElement& e, int limit) override
    {
        childReads.append(e);
        tick();
        const auto it = nodes.constFind(e);
        if (it == nodes.constEnd() || it->gone) {
            return AxRead<AxChildren>::fail(AxError::Gone);
        }
        if (it->childrenError != AxError::None) {
            return AxRead<AxChildren>::fail(it->childrenError);
        }
        return { AxChildren {
            it->children.first(std::min<qsizetype>(limit, it->children.size())), int(it->children.size()) } };
    }
    AxRead<QString> name(const AxElement& e) override
    {
        return read<QString>(e, [](const Node& n) { return n.name; });
    }
    AxRead<QString> description(const AxElement& e) override
    {
        return read<QString>(e, [](const Node& n) { return n.description; });
    }
    AxRead<QString> identifier(const AxElement& e) override
    {
        return read<QString>(e, [](const Node& n) { return n.identifier; });
    }
    AxRead<QString> text(const AxElement& e) override
    {
        return read<QString>(e, [](const Node& n) { return n.text; });
    }
    AxRead<AxStates> states(const AxElement& e) override
    {
        return read<AxStates>(e, [](const Node& n) { return n.states; });
    }
    AxRead<QString> documentUrl(const AxElement& e) override
    {
        const auto it = nodes.constFind(e);
        if (it != nodes.constEnd() && it->url.isEmpty()) {
            tick();
            return AxRead<QString>::fail(AxError::NoValue);
        }
        return read<QString>(e, [](const Node& n) { return n.url; });
    }
    AxRead<QRect> extents(const AxElement& e) override
    {
        const auto it = nodes.constFind(e);
        if (it != nodes.constEnd() && !it->extents) {
            tick();
            return AxRead<QRect>::fail(AxError::NoValue);
        }
        return read<QRect>(e, [](const Node& n) { return *n.extents; });
    }
    bool press(const AxElement& e) override
    {
        pressed.append(e);
        return true;
    }

private:
    void tick()
    {
        ++reads;
        if (onRead) {
            onRead();
        }
        if (realDelay > std::chrono::milliseconds(0)) {
            std::this_thread::sleep_for(realDelay);
        } else {
            m_time.advance(readCost);
        }
    }
    template <typename T, typename F> AxRead<T> read(const AxElement& e, F get)
    {
        tick();
        const auto it = nodes.constFind(e);
        if (it == nodes.constEnd() || it->gone) {
            return AxRead<T>::fail(AxError::Gone);
        }
        return { get(*it) };
    }

    FakeTime& m_time;
};

class FakeWindows : public BrowserWindows {
public:
    bool available = true;
    std::optional<FrontApp> front;
    qint64 own = 1;
    QSet<qint64> running;
    QSet<quint64> terminated;
    // The process's window found by its geometry, or the one last active.
    QHash<qint64, quint32> windowOfPid;
    // The windows that exist, with their processes.
    QHash<quint32, qint64> windowPids;
    std::optional<quint32> active;
    // Whether activating a window makes it active (a window manager that
    // refuses leaves it as it was).
    bool activationWorks = true;
    std::vector<quint32> activations;
    std::vector<quint64> appActivations, hides;

    bool isAvailable() const override { return available; }
    QString unavailableReason() const override { return available ? QString() : QStringLiteral("no X display"); }
    std::optional<FrontApp> frontmost() const override { return front; }
    qint64 ownPid() const override { return own; }
    bool isRunning(qint64 pid) const override { return running.contains(pid); }
    bool isTerminated(const RunningApp& app) const override { return terminated.contains(app.id); }
    std::optional<quint32> windowOf(qint64 pid, const std::optional<QRect>&) const override
    {
        return windowOfPid.contains(pid) ? std::optional(windowOfPid.value(pid)) : std::nullopt;
    }
    std::optional<WindowInfo> windowInfo(quint32 window) const override
    {
        if (!windowPids.contains(window)) {
            return std::nullopt;
        }
        return WindowInfo { windowPids.value(window), QRect(0, 0, 800, 600), true, QString() };
    }
    std::optional<quint32> activeWindow() const override { return active; }
    void activateWindow(quint32 window) override
    {
        activations.push_back(window);
        if (activationWorks) {
            active = window;
        }
    }
    void activate(const RunningApp& app) override { appActivations.push_back(app.id); }
    void hide(const RunningApp& app) override { hides.push_back(app.id); }
    std::optional<QRect> screen() const override { return QRect(0, 0, 1920, 1080); }
};

class FakeKeys : public KeySender {
public:
    std::vector<ShieldKey> sent;
    // Run when a key goes out, to let the fake browser react.
    std::function<void(ShieldKey)> onSend;
    bool send(ShieldKey key) override
    {
        sent.push_back(key);
        if (onSend) {
            onSend(key);
        }
        return true;
    }
};

class FakePanel : public ShieldPanelHost {
public:
    std::optional<Content> content;
    std::optional<QRect> shownFrame;
    QRect current;
    int shows = 0;
    int raises = 0;
    std::vector<quint32> glued;
    int orderedOut = 0;

    void show(const Content& c, const std::optional<QRect>& frame) override
    {
        content = c;
        shownFrame = frame;
        current = frame.value_or(QRect(680, 320, 560, 440));
        ++shows;
    }
    void close() override { content.reset(); }
    bool exists() const override { return content.has_value(); }
    QRect frame() const override { return current; }
    void setFrame(const QRect& frame) override { current = frame; }
    void raiseFloating() override { ++raises; }
    void glueAbove(quint32 window) override { glued.push_back(window); }
    void orderOut() override { ++orderedOut; }
};

} // namespace kestravin::testing
