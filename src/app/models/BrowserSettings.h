#pragma once

#include "app/models/BrowserScheduleSlot.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// The JSON of one weekly slot, as the account and the browser exchange carry it.
QJsonObject browserScheduleSlotToJson(const BrowserScheduleSlot& slot);
std::optional<BrowserScheduleSlot> browserScheduleSlotFromJson(const QJsonValue& value, QString* error = nullptr);

// An application of the account's block list.
struct AccountApp {
    QString id;
    QString name;

    QJsonObject toJson() const;
    static std::optional<AccountApp> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const AccountApp&) const = default;
};

// The account's blocking settings: sites, platforms and weekly hours.
struct BrowserSettings {
    bool onboarded = false;
    bool enabled = false;
    QString timezone;
    QStringList platforms;
    QList<BrowserScheduleSlot> schedule;
    std::optional<QStringList> sites;
    std::optional<QList<AccountApp>> apps;

    QJsonObject toJson() const;
    static std::optional<BrowserSettings> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const BrowserSettings&) const = default;
};

// A temporary opening of one site, granted by the account. Instants are
// milliseconds since 1970.
struct AccountGrant {
    QString site;
    double expiresAt = 0;
    std::optional<QString> focusId;
    std::optional<double> grantedAt;

    QJsonObject toJson() const;
    static std::optional<AccountGrant> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const AccountGrant&) const = default;
};

} // namespace kestravin
