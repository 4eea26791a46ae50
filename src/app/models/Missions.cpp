#include "app/models/Missions.h"

#include "app/models/AccountJson.h"

using namespace Qt::StringLiterals;

namespace kestravin {

QString rawValue(MissionKind kind)
{
    switch (kind) {
    case MissionKind::focus:
        return u"focus"_s;
    case MissionKind::steps:
        return u"steps"_s;
    case MissionKind::workout:
        return u"workout"_s;
    case MissionKind::mindful:
        return u"mindful"_s;
    case MissionKind::app:
        return u"app"_s;
    }
    return {};
}

std::optional<MissionKind> missionKindFromRaw(const QString& raw)
{
    for (MissionKind kind : allMissionKinds) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

bool measuredOnMac(MissionKind kind)
{
    return kind == MissionKind::focus || kind == MissionKind::app;
}

QString title(MissionKind kind, qint64 target)
{
    using namespace MissionText;
    switch (kind) {
    case MissionKind::focus:
        return u"Focar "_s + duration(target) + u" além dos seus horários"_s;
    case MissionKind::steps:
        return u"Caminhar "_s + grouped(target) + u" passos"_s;
    case MissionKind::workout:
        return u"Treinar "_s + duration(target);
    case MissionKind::mindful:
        return u"Meditar "_s + duration(target);
    case MissionKind::app:
        return u"Usar seu app do bem por "_s + duration(target);
    }
    return {};
}

QString MissionText::duration(qint64 minutes)
{
    if (minutes < 60)
        return QString::number(minutes) + u" min"_s;
    const qint64 hours = minutes / 60;
    const qint64 rest = minutes % 60;
    if (rest == 0)
        return QString::number(hours) + u'h';
    return QString::number(hours) + u'h' + u"%1"_s.arg(rest, 2, 10, QLatin1Char('0'));
}

QString MissionText::grouped(qint64 number)
{
    // The magnitude of the smallest integer does not fit a signed integer.
    const quint64 magnitude = number < 0 ? quint64(0) - quint64(number) : quint64(number);
    const QString digits = QString::number(magnitude);
    QString result;
    result.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const qsizetype remaining = digits.size() - i;
        if (i > 0 && remaining % 3 == 0)
            result.append(u'.');
        result.append(digits.at(i));
    }
    return result;
}

QString MissionLine::status() const
{
    if (earned)
        return u"Folga ganha"_s;
    if (!value)
        return u"Medido pelo iPhone"_s;
    if (*value >= target)
        return u"Feito"_s;
    return MissionText::duration(*value) + u" de "_s + MissionText::duration(target);
}

QList<MissionLine> MissionLine::make(
    const QList<AccountMission>& missions, const std::optional<AccountFolga>& folga, qint64 appMinutes)
{
    QList<MissionLine> lines;
    for (const AccountMission& mission : missions) {
        const auto kind = missionKindFromRaw(mission.kind);
        if (!kind)
            continue;
        MissionLine line;
        line.kind = *kind;
        line.target = mission.target;
        if (*kind == MissionKind::focus)
            line.value = folga ? folga->focusMinutes : 0;
        else if (*kind == MissionKind::app)
            line.value = appMinutes;
        line.earned = folga && folga->earnedToday.contains(mission.kind);
        lines.append(line);
    }
    return lines;
}

QList<MissionLine> MissionLine::claimable(const QList<MissionLine>& lines, const std::optional<AccountFolga>& folga)
{
    QList<MissionLine> result;
    if (!folga)
        return result;
    for (const MissionLine& line : lines) {
        if (measuredOnMac(line.kind) && !line.earned && line.value.value_or(0) >= line.target)
            result.append(line);
    }
    return result;
}

QJsonObject AppTimeLog::toJson() const
{
    return { { u"day"_s, day }, { u"seconds"_s, seconds } };
}

std::optional<AppTimeLog> AppTimeLog::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AppTimeLog log;
    if (!ContractJson::requireObject(value, u"AppTimeLog"_s, object, error)
        || !ContractJson::readString(object, u"day"_s, log.day, error)
        || !AccountJson::readNumber(object, u"seconds"_s, log.seconds, error))
        return std::nullopt;
    return log;
}

QString AppTimeLog::dayKey(const QDateTime& instant, const QTimeZone& zone)
{
    const QDate date = instant.toTimeZone(zone).date();
    return u"%1-%2-%3"_s.arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

} // namespace kestravin
