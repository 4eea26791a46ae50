#pragma once

#include "app/models/Missions.h"
#include "app/platform/ActivityProbe.h"
#include "app/services/account/AccountClient.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimeZone>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace kestravin {

class Clock;
class DesktopAccountService;
class Scheduler;
class Timer;

// Measures the time spent with the chosen apps in front while the user is at
// the computer, publishes today's goal lines, and claims the break of each
// goal met today once. Every 10 s it reads the active window and the idle
// time, nothing else.
class MissionTracker : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds tickInterval { 10000 };
    // No input for this long counts as away from the computer.
    static constexpr std::chrono::milliseconds idleAfter { 120000 };
    static const QString appIDsKey;
    static const QString timeLogKey;

    struct Environment {
        DesktopAccountService* account = nullptr;
        ActivityProbe* probe = nullptr;
        Clock* clock = nullptr;
        Scheduler* scheduler = nullptr;
        // Where the chosen apps and today's time are kept.
        QSettings* settings = nullptr;
        QTimeZone timeZone = QTimeZone::systemTimeZone();
        // Claims a goal's break; the account's earnFolga when not set.
        std::function<void(const AccountMission&, std::function<void(std::optional<AccountFailure>)>)> earn;
    };

    // Reads the chosen apps and today's time; starts nothing.
    explicit MissionTracker(Environment environment, QObject* parent = nullptr);
    ~MissionTracker() override;

    static MissionTracker& shared();

    const QList<MissionLine>& lines() const { return m_lines; }
    const QStringList& appIDs() const { return m_appIDs; }
    // Replaces and saves the chosen apps.
    void setAppIDs(const QStringList& appIDs);
    const AppTimeLog& timeLog() const { return m_log; }

    // Starts the 10 s tick; a second call does nothing.
    void start();
    void tick();

Q_SIGNALS:
    void linesChanged();
    void appIDsChanged();

private:
    void publish();
    void claim();
    void saveLog();

    Environment m_env;
    QList<MissionLine> m_lines;
    QStringList m_appIDs;
    AppTimeLog m_log;
    std::optional<QDateTime> m_lastTick;
    std::unique_ptr<Timer> m_timer;
    // "day|kind" of the goals claimed, or being claimed, today.
    QSet<QString> m_claimed;
};

} // namespace kestravin
