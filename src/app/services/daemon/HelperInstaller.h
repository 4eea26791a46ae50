#pragma once

#include "app/platform/Clock.h"
#include "app/platform/DaemonRegistration.h"
#include "app/platform/PrivilegedRunner.h"
#include "app/platform/Scheduler.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace kestravin {

class HelperConnection;

// Puts the daemon in place and tells the application whether a daemon of our
// version answers. Two routes install it: enabling the systemd unit that a
// distribution package shipped (the user approves in the system's
// authentication dialog), or the password route, which runs our install
// script as root through pkexec. After a failed status check it keeps
// re-checking every 3 s, at most 20 times in a row. It also follows the
// daemon's name on the bus, so a daemon that stops or comes back is checked
// again at once.
//
// "Installed" means installed and answering: the system's files decide
// whether the daemon is asked at all, except when the application was
// pointed at a bus of its own for the daemon (scripts/run's private
// system-type bus); there, a daemon of our version that answers counts.
class HelperInstaller : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isHelperInstalled READ isHelperInstalled NOTIFY isHelperInstalledChanged)
    Q_PROPERTY(QString installationError READ installationError NOTIFY installationErrorChanged)
    Q_PROPERTY(bool isInstalling READ isInstalling NOTIFY isInstallingChanged)
    Q_PROPERTY(bool supportsTemporaryAccess READ supportsTemporaryAccess NOTIFY supportsTemporaryAccessChanged)
    Q_PROPERTY(bool supportsBrowserSync READ supportsBrowserSync NOTIFY supportsBrowserSyncChanged)
    Q_PROPERTY(bool awaitingApproval READ awaitingApproval NOTIFY awaitingApprovalChanged)
public:
    using Completion = std::function<void(bool success, QString message)>;

    // Where the installer looks and what it runs; tests point it at a
    // temporary root.
    struct Environment {
        // Prefix of every system path the scripts touch or the checks read;
        // empty for the real system.
        QString systemRoot;
        // The daemon executables that may be installed, in order of preference.
        QStringList helperSourceCandidates;
        // The account that may call the daemon once installed.
        QString callerUserName;
        // The application was pointed at a bus of its own for the daemon: the
        // daemon is asked whatever the system's files say.
        bool daemonBusChosen = false;
        // Shows the administrator prompt text before the system asks for a
        // password; false when the user declined.
        std::function<bool(const QString& prompt)> confirmAdministratorPrompt;
    };

    static constexpr std::chrono::milliseconds recheckDelay { 3000 };
    static constexpr int maximumRechecks = 20;
    static constexpr std::chrono::milliseconds approvalPollInterval { 500 };
    static constexpr std::chrono::seconds approvalWait { 600 };

    HelperInstaller(HelperConnection& connection, DaemonRegistration& registration, PrivilegedRunner& runner,
        Clock& clock, Scheduler& scheduler, Environment environment, QObject* parent = nullptr);
    ~HelperInstaller() override;

    static HelperInstaller& shared();
    static Environment defaultEnvironment();
    // Whether the process was pointed at a system-type bus other than the
    // machine's own (DBUS_SYSTEM_BUS_ADDRESS).
    static bool systemBusOverridden();

    bool isHelperInstalled() const { return m_isHelperInstalled; }
    QString installationError() const { return m_installationError; }
    bool isInstalling() const { return m_isInstalling; }
    bool supportsTemporaryAccess() const { return m_supportsTemporaryAccess; }
    bool supportsBrowserSync() const { return m_supportsBrowserSync; }
    bool awaitingApproval() const { return m_awaitingApproval; }

    void checkHelperStatus();
    void installHelper(Completion completion);
    void uninstallHelper(Completion completion);

    // The text shown before the system's authentication prompt, for install
    // and uninstall alike.
    static QString administratorPrompt();
    // The scripts, with every system path under `systemRoot`. The install
    // script takes the daemon executable as $1 and the calling user as $2.
    static QString createInstallScript(const QString& systemRoot = {});
    static QString createUninstallScript(const QString& systemRoot = {});
    // The systemd unit of the password route.
    static QString createSystemdUnit();
    static QString createDbusActivationFile();
    // `callerPlaceholder` stands where the calling user goes.
    static QString createDbusPolicy(const QString& callerPlaceholder);

    bool legacyInstalled() const;
    int rechecks() const { return m_rechecks; }

Q_SIGNALS:
    void isHelperInstalledChanged();
    void installationErrorChanged();
    void isInstallingChanged();
    void supportsTemporaryAccessChanged();
    void supportsBrowserSyncChanged();
    void awaitingApprovalChanged();
    // The approval guide follows these two.
    void approvalGuideRequested();
    void approvalGuideDismissed();
    // Bring the application's window to the front.
    void applicationActivationRequested();

private:
    void scheduleRecheck();
    bool installWithApproval(Completion completion);
    void approved(Completion completion);
    void approvalStatusArrived(DaemonRegistration::Status status, const QDateTime& start, const Completion& completion);
    void installWithPassword(Completion completion);
    void executeWithAdminPrivileges(const QString& script, const QStringList& arguments, Completion completion);
    std::optional<QString> getHelperSourcePath() const;
    QString systemPath(const QString& path) const;

    void setHelperInstalled(bool value);
    void setInstallationError(const QString& value);
    void setInstalling(bool value);
    void setCapabilities(bool value);
    void setAwaitingApproval(bool value);

    HelperConnection& m_connection;
    DaemonRegistration& m_registration;
    PrivilegedRunner& m_runner;
    Clock& m_clock;
    Scheduler& m_scheduler;
    Environment m_environment;

    bool m_isHelperInstalled = false;
    QString m_installationError;
    bool m_isInstalling = false;
    bool m_supportsTemporaryAccess = false;
    bool m_supportsBrowserSync = false;
    bool m_awaitingApproval = false;
    std::unique_ptr<Timer> m_approvalTimer;
    // One status question at a time; a wait that ended ignores late answers.
    bool m_approvalQueryInFlight = false;
    int m_approvalWaitGeneration = 0;
    std::unique_ptr<Timer> m_recheck;
    int m_rechecks = 0;
};

} // namespace kestravin
