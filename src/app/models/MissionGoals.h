#pragma once

#include "AccountFolga.h"
#include "InstalledApp.h"
#include "Missions.h"

#include <QList>
#include <QStringList>

#include <array>
#include <optional>

namespace kestravin::MissionGoals {

// The four targets a goal kind offers, in chip order, and its default.
std::array<qint64, 4> targets(MissionKind kind);
qint64 defaultTarget(MissionKind kind);
// The line under a goal's title; empty for the app goal.
QString subtitle(MissionKind kind);
QString symbol(MissionKind kind);
// A chip's label: grouped steps ("8.000"), else a duration ("45 min", "1h").
QString chipLabel(MissionKind kind, qint64 target);

// The first goal of this kind in the list, if any.
std::optional<qsizetype> indexOf(const QList<AccountMission>& missions, MissionKind kind);

// Switches a goal off (only the first of its kind leaves) or on (appended
// with its default target, then the list sorted stably by kind order; kinds
// this build does not know sort first).
QList<AccountMission> toggled(QList<AccountMission> missions, MissionKind kind);
// The goal of this kind with a new target, in its place; the list unchanged
// when the goal is off.
QList<AccountMission> retargeted(QList<AccountMission> missions, MissionKind kind, qint64 target);

// The installed apps the picker offers for `query`: names that contain the
// trimmed query, ignoring case and accents, apps already chosen left out,
// the catalogue's order kept, at most six. Nothing for a blank query.
QList<InstalledApp> pickerResults(const QList<InstalledApp>& apps, const QString& query, const QStringList& chosen);
inline constexpr int pickerResultLimit = 6;
// Adds an app's identifier in lower case, once.
QStringList picked(QStringList chosen, const QString& bundleIdentifier);
// Removes every copy of `entry`, the rest in order.
QStringList removed(QStringList chosen, const QString& entry);

} // namespace kestravin::MissionGoals
