#include "MissionTracker.h"

#include "DesktopAccountService.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSettings>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString MissionTracker::appIDsKey = u"kestravin.missionApps"_s;
const QString MissionTracker::timeLogKey = u"kestravin.missionAppTime"_s;

MissionTracker::MissionTracker(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment))
{
    if (!m_env.earn && m_env.account) {
        m_env.earn = [account = m_env.account](
                         const AccountMission& mission, std::function<void(std::optional<AccountFailure>)> done) {
            account->earnFolga(mission, std::move(done));
        };
    }
    if (m_env.settings) {
        m_appIDs = m_env.settings->value(appIDsKey).toStringList();
        const QJsonDocument stored = QJsonDocument::fromJson(m_env.settings->value(timeLogKey).toString().toUtf8());
        if (const auto log = AppTimeLog::fromJson(stored.object())) {
            m_log = *log;
        }
    }
    if (m_env.account) {
        connect(m_env.account, &DesktopAccountService::snapshotChanged, this, [this] {
            publish();
            claim();
        });
    }
    publish();
}

MissionTracker::~MissionTracker() = default;

void MissionTracker::setAppIDs(const QStringList& appIDs)
{
    m_appIDs = appIDs;
    if (m_env.settings) {
        m_env.settings->setValue(appIDsKey, m_appIDs);
    }
    Q_EMIT appIDsChanged();
}

void MissionTracker::start()
{
    if (m_timer || !m_env.scheduler) {
        return;
    }
    m_lastTick = m_env.clock->now();
    m_timer = m_env.scheduler->startTimer(tickInterval, true, [this] { tick(); });
}

void MissionTracker::tick()
{
    const QDateTime now = m_env.clock->now();
    // Only the time since the last tick counts, and never more than one
    // tick's worth: a machine that slept was not in use.
    double seconds = m_lastTick ? m_lastTick->msecsTo(now) / 1000.0 : 0;
    seconds = std::clamp(seconds, 0.0, tickInterval.count() / 1000.0);
    m_lastTick = now;

    const QString today = AppTimeLog::dayKey(now, m_env.timeZone);
    if (m_log.day != today) {
        m_log = AppTimeLog { today, 0 };
        m_claimed.clear();
        saveLog();
    }
    if (seconds > 0 && m_env.probe && !m_appIDs.isEmpty()) {
        const std::optional<QString> front = m_env.probe->frontmostAppID();
        const auto idle = m_env.probe->idleTime();
        const bool present = !idle || *idle < idleAfter;
        if (front && present && m_appIDs.contains(front->toLower())) {
            m_log.seconds += seconds;
            saveLog();
        }
    }
    publish();
    claim();
}

void MissionTracker::publish()
{
    QList<MissionLine> lines;
    if (m_env.account && m_env.account->snapshot()) {
        const DesktopAccountSnapshot& snapshot = *m_env.account->snapshot();
        const QString today = m_env.clock ? AppTimeLog::dayKey(m_env.clock->now(), m_env.timeZone) : m_log.day;
        const qint64 minutes = m_log.day == today ? qint64(std::floor(m_log.seconds / 60)) : 0;
        lines = MissionLine::make(snapshot.missions.value_or(QList<AccountMission> {}), snapshot.folga, minutes);
    }
    if (lines != m_lines) {
        m_lines = lines;
        Q_EMIT linesChanged();
    }
}

void MissionTracker::claim()
{
    if (!m_env.account || !m_env.account->snapshot() || !m_env.clock || !m_env.earn) {
        return;
    }
    const QString today = AppTimeLog::dayKey(m_env.clock->now(), m_env.timeZone);
    for (const MissionLine& line : MissionLine::claimable(m_lines, m_env.account->snapshot()->folga)) {
        const QString key = today + u'|' + line.id();
        if (m_claimed.contains(key)) {
            continue;
        }
        m_claimed.insert(key);
        QPointer<MissionTracker> self(this);
        m_env.earn(AccountMission { line.id(), line.target }, [self, key](std::optional<AccountFailure> failure) {
            // A failed claim is tried again on a later tick.
            if (self && failure) {
                self->m_claimed.remove(key);
            }
        });
    }
}

void MissionTracker::saveLog()
{
    if (m_env.settings) {
        m_env.settings->setValue(
            timeLogKey, QString::fromUtf8(QJsonDocument(m_log.toJson()).toJson(QJsonDocument::Compact)));
    }
}

} // namespace kestravin
