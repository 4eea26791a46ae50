#include "app/models/AccountFolga.h"

#include "app/models/AccountJson.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace Json = ContractJson;

namespace {

QJsonObject activeToJson(const AccountFolga::Active& active)
{
    return { { u"endsAt"_s, active.endsAt } };
}

bool readActive(const QJsonObject& object, std::optional<AccountFolga::Active>& out, QString* error)
{
    if (AccountJson::isAbsent(object, u"active"_s)) {
        out.reset();
        return true;
    }
    QJsonObject active;
    AccountFolga::Active result;
    if (!Json::requireObject(object.value(u"active"_s), u"AccountFolga.Active"_s, active, error)
        || !Json::readString(active, u"endsAt"_s, result.endsAt, error))
        return false;
    out = std::move(result);
    return true;
}

} // namespace

QJsonObject AccountFolga::toJson() const
{
    QJsonObject object {
        { u"available"_s, available },
        { u"minutes"_s, minutes },
        { u"earnedToday"_s, QJsonArray::fromStringList(earnedToday) },
        { u"focusMinutes"_s, focusMinutes },
    };
    if (expiresAt)
        object.insert(u"expiresAt"_s, *expiresAt);
    if (active)
        object.insert(u"active"_s, activeToJson(*active));
    if (endsAtIfUsed)
        object.insert(u"endsAtIfUsed"_s, *endsAtIfUsed);
    return object;
}

std::optional<AccountFolga> AccountFolga::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AccountFolga folga;
    if (!Json::requireObject(value, u"AccountFolga"_s, object, error)
        || !Json::readInteger(object, u"available"_s, folga.available, error)
        || !Json::readInteger(object, u"minutes"_s, folga.minutes, error)
        || !AccountJson::readOptionalString(object, u"expiresAt"_s, folga.expiresAt, error)
        || !readActive(object, folga.active, error)
        || !AccountJson::readOptionalString(object, u"endsAtIfUsed"_s, folga.endsAtIfUsed, error)
        || !Json::readStringList(object, u"earnedToday"_s, folga.earnedToday, error)
        || !Json::readInteger(object, u"focusMinutes"_s, folga.focusMinutes, error))
        return std::nullopt;
    return folga;
}

QJsonObject AccountMission::toJson() const
{
    return { { u"kind"_s, kind }, { u"target"_s, target } };
}

std::optional<AccountMission> AccountMission::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AccountMission mission;
    if (!Json::requireObject(value, u"AccountMission"_s, object, error)
        || !Json::readString(object, u"kind"_s, mission.kind, error)
        || !Json::readInteger(object, u"target"_s, mission.target, error))
        return std::nullopt;
    return mission;
}

QString FolgaEntry::id() const
{
    return mission + u'-' + QString::number(qint64(std::trunc(earnedAt)));
}

QJsonObject FolgaEntry::toJson() const
{
    QJsonObject object { { u"mission"_s, mission }, { u"earnedAt"_s, earnedAt }, { u"expiresAt"_s, expiresAt },
        { u"status"_s, status } };
    if (usedAt)
        object.insert(u"usedAt"_s, *usedAt);
    if (endsAt)
        object.insert(u"endsAt"_s, *endsAt);
    return object;
}

std::optional<FolgaEntry> FolgaEntry::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    FolgaEntry entry;
    if (!Json::requireObject(value, u"FolgaEntry"_s, object, error)
        || !Json::readString(object, u"mission"_s, entry.mission, error)
        || !AccountJson::readNumber(object, u"earnedAt"_s, entry.earnedAt, error)
        || !AccountJson::readNumber(object, u"expiresAt"_s, entry.expiresAt, error)
        || !AccountJson::readOptionalNumber(object, u"usedAt"_s, entry.usedAt, error)
        || !AccountJson::readOptionalNumber(object, u"endsAt"_s, entry.endsAt, error)
        || !Json::readString(object, u"status"_s, entry.status, error))
        return std::nullopt;
    // 2^63 is exactly representable; every truncated value below it fits.
    constexpr double limit = 9223372036854775808.0;
    const double whole = std::trunc(entry.earnedAt);
    if (!(whole < limit && whole >= -limit)) {
        Json::setError(error, u"key \"earnedAt\" is out of range"_s);
        return std::nullopt;
    }
    return entry;
}

} // namespace kestravin
