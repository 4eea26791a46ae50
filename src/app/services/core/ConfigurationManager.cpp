#include "app/services/core/ConfigurationManager.h"

#include "app/models/AppBlockPolicy.h"
#include "app/models/SiteCatalog.h"
#include "app/platform/Diagnostics.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ScheduleManager.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString ConfigurationManager::lockedNoticeText
    = u"Durante o foco, dá para acrescentar, não tirar. Mude depois que ele terminar."_s;

ConfigurationManager::ConfigurationManager(QString dataFolder, BlockingService& blocking,
    DesktopAccountService& account, Clock& clock, Scheduler& scheduler, QTimeZone timeZone, QObject* parent)
    : QObject(parent),
      m_blocking(blocking),
      m_account(account),
      m_clock(clock),
      m_scheduler(scheduler),
      m_timeZone(std::move(timeZone)),
      m_dataFolder(std::move(dataFolder))
{
    load();
}

ConfigurationManager& ConfigurationManager::shared()
{
    static auto* manager = new ConfigurationManager(defaultDataFolder(), BlockingService::shared(),
        DesktopAccountService::shared(), Clock::system(), Scheduler::system());
    return *manager;
}

QString ConfigurationManager::defaultDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Kestravin"_s;
}

void ConfigurationManager::load()
{
    QDir().mkpath(m_dataFolder);
    m_configPath = m_dataFolder + u"/config.json"_s;
    m_configuration = Configuration::defaultConfig();

    QFile file(m_configPath);
    if (!file.exists()) {
        m_isFreshInstall = true;
        saveConfiguration();
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        // Unreadable is not empty: the user's file stays as it is, and
        // nothing is saved over it while the application runs.
        m_loadError = u"Failed to read configuration: "_s + file.errorString();
        printDiagnostic(m_loadError);
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_loadError = u"Failed to read configuration: "_s + file.errorString();
        printDiagnostic(m_loadError);
        return;
    }
    file.close();
    QString error;
    if (auto decoded = Configuration::fromJsonBytes(bytes, &error)) {
        m_configuration = *decoded;
        return;
    }
    // A file that does not decode is kept aside for the user before the
    // defaults take its place.
    const QString aside = m_configPath + u".corrupt-"_s + m_clock.now().toUTC().toString(u"yyyyMMdd'T'HHmmss'Z'"_s);
    printDiagnostic(u"Configuration could not be decoded ("_s + error + u"), moved to: "_s + aside);
    if (!QFile::rename(m_configPath, aside)) {
        m_loadError = u"Failed to move the undecodable configuration aside"_s;
        printDiagnostic(m_loadError);
        return;
    }
    saveConfiguration();
}

void ConfigurationManager::setConfiguration(const Configuration& configuration)
{
    m_configuration = configuration;
    Q_EMIT configurationChanged();
}

void ConfigurationManager::saveConfiguration()
{
    if (!m_loadError.isEmpty()) {
        printDiagnostic(u"Failed to save configuration: the file could not be read at start and is left as it is"_s);
        return;
    }
    const QByteArray bytes = m_configuration.toJsonBytes(QJsonDocument::Indented);
    if (bytes.isEmpty()) {
        printDiagnostic(u"Failed to encode configuration"_s);
        return;
    }
    QSaveFile file(m_configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        printDiagnostic(u"Failed to save configuration: "_s + file.errorString());
        return;
    }
    printDiagnostic(u"Configuration saved to: "_s + m_configPath);
}

void ConfigurationManager::refreshBlockingIfActive()
{
    if (m_blocking.isBlocking()) {
        m_blocking.activateBlocking(m_configuration.blockedSites);
    }
}

void ConfigurationManager::refreshBlockingSoon()
{
    m_refreshWork = m_scheduler.startTimer(refreshDelay, false, [this] { refreshBlockingIfActive(); });
}

bool ConfigurationManager::removalsLocked() const
{
    const QDateTime now = m_clock.now();
    if (m_scheduleManager) {
        const QDateTime sessionEnd = m_scheduleManager->sessionEndTime();
        if (sessionEnd.isValid() && sessionEnd > now) {
            return true;
        }
    }
    if (m_configuration.enabled && m_configuration.schedule.isActiveNow(now, m_timeZone)) {
        return true;
    }
    if (DesktopAccountService::focusRuns(m_account.snapshot(), double(now.toMSecsSinceEpoch()))) {
        return true;
    }
    return m_blocking.isBlocking();
}

void ConfigurationManager::setLockNotice(const QString& notice)
{
    if (m_lockNotice != notice || m_lockNotice.isNull() != notice.isNull()) {
        m_lockNotice = notice;
        Q_EMIT lockNoticeChanged();
    }
}

void ConfigurationManager::noteLocked()
{
    setLockNotice(lockedNoticeText);
    const int generation = ++m_noticeGeneration;
    m_scheduler.runLater(noticeDuration, this, [this, generation] {
        if (m_noticeGeneration == generation) {
            setLockNotice(QString());
        }
    });
}

void ConfigurationManager::removeSites(const QStringList& domains)
{
    const QStringList& stored = m_configuration.blockedSites;
    const bool touchesStored
        = std::any_of(stored.cbegin(), stored.cend(), [&](const QString& site) { return domains.contains(site); });
    if (touchesStored && removalsLocked()) {
        noteLocked();
        return;
    }
    Configuration changed = m_configuration;
    changed.blockedSites.removeIf([&](const QString& site) { return domains.contains(site); });
    setConfiguration(changed);
    saveConfiguration();
    refreshBlockingSoon();
}

void ConfigurationManager::addSites(const QStringList& domains)
{
    QStringList collected;
    for (const QString& domain : domains) {
        if (!m_configuration.blockedSites.contains(domain)) {
            collected << domain;
        }
    }
    if (collected.isEmpty()) {
        return;
    }
    Configuration changed = m_configuration;
    changed.blockedSites += collected;
    setConfiguration(changed);
    saveConfiguration();
    refreshBlockingSoon();
}

void ConfigurationManager::setBlocked(const SiteCatalogEntry& entry, bool blocked)
{
    if (!blocked && removalsLocked()) {
        noteLocked();
        return;
    }
    Configuration changed = m_configuration;
    changed.blockedSites = SiteCatalog::setting(entry, blocked, changed.blockedSites);
    setConfiguration(changed);
    saveConfiguration();
    refreshBlockingSoon();
}

void ConfigurationManager::setBlocked(const BlockedApp& app, bool blocked)
{
    if (!blocked && removalsLocked()) {
        noteLocked();
        return;
    }
    Configuration changed = m_configuration;
    changed.blockedApps = AppBlockPolicy::setting(app, blocked, changed.blockedApps);
    setConfiguration(changed);
    saveConfiguration();
}

void ConfigurationManager::resetSitesToDefaults()
{
    const QStringList& defaults = Configuration::defaultConfig().blockedSites;
    const QStringList& stored = m_configuration.blockedSites;
    const bool dropsSome
        = std::any_of(stored.cbegin(), stored.cend(), [&](const QString& site) { return !defaults.contains(site); });
    if (dropsSome && removalsLocked()) {
        noteLocked();
        return;
    }
    Configuration changed = m_configuration;
    changed.blockedSites = defaults;
    setConfiguration(changed);
    saveConfiguration();
    refreshBlockingSoon();
}

void ConfigurationManager::setWeek(const WeekSchedule::Week& week)
{
    Configuration changed = m_configuration;
    changed.schedule = WeekSchedule::schedule(week);
    setConfiguration(changed);
    saveConfiguration();
}

} // namespace kestravin
