#pragma once

#include "BlockedApp.h"
#include "Schedule.h"
#include "contract/HelperScheduleConfig.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QStringList>

namespace kestravin {

// The user's configuration: the whole content of config.json.
struct Configuration {
    // Domains as the user or the catalogue gave them.
    QStringList blockedSites;
    Schedule schedule;
    // The automatic focus hours are switched on.
    bool enabled = false;
    QList<BlockedApp> blockedApps;

    Configuration() = default;
    Configuration(QStringList blockedSites, Schedule schedule, bool enabled, QList<BlockedApp> blockedApps = {});

    // What a fresh installation starts from: the 20 default hosts,
    // Schedule::defaultSchedule(), automatic hours on, no apps.
    static const Configuration& defaultConfig();
    static const QStringList& defaultBlockedSites();

    // The schedule the daemon is given: every day the map holds, keyed by its
    // lower-case name, with its ranges as stored (identifiers left out); the
    // switch as it stands; the blocked sites widened by
    // SiteCatalog::systemHosts(), without any name that the contract's
    // host-name check refuses, so nothing unsafe ever reaches the hosts file.
    // Computed afresh on every call; equal configurations give configurations
    // that sameSchedule() finds equal.
    HelperScheduleConfig helperScheduleConfig() const;

    // Keys "blockedApps" (always written, also when empty), "blockedSites",
    // "enabled" and "schedule"; QJsonObject keeps every object's keys sorted
    // and the schedule is written in a fixed day order, so equal values give
    // equal bytes.
    QJsonObject toJson() const;
    QByteArray toJsonBytes(QJsonDocument::JsonFormat format = QJsonDocument::Indented) const;
    // Fails as a whole on a missing required key, a wrong type, an unknown
    // day, an odd-length day array or a day with neither readable ranges nor
    // the legacy single-range keys. A missing or null "blockedApps" reads as
    // an empty list.
    static std::optional<Configuration> fromJson(const QJsonValue& value, QString* error = nullptr);
    static std::optional<Configuration> fromJsonBytes(const QByteArray& bytes, QString* error = nullptr);

    bool operator==(const Configuration&) const = default;
};

} // namespace kestravin
