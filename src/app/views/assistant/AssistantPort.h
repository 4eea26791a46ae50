#pragma once

#include "app/models/AssistantForm.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <optional>

namespace kestravin {

// What the assistant window reads and asks of the services: the request
// service's published state and operations, the account's session, focus and
// sign-in, the browser extension's state, the daemon's blocking and the
// blocked list. `changed` is emitted whenever any of it may have changed.
class AssistantPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AssistantPort() override = default;

    // The request service.
    virtual bool busy() const = 0;
    virtual QString message() const = 0;
    virtual std::optional<QString> decision() const = 0;
    virtual std::optional<QDateTime> accessUntil() const = 0;
    virtual bool applyFailed() const = 0;
    virtual QString selectedPlatform() const = 0;
    virtual void setSelectedPlatform(const QString& platform) = 0;
    virtual std::optional<QString> prefilledURL() const = 0;
    virtual void clearPrefilledURL() = 0;
    virtual void request(const QString& platform, const QString& reason, int minutes) = 0;
    virtual void requestURL(const QString& url, const QString& reason, int minutes) = 0;
    virtual void startOver() = 0;

    // The account.
    virtual bool hasSession() const = 0;
    virtual bool accountFocus() const = 0;
    virtual bool connecting() const = 0;
    virtual QString code() const = 0;
    virtual QString accountMessage() const = 0;
    virtual void connectAccount() = 0;

    // The browser extension.
    virtual bool bridgeEnabled() const = 0;
    virtual bool bridgeConnected() const = 0;
    virtual bool helperReady() const = 0;
    virtual bool bridgeFocus() const = 0;

    // The daemon and the configuration.
    virtual bool isBlocking() const = 0;
    virtual QStringList blockedSites() const = 0;

Q_SIGNALS:
    void changed();
    // The shield handed over a platform or a link; the form adopts them.
    void selectedPlatformPublished(const QString& platform);
    void prefilledURLPublished(const QString& url);
};

} // namespace kestravin
