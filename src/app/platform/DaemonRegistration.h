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
