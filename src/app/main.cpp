#include "app/services/account/DesktopAccountService.h"
#include "app/services/analytics/ProductAnalytics.h"
#include "app/services/update/BundleUpdateDriver.h"
#include "app/services/update/InstallLocation.h"
#include "app/shell/AppShell.h"
#include "app/shell/LiveShellServices.h"
#include "app/shell/MoveOffer.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/TerminationSignals.h"

#include <QApplication>
#include <QDBusConnection>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestravin;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(u"Kestravin"_s);
    QApplication::setApplicationName(u"Kestravin"_s);
    QApplication::setApplicationVersion(QStringLiteral(KESTRAVIN_VERSION));
    QApplication::setDesktopFileName(u"com.kestravin.app"_s);
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = app.arguments().mid(1);
    QDBusConnection session = QDBusConnection::sessionBus();

    // A bundle opened from a removable or temporary place only offers to move
    // itself. It does this before the single-instance check: an installed
    // copy that runs is asked to quit, not handed this start.
    if (const auto bundle = InstallLocation::runningBundle();
        bundle && InstallLocation::needsMove(*bundle, InstallLocation::currentEnvironment())) {
        LiveMoveServices move(session);
        InstallLocation::offerMove(*bundle, InstallLocation::currentEnvironment(), move);
        return 0;
    }

    SingleInstance instance(session);
    if (session.isConnected() && !instance.claim()) {
        QString error;
        if (SingleInstance::handOver(session, arguments, &error)) {
            return 0;
        }
        std::fprintf(
            stderr, "kestravin: another instance holds com.kestravin.app but did not answer: %s\n", qPrintable(error));
        return 1;
    }
    if (!session.isConnected()) {
        std::fprintf(stderr, "kestravin: no session bus; running without the tray watcher and single instance\n");
    }

    const auto accountUserId = []() -> std::optional<QString> {
        const auto& snapshot = DesktopAccountService::shared().snapshot();
        if (!snapshot || snapshot->user.id.isEmpty()) {
            return std::nullopt;
        }
        return snapshot->user.id;
    };
    ProductAnalytics::configure(
        { ProductAnalytics::configuredCaptureBase(), accountUserId, QApplication::applicationVersion() });

    // The updater's relaunch lets the name go so that the new process takes it.
    BundleUpdateDriver::setInstanceHandOff([&instance] { instance.release(); }, [&instance] { instance.claim(); });
    QObject::connect(&instance, &SingleInstance::quitRequested, &app, [] { QCoreApplication::quit(); });

    LiveShellServices services(session);
    AppShell shell(services, Scheduler::system());
    QObject::connect(&instance, &SingleInstance::activateRequested, &shell, &AppShell::reopen);
    QObject::connect(&instance, &SingleInstance::openRequested, &shell, &AppShell::openUrls);

    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app, [] { QCoreApplication::quit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &shell, &AppShell::terminate);

    shell.start();
    if (!arguments.isEmpty()) {
        // Started by the desktop for a link: answer it as a running one would.
        shell.openUrls(arguments);
    }
    return QApplication::exec();
}
