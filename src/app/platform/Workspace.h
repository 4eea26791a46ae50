#pragma once

#include "app/platform/RunningApp.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace kestravin {

// The running applications of the desktop and the few things Kestravin does to
// them: hide, unhide and bring to the front. Everything runs on the GUI thread.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Workspace() override = default;

    // False when the desktop gives no control over other apps' windows (no X
    // display, a Wayland session without X11, a window manager without EWMH).
    virtual bool isAvailable() const = 0;
    // Why the workspace is unavailable, for the log; empty when available.
    virtual QString unavailableReason() const = 0;

    // The running apps in the order they appeared.
    virtual QList<RunningApp> runningApplications() const = 0;
    virtual std::optional<RunningApp> frontmostApplication() const = 0;

    virtual void hide(const RunningApp& app) = 0;
    virtual void unhide(const RunningApp& app) = 0;
    virtual void activate(const RunningApp& app) = 0;

    virtual bool isHidden(const RunningApp& app) const = 0;
    virtual bool isActive(const RunningApp& app) const
    {
        const auto front = frontmostApplication();
        return front && front->id == app.id;
    }
    virtual bool isTerminated(const RunningApp& app) const = 0;

Q_SIGNALS:
    // A new app came up: its first window appeared.
    void applicationLaunched(const kestravin::RunningApp& app);
    // Another app came to the front.
    void applicationActivated(const kestravin::RunningApp& app);
    // The last window of an app went away.
    void applicationTerminated(const kestravin::RunningApp& app);
};

} // namespace kestravin
