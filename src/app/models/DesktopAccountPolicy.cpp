#include "app/models/DesktopAccountPolicy.h"

#include "app/models/WeekSchedule.h"
#include "contract/ScheduledSiteAccess.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin::DesktopAccountPolicy {

namespace {

// Base-10 digits with an optional sign, nothing else, and no overflow.
std::optional<qint64> strictInteger(QStringView text)
{
    static const QRegularExpression form(u"\\A[+-]?[0-9]+\\z"_s);
    if (!form.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional(value) : std::nullopt;
}

QList<qint64> timeParts(const QString& text)
{
    QList<qint64> parts;
    for (const QStringView piece : QStringView(text).split(u':', Qt::SkipEmptyParts)) {
        if (const auto number = strictInteger(piece))
            parts.append(*number);
    }
    return parts;
}

bool isValidTime(const QList<qint64>& parts)
{
    return parts.size() == 2 && parts[0] >= 0 && parts[0] <= 23 && parts[1] >= 0 && parts[1] <= 59;
}

bool isPlatformSite(const QString& site)
{
    return std::any_of(platformRoots().cbegin(), platformRoots().cend(),
        [&site](const QString& root) { return site == root || site.endsWith(u'.' + root); });
}

Received refused(QString reason)
{
    return { std::nullopt, DesktopAccessError::invalidApproval, std::move(reason) };
}

} // namespace

bool matchesSiteFormat(const QString& site)
{
    // The pattern as written, with "$" replaced by the true end of text.
    static const QRegularExpression pattern(QString::fromUtf16(siteFormat).replace(u'$', u"\\z"_s));
    return pattern.match(site).hasMatch();
}

const QStringList& acceptedPlatforms()
{
    static const QStringList platforms { u"youtube"_s, u"x"_s };
    return platforms;
}

const QStringList& platformRoots()
{
    static const QStringList roots { u"youtube.com"_s, u"youtu.be"_s, u"googlevideo.com"_s, u"x.com"_s,
        u"twitter.com"_s };
    return roots;
}

const QStringList& platformDomains(const QString& platform)
{
    static const QStringList youtube { u"youtube.com"_s, u"www.youtube.com"_s, u"m.youtube.com"_s,
        u"music.youtube.com"_s, u"youtu.be"_s, u"googlevideo.com"_s };
    static const QStringList x { u"x.com"_s, u"www.x.com"_s, u"twitter.com"_s, u"www.twitter.com"_s };
    static const QStringList none;
    if (platform == u"youtube"_s)
        return youtube;
    if (platform == u"x"_s)
        return x;
    return none;
}

std::optional<TimeRange> slotRange(const BrowserScheduleSlot& slot)
{
    const QList<qint64> start = timeParts(slot.start);
    const QList<qint64> end = timeParts(slot.end);
    if (!isValidTime(start) || !isValidTime(end) || start[0] * 60 + start[1] >= end[0] * 60 + end[1])
        return std::nullopt;
    return TimeRange(start[0], start[1], end[0], end[1]);
}

Received configuration(const BrowserSettings& settings, const Configuration& preserving)
{
    if (!settings.onboarded)
        return refused(u"not onboarded"_s);
    if (!QTimeZone(settings.timezone.toUtf8()).isValid())
        return refused(u"unknown time zone %1"_s.arg(settings.timezone));
    for (const QString& platform : settings.platforms) {
        if (!acceptedPlatforms().contains(platform))
            return refused(u"unknown platform %1"_s.arg(platform));
    }
    if (settings.schedule.size() > 56)
        return refused(u"%1 slots"_s.arg(settings.schedule.size()));

    Configuration result = preserving;
    Schedule schedule;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        QList<TimeRange> ranges;
        for (const BrowserScheduleSlot& slot : settings.schedule) {
            if (!slot.days.contains(day.index()))
                continue;
            const auto range = slotRange(slot);
            if (!range)
                return refused(u"slot %1-%2"_s.arg(slot.start, slot.end));
            ranges.append(*range);
        }
        schedule.daySchedules.insert(day, ranges.isEmpty() ? DaySchedule::disabled() : DaySchedule(true, ranges));
    }
    result.schedule = schedule;

    QStringList sites;
    for (const QString& site : settings.sites.value_or(preserving.blockedSites)) {
        if (!isPlatformSite(site))
            sites.append(site);
    }
    for (const QString& platform : settings.platforms)
        sites.append(platformDomains(platform));
    sites.removeDuplicates();
    std::sort(sites.begin(), sites.end());
    result.blockedSites = sites;

    if (settings.apps) {
        result.blockedApps.clear();
        for (const AccountApp& app : *settings.apps)
            result.blockedApps.append(BlockedApp(app.id, app.name));
    }
    result.enabled = settings.enabled;
    return { result, DesktopAccessError::invalidApproval, {} };
}

BrowserSettings settings(
    const Configuration& configuration, const BrowserSettings& account, bool onboarding, const QString& systemTimeZone)
{
    BrowserSettings result;
    result.schedule = WeekSchedule::slots(WeekSchedule::days(configuration.schedule));

    for (const QString& platform : acceptedPlatforms()) {
        const QSet<QString> domains = ScheduledSiteAccess::domains(platform);
        if (std::any_of(configuration.blockedSites.cbegin(), configuration.blockedSites.cend(),
                [&domains](const QString& site) { return domains.contains(site.toLower()); }))
            result.platforms.append(platform);
    }

    QStringList sites;
    for (const QString& site : configuration.blockedSites) {
        const QString lower = site.toLower();
        if (matchesSiteFormat(lower))
            sites.append(lower);
    }
    sites.removeDuplicates();
    std::sort(sites.begin(), sites.end());
    result.sites = sites;

    result.timezone = systemTimeZone;
    QList<AccountApp> apps;
    for (const BlockedApp& app : configuration.blockedApps)
        apps.append({ app.bundleIdentifier, app.name });
    result.apps = apps;
    result.onboarded = account.onboarded || onboarding;
    result.enabled = configuration.enabled;
    return result;
}

} // namespace kestravin::DesktopAccountPolicy
