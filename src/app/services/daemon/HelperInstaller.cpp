#include "app/services/daemon/HelperInstaller.h"

#include "app/platform/Diagnostics.h"
#include "app/platform/linux/PkexecRunner.h"
#include "app/platform/linux/SystemdRegistration.h"
#include "app/services/daemon/HelperConnection.h"
#include "contract/HelperConstants.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QUuid>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QString unitName = HelperConstants::machServiceName + u".service"_s;

// Single-quotes a constant for the scripts: the system root and the markers,
// never anything that comes from outside.
QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(u"'"_s, u"'\\''"_s);
    return u"'"_s + quoted + u"'"_s;
}

QString currentUserName()
{
    if (const passwd* entry = ::getpwuid(::getuid())) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return qEnvironmentVariable("USER");
}

} // namespace

HelperInstaller::HelperInstaller(HelperConnection& connection, DaemonRegistration& registration,
    PrivilegedRunner& runner, Clock& clock, Scheduler& scheduler, Environment environment, QObject* parent)
    : QObject(parent),
      m_connection(connection),
      m_registration(registration),
      m_runner(runner),
      m_clock(clock),
      m_scheduler(scheduler),
      m_environment(std::move(environment))
{
    m_isHelperInstalled = legacyInstalled() || m_registration.status() == DaemonRegistration::Status::enabled;
    connect(&m_connection, &HelperConnection::daemonAppeared, this, &HelperInstaller::checkHelperStatus);
    connect(&m_connection, &HelperConnection::daemonVanished, this, &HelperInstaller::checkHelperStatus);
    checkHelperStatus();
}

HelperInstaller::~HelperInstaller() = default;

HelperInstaller& HelperInstaller::shared()
{
    static auto* runner = new PkexecRunner();
    static auto* registration
        = new SystemdRegistration(QDBusConnection::systemBus(), unitName, HelperConstants::packagedUnitPath);
    static auto* instance = new HelperInstaller(
        HelperConnection::shared(), *registration, *runner, Clock::system(), Scheduler::system(), defaultEnvironment());
    return *instance;
}

HelperInstaller::Environment HelperInstaller::defaultEnvironment()
{
    Environment environment;
    const QString appDir = QCoreApplication::applicationDirPath();
    // Beside the application (build tree, AppImage), then the installed layout.
    environment.helperSourceCandidates = {
        appDir + u"/"_s + HelperConstants::machServiceName,
        QDir::cleanPath(appDir + u"/../libexec/kestravin/"_s + HelperConstants::machServiceName),
    };
    environment.callerUserName = currentUserName();
    environment.daemonBusChosen = systemBusOverridden();
    return environment;
}

bool HelperInstaller::systemBusOverridden()
{
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS").trimmed();
    static const QStringList machineBus {
        u"unix:path=/run/dbus/system_bus_socket"_s,
        u"unix:path=/var/run/dbus/system_bus_socket"_s,
    };
    return !address.isEmpty() && !machineBus.contains(address);
}

QString HelperInstaller::systemPath(const QString& path) const
{
    return m_environment.systemRoot + path;
}

bool HelperInstaller::legacyInstalled() const
{
    return QFileInfo::exists(systemPath(HelperConstants::helperInstallPath))
        && QFileInfo::exists(systemPath(HelperConstants::systemdUnitPath));
}

void HelperInstaller::setHelperInstalled(bool value)
{
    if (m_isHelperInstalled != value) {
        m_isHelperInstalled = value;
        Q_EMIT isHelperInstalledChanged();
    }
}

void HelperInstaller::setInstallationError(const QString& value)
{
    if (m_installationError != value || m_installationError.isNull() != value.isNull()) {
        m_installationError = value;
        Q_EMIT installationErrorChanged();
    }
}

void HelperInstaller::setInstalling(bool value)
{
    if (m_isInstalling != value) {
        m_isInstalling = value;
        Q_EMIT isInstallingChanged();
    }
}

void HelperInstaller::setCapabilities(bool value)
{
    if (m_supportsTemporaryAccess != value) {
        m_supportsTemporaryAccess = value;
        Q_EMIT supportsTemporaryAccessChanged();
    }
    if (m_supportsBrowserSync != value) {
        m_supportsBrowserSync = value;
        Q_EMIT supportsBrowserSyncChanged();
    }
}

void HelperInstaller::setAwaitingApproval(bool value)
{
    if (m_awaitingApproval != value) {
        m_awaitingApproval = value;
        Q_EMIT awaitingApprovalChanged();
    }
}

void HelperInstaller::checkHelperStatus()
{
    m_connection.followDaemon();
    if (!m_environment.daemonBusChosen && !legacyInstalled()
        && m_registration.status() != DaemonRegistration::Status::enabled
        && !QFileInfo::exists(systemPath(HelperConstants::helperInstallPath))) {
        setHelperInstalled(false);
        setCapabilities(false);
        return;
    }
    QPointer<HelperInstaller> self(this);
    m_connection.checkHelperStatus([self](bool ok, QString message) {
        if (!self) {
            return;
        }
        self->setHelperInstalled(ok);
        if (ok) {
            self->m_rechecks = 0;
        }
        self->setCapabilities(false);
        if (ok) {
            self->m_connection.getHelperVersion([self](std::optional<QString> version) {
                if (self) {
                    self->setCapabilities(version == HelperConstants::helperVersion);
                }
            });
        } else {
            self->setInstallationError(message);
            self->scheduleRecheck();
        }
    });
}

void HelperInstaller::scheduleRecheck()
{
    if (m_recheck && m_recheck->isActive()) {
        return;
    }
    if (m_rechecks >= maximumRechecks) {
        return;
    }
    ++m_rechecks;
    m_recheck = m_scheduler.startTimer(recheckDelay, false, [this] {
        m_recheck.reset();
        if (!m_isHelperInstalled) {
            checkHelperStatus();
        } else {
            m_rechecks = 0;
        }
    });
}

void HelperInstaller::installHelper(Completion completion)
{
    if (m_isInstalling) {
        completion(false, u"Installation already in progress"_s);
        return;
    }
    setInstalling(true);
    setInstallationError(QString());
    if (m_registration.bundlesDaemon() && !legacyInstalled()) {
        if (m_registration.status() == DaemonRegistration::Status::enabled) {
            // Enabled but not answering: start the registration over.
            QPointer<HelperInstaller> self(this);
            m_registration.unregisterDaemon([self, completion] {
                if (self && !self->installWithApproval(completion)) {
                    self->installWithPassword(completion);
                }
            });
            return;
        }
        if (installWithApproval(completion)) {
            return;
        }
    }
    installWithPassword(std::move(completion));
}

bool HelperInstaller::installWithApproval(Completion completion)
{
    if (m_registration.status() != DaemonRegistration::Status::enabled) {
        QString error;
        if (!m_registration.registerDaemon(&error)
            && m_registration.status() != DaemonRegistration::Status::requiresApproval) {
            printDiagnostic(u"HelperInstaller: registration failed: "_s + error);
            return false;
        }
    }
    if (m_registration.status() == DaemonRegistration::Status::enabled) {
        approved(std::move(completion));
        return true;
    }
    setAwaitingApproval(true);
    m_registration.openApprovalSettings();
    Q_EMIT approvalGuideRequested();
    const QDateTime start = m_clock.now();
    m_approvalTimer.reset();
    m_approvalQueryInFlight = false;
    const int generation = ++m_approvalWaitGeneration;
    m_approvalTimer = m_scheduler.startTimer(approvalPollInterval, true, [this, start, completion, generation] {
        // The status travels over the system bus: ask without waiting, and
        // let the answer move the wait on. A slow answer delays the next
        // question instead of piling them up.
        if (m_approvalQueryInFlight) {
            return;
        }
        m_approvalQueryInFlight = true;
        QPointer<HelperInstaller> self(this);
        m_registration.queryStatus([self, start, completion, generation](DaemonRegistration::Status status) {
            if (!self || generation != self->m_approvalWaitGeneration) {
                return;
            }
            self->m_approvalQueryInFlight = false;
            if (!self->m_approvalTimer || !self->m_approvalTimer->isActive()) {
                return;
            }
            self->approvalStatusArrived(status, start, completion);
        });
    });
    return true;
}

void HelperInstaller::approvalStatusArrived(
    DaemonRegistration::Status status, const QDateTime& start, const Completion& completion)
{
    if (status == DaemonRegistration::Status::enabled) {
        m_approvalTimer->stop();
        ++m_approvalWaitGeneration;
        approved(completion);
        return;
    }
    // Once the system's authentication dialog has been dismissed or refused,
    // nothing can approve the unit any more: the wait ends there.
    const bool requestOver = status != DaemonRegistration::Status::requiresApproval;
    if (requestOver || start.msecsTo(m_clock.now()) > std::chrono::milliseconds(approvalWait).count()) {
        m_approvalTimer->stop();
        ++m_approvalWaitGeneration;
        setAwaitingApproval(false);
        setInstalling(false);
        Q_EMIT approvalGuideDismissed();
        completion(false, u"cancel"_s);
    }
}

void HelperInstaller::approved(Completion completion)
{
    setAwaitingApproval(false);
    Q_EMIT approvalGuideDismissed();
    Q_EMIT applicationActivationRequested();
    m_scheduler.runLater(std::chrono::milliseconds(600), this, [this, completion] {
        setInstalling(false);
        setHelperInstalled(true);
        checkHelperStatus();
        completion(true, QString());
    });
}

std::optional<QString> HelperInstaller::getHelperSourcePath() const
{
    for (const QString& candidate : m_environment.helperSourceCandidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            return info.absoluteFilePath();
        }
    }
    return std::nullopt;
}

void HelperInstaller::installWithPassword(Completion completion)
{
    QPointer<HelperInstaller> self(this);
    auto finish = [self, completion](bool success, QString message) {
        if (!self) {
            return;
        }
        self->setInstalling(false);
        self->setInstallationError(success ? QString() : message);
        if (success) {
            self->setHelperInstalled(true);
            self->checkHelperStatus();
        }
        completion(success, message);
    };
    const auto source = getHelperSourcePath();
    if (!source) {
        finish(false, u"Helper not found in app bundle"_s);
        return;
    }
    executeWithAdminPrivileges(
        createInstallScript(m_environment.systemRoot), { *source, m_environment.callerUserName }, std::move(finish));
}

void HelperInstaller::executeWithAdminPrivileges(
    const QString& script, const QStringList& arguments, Completion completion)
{
    // The script runs as root: it lives in a folder only we can enter, so no
    // other local process can swap it between writing and running.
    QByteArray folderTemplate = QFile::encodeName(QDir::tempPath() + u"/kestravin-install-XXXXXX"_s);
    if (::mkdtemp(folderTemplate.data()) == nullptr) {
        completion(false, u"Failed to write installation script: "_s + QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    const QString folder = QFile::decodeName(folderTemplate);
    const QString path
        = folder + u"/kestravin-install-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces) + u".sh"_s;
    auto removeScript = [folder, path] {
        QFile::remove(path);
        QDir().rmdir(folder);
    };
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly) && file.write(script.toUtf8()) >= 0 && file.commit();
    if (written) {
        written = QFile::setPermissions(path,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                | QFile::ReadOther | QFile::ExeOther);
    }
    if (!written) {
        const QString error = file.errorString();
        removeScript();
        completion(false, u"Failed to write installation script: "_s + error);
        return;
    }
    if (m_environment.confirmAdministratorPrompt && !m_environment.confirmAdministratorPrompt(administratorPrompt())) {
        removeScript();
        completion(false, u"cancel"_s);
        return;
    }
    QPointer<HelperInstaller> self(this);
    m_runner.runScript(path, arguments, [self, removeScript, completion](PrivilegedRunner::Result result) {
        removeScript();
        if (result.success) {
            printDiagnostic(
                u"Helper installation succeeded: "_s + (result.output.isEmpty() ? u"no output"_s : result.output));
            completion(true, QString());
        } else {
            printDiagnostic(
                u"Helper installation failed: "_s + (result.message.isEmpty() ? u"unknown error"_s : result.message));
            completion(false, result.message);
        }
    });
}

void HelperInstaller::uninstallHelper(Completion completion)
{
    QPointer<HelperInstaller> self(this);
    executeWithAdminPrivileges(
        createUninstallScript(m_environment.systemRoot), {}, [self, completion](bool success, QString message) {
            if (self && success) {
                self->setHelperInstalled(false);
                // No daemon is left to offer timed exceptions or browser sync.
                self->setCapabilities(false);
                self->m_connection.invalidateConnection();
            }
            completion(success, message);
        });
}

QString HelperInstaller::administratorPrompt()
{
    return u"O Kestravin vai instalar um pequeno ajudante do sistema para bloquear sites nos seus horários. Você só faz isso uma vez."_s;
}

namespace {
// A packaged file's text without its final line feed (the scripts' here
// documents add it back).
QString packagedFile(const QString& name)
{
    QFile file(u":/packaging/"_s + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString text = QString::fromUtf8(file.readAll());
    while (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text;
}
} // namespace

QString HelperInstaller::createSystemdUnit()
{
    return packagedFile(u"com.kestravin.helper.service"_s);
}

QString HelperInstaller::createDbusActivationFile()
{
    return packagedFile(u"com.kestravin.helper.dbus-service"_s);
}

QString HelperInstaller::createDbusPolicy(const QString& callerPlaceholder)
{
    QString policy = packagedFile(u"com.kestravin.helper.conf"_s);
    const QString caller = uR"(  <policy user="%1">
    <allow send_destination="%2" send_interface="%3"/>
  </policy>
)"_s.arg(callerPlaceholder, HelperConstants::machServiceName, HelperConstants::helperInterfaceName);
    const auto end = policy.lastIndexOf(u"</busconfig>"_s);
    if (end >= 0) {
        policy.insert(end, caller);
    }
    return policy;
}

QString HelperInstaller::createInstallScript(const QString& systemRoot)
{
    const QString root = systemRoot.isEmpty() ? QString() : shellQuoted(systemRoot);
    const QString installDir = QFileInfo(HelperConstants::helperInstallPath).path();
    const QString configDir = QFileInfo(HelperConstants::helperConfigPath).path();
    QStringList lines {
        u"#!/bin/bash"_s,
        u"set -e"_s,
        u""_s,
        u"# $1: the daemon executable to install; $2: the user allowed to call it."_s,
        u"SOURCE=\"$1\""_s,
        u"CALLER=\"$2\""_s,
        u"ROOT=%1"_s.arg(root.isEmpty() ? u"\"\""_s : root),
        u"if [ ! -f \"$SOURCE\" ]; then"_s,
        u"    echo \"Helper executable not found: $SOURCE\" >&2"_s,
        u"    exit 1"_s,
        u"fi"_s,
        u"case \"$CALLER\" in"_s,
        u"    \"\" | -* | *[!A-Za-z0-9_.-]*)"_s,
        u"        echo \"Invalid user name\" >&2"_s,
        u"        exit 1"_s,
        u"        ;;"_s,
        u"esac"_s,
        u""_s,
        u"# Create directories"_s,
        u"mkdir -p \"$ROOT%1\""_s.arg(installDir),
        u"mkdir -p \"$ROOT%1\""_s.arg(configDir),
        u"chmod 700 \"$ROOT%1\""_s.arg(configDir),
        u""_s,
        u"# Stop existing helper if running"_s,
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl stop %1 2>/dev/null || true"_s.arg(unitName),
        u"fi"_s,
        u""_s,
        u"# Install helper binary: a new file renamed over the old one, never written in place"_s,
        u"install -m 544 \"$SOURCE\" \"$ROOT%1.new\""_s.arg(HelperConstants::helperInstallPath),
        u"chown root:root \"$ROOT%1.new\""_s.arg(HelperConstants::helperInstallPath),
        u"mv -f \"$ROOT%1.new\" \"$ROOT%1\""_s.arg(HelperConstants::helperInstallPath),
        u""_s,
        u"# Write systemd unit"_s,
        u"mkdir -p \"$ROOT%1\""_s.arg(QFileInfo(HelperConstants::systemdUnitPath).path()),
        u"cat > \"$ROOT%1\" << 'UNIT_EOF'"_s.arg(HelperConstants::systemdUnitPath),
        createSystemdUnit(),
        u"UNIT_EOF"_s,
        u"chmod 644 \"$ROOT%1\""_s.arg(HelperConstants::systemdUnitPath),
        u"chown root:root \"$ROOT%1\""_s.arg(HelperConstants::systemdUnitPath),
        u""_s,
        u"# Write D-Bus policy and activation file"_s,
        u"mkdir -p \"$ROOT%1\""_s.arg(QFileInfo(HelperConstants::dbusPolicyPath).path()),
        u"cat > \"$ROOT%1\" << 'POLICY_EOF'"_s.arg(HelperConstants::dbusPolicyPath),
        createDbusPolicy(u"@CALLER@"_s),
        u"POLICY_EOF"_s,
        u"sed -i \"s/@CALLER@/$CALLER/\" \"$ROOT%1\""_s.arg(HelperConstants::dbusPolicyPath),
        u"mkdir -p \"$ROOT%1\""_s.arg(QFileInfo(HelperConstants::dbusActivationPath).path()),
        u"cat > \"$ROOT%1\" << 'ACTIVATION_EOF'"_s.arg(HelperConstants::dbusActivationPath),
        createDbusActivationFile(),
        u"ACTIVATION_EOF"_s,
        u"chmod 644 \"$ROOT%1\" \"$ROOT%2\""_s.arg(
            HelperConstants::dbusPolicyPath, HelperConstants::dbusActivationPath),
        u"chown root:root \"$ROOT%1\" \"$ROOT%2\""_s.arg(
            HelperConstants::dbusPolicyPath, HelperConstants::dbusActivationPath),
        u""_s,
        u"# Load the helper"_s,
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl daemon-reload"_s,
        u"    systemctl enable --now %1"_s.arg(unitName),
        u"fi"_s,
        u""_s,
        u"echo \"Helper installed successfully\""_s,
    };
    return lines.join(u'\n');
}

QString HelperInstaller::createUninstallScript(const QString& systemRoot)
{
    const QString root = systemRoot.isEmpty() ? QString() : shellQuoted(systemRoot);
    QStringList lines {
        u"#!/bin/bash"_s,
        u""_s,
        u"ROOT=%1"_s.arg(root.isEmpty() ? u"\"\""_s : root),
        u"HOSTS_FILE=\"$ROOT%1\""_s.arg(HelperConstants::hostsFilePath),
        u"MARKER_START=%1"_s.arg(shellQuoted(HelperConstants::blockMarkerStartHead)),
        u"MARKER_END=%1"_s.arg(shellQuoted(HelperConstants::blockMarkerEnd)),
        u""_s,
        u"# Removes every marked block section; a start marker without its end loses"_s,
        u"# only its own line, so the user's entries after it stay."_s,
        u"remove_block() {"_s,
        u"    grep -q \"^$MARKER_START\" \"$HOSTS_FILE\" 2>/dev/null || return 0"_s,
        u"    local tmp"_s,
        u"    tmp=\"$(mktemp \"$HOSTS_FILE.kestravin.XXXXXX\")\" || return 1"_s,
        u"    awk -v start=\"$MARKER_START\" -v end=\"$MARKER_END\" \\"_s,
        u"        'index($0, start) == 1 && !inblock { inblock = 1; n = 0; next }"_s,
        u"         inblock { buf[++n] = $0; if (index($0, end) == 1) { inblock = 0; n = 0 }; next }"_s,
        u"         { print }"_s,
        u"         END { if (inblock) for (i = 1; i <= n; i++) print buf[i] }' \"$HOSTS_FILE\" > \"$tmp\" || { rm -f \"$tmp\"; return 1; }"_s,
        u"    chmod 644 \"$tmp\""_s,
        u"    # A bind-mounted hosts file cannot be replaced; rewrite it in place then."_s,
        u"    mv -f \"$tmp\" \"$HOSTS_FILE\" 2>/dev/null || { cat \"$tmp\" > \"$HOSTS_FILE\"; rm -f \"$tmp\"; }"_s,
        u"}"_s,
        u""_s,
        u"# Lift the block first, so that nothing stays blocked whatever fails later"_s,
        u"if command -v dbus-send >/dev/null 2>&1; then"_s,
        u"    timeout 5 dbus-send --system --print-reply --dest=%1 %2 %3.uninstallHelper >/dev/null 2>&1 || true"_s.arg(
            HelperConstants::machServiceName, HelperConstants::helperObjectPath, HelperConstants::helperInterfaceName),
        u"fi"_s,
        u"remove_block"_s,
        u""_s,
        u"# Flush DNS"_s,
        u"if command -v resolvectl >/dev/null 2>&1; then timeout 5 resolvectl flush-caches 2>/dev/null || true; fi"_s,
        u"if command -v nscd >/dev/null 2>&1; then timeout 5 nscd --invalidate=hosts 2>/dev/null || true; fi"_s,
        u""_s,
        u"# Stop and disable the helper"_s,
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl disable --now %1 2>/dev/null || true"_s.arg(unitName),
        u"fi"_s,
        u""_s,
        u"# Remove files"_s,
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::helperInstallPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::systemdUnitPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::dbusPolicyPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::dbusActivationPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::helperConfigPath),
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl daemon-reload 2>/dev/null || true"_s,
        u"fi"_s,
        u""_s,
        u"# The helper may have written the section again before it stopped"_s,
        u"remove_block"_s,
        u""_s,
        u"echo \"Helper uninstalled successfully\""_s,
    };
    return lines.join(u'\n');
}

} // namespace kestravin
