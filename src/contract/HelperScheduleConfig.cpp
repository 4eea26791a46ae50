#include "HelperScheduleConfig.h"

#include "ContractJson.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace kestravin {

HelperScheduleConfig::HelperScheduleConfig(
    QMap<QString, HelperDaySchedule> daySchedules_, bool enabled_, QStringList blockedSites_)
    : daySchedules(std::move(daySchedules_)), enabled(enabled_), blockedSites(std::move(blockedSites_))
{
}

QStringList HelperScheduleConfig::withoutSiteAccess(const QStringList& sites, Instant now) const
{
    if (!siteAccess)
        return sites;
    QSet<QString> freed;
    for (const SiteAccessGrant& grant : *siteAccess) {
        if (grant.expiresAt > now)
            freed.unite(ScheduledSiteAccess::domains(QString(u"site:"_s + grant.site)));
    }
    return sitesNotCoveredBy(sites, freed);
}

bool HelperScheduleConfig::sameSchedule(const HelperScheduleConfig& other) const
{
    // Only the schedule part is encoded; QJsonObject keeps its keys sorted,
    // which makes the encodings canonical.
    const HelperScheduleConfig mine(daySchedules, enabled, blockedSites);
    const HelperScheduleConfig theirs(other.daySchedules, other.enabled, other.blockedSites);
    return mine.toJsonBytes() == theirs.toJsonBytes();
}

QJsonObject HelperScheduleConfig::toJson() const
{
    QJsonObject days;
    for (auto it = daySchedules.cbegin(); it != daySchedules.cend(); ++it)
        days.insert(it.key(), it.value().toJson());

    QJsonObject object {
        { u"daySchedules"_s, days },
        { u"enabled"_s, enabled },
        { u"blockedSites"_s, QJsonArray::fromStringList(blockedSites) },
    };
    if (temporaryAccess)
        object.insert(u"temporaryAccess"_s, temporaryAccess->toJson());
    if (browserControl)
        object.insert(u"browserControl"_s, browserControl->toJson());
    if (lastBrowserGeneration)
        object.insert(u"lastBrowserGeneration"_s, *lastBrowserGeneration);
    if (siteAccess) {
        QJsonArray grants;
        for (const SiteAccessGrant& grant : *siteAccess)
            grants.append(grant.toJson());
        object.insert(u"siteAccess"_s, grants);
    }
    if (siteAccessFocusEnd)
        object.insert(u"siteAccessFocusEnd"_s, siteAccessFocusEnd->secondsSinceReference);
    return object;
}

QByteArray HelperScheduleConfig::toJsonBytes() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<HelperScheduleConfig> HelperScheduleConfig::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    HelperScheduleConfig config;
    if (!requireObject(value, u"HelperScheduleConfig"_s, object, error))
        return std::nullopt;

    const QJsonValue days = object.value(u"daySchedules"_s);
    if (days.isUndefined() || days.isNull()) {
        setError(error, u"missing key \"daySchedules\""_s);
        return std::nullopt;
    }
    if (!days.isObject()) {
        setError(error, u"key \"daySchedules\" is not an object"_s);
        return std::nullopt;
    }
    const QJsonObject dayObject = days.toObject();
    for (auto it = dayObject.constBegin(); it != dayObject.constEnd(); ++it) {
        auto day = HelperDaySchedule::fromJson(it.value(), error);
        if (!day)
            return std::nullopt;
        config.daySchedules.insert(it.key(), *day);
    }

    if (!readBool(object, u"enabled"_s, config.enabled, error)
        || !readStringList(object, u"blockedSites"_s, config.blockedSites, error))
        return std::nullopt;

    const QJsonValue access = object.value(u"temporaryAccess"_s);
    if (!access.isUndefined() && !access.isNull()) {
        config.temporaryAccess = ScheduledSiteAccess::fromJson(access, error);
        if (!config.temporaryAccess)
            return std::nullopt;
    }
    const QJsonValue control = object.value(u"browserControl"_s);
    if (!control.isUndefined() && !control.isNull()) {
        config.browserControl = BrowserHelperControl::fromJson(control, error);
        if (!config.browserControl)
            return std::nullopt;
    }
    if (!readOptionalInteger(object, u"lastBrowserGeneration"_s, config.lastBrowserGeneration, error))
        return std::nullopt;
    const QJsonValue grants = object.value(u"siteAccess"_s);
    if (!grants.isUndefined() && !grants.isNull()) {
        config.siteAccess = SiteAccessGrant::listFromJson(grants, error);
        if (!config.siteAccess)
            return std::nullopt;
    }
    if (!readOptionalInstant(object, u"siteAccessFocusEnd"_s, config.siteAccessFocusEnd, error))
        return std::nullopt;
    return config;
}

std::optional<HelperScheduleConfig> HelperScheduleConfig::fromJsonBytes(const QByteArray& bytes, QString* error)
{
    QJsonValue value;
    if (!ContractJson::parseDocument(bytes, value, error))
        return std::nullopt;
    return fromJson(value, error);
}

} // namespace kestravin
