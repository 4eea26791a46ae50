#include "app/services/daemon/HelperInstaller.h"

#include "app/platform/linux/SystemdRegistration.h"
#include "app/services/daemon/HelperConnection.h"
#include "contract/HelperConstants.h"

#include "EventLoop.h"
#include "FakeHelperDaemon.h"
#include "FakeTime.h"
#include "Fakes.h"
#include "PrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeHelperDaemon;
using testing::FakeTime;
using testing::Outcome;
using testing::PrivateBus;
using testing::waitUntil;
using Status = DaemonRegistration::Status;
using testing::FakeRegistration;
using testing::FakeRunner;

class HelperInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        ASSERT_TRUE(root.isValid());
        const QString address = bus.address();
        connection = std::make_unique<HelperConnection>(
            [address](const QString& name) { return QDBusConnection::connectToBus(address, name); }, time);
        helperSource = root.filePath(u"app/com.kestravin.helper"_s);
        QDir().mkpath(root.filePath(u"app"_s));
        environment.systemRoot = root.filePath(u"sys"_s);
        environment.helperSourceCandidates = { root.filePath(u"missing/com.kestravin.helper"_s), helperSource };
        environment.callerUserName = u"alice"_s;
        environment.confirmAdministratorPrompt = [this](const QString& prompt) {
            prompts << prompt;
            return true;
        };
    }

    std::unique_ptr<HelperInstaller> makeInstaller()
    {
        return std::make_unique<HelperInstaller>(*connection, registration, runner, time, time, environment);
    }

    void placeLegacyInstall()
    {
        for (const QString& path : { HelperConstants::helperInstallPath, HelperConstants::systemdUnitPath }) {
            const QString full = environment.systemRoot + path;
            QDir().mkpath(QFileInfo(full).path());
            QFile file(full);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }

    void placeHelperSource()
    {
        QFile file(helperSource);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    PrivateBus bus;
    QTemporaryDir root;
    FakeTime time;
    std::unique_ptr<HelperConnection> connection;
    FakeRegistration registration;
    FakeRunner runner;
    HelperInstaller::Environment environment;
    QString helperSource;
    QStringList prompts;
};

TEST_F(HelperInstallerTest, NothingInstalledMeansNoDaemonContactAndNoMessage)
{
    FakeHelperDaemon daemon(bus.address());
    auto installer = makeInstaller();
    testing::spin(100);
    EXPECT_FALSE(installer->isHelperInstalled());
    EXPECT_TRUE(installer->installationError().isNull());
    EXPECT_TRUE(daemon.calls().isEmpty());
    EXPECT_EQ(time.pending(), 0); // no re-check
}

TEST_F(HelperInstallerTest, OnTheChosenBusAnAnsweringDaemonCountsAndIsFollowed)
{
    environment.daemonBusChosen = true; // and no installed file at all
    auto daemon = std::make_unique<FakeHelperDaemon>(bus.address());
    auto installer = makeInstaller();
    EXPECT_FALSE(installer->isHelperInstalled()); // nothing to go by before the answer
    ASSERT_TRUE(waitUntil([&] { return installer->isHelperInstalled() && installer->supportsBrowserSync(); }));

    // It stops: noticed without any call of ours.
    daemon.reset();
    ASSERT_TRUE(waitUntil([&] { return !installer->isHelperInstalled(); }));
    EXPECT_FALSE(installer->installationError().isEmpty());
    EXPECT_FALSE(installer->supportsTemporaryAccess());

    // It comes back: installed again at once, re-check or not.
    daemon = std::make_unique<FakeHelperDaemon>(bus.address());
    ASSERT_TRUE(waitUntil([&] { return installer->isHelperInstalled() && installer->supportsBrowserSync(); }));
}

TEST_F(HelperInstallerTest, ADaemonOfOurVersionIsInstalledWithBothCapabilities)
{
    placeLegacyInstall();
    FakeHelperDaemon daemon(bus.address());
    auto installer = makeInstaller();
    EXPECT_TRUE(installer->isHelperInstalled()); // from the files, before the answer
    ASSERT_TRUE(waitUntil([&] { return installer->supportsBrowserSync(); }));
    EXPECT_TRUE(installer->supportsTemporaryAccess());
    EXPECT_TRUE(installer->isHelperInstalled());
}

TEST_F(HelperInstallerTest, AnotherVersionIsReCheckedEvery3sAtMost20TimesInARow)
{
    placeLegacyInstall();
    FakeHelperDaemon daemon(bus.address());
    daemon.setVersion(u"1.6.9"_s);
    auto installer = makeInstaller();
    ASSERT_TRUE(waitUntil([&] { return !installer->isHelperInstalled(); }));
    EXPECT_EQ(installer->installationError(), u"Helper version mismatch: installed=1.6.9, expected=1.7.0"_s);
    EXPECT_FALSE(installer->supportsTemporaryAccess());

    for (int i = 1; i <= 20; ++i) {
        // The answer of the previous check has scheduled this re-check.
        ASSERT_TRUE(waitUntil([&] { return installer->rechecks() == i; })) << "re-check " << i;
        time.advance(2999ms);
        testing::spin(5);
        EXPECT_EQ(daemon.count(u"getHelperVersion"_s), i);
        time.advance(1ms);
        ASSERT_TRUE(waitUntil([&] { return daemon.count(u"getHelperVersion"_s) == i + 1; })) << "re-check " << i;
    }
    testing::spin(100);
    time.advance(60s);
    testing::spin(100);
    EXPECT_EQ(daemon.count(u"getHelperVersion"_s), 21);
    EXPECT_EQ(installer->rechecks(), 20);

    // A later check that succeeds resets the count.
    daemon.setVersion(u"1.7.0"_s);
    installer->checkHelperStatus();
    ASSERT_TRUE(waitUntil([&] { return installer->isHelperInstalled(); }));
    EXPECT_EQ(installer->rechecks(), 0);
}

TEST_F(HelperInstallerTest, ASecondInstallWhileOneRunsIsRefused)
{
    placeHelperSource();
    auto installer = makeInstaller();
    Outcome first;
    Outcome second;
    installer->installHelper(first.recorder());
    installer->installHelper(second.recorder());
    EXPECT_EQ(second.calls, 1);
    EXPECT_FALSE(second.success);
    EXPECT_EQ(second.message, u"Installation already in progress"_s);
    EXPECT_EQ(runner.runs.size(), 1);
    EXPECT_EQ(prompts.size(), 1);
}

TEST_F(HelperInstallerTest, ApprovalRouteWaitsForTheUserAndGivesUpAfter600s)
{
    registration.bundled = true;
    registration.current = Status::notRegistered;
    auto installer = makeInstaller();
    int guideShown = 0;
    int guideClosed = 0;
    QObject::connect(installer.get(), &HelperInstaller::approvalGuideRequested, [&] { ++guideShown; });
    QObject::connect(installer.get(), &HelperInstaller::approvalGuideDismissed, [&] { ++guideClosed; });

    Outcome outcome;
    installer->installHelper(outcome.recorder());
    EXPECT_TRUE(installer->isInstalling());
    EXPECT_TRUE(installer->awaitingApproval());
    EXPECT_EQ(guideShown, 1);
    EXPECT_EQ(registration.settingsOpened, 1);
    EXPECT_TRUE(runner.runs.isEmpty());

    time.advance(600s);
    EXPECT_EQ(outcome.calls, 0);
    time.advance(500ms); // the first poll after 600 s
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.message, u"cancel"_s);
    EXPECT_FALSE(installer->isInstalling());
    EXPECT_FALSE(installer->awaitingApproval());
    EXPECT_EQ(guideClosed, 1);
    EXPECT_TRUE(installer->installationError().isNull()); // "cancel" is not stored
    EXPECT_TRUE(time.activeIntervals().empty());
}

TEST_F(HelperInstallerTest, ADismissedAuthenticationDialogEndsTheWaitAtTheNextPoll)
{
    registration.bundled = true;
    registration.current = Status::notRegistered;
    auto installer = makeInstaller();
    int guideClosed = 0;
    QObject::connect(installer.get(), &HelperInstaller::approvalGuideDismissed, [&] { ++guideClosed; });
    Outcome outcome;
    installer->installHelper(outcome.recorder());
    time.advance(30s);
    ASSERT_TRUE(installer->awaitingApproval());
    registration.current = Status::notRegistered; // the user closed the dialog
    time.advance(500ms);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.message, u"cancel"_s);
    EXPECT_FALSE(installer->isInstalling());
    EXPECT_FALSE(installer->awaitingApproval());
    EXPECT_EQ(guideClosed, 1);
    EXPECT_TRUE(time.activeIntervals().empty());

    // A new attempt asks again instead of finding one still under way.
    Outcome again;
    installer->installHelper(again.recorder());
    EXPECT_EQ(again.calls, 0);
    EXPECT_EQ(registration.registrations, 2);
}

TEST_F(HelperInstallerTest, TheApprovalWaitAsksWithoutHoldingTheGuiAndFollowsTheAnswer)
{
    registration.bundled = true;
    registration.current = Status::notRegistered;
    registration.answerLater = true;
    auto installer = makeInstaller();
    Outcome outcome;
    installer->installHelper(outcome.recorder());
    ASSERT_TRUE(installer->awaitingApproval());
    const int asked = registration.blockingStatusCalls;

    // A slow answer: the polls go on without waiting and without piling up.
    time.advance(2s);
    EXPECT_EQ(registration.blockingStatusCalls, asked);
    ASSERT_EQ(registration.pendingQueries.size(), 1);
    registration.pendingQueries.takeFirst()(Status::requiresApproval);
    EXPECT_TRUE(installer->awaitingApproval());
    time.advance(500ms);
    ASSERT_EQ(registration.pendingQueries.size(), 1);

    // The answer drives the wait as the status did.
    registration.current = Status::enabled;
    registration.pendingQueries.takeFirst()(Status::enabled);
    EXPECT_FALSE(installer->awaitingApproval());
    time.advance(600ms);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.success);

    // The wait is over: no further question.
    time.advance(500ms);
    EXPECT_TRUE(registration.pendingQueries.isEmpty());
}

// systemd's manager on a private bus, answering the unit-file query late.
class SlowSystemd final : public QDBusVirtualObject {
public:
    SlowSystemd(QDBusConnection connection, QString state) : m_connection(connection), m_state(std::move(state)) { }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override
    {
        if (message.member() != u"GetUnitFileState"_s) {
            return false;
        }
        QTimer::singleShot(300, this, [this, message] { m_connection.send(message.createReply(m_state)); });
        return true;
    }

private:
    QDBusConnection m_connection;
    QString m_state;
};

TEST_F(HelperInstallerTest, SystemdStatusIsAskedWithoutWaiting)
{
    const QString unitFile = root.filePath(u"com.kestravin.helper.service"_s);
    QFile unit(unitFile);
    ASSERT_TRUE(unit.open(QIODevice::WriteOnly));
    unit.close();
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), u"systemd-client"_s);
    SystemdRegistration systemdUnit(client, u"com.kestravin.helper.service"_s, unitFile);

    // No systemd on the bus: not registered, without a wait either.
    std::optional<Status> answer;
    systemdUnit.queryStatus([&](Status status) { answer = status; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, Status::notRegistered);

    {
        QDBusConnection service = QDBusConnection::connectToBus(bus.address(), u"systemd-service"_s);
        SlowSystemd systemd(service, u"enabled"_s);
        ASSERT_TRUE(service.registerVirtualObject(u"/org/freedesktop/systemd1"_s, &systemd));
        ASSERT_TRUE(service.registerService(u"org.freedesktop.systemd1"_s));
        answer.reset();
        // The slow answer comes later, never while the caller waits.
        systemdUnit.queryStatus([&](Status status) { answer = status; });
        EXPECT_FALSE(answer.has_value());
        ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
        EXPECT_EQ(*answer, Status::enabled);
        service.unregisterObject(u"/org/freedesktop/systemd1"_s);
    }
    QDBusConnection::disconnectFromBus(u"systemd-service"_s);
    QDBusConnection::disconnectFromBus(u"systemd-client"_s);
}

TEST_F(HelperInstallerTest, ApprovalGrantedCompletesAfterTheShortPause)
{
    FakeHelperDaemon daemon(bus.address());
    registration.bundled = true;
    registration.current = Status::notRegistered;
    auto installer = makeInstaller();
    int activations = 0;
    QObject::connect(installer.get(), &HelperInstaller::applicationActivationRequested, [&] { ++activations; });
    Outcome outcome;
    installer->installHelper(outcome.recorder());
    time.advance(2s);
    registration.current = Status::enabled; // the user approved
    time.advance(500ms);
    EXPECT_FALSE(installer->awaitingApproval());
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(outcome.calls, 0);
    time.advance(600ms);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.success);
    EXPECT_TRUE(installer->isHelperInstalled());
    EXPECT_FALSE(installer->isInstalling());
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"getHelperVersion"_s) >= 1; }));
}

TEST_F(HelperInstallerTest, AnEnabledButSilentRegistrationIsStartedOver)
{
    registration.bundled = true;
    registration.current = Status::enabled;
    registration.afterRegister = Status::requiresApproval;
    auto installer = makeInstaller(); // no daemon answers on the bus
    Outcome outcome;
    installer->installHelper(outcome.recorder());
    EXPECT_EQ(registration.events, (QStringList { u"unregister"_s, u"register"_s }));
    EXPECT_TRUE(installer->awaitingApproval());
}

TEST_F(HelperInstallerTest, RegistrationRefusedFallsBackToThePasswordRoute)
{
    placeHelperSource();
    registration.bundled = true;
    registration.current = Status::notRegistered;
    registration.afterRegister = Status::notRegistered;
    auto installer = makeInstaller();
    Outcome outcome;
    installer->installHelper(outcome.recorder());
    EXPECT_FALSE(installer->awaitingApproval());
    ASSERT_EQ(runner.runs.size(), 1);
}

TEST_F(HelperInstallerTest, PasswordRouteRunsTheScriptFromAPrivateFolder)
{
    placeHelperSource();
    FakeHelperDaemon daemon(bus.address());
    auto installer = makeInstaller();
    Outcome outcome;
    installer->installHelper(outcome.recorder());
    ASSERT_EQ(runner.runs.size(), 1);
    const auto& run = runner.runs.first();
    EXPECT_EQ(run.arguments, (QStringList { QFileInfo(helperSource).absoluteFilePath(), u"alice"_s }));
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
        | QFile::ExeOther;
    EXPECT_EQ(run.folderPermissions & others, QFile::Permissions());
    EXPECT_TRUE(run.folderPermissions.testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(QFileInfo(run.path).fileName().startsWith(u"kestravin-install-"_s));
    EXPECT_TRUE(run.path.endsWith(u".sh"_s));
    EXPECT_EQ(run.script, HelperInstaller::createInstallScript(environment.systemRoot));
    EXPECT_EQ(prompts, QStringList { HelperInstaller::administratorPrompt() });

    placeLegacyInstall(); // what the script would have put in place
    runner.finish(true);
    EXPECT_FALSE(QFileInfo::exists(run.path));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(run.path).path()));
    EXPECT_TRUE(outcome.success);
    EXPECT_TRUE(installer->isHelperInstalled());
    EXPECT_FALSE(installer->isInstalling());
    EXPECT_TRUE(installer->installationError().isNull());
    ASSERT_TRUE(waitUntil([&] { return installer->supportsBrowserSync(); }));
}

TEST_F(HelperInstallerTest, PasswordRouteFailuresAreStored)
{
    auto installer = makeInstaller();
    Outcome missing;
    installer->installHelper(missing.recorder());
    EXPECT_EQ(missing.message, u"Helper not found in app bundle"_s);
    EXPECT_EQ(installer->installationError(), u"Helper not found in app bundle"_s);
    EXPECT_FALSE(installer->isInstalling());

    placeHelperSource();
    Outcome refused;
    installer->installHelper(refused.recorder());
    runner.finish(false, u"Request dismissed"_s);
    EXPECT_FALSE(refused.success);
    EXPECT_EQ(refused.message, u"Request dismissed"_s);
    EXPECT_EQ(installer->installationError(), u"Request dismissed"_s);
    EXPECT_FALSE(installer->isHelperInstalled());

    // The user declines our own prompt: the system is never asked.
    environment.confirmAdministratorPrompt = [](const QString&) { return false; };
    auto declining = makeInstaller();
    Outcome declined;
    declining->installHelper(declined.recorder());
    EXPECT_EQ(declined.message, u"cancel"_s);
    EXPECT_EQ(runner.runs.size(), 1);
}

TEST_F(HelperInstallerTest, UninstallClearsTheCapabilitiesAndDropsTheConnection)
{
    placeLegacyInstall();
    FakeHelperDaemon daemon(bus.address());
    auto installer = makeInstaller();
    ASSERT_TRUE(waitUntil([&] { return installer->supportsTemporaryAccess(); }));
    const int opened = connection->connectionsOpened();

    Outcome outcome;
    installer->uninstallHelper(outcome.recorder());
    ASSERT_EQ(runner.runs.size(), 1);
    EXPECT_EQ(runner.runs.first().script, HelperInstaller::createUninstallScript(environment.systemRoot));
    EXPECT_EQ(prompts, QStringList { HelperInstaller::administratorPrompt() });
    runner.finish(true);
    EXPECT_TRUE(outcome.success);
    EXPECT_FALSE(installer->isHelperInstalled());
    EXPECT_FALSE(installer->supportsTemporaryAccess());
    EXPECT_FALSE(installer->supportsBrowserSync());

    Outcome next;
    connection->checkHelperStatus(next.recorder());
    ASSERT_TRUE(waitUntil([&] { return next.calls > 0; }));
    EXPECT_EQ(connection->connectionsOpened(), opened + 1);
}

} // namespace
} // namespace kestravin
