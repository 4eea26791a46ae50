#include "app/services/assistant/DesktopAIService.h"

#include "app/models/BrowserBridgePolicy.h"
#include "app/models/BrowserShieldPolicy.h"
#include "app/models/Digest.h"
#include "app/models/SiteGrantPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperInstaller.h"

#include <QDesktopServices>
#include <QPointer>
#include <QSettings>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString DesktopAIService::requestCounterKey = u"desktopAIRequests"_s;
const QString DesktopAIService::tiktokRoot = u"tiktok.com"_s;
const QString DesktopAIService::tiktokAppName = u"TikTok — site inteiro, incluindo login do TikTok Ads"_s;
const QString DesktopAIService::evaluatingMessage = u"Avaliando seu pedido…"_s;
const QString DesktopAIService::extensionEvaluatingMessage = u"Avaliando o link na extensão…"_s;
const QString DesktopAIService::syncModeRefusal = u"No modo sincronizado, peça o link específico."_s;
const QString DesktopAIService::siteNotAppliedMessage
    = u"A Orla aprovou, mas este computador não conseguiu liberar o site agora. Tente de novo em instantes."_s;
const QString DesktopAIService::linkNotAppliedMessage
    = u"A Orla aprovou, mas este computador não liberou o acesso agora. Tente de novo em instantes."_s;
const QString DesktopAIService::platformNotAppliedMessage = u"Não foi possível aplicar a exceção."_s;
const QString DesktopAIService::extensionSentence = u" No navegador com a extensão, peça o link por ela."_s;

namespace {

const QString decidePath = u"/api/decide"_s;

QDateTime fromUnixMs(double ms)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(ms)), Qt::UTC);
}

double unixMs(const QDateTime& instant)
{
    return double(instant.toMSecsSinceEpoch());
}

// The justification's length in user-perceived characters, and the minutes, within bounds.
bool acceptableRequest(const QString& trimmedReason, int minutes)
{
    const qsizetype characters = BrowserBridgePolicy::characterCount(trimmedReason);
    return characters >= DesktopAIService::minimumReason && characters <= DesktopAIService::maximumReason
        && minutes >= DesktopAIService::minimumMinutes && minutes <= DesktopAIService::maximumMinutes;
}

QString failureText(const AccountFailure& failure)
{
    return failure.text.isEmpty() && failure.kind == AccountFailure::Kind::access ? describe(failure.access)
                                                                                  : failure.text;
}

} // namespace

// One platform or site request, from its start to its clean-up.
struct DesktopAIService::PlatformRequest {
    QUuid id;
    QString platform;
    std::optional<QString> site;
    QString reason;
    int minutes = 0;
    FocusContext first;
    QString accountFocusId;
    double focusEnd = 0;
    QDateTime sent;
    DesktopAccessReply reply;
    QDateTime grantEnd;
};

// One direct link request.
struct DesktopAIService::LinkRequestRun {
    BrowserBridgePolicy::Target target;
    QString reason;
    int minutes = 0;
    QString focusId;
    QDateTime start;
    double grantExpiresAt = 0;
};

DesktopAIService::DesktopAIService(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment)), m_selectedPlatform(u"youtube"_s)
{
}

DesktopAIService::~DesktopAIService()
{
    if (m_extensionWait)
        m_extensionWait->cancel();
}

DesktopAIService& DesktopAIService::shared()
{
    static auto* service = [] {
        static QSettings defaults;
        Environment environment;
        environment.account = &DesktopAccountService::shared();
        environment.configuration = [] { return ConfigurationManager::shared().configuration(); };
        environment.manualOverride = [] { return ScheduleManager::shared().manualOverride(); };
        environment.supportsTemporaryAccess = [] { return HelperInstaller::shared().supportsTemporaryAccess(); };
        environment.grantScheduledAccess
            = [](const QString& platform, const QDateTime& expiresAt, const HelperScheduleConfig& expected,
                  HelperConnection::Completion done) {
                  HelperConnection::shared().grantScheduledAccess(platform, expiresAt, expected, std::move(done));
              };
        environment.browserSyncEnabled = [] { return DesktopBrowserBridge::shared().enabled(); };
        environment.extensionConnected = [] { return DesktopBrowserBridge::shared().connected(); };
        environment.extensionRequest = [](const QString& url, const QString& reason, int minutes,
                                           std::function<void(DesktopBrowserBridge::LinkOutcome)> completion) {
            return DesktopBrowserBridge::shared().requestURL(url, reason, minutes, std::move(completion));
        };
        environment.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
        environment.clock = &Clock::system();
        environment.scheduler = &Scheduler::system();
        environment.timeZone = [] { return QTimeZone::systemTimeZone(); };
        environment.defaults = &defaults;
        environment.locale = QLocale::system();
        return new DesktopAIService(std::move(environment));
    }();
    return *service;
}

// Published state --------------------------------------------------------

void DesktopAIService::setBusy(bool busy)
{
    if (m_busy != busy) {
        m_busy = busy;
        Q_EMIT busyChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::setMessage(const QString& message)
{
    if (m_message != message) {
        m_message = message;
        Q_EMIT messageChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::setDecision(const std::optional<QString>& decision)
{
    if (m_decision != decision) {
        m_decision = decision;
        Q_EMIT decisionChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::setAccessUntil(const std::optional<QDateTime>& until)
{
    if (m_accessUntil != until) {
        m_accessUntil = until;
        Q_EMIT accessUntilChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::setApplyFailed(bool failed)
{
    if (m_applyFailed != failed) {
        m_applyFailed = failed;
        Q_EMIT applyFailedChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::setSelectedPlatform(const QString& platform)
{
    if (m_selectedPlatform != platform) {
        m_selectedPlatform = platform;
        Q_EMIT selectedPlatformChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::setPrefilledURL(const std::optional<QString>& url)
{
    if (m_prefilledURL != url) {
        m_prefilledURL = url;
        Q_EMIT prefilledURLChanged();
        Q_EMIT stateChanged();
    }
}

void DesktopAIService::startOver()
{
    if (m_busy)
        return;
    setPrefilledURL(std::nullopt);
    setMessage(QString());
    setDecision(std::nullopt);
    setAccessUntil(std::nullopt);
    setApplyFailed(false);
}

QDateTime DesktopAIService::now() const
{
    return m_environment.clock->now();
}

double DesktopAIService::nowMs() const
{
    return unixMs(now());
}

QString DesktopAIService::timeOfDay(const QDateTime& instant) const
{
    const QTimeZone zone = m_environment.timeZone ? m_environment.timeZone() : QTimeZone::systemTimeZone();
    return m_environment.locale.toString(instant.toTimeZone(zone).time(), QLocale::ShortFormat);
}

int DesktopAIService::requestCount() const
{
    return m_environment.defaults ? m_environment.defaults->value(requestCounterKey, 0).toInt() : 0;
}

void DesktopAIService::countReply()
{
    if (m_environment.defaults)
        m_environment.defaults->setValue(requestCounterKey, requestCount() + 1);
}

// Focus context ------------------------------------------------------------

std::variant<DesktopAIService::FocusContext, DesktopAccessError> DesktopAIService::context() const
{
    const Configuration configuration = m_environment.configuration();
    const QDateTime current = now();
    const DesktopAccountService* account = m_environment.account;
    if (account && account->scheduleSynced() && account->snapshot()) {
        const AccountFocus& focus = account->snapshot()->focus;
        if (focus.enabled && focus.id && focus.endsAt && unixMs(current) < *focus.endsAt)
            return FocusContext { *focus.id, fromUnixMs(*focus.endsAt), configuration.helperScheduleConfig() };
    }
    const QTimeZone zone = m_environment.timeZone ? m_environment.timeZone() : QTimeZone::systemTimeZone();
    if (!configuration.enabled || (m_environment.manualOverride && m_environment.manualOverride())
        || !configuration.schedule.isActiveNow(current, zone))
        return DesktopAccessError::sessionChanged;
    const std::optional<QDateTime> end = configuration.schedule.nextDeactivation(current, zone);
    if (!end || *end <= current)
        return DesktopAccessError::sessionChanged;
    // The identifier changes with the focus end and with any part of the
    // configuration, so a request can tell that either moved while it waited.
    const QString digest = hexDigest(configuration.toJsonBytes(QJsonDocument::Compact)).left(32);
    return FocusContext { u"mac-%1-%2"_s.arg(end->toSecsSinceEpoch()).arg(digest), *end,
        configuration.helperScheduleConfig() };
}

// Platform and site requests -------------------------------------------------

void DesktopAIService::request(const QString& platform, const QString& reason, int minutes)
{
    if (m_busy)
        return;
    const QStringList blocked = m_environment.configuration().blockedSites;
    std::optional<QString> site;
    if (platform == u"tiktok"_s) {
        if (m_environment.account && m_environment.account->session() && blocked.contains(tiktokRoot))
            site = tiktokRoot;
    } else if (platform != u"youtube"_s && platform != u"x"_s && SiteGrantPolicy::roots(blocked).contains(platform)) {
        site = platform;
    }

    if (m_environment.browserSyncEnabled && m_environment.browserSyncEnabled() && platform != u"tiktok"_s && !site) {
        // Nothing was asked: no earlier question may stay on screen above this.
        setDecision(std::nullopt);
        setMessage(syncModeRefusal);
        return;
    }

    auto run = std::make_shared<PlatformRequest>();
    run->id = QUuid::createUuid();
    run->platform = platform;
    run->site = site;
    run->reason = reason.trimmed();
    run->minutes = minutes;
    m_operation = run->id;
    setBusy(true);
    setMessage(evaluatingMessage);
    setDecision(std::nullopt);
    // A failure of an earlier request must not headline this one.
    setApplyFailed(false);

    if (!m_environment.supportsTemporaryAccess || !m_environment.supportsTemporaryAccess()) {
        fail(run, describe(DesktopAccessError::helperUpdate));
        return;
    }
    if (!acceptableRequest(run->reason, minutes) || (platform != u"tiktok"_s && !site)) {
        fail(run, describe(DesktopAccessError::invalidRequest));
        return;
    }
    if (!m_environment.account) {
        fail(run, describe(DesktopAccessError::configuration));
        return;
    }
    m_environment.account->syncNow([self = QPointer(this), run] {
        if (self)
            self->afterFirstSync(run);
    });
}

void DesktopAIService::afterFirstSync(std::shared_ptr<PlatformRequest> run)
{
    if (!isCurrent(run->id))
        return;
    const auto context = this->context();
    if (const auto* error = std::get_if<DesktopAccessError>(&context)) {
        fail(run, describe(*error));
        return;
    }
    run->first = std::get<FocusContext>(context);

    const DesktopAccountService& account = *m_environment.account;
    const auto& snapshot = account.snapshot();
    if (!account.session() || !snapshot || !snapshot->focus.enabled || !snapshot->focus.id || !snapshot->focus.endsAt) {
        fail(run, describe(DesktopAccessError::configuration));
        return;
    }
    run->accountFocusId = *snapshot->focus.id;
    run->focusEnd = std::min(unixMs(run->first.end), *snapshot->focus.endsAt);

    DesktopAccessRequest body;
    body.mode = run->site ? u"site"_s : u"app"_s;
    body.site = run->site;
    body.reason = run->reason;
    body.minutes = run->minutes;
    body.appId = run->platform;
    body.appName = run->platform == u"tiktok"_s ? tiktokAppName : run->platform;
    body.focusId = run->accountFocusId;
    body.requestId = run->id.toString(QUuid::WithoutBraces).toUpper();
    body.focusEnd = run->focusEnd;
    run->sent = now();
    m_environment.account->request(
        decidePath, QByteArray(), body.toJsonBytes(), [self = QPointer(this), run](AccountReply reply) {
            if (self)
                self->afterDecision(run, std::move(reply));
        });
}

void DesktopAIService::afterDecision(std::shared_ptr<PlatformRequest> run, AccountReply reply)
{
    if (!isCurrent(run->id))
        return;
    if (reply.failure) {
        fail(run, failureText(*reply.failure));
        return;
    }
    const auto context = this->context();
    if (const auto* error = std::get_if<DesktopAccessError>(&context)) {
        fail(run, describe(*error));
        return;
    }
    if (std::get<FocusContext>(context).id != run->first.id) {
        fail(run, describe(DesktopAccessError::sessionChanged));
        return;
    }
    m_environment.account->syncNow([self = QPointer(this), run, body = reply.body] {
        if (self)
            self->afterSecondSync(run, body);
    });
}

void DesktopAIService::afterSecondSync(std::shared_ptr<PlatformRequest> run, QByteArray body)
{
    if (!isCurrent(run->id))
        return;
    const auto& snapshot = m_environment.account->snapshot();
    if (!snapshot || !snapshot->focus.id || *snapshot->focus.id != run->accountFocusId || !snapshot->focus.enabled) {
        fail(run, describe(DesktopAccessError::sessionChanged));
        return;
    }
    QString error;
    const auto reply = AccountJson::decode<DesktopAccessReply>(body, &error);
    if (!reply) {
        fail(run, AccountFailure::decodeError(error).text);
        return;
    }
    if (!isValidReply(reply->decision, reply->reason)) {
        fail(run, describe(DesktopAccessError::invalidApproval));
        return;
    }
    countReply();
    run->reply = *reply;
    setDecision(reply->decision);
    setMessage(reply->reason);
    if (reply->decision != u"allow"_s) {
        finish(run);
        return;
    }

    // The allow must answer this very request, within this focus and within
    // what was asked for; otherwise nothing is applied.
    const double current = nowMs();
    const double sentMs = unixMs(run->sent);
    const bool matches = reply->requestId == run->id.toString(QUuid::WithoutBraces).toUpper()
        && reply->focusId == run->accountFocusId && reply->appId == run->platform && reply->expiresAt;
    const double expiresAt = reply->expiresAt.value_or(0);
    const bool bounded = matches && std::isfinite(expiresAt) && std::isfinite(run->focusEnd) && current < run->focusEnd
        && current < expiresAt && expiresAt <= run->focusEnd
        && expiresAt <= sentMs + double(run->minutes) * 60000 + expirySlackMs && current >= sentMs;
    if (!bounded) {
        fail(run, describe(DesktopAccessError::invalidApproval));
        return;
    }
    run->grantEnd = std::min(fromUnixMs(expiresAt), run->sent.addSecs(qint64(run->minutes) * 60));

    const auto context = this->context();
    if (const auto* contextError = std::get_if<DesktopAccessError>(&context)) {
        fail(run, describe(*contextError));
        return;
    }
    if (std::get<FocusContext>(context).id != run->first.id) {
        fail(run, describe(DesktopAccessError::sessionChanged));
        return;
    }
    if (run->site)
        applySite(run);
    else
        applyPlatform(run);
}

void DesktopAIService::applySite(std::shared_ptr<PlatformRequest> run)
{
    // Freed means applied to the daemon for this focus until at least the
    // allowed end: a stale grant of the same site, or one of another focus,
    // frees nothing now.
    const auto granted = [self = QPointer(this), run] {
        if (!self)
            return false;
        const QList<AccountGrant>& applied = self->m_environment.account->appliedGrants();
        return std::any_of(applied.cbegin(), applied.cend(), [&run](const AccountGrant& grant) {
            return grant.site == *run->site && grant.focusId == run->accountFocusId
                && grant.expiresAt >= *run->reply.expiresAt;
        });
    };
    waitForGrant(granted, [self = QPointer(this), run](bool freed) {
        if (!self || !self->isCurrent(run->id))
            return;
        if (freed) {
            self->setAccessUntil(run->grantEnd);
            self->setMessage(run->reply.reason + u' ' + *run->site + u" está liberado até "_s
                + self->timeOfDay(run->grantEnd) + u'.');
        } else {
            self->setDecision(std::nullopt);
            self->setApplyFailed(true);
            self->setMessage(siteNotAppliedMessage);
        }
        self->finish(run);
    });
}

void DesktopAIService::applyPlatform(std::shared_ptr<PlatformRequest> run)
{
    if (!m_environment.grantScheduledAccess) {
        fail(run, platformNotAppliedMessage);
        return;
    }
    m_environment.grantScheduledAccess(run->platform, run->grantEnd, run->first.configuration,
        [self = QPointer(this), run](bool success, const QString& message) {
            if (!self || !self->isCurrent(run->id))
                return;
            if (success) {
                self->setAccessUntil(run->grantEnd);
                self->setMessage(run->reply.reason + u" O site inteiro está liberado até "_s
                    + self->timeOfDay(run->grantEnd) + u'.');
            } else {
                self->setDecision(std::nullopt);
                self->setMessage(message.isEmpty() ? platformNotAppliedMessage : message);
            }
            self->finish(run);
        });
}

void DesktopAIService::fail(const std::shared_ptr<PlatformRequest>& run, const QString& text)
{
    if (isCurrent(run->id)) {
        setDecision(std::nullopt);
        setMessage(text);
    }
    finish(run);
}

void DesktopAIService::finish(const std::shared_ptr<PlatformRequest>& run)
{
    if (!isCurrent(run->id))
        return;
    m_operation.reset();
    setBusy(false);
}

void DesktopAIService::waitForGrant(std::function<bool()> granted, std::function<void(bool)> done, int attempt)
{
    if (attempt >= grantAttempts || granted()) {
        done(granted());
        return;
    }
    const auto syncThenNext = [self = QPointer(this), granted, done, attempt] {
        if (!self)
            return;
        self->m_environment.account->syncNow([self, granted, done, attempt] {
            if (self)
                self->waitForGrant(granted, done, attempt + 1);
        });
    };
    if (attempt == 0)
        syncThenNext();
    else
        m_environment.scheduler->runLater(grantPause, this, syncThenNext);
}

// Link requests ---------------------------------------------------------------

void DesktopAIService::requestURL(const QString& url, const QString& reason, int minutes)
{
    if (m_busy)
        return;
    setBusy(true);
    setDecision(std::nullopt);
    setApplyFailed(false);
    const bool throughExtension = m_environment.browserSyncEnabled && m_environment.browserSyncEnabled()
        && m_environment.extensionConnected && m_environment.extensionConnected();
    if (throughExtension) {
        setMessage(extensionEvaluatingMessage);
        requestThroughExtension(url, reason, minutes);
    } else {
        setMessage(evaluatingMessage);
        requestLinkDirect(url, reason, minutes);
    }
}

void DesktopAIService::requestThroughExtension(const QString& url, const QString& reason, int minutes)
{
    if (!m_environment.extensionRequest) {
        setDecision(std::nullopt);
        setMessage(describe(DesktopAccessError::browserUnavailable));
        setBusy(false);
        return;
    }
    m_extensionWait = m_environment.extensionRequest(
        url, reason, minutes, [self = QPointer(this), url](DesktopBrowserBridge::LinkOutcome outcome) {
            if (!self)
                return;
            self->m_extensionWait.reset();
            if (const auto* failure = std::get_if<BridgeFailure>(&outcome)) {
                self->setDecision(std::nullopt);
                self->setMessage(failure->message);
                self->setApplyFailed(failure->message.startsWith(u"A Orla aprovou"_s));
                self->setBusy(false);
                return;
            }
            self->extensionAnswered(url, std::get<BrowserURLResult>(outcome));
        });
}

void DesktopAIService::extensionAnswered(const QString& url, const BrowserURLResult& result)
{
    setDecision(result.decision);
    setMessage(result.reason.value_or(QString()));
    const bool allowed = result.decision == u"allow"_s;
    // Only an allow has an end to count down to.
    if (allowed && result.expiresAt)
        setAccessUntil(fromUnixMs(*result.expiresAt));
    const auto target = allowed ? BrowserBridgePolicy::target(url) : std::nullopt;
    if (!target) {
        setBusy(false);
        return;
    }
    // The extension's grant reaches this computer through the account's
    // next sync: wait for it as the direct route does before calling it lost.
    const QString key = u"platform:"_s + target->platform;
    const std::optional<double> expiresAt = result.expiresAt;
    const auto granted = [self = QPointer(this), key, expiresAt] {
        if (!self || !expiresAt)
            return false;
        const QList<AccountGrant>& applied = self->m_environment.account->appliedGrants();
        return std::any_of(applied.cbegin(), applied.cend(),
            [&](const AccountGrant& grant) { return grant.site == key && grant.expiresAt >= *expiresAt; });
    };
    if (!m_environment.account || !expiresAt) {
        setDecision(std::nullopt);
        setAccessUntil(std::nullopt);
        setApplyFailed(true);
        setMessage(linkNotAppliedMessage);
        setBusy(false);
        return;
    }
    waitForGrant(granted, [self = QPointer(this)](bool freed) {
        if (!self)
            return;
        if (!freed) {
            self->setDecision(std::nullopt);
            self->setAccessUntil(std::nullopt);
            self->setApplyFailed(true);
            self->setMessage(linkNotAppliedMessage);
        }
        self->setBusy(false);
    });
}

void DesktopAIService::requestLinkDirect(const QString& url, const QString& reason, int minutes)
{
    if (!m_environment.supportsTemporaryAccess || !m_environment.supportsTemporaryAccess()) {
        endLink(describe(DesktopAccessError::helperUpdate));
        return;
    }
    const auto target = BrowserBridgePolicy::target(url);
    if (!target) {
        endLink(describe(DesktopAccessError::invalidTarget));
        return;
    }
    auto run = std::make_shared<LinkRequestRun>();
    run->target = *target;
    run->reason = reason.trimmed();
    run->minutes = minutes;
    if (!acceptableRequest(run->reason, minutes)) {
        endLink(describe(DesktopAccessError::invalidRequest));
        return;
    }
    if (!m_environment.account) {
        endLink(describe(DesktopAccessError::configuration));
        return;
    }
    m_environment.account->syncNow([self = QPointer(this), run] {
        if (!self)
            return;
        const DesktopAccountService& account = *self->m_environment.account;
        const auto& snapshot = account.snapshot();
        if (!account.session() || !snapshot || !snapshot->focus.enabled || !snapshot->focus.id) {
            self->endLink(describe(DesktopAccessError::configuration));
            return;
        }
        run->focusId = *snapshot->focus.id;
        run->start = self->now();
        const LinkRequest body { run->target.url, run->reason, run->minutes, run->focusId };
        self->m_environment.account->request(
            decidePath, QByteArray(), body.toJsonBytes(), [self, run](AccountReply reply) {
                if (self)
                    self->linkDecided(run, std::move(reply));
            });
    });
}

void DesktopAIService::linkDecided(std::shared_ptr<LinkRequestRun> run, AccountReply reply)
{
    if (reply.failure) {
        endLink(failureText(*reply.failure));
        return;
    }
    QString error;
    const auto decided = AccountJson::decode<LinkReply>(reply.body, &error);
    if (!decided) {
        endLink(AccountFailure::decodeError(error).text);
        return;
    }
    if (!isValidReply(decided->decision, decided->reason)) {
        endLink(describe(DesktopAccessError::invalidApproval));
        return;
    }
    countReply();
    setDecision(decided->decision);
    setMessage(decided->reason);
    if (decided->decision != u"allow"_s) {
        endLink(std::nullopt);
        return;
    }
    if (!decided->grantExpiresAt || !(nowMs() < *decided->grantExpiresAt)) {
        endLink(describe(DesktopAccessError::invalidApproval));
        return;
    }
    run->grantExpiresAt = *decided->grantExpiresAt;
    const QString key = u"platform:"_s + run->target.platform;
    const auto granted = [self = QPointer(this), run, key] {
        if (!self)
            return false;
        const QList<AccountGrant>& applied = self->m_environment.account->appliedGrants();
        return std::any_of(applied.cbegin(), applied.cend(), [&](const AccountGrant& grant) {
            return grant.site == key && grant.focusId == run->focusId && grant.expiresAt >= run->grantExpiresAt;
        });
    };
    waitForGrant(granted, [self = QPointer(this), run](bool freed) {
        if (!self)
            return;
        if (freed)
            self->linkGranted(run);
        else {
            self->setDecision(std::nullopt);
            self->setApplyFailed(true);
            self->setMessage(linkNotAppliedMessage);
        }
        self->endLink(std::nullopt);
    });
}

void DesktopAIService::linkGranted(const std::shared_ptr<LinkRequestRun>& run)
{
    const QDateTime until = std::min(fromUnixMs(run->grantExpiresAt), run->start.addSecs(qint64(run->minutes) * 60));
    setAccessUntil(until);
    const bool synced = m_environment.browserSyncEnabled && m_environment.browserSyncEnabled();
    const QString platform = run->target.platform == u"youtube"_s ? u"O YouTube"_s : u"O X"_s;
    setMessage(platform + u" abre neste computador até "_s + timeOfDay(until) + u'.'
        + (synced ? extensionSentence : QString()));
    if (!synced && m_environment.openUrl) {
        const QUrl address(run->target.url, QUrl::StrictMode);
        if (address.isValid())
            m_environment.openUrl(address);
    }
}

void DesktopAIService::endLink(const std::optional<QString>& error)
{
    if (error) {
        setDecision(std::nullopt);
        setMessage(*error);
    }
    setBusy(false);
}

// Hand-over from a blocked page -------------------------------------------------

DesktopAIService::HandOver DesktopAIService::handOver(
    const QString& host, const QString& address, const QStringList& blockedSites)
{
    HandOver result;
    result.selection = BrowserShieldPolicy::platform(host);
    if (!result.selection)
        result.selection = SiteGrantPolicy::site(host, blockedSites);
    if (result.selection == u"youtube"_s || result.selection == u"x"_s)
        result.link = address.contains(u"://"_s) ? address : u"https://"_s + address;
    return result;
}

void DesktopAIService::receiveHandOver(const HandOver& handOver, const std::function<void()>& showWindow)
{
    if (handOver.selection)
        setSelectedPlatform(*handOver.selection);
    if (showWindow)
        showWindow();
    if (handOver.link)
        setPrefilledURL(handOver.link);
}

} // namespace kestravin
