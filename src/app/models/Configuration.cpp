#include "Configuration.h"

#include "SiteCatalog.h"
#include "contract/ContractJson.h"
#include "contract/HostName.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace kestravin {

Configuration::Configuration(
    QStringList blockedSites_, Schedule schedule_, bool enabled_, QList<BlockedApp> blockedApps_)
    : blockedSites(std::move(blockedSites_)),
      schedule(std::move(schedule_)),
      enabled(enabled_),
      blockedApps(std::move(blockedApps_))
{
}

const QStringList& Configuration::defaultBlockedSites()
{
    static const QStringList sites {
        u"x.com"_s,
        u"www.x.com"_s,
        u"twitter.com"_s,
        u"www.twitter.com"_s,
        u"facebook.com"_s,
        u"www.facebook.com"_s,
        u"instagram.com"_s,
        u"www.instagram.com"_s,
        u"reddit.com"_s,
        u"www.reddit.com"_s,
        u"youtube.com"_s,
        u"www.youtube.com"_s,
        u"m.youtube.com"_s,
        u"music.youtube.com"_s,
        u"youtu.be"_s,
        u"googlevideo.com"_s,
        u"tiktok.com"_s,
        u"www.tiktok.com"_s,
        u"netflix.com"_s,
        u"www.netflix.com"_s,
    };
    return sites;
}

const Configuration& Configuration::defaultConfig()
{
    static const Configuration configuration(defaultBlockedSites(), Schedule::defaultSchedule(), true);
    return configuration;
}

HelperScheduleConfig Configuration::helperScheduleConfig() const
{
    QMap<QString, HelperDaySchedule> days;
    for (auto it = schedule.daySchedules.cbegin(); it != schedule.daySchedules.cend(); ++it) {
        QList<HelperTimeRange> ranges;
        ranges.reserve(it.value().timeRanges.size());
        for (const TimeRange& range : it.value().timeRanges)
            ranges.append(HelperTimeRange(range.startHour, range.startMinute, range.endHour, range.endMinute));
        days.insert(it.key().rawValue(), HelperDaySchedule(it.value().enabled, std::move(ranges)));
    }
    QStringList hosts;
    for (const QString& host : SiteCatalog::systemHosts(blockedSites)) {
        if (isSafeHostName(host))
            hosts.append(host);
    }
    return HelperScheduleConfig(std::move(days), enabled, std::move(hosts));
}

QJsonObject Configuration::toJson() const
{
    QJsonArray apps;
    for (const BlockedApp& app : blockedApps)
        apps.append(app.toJson());
    return QJsonObject {
        { u"blockedApps"_s, apps },
        { u"blockedSites"_s, QJsonArray::fromStringList(blockedSites) },
        { u"enabled"_s, enabled },
        { u"schedule"_s, schedule.toJson() },
    };
}

QByteArray Configuration::toJsonBytes(QJsonDocument::JsonFormat format) const
{
    return QJsonDocument(toJson()).toJson(format);
}

std::optional<Configuration> Configuration::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    Configuration configuration;
    if (!requireObject(value, u"Configuration"_s, object, error)
        || !readStringList(object, u"blockedSites"_s, configuration.blockedSites, error))
        return std::nullopt;

    if (!object.contains(u"schedule"_s)) {
        setError(error, u"missing key \"schedule\""_s);
        return std::nullopt;
    }
    auto schedule = Schedule::fromJson(object.value(u"schedule"_s), error);
    if (!schedule || !readBool(object, u"enabled"_s, configuration.enabled, error))
        return std::nullopt;
    configuration.schedule = std::move(*schedule);

    const QJsonValue apps = object.value(u"blockedApps"_s);
    if (apps.isUndefined() || apps.isNull())
        return configuration;
    if (!apps.isArray()) {
        setError(error, u"\"blockedApps\" is not an array"_s);
        return std::nullopt;
    }
    for (const QJsonValue& element : apps.toArray()) {
        auto app = BlockedApp::fromJson(element, error);
        if (!app)
            return std::nullopt;
        configuration.blockedApps.append(std::move(*app));
    }
    return configuration;
}

std::optional<Configuration> Configuration::fromJsonBytes(const QByteArray& bytes, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        ContractJson::setError(error, u"not JSON: "_s + parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        ContractJson::setError(error, u"the configuration is not a JSON object"_s);
        return std::nullopt;
    }
    return fromJson(document.object(), error);
}

} // namespace kestravin
