#pragma once

#include "app/models/AccountJson.h"
#include "app/models/AccountRecords.h"
#include "app/models/DesktopAccessError.h"
#include "app/services/account/AccountEnvironment.h"
#include "app/services/account/SessionStore.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QSettings;

namespace kestravin {

class Clock;

// Why an account call failed: one of the shared access errors, a refused
// request of the account API (domain "KestravinAccount", the HTTP status as
// code), or a reply that did not read as the expected record.
struct AccountFailure {
    enum class Kind { access, http, decode };

    Kind kind = Kind::access;
    DesktopAccessError access = DesktopAccessError::unavailable;
    // For http: the status and the server's machine code when it sent one.
    int status = 0;
    std::optional<QString> code;
    // The sentence to show.
    QString text;

    static constexpr const char* domain = "KestravinAccount";

    static AccountFailure accessError(DesktopAccessError error);
    static AccountFailure httpError(int status, const QByteArray& body);
    static AccountFailure decodeError(const QString& detail);

    bool isHttp(int httpStatus) const { return kind == Kind::http && status == httpStatus; }
    bool isAccess(DesktopAccessError error) const { return kind == Kind::access && access == error; }
    bool operator==(const AccountFailure&) const = default;
};

// The outcome of one call: the body of a 200 reply, or the failure.
struct AccountReply {
    std::optional<AccountFailure> failure;
    QByteArray body;

    bool ok() const { return !failure; }

    // Decodes the body as T; a body that does not read fails as a decode error.
    template <typename T> std::optional<T> decode(AccountFailure& failed) const;
    // The decoded body, or none with `failed` set to the call's failure or the decode's.
    template <typename T> std::optional<T> value(AccountFailure& failed) const
    {
        if (failure) {
            failed = *failure;
            return std::nullopt;
        }
        return decode<T>(failed);
    }
};

// The account API client: one HTTP core and the authenticated calls on top of
// it, with the session, its refresh and the epoch that tells a result whether
// the sign-in it started under still holds. Lives on the GUI thread.
class AccountClient : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(AccountReply)>;
    using RefreshDone = std::function<void(std::optional<AccountFailure>)>;

    static constexpr qint64 maximumBody = 64000;
    static constexpr std::chrono::milliseconds timeout { 20000 };
    static constexpr double refreshMarginMs = 30000;

    // `defaults` holds the link keys that a sign-out removes.
    AccountClient(AccountEnvironment environment, SessionStore& store, Clock& clock, QSettings& defaults,
        QObject* parent = nullptr);
    ~AccountClient() override;

    const AccountEnvironment& environment() const { return m_environment; }
    SessionStore& store() { return m_store; }

    const std::optional<DesktopAccountSession>& session() const { return m_session; }
    void setSession(std::optional<DesktopAccountSession> session);
    bool keychainLoaded() const { return m_keychainLoaded; }
    SessionLookup sessionLookup() const;
    // Reads the stored session once; later calls finish at once. A keyring
    // that did not answer is asked again by the next call.
    void loadSession(std::function<void()> done);

    // Renewed at every sign-in and sign-out.
    quint64 epoch() const { return m_epoch; }
    void renewEpoch() { ++m_epoch; }

    // The HTTP core. An empty `method` means POST with a body, else GET.
    void raw(const QString& path, const QByteArray& method, std::optional<QByteArray> body,
        std::optional<QString> token, Done done);

    // An authenticated call: refreshes a token that is about to expire and
    // retries once after a 401. It fails with sessionChanged when a sign-in
    // or sign-out happened while it waited.
    void request(const QString& path, const QByteArray& method, std::optional<QByteArray> body, Done done);

    // A fresh session; concurrent callers share one refresh request.
    void refreshed(RefreshDone done);

    // Forgets the session here and in the keyring, renews the epoch and
    // removes the link keys of the defaults.
    void forgetSession();

Q_SIGNALS:
    // The refresh was refused: the session is gone (already forgotten).
    void sessionExpired();

private:
    bool stillCurrent(quint64 epoch) const { return epoch == m_epoch && m_session.has_value(); }
    void send(const QString& path, const QByteArray& method, std::optional<QByteArray> body, quint64 epoch,
        bool retried, Done done);
    // Refreshes, then sends with the new token unless the session moved.
    void refreshThenSend(const QString& path, const QByteArray& method, std::optional<QByteArray> body, quint64 epoch,
        bool retried, Done done);
    void finishRefresh(std::optional<AccountFailure> failure);

    AccountEnvironment m_environment;
    SessionStore& m_store;
    Clock& m_clock;
    QSettings& m_defaults;
    QNetworkAccessManager* m_network;
    std::optional<DesktopAccountSession> m_session;
    bool m_keychainLoaded = false;
    bool m_keyringUnavailable = false;
    bool m_loading = false;
    std::vector<std::function<void()>> m_loadWaiters;
    quint64 m_epoch = 1;
    bool m_refreshing = false;
    std::vector<RefreshDone> m_refreshWaiters;
};

template <typename T> std::optional<T> AccountReply::decode(AccountFailure& failed) const
{
    QString error;
    auto value = AccountJson::decode<T>(body, &error);
    if (!value)
        failed = AccountFailure::decodeError(error);
    return value;
}

} // namespace kestravin
