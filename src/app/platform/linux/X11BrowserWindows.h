#pragma once

#include "app/platform/ShieldPlatform.h"
#include "app/platform/linux/X11Workspace.h"

namespace kestravin {

// The browser shield's view of an X11 desktop, on the app blocker's
// workspace: the front app with the process of its active window, client
// windows found by process and geometry, activation as a pager asks for it.
class X11BrowserWindows final : public BrowserWindows {
    Q_OBJECT
public:
    explicit X11BrowserWindows(X11Workspace& workspace, QObject* parent = nullptr);

    bool isAvailable() const override;
    QString unavailableReason() const override;
    std::optional<FrontApp> frontmost() const override;
    qint64 ownPid() const override;
    bool isRunning(qint64 pid) const override;
    bool isTerminated(const RunningApp& app) const override;
    std::optional<quint32> windowOf(qint64 pid, const std::optional<QRect>& frame) const override;
    std::optional<WindowInfo> windowInfo(quint32 window) const override;
    std::optional<quint32> activeWindow() const override;
    void activateWindow(quint32 window) override;
    void activate(const RunningApp& app) override;
    void hide(const RunningApp& app) override;
    std::optional<QRect> screen() const override;

private:
    std::optional<FrontApp> describe(const RunningApp& app) const;

    X11Workspace& m_workspace;
    // The window of each process that was last seen active.
    mutable QHash<qint64, quint32> m_lastActive;
};

// Shortcuts typed through the XTest extension into the focused window.
class XTestKeySender final : public KeySender {
public:
    // An empty display name means $DISPLAY.
    explicit XTestKeySender(QString displayName = {});
    bool send(ShieldKey key) override;

private:
    QString m_displayName;
};

} // namespace kestravin
