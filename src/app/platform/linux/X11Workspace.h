#pragma once

#include "app/platform/DesktopEntryIndex.h"
#include "app/platform/Workspace.h"

#include <QRect>

#include <memory>
#include <optional>

namespace kestravin {

// The workspace of an X11 desktop, read and driven through EWMH. A running app
// is the group of client windows that share one desktop-file ID; a launch is a
// new group in _NET_CLIENT_LIST, an activation a change of _NET_ACTIVE_WINDOW,
// and hiding iconifies every window of the group. The root window's property
// changes arrive on the X connection's socket, so nothing is polled.
class X11Workspace final : public Workspace {
    Q_OBJECT
public:
    struct Options {
        // The X display to open; empty means $DISPLAY.
        QString displayName;
        // The desktop-file ID of this application: windows of this process
        // always carry it, whatever their class says.
        QString ownIdentity;
    };

    explicit X11Workspace(DesktopEntryIndex entries, Options options, QObject* parent = nullptr);
    ~X11Workspace() override;

    bool isAvailable() const override;
    QString unavailableReason() const override;

    QList<RunningApp> runningApplications() const override;
    std::optional<RunningApp> frontmostApplication() const override;

    void hide(const RunningApp& app) override;
    void unhide(const RunningApp& app) override;
    void activate(const RunningApp& app) override;

    bool isHidden(const RunningApp& app) const override;
    bool isTerminated(const RunningApp& app) const override;

    // One managed window, for the browser shield.
    struct ClientWindow {
        quint32 id = 0;
        quint32 pid = 0;
        // Of the client area, in root coordinates.
        QRect frame;
        // Mapped and not iconified or hidden.
        bool onScreen = false;
        // A normal window (not a dock, desktop, menu...).
        bool normal = true;
        // The class of WM_CLASS, lower-cased.
        QString windowClass;
    };
    std::optional<quint32> activeWindow() const;
    std::optional<ClientWindow> clientWindow(quint32 window) const;
    // The window's title (_NET_WM_NAME, else WM_NAME); empty when it has none.
    QString windowTitle(quint32 window) const;
    // The client windows in stacking order, bottom first.
    QList<ClientWindow> clientWindows() const;
    // Asks the window manager to activate one window, as a pager would.
    void activateWindow(quint32 window);

    // How often the client list and new windows' properties were read; a
    // launch should cost one read of the list.
    struct Counters {
        int clientListReads = 0;
        int windowReads = 0;
    };
    Counters counters() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kestravin
