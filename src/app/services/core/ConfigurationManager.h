#pragma once

#include "app/models/Configuration.h"
#include "app/models/SiteCatalogEntry.h"
#include "app/models/WeekSchedule.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"

#include <QObject>
#include <QTimeZone>

#include <memory>

namespace kestravin {

class BlockingService;
class DesktopAccountService;
class ScheduleManager;

// Owns the user's Configuration while the application runs: loads
// config.json at start, publishes it, saves it atomically (pretty, sorted
// keys), re-applies an active block after the site list changed, and keeps
// the rule that during a focus sites and apps may be added but not removed.
class ConfigurationManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString lockNotice READ lockNotice NOTIFY lockNoticeChanged)
    Q_PROPERTY(QString loadError READ loadError NOTIFY loadErrorChanged)
public:
    static const QString lockedNoticeText;
    static constexpr std::chrono::milliseconds refreshDelay { 600 };
    static constexpr std::chrono::milliseconds noticeDuration { 4000 };

    ConfigurationManager(QString dataFolder, BlockingService& blocking, DesktopAccountService& account, Clock& clock,
        Scheduler& scheduler, QTimeZone timeZone = QTimeZone::systemTimeZone(), QObject* parent = nullptr);

    static ConfigurationManager& shared();
    static QString defaultDataFolder();

    // The removal lock also asks the schedule manager whether a manual
    // session runs; the two are created together.
    void setScheduleManager(ScheduleManager* scheduleManager) { m_scheduleManager = scheduleManager; }

    const Configuration& configuration() const { return m_configuration; }
    // Publishes the new value; the caller saves it.
    void setConfiguration(const Configuration& configuration);
    bool isFreshInstall() const { return m_isFreshInstall; }
    // The start-up clears it once it has seeded a fresh install, so that the
    // seeding runs at most once per process.
    void setFreshInstall(bool fresh) { m_isFreshInstall = fresh; }
    QString configPath() const { return m_configPath; }
    // Why config.json could not be read at start; empty when it could. While
    // set, the file is never overwritten.
    QString loadError() const { return m_loadError; }

    void saveConfiguration();
    void refreshBlockingIfActive();
    void refreshBlockingSoon();
    bool removalsLocked() const;
    void noteLocked();
    QString lockNotice() const { return m_lockNotice; }

    void removeSites(const QStringList& domains);
    void addSites(const QStringList& domains);
    void setBlocked(const SiteCatalogEntry& entry, bool blocked);
    void setBlocked(const BlockedApp& app, bool blocked);
    void resetSitesToDefaults();
    void setWeek(const WeekSchedule::Week& week);

Q_SIGNALS:
    void configurationChanged();
    void lockNoticeChanged();
    void loadErrorChanged();

private:
    void load();
    void setLockNotice(const QString& notice);

    BlockingService& m_blocking;
    DesktopAccountService& m_account;
    ScheduleManager* m_scheduleManager = nullptr;
    Clock& m_clock;
    Scheduler& m_scheduler;
    QTimeZone m_timeZone;

    Configuration m_configuration;
    bool m_isFreshInstall = false;
    QString m_dataFolder;
    QString m_configPath;
    QString m_loadError;
    std::unique_ptr<Timer> m_refreshWork;
    QString m_lockNotice;
    int m_noticeGeneration = 0;
};

} // namespace kestravin
