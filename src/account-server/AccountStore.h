#pragma once

#include "AccountRequests.h"
#include "DecideRules.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>
#include <QTimeZone>

#include <functional>
#include <optional>
#include <stdexcept>

// The account's state in one SQLite file (write-ahead log): the person, the
// linked devices and their sessions, device links in progress, settings with
// their revision, goals, focus sessions, folgas, decisions and grants. Every
// change runs in one transaction, so a failure leaves nothing half written.
// Tokens and link secrets are kept only as SHA-256 digests.
// Instants are Unix milliseconds from the caller's clock.
namespace kestravin {

class AccountStore {
public:
    // Lifetimes and amounts of the account.
    static constexpr qint64 accessLifetimeMs = 60 * 60 * 1000;
    static constexpr qint64 refreshLifetimeMs = 90LL * 24 * 60 * 60 * 1000;
    static constexpr qint64 linkLifetimeMs = 10 * 60 * 1000;
    static constexpr qint64 folgaMinutes = 15;

    // A failed statement; the transaction around it rolls back.
    struct Failure : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    struct Session {
        QString accessToken;
        QString refreshToken;
        qint64 expiresAt = 0;
        QJsonObject toJson() const;
    };

    struct Caller {
        qint64 sessionId = 0;
        qint64 deviceId = 0;
    };

    struct LinkStart {
        QString code;
        QString secret;
        qint64 expiresAt = 0;
    };

    // A link that waits for its confirmation page.
    struct PendingLink {
        QString code;
        QString formToken;
        qint64 expiresAt = 0;
    };

    struct PollResult {
        enum class Status { unknown, pending, expired, cancelled, connected };
        Status status = Status::unknown;
        std::optional<Session> session;
    };

    enum class ConfirmResult { confirmed, cancelled, unknown, badToken, nameNeeded };

    struct Device {
        QString label;
        qint64 linkedAt = 0;
        qint64 lastSeen = 0;
    };

    struct Person {
        QString id;
        QString name;
        QString email;
    };

    enum class SaveResult { saved, stale };

    enum class FolgaResult { done, noneAvailable, alreadyActive, alreadyEarned, unknownMission };

    // The outcome of a decide request: a reply, or a refusal of the request.
    struct DecideOutcome {
        std::optional<QJsonObject> reply;
        int status = 200;
        QString error;
    };

    explicit AccountStore(QString connectionName = QStringLiteral("kestravin-account"));
    ~AccountStore();
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    // Opens (creating when needed) the database file.
    bool open(const QString& path, QString* error);

    // Sessions.
    std::optional<Caller> authenticate(const QString& accessToken, qint64 now);
    std::optional<Session> refresh(const QString& refreshToken, qint64 now);
    void revoke(qint64 sessionId);

    // Device link.
    LinkStart beginLink(qint64 now);
    PollResult poll(const QString& secret, qint64 now, const QString& timezone);
    std::optional<PendingLink> pendingLink(const QString& code, qint64 now);
    ConfirmResult answerLink(const AccountRequests::LinkForm& form, qint64 now);

    // The account.
    std::optional<Person> person();
    QList<Device> devices(qint64 now);
    QByteArray bootstrap(qint64 now, const QTimeZone& zone);
    QString settingsTimezone();
    std::pair<SaveResult, qint64> saveSettings(const AccountRequests::SettingsUpdate& update);
    void saveMissions(const QList<AccountMission>& missions);

    // Focus.
    QJsonObject startFocus(qint64 minutes, qint64 now);
    QJsonObject stopFocus(qint64 now);
    QJsonObject focus(qint64 now);

    // Folgas.
    std::pair<FolgaResult, QJsonObject> useFolga(qint64 now, const QTimeZone& zone);
    std::pair<FolgaResult, QJsonObject> earnFolga(const AccountMission& mission, qint64 now, const QTimeZone& zone);
    QJsonArray folgaHistory(qint64 now);

    // Exceptions during a focus.
    DecideOutcome decide(const AccountRequests::Decide& request, qint64 now);

private:
    struct RunningFocus {
        QString id;
        qint64 endsAt = 0;
    };

    std::optional<RunningFocus> runningFocus(qint64 now);
    QJsonObject folga(qint64 now, const QTimeZone& zone);
    Session issueSession(qint64 deviceId, qint64 now);
    void touch(const Caller& caller, qint64 now);
    // Runs `work` in one transaction: all of it or nothing.
    void transaction(const std::function<void()>& work);

    QString m_connection;
    QSqlDatabase m_db;
};

} // namespace kestravin
