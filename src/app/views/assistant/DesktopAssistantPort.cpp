#include "app/views/assistant/DesktopAssistantPort.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/assistant/DesktopAIService.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"

namespace kestravin {

DesktopAssistantPort::DesktopAssistantPort(Sources sources, QObject* parent) : AssistantPort(parent), m_sources(sources)
{
    DesktopAIService* service = m_sources.service;
    connect(service, &DesktopAIService::stateChanged, this, &AssistantPort::changed);
    connect(service, &DesktopAIService::selectedPlatformChanged, this,
        [this, service] { Q_EMIT selectedPlatformPublished(service->selectedPlatform()); });
    connect(service, &DesktopAIService::prefilledURLChanged, this, [this, service] {
        if (const auto& url = service->prefilledURL()) {
            Q_EMIT prefilledURLPublished(*url);
        }
    });
    connect(m_sources.account, &DesktopAccountService::snapshotChanged, this, &AssistantPort::changed);
    connect(m_sources.account, &DesktopAccountService::stateChanged, this, &AssistantPort::changed);
    for (const auto signal : { &DesktopBrowserBridge::enabledChanged, &DesktopBrowserBridge::connectedChanged,
             &DesktopBrowserBridge::helperReadyChanged, &DesktopBrowserBridge::focusChanged }) {
        connect(m_sources.bridge, signal, this, &AssistantPort::changed);
    }
    connect(m_sources.blocking, &BlockingService::isBlockingChanged, this, &AssistantPort::changed);
    connect(m_sources.configuration, &ConfigurationManager::configurationChanged, this, &AssistantPort::changed);
}

bool DesktopAssistantPort::busy() const
{
    return m_sources.service->busy();
}

QString DesktopAssistantPort::message() const
{
    return m_sources.service->message();
}

std::optional<QString> DesktopAssistantPort::decision() const
{
    return m_sources.service->decision();
}

std::optional<QDateTime> DesktopAssistantPort::accessUntil() const
{
    return m_sources.service->accessUntil();
}

bool DesktopAssistantPort::applyFailed() const
{
    return m_sources.service->applyFailed();
}

QString DesktopAssistantPort::selectedPlatform() const
{
    return m_sources.service->selectedPlatform();
}

void DesktopAssistantPort::setSelectedPlatform(const QString& platform)
{
    m_sources.service->setSelectedPlatform(platform);
}

std::optional<QString> DesktopAssistantPort::prefilledURL() const
{
    return m_sources.service->prefilledURL();
}

void DesktopAssistantPort::clearPrefilledURL()
{
    m_sources.service->setPrefilledURL(std::nullopt);
}

void DesktopAssistantPort::request(const QString& platform, const QString& reason, int minutes)
{
    m_sources.service->request(platform, reason, minutes);
}

void DesktopAssistantPort::requestURL(const QString& url, const QString& reason, int minutes)
{
    m_sources.service->requestURL(url, reason, minutes);
}

void DesktopAssistantPort::startOver()
{
    m_sources.service->startOver();
}

bool DesktopAssistantPort::hasSession() const
{
    return m_sources.account->session().has_value();
}

bool DesktopAssistantPort::accountFocus() const
{
    const auto& snapshot = m_sources.account->snapshot();
    return snapshot && snapshot->focus.enabled;
}

bool DesktopAssistantPort::connecting() const
{
    return m_sources.account->connecting();
}

QString DesktopAssistantPort::code() const
{
    return m_sources.account->code();
}

QString DesktopAssistantPort::accountMessage() const
{
    return m_sources.account->message();
}

void DesktopAssistantPort::connectAccount()
{
    m_sources.account->connect();
}

bool DesktopAssistantPort::bridgeEnabled() const
{
    return m_sources.bridge->enabled();
}

bool DesktopAssistantPort::bridgeConnected() const
{
    return m_sources.bridge->connected();
}

bool DesktopAssistantPort::helperReady() const
{
    return m_sources.bridge->helperReady();
}

bool DesktopAssistantPort::bridgeFocus() const
{
    return m_sources.bridge->focus().enabled;
}

bool DesktopAssistantPort::isBlocking() const
{
    return m_sources.blocking->isBlocking();
}

QStringList DesktopAssistantPort::blockedSites() const
{
    return m_sources.configuration->configuration().blockedSites;
}

} // namespace kestravin
