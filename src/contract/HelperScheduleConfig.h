#pragma once

#include "BrowserHelperControl.h"
#include "HelperDaySchedule.h"
#include "ScheduledSiteAccess.h"
#include "SiteAccessGrant.h"

#include <QByteArray>
#include <QMap>

namespace kestravin {

// The daemon's whole schedule state, and the application's statement of what
// it expects the daemon to hold. Days are keyed by lower-case English weekday
// names ("sunday" ... "saturday"); the map may lack days or hold other keys.
struct HelperScheduleConfig {
    QMap<QString, HelperDaySchedule> daySchedules;
    bool enabled = false;
    QStringList blockedSites;
    std::optional<ScheduledSiteAccess> temporaryAccess;
    std::optional<BrowserHelperControl> browserControl;
    std::optional<qint64> lastBrowserGeneration;
    std::optional<QList<SiteAccessGrant>> siteAccess;
    std::optional<Instant> siteAccessFocusEnd;

    HelperScheduleConfig() = default;
    HelperScheduleConfig(QMap<QString, HelperDaySchedule> daySchedules, bool enabled, QStringList blockedSites);

    // `sites` without those freed by the unexpired site grants.
    QStringList withoutSiteAccess(const QStringList& sites, Instant now) const;

    // The one equality of configurations: the days, the switch and the site
    // list (in order); the access fields and the browser state never count.
    bool sameSchedule(const HelperScheduleConfig& other) const;

    QJsonObject toJson() const;
    // Compact JSON; the key order of Qt's objects is sorted.
    QByteArray toJsonBytes() const;
    static std::optional<HelperScheduleConfig> fromJson(const QJsonValue& value, QString* error = nullptr);
    static std::optional<HelperScheduleConfig> fromJsonBytes(const QByteArray& bytes, QString* error = nullptr);
};

} // namespace kestravin
