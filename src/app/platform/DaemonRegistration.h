#pragma once

#include <QString>

#include <functional>

namespace kestravin {

// The system's registration of the daemon unit that a distribution package
// installed (the approval route of the installer).
class DaemonRegistration {
public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~DaemonRegistration() = default;

    virtual Status status() = 0;
    // status(), answered through `done` on the GUI thread without waiting for
    // the system: a poll that runs every half second must never hold the GUI.
    // `done` is not called once the registration is gone.
    virtual void queryStatus(std::function<void(Status)> done) { done(status()); }
    // Asks the system to enable and start the unit. Returns true when it is
    // enabled at once; otherwise false with a reason, and status() then tells
    // whether the request waits for the user's authorization.
    virtual bool registerDaemon(QString* error) = 0;
    // Disables the unit; `done` runs on the GUI thread whatever the outcome.
    virtual void unregisterDaemon(std::function<void()> done) = 0;
    // Brings up whatever the user approves the daemon in. On Linux the
    // authentication dialog appears by itself, so this may do nothing.
    virtual void openApprovalSettings() = 0;
    // Whether the packaged unit file exists.
    virtual bool bundlesDaemon() const = 0;
};

} // namespace kestravin
