#pragma once

#include "app/models/AccessRequests.h"
#include "app/models/Configuration.h"
#include "app/models/DesktopAccessError.h"
#include "app/services/account/AccountClient.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/daemon/HelperConnection.h"
#include "contract/HelperScheduleConfig.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QTimeZone>
#include <QUrl>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QSettings;

namespace kestravin {

class Clock;
class DesktopAccountService;
class Scheduler;

// The assistant's request service: while a focus runs, the person asks Orla
// for a short exception (the whole TikTok platform, one blocked site or one
// link) and this service checks the request, asks the account service's
// "/api/decide", checks the answer against the request and the running focus,
// applies an allowed exception and publishes every outcome for the request
// window. Nothing is thrown to the window.
//
// Everything runs on the GUI thread. A request gives the thread up only at its
// waits (syncs, the decision call, the one-second pauses, the daemon's answer,
// the extension's verdict); after each wait it asks whether it is still the
// current request before it touches the published state.
class DesktopAIService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool applyFailed READ applyFailed NOTIFY applyFailedChanged)
    Q_PROPERTY(QString selectedPlatform READ selectedPlatform WRITE setSelectedPlatform NOTIFY selectedPlatformChanged)
public:
    // Idle: the window may show the last answer. Evaluating: a request is
    // being judged or applied (busy).
    enum class State { idle, evaluating };

    // The standard settings key of the count of valid assistant replies.
    static const QString requestCounterKey;
    // The root under which the block list and the account's grants carry TikTok's web site.
    static const QString tiktokRoot;
    static const QString tiktokAppName;
    static const QString evaluatingMessage;
    static const QString extensionEvaluatingMessage;
    static const QString syncModeRefusal;
    static const QString siteNotAppliedMessage;
    static const QString linkNotAppliedMessage;
    static const QString platformNotAppliedMessage;
    static const QString extensionSentence;

    static constexpr int minimumReason = 8;
    static constexpr int maximumReason = 1500;
    static constexpr int minimumMinutes = 1;
    static constexpr int maximumMinutes = 30;
    // The server may grant this much beyond the minutes asked for.
    static constexpr double expirySlackMs = 20000;
    // An allowed grant is looked for in up to this many syncs, one pause apart.
    static constexpr int grantAttempts = 4;
    static constexpr std::chrono::milliseconds grantPause { 1000 };

    // The focus an exception is tied to: the account's when its schedule is
    // the one applied here, else the local schedule's.
    struct FocusContext {
        QString id;
        QDateTime end;
        HelperScheduleConfig configuration;
    };

    using ExtensionRequest = std::function<std::shared_ptr<DesktopBrowserBridge::LinkRequest>(const QString& url,
        const QString& reason, int minutes, std::function<void(DesktopBrowserBridge::LinkOutcome)> completion)>;
    using PlatformGrant = std::function<void(const QString& platform, const QDateTime& expiresAt,
        const HelperScheduleConfig& expectedConfiguration, HelperConnection::Completion completion)>;

    // What the service works with; shared() wires the application's services.
    struct Environment {
        DesktopAccountService* account = nullptr;
        std::function<Configuration()> configuration;
        // A manual focus session runs.
        std::function<bool()> manualOverride;
        // The daemon takes timed exceptions.
        std::function<bool()> supportsTemporaryAccess;
        PlatformGrant grantScheduledAccess;
        // The browser extension's sync is switched on, and connected.
        std::function<bool()> browserSyncEnabled;
        std::function<bool()> extensionConnected;
        ExtensionRequest extensionRequest;
        std::function<void(const QUrl&)> openUrl;
        Clock* clock = nullptr;
        Scheduler* scheduler = nullptr;
        std::function<QTimeZone()> timeZone;
        // Holds the request counter.
        QSettings* defaults = nullptr;
        // The times of day in the success sentences.
        QLocale locale;
    };

    explicit DesktopAIService(Environment environment, QObject* parent = nullptr);
    ~DesktopAIService() override;

    static DesktopAIService& shared();

    bool busy() const { return m_busy; }
    State state() const { return m_busy ? State::evaluating : State::idle; }
    // Progress, the assistant's answer with the outcome, or an error. Text
    // from the account or the extension: show it as plain text.
    const QString& message() const { return m_message; }
    // "allow", "clarify" or "deny" of the last accepted reply; none while a
    // request is judged and after any failure.
    const std::optional<QString>& decision() const { return m_decision; }
    // The end of the exception the last allowed request applied.
    const std::optional<QDateTime>& accessUntil() const { return m_accessUntil; }
    // The assistant allowed, but the exception was not seen applied here.
    bool applyFailed() const { return m_applyFailed; }
    // The request form's choice ("youtube", "x", "tiktok" or a blocked root);
    // the window and the browser shield's hand-over write it.
    const QString& selectedPlatform() const { return m_selectedPlatform; }
    void setSelectedPlatform(const QString& platform);
    // A blocked page's address handed over for a link request.
    const std::optional<QString>& prefilledURL() const { return m_prefilledURL; }
    void setPrefilledURL(const std::optional<QString>& url);

    // Asks for `minutes` of the whole "tiktok" platform or of one blocked
    // site's root (`platform`). Does nothing while a request runs.
    void request(const QString& platform, const QString& reason, int minutes);
    // Asks for one link (a video, a post or an X sign-in link), through the
    // browser extension when it is synced and connected, else directly.
    // Does nothing while a request runs.
    void requestURL(const QString& url, const QString& reason, int minutes);
    // Clears the last answer so that a new request can be written; nothing
    // while a request runs. The platform choice stays.
    void startOver();

    // The focus that runs now, or sessionChanged when none can be tied to.
    std::variant<FocusContext, DesktopAccessError> context() const;

    // The count of valid replies so far.
    int requestCount() const;

    // What the browser shield hands over for a blocked page: the choice for
    // the form (the page's platform, else the blocked root it lies under) and,
    // for a video or post platform, the page's address as a link.
    struct HandOver {
        std::optional<QString> selection;
        std::optional<QString> link;
        bool operator==(const HandOver&) const = default;
    };
    static HandOver handOver(const QString& host, const QString& address, const QStringList& blockedSites);
    // Applies `handOver` around showing the window: the choice before, the
    // link after (the form takes it over when it is published).
    void receiveHandOver(const HandOver& handOver, const std::function<void()>& showWindow);

Q_SIGNALS:
    void busyChanged();
    void messageChanged();
    void decisionChanged();
    void accessUntilChanged();
    void applyFailedChanged();
    void selectedPlatformChanged();
    void prefilledURLChanged();
    // After any of the above.
    void stateChanged();

private:
    struct PlatformRequest;
    struct LinkRequestRun;

    void setBusy(bool busy);
    void setMessage(const QString& message);
    void setDecision(const std::optional<QString>& decision);
    void setAccessUntil(const std::optional<QDateTime>& until);
    void setApplyFailed(bool failed);

    QDateTime now() const;
    double nowMs() const;
    QString timeOfDay(const QDateTime& instant) const;
    void countReply();
    bool isCurrent(const QUuid& id) const { return m_operation == id; }

    // The steps of a platform or site request, one per wait.
    void afterFirstSync(std::shared_ptr<PlatformRequest> run);
    void afterDecision(std::shared_ptr<PlatformRequest> run, AccountReply reply);
    void afterSecondSync(std::shared_ptr<PlatformRequest> run, QByteArray body);
    void applySite(std::shared_ptr<PlatformRequest> run);
    void applyPlatform(std::shared_ptr<PlatformRequest> run);
    void fail(const std::shared_ptr<PlatformRequest>& run, const QString& text);
    void finish(const std::shared_ptr<PlatformRequest>& run);

    // The link routes.
    void requestThroughExtension(const QString& url, const QString& reason, int minutes);
    void extensionAnswered(const QString& url, const BrowserURLResult& result);
    void requestLinkDirect(const QString& url, const QString& reason, int minutes);
    void linkDecided(std::shared_ptr<LinkRequestRun> run, AccountReply reply);
    void linkGranted(const std::shared_ptr<LinkRequestRun>& run);
    void endLink(const std::optional<QString>& error);

    // Waits, through up to four coalesced syncs one pause apart, until
    // `granted` holds; `done` gets whether it did.
    void waitForGrant(std::function<bool()> granted, std::function<void(bool)> done, int attempt = 0);

    Environment m_environment;
    bool m_busy = false;
    QString m_message;
    std::optional<QString> m_decision;
    std::optional<QDateTime> m_accessUntil;
    bool m_applyFailed = false;
    QString m_selectedPlatform;
    std::optional<QString> m_prefilledURL;
    // The request in progress; a request whose id is no longer here publishes nothing more.
    std::optional<QUuid> m_operation;
    std::shared_ptr<DesktopBrowserBridge::LinkRequest> m_extensionWait;
};

} // namespace kestravin
