#include "app/services/core/ConfigurationManager.h"

#include "app/models/SiteCatalog.h"

#include "EventLoop.h"
#include "FakeHelperDaemon.h"
#include "ServiceRig.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeHelperDaemon;
using testing::readFile;
using testing::ServiceRig;
using testing::waitUntil;

ServiceRig::Options withConfig(const Configuration& configuration)
{
    ServiceRig::Options options;
    options.configJson = configuration.toJsonBytes();
    return options;
}

TEST(ConfigurationManagerLoad, AMissingFileIsAFreshInstallWrittenPrettyWithSortedKeys)
{
    ServiceRig rig;
    EXPECT_TRUE(rig.config->isFreshInstall());
    EXPECT_EQ(rig.config->configuration(), Configuration::defaultConfig());
    const QByteArray written = readFile(rig.configPath());
    EXPECT_EQ(written, Configuration::defaultConfig().toJsonBytes(QJsonDocument::Indented));
    EXPECT_TRUE(written.startsWith("{\n    \"blockedApps\": ["));
    EXPECT_LT(written.indexOf("\"blockedSites\""), written.indexOf("\"enabled\""));
}

TEST(ConfigurationManagerLoad, AFileThatDoesNotDecodeIsMovedAsideBeforeDefaultsAreWritten)
{
    ServiceRig::Options options;
    options.configJson = "{\"blockedSites\": [\"mine.example\"], \"enabled\": tru";
    ServiceRig rig(options);
    EXPECT_FALSE(rig.config->isFreshInstall());
    EXPECT_TRUE(rig.config->loadError().isEmpty());
    EXPECT_EQ(rig.config->configuration(), Configuration::defaultConfig());
    const QStringList aside = QDir(rig.dataFolder()).entryList({ u"config.json.corrupt-*"_s });
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(aside.first(), u"config.json.corrupt-20260301T100000Z"_s);
    EXPECT_EQ(readFile(rig.dataFolder() + u"/"_s + aside.first()), *options.configJson);
    EXPECT_EQ(readFile(rig.configPath()), Configuration::defaultConfig().toJsonBytes(QJsonDocument::Indented));
}

TEST(ConfigurationManagerLoad, AFileThatCannotBeReadIsNeverOverwritten)
{
    ServiceRig::Options options;
    ServiceRig rig(options);
    // A folder where the file should be: it exists, and reading it fails.
    QFile::remove(rig.configPath());
    QDir().mkpath(rig.configPath());
    ConfigurationManager manager(rig.dataFolder(), *rig.blocking, rig.account, rig.time, rig.time, QTimeZone::utc());
    EXPECT_FALSE(manager.isFreshInstall());
    EXPECT_TRUE(manager.loadError().startsWith(u"Failed to read configuration: "_s))
        << manager.loadError().toStdString();
    manager.addSites({ u"new.example"_s });
    EXPECT_TRUE(QFileInfo(rig.configPath()).isDir());
    EXPECT_TRUE(QDir(rig.dataFolder()).entryList({ u"config.json.corrupt-*"_s }).isEmpty());
}

TEST(ConfigurationManagerEdits, AddingKnownSitesWritesNothingAndRemovingUnknownOnesStillSaves)
{
    ServiceRig rig(withConfig(ServiceRig::configurationWith({ u"a.example"_s }, false)));
    QFile::remove(rig.configPath());
    rig.config->addSites({ u"a.example"_s });
    EXPECT_FALSE(QFile::exists(rig.configPath()));

    rig.config->addSites({ u"b.example"_s, u"a.example"_s, u"c.example"_s, u"b.example"_s });
    EXPECT_EQ(rig.config->configuration().blockedSites,
        (QStringList { u"a.example"_s, u"b.example"_s, u"c.example"_s, u"b.example"_s }));
    QFile::remove(rig.configPath());
    rig.config->removeSites({ u"nothere.example"_s });
    EXPECT_TRUE(QFile::exists(rig.configPath()));

    rig.config->removeSites({ u"b.example"_s });
    EXPECT_EQ(rig.config->configuration().blockedSites, (QStringList { u"a.example"_s, u"c.example"_s }));
    EXPECT_EQ(Configuration::fromJsonBytes(readFile(rig.configPath()))->blockedSites,
        rig.config->configuration().blockedSites);
}

TEST(ConfigurationManagerLock, RemovalsAreRefusedWhileAnyFocusRuns)
{
    struct Case {
        const char* name;
        bool hoursActive;
        std::optional<AccountFocus> account;
        bool blocking;
        bool locked;
    };
    const double now = double(QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch());
    const QList<Case> cases {
        { "nothing", false, std::nullopt, false, false },
        { "automatic hours", true, std::nullopt, false, true },
        { "account focus", false, AccountFocus { true, now + 60000 }, false, true },
        { "account focus ended", false, AccountFocus { true, now - 1 }, false, false },
        { "account focus without end", false, AccountFocus { true, std::nullopt }, false, false },
        { "block in force", false, std::nullopt, true, false },
    };
    for (const auto& c : cases) {
        const QStringList sites { u"a.example"_s, u"b.example"_s };
        ServiceRig::Options options
            = withConfig(ServiceRig::configurationWith(sites, c.hoursActive, c.hoursActive ? 9 : 20, 22));
        if (c.blocking) {
            options.hosts = "x\n# Kestravin START - DO NOT EDIT THIS SECTION\n# Kestravin END\n";
        }
        ServiceRig rig(options);
        if (c.account) {
            rig.account.setSnapshot(DesktopAccountSnapshot { *c.account, std::nullopt });
        }
        const bool locked = c.locked || c.blocking;
        EXPECT_EQ(rig.config->removalsLocked(), locked) << c.name;
        const QByteArray before = readFile(rig.configPath());

        rig.config->removeSites({ u"a.example"_s });
        rig.config->setBlocked(BlockedApp(u"org.example.app"_s, u"App"_s), false);
        rig.config->resetSitesToDefaults();
        if (locked) {
            EXPECT_EQ(rig.config->lockNotice(), ConfigurationManager::lockedNoticeText) << c.name;
            EXPECT_EQ(rig.config->configuration().blockedSites, sites) << c.name;
            EXPECT_EQ(readFile(rig.configPath()), before) << c.name;
        } else {
            EXPECT_TRUE(rig.config->lockNotice().isNull()) << c.name;
            EXPECT_EQ(rig.config->configuration().blockedSites, Configuration::defaultConfig().blockedSites);
        }
        // Adding and changing the hours always work.
        rig.config->addSites({ u"z.example"_s });
        rig.config->setBlocked(BlockedApp(u"org.example.other"_s, u"Other"_s), true);
        rig.config->setWeek({ {}, { { 600, 700 } } });
        EXPECT_TRUE(rig.config->configuration().blockedSites.contains(u"z.example"_s)) << c.name;
        EXPECT_EQ(rig.config->configuration().blockedApps.size(), 1) << c.name;
        EXPECT_EQ(Configuration::fromJsonBytes(readFile(rig.configPath())), rig.config->configuration()) << c.name;
    }
}

TEST(ConfigurationManagerLock, TheNoticeStaysFourSecondsAfterTheLatestRefusal)
{
    ServiceRig rig(withConfig(ServiceRig::configurationWith({ u"a.example"_s }, true)));
    rig.config->removeSites({ u"a.example"_s });
    EXPECT_FALSE(rig.config->lockNotice().isNull());
    rig.time.advance(3s);
    rig.config->removeSites({ u"a.example"_s });
    rig.time.advance(3999ms);
    EXPECT_EQ(rig.config->lockNotice(), ConfigurationManager::lockedNoticeText);
    rig.time.advance(1ms);
    EXPECT_TRUE(rig.config->lockNotice().isNull());
}

TEST(ConfigurationManagerRefresh, ABurstOfSiteEditsRefreshesTheBlockOnceAfterTheLast)
{
    ServiceRig::Options options = withConfig(ServiceRig::configurationWith({ u"a.example"_s }, false));
    options.fakeDaemon = true;
    ServiceRig rig(options);
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    FakeHelperDaemon& daemon = *rig.daemon;
    daemon.setBlockingActive(true);
    rig.blocking->checkCurrentStatus();
    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));

    rig.config->addSites({ u"b.example"_s });
    rig.time.advance(200ms);
    rig.config->addSites({ u"c.example"_s });
    rig.time.advance(200ms);
    rig.config->addSites({ u"d.example"_s });
    rig.time.advance(599ms);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"activateBlocking"_s), 0);
    rig.time.advance(1ms);
    ASSERT_TRUE(waitUntil([&] { return daemon.count(u"activateBlocking"_s) == 1; }));
    const QStringList sent = daemon.calls().last().arguments.at(0).toStringList();
    EXPECT_EQ(sent, SiteCatalog::systemHosts({ u"a.example"_s, u"b.example"_s, u"c.example"_s, u"d.example"_s }));

    // Without a block in force nothing is sent. (The refresh's own answer
    // must be in first: it puts the block in force.)
    ASSERT_TRUE(rig.syncWithDaemon());
    daemon.setBlockingActive(false);
    rig.blocking->checkCurrentStatus();
    ASSERT_TRUE(waitUntil([&] { return !rig.blocking->isBlocking(); }));
    rig.config->addSites({ u"e.example"_s });
    rig.time.advance(1s);
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_EQ(daemon.count(u"activateBlocking"_s), 1);
}

} // namespace
} // namespace kestravin
