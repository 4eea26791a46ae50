#pragma once

#include "app/views/assistant/AssistantPort.h"

#include <QList>

namespace kestravin::testing_support {

// The services behind the assistant window, as plain fields that a test sets
// and publishes with `changed()`. Requests are recorded and make the service
// busy, as the real one does at once.
class FakeAssistantPort : public AssistantPort {
public:
    struct Call {
        bool link = false;
        QString target;
        QString reason;
        int minutes = 0;
    };

    bool busyValue = false;
    QString messageValue;
    std::optional<QString> decisionValue;
    std::optional<QDateTime> accessUntilValue;
    bool applyFailedValue = false;
    QString selectedPlatformValue = QStringLiteral("youtube");
    std::optional<QString> prefilledURLValue;
    bool session = true;
    bool accountFocusValue = true;
    bool connectingValue = false;
    QString codeValue;
    QString accountMessageValue;
    bool bridgeEnabledValue = false;
    bool bridgeConnectedValue = false;
    bool helperReadyValue = false;
    bool bridgeFocusValue = false;
    bool blocking = false;
    QStringList blocked;
    QList<Call> calls;
    int startOvers = 0;
    int connects = 0;

    bool busy() const override { return busyValue; }
    QString message() const override { return messageValue; }
    std::optional<QString> decision() const override { return decisionValue; }
    std::optional<QDateTime> accessUntil() const override { return accessUntilValue; }
    bool applyFailed() const override { return applyFailedValue; }
    QString selectedPlatform() const override { return selectedPlatformValue; }
    void setSelectedPlatform(const QString& platform) override
    {
        selectedPlatformValue = platform;
        Q_EMIT selectedPlatformPublished(platform);
    }
    std::optional<QString> prefilledURL() const override { return prefilledURLValue; }
    void clearPrefilledURL() override { prefilledURLValue.reset(); }
    void request(const QString& platform, const QString& reason, int minutes) override
    {
        start({ false, platform, reason, minutes });
    }
    void requestURL(const QString& url, const QString& reason, int minutes) override
    {
        start({ true, url, reason, minutes });
    }
    void startOver() override
    {
        if (busyValue) {
            return;
        }
        ++startOvers;
        prefilledURLValue.reset();
        messageValue.clear();
        decisionValue.reset();
        accessUntilValue.reset();
        applyFailedValue = false;
        Q_EMIT changed();
    }

    bool hasSession() const override { return session; }
    bool accountFocus() const override { return accountFocusValue; }
    bool connecting() const override { return connectingValue; }
    QString code() const override { return codeValue; }
    QString accountMessage() const override { return accountMessageValue; }
    void connectAccount() override { ++connects; }

    bool bridgeEnabled() const override { return bridgeEnabledValue; }
    bool bridgeConnected() const override { return bridgeConnectedValue; }
    bool helperReady() const override { return helperReadyValue; }
    bool bridgeFocus() const override { return bridgeFocusValue; }
    bool isBlocking() const override { return blocking; }
    QStringList blockedSites() const override { return blocked; }

    // The service's answer to the request running now.
    void answer(std::optional<QString> decision, QString message, std::optional<QDateTime> until = std::nullopt,
        bool applyFailed = false)
    {
        busyValue = false;
        decisionValue = std::move(decision);
        messageValue = std::move(message);
        accessUntilValue = until;
        applyFailedValue = applyFailed;
        Q_EMIT changed();
    }
    void publish() { Q_EMIT changed(); }

private:
    void start(Call call)
    {
        if (busyValue) {
            return;
        }
        calls.append(std::move(call));
        busyValue = true;
        messageValue = QStringLiteral("Avaliando seu pedido…");
        decisionValue.reset();
        Q_EMIT changed();
    }
};

} // namespace kestravin::testing_support
