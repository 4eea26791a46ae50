#include "OnboardingPolicy.h"

#include "BlockedSiteGroup.h"
#include "SiteCatalog.h"

using namespace Qt::StringLiterals;

namespace kestravin::OnboardingPolicy {

std::optional<Preset> Preset::fromString(QStringView rawValue)
{
    if (rawValue == u"workday")
        return Preset(workday);
    if (rawValue == u"business")
        return Preset(business);
    return std::nullopt;
}

QString Preset::rawValue() const
{
    return m_value == workday ? u"workday"_s : u"business"_s;
}

WeekSchedule::Week Preset::days() const
{
    const QList<MinuteRange> weekday = m_value == workday ? QList<MinuteRange> { { 540, 1080 } }
                                                          : QList<MinuteRange> { { 540, 720 }, { 780, 1080 } };
    return { {}, weekday, weekday, weekday, weekday, weekday, {} };
}

std::optional<Preset> Preset::matching(const WeekSchedule::Week& week)
{
    WeekSchedule::Week normalised;
    for (const QList<MinuteRange>& day : week)
        normalised.append(WeekSchedule::merge(day));
    for (const Value value : allCases) {
        if (Preset(value).days() == normalised)
            return Preset(value);
    }
    return std::nullopt;
}

const QStringList& firstRunSites()
{
    static const QStringList sites = [] {
        QStringList result;
        for (const QString& id : { u"youtube"_s, u"instagram"_s, u"x"_s, u"tiktok"_s }) {
            for (const SiteCatalogEntry& entry : SiteCatalog::entries()) {
                if (entry.id == id) {
                    result.append(entry.domains);
                    break;
                }
            }
        }
        return result;
    }();
    return sites;
}

int blockedCount(const QStringList& blockedSites)
{
    int count = 0;
    for (const SiteCatalogEntry& entry : SiteCatalog::entries()) {
        if (std::any_of(blockedSites.cbegin(), blockedSites.cend(),
                [&entry](const QString& site) { return entry.matches(site); }))
            ++count;
    }
    for (const BlockedSiteGroup& group : BlockedSiteGroup::make(blockedSites)) {
        if (!group.platform)
            ++count;
    }
    return count;
}

} // namespace kestravin::OnboardingPolicy
