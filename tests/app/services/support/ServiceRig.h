#pragma once

#include "app/services/account/DesktopAccountService.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperConnection.h"
#include "app/services/daemon/HelperInstaller.h"

#include "FakeHelperDaemon.h"
#include "FakeTime.h"
#include "Fakes.h"
#include "PrivateBus.h"

#include <QTemporaryDir>

#include <memory>

namespace kestravin::testing {

// The blocking services wired together as the application wires them, with
// temporary hosts, data and system folders, a private bus and a fake clock.
class ServiceRig {
public:
    struct Options {
        // Whether the daemon counts as installed (its files exist under the
        // temporary system root, so the installer asks the daemon).
        bool installed = false;
        // The application was pointed at the daemon's bus: a daemon that
        // answers there counts as installed without any files.
        bool daemonBusChosen = false;
        // A scripted daemon on the rig's bus, present before the services
        // start (implies `installed`).
        bool fakeDaemon = false;
        // Written as config.json before the services start; none = no file.
        std::optional<QByteArray> configJson;
        // Initial content of the temporary hosts file.
        QByteArray hosts = "127.0.0.1 localhost\n";
        // Bus of the daemon; empty = a private bus of the rig's own.
        QString busAddress;
        QDateTime start = QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC); // a Sunday
        bool browserSync = false;
        // Used instead of the recording notification center.
        NotificationCenter* notifications = nullptr;
    };

    explicit ServiceRig(Options options);
    ServiceRig();
    ~ServiceRig();

    // Waits until the installer has heard the daemon answer with our version.
    bool waitForInstalledDaemon();
    // Waits until the daemon has handled, and the services have heard the
    // answer to, everything sent so far: the daemon takes one connection's
    // calls in order, so the answer to a version query sent now comes last.
    // The query itself is one more getHelperVersion call.
    bool syncWithDaemon();
    // Creates the schedule manager (it starts checking at once).
    ScheduleManager& startScheduleManager();

    QString hostsPath() const { return dir.filePath(u"hosts"_s); }
    QString dataFolder() const { return dir.filePath(u"data/Kestravin"_s); }
    QString configPath() const { return dataFolder() + u"/config.json"_s; }
    QString busAddress() const { return m_busAddress; }

    // A configuration with these sites and these hours on every day.
    static Configuration configurationWith(QStringList sites, bool enabled, int startHour = 9, int endHour = 17);

    Options options;
    QTemporaryDir dir;
    FakeTime time;
    std::unique_ptr<PrivateBus> ownBus;
    std::unique_ptr<FakeHelperDaemon> daemon;
    FakeRegistration registration;
    FakeRunner runner;
    FakeNotificationCenter notices;
    DesktopAccountService account;
    std::unique_ptr<HelperConnection> connection;
    std::unique_ptr<HelperInstaller> installer;
    std::unique_ptr<BlockingService> blocking;
    std::unique_ptr<ConfigurationManager> config;
    std::unique_ptr<ScheduleManager> schedule;

private:
    QString m_busAddress;
};

} // namespace kestravin::testing
