#include "app/models/BrowserSettings.h"

#include "app/models/AccountJson.h"

#include <limits>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace Json = ContractJson;

QJsonObject browserScheduleSlotToJson(const BrowserScheduleSlot& slot)
{
    QJsonArray days;
    for (int day : slot.days)
        days.append(day);
    return { { u"days"_s, days }, { u"start"_s, slot.start }, { u"end"_s, slot.end } };
}

std::optional<BrowserScheduleSlot> browserScheduleSlotFromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    if (!Json::requireObject(value, u"BrowserScheduleSlot"_s, object, error))
        return std::nullopt;
    BrowserScheduleSlot slot;
    const QJsonValue days = object.value(u"days"_s);
    if (!days.isArray()) {
        Json::setError(error, u"key \"days\" is not an array"_s);
        return std::nullopt;
    }
    for (const QJsonValue& day : days.toArray()) {
        const auto integer = Json::integerValue(day);
        // A day outside an int could never name a weekday; refusing it keeps
        // the narrowing below exact.
        if (!integer || *integer < std::numeric_limits<int>::min() || *integer > std::numeric_limits<int>::max()) {
            Json::setError(error, u"key \"days\" holds a value that is not an integer"_s);
            return std::nullopt;
        }
        slot.days.append(int(*integer));
    }
    if (!Json::readString(object, u"start"_s, slot.start, error)
        || !Json::readString(object, u"end"_s, slot.end, error))
        return std::nullopt;
    return slot;
}

QJsonObject AccountApp::toJson() const
{
    return { { u"id"_s, id }, { u"name"_s, name } };
}

std::optional<AccountApp> AccountApp::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AccountApp app;
    if (!Json::requireObject(value, u"AccountApp"_s, object, error) || !Json::readString(object, u"id"_s, app.id, error)
        || !Json::readString(object, u"name"_s, app.name, error))
        return std::nullopt;
    return app;
}

QJsonObject BrowserSettings::toJson() const
{
    QJsonArray slots;
    for (const BrowserScheduleSlot& slot : schedule)
        slots.append(browserScheduleSlotToJson(slot));
    QJsonObject object {
        { u"onboarded"_s, onboarded },
        { u"enabled"_s, enabled },
        { u"timezone"_s, timezone },
        { u"platforms"_s, QJsonArray::fromStringList(platforms) },
        { u"schedule"_s, slots },
    };
    if (sites)
        object.insert(u"sites"_s, QJsonArray::fromStringList(*sites));
    if (apps)
        object.insert(u"apps"_s, AccountJson::toArray(*apps));
    return object;
}

std::optional<BrowserSettings> BrowserSettings::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserSettings settings;
    if (!Json::requireObject(value, u"BrowserSettings"_s, object, error)
        || !Json::readBool(object, u"onboarded"_s, settings.onboarded, error)
        || !Json::readBool(object, u"enabled"_s, settings.enabled, error)
        || !Json::readString(object, u"timezone"_s, settings.timezone, error)
        || !Json::readStringList(object, u"platforms"_s, settings.platforms, error))
        return std::nullopt;
    const QJsonValue slots = object.value(u"schedule"_s);
    if (!slots.isArray()) {
        Json::setError(error, u"key \"schedule\" is not an array"_s);
        return std::nullopt;
    }
    for (const QJsonValue& element : slots.toArray()) {
        auto slot = browserScheduleSlotFromJson(element, error);
        if (!slot)
            return std::nullopt;
        settings.schedule.append(std::move(*slot));
    }
    if (!AccountJson::isAbsent(object, u"sites"_s)) {
        QStringList sites;
        if (!Json::readStringList(object, u"sites"_s, sites, error))
            return std::nullopt;
        settings.sites = std::move(sites);
    }
    if (!AccountJson::readOptionalRecordList(object, u"apps"_s, settings.apps, error))
        return std::nullopt;
    return settings;
}

QJsonObject AccountGrant::toJson() const
{
    QJsonObject object { { u"site"_s, site }, { u"expiresAt"_s, expiresAt } };
    if (focusId)
        object.insert(u"focusId"_s, *focusId);
    if (grantedAt)
        object.insert(u"grantedAt"_s, *grantedAt);
    return object;
}

std::optional<AccountGrant> AccountGrant::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AccountGrant grant;
    if (!Json::requireObject(value, u"AccountGrant"_s, object, error)
        || !Json::readString(object, u"site"_s, grant.site, error)
        || !AccountJson::readNumber(object, u"expiresAt"_s, grant.expiresAt, error)
        || !AccountJson::readOptionalString(object, u"focusId"_s, grant.focusId, error)
        || !AccountJson::readOptionalNumber(object, u"grantedAt"_s, grant.grantedAt, error))
        return std::nullopt;
    return grant;
}

} // namespace kestravin
