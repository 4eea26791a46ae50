#pragma once

#include "app/platform/Clock.h"
#include "app/platform/DaemonRegistration.h"
#include "app/platform/PrivilegedRunner.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/daemon/HelperConnection.h"
#include "app/services/daemon/HelperInstaller.h"

#include <QDBusConnection>
#include <QTemporaryDir>

namespace kestravin::tour {

using namespace Qt::StringLiterals;

// No daemon to register or run: the permission page reads "not installed".
class NoRegistration final : public DaemonRegistration {
public:
    Status status() override { return Status::notFound; }
    bool registerDaemon(QString*) override { return false; }
    void unregisterDaemon(std::function<void()> done) override { done(); }
    void openApprovalSettings() override { }
    bool bundlesDaemon() const override { return false; }
};

class NoRunner final : public PrivilegedRunner {
public:
    void runScript(const QString&, const QStringList&, Completion completion) override
    {
        completion({ false, {}, QStringLiteral("Não disponível na demonstração.") });
    }
};

// The services behind the screens of the tour, on a temporary folder: no real
// configuration, no network, no daemon. Five weekdays of hours, a few sites
// and apps chosen, and a handful of installed apps.
struct DemoServices {
    QTemporaryDir dir;
    NoRegistration registration;
    NoRunner runner;
    HelperConnection connection { [](const QString& name) {
                                     return QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, name);
                                 },
        Scheduler::system() };
    HelperInstaller installer { connection, registration, runner, Clock::system(), Scheduler::system(),
        HelperInstaller::Environment { dir.filePath(u"sys"_s), {}, u"tour"_s, false, {} } };
    BlockingService blocking { connection, installer, Clock::system(), Scheduler::system(),
        BlockingService::Paths { dir.filePath(u"hosts"_s), dir.filePath(u"data"_s) } };
    DesktopAccountService account;
    ConfigurationManager config { dir.filePath(u"data"_s), blocking, account, Clock::system(), Scheduler::system() };
    SiteIconStore icons { SiteIconStore::Options {
        dir.filePath(u"SiteIcons"_s), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    InstalledApps apps { [this] { return QStringList { dir.filePath(u"applications"_s) }; }, std::nullopt };

    DemoServices();
};

// The one set that most shots share.
DemoServices& demoServices();

} // namespace kestravin::tour
