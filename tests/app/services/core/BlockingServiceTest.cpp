#include "app/services/core/BlockingService.h"

#include "app/models/SiteCatalog.h"
#include "app/services/core/AppEvents.h"

#include "EventLoop.h"
#include "ServiceRig.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::ServiceRig;
using testing::waitUntil;

const QByteArray fullMarker = "# Kestravin START - DO NOT EDIT THIS SECTION";

struct Done {
    int calls = 0;
    bool success = false;
    BlockingService::Completion recorder()
    {
        return [this](bool ok) {
            ++calls;
            success = ok;
        };
    }
};

ServiceRig::Options daemonRig()
{
    ServiceRig::Options options;
    options.fakeDaemon = true;
    options.configJson = ServiceRig::configurationWith({ u"a.example"_s }, false).toJsonBytes();
    return options;
}

TEST(BlockingServiceWithoutDaemon, TheHostsFileTellsWhetherTheBlockIsInForce)
{
    struct Case {
        QByteArray hosts;
        bool blocking;
    };
    const QList<Case> cases {
        { "127.0.0.1 localhost\n" + fullMarker + "\n1 x\n# Kestravin END\n", true },
        { "127.0.0.1 localhost # " + fullMarker + " in the middle\n", true },
        { "# Kestravin START\n# Kestravin END\n", false },
        { "", false },
    };
    for (const auto& c : cases) {
        ServiceRig::Options options;
        options.hosts = c.hosts;
        ServiceRig rig(options);
        EXPECT_EQ(rig.blocking->isBlocking(), c.blocking) << c.hosts.constData();
        EXPECT_EQ(rig.blocking->status(), c.blocking ? BlockingStatus::active() : BlockingStatus::inactive());
    }

    ServiceRig rig;
    QFile::remove(rig.hostsPath());
    rig.blocking->checkCurrentStatus();
    EXPECT_EQ(rig.blocking->status(), BlockingStatus::error(u"Cannot read hosts file"_s));
}

TEST(BlockingServiceWithoutDaemon, ActivationAsksForTheMissingPermission)
{
    ServiceRig rig;
    rig.blocking->activateBlocking({ u"a.example"_s });
    EXPECT_EQ(rig.blocking->status(), BlockingStatus::error(BlockingService::notInstalledMessage));
    EXPECT_FALSE(rig.blocking->isBlocking());

    Done timed;
    rig.blocking->activateBlockingWithScheduledEnd({ u"a.example"_s }, 5, timed.recorder());
    EXPECT_EQ(timed.calls, 1);
    EXPECT_FALSE(timed.success);
    EXPECT_EQ(rig.blocking->status().message(), BlockingService::notInstalledMessage);
}

TEST(BlockingServiceWithDaemon, ATimedBlockIsHeldByTheDaemonUntilItsEnd)
{
    ServiceRig rig(daemonRig());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;

    Done refused;
    rig.blocking->activateBlockingWithScheduledEnd({ u"a.example"_s }, 0, refused.recorder());
    EXPECT_EQ(refused.calls, 1);
    EXPECT_FALSE(refused.success);

    Done done;
    const QDateTime requested = rig.time.now();
    rig.blocking->activateBlockingWithScheduledEnd({ u"a.example"_s }, 25, done.recorder());
    ASSERT_TRUE(waitUntil([&] { return done.calls == 1; }));
    EXPECT_TRUE(done.success);
    EXPECT_TRUE(rig.blocking->isBlocking());
    // A fresh state first, then the block with its end, in seconds since 1970.
    const auto calls = daemon.calls();
    ASSERT_EQ(daemon.methods().mid(daemon.methods().size() - 2),
        (QStringList { u"isBlockingActive"_s, u"activateBlockingUntil"_s }));
    EXPECT_EQ(calls.last().arguments.at(0).toStringList(), SiteCatalog::systemHosts({ u"a.example"_s }));
    EXPECT_DOUBLE_EQ(calls.last().arguments.at(1).toDouble(), double(requested.toSecsSinceEpoch() + 25 * 60));
    EXPECT_EQ(rig.blocking->manualBlockEnd(), requested.addSecs(25 * 60));

    // At the end the daemon has lifted the block; the service finds it out.
    int statusChanges = 0;
    QObject::connect(
        &AppEvents::shared(), &AppEvents::blockingStatusChanged, rig.blocking.get(), [&] { ++statusChanges; });
    daemon.setBlockingActive(false);
    rig.time.advance(25min - 1ms);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_TRUE(rig.blocking->isBlocking());
    rig.time.advance(1ms);
    ASSERT_TRUE(waitUntil([&] { return !rig.blocking->isBlocking(); }));
    EXPECT_EQ(statusChanges, 1);
    EXPECT_EQ(rig.blocking->status(), BlockingStatus::inactive());
}

TEST(BlockingServiceWithDaemon, AFocusUnderAScheduledBlockStillSendsItsOwnEnd)
{
    ServiceRig rig(daemonRig());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    ASSERT_FALSE(rig.blocking->isBlocking());

    // The schedule started a block since the last check: the focus still
    // reaches the daemon with its end, which the daemon holds past the hours.
    daemon.setBlockingActive(true);
    const QDateTime requested = rig.time.now();
    Done started;
    rig.blocking->activateBlockingWithScheduledEnd({ u"a.example"_s }, 120, started.recorder());
    ASSERT_TRUE(waitUntil([&] { return started.calls == 1; }));
    EXPECT_TRUE(started.success);
    EXPECT_TRUE(rig.blocking->isBlocking());
    ASSERT_EQ(daemon.count(u"activateBlockingUntil"_s), 1);
    EXPECT_DOUBLE_EQ(
        daemon.calls().last().arguments.at(1).toDouble(), double(requested.addSecs(120 * 60).toSecsSinceEpoch()));
    EXPECT_EQ(rig.blocking->manualBlockEnd(), requested.addSecs(120 * 60));
}

TEST(BlockingServiceWithDaemon, ASecondActivationWhileOneIsOnItsWaySendsNothing)
{
    ServiceRig rig(daemonRig());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    // Only the activation waits, so that the sync point below gets through.
    daemon.setHoldReplies(true, { u"activateBlocking"_s });
    rig.blocking->activateBlocking({ u"a.example"_s });
    rig.blocking->activateBlocking({ u"b.example"_s });
    Done timed;
    rig.blocking->activateBlockingWithScheduledEnd({ u"a.example"_s }, 5, timed.recorder());
    EXPECT_EQ(timed.calls, 1);
    EXPECT_FALSE(timed.success);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"activateBlocking"_s) == 1; }));
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"activateBlocking"_s), 1);
    daemon.setHoldReplies(false);
    daemon.releaseHeld();
    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));
    rig.blocking->activateBlocking({ u"b.example"_s });
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"activateBlocking"_s) == 2; }));
}

TEST(BlockingServiceWithDaemon, ABlockAppliedAfterTheTimeOutIsAdoptedWithItsEnd)
{
    ServiceRig rig(daemonRig());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    QList<QDateTime> adopted;
    QObject::connect(
        rig.blocking.get(), &BlockingService::timedBlockAdopted, [&](const QDateTime& end) { adopted << end; });

    ASSERT_TRUE(rig.syncWithDaemon());
    const int queries = daemon.count(u"isBlockingActive"_s);
    const QDateTime requested = rig.time.now();
    Done done;
    daemon.setHoldReplies(true, { u"activateBlockingUntil"_s });
    rig.blocking->activateBlockingWithScheduledEnd({ u"a.example"_s }, 30, done.recorder());
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"isBlockingActive"_s) == queries + 1; }));
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"activateBlockingUntil"_s) == 1; }));
    rig.time.advance(10s);
    ASSERT_EQ(done.calls, 1);
    EXPECT_FALSE(done.success);
    EXPECT_EQ(rig.blocking->status(), BlockingStatus::error(u"O ajudante de bloqueio não respondeu."_s));

    // The daemon gets to it late; the next re-check finds the block.
    daemon.setHoldReplies(false);
    daemon.releaseHeld();
    ASSERT_TRUE(waitUntil([&] { return daemon.blockingActive(); }));
    rig.time.advance(500ms);
    ASSERT_TRUE(waitUntil([&] { return !adopted.isEmpty(); }));
    EXPECT_EQ(adopted.first(), requested.addSecs(30 * 60));
    EXPECT_TRUE(rig.blocking->isBlocking());
    EXPECT_EQ(rig.blocking->manualBlockEnd(), requested.addSecs(30 * 60));
    EXPECT_EQ(done.calls, 1);
}

TEST(BlockingServiceWithDaemon, OnlyTheLatestRefreshRequestReChecks)
{
    ServiceRig rig(daemonRig());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    auto& daemon = *rig.daemon;
    ASSERT_TRUE(rig.syncWithDaemon());
    const int before = daemon.count(u"isBlockingActive"_s);
    rig.blocking->refreshSoon();
    rig.time.advance(2s);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"isBlockingActive"_s) == before + 2; }));
    rig.blocking->refreshSoon(); // silences the 3, 6 and 10 s checks of the first
    for (const auto& [step, expected] : std::initializer_list<std::pair<int, int>> {
             { 500, 3 }, { 1000, 4 }, { 1500, 5 }, { 3000, 6 }, { 4000, 7 }, { 20000, 7 } }) {
        rig.time.advance(std::chrono::milliseconds(step));
        ASSERT_TRUE(waitUntil([&] { return daemon.count(u"isBlockingActive"_s) == before + expected; }))
            << "after " << step;
    }
}

TEST(BlockingServiceWithDaemon, TheScheduleHandedOverIsTheDerivedConfiguration)
{
    ServiceRig rig(daemonRig());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    const Configuration configuration = ServiceRig::configurationWith({ u"x.com"_s, u"bad host"_s }, true, 8, 12);
    rig.blocking->syncScheduleToHelper(configuration);
    ASSERT_TRUE(waitUntil([&] { return rig.daemon->count(u"updateSchedule"_s) == 1; }));
    const auto call = rig.daemon->calls().last();
    const auto sent = HelperScheduleConfig::fromJsonBytes(call.arguments.at(0).toByteArray());
    ASSERT_TRUE(sent.has_value());
    EXPECT_TRUE(sent->sameSchedule(configuration.helperScheduleConfig()));
    EXPECT_EQ(call.arguments.at(1).toStringList(), configuration.helperScheduleConfig().blockedSites);
    EXPECT_FALSE(call.arguments.at(1).toStringList().contains(u"bad host"_s));
}

// The manual scripts, run with bash against a temporary hosts file and a
// `sudo` that just runs the command.
class ManualScriptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bin = rig.dir.filePath(u"bin"_s);
        QDir().mkpath(bin);
        QFile sudo(bin + u"/sudo"_s);
        ASSERT_TRUE(sudo.open(QIODevice::WriteOnly));
        sudo.write("#!/bin/sh\nexec \"$@\"\n");
        sudo.close();
        sudo.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    std::pair<int, QString> run(const QString& script, const QStringList& arguments = {})
    {
        QProcess process;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PATH"_s, bin + u":"_s + env.value(u"PATH"_s));
        env.insert(u"XDG_DATA_HOME"_s, rig.dir.filePath(u"data"_s));
        process.setProcessEnvironment(env);
        process.start(u"/bin/bash"_s, QStringList { rig.dataFolder() + u"/"_s + script } + arguments);
        process.waitForFinished(30000);
        return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed() };
    }

    QByteArray hosts()
    {
        QFile file(rig.hostsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void setHosts(const QByteArray& text)
    {
        QFile file(rig.hostsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    ServiceRig rig { [] {
        ServiceRig::Options options;
        options.configJson
            = Configuration({ u"a.example"_s, u"evil.example\n1.2.3.4 bank.example"_s }, Schedule(), false)
                  .toJsonBytes();
        return options;
    }() };
    QString bin;
};

TEST_F(ManualScriptsTest, ScriptsAreWrittenExecutableWithoutAFinalLineFeedAtEveryStart)
{
    for (const QString& name : { u"focus-helper.sh"_s, u"deactivate.sh"_s }) {
        const QString path = rig.dataFolder() + u"/"_s + name;
        struct stat info { };
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0755u) << name.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray text = file.readAll();
        EXPECT_FALSE(text.endsWith('\n'));
        EXPECT_TRUE(text.startsWith("#!/bin/bash\n"));
        file.resize(0);
        file.write("changed by the user");
    }
    BlockingService again(*rig.connection, *rig.installer, rig.time, rig.time,
        BlockingService::Paths { rig.hostsPath(), rig.dataFolder() });
    QFile file(rig.dataFolder() + u"/focus-helper.sh"_s);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), BlockingService::focusHelperScript(rig.hostsPath(), {}));
}

TEST_F(ManualScriptsTest, FocusHelperActivatesReportsAndDeactivates)
{
    // The script writes the hosts the application handed it last.
    rig.blocking->syncScheduleToHelper(
        Configuration({ u"a.example"_s, u"evil.example\n1.2.3.4 bank.example"_s }, Schedule(), false));
    EXPECT_EQ(run(u"focus-helper.sh"_s, { u"status"_s }), std::make_pair(1, u"Blocking is INACTIVE"_s));
    EXPECT_EQ(run(u"focus-helper.sh"_s, { u"activate"_s }), std::make_pair(0, u"Blocking ACTIVATED"_s));
    // Only plain host names reach the file.
    EXPECT_EQ(
        hosts(), "127.0.0.1 localhost\n\n" + fullMarker + "\n127.0.0.1 a.example\n::1 a.example\n# Kestravin END\n");
    // A second activation replaces the section instead of adding one.
    EXPECT_EQ(run(u"focus-helper.sh"_s, { u"activate"_s }).first, 0);
    EXPECT_EQ(hosts().count(fullMarker), 1);
    EXPECT_EQ(run(u"focus-helper.sh"_s, { u"status"_s }), std::make_pair(0, u"Blocking is ACTIVE"_s));
    EXPECT_EQ(run(u"focus-helper.sh"_s, { u"deactivate"_s }), std::make_pair(0, u"Blocking DEACTIVATED"_s));
    EXPECT_FALSE(hosts().contains("Kestravin"));
    EXPECT_TRUE(hosts().startsWith("127.0.0.1 localhost\n"));
    const auto usage = run(u"focus-helper.sh"_s);
    EXPECT_EQ(usage.first, 1);
    EXPECT_TRUE(usage.second.startsWith(u"Usage: "_s));
    EXPECT_TRUE(usage.second.endsWith(u" {status|activate|deactivate}"_s));
}

TEST_F(ManualScriptsTest, DeactivateRemovesTheSectionButNeverTheUsersLines)
{
    setHosts("a\n" + fullMarker + "\n1 x\n# Kestravin END\nb\n");
    EXPECT_EQ(run(u"deactivate.sh"_s), std::make_pair(0, u"Blocking DEACTIVATED"_s));
    EXPECT_EQ(hosts(), "a\nb\n");
    // A start marker without an end after it: the lines after it stay, also
    // behind a complete section, and with either script.
    const QList<std::pair<QByteArray, QByteArray>> dangling {
        { "a\n" + fullMarker + "\nmine 1\nmine 2\n", "a\nmine 1\nmine 2\n" },
        { "a\n" + fullMarker + "\n1 x\n# Kestravin END\nmine 1\n" + fullMarker + "\nmine 2\n", "a\nmine 1\nmine 2\n" },
        { "a\n" + fullMarker + "\n", "a\n" },
    };
    for (const auto& [before, after] : dangling) {
        for (const auto& [script, arguments] : { std::pair { u"deactivate.sh"_s, QStringList() },
                 std::pair { u"focus-helper.sh"_s, QStringList { u"deactivate"_s } } }) {
            setHosts(before);
            EXPECT_EQ(run(script, arguments).first, 0);
            EXPECT_EQ(hosts(), after) << script.toStdString() << ": " << before.constData();
        }
    }
}

} // namespace
} // namespace kestravin
