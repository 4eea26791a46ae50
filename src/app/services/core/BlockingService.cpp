#include "app/services/core/BlockingService.h"

#include "app/models/SiteCatalog.h"
#include "app/platform/AtomicWrite.h"
#include "app/platform/Diagnostics.h"
#include "app/services/core/AppEvents.h"
#include "app/services/daemon/HelperConnection.h"
#include "app/services/daemon/HelperInstaller.h"
#include "contract/HelperConstants.h"
#include "contract/HostName.h"
#include "contract/HostsSection.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString BlockingService::blockMarkerStart = HelperConstants::blockMarkerStart;
const QString BlockingService::notInstalledMessage = u"Falta a permissão do sistema para bloquear."_s;

namespace {

const QString inProgressLine = u"Activation already in progress, skipping"_s;
const QString alreadyBlockingLine = u"Already blocking, skipping activation"_s;
const QString activationFailedMessage = u"Failed to activate blocking"_s;
// What the daemon client says when the daemon did not answer in time, or the
// call broke on the way: the daemon may still have done the work.
const QString noAnswerPrefix = u"O ajudante de bloqueio não respondeu."_s;

QStringList hostsFor(const QStringList& sites)
{
    QStringList hosts = SiteCatalog::systemHosts(sites);
    // The daemon refuses such names too; they never leave the application.
    hosts.removeIf([](const QString& host) { return !isSafeHostName(host); });
    return hosts;
}

} // namespace

BlockingService::BlockingService(HelperConnection& connection, HelperInstaller& installer, Clock& clock,
    Scheduler& scheduler, Paths paths, QObject* parent)
    : QObject(parent),
      m_connection(connection),
      m_installer(installer),
      m_clock(clock),
      m_scheduler(scheduler),
      m_paths(std::move(paths))
{
    checkCurrentStatus();
    writeManualScripts({});
}

BlockingService& BlockingService::shared()
{
    static auto* service = new BlockingService(
        HelperConnection::shared(), HelperInstaller::shared(), Clock::system(), Scheduler::system(), defaultPaths());
    return *service;
}

BlockingService::Paths BlockingService::defaultPaths()
{
    return { HelperConstants::hostsFilePath,
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Kestravin"_s };
}

std::optional<QDateTime> BlockingService::manualBlockEnd() const
{
    if (m_manualEnd && *m_manualEnd > m_clock.now()) {
        return m_manualEnd;
    }
    return std::nullopt;
}

void BlockingService::setStatus(const BlockingStatus& status)
{
    if (!(m_status == status)) {
        m_status = status;
        Q_EMIT statusChanged();
    }
}

void BlockingService::setIsBlocking(bool value)
{
    if (m_isBlocking != value) {
        m_isBlocking = value;
        Q_EMIT isBlockingChanged();
    }
}

void BlockingService::applyBlockState(bool active)
{
    setIsBlocking(active);
    setStatus(active ? BlockingStatus::active() : BlockingStatus::inactive());
    if (!m_unconfirmedEnd) {
        return;
    }
    const QDateTime end = *m_unconfirmedEnd;
    if (end <= m_clock.now()) {
        m_unconfirmedEnd.reset();
    } else if (active) {
        // The daemon applied the timed block after we had given up on it; it
        // keeps the end it was sent, and so does the session.
        m_unconfirmedEnd.reset();
        m_manualEnd = end;
        arrangeEnd(end);
        Q_EMIT timedBlockAdopted(end);
    }
}

void BlockingService::checkCurrentStatus()
{
    if (m_installer.isHelperInstalled()) {
        QPointer<BlockingService> self(this);
        m_connection.isBlockingActive([self](bool active) {
            if (self) {
                self->applyBlockState(active);
            }
        });
        return;
    }
    QFile hosts(m_paths.hostsPath);
    if (!hosts.open(QIODevice::ReadOnly)) {
        setStatus(BlockingStatus::error(u"Cannot read hosts file"_s));
        return;
    }
    applyBlockState(HostsSection::containsStartMarker(hosts.readAll()));
}

void BlockingService::refreshSoon()
{
    const int generation = ++m_refreshGeneration;
    for (const int delay : { 500, 1500, 3000, 6000, 10000 }) {
        m_scheduler.runLater(std::chrono::milliseconds(delay), this, [this, generation] {
            if (generation == m_refreshGeneration) {
                checkCurrentStatus();
            }
        });
    }
}

void BlockingService::activateBlocking(const QStringList& sites)
{
    const QStringList hosts = hostsFor(sites);
    writeManualScripts(hosts);
    if (m_isActivationInProgress) {
        printDiagnostic(inProgressLine);
        return;
    }
    m_isActivationInProgress = true;
    if (!m_installer.isHelperInstalled()) {
        m_isActivationInProgress = false;
        setStatus(BlockingStatus::error(notInstalledMessage));
        return;
    }
    QPointer<BlockingService> self(this);
    auto onReply = [self](bool success, QString message) {
        if (!self) {
            return;
        }
        self->m_isActivationInProgress = false;
        if (success) {
            self->setIsBlocking(true);
            self->setStatus(BlockingStatus::active());
        } else {
            self->setStatus(BlockingStatus::error(message.isEmpty() ? activationFailedMessage : message));
        }
    };
    // During our manual block the daemon keeps exactly that block's sites, so
    // a new list must replace them, under the same end.
    if (const auto end = manualBlockEnd()) {
        m_connection.activateBlockingUntil(hosts, *end, std::move(onReply));
    } else {
        m_connection.activateBlocking(hosts, std::move(onReply));
    }
}

void BlockingService::activateBlockingWithScheduledEnd(const QStringList& sites, int minutes, Completion completion)
{
    const QStringList hosts = hostsFor(sites);
    if (m_isActivationInProgress) {
        printDiagnostic(inProgressLine);
        completion(false);
        return;
    }
    if (minutes < 1) {
        completion(false);
        return;
    }
    if (!m_installer.isHelperInstalled()) {
        checkCurrentStatus(); // reads the hosts file at once
        if (m_isBlocking) {
            printDiagnostic(alreadyBlockingLine);
            completion(true);
            return;
        }
        setStatus(BlockingStatus::error(notInstalledMessage));
        completion(false);
        return;
    }
    // "Already blocking" is decided on a fresh answer of the daemon, not on
    // the value of the last periodic check.
    m_isActivationInProgress = true;
    QPointer<BlockingService> self(this);
    m_connection.queryBlockingActive([self, hosts, minutes, completion](bool answered, bool active, QString message) {
        if (!self) {
            return;
        }
        if (!answered) {
            self->m_isActivationInProgress = false;
            self->setStatus(BlockingStatus::error(message));
            self->m_installer.checkHelperStatus();
            completion(false);
            return;
        }
        self->applyBlockState(active);
        // Even under a block of the schedule the focus is sent with its own
        // end: the daemon then holds it past the schedule's end, and a
        // focus that replaces ours moves the end.
        self->requestTimedBlock(hosts, minutes, completion);
    });
}

void BlockingService::requestTimedBlock(const QStringList& hosts, int minutes, Completion completion)
{
    const QDateTime end = m_clock.now().addSecs(qint64(minutes) * 60);
    QPointer<BlockingService> self(this);
    m_connection.activateBlockingUntil(hosts, end, [self, end, completion](bool success, QString message) {
        if (!self) {
            return;
        }
        self->m_isActivationInProgress = false;
        if (success) {
            self->m_unconfirmedEnd.reset();
            self->m_manualEnd = end;
            self->setIsBlocking(true);
            self->setStatus(BlockingStatus::active());
            self->arrangeEnd(end);
        } else {
            self->setStatus(BlockingStatus::error(message.isEmpty() ? activationFailedMessage : message));
            self->m_installer.checkHelperStatus();
            if (message.startsWith(noAnswerPrefix)) {
                self->m_unconfirmedEnd = end;
                self->refreshSoon();
            }
        }
        completion(success);
    });
}

void BlockingService::arrangeEnd(const QDateTime& end)
{
    const int generation = ++m_endGeneration;
    const auto delay = std::chrono::milliseconds(std::max<qint64>(m_clock.now().msecsTo(end), 0));
    m_scheduler.runLater(delay, this, [this, generation] {
        if (generation != m_endGeneration) {
            return;
        }
        // The daemon lifts the block at the end by itself; find out whether
        // it has, and keep asking for a while if not yet.
        QPointer<BlockingService> self(this);
        m_connection.isBlockingActive([self](bool active) {
            if (!self) {
                return;
            }
            self->applyBlockState(active);
            if (active) {
                self->refreshSoon();
            } else {
                Q_EMIT AppEvents::shared().blockingStatusChanged();
            }
        });
    });
}

void BlockingService::syncScheduleToHelper(const Configuration& configuration)
{
    writeManualScripts(configuration.helperScheduleConfig().blockedSites);
    if (!m_installer.isHelperInstalled()) {
        return;
    }
    m_connection.updateSchedule(configuration.helperScheduleConfig(), [](bool success, QString message) {
        if (success) {
            printDiagnostic(u"Schedule synced to helper successfully"_s);
        } else {
            printDiagnostic(
                u"Failed to sync schedule to helper: "_s + (message.isEmpty() ? u"unknown error"_s : message));
        }
    });
}

void BlockingService::writeManualScripts(const QStringList& hosts)
{
    if (m_scriptHosts == hosts) {
        return;
    }
    m_scriptHosts = hosts;
    const QList<std::pair<QString, QString>> scripts {
        { u"focus-helper.sh"_s, focusHelperScript(m_paths.hostsPath, hosts) },
        { u"deactivate.sh"_s, deactivateScript(m_paths.hostsPath) },
    };
    constexpr QFileDevice::Permissions executable
        = ordinaryFilePermissions | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QDir().mkpath(m_paths.dataFolder);
    for (const auto& [name, text] : scripts) {
        QString error;
        if (!writeFileAtomically(m_paths.dataFolder + u"/"_s + name, text.toUtf8(), executable, &error)) {
            // Written again with the next host list; the block itself never
            // depends on these scripts.
            printDiagnostic(u"Could not write a manual script: "_s + error);
            m_scriptHosts.reset();
        }
    }
}

QString BlockingService::focusHelperScript(const QString& hostsPath, const QStringList& hosts)
{
    // The entries are written here, from hosts that passed the host check;
    // the script never reads the configuration itself.
    return uR"SCRIPT(#!/bin/bash
# Kestravin Helper Script
# This script can be used to manually control blocking from the command line

HOSTS_FILE="%1"
MARKER_START="%2"
MARKER_END="%3"

# Removes each marked section. A start marker without an end after it loses
# only its own line, so that the entries after it stay.
remove_section() {
    sudo sed -i "/^$MARKER_START/{\$d;:a;N;/\n$MARKER_END[^\n]*\$/d;\$!ba;s/^[^\n]*\n//}" "$HOSTS_FILE"
}

flush_dns() {
    if command -v resolvectl > /dev/null 2>&1; then
        sudo resolvectl flush-caches 2>/dev/null
    fi
    if command -v nscd > /dev/null 2>&1; then
        sudo nscd --invalidate=hosts 2>/dev/null
    fi
    return 0
}

case "$1" in
    status)
        if grep -q "$MARKER_START" "$HOSTS_FILE"; then
            echo "Blocking is ACTIVE"
            exit 0
        else
            echo "Blocking is INACTIVE"
            exit 1
        fi
        ;;
    activate)
        # Remove existing entries
        remove_section

        # Add new entries
        echo "" | sudo tee -a "$HOSTS_FILE" > /dev/null
        echo "$MARKER_START" | sudo tee -a "$HOSTS_FILE" > /dev/null

        # The blocked sites as the application last saw them
        sudo tee -a "$HOSTS_FILE" > /dev/null << 'ENTRIES_EOF'
%4
ENTRIES_EOF

        echo "$MARKER_END" | sudo tee -a "$HOSTS_FILE" > /dev/null

        # Flush DNS
        flush_dns

        echo "Blocking ACTIVATED"
        ;;
    deactivate)
        remove_section
        flush_dns
        echo "Blocking DEACTIVATED"
        ;;
    *)
        echo "Usage: $0 {status|activate|deactivate}"
        exit 1
        ;;
esac)SCRIPT"_s.arg(hostsPath, HelperConstants::blockMarkerStart, HelperConstants::blockMarkerEnd,
        QString::fromUtf8(HostsSection::makeBlockEntries(hosts, HostsSection::loopbackAddresses())));
}

QString BlockingService::deactivateScript(const QString& hostsPath)
{
    return uR"SCRIPT(#!/bin/bash
# Kestravin Deactivate Script
HOSTS_FILE="%1"
MARKER_START="%2"
MARKER_END="%3"

# Remove Kestravin entries; a start marker without an end after it loses only its own line
sudo sed -i "/^$MARKER_START/{\$d;:a;N;/\n$MARKER_END[^\n]*\$/d;\$!ba;s/^[^\n]*\n//}" "$HOSTS_FILE"

# Flush DNS
if command -v resolvectl > /dev/null 2>&1; then
    sudo resolvectl flush-caches 2>/dev/null
fi
if command -v nscd > /dev/null 2>&1; then
    sudo nscd --invalidate=hosts 2>/dev/null
fi

echo "Blocking DEACTIVATED")SCRIPT"_s.arg(
        hostsPath, HelperConstants::blockMarkerStartHead, HelperConstants::blockMarkerEnd);
}

} // namespace kestravin
