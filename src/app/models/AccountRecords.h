#pragma once

#include "app/models/AccountFolga.h"
#include "app/models/BrowserSettings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The records exchanged with the account API. Instants are milliseconds since
// 1970 carried as JSON numbers; an optional key that is missing or null reads
// as absent and is left out when written. Each record writes what it reads
// (`toJson`), so that whoever answers the client (the tests' double) speaks
// through the same records.
namespace kestravin {

// The account's focus state as the account API reports it.
struct AccountFocus {
    // A constructor rather than an aggregate, so that callers may name only
    // the leading members.
    AccountFocus(bool isEnabled = false, std::optional<double> endsAtMs = std::nullopt,
        std::optional<QString> focusId = std::nullopt, std::optional<QString> origin = std::nullopt)
        : enabled(isEnabled), endsAt(endsAtMs), id(std::move(focusId)), source(std::move(origin))
    {
    }

    bool enabled = false;
    // Milliseconds since 1970; a missing value counts as 0.
    std::optional<double> endsAt;
    std::optional<QString> id;
    std::optional<QString> source;
    bool operator==(const AccountFocus&) const = default;

    QJsonObject toJson() const;
    static std::optional<AccountFocus> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// The tokens of a linked computer; kept in the keyring as its JSON.
struct DesktopAccountSession {
    QString accessToken;
    QString refreshToken;
    double expiresAt = 0;
    bool operator==(const DesktopAccountSession&) const = default;

    QJsonObject toJson() const;
    QByteArray toJsonBytes() const;
    static std::optional<DesktopAccountSession> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// The account state of the last applied download.
struct DesktopAccountSnapshot {
    struct User {
        QString id;
        QString email;
        std::optional<QString> name;
        // An image that is not an absolute http(s) address reads as absent:
        // a bad avatar must not stop the whole download.
        std::optional<QUrl> image;
        bool operator==(const User&) const = default;

        QJsonObject toJson() const;
        static std::optional<User> fromJson(const QJsonValue& value, QString* error = nullptr);
    };

    DesktopAccountSnapshot(AccountFocus accountFocus = {}, std::optional<AccountFolga> balance = std::nullopt)
        : focus(std::move(accountFocus)), folga(std::move(balance))
    {
    }

    AccountFocus focus;
    std::optional<AccountFolga> folga;
    User user;
    BrowserSettings settings;
    qint64 revision = 0;
    double pausedUntil = 0;
    std::optional<QList<AccountMission>> missions;
    std::optional<QList<AccountGrant>> grants;
    bool operator==(const DesktopAccountSnapshot&) const = default;

    QJsonObject toJson() const;
    static std::optional<DesktopAccountSnapshot> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Reply of the device-link start.
struct DeviceConnection {
    QString code;
    QString secret;
    double expiresAt = 0;
    QUrl webURL;
    bool operator==(const DeviceConnection&) const = default;

    QJsonObject toJson() const;
    static std::optional<DeviceConnection> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Reply of one device-link poll; "connected" comes with the session.
struct DevicePoll {
    QString status;
    std::optional<DesktopAccountSession> session;
    bool operator==(const DevicePoll&) const = default;

    QJsonObject toJson() const;
    static std::optional<DevicePoll> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// The body of a refused request.
struct AccountErrorReply {
    QString error;
    std::optional<QString> code;
    bool operator==(const AccountErrorReply&) const = default;

    QJsonObject toJson() const;
    static std::optional<AccountErrorReply> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Body of the settings upload.
struct SettingsUpdate {
    BrowserSettings settings;
    qint64 revision = 0;

    QJsonObject toJson() const;
};

// Reply of the settings upload.
struct SavedSettings {
    qint64 revision = 0;

    QJsonObject toJson() const;
    static std::optional<SavedSettings> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Reply of using a folga.
struct FolgaUseReply {
    AccountFolga folga;
    AccountFocus focus;

    QJsonObject toJson() const;
    static std::optional<FolgaUseReply> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Reply of earning a folga.
struct FolgaEarnReply {
    AccountFolga folga;

    QJsonObject toJson() const;
    static std::optional<FolgaEarnReply> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Reply of the folga history.
struct FolgaHistoryReply {
    QList<FolgaEntry> entries;

    QJsonObject toJson() const;
    static std::optional<FolgaHistoryReply> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// Bodies of the single-purpose requests.
namespace AccountBodies {
QByteArray empty(); // "{}"
QByteArray focusStart(qint64 minutes);
QByteArray folgaEarn(const AccountMission& mission);
QByteArray missions(const QList<AccountMission>& missions);
QByteArray refresh(const QString& refreshToken);
QByteArray devicePoll(const QString& secret);
QByteArray settingsUpdate(const SettingsUpdate& update);
} // namespace AccountBodies

// The upload state that the editors show.
struct AccountSaveState {
    enum class Case { idle, saving, saved, failed };
    Case state = Case::idle;
    // The text to show, for failed.
    QString message;

    static AccountSaveState idle() { return {}; }
    static AccountSaveState saving() { return { Case::saving, {} }; }
    static AccountSaveState saved() { return { Case::saved, {} }; }
    static AccountSaveState failed(QString message) { return { Case::failed, std::move(message) }; }

    bool operator==(const AccountSaveState&) const = default;
};

} // namespace kestravin
