#include "FolgaStatement.h"

#include "MissionGoals.h"
#include "Missions.h"

using namespace Qt::StringLiterals;

namespace kestravin::FolgaStatement {

namespace {

QString when(double unixMs, const QDateTime& now, const QTimeZone& zone)
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(unixMs), Qt::UTC).toTimeZone(zone);
    const QDate today = now.toTimeZone(zone).date();
    const QString time = at.time().toString(u"HH:mm"_s);
    if (at.date() == today) {
        return u"hoje às "_s + time;
    }
    if (at.date() == today.addDays(-1)) {
        return u"ontem às "_s + time;
    }
    if (at.date() == today.addDays(1)) {
        return u"amanhã às "_s + time;
    }
    return at.date().toString(u"dd/MM"_s) + u" às "_s + time;
}

} // namespace

QString badge(const FolgaEntry& entry)
{
    if (entry.status == u"available"_s) {
        return u"Disponível"_s;
    }
    if (entry.status == u"active"_s) {
        return u"Em uso"_s;
    }
    if (entry.status == u"used"_s) {
        return u"Usada"_s;
    }
    if (entry.status == u"expired"_s) {
        return u"Venceu"_s;
    }
    return u"Folga"_s;
}

bool highlighted(const FolgaEntry& entry)
{
    return entry.status == u"available"_s || entry.status == u"active"_s;
}

QString detail(const FolgaEntry& entry, const QDateTime& now, const QTimeZone& zone)
{
    const QString earned = u"Ganha "_s + when(entry.earnedAt, now, zone);
    if (entry.status == u"active"_s && entry.endsAt) {
        return u"Em uso até "_s + when(*entry.endsAt, now, zone) + u'.';
    }
    if (entry.status == u"used"_s) {
        return earned + u" · usada "_s + when(entry.usedAt.value_or(entry.earnedAt), now, zone) + u'.';
    }
    if (entry.status == u"expired"_s) {
        return earned + u" · venceu "_s + when(entry.expiresAt, now, zone) + u'.';
    }
    return earned + u" · vale até "_s + when(entry.expiresAt, now, zone) + u'.';
}

QString title(const QString& mission)
{
    switch (missionKindFromRaw(mission).value_or(MissionKind(-1))) {
    case MissionKind::focus:
        return u"Foco"_s;
    case MissionKind::steps:
        return u"Passos"_s;
    case MissionKind::workout:
        return u"Treino"_s;
    case MissionKind::mindful:
        return u"Meditação"_s;
    case MissionKind::app:
        return u"App do bem"_s;
    }
    return u"Meta"_s;
}

QString symbol(const QString& mission)
{
    const std::optional<MissionKind> kind = missionKindFromRaw(mission);
    return kind ? MissionGoals::symbol(*kind) : u"sparkles"_s;
}

QString loadKey(const std::optional<DesktopAccountSnapshot>& snapshot, int reload)
{
    if (!snapshot) {
        return u"none"_s;
    }
    const std::optional<AccountFolga>& folga = snapshot->folga;
    QString ends;
    QString earned;
    if (folga) {
        ends = folga->active ? folga->active->endsAt : QString();
        earned = folga->earnedToday.join(u',');
    }
    return QStringList { snapshot->user.id, QString::number(folga ? folga->available : 0), ends, earned,
        QString::number(reload) }
        .join(u'|');
}

QString headline(const std::optional<DesktopAccountSnapshot>& snapshot)
{
    const qint64 count = snapshot && snapshot->folga ? snapshot->folga->available : 0;
    if (count == 1) {
        return u"1 folga disponível"_s;
    }
    return QString::number(count) + u" folgas disponíveis"_s;
}

QString explanation(const std::optional<DesktopAccountSnapshot>& snapshot)
{
    const qint64 minutes = snapshot && snapshot->folga ? snapshot->folga->minutes : 15;
    return u"Cada meta cumprida no dia vale "_s + QString::number(minutes)
        + u" min livres durante o foco. As folgas valem até domingo."_s;
}

QString failure(bool hasRows)
{
    return hasRows ? u"Não foi possível atualizar o extrato agora."_s : u"Não foi possível carregar o extrato agora."_s;
}

} // namespace kestravin::FolgaStatement
