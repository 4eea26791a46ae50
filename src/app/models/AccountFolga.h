#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// The earned-break ("folga") balance of the account. Instants are internet
// date-time texts as the account sends them (read with InternetDateTime).
struct AccountFolga {
    struct Active {
        QString endsAt;
        bool operator==(const Active&) const = default;
    };

    qint64 available = 0;
    qint64 minutes = 0;
    std::optional<QString> expiresAt;
    std::optional<Active> active;
    std::optional<QString> endsAtIfUsed;
    QStringList earnedToday;
    qint64 focusMinutes = 0;

    bool operator==(const AccountFolga&) const = default;

    // Absent optionals are left out, never written as null.
    QJsonObject toJson() const;
    static std::optional<AccountFolga> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// One daily goal of the account. `kind` is a MissionKind's raw value; kinds
// this build does not know are carried unchanged.
struct AccountMission {
    QString kind;
    qint64 target = 0;

    bool operator==(const AccountMission&) const = default;

    QJsonObject toJson() const;
    static std::optional<AccountMission> fromJson(const QJsonValue& value, QString* error = nullptr);
};

// One row of the folga history.
struct FolgaEntry {
    QString mission;
    double earnedAt = 0;
    double expiresAt = 0;
    std::optional<double> usedAt;
    std::optional<double> endsAt;
    QString status;

    bool operator==(const FolgaEntry&) const = default;

    // mission + "-" + the integer part of earnedAt.
    QString id() const;

    QJsonObject toJson() const;
    // Refuses an entry whose earnedAt has no integer part in 64 bits, so
    // that every decoded entry has an id.
    static std::optional<FolgaEntry> fromJson(const QJsonValue& value, QString* error = nullptr);
};

} // namespace kestravin
