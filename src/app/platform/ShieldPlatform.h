#pragma once

#include "app/platform/RunningApp.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

namespace kestravin {

// One element of another application's accessibility tree: on AT-SPI the
// owning bus name and the object path. Two references are the same element
// when both parts are equal.
struct AxElement {
    QString service;
    QString path;

    bool isNull() const { return service.isEmpty(); }
    bool operator==(const AxElement&) const = default;
};

inline size_t qHash(const AxElement& element, size_t seed = 0) noexcept
{
    return qHashMulti(seed, element.service, element.path);
}

// The roles the browser shield tells apart; everything else is Other.
enum class AxRole { Other, Application, Window, WebArea, TextField, ComboBox, TabList, Tab };

// Why a read gave nothing: the element is gone (closed tab or window), the
// element has no such value, or anything else (time-out, broken reply).
enum class AxError { None, Gone, NoValue, Failed };

template <typename T> struct AxRead {
    std::optional<T> value;
    AxError error = AxError::None;

    static AxRead fail(AxError why) { return AxRead { std::nullopt, why }; }
    bool ok() const { return value.has_value(); }
};

struct AxChildren {
    // The first children, at most as many as asked for.
    QList<AxElement> elements;
    // How many children the element has in all.
    int count = 0;
};

struct AxStates {
    bool focused = false;
    bool selected = false;
    bool active = false;
    // On screen: a background tab's document is in the tree but not showing.
    bool showing = true;
};

// What the desktop says of an application's active window, to tell its
// frame from the others when the application marks none active.
struct WindowHint {
    QString title;
    std::optional<QRect> frame;
};

// The accessibility tree of other applications, read synchronously; every
// call is bounded by a short time-out of the backend's own.
class AccessibilityTree {
public:
    virtual ~AccessibilityTree() = default;

    // Whether applications publish their trees (the desktop's accessibility
    // switch is on and its bus reachable).
    virtual bool isEnabled() = 0;
    // Switches publishing on for applications started from now on; answers
    // isEnabled() afterwards.
    virtual bool enable() = 0;

    // The application element of a process; nothing when the process
    // publishes no tree that this session can see.
    virtual std::optional<AxElement> application(qint64 pid) = 0;
    // The application's window that has the focus: the one marked active,
    // else the one `hint` describes, else the largest.
    virtual AxRead<AxElement> focusedWindow(const AxElement& application, const WindowHint& hint = {}) = 0;

    virtual AxRead<AxRole> role(const AxElement& element) = 0;
    virtual AxRead<AxChildren> children(const AxElement& element, int limit) = 0;
    // The element's name (a window's title).
    virtual AxRead<QString> name(const AxElement& element) = 0;
    virtual AxRead<QString> description(const AxElement& element) = 0;
    // The toolkit's identifier of the element, where it publishes one.
    virtual AxRead<QString> identifier(const AxElement& element) = 0;
    // The text a field holds.
    virtual AxRead<QString> text(const AxElement& element) = 0;
    virtual AxRead<AxStates> states(const AxElement& element) = 0;
    // The address of a web document element.
    virtual AxRead<QString> documentUrl(const AxElement& element) = 0;
    // The element's rectangle in screen coordinates (top-left origin).
    virtual AxRead<QRect> extents(const AxElement& element) = 0;
    // Performs the element's default action (a tab: select it).
    virtual bool press(const AxElement& element) = 0;
};

// What other applications announce in their accessibility trees: a window
// activated, the focus moved, a document loaded, a name changed (a window's
// title). Reading again when they come spares a reader most of its polling.
class AccessibilityEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts listening; false when the desktop's accessibility bus cannot be
    // reached. Listening again after `stop` is allowed.
    virtual bool listen() = 0;
    virtual void stop() = 0;

Q_SIGNALS:
    // `service` is the announcing application's bus name, the service of
    // its `AxElement`s.
    void announced(const QString& service);
};

// The frontmost application as the shield needs it.
struct FrontApp {
    RunningApp app;
    qint64 pid = 0;
    // The desktop-file ID, or the window class in lower case when no desktop
    // entry matched.
    QString identity;
};

// The desktop's windows: who is in front, where a window is, and bringing a
// window forward. X11 window IDs serve as window numbers.
class BrowserWindows : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isAvailable() const = 0;
    virtual QString unavailableReason() const = 0;

    virtual std::optional<FrontApp> frontmost() const = 0;
    virtual qint64 ownPid() const = 0;
    virtual bool isRunning(qint64 pid) const = 0;
    virtual bool isTerminated(const RunningApp& app) const = 0;

    // The on-screen normal window of `pid` whose geometry matches `frame`
    // (within 2 px), or, without a match, the process's window that was
    // active last.
    virtual std::optional<quint32> windowOf(qint64 pid, const std::optional<QRect>& frame) const = 0;
    struct WindowInfo {
        qint64 pid = 0;
        QRect frame;
        // Mapped, not iconified or hidden.
        bool onScreen = false;
        QString title;
    };
    // Nothing once the window is destroyed.
    virtual std::optional<WindowInfo> windowInfo(quint32 window) const = 0;
    virtual std::optional<quint32> activeWindow() const = 0;
    virtual void activateWindow(quint32 window) = 0;

    virtual void activate(const RunningApp& app) = 0;
    virtual void hide(const RunningApp& app) = 0;

    // The primary screen's rectangle.
    virtual std::optional<QRect> screen() const = 0;

Q_SIGNALS:
    void applicationActivated(const kestravin::FrontApp& app);
};

enum class ShieldKey { Reload, CloseTab };

// Types a browser shortcut into the window that holds the keyboard focus.
class KeySender {
public:
    virtual ~KeySender() = default;
    virtual bool send(ShieldKey key) = 0;
};

} // namespace kestravin

Q_DECLARE_METATYPE(kestravin::FrontApp)
