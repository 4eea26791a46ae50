#include "app/models/BrowserBridgePolicy.h"
#include "app/services/bridge/DesktopBrowserBridge.h"

#include <QFile>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

constexpr qsizetype minimumReason = 8;
constexpr qsizetype maximumReason = 1500;
constexpr int maximumLinkMinutes = 30;
constexpr qsizetype maximumLink = 500;
constexpr qsizetype maximumAuthorizationLink = 2000;
constexpr qsizetype minimumVerdictReason = 3;
constexpr qsizetype maximumVerdictReason = 400;

bool isDecision(const QString& decision)
{
    return decision == u"allow"_s || decision == u"deny"_s || decision == u"clarify"_s;
}

} // namespace

// One link request from the moment it is written into state.json until its
// verdict, failure or cancellation; the clean-up runs exactly once.
class DesktopBrowserBridge::PendingLink final : public DesktopBrowserBridge::LinkRequest,
                                                public std::enable_shared_from_this<PendingLink> {
public:
    PendingLink(DesktopBrowserBridge& bridge, BrowserURLRequest request, std::function<void(LinkOutcome)> completion)
        : m_bridge(bridge), m_alive(bridge.m_alive), m_request(std::move(request)), m_completion(std::move(completion))
    {
    }

    void cancel() override { finish(BridgeFailure::cancelled()); }

    void schedule()
    {
        auto self = shared_from_this();
        m_bridge.m_env.scheduler->runLater(linkPollInterval, &m_bridge, [self] { self->poll(); });
    }

private:
    void poll()
    {
        if (m_finished || !*m_alive) {
            return;
        }
        DesktopBrowserBridge& bridge = m_bridge;
        if (!bridge.m_enabled || !bridge.m_focus.enabled || bridge.m_focus.id != m_request.focusId
            || !bridge.m_connected || bridge.m_activeClientId != m_request.clientId) {
            finish(BridgeFailure::of(DesktopAccessError::sessionChanged));
            return;
        }
        const auto bytes = readExchangeFile(
            bridge.filePath(BrowserExchange::resultFileName(m_request.id)), BrowserExchange::maximumFileSize + 1);
        if (bytes && bytes->size() <= BrowserExchange::maximumFileSize) {
            QString error;
            const auto result = BrowserExchange::decode(*bytes, BrowserURLResult::fromJson, &error);
            if (!result) {
                finish(BridgeFailure::decoding(error));
            } else {
                finish(validate(*result));
            }
            return;
        }
        if (++m_polls >= linkPolls) {
            finish(BridgeFailure::of(DesktopAccessError::browserUnavailable));
            return;
        }
        schedule();
    }

    LinkOutcome validate(const BrowserURLResult& result) const
    {
        if (result.id != m_request.id || result.focusId != m_request.focusId) {
            return BridgeFailure::of(DesktopAccessError::invalidApproval);
        }
        if (result.error) {
            return BridgeFailure::fromExtension(*result.error);
        }
        if (!result.decision || !isDecision(*result.decision) || !result.reason) {
            return BridgeFailure::of(DesktopAccessError::invalidApproval);
        }
        const qsizetype reasonLength = BrowserBridgePolicy::characterCount(*result.reason);
        if (reasonLength < minimumVerdictReason || reasonLength > maximumVerdictReason) {
            return BridgeFailure::of(DesktopAccessError::invalidApproval);
        }
        if (*result.decision == u"allow"_s) {
            const double now = m_bridge.nowMs();
            const auto expires = result.expiresAt;
            if (!expires || !std::isfinite(*expires) || !(now < *expires) || *expires > m_bridge.m_focus.endsAt
                || *expires > now + double(m_request.minutes) * 60000.0) {
                return BridgeFailure::of(DesktopAccessError::invalidApproval);
            }
        }
        return result;
    }

    void finish(LinkOutcome outcome)
    {
        if (m_finished) {
            return;
        }
        m_finished = true;
        if (*m_alive) {
            DesktopBrowserBridge& bridge = m_bridge;
            if (bridge.m_pending && bridge.m_pending->id == m_request.id) {
                bridge.m_pending.reset();
                bridge.tick();
            }
            QFile::remove(bridge.filePath(BrowserExchange::resultFileName(m_request.id)));
        }
        if (m_completion) {
            auto completion = std::move(m_completion);
            completion(std::move(outcome));
        }
    }

    DesktopBrowserBridge& m_bridge;
    std::shared_ptr<bool> m_alive;
    BrowserURLRequest m_request;
    std::function<void(LinkOutcome)> m_completion;
    int m_polls = 0;
    bool m_finished = false;
};

namespace {

// A request that failed its checks: nothing to cancel.
class SettledLink final : public DesktopBrowserBridge::LinkRequest {
public:
    void cancel() override { }
};

} // namespace

std::shared_ptr<DesktopBrowserBridge::LinkRequest> DesktopBrowserBridge::requestURL(
    const QString& url, const QString& reason, int minutes, std::function<void(LinkOutcome)> completion)
{
    const auto refuse = [&completion](DesktopAccessError error) {
        completion(BridgeFailure::of(error));
        return std::make_shared<SettledLink>();
    };
    tick();
    if (!m_enabled || !m_connected || !m_helperReady || !m_focus.enabled || !m_activeClientId) {
        return refuse(DesktopAccessError::browserUnavailable);
    }
    const QString trimmedReason = reason.trimmed();
    const qsizetype reasonLength = BrowserBridgePolicy::characterCount(trimmedReason);
    if (reasonLength < minimumReason || reasonLength > maximumReason || minutes < 1 || minutes > maximumLinkMinutes) {
        return refuse(DesktopAccessError::invalidRequest);
    }
    const qsizetype linkLength = BrowserBridgePolicy::characterCount(url);
    if (linkLength > maximumLink
        && !(linkLength <= maximumAuthorizationLink && BrowserBridgePolicy::isXAuthorization(url))) {
        return refuse(DesktopAccessError::invalidRequest);
    }
    const auto target = BrowserBridgePolicy::target(url);
    if (!target || !m_focus.platforms.contains(target->platform)) {
        return refuse(DesktopAccessError::invalidTarget);
    }

    BrowserURLRequest request;
    request.clientId = *m_activeClientId;
    request.id = BrowserExchange::newIdentifier();
    request.focusId = m_focus.id;
    request.url = target->url;
    request.reason = trimmedReason;
    request.minutes = minutes;
    request.expiresAt = nowMs() + linkRequestLifetimeMs;
    m_pending = request;
    tick();

    auto link = std::make_shared<PendingLink>(*this, request, std::move(completion));
    link->schedule();
    return link;
}

} // namespace kestravin
