#pragma once

#include "app/models/BrowserSettings.h"
#include "app/models/Configuration.h"
#include "app/models/DesktopAccessError.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// The translation between the account's settings and the local
// configuration, both ways. Pure: no storage, no network, no clock.
namespace DesktopAccountPolicy {

// The pattern a site must match, as a whole, to be uploaded.
inline constexpr const char16_t* siteFormat = u"^(?=.{1,253}$)[a-z0-9-]+(\\.[a-z0-9-]+)+$";
// Whether `site` matches siteFormat. Anchored at the true end of the text, so
// a final newline does not pass.
bool matchesSiteFormat(const QString& site);

// The platforms the account may name, and their domains.
const QStringList& acceptedPlatforms();
const QStringList& platformRoots();
const QStringList& platformDomains(const QString& platform);

// The local configuration for received `settings`, keeping the parts the
// settings leave out from `preserving`. Fails with the invalid-settings case
// (code 0) when the settings are not onboarded, name an unknown time zone or
// platform, hold more than 56 slots or a slot that is not a forward range
// within one day.
struct Received {
    std::optional<Configuration> configuration;
    DesktopAccessError error = DesktopAccessError::invalidApproval;
    // Why, for the log.
    QString reason;
};
Received configuration(const BrowserSettings& settings, const Configuration& preserving);

// The settings to upload from the local configuration. `systemTimeZone` is the
// identifier of the computer's zone.
BrowserSettings settings(
    const Configuration& configuration, const BrowserSettings& account, bool onboarding, const QString& systemTimeZone);

// One slot's start and end as a range; none when it is not a forward range
// of valid times.
std::optional<TimeRange> slotRange(const BrowserScheduleSlot& slot);

} // namespace DesktopAccountPolicy

} // namespace kestravin
