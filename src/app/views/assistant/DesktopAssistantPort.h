#pragma once

#include "app/views/assistant/AssistantPort.h"

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class DesktopAIService;
class DesktopAccountService;
class DesktopBrowserBridge;

// The assistant window's port over the application's services.
class DesktopAssistantPort final : public AssistantPort {
    Q_OBJECT
public:
    struct Sources {
        DesktopAIService* service = nullptr;
        DesktopAccountService* account = nullptr;
        DesktopBrowserBridge* bridge = nullptr;
        BlockingService* blocking = nullptr;
        ConfigurationManager* configuration = nullptr;
    };

    explicit DesktopAssistantPort(Sources sources, QObject* parent = nullptr);

    bool busy() const override;
    QString message() const override;
    std::optional<QString> decision() const override;
    std::optional<QDateTime> accessUntil() const override;
    bool applyFailed() const override;
    QString selectedPlatform() const override;
    void setSelectedPlatform(const QString& platform) override;
    std::optional<QString> prefilledURL() const override;
    void clearPrefilledURL() override;
    void request(const QString& platform, const QString& reason, int minutes) override;
    void requestURL(const QString& url, const QString& reason, int minutes) override;
    void startOver() override;

    bool hasSession() const override;
    bool accountFocus() const override;
    bool connecting() const override;
    QString code() const override;
    QString accountMessage() const override;
    void connectAccount() override;

    bool bridgeEnabled() const override;
    bool bridgeConnected() const override;
    bool helperReady() const override;
    bool bridgeFocus() const override;
    bool isBlocking() const override;
    QStringList blockedSites() const override;

private:
    Sources m_sources;
};

} // namespace kestravin
