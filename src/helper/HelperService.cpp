#include "HelperService.h"

#include "AtomicFile.h"
#include "contract/HostName.h"
#include "contract/HostsSection.h"
#include "contract/LocalTime.h"
#include "contract/WeeklyHours.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

using Locker = QMutexLocker<QRecursiveMutex>;

Instant systemNow()
{
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return Instant::fromUnixSeconds(static_cast<double>(micros) / 1e6);
}

void printLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QString boolText(bool value)
{
    return value ? u"true"_s : u"false"_s;
}

QSet<QString> toSet(const QStringList& list)
{
    return QSet<QString>(list.cbegin(), list.cend());
}

// Each host once, in the order of its first mention.
QStringList withoutRepeats(const QStringList& list)
{
    QStringList out;
    out.reserve(list.size());
    QSet<QString> seen;
    seen.reserve(list.size());
    for (const QString& host : list) {
        if (!seen.contains(host)) {
            seen.insert(host);
            out.append(host);
        }
    }
    return out.size() == list.size() ? list : out;
}

// `first` followed by the hosts of `second` it lacks. `second` holds each
// host once (a manual block's list is made so when it is taken), so with
// nothing in `first` it is the answer as it stands: the full check of a
// manual focus then builds no set of its hosts.
QStringList unite(const QStringList& first, const QStringList& second)
{
    if (first.isEmpty())
        return second;
    QStringList out = first;
    QSet<QString> seen = toSet(first);
    for (const QString& host : second) {
        if (!seen.contains(host)) {
            seen.insert(host);
            out.append(host);
        }
    }
    return out;
}

} // namespace

HelperService::HelperService(Options options)
    : m_hostsPath(std::move(options.hostsPath)),
      m_store(std::move(options.configPath)),
      m_currentDate(std::move(options.currentDate)),
      m_dnsFlush(std::move(options.dnsFlush)),
      m_log(std::move(options.log)),
      m_ticker(std::move(options.ticker)),
      m_timeZone(options.timeZone.value_or(QTimeZone())),
      m_followSystemZone(!options.timeZone),
      m_exitProcess(std::move(options.exitProcess))
{
    if (!m_currentDate)
        m_currentDate = systemNow;
    if (!m_log)
        m_log = printLine;
    if (!m_ticker)
        m_ticker = std::make_unique<QTimerTicker>();
    if (!m_exitProcess)
        m_exitProcess = [](int code) { QCoreApplication::exit(code); };
    if (m_followSystemZone)
        m_timeZone = currentSystemZone();
    if (!m_timeZone.isValid())
        m_timeZone = QTimeZone::utc();
    // A daemon killed while writing leaves its temporary copy behind; nothing
    // else removes them, so each start does, before its first write.
    const int leftovers = AtomicFile::removeLeftovers(m_hostsPath) + AtomicFile::removeLeftovers(m_store.path());
    if (leftovers > 0)
        log(u"Removed %1 leftover temporary files"_s.arg(leftovers));
    loadConfiguration();
    if (options.monitor)
        startScheduleMonitoring();
}

HelperService::HelperService() : HelperService(Options())
{
}

HelperService::~HelperService()
{
    m_ticker->stop();
}

QStringList HelperService::blockLoopbackAddresses()
{
    return HostsSection::loopbackAddresses();
}

void HelperService::log(const QString& line) const
{
    m_log(u"HelperService: "_s + line);
}

// ---- Hosts-file section --------------------------------------------------------

const QByteArray* HelperService::readHosts(QString* error) const
{
    // One buffer, reused: a large hosts file is then read without fresh memory
    // on every check.
    if (!AtomicFile::read(m_hostsPath, m_readBuffer, error))
        return nullptr;
    return &m_readBuffer;
}

std::optional<FileStamp> HelperService::hostsStamp() const
{
    return FileStamp::of(m_hostsPath);
}

QTimeZone HelperService::currentSystemZone()
{
    QByteArray variable = qgetenv("TZ");
    if (variable.startsWith(':'))
        variable.remove(0, 1);
    // Without TZ the C library reads /etc/localtime, which a change of zone
    // points elsewhere.
    if (variable.isEmpty())
        variable = "/etc/localtime";
    if (variable.startsWith('/')) {
        // A path, as the C library allows: its zone is the database entry the
        // links end at, so a changed link gives the new zone.
        const QString canonical = QFileInfo(QFile::decodeName(variable)).canonicalFilePath();
        const QString marker = u"/zoneinfo/"_s;
        const qsizetype at = canonical.lastIndexOf(marker);
        if (at >= 0) {
            const QTimeZone zone(canonical.sliced(at + marker.size()).toUtf8());
            if (zone.isValid())
                return zone;
        }
    }
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone.isValid() ? zone : QTimeZone::utc();
}

bool HelperService::writeHosts(const QByteArray& text, QString* error)
{
    // A new hosts file must stay readable by everyone, or name lookups break.
    return AtomicFile::write(m_hostsPath, text, 0644, error);
}

QStringList HelperService::checkedHosts(const QStringList& sites) const
{
    if (std::all_of(sites.cbegin(), sites.cend(), [](const QString& site) { return isSafeHostName(site); }))
        return sites;
    QStringList valid;
    valid.reserve(sites.size());
    for (const QString& site : sites) {
        if (isSafeHostName(site))
            valid.append(site);
    }
    if (valid.size() != sites.size())
        log(u"Ignored %1 invalid host names"_s.arg(sites.size() - valid.size()));
    return valid;
}

QByteArray HelperService::makeBlockEntries(const QStringList& sites) const
{
    return HostsSection::makeBlockEntries(sites, blockLoopbackAddresses());
}

void HelperService::performActivateBlocking(const QStringList& requested)
{
    writeSection(checkedHosts(requested));
}

bool HelperService::writeSection(const QStringList& sites)
{
    if (sites.isEmpty()) {
        log(u"No sites to block"_s);
        return false;
    }
    QString error;
    const QByteArray* text = readHosts(&error);
    if (!text) {
        log(u"Failed to activate blocking: "_s + error);
        return false;
    }
    m_writeBuffer.resize(0);
    m_writeBuffer.reserve(text->size() + sites.size() * 2 * 32 + 128);
    HostsSection::appendWithoutSections(m_writeBuffer, *text, blockLoopbackAddresses());
    HostsSection::appendSection(m_writeBuffer, sites, blockLoopbackAddresses());
    if (!writeHosts(m_writeBuffer, &error)) {
        log(u"Failed to activate blocking: "_s + error);
        return false;
    }
    flushDNSCache();
    log(u"Blocking activated for %1 sites"_s.arg(sites.size()));
    return true;
}

void HelperService::performDeactivateBlocking()
{
    QString error;
    const QByteArray* text = readHosts(&error);
    if (!text) {
        log(u"Failed to deactivate blocking: "_s + error);
        return;
    }
    m_writeBuffer.resize(0);
    HostsSection::appendWithoutSections(m_writeBuffer, *text, blockLoopbackAddresses());
    if (!writeHosts(m_writeBuffer, &error)) {
        log(u"Failed to deactivate blocking: "_s + error);
        return;
    }
    flushDNSCache();
    log(u"Blocking deactivated"_s);
}

QStringList HelperService::getBlockedSitesFromHosts() const
{
    const QByteArray* text = readHosts();
    if (!text)
        return {};
    return HostsSection::blockedSites(*text, blockLoopbackAddresses());
}

std::optional<QString> HelperService::blockedSite(QByteArrayView line) const
{
    return HostsSection::blockedSite(line, blockLoopbackAddresses());
}

bool HelperService::isSectionPresent() const
{
    const QByteArray* text = readHosts();
    return text && HostsSection::containsStartMarker(*text);
}

void HelperService::flushDNSCache()
{
    if (m_dnsFlush) {
        m_dnsFlush();
        return;
    }
    // Each cache only when it is installed, and never waiting long: the flush
    // runs under the state lock, and a hung command must not freeze the daemon.
    const QStringList searchPath { u"/usr/bin"_s, u"/usr/sbin"_s, u"/bin"_s, u"/sbin"_s };
    const QList<QStringList> commands { { u"resolvectl"_s, u"flush-caches"_s },
        { u"nscd"_s, u"--invalidate=hosts"_s } };
    for (const QStringList& command : commands) {
        QString program = QStandardPaths::findExecutable(command.first());
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(command.first(), searchPath);
        if (program.isEmpty())
            continue;
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, command.mid(1));
        if (!process.waitForStarted(2000))
            continue;
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(1000);
        }
    }
}

// ---- Configuration store --------------------------------------------------------

void HelperService::loadConfiguration()
{
    const std::optional<HelperConfigStore::Contents> contents = m_store.read();
    if (!contents) {
        log(u"No config found or failed to decode"_s);
        return;
    }
    std::optional<HelperScheduleConfig> config = contents->config;
    if (config) {
        config->blockedSites = checkedHosts(config->blockedSites);
        m_currentConfig = config;
        log(u"Loaded config with %1 sites"_s.arg(config->blockedSites.size()));
    } else {
        log(u"No config found or failed to decode"_s);
    }

    if (contents->manualBlock) {
        const QStringList list = withoutRepeats(checkedHosts(contents->manualBlock->sites));
        if (!list.isEmpty()) {
            m_manualBlock = ManualBlock { list, contents->manualBlock->endsAt };
            m_store.setManualOnly(!config);
            log(u"Loaded manual block with %1 sites"_s.arg(list.size()));
        }
    }
}

bool HelperService::writeConfigurationFile(
    const std::optional<HelperScheduleConfig>& config, bool createFolder, QString* error)
{
    if (m_uninstalled) {
        *error = u"the daemon is being uninstalled"_s;
        return false;
    }
    return m_store.write(config, m_manualBlock, createFolder, error);
}

bool HelperService::saveConfiguration()
{
    if (m_uninstalled)
        return false;
    if (!m_currentConfig && !m_manualBlock) {
        // A file that only carried a finished manual block must not bring it back.
        if (m_store.manualOnly())
            m_store.remove();
        return true;
    }
    QString error;
    if (!writeConfigurationFile(m_currentConfig, true, &error)) {
        log(u"Failed to save config: "_s + error);
        return false;
    }
    log(u"Config saved"_s);
    return true;
}

std::optional<HelperScheduleConfig> HelperService::decodeExpected(const QByteArray& data) const
{
    std::optional<HelperScheduleConfig> expected = HelperScheduleConfig::fromJsonBytes(data);
    if (expected)
        expected->blockedSites = checkedHosts(expected->blockedSites);
    return expected;
}

// ---- Schedule ----------------------------------------------------------------------

void HelperService::startScheduleMonitoring()
{
    if (QThread::currentThread() == thread())
        setupTimer();
    else
        QMetaObject::invokeMethod(this, &HelperService::setupTimer, Qt::QueuedConnection);
}

void HelperService::setupTimer()
{
    m_ticker->stop();
    m_ticker->start(pollInterval, [this] { pollSchedule(); });
    checkSchedule();
    log(u"Schedule timer started"_s);
}

void HelperService::pollSchedule()
{
    Locker locker(&m_stateLock);
    const Instant current = now();
    bool due = false;
    if (m_currentConfig) {
        const HelperScheduleConfig& config = *m_currentConfig;
        due = config.temporaryAccess || (config.siteAccess && !config.siteAccess->isEmpty())
            || (config.browserControl && config.browserControl->enabled);
    }
    due = due || current >= m_nextScheduleCheck || m_nextScheduleCheck > current.addSeconds(fullCheckInterval);
    // A manual focus is looked at every second, so that its end and any edit
    // of the hosts file are answered at once; but with neither, the file is
    // as the last check left it and rebuilding the host set would be waste.
    if (!due && m_manualBlock)
        due = m_manualBlock->endsAt <= current || !m_enforcedStamp || hostsStamp() != m_enforcedStamp;
    if (due)
        checkSchedule();
}

std::optional<QStringList> HelperService::wantedSites(
    const HelperScheduleConfig* config, Instant current, bool hadTimedAccess) const
{
    std::optional<QStringList> wanted;
    if (config) {
        const bool scheduled = config->enabled && isWithinSchedule(*config);
        std::optional<bool> block;
        if (config->browserControl)
            block = config->browserControl->shouldBlock(scheduled, current);
        else if (config->enabled)
            block = scheduled;
        if (block) {
            wanted = QStringList();
            if (*block) {
                const QStringList sites = config->temporaryAccess
                    ? config->temporaryAccess->blockedSites(config->blockedSites, current)
                    : config->blockedSites;
                wanted = config->withoutSiteAccess(sites, current);
            }
        } else if (hadTimedAccess && isSectionPresent()) {
            // Automatic hours are off and a timed access just ended: give back
            // the hosts it opened in the manual focus's section. Never create one.
            wanted = config->blockedSites;
        }
    }
    if (m_manualBlock && m_manualBlock->endsAt > current) {
        QStringList manual = m_manualBlock->sites;
        if (config && config->temporaryAccess)
            manual = config->temporaryAccess->blockedSites(manual, current);
        if (config)
            manual = config->withoutSiteAccess(manual, current);
        wanted = withManualSites(wanted.value_or(QStringList()), manual);
    }
    return wanted;
}

QStringList HelperService::withManualSites(const QStringList& scheduled, const QStringList& manual) const
{
    if (scheduled.isEmpty())
        return manual;
    if (!m_lastUnion || m_lastUnion->first != scheduled || m_lastUnion->second != manual)
        m_lastUnion = Union { scheduled, manual, unite(scheduled, manual) };
    return m_lastUnion->result;
}

bool HelperService::sectionHolds(const QStringList& sites, bool exactly) const
{
    const QByteArray* text = readHosts();
    if (!text)
        return false;
    // The section is normally exactly as this daemon wrote it.
    if (HostsSection::sectionMatches(*text, sites, blockLoopbackAddresses()))
        return true;
    const QSet<QByteArrayView> present = HostsSection::blockedHostSet(*text, blockLoopbackAddresses());
    const HostsSection::HostBytes wanted(sites);
    if (!std::all_of(wanted.views.cbegin(), wanted.views.cend(),
            [&present](QByteArrayView host) { return present.contains(host); }))
        return false;
    if (!exactly)
        return true;
    // Every present host is wanted too: compare the sizes of the two sets.
    const QSet<QByteArrayView> wantedSet(wanted.views.cbegin(), wanted.views.cend());
    return wantedSet.size() == present.size();
}

bool HelperService::enforce(const QStringList& sites)
{
    if (sites.isEmpty()) {
        if (!isSectionPresent())
            return true;
        performDeactivateBlocking();
        return !isSectionPresent();
    }
    if (sectionHolds(sites, true))
        return true;
    return writeSection(checkedHosts(sites));
}

void HelperService::checkSchedule()
{
    Locker locker(&m_stateLock);
    if (m_uninstalled)
        return;
    m_nextScheduleCheck = now().addSeconds(fullCheckInterval);
    m_enforcedStamp.reset();
    if (m_followSystemZone)
        m_timeZone = currentSystemZone();
    const Instant current = now();

    bool manualEnded = false;
    if (m_manualBlock && m_manualBlock->endsAt <= current) {
        m_manualBlock.reset();
        manualEnded = true;
        log(u"Manual block ended"_s);
        saveConfiguration();
    }

    std::optional<HelperScheduleConfig> config = m_currentConfig;
    bool hadTimedAccess = false;
    if (config) {
        hadTimedAccess = config->temporaryAccess.has_value();
        if (config->temporaryAccess
            && (config->temporaryAccess->issuedAt > current || config->temporaryAccess->expiresAt <= current
                || !scheduledEnd(*config, current))) {
            config->temporaryAccess.reset();
            m_currentConfig = config;
            saveConfiguration();
        }
        if (config->siteAccess && !config->siteAccess->isEmpty()) {
            const std::optional<Instant> end = scheduledEnd(*config, current);
            QList<SiteAccessGrant> kept;
            if (end && end == config->siteAccessFocusEnd) {
                for (const SiteAccessGrant& grant : *config->siteAccess) {
                    if (grant.expiresAt > current)
                        kept.append(grant);
                }
            }
            if (kept != *config->siteAccess) {
                config->siteAccess = kept;
                m_currentConfig = config;
                saveConfiguration();
            }
        }
    }

    std::optional<QStringList> wanted = wantedSites(config ? &*config : nullptr, current, hadTimedAccess);
    // The section that a finished manual block held goes, unless something
    // else claims it.
    if (!wanted && manualEnded)
        wanted = QStringList();
    if (!wanted || enforce(*wanted))
        m_enforcedStamp = hostsStamp();
}

std::optional<HelperTimeRange> HelperService::activeRange(
    const HelperScheduleConfig& config, const LocalTime::WallClock& wall)
{
    return WeeklyHours::activeRange(wall, [&config](int weekday) -> const HelperDaySchedule* {
        const auto day = config.daySchedules.constFind(dayKeyFromWeekday(weekday));
        return day == config.daySchedules.cend() ? nullptr : &*day;
    });
}

bool HelperService::isWithinSchedule(const HelperScheduleConfig& config) const
{
    return activeRange(config, LocalTime::wallClock(now(), m_timeZone)).has_value();
}

std::optional<Instant> HelperService::scheduledEnd(const HelperScheduleConfig& config, Instant current) const
{
    if (const std::optional<BrowserHelperControl>& control = config.browserControl; control && control->enabled
        && control->isValid(current) && !(control->pausedUntil && *control->pausedUntil > current)
        && control->manualEndsAt && *control->manualEndsAt > current)
        return control->manualEndsAt;
    if (!config.enabled || config.daySchedules.isEmpty())
        return std::nullopt;
    const LocalTime::WallClock wall = LocalTime::wallClock(current, m_timeZone);
    const std::optional<HelperTimeRange> range = activeRange(config, wall);
    if (!range)
        return std::nullopt;
    return LocalTime::instantAt(wall.date, range->endHour, range->endMinute, m_timeZone);
}

QString HelperService::dayKeyFromWeekday(int weekday)
{
    switch (weekday) {
    case 1:
        return u"sunday"_s;
    case 3:
        return u"tuesday"_s;
    case 4:
        return u"wednesday"_s;
    case 5:
        return u"thursday"_s;
    case 6:
        return u"friday"_s;
    case 7:
        return u"saturday"_s;
    default:
        return u"monday"_s;
    }
}

// ---- Calls ------------------------------------------------------------------------

void HelperService::clearAccessState()
{
    if (!m_currentConfig)
        return;
    m_currentConfig->temporaryAccess.reset();
    m_currentConfig->siteAccess.reset();
}

HelperReply HelperService::activateBlocking(const QStringList& requested)
{
    Locker locker(&m_stateLock);
    log(u"activateBlocking called with %1 sites"_s.arg(requested.size()));
    m_enforcedStamp.reset();
    const QStringList sites = checkedHosts(requested);
    if (m_currentConfig) {
        clearAccessState();
        saveConfiguration();
    }
    QStringList written = sites;
    if (!sites.isEmpty() && m_manualBlock && m_manualBlock->endsAt > now())
        written = unite(sites, m_manualBlock->sites);
    const bool wrote = writeSection(written);

    bool ok = false;
    if (sites.isEmpty()) {
        ok = isSectionPresent();
    } else {
        // Reading back exactly the bytes just written proves every host is
        // there; anything else gets the full look.
        const QByteArray* text = wrote ? readHosts() : nullptr;
        ok = (text && *text == m_writeBuffer) || sectionHolds(sites, false);
    }
    log(u"activateBlocking result: "_s + boolText(ok));
    return ok ? HelperReply::ok() : HelperReply::failure(u"Failed to verify blocking was applied"_s);
}

HelperReply HelperService::activateBlockingUntil(const QStringList& requested, double endsAt)
{
    Locker locker(&m_stateLock);
    log(u"activateBlockingUntil called with %1 sites"_s.arg(requested.size()));
    const Instant end = Instant::fromUnixSeconds(endsAt);
    if (!end.isFinite() || end <= now()) {
        log(u"activateBlockingUntil refused: the end is not in the future"_s);
        return HelperReply::failure(u"The block's end is not in the future"_s);
    }
    if (end > now().addSeconds(longestManualBlock)) {
        log(u"activateBlockingUntil refused: the end is more than 24 hours ahead"_s);
        return HelperReply::failure(u"The block's end is more than 24 hours ahead"_s);
    }
    const QStringList sites = withoutRepeats(checkedHosts(requested));
    if (sites.isEmpty()) {
        log(u"No sites to block"_s);
        const bool ok = isSectionPresent();
        log(u"activateBlockingUntil result: "_s + boolText(ok));
        return ok ? HelperReply::ok() : HelperReply::failure(u"Failed to verify blocking was applied"_s);
    }
    // The end must survive a restart, or the block would silently lose it:
    // nothing changes unless the file takes it.
    std::optional<HelperScheduleConfig> next = m_currentConfig;
    if (next) {
        next->temporaryAccess.reset();
        next->siteAccess.reset();
    }
    const std::optional<ManualBlock> previous = m_manualBlock;
    m_manualBlock = ManualBlock { sites, end };
    QString error;
    if (!writeConfigurationFile(next, true, &error)) {
        m_manualBlock = previous;
        log(u"Failed to save config: "_s + error);
        log(u"activateBlockingUntil result: false"_s);
        return HelperReply::failure(u"Failed to store the block's end: "_s + error);
    }
    log(u"Config saved"_s);
    m_currentConfig = std::move(next);
    checkSchedule();

    const bool ok = sectionHolds(sites, false);
    log(u"activateBlockingUntil result: "_s + boolText(ok));
    return ok ? HelperReply::ok() : HelperReply::failure(u"Failed to verify blocking was applied"_s);
}

HelperReply HelperService::deactivateBlocking()
{
    Locker locker(&m_stateLock);
    log(u"deactivateBlocking called"_s);
    m_enforcedStamp.reset();
    const bool hadManual = m_manualBlock.has_value();
    m_manualBlock.reset();
    clearAccessState();
    if (m_currentConfig || hadManual)
        saveConfiguration();
    performDeactivateBlocking();
    const QByteArray* text = readHosts();
    const bool ok = text && !HostsSection::containsStartMarker(*text);
    log(u"deactivateBlocking result: "_s + boolText(ok));
    return ok ? HelperReply::ok() : HelperReply::failure(u"Failed to verify blocking was removed"_s);
}

bool HelperService::isBlockingActive()
{
    Locker locker(&m_stateLock);
    const bool active = isSectionPresent();
    log(u"isBlockingActive = "_s + boolText(active));
    return active;
}

QStringList HelperService::getBlockedSites()
{
    Locker locker(&m_stateLock);
    return getBlockedSitesFromHosts();
}

HelperReply HelperService::updateSchedule(const QByteArray& scheduleData, const QStringList& sites)
{
    Locker locker(&m_stateLock);
    log(u"updateSchedule called"_s);
    QString error;
    std::optional<HelperScheduleConfig> decoded = HelperScheduleConfig::fromJsonBytes(scheduleData, &error);
    if (!decoded) {
        log(u"updateSchedule failed: "_s + error);
        return HelperReply::failure(u"Failed to decode schedule: "_s + error);
    }
    HelperScheduleConfig next = std::move(*decoded);
    next.blockedSites = checkedHosts(sites);
    next.lastBrowserGeneration = m_currentConfig ? m_currentConfig->lastBrowserGeneration : std::nullopt;
    // Automatic hours switched off while a timed access is open: give back
    // the hosts it opened, but only to a section that is already there.
    if (m_currentConfig && m_currentConfig->temporaryAccess && !next.enabled && isSectionPresent()) {
        if (next.blockedSites.isEmpty())
            performDeactivateBlocking();
        else
            performActivateBlocking(next.blockedSites);
    }
    next.temporaryAccess.reset();
    if (m_currentConfig && m_currentConfig->sameSchedule(next)) {
        next.browserControl = m_currentConfig->browserControl;
        next.siteAccess = m_currentConfig->siteAccess;
        next.siteAccessFocusEnd = m_currentConfig->siteAccessFocusEnd;
    } else {
        next.browserControl.reset();
        next.siteAccess.reset();
        next.siteAccessFocusEnd.reset();
    }
    m_currentConfig = std::move(next);
    saveConfiguration();
    checkSchedule();
    return HelperReply::ok();
}

HelperReply HelperService::setScheduleEnabled(bool enabled)
{
    Locker locker(&m_stateLock);
    if (!m_currentConfig)
        return HelperReply::failure(u"No configuration loaded"_s);
    m_currentConfig->enabled = enabled;
    saveConfiguration();
    checkSchedule();
    return HelperReply::ok();
}

bool HelperService::hostsMatchEnforcedState()
{
    const std::optional<QStringList> wanted = wantedSites(m_currentConfig ? &*m_currentConfig : nullptr, now(), false);
    if (!wanted)
        return true;
    if (wanted->isEmpty()) {
        const QByteArray* text = readHosts();
        return text && HostsSection::blockedHostSet(*text, blockLoopbackAddresses()).isEmpty();
    }
    return sectionHolds(*wanted, true);
}

HelperReply HelperService::updateBrowserControl(const QByteArray& data, const QByteArray& expectedConfiguration)
{
    Locker locker(&m_stateLock);
    const Instant current = now();
    const HelperReply refused = HelperReply::failure(u"Estado do navegador ou agenda desatualizados."_s);
    if (data.size() > maximumControlBytes || expectedConfiguration.size() > maximumConfigurationBytes
        || !m_currentConfig)
        return refused;
    const std::optional<HelperScheduleConfig> expected = decodeExpected(expectedConfiguration);
    if (!expected)
        return refused;
    const std::optional<BrowserHelperControl> control = BrowserHelperControl::fromJsonBytes(data);
    if (!control || !control->isValid(current))
        return refused;
    const qint64 generation = control->generation;
    const qint64 last = m_currentConfig->lastBrowserGeneration.value_or(0);
    if (generation < last)
        return refused;
    const bool same = m_currentConfig->sameSchedule(*expected);
    if (!same && generation == last)
        return refused;

    HelperScheduleConfig next = *expected;
    next.temporaryAccess
        = same && generation == last ? m_currentConfig->temporaryAccess : std::optional<ScheduledSiteAccess>();
    if (same) {
        next.siteAccess = m_currentConfig->siteAccess;
        next.siteAccessFocusEnd = m_currentConfig->siteAccessFocusEnd;
    } else {
        // Grants are only ever accepted through the grant call and its limits.
        next.siteAccess.reset();
        next.siteAccessFocusEnd.reset();
    }
    next.browserControl = *control;
    next.lastBrowserGeneration = generation;

    QString error;
    if (!writeConfigurationFile(next, false, &error)) {
        log(u"Failed to save browser control: "_s + error);
        return HelperReply::failure(u"Não foi possível salvar o estado do foco."_s);
    }
    m_currentConfig = std::move(next);
    checkSchedule();
    if (!hostsMatchEnforcedState())
        return HelperReply::failure(u"Não foi possível aplicar os bloqueios no sistema."_s);
    return HelperReply::ok();
}

HelperReply HelperService::grantScheduledAccess(
    const QString& platform, double expiresAt, const QByteArray& expectedConfiguration)
{
    Locker locker(&m_stateLock);
    const Instant current = now();
    const HelperReply refused = HelperReply::failure(u"A agenda mudou ou a exceção expirou. O bloqueio foi mantido."_s);
    const QSet<QString> domains = ScheduledSiteAccess::domains(platform);
    if (!std::isfinite(expiresAt) || domains.isEmpty() || !m_currentConfig
        || expectedConfiguration.size() > maximumConfigurationBytes)
        return refused;
    const std::optional<HelperScheduleConfig> expected = decodeExpected(expectedConfiguration);
    if (!expected || !m_currentConfig->sameSchedule(*expected))
        return refused;
    const std::optional<Instant> end = scheduledEnd(*m_currentConfig, current);
    if (!end)
        return refused;
    const QStringList& blocked = m_currentConfig->blockedSites;
    if (sitesNotCoveredBy(blocked, domains).size() == blocked.size())
        return refused;
    if (expiresAt <= current.unixSeconds()
        || expiresAt > std::min(end->unixSeconds(), current.unixSeconds() + longestAccess))
        return refused;

    const ScheduledSiteAccess grant(platform, Instant::fromUnixSeconds(expiresAt), current);
    HelperScheduleConfig next = *m_currentConfig;
    next.temporaryAccess = grant;
    QString error;
    if (!writeConfigurationFile(next, true, &error)) {
        log(u"Failed to save timed access: "_s + error);
        return HelperReply::failure(u"Não foi possível salvar o prazo da exceção."_s);
    }
    m_currentConfig = std::move(next);
    checkSchedule();
    if (m_currentConfig->temporaryAccess == grant && hostsMatchEnforcedState())
        return HelperReply::ok();

    m_currentConfig->temporaryAccess.reset();
    saveConfiguration();
    checkSchedule();
    return HelperReply::failure(u"Não foi possível aplicar a exceção. Tente novamente."_s);
}

HelperReply HelperService::setSiteAccess(const QByteArray& data, const QByteArray& expectedConfiguration)
{
    Locker locker(&m_stateLock);
    const Instant current = now();
    const HelperReply refused
        = HelperReply::failure(u"A agenda mudou. A liberação será refeita na próxima sincronização."_s);
    if (data.size() > maximumControlBytes || expectedConfiguration.size() > maximumConfigurationBytes
        || !m_currentConfig)
        return refused;
    const std::optional<QList<SiteAccessGrant>> grants = SiteAccessGrant::listFromJsonBytes(data);
    if (!grants || grants->size() > maximumGrants)
        return refused;
    const std::optional<HelperScheduleConfig> expected = decodeExpected(expectedConfiguration);
    if (!expected || !m_currentConfig->sameSchedule(*expected))
        return refused;

    const std::optional<Instant> end = scheduledEnd(*m_currentConfig, current);
    const QStringList& blocked = m_currentConfig->blockedSites;
    QList<SiteAccessGrant> kept;
    for (const SiteAccessGrant& grant : *grants) {
        if (!end || ScheduledSiteAccess::domains(QString(u"site:"_s + grant.site)).isEmpty())
            continue;
        if (grant.expiresAt <= current)
            continue;
        const bool isBlocked = std::any_of(blocked.cbegin(), blocked.cend(),
            [&grant](const QString& site) { return siteIsCovered(site, grant.site); });
        if (!isBlocked)
            continue;
        kept.append(
            SiteAccessGrant(grant.site, std::min({ grant.expiresAt, *end, current.addSeconds(longestAccess) })));
    }

    if (kept != m_currentConfig->siteAccess.value_or(QList<SiteAccessGrant>())
        || end != m_currentConfig->siteAccessFocusEnd) {
        HelperScheduleConfig next = *m_currentConfig;
        next.siteAccess = kept;
        next.siteAccessFocusEnd = end;
        QString error;
        if (!writeConfigurationFile(next, false, &error)) {
            log(u"Failed to save site access: "_s + error);
            return HelperReply::failure(u"Não foi possível salvar a liberação."_s);
        }
        m_currentConfig = std::move(next);
    }
    checkSchedule();
    if (kept.size() != grants->size())
        return HelperReply::failure(u"Parte da liberação não vale mais neste foco."_s);
    return HelperReply::ok();
}

QString HelperService::getHelperVersion() const
{
    return HelperConstants::helperVersion;
}

HelperReply HelperService::uninstallHelper()
{
    // Under the lock and with the timer stopped, nothing can write the section
    // or the file back before the process ends.
    Locker locker(&m_stateLock);
    m_ticker->stop();
    performDeactivateBlocking();
    m_manualBlock.reset();
    m_uninstalled = true;
    m_store.remove();
    QTimer::singleShot(500, this, [this] { m_exitProcess(0); });
    return HelperReply::ok();
}

} // namespace kestravin
