#include "MissionGoals.h"

#include "SearchFolding.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin::MissionGoals {

std::array<qint64, 4> targets(MissionKind kind)
{
    switch (kind) {
    case MissionKind::focus:
        return { 60, 120, 180, 240 };
    case MissionKind::steps:
        return { 4000, 6000, 8000, 10000 };
    case MissionKind::workout:
        return { 15, 30, 45, 60 };
    case MissionKind::mindful:
        return { 5, 10, 15, 20 };
    case MissionKind::app:
        return { 10, 20, 30, 45 };
    }
    return {};
}

qint64 defaultTarget(MissionKind kind)
{
    switch (kind) {
    case MissionKind::focus:
        return 60;
    case MissionKind::steps:
        return 8000;
    case MissionKind::workout:
        return 30;
    case MissionKind::mindful:
        return 10;
    case MissionKind::app:
        return 20;
    }
    return 0;
}

QString subtitle(MissionKind kind)
{
    if (kind == MissionKind::focus) {
        return u"Contam só os minutos das suas sessões de foco fora dos horários planejados."_s;
    }
    return measuredOnMac(kind) ? QString() : u"Medido pelo iPhone"_s;
}

QString symbol(MissionKind kind)
{
    switch (kind) {
    case MissionKind::focus:
        return u"scope"_s;
    case MissionKind::steps:
        return u"figure.walk"_s;
    case MissionKind::workout:
        return u"figure.run"_s;
    case MissionKind::mindful:
        return u"leaf"_s;
    case MissionKind::app:
        return u"book"_s;
    }
    return u"sparkles"_s;
}

QString chipLabel(MissionKind kind, qint64 target)
{
    return kind == MissionKind::steps ? MissionText::grouped(target) : MissionText::duration(target);
}

std::optional<qsizetype> indexOf(const QList<AccountMission>& missions, MissionKind kind)
{
    const QString raw = rawValue(kind);
    for (qsizetype i = 0; i < missions.size(); ++i) {
        if (missions[i].kind == raw) {
            return i;
        }
    }
    return std::nullopt;
}

QList<AccountMission> toggled(QList<AccountMission> missions, MissionKind kind)
{
    if (const auto index = indexOf(missions, kind)) {
        missions.removeAt(*index);
        return missions;
    }
    missions.append(AccountMission { rawValue(kind), defaultTarget(kind) });
    auto position = [](const AccountMission& mission) {
        const auto known = missionKindFromRaw(mission.kind);
        return known ? int(*known) : 0;
    };
    std::stable_sort(missions.begin(), missions.end(),
        [&](const AccountMission& a, const AccountMission& b) { return position(a) < position(b); });
    return missions;
}

QList<AccountMission> retargeted(QList<AccountMission> missions, MissionKind kind, qint64 target)
{
    if (const auto index = indexOf(missions, kind)) {
        missions[*index] = AccountMission { rawValue(kind), target };
    }
    return missions;
}

QList<InstalledApp> pickerResults(const QList<InstalledApp>& apps, const QString& query, const QStringList& chosen)
{
    QList<InstalledApp> results;
    const QString term = query.trimmed();
    if (term.isEmpty()) {
        return results;
    }
    for (const InstalledApp& app : apps) {
        if (results.size() == pickerResultLimit) {
            break;
        }
        if (SearchFolding::containsFolded(app.name, term) && !chosen.contains(app.bundleIdentifier.toLower())) {
            results.append(app);
        }
    }
    return results;
}

QStringList picked(QStringList chosen, const QString& bundleIdentifier)
{
    const QString entry = bundleIdentifier.toLower();
    if (!chosen.contains(entry)) {
        chosen.append(entry);
    }
    return chosen;
}

QStringList removed(QStringList chosen, const QString& entry)
{
    chosen.removeAll(entry);
    return chosen;
}

} // namespace kestravin::MissionGoals
