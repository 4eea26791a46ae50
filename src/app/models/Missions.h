#pragma once

#include "app/models/AccountFolga.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <array>
#include <optional>

namespace kestravin {

// The kinds of daily mission, in the order of `allMissionKinds`.
enum class MissionKind { focus, steps, workout, mindful, app };

inline constexpr std::array<MissionKind, 5> allMissionKinds {
    MissionKind::focus,
    MissionKind::steps,
    MissionKind::workout,
    MissionKind::mindful,
    MissionKind::app,
};

QString rawValue(MissionKind kind);
// No kind for an unknown raw value.
std::optional<MissionKind> missionKindFromRaw(const QString& raw);
// Whether this computer measures the kind itself (focus time, app time).
bool measuredOnMac(MissionKind kind);
QString title(MissionKind kind, qint64 target);

// The number texts of the mission lines.
namespace MissionText {
// "45 min", "2h", "1h05".
QString duration(qint64 minutes);
// "8.000": digits of the magnitude grouped by three with points.
QString grouped(qint64 number);
} // namespace MissionText

// One row of the mission list.
struct MissionLine {
    MissionKind kind = MissionKind::focus;
    qint64 target = 0;
    // Progress in the target's unit; absent when it is measured elsewhere.
    std::optional<qint64> value;
    bool earned = false;

    bool operator==(const MissionLine&) const = default;

    QString id() const { return rawValue(kind); }
    QString status() const;

    static QList<MissionLine> make(
        const QList<AccountMission>& missions, const std::optional<AccountFolga>& folga, qint64 appMinutes);
    // The lines whose reward may be claimed now.
    static QList<MissionLine> claimable(const QList<MissionLine>& lines, const std::optional<AccountFolga>& folga);
};

// Time spent in the chosen apps on one day, kept by the mission tracker.
struct AppTimeLog {
    QString day;
    double seconds = 0;

    bool operator==(const AppTimeLog&) const = default;

    QJsonObject toJson() const;
    static std::optional<AppTimeLog> fromJson(const QJsonValue& value, QString* error = nullptr);

    // "2026-03-07": the day of `instant` in `zone`.
    static QString dayKey(const QDateTime& instant, const QTimeZone& zone);
};

} // namespace kestravin
