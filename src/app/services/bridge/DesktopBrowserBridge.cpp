#include "app/services/bridge/DesktopBrowserBridge.h"

#include "app/models/BrowserBridgePolicy.h"
#include "app/models/FocusCountdown.h"
#include "app/platform/AtomicWrite.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/bridge/BrowserBridgeAccount.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperConnection.h"
#include "app/services/daemon/HelperInstaller.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

const QString stateFileName = u"state.json"_s;
const QString sessionFileName = u"session.json"_s;
const QString receiptPrefix = u"receipt-"_s;
const QString commandPrefix = u"command-"_s;

const QString statusOff = u"Sincronização desativada."_s;
const QString statusWaiting = u"Aguardando a extensão. Bloqueio do sistema mantido."_s;
const QString statusApplying = u"Aplicando o foco neste computador…"_s;
const QString statusSynced = u"Extensão sincronizada neste perfil."_s;
const QString statusTickFailed = u"Não foi possível sincronizar a extensão. Bloqueio do sistema mantido."_s;
const QString statusSessionUnsaved = u"Não foi possível salvar o foco local."_s;
const QString statusHelperFailed = u"Não foi possível sincronizar o helper."_s;
const QString statusHelperTooOld = u"Atualize o helper do Kestravin para sincronizar."_s;

// The folder and any missing parents, owner-only.
bool makeDirectory(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info { };
    if (::stat(native.constData(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const QString parent = QFileInfo(path).path();
    if (parent != path && !makeDirectory(parent)) {
        return false;
    }
    return ::mkdir(native.constData(), 0700) == 0 || errno == EEXIST;
}

// Replaces the file by rename, so a reader sees the old or the new content,
// without the flush to disk: state.json is rewritten every second and only
// matters while the application runs.
bool replaceFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".tmp";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        return false;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += n;
    }
    const bool ok
        = ::close(fd) == 0 && written == bytes.size() && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
    }
    return ok;
}

// Folder entries in the file system's own order; none when it cannot be listed.
std::optional<QStringList> listFolder(const QString& path)
{
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir) {
        return std::nullopt;
    }
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != u"."_s && name != u".."_s) {
            names.append(name);
        }
    }
    ::closedir(dir);
    return names;
}

QDateTime fromUnixMs(double ms)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(ms)), Qt::UTC);
}

} // namespace

std::optional<QByteArray> readExchangeFile(const QString& path, qsizetype limit)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes(limit, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < limit) {
        const ssize_t got = ::read(fd, bytes.data() + filled, size_t(limit - filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    ::close(fd);
    bytes.truncate(filled);
    return bytes;
}

const QString DesktopBrowserBridge::syncSettingsKey = u"desktopBrowserSync"_s;

DesktopBrowserBridge::DesktopBrowserBridge(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_status(statusOff)
{
    m_enabled = settings()->value(syncSettingsKey, false).toBool();
    Q_ASSERT(m_env.clock && m_env.scheduler && m_env.account);
    const auto bytes = readExchangeFile(filePath(sessionFileName), 1 << 20);
    const auto stored = bytes ? BrowserExchange::decode(*bytes, BrowserBridgeSession::fromJson) : std::nullopt;
    m_session = stored ? *stored : BrowserBridgeSession::fresh(nowMs());
}

DesktopBrowserBridge::~DesktopBrowserBridge()
{
    *m_alive = false;
}

DesktopBrowserBridge& DesktopBrowserBridge::shared()
{
    static auto* account = new AccountServiceBridgeAccount(DesktopAccountService::shared());
    static auto* bridge = new DesktopBrowserBridge(Environment {
        defaultDirectory(),
        &Clock::system(),
        &Scheduler::system(),
        QTimeZone::systemTimeZone(),
        [] { return ConfigurationManager::shared().configuration(); },
        [] { return HelperInstaller::shared().supportsBrowserSync(); },
        [](const BrowserHelperControl& control, const HelperScheduleConfig& expected, DaemonCompletion done) {
            HelperConnection::shared().updateBrowserControl(control, expected, std::move(done));
        },
        account,
        [](const QDateTime& end) { ScheduleManager::shared().setSessionEndTime(end); },
        [](const QString& text) { ScheduleManager::shared().setRemainingTime(text); },
        QString(),
    });
    return *bridge;
}

bool DesktopBrowserBridge::storedSyncEnabled()
{
    const QSettings settings(u"Kestravin"_s, u"Kestravin"_s);
    return settings.value(syncSettingsKey, false).toBool();
}

QString DesktopBrowserBridge::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Kestravin/browser-bridge"_s;
}

std::unique_ptr<QSettings> DesktopBrowserBridge::settings() const
{
    if (m_env.settingsFile.isEmpty()) {
        return std::make_unique<QSettings>(u"Kestravin"_s, u"Kestravin"_s);
    }
    return std::make_unique<QSettings>(m_env.settingsFile, QSettings::IniFormat);
}

double DesktopBrowserBridge::nowMs() const
{
    return double(m_env.clock->now().toMSecsSinceEpoch());
}

QString DesktopBrowserBridge::filePath(const QString& name) const
{
    return m_env.directory + u'/' + name;
}

bool DesktopBrowserBridge::prepareDirectory() const
{
    return makeDirectory(m_env.directory);
}

void DesktopBrowserBridge::persistSession()
{
    if (!prepareDirectory()
        || !writeFileAtomically(
            filePath(sessionFileName), BrowserExchange::compact(m_session.toJson()), ordinaryFilePermissions)) {
        setStatus(statusSessionUnsaved);
    }
}

BrowserSnapshot DesktopBrowserBridge::snapshot() const
{
    const QDateTime now = m_env.clock->now();
    Configuration configuration = m_env.configuration();
    if (!m_settingsCache || m_settingsCache->first != configuration) {
        auto settings = BrowserBridgePolicy::localSettings(configuration, m_env.timeZone);
        m_settingsCache.emplace(std::move(configuration), std::move(settings));
    }
    BrowserSnapshot local = BrowserBridgePolicy::snapshot(
        m_settingsCache->second, m_settingsCache->first, m_session, m_enabled, now, m_env.timeZone);
    const auto account = m_env.account->syncedAccount();
    if (!account || !account->settings.onboarded) {
        return local;
    }
    return BrowserBridgePolicy::accountSnapshot(*account, m_enabled, double(now.toMSecsSinceEpoch()));
}

void DesktopBrowserBridge::failTick()
{
    setConnected(false);
    setHelperReady(false);
    setStatus(statusTickFailed);
}

void DesktopBrowserBridge::mirrorFocus(double now)
{
    if (!m_focus.enabled) {
        m_env.setSessionEndTime(QDateTime());
        m_env.setRemainingTime(QString());
        return;
    }
    m_env.setSessionEndTime(fromUnixMs(m_focus.endsAt));
    // An end beyond any countdown (or not finite) keeps the end but shows no
    // count.
    const double seconds = std::ceil((m_focus.endsAt - now) / 1000.0);
    if (std::isfinite(seconds) && std::fabs(seconds) < 1e15) {
        m_env.setRemainingTime(FocusCountdown::label(qint64(seconds)));
    }
}

void DesktopBrowserBridge::tick()
{
    if (!prepareDirectory()) {
        failTick();
        return;
    }
    BrowserSnapshot snap = snapshot();
    const double now = nowMs();

    if (!m_lastRevision || *m_lastRevision != snap.revision) {
        m_session.generation += 1;
        persistSession();
        snap = snapshot();
        setHelperReady(false);
        m_lastRevision = snap.revision;
        m_lastHelperUpdate.reset();
    }
    if (m_helperValidUntil <= now) {
        setHelperReady(false);
    }
    setFocus(snap.focus);

    const auto account = m_env.account->syncedAccount();
    const bool accountSynced = account.has_value();
    if (m_enabled || accountSynced) {
        mirrorFocus(now);
    }

    if (m_pending && m_pending->focusId == m_focus.id && now < m_pending->expiresAt) {
        snap.request = m_pending;
    } else {
        m_pending.reset();
    }

    const auto names = listFolder(m_env.directory);
    if (!names) {
        failTick();
        return;
    }

    QList<Receipt> receipts;
    QStringList commands;
    for (const QString& name : *names) {
        if (name.startsWith(commandPrefix)) {
            commands.append(name);
            continue;
        }
        const auto clientId = BrowserExchange::receiptClientId(name);
        if (!clientId) {
            continue;
        }
        const auto bytes = readExchangeFile(filePath(name), BrowserExchange::maximumFileSize + 1);
        if (!bytes || bytes->size() > BrowserExchange::maximumFileSize) {
            continue;
        }
        const auto receipt = BrowserExchange::decode(*bytes, BrowserReceipt::fromJson);
        if (receipt && receipt->revision == snap.revision && receipt->focusId == snap.focus.id
            && receipt->receivedAt <= now && receipt->receivedAt > now - receiptLifetimeMs) {
            receipts.append({ *clientId, receipt->receivedAt });
        }
    }
    std::sort(
        receipts.begin(), receipts.end(), [](const Receipt& a, const Receipt& b) { return a.clientId < b.clientId; });

    const bool activeStays = m_activeClientId
        && std::any_of(
            receipts.cbegin(), receipts.cend(), [this](const Receipt& r) { return r.clientId == *m_activeClientId; });
    if (!activeStays) {
        m_activeClientId = receipts.isEmpty() ? std::nullopt : std::optional<QString>(receipts.front().clientId);
    }
    std::optional<double> newest;
    for (const Receipt& receipt : receipts) {
        newest = newest ? std::max(*newest, receipt.at) : receipt.at;
    }

    setConnected(m_enabled && newest.has_value());
    snap.systemReady = m_helperReady && m_connected;
    if (!replaceFile(filePath(stateFileName), BrowserExchange::compact(snap.toJson()))) {
        failTick();
        return;
    }
    Q_EMIT stateWritten();

    if (!m_enabled) {
        setStatus(statusOff);
    } else if (!m_connected) {
        setStatus(statusWaiting);
    } else if (!m_helperReady) {
        setStatus(statusApplying);
    } else {
        setStatus(statusSynced);
    }

    bool failed = false;
    if (handleCommands(commands, snap.revision, failed) || failed) {
        return;
    }
    pushToDaemon(snap, newest, accountSynced);
}

bool DesktopBrowserBridge::handleCommands(const QStringList& names, const QString& revision, bool& failed)
{
    for (qsizetype i = 0; i < std::min<qsizetype>(names.size(), commandsPerTick); ++i) {
        const QString path = filePath(names[i]);
        const auto removeFile = [&path] { QFile::remove(path); };
        if (!m_enabled) {
            removeFile();
            continue;
        }
        const auto bytes = readExchangeFile(path, BrowserExchange::maximumFileSize + 1);
        const auto command = bytes && bytes->size() <= BrowserExchange::maximumFileSize
            ? BrowserExchange::decode(*bytes, BrowserCommand::fromJson)
            : std::nullopt;
        removeFile();
        if (!command || command->revision != revision) {
            continue;
        }
        if (command->action == u"start"_s && command->minutes) {
            const qint64 minutes = *command->minutes;
            const auto failure = begin(int(std::clamp<qint64>(minutes, -1, maximumFocusMinutes + 1)));
            if (failure) {
                failTick();
                failed = true;
                return true;
            }
            return true;
        }
        if (command->action == u"sync"_s) {
            m_env.account->syncNow([] {});
        }
    }
    return false;
}

void DesktopBrowserBridge::pushToDaemon(const BrowserSnapshot& snap, std::optional<double> newest, bool accountSynced)
{
    const double now = nowMs();
    if (!(m_enabled || accountSynced || m_needsDisableUpdate) || m_helperInFlight
        || (m_lastHelperUpdate && now - *m_lastHelperUpdate < pushSpacingMs) || !m_env.supportsBrowserSync()) {
        return;
    }
    m_helperInFlight = true;
    m_lastHelperUpdate = now;
    const bool active = m_enabled || accountSynced;

    BrowserHelperControl control;
    control.enabled = active;
    control.generation = m_session.generation;
    if (active) {
        if (m_env.account->snapshotFocusSource() == u"account"_s) {
            control.manualEndsAt = Instant::fromUnixSeconds(m_focus.endsAt / 1000.0);
        } else if (m_session.manual) {
            control.manualEndsAt = m_session.manual->endsAt;
        }
        if (snap.pausedUntil) {
            control.pausedUntil = Instant::fromUnixSeconds(*snap.pausedUntil / 1000.0);
        } else {
            control.pausedUntil = m_session.pausedUntil;
        }
    }
    control.platforms = snap.settings.platforms;
    control.coverageUntil
        = Instant::fromUnixSeconds((m_enabled && newest ? *newest + coverageAfterReceiptMs : now) / 1000.0);

    const auto alive = m_alive;
    const QString revision = snap.revision;
    m_env.updateBrowserControl(control, m_env.configuration().helperScheduleConfig(),
        [this, alive, revision, control](bool success, const QString& message) {
            if (!*alive) {
                return;
            }
            m_helperInFlight = false;
            if (!m_lastRevision || *m_lastRevision != revision) {
                return;
            }
            if (success) {
                setHelperReady(m_connected);
                m_helperValidUntil
                    = std::min(nowMs() + acceptanceLifetimeMs, control.coverageUntil.unixSeconds() * 1000.0);
                m_needsDisableUpdate = false;
            } else {
                setHelperReady(false);
                setStatus(message.isEmpty() ? statusHelperFailed : message);
            }
        });
}

void DesktopBrowserBridge::startMonitoring()
{
    if (m_timer) {
        return;
    }
    m_timer = m_env.scheduler->startTimer(tickInterval, true, [this] { tick(); });
    tick();
}

void DesktopBrowserBridge::setEnabled(bool on)
{
    if (on && !m_env.supportsBrowserSync()) {
        setStatus(statusHelperTooOld);
        return;
    }
    m_needsDisableUpdate = m_enabled && !on;
    const bool changed = m_enabled != on;
    m_enabled = on;
    m_session.generation += 1;
    settings()->setValue(syncSettingsKey, on);
    if (changed) {
        Q_EMIT enabledChanged();
    }
    if (!on) {
        m_session.manual.reset();
        m_session.pausedUntil.reset();
        m_pending.reset();
        // The mirror is ours only while sync was on: a switch that was
        // already off leaves a focus started elsewhere alone.
        if (m_needsDisableUpdate) {
            m_env.setSessionEndTime(QDateTime());
            m_env.setRemainingTime(QString());
        }
    }
    persistSession();
    m_lastHelperUpdate.reset();
    tick();
}

std::optional<BridgeFailure> DesktopBrowserBridge::begin(int minutes)
{
    if (!m_enabled) {
        return BridgeFailure::of(DesktopAccessError::invalidRequest);
    }
    if (minutes < 1 || minutes > maximumFocusMinutes) {
        return BridgeFailure::of(DesktopAccessError::invalidRequest, focusLengthOutOfRange());
    }
    if (m_env.account->hasSession()) {
        const auto alive = m_alive;
        m_env.account->startFocus(minutes, [this, alive](std::optional<QString> error) {
            if (!*alive) {
                return;
            }
            if (error) {
                setStatus(*error);
                return;
            }
            m_env.account->syncNow([this, alive] {
                if (*alive) {
                    tick();
                }
            });
        });
        return std::nullopt;
    }
    const Instant end = Instant::fromUnixSeconds(nowMs() / 1000.0 + double(minutes) * 60.0);
    m_session.manual = BrowserManualFocus { BrowserExchange::newIdentifier(), end };
    m_session.pausedUntil.reset();
    m_session.generation += 1;
    persistSession();
    m_lastHelperUpdate.reset();
    tick();
    return std::nullopt;
}

void DesktopBrowserBridge::setConnected(bool value)
{
    if (m_connected != value) {
        m_connected = value;
        Q_EMIT connectedChanged();
    }
}

void DesktopBrowserBridge::setHelperReady(bool value)
{
    if (m_helperReady != value) {
        m_helperReady = value;
        Q_EMIT helperReadyChanged();
    }
}

void DesktopBrowserBridge::setStatus(const QString& value)
{
    if (m_status != value) {
        m_status = value;
        Q_EMIT statusChanged();
    }
}

void DesktopBrowserBridge::setFocus(const BrowserFocus& value)
{
    if (!(m_focus == value)) {
        m_focus = value;
        Q_EMIT focusChanged();
    }
}

} // namespace kestravin
