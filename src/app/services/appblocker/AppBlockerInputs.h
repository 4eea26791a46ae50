#pragma once

#include "app/models/BlockedApp.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace kestravin {

// The published values of other services that the app blocker follows: the
// site block, the browser-extension focus, the block list and the two ends a
// focus may have.
class AppBlockerInputs : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AppBlockerInputs() override = default;

    // The site block is in force.
    virtual bool isBlocking() const = 0;
    // The browser-extension sync is switched on.
    virtual bool browserSyncEnabled() const = 0;
    // The focus shared with the browser extension is running.
    virtual bool browserFocusEnabled() const = 0;
    virtual QList<BlockedApp> blockedApps() const = 0;
    // End of the running manual focus, if one runs.
    virtual std::optional<QDateTime> sessionEndTime() const = 0;
    // End of today's scheduled focus range in force, if any.
    virtual std::optional<QDateTime> scheduleNextDeactivation() const = 0;

Q_SIGNALS:
    // One of isBlocking, browserSyncEnabled or browserFocusEnabled changed.
    void focusInputsChanged();
    void blockedAppsChanged();
};

} // namespace kestravin
