#include "app/services/account/AccountClient.h"

#include "app/platform/Clock.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QSettings>
#include <QTimeZone>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcClient, "com.kestravin.app.Account")

// Keeps no cookie: every call stands on its own headers.
class NoCookies final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
};

void later(QObject* context, std::function<void()> work)
{
    QTimer::singleShot(0, context, std::move(work));
}

} // namespace

AccountFailure AccountFailure::accessError(DesktopAccessError error)
{
    AccountFailure failure;
    failure.kind = Kind::access;
    failure.access = error;
    failure.text = describe(error);
    return failure;
}

AccountFailure AccountFailure::httpError(int status, const QByteArray& body)
{
    AccountFailure failure;
    failure.kind = Kind::http;
    failure.status = status;
    // A refusal without a readable body is still a refusal with its status,
    // so that 401 and 409 reach their handling whatever the body says.
    if (const auto reply = AccountJson::decode<AccountErrorReply>(body)) {
        failure.text = reply->error;
        failure.code = reply->code;
    } else {
        failure.text = u"O serviço da conta não atendeu o pedido. Tente de novo em instantes."_s;
    }
    return failure;
}

AccountFailure AccountFailure::decodeError(const QString& detail)
{
    qCWarning(lcClient) << "account reply does not read:" << detail;
    AccountFailure failure;
    failure.kind = Kind::decode;
    failure.text = u"A resposta do serviço da conta veio num formato inesperado."_s;
    return failure;
}

AccountClient::AccountClient(
    AccountEnvironment environment, SessionStore& store, Clock& clock, QSettings& defaults, QObject* parent)
    : QObject(parent),
      m_environment(std::move(environment)),
      m_store(store),
      m_clock(clock),
      m_defaults(defaults),
      m_network(new QNetworkAccessManager(this))
{
    m_network->setCookieJar(new NoCookies(m_network));
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_network->setTransferTimeout(int(timeout.count()));
}

AccountClient::~AccountClient() = default;

void AccountClient::setSession(std::optional<DesktopAccountSession> session)
{
    m_session = std::move(session);
    m_keychainLoaded = true;
    m_keyringUnavailable = false;
}

SessionLookup AccountClient::sessionLookup() const
{
    if (m_keychainLoaded)
        return SessionLookup::loaded;
    return m_keyringUnavailable ? SessionLookup::unavailable : SessionLookup::pending;
}

void AccountClient::loadSession(std::function<void()> done)
{
    if (m_keychainLoaded) {
        later(this, std::move(done));
        return;
    }
    m_loadWaiters.push_back(std::move(done));
    if (m_loading)
        return;
    m_loading = true;
    const quint64 epoch = m_epoch;
    m_store.read([self = QPointer(this), epoch](SessionRead stored) {
        if (!self)
            return;
        self->m_loading = false;
        // A sign-in or sign-out meanwhile decided the session already.
        const bool decided = self->m_keychainLoaded || epoch != self->m_epoch;
        if (!decided && stored.unavailable) {
            // Locked or missing keyring: the next load asks again.
            self->m_keyringUnavailable = true;
        } else {
            if (!decided)
                self->m_session = std::move(stored.session);
            self->m_keychainLoaded = true;
            self->m_keyringUnavailable = false;
        }
        auto waiters = std::exchange(self->m_loadWaiters, {});
        for (auto& waiter : waiters)
            waiter();
    });
}

void AccountClient::raw(const QString& path, const QByteArray& method, std::optional<QByteArray> body,
    std::optional<QString> token, Done done)
{
    if (!m_environment.isConfigured()) {
        later(this, [done = std::move(done)] {
            done({ AccountFailure::accessError(DesktopAccessError::configuration), {} });
        });
        return;
    }
    QNetworkRequest request(m_environment.apiUrl(path));
    request.setTransferTimeout(int(timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json"_ba);
    if (token)
        request.setRawHeader("Authorization"_ba, "Bearer "_ba + token->toUtf8());
    request.setRawHeader("X-Timezone"_ba, QTimeZone::systemTimeZoneId());

    const QByteArray verb = !method.isEmpty() ? method : (body ? "POST"_ba : "GET"_ba);
    QNetworkReply* reply = m_network->sendCustomRequest(request, verb, body.value_or(QByteArray()));

    // The cap holds while the body streams in: a declared or received size
    // past it ends the transfer there.
    auto tooLarge = std::make_shared<bool>(false);
    const auto refuseIfTooLarge = [reply, tooLarge] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if ((declared.isValid() && declared.toLongLong() > maximumBody) || reply->bytesAvailable() > maximumBody) {
            *tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, refuseIfTooLarge);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, refuseIfTooLarge);
    QObject::connect(reply, &QNetworkReply::finished, this, [reply, tooLarge, done = std::move(done)] {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // Qt marks 4xx and 5xx replies as errors, but their status and body
        // are there; only a missing status means no HTTP reply at all.
        if (*tooLarge || !status.isValid()) {
            if (!*tooLarge)
                qCInfo(lcClient) << "account request failed:" << reply->errorString();
            done({ AccountFailure::accessError(DesktopAccessError::unavailable), {} });
            return;
        }
        QByteArray bytes = reply->readAll();
        if (bytes.size() > maximumBody) {
            done({ AccountFailure::accessError(DesktopAccessError::unavailable), {} });
            return;
        }
        if (status.toInt() != 200) {
            done({ AccountFailure::httpError(status.toInt(), bytes), {} });
            return;
        }
        done({ std::nullopt, std::move(bytes) });
    });
}

void AccountClient::request(const QString& path, const QByteArray& method, std::optional<QByteArray> body, Done done)
{
    if (!m_session) {
        later(this, [done = std::move(done)] {
            done({ AccountFailure::accessError(DesktopAccessError::configuration), {} });
        });
        return;
    }
    const quint64 epoch = m_epoch;
    const double nowMs = double(m_clock.now().toMSecsSinceEpoch());
    if (nowMs + refreshMarginMs < m_session->expiresAt) {
        send(path, method, std::move(body), epoch, false, std::move(done));
        return;
    }
    refreshThenSend(path, method, std::move(body), epoch, false, std::move(done));
}

void AccountClient::refreshThenSend(const QString& path, const QByteArray& method, std::optional<QByteArray> body,
    quint64 epoch, bool retried, Done done)
{
    refreshed([this, path, method, body = std::move(body), epoch, retried, done = std::move(done)](
                  std::optional<AccountFailure> failure) mutable {
        if (failure) {
            done({ std::move(failure), {} });
            return;
        }
        if (!stillCurrent(epoch)) {
            done({ AccountFailure::accessError(DesktopAccessError::sessionChanged), {} });
            return;
        }
        send(path, method, std::move(body), epoch, retried, std::move(done));
    });
}

void AccountClient::send(const QString& path, const QByteArray& method, std::optional<QByteArray> body, quint64 epoch,
    bool retried, Done done)
{
    raw(path, method, body, m_session->accessToken,
        [this, path, method, body, epoch, retried, done = std::move(done)](AccountReply reply) mutable {
            if (!stillCurrent(epoch)) {
                done({ AccountFailure::accessError(DesktopAccessError::sessionChanged), {} });
                return;
            }
            if (retried || !reply.failure || !reply.failure->isHttp(401)) {
                done(std::move(reply));
                return;
            }
            refreshThenSend(path, method, std::move(body), epoch, true, std::move(done));
        });
}

void AccountClient::refreshed(RefreshDone done)
{
    m_refreshWaiters.push_back(std::move(done));
    if (m_refreshing)
        return;
    if (!m_session) {
        later(this, [this] { finishRefresh(AccountFailure::accessError(DesktopAccessError::configuration)); });
        m_refreshing = true;
        return;
    }
    m_refreshing = true;
    const quint64 epoch = m_epoch;
    const QString refreshToken = m_session->refreshToken;
    raw(u"/api/auth/refresh"_s, "POST"_ba, AccountBodies::refresh(refreshToken), std::nullopt,
        [this, epoch, refreshToken](AccountReply reply) {
            const bool unchanged = epoch == m_epoch && m_session && m_session->refreshToken == refreshToken;
            if (reply.failure) {
                if (reply.failure->isHttp(401) && unchanged) {
                    qCInfo(lcClient) << "refresh refused; signing out";
                    forgetSession();
                    Q_EMIT sessionExpired();
                }
                finishRefresh(std::move(reply.failure));
                return;
            }
            AccountFailure failed;
            auto session = reply.decode<DesktopAccountSession>(failed);
            if (!session) {
                finishRefresh(failed);
                return;
            }
            if (!unchanged) {
                finishRefresh(AccountFailure::accessError(DesktopAccessError::sessionChanged));
                return;
            }
            m_session = *session;
            m_store.save(*session, [](std::optional<QString> error) {
                if (error)
                    qCWarning(lcClient) << "refreshed session not kept:" << *error;
            });
            finishRefresh(std::nullopt);
        });
}

void AccountClient::finishRefresh(std::optional<AccountFailure> failure)
{
    m_refreshing = false;
    auto waiters = std::exchange(m_refreshWaiters, {});
    for (auto& waiter : waiters)
        waiter(failure);
}

void AccountClient::forgetSession()
{
    renewEpoch();
    m_session.reset();
    m_keychainLoaded = true;
    m_keyringUnavailable = false;
    m_defaults.remove(u"kestravinInstallId"_s);
    m_defaults.remove(u"kestravinLinkedUser"_s);
    m_defaults.sync();
    m_store.remove([](std::optional<QString> error) {
        if (error)
            qCWarning(lcClient) << "stored session not removed:" << *error;
    });
}

} // namespace kestravin
