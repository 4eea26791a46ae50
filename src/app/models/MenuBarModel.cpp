#include "MenuBarModel.h"

#include "BlockedSiteGroup.h"
#include "FocusCountdown.h"
#include "InternetDateTime.h"

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QDateTime fromUnixMilliseconds(double milliseconds)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(milliseconds), Qt::UTC);
}

} // namespace

const QString MenuBarModel::nothingChosenText = u"Nada escolhido para bloquear ainda."_s;

MenuBarModel::MenuBarModel(Inputs inputs, QDateTime now, QTimeZone timeZone)
    : m_inputs(std::move(inputs)), m_now(std::move(now)), m_timeZone(std::move(timeZone))
{
}

bool MenuBarModel::isActive() const
{
    return m_inputs.isBlocking || (m_inputs.browserSyncEnabled && m_inputs.browserFocusEnabled);
}

std::optional<QDateTime> MenuBarModel::folgaUntil() const
{
    if (isActive() || !m_inputs.hasAccountSnapshot || !m_inputs.folga || !m_inputs.folga->active) {
        return std::nullopt;
    }
    const auto end = InternetDateTime::parse(m_inputs.folga->active->endsAt);
    if (!end || *end <= m_now.addSecs(-folgaGraceSeconds)) {
        return std::nullopt;
    }
    return end;
}

std::optional<QDateTime> MenuBarModel::focusEnd() const
{
    if (m_inputs.sessionEndTime && m_inputs.sessionEndTime->isValid() && *m_inputs.sessionEndTime > m_now) {
        return m_inputs.sessionEndTime;
    }
    if (m_inputs.browserSyncEnabled && m_inputs.browserFocusEnabled && m_inputs.browserFocusEndsAt > 0) {
        const QDateTime end = fromUnixMilliseconds(m_inputs.browserFocusEndsAt);
        if (end > m_now) {
            return end;
        }
    }
    if (m_inputs.hasAccountSnapshot && m_inputs.accountFocusEnabled && m_inputs.accountFocusEndsAt) {
        const QDateTime end = fromUnixMilliseconds(*m_inputs.accountFocusEndsAt);
        if (end > m_now) {
            return end;
        }
    }
    // The end of today's range is taken as it stands, hours switched on or not.
    return m_inputs.configuration.schedule.nextDeactivation(m_now, m_timeZone);
}

bool MenuBarModel::focusResumes(const QDateTime& folgaEnd) const
{
    const QDateTime margin = folgaEnd.addSecs(resumeMarginSeconds);
    const Configuration& configuration = m_inputs.configuration;
    if (configuration.enabled && configuration.schedule.isActiveNow(m_now, m_timeZone)) {
        const auto rangeEnd = configuration.schedule.nextDeactivation(m_now, m_timeZone);
        if (rangeEnd && *rangeEnd > margin) {
            return true;
        }
    }
    return m_inputs.sessionEndTime && m_inputs.sessionEndTime->isValid() && *m_inputs.sessionEndTime > margin;
}

QString MenuBarModel::statusText() const
{
    if (isActive()) {
        return u"Bloqueando agora"_s;
    }
    if (folgaUntil()) {
        return u"Folga em uso"_s;
    }
    if (m_inputs.sessionEndTime && m_inputs.sessionEndTime->isValid()) {
        return u"Iniciando…"_s;
    }
    return u"Livre agora"_s;
}

MenuBarModel::StatusTone MenuBarModel::statusTone() const
{
    if (isActive() || folgaUntil()) {
        return StatusTone::accent;
    }
    if (m_inputs.sessionEndTime && m_inputs.sessionEndTime->isValid()) {
        return StatusTone::starting;
    }
    return m_inputs.helperInstalled ? StatusTone::free : StatusTone::freeWithoutDaemon;
}

QString MenuBarModel::statusSubtext() const
{
    const Schedule& schedule = m_inputs.configuration.schedule;
    if (isActive()) {
        if (!m_inputs.remainingTime.isEmpty()) {
            return m_inputs.remainingTime + u" restantes"_s;
        }
        if (const auto end = schedule.nextDeactivation(m_now, m_timeZone)) {
            return u"Até "_s + timeText(*end, m_timeZone);
        }
        return u"Foco ativo"_s;
    }
    if (m_inputs.sessionEndTime && m_inputs.sessionEndTime->isValid()) {
        return u"Aguardando ativação…"_s;
    }
    if (!m_inputs.configuration.enabled) {
        return u"Sem foco programado"_s;
    }
    if (const auto next = schedule.nextActivation(m_now, m_timeZone)) {
        return u"Próximo foco · "_s + dayTimeText(*next, m_timeZone);
    }
    return u"Sem foco programado"_s;
}

QString MenuBarModel::blockedSummary() const
{
    const qsizetype sites = BlockedSiteGroup::make(m_inputs.configuration.blockedSites).size();
    const qsizetype apps = m_inputs.configuration.blockedApps.size();
    QStringList parts;
    if (sites == 1) {
        parts << u"1 site"_s;
    } else if (sites > 1) {
        parts << QString::number(sites) + u" sites"_s;
    }
    if (apps == 1) {
        parts << u"1 app"_s;
    } else if (apps > 1) {
        parts << QString::number(apps) + u" apps"_s;
    }
    if (parts.isEmpty()) {
        return nothingChosenText;
    }
    QString prefix = u"Ficam para depois: "_s;
    if (isActive()) {
        prefix = u"Bloqueados: "_s;
    } else if (folgaUntil()) {
        prefix = u"Livres na folga: "_s;
    }
    return prefix + parts.join(u" e "_s);
}

MenuBarModel::MainLine MenuBarModel::mainLine() const
{
    if (isActive() && focusEnd()) {
        return MainLine::focusCountdown;
    }
    if (folgaUntil()) {
        return MainLine::folgaCountdown;
    }
    return MainLine::subtext;
}

QString MenuBarModel::focusCountdownText(const QDateTime& end, const QDateTime& at)
{
    return FocusCountdown::label(at.secsTo(end)) + u" restantes"_s;
}

QString MenuBarModel::focusCountdownDetail(const QDateTime& end) const
{
    return u"Foco até "_s + timeText(end, m_timeZone);
}

QString MenuBarModel::folgaCountdownText(const QDateTime& end, const QDateTime& at)
{
    if (end > at) {
        return FocusCountdown::label(at.secsTo(end)) + u" de folga"_s;
    }
    return u"Folga terminando…"_s;
}

QString MenuBarModel::folgaCountdownDetail(const QDateTime& end) const
{
    return (focusResumes(end) ? u"O foco volta às "_s : u"Folga até "_s) + timeText(end, m_timeZone);
}

QString MenuBarModel::timeText(const QDateTime& instant, const QTimeZone& timeZone)
{
    return QLocale::system().toString(instant.toTimeZone(timeZone), u"HH:mm"_s);
}

QString MenuBarModel::dayTimeText(const QDateTime& instant, const QTimeZone& timeZone)
{
    static const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
    return portuguese.toString(instant.toTimeZone(timeZone), u"ddd · HH:mm"_s);
}

} // namespace kestravin
