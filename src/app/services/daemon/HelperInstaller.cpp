#include "app/services/daemon/HelperInstaller.h"

#include "app/platform/SharedInstance.h"
#include "app/services/daemon/HelperConnection.h"
#include "contract/HelperConstants.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
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

Q_LOGGING_CATEGORY(lcInstaller, "com.kestravin.app.HelperInstaller")

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

const QString HelperInstaller::unitName = HelperConstants::machServiceName + u".service"_s;

HelperInstaller::~HelperInstaller() = default;

HelperInstaller& HelperInstaller::shared()
{
    return SharedInstance<HelperInstaller>::get();
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
            qCInfo(lcInstaller).noquote() << u"HelperInstaller: registration failed: "_s + error;
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
            qCInfo(lcInstaller).noquote()
                << (u"Helper installation succeeded: "_s + (result.output.isEmpty() ? u"no output"_s : result.output));
            completion(true, QString());
        } else {
            qCInfo(lcInstaller).noquote()
                << u"Helper installation failed: "_s + (result.message.isEmpty() ? u"unknown error"_s : result.message);
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

} // namespace kestravin
