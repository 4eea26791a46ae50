#include "ServiceFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing;

namespace {

const QString browserRefused = u"Estado do navegador ou agenda desatualizados."_s;
const QString accessRefused = u"A agenda mudou ou a exceção expirou. O bloqueio foi mantido."_s;
const QString grantsRefused = u"A agenda mudou. A liberação será refeita na próxima sincronização."_s;
const QString grantsPartly = u"Parte da liberação não vale mais neste foco."_s;

// `json` padded with spaces to exactly `size` bytes.
QByteArray padded(QByteArray json, qsizetype size)
{
    json.append(QByteArray(size - json.size(), ' '));
    return json;
}

class CallsTest : public ServiceFixture { };

TEST_F(CallsTest, simpleReplies)
{
    HelperService& helper = start();
    EXPECT_EQ(helper.setScheduleEnabled(true), HelperReply::failure(u"No configuration loaded"_s));
    EXPECT_EQ(helper.activateBlocking({}), HelperReply::failure(u"Failed to verify blocking was applied"_s));
    EXPECT_EQ(helper.getHelperVersion(), u"1.7.0"_s);

    const HelperReply undecodable = helper.updateSchedule("{}", { u"a.com"_s });
    EXPECT_FALSE(undecodable.success);
    EXPECT_TRUE(undecodable.message.startsWith(u"Failed to decode schedule: "_s));
    EXPECT_EQ(lines.filter(u"HelperService: updateSchedule failed: "_s).size(), 1);
    EXPECT_FALSE(helper.currentConfig());
    // Hours beyond either end of the 64-bit range are refused alike.
    for (const char* hour : { "-9223372036854775809", "9223372036854775808" }) {
        const QByteArray schedule = R"({"daySchedules":{"monday":{"enabled":true,"startHour":)" + QByteArray(hour)
            + R"(,"startMinute":0,"endHour":9,"endMinute":0}},"enabled":true,"blockedSites":[]})";
        const HelperReply outOfRange = helper.updateSchedule(schedule, { u"a.com"_s });
        EXPECT_TRUE(outOfRange.message.startsWith(u"Failed to decode schedule: "_s)) << hour;
        EXPECT_FALSE(helper.currentConfig()) << hour;
    }

    // An older section makes the empty activation succeed.
    ASSERT_TRUE(helper.activateBlocking({ u"a.com"_s }).success);
    EXPECT_EQ(helper.activateBlocking({}), HelperReply::ok());
    EXPECT_TRUE(helper.isBlockingActive());
    EXPECT_EQ(lines.last(), u"HelperService: isBlockingActive = true"_s);
    EXPECT_EQ(helper.deactivateBlocking(), HelperReply::ok());
    EXPECT_FALSE(helper.isBlockingActive());
}

TEST_F(CallsTest, configurationFileLoadAndSave)
{
    struct Case {
        const char* name;
        QByteArray content;
        QString line;
        bool loaded;
    };
    const QList<Case> cases {
        { "empty", "", u"HelperService: No config found or failed to decode"_s, false },
        { "not JSON", "{nope", u"HelperService: No config found or failed to decode"_s, false },
        { "no sites", R"({"daySchedules":{},"enabled":false,"blockedSites":[]})",
            u"HelperService: Loaded config with 0 sites"_s, true },
    };
    ASSERT_TRUE(QDir().mkpath(QFileInfo(configPath).absolutePath()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(configPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        lines.clear();
        HelperService& helper = start();
        EXPECT_EQ(lines.value(0), c.line);
        EXPECT_EQ(helper.currentConfig().has_value(), c.loaded);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.content);
        file.close();
    }

    // A save with nothing to save writes and prints nothing.
    QDir(QFileInfo(configPath).absolutePath()).removeRecursively();
    lines.clear();
    HelperService& helper = start();
    EXPECT_TRUE(helper.saveConfiguration());
    EXPECT_FALSE(QFileInfo::exists(configPath));
    EXPECT_EQ(lines, QStringList({ u"HelperService: No config found or failed to decode"_s }));

    // The first save creates the folder for root alone; fractions survive.
    HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"a.com"_s });
    giveSchedule(config);
    config = *helper.currentConfig();
    config.siteAccessFocusEnd = Instant(786297600.1234568);
    config.lastBrowserGeneration = 7;
    const BrowserHelperControl control(true, 7, Instant(12.345678), std::nullopt, { u"x"_s }, Instant(0.1));
    config.browserControl = control;
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(configPath).absolutePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(configPath).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    QFile file(configPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(config.toJsonBytes());
    file.close();
    HelperService& reloaded = start();
    ASSERT_TRUE(reloaded.currentConfig());
    EXPECT_EQ(reloaded.currentConfig()->toJsonBytes(), config.toJsonBytes());
    EXPECT_EQ(reloaded.currentConfig()->siteAccessFocusEnd, config.siteAccessFocusEnd);
}

TEST_F(CallsTest, failedSaveSaysSo)
{
    // The folder's place is taken by a file: nothing can be written there.
    QFile blocker(dir.filePath(u"state"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"a.com"_s });
    EXPECT_TRUE(helper.updateSchedule(config.toJsonBytes(), config.blockedSites).success);
    EXPECT_EQ(lines.filter(u"HelperService: Config saved"_s).size(), 0);
    EXPECT_EQ(lines.filter(u"HelperService: Failed to save config: "_s).size(), 1);

    const BrowserHelperControl control(true, 1, std::nullopt, std::nullopt, {}, now);
    EXPECT_EQ(helper.updateBrowserControl(control.toJsonBytes(), config.toJsonBytes()),
        HelperReply::failure(u"Não foi possível salvar o estado do foco."_s));
    EXPECT_FALSE(helper.currentConfig()->browserControl);
    EXPECT_EQ(helper.grantScheduledAccess(
                  u"x"_s, now.addSeconds(60).unixSeconds(), weekdays(9, 0, 17, 0, { u"x.com"_s }).toJsonBytes()),
        HelperReply::failure(accessRefused));
}

TEST_F(CallsTest, updateScheduleKeepsBrowserStateOnlyForTheSameSchedule)
{
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"a.com"_s, u"youtube.com"_s });
    giveSchedule(config);
    const BrowserHelperControl control(true, 5, std::nullopt, std::nullopt, {}, now);
    ASSERT_TRUE(helper.updateBrowserControl(control.toJsonBytes(), config.toJsonBytes()).success);
    ASSERT_TRUE(helper
                    .setSiteAccess(
                        SiteAccessGrant::listToJsonBytes({ { u"a.com"_s, now.addSeconds(60) } }), config.toJsonBytes())
                    .success);
    ASSERT_TRUE(
        helper.grantScheduledAccess(u"youtube"_s, now.addSeconds(60).unixSeconds(), config.toJsonBytes()).success);

    giveSchedule(config);
    EXPECT_TRUE(helper.currentConfig()->browserControl);
    EXPECT_TRUE(helper.currentConfig()->siteAccess);
    EXPECT_TRUE(helper.currentConfig()->siteAccessFocusEnd);
    EXPECT_FALSE(helper.currentConfig()->temporaryAccess);

    HelperScheduleConfig changed = config;
    changed.blockedSites.append(u"b.com"_s);
    giveSchedule(changed);
    EXPECT_FALSE(helper.currentConfig()->browserControl);
    EXPECT_FALSE(helper.currentConfig()->siteAccess);
    EXPECT_FALSE(helper.currentConfig()->siteAccessFocusEnd);
    EXPECT_EQ(helper.currentConfig()->lastBrowserGeneration, 5);
    EXPECT_EQ(storedConfig().value(u"lastBrowserGeneration"_s).toInt(), 5);
}

TEST_F(CallsTest, browserControlGenerationAndSizeRules)
{
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"a.com"_s, u"youtube.com"_s });
    HelperScheduleConfig changed = config;
    changed.enabled = false;
    const auto control = [this](qint64 generation) {
        return BrowserHelperControl(true, generation, std::nullopt, std::nullopt, {}, now).toJsonBytes();
    };
    struct Case {
        const char* name;
        QByteArray data;
        QByteArray expected;
        bool accepted;
    };
    const QList<Case> cases {
        { "same generation, same schedule", control(5), config.toJsonBytes(), true },
        { "same generation, changed schedule", control(5), changed.toJsonBytes(), false },
        { "lower generation", control(4), config.toJsonBytes(), false },
        { "control of 8001 bytes", padded(control(6), 8001), config.toJsonBytes(), false },
        { "configuration of 64001 bytes", control(6), padded(config.toJsonBytes(), 64001), false },
        { "exactly 8000 and 64000 bytes", padded(control(5), 8000), padded(config.toJsonBytes(), 64000), true },
        { "undecodable control", "{", config.toJsonBytes(), false },
        { "invalid control", BrowserHelperControl(true, 6, std::nullopt, now.addSeconds(90000), {}, now).toJsonBytes(),
            config.toJsonBytes(), false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HelperService& helper = start();
        giveSchedule(config);
        ASSERT_TRUE(helper.updateBrowserControl(control(5), config.toJsonBytes()).success);
        const HelperReply reply = helper.updateBrowserControl(c.data, c.expected);
        EXPECT_EQ(reply, c.accepted ? HelperReply::ok() : HelperReply::failure(browserRefused));
        EXPECT_EQ(helper.currentConfig()->lastBrowserGeneration, 5);
    }

    // The first control ever may carry generation 0 only for the same schedule.
    QFile::remove(configPath);
    HelperService& fresh = start();
    fresh.updateSchedule(config.toJsonBytes(), config.blockedSites);
    EXPECT_EQ(fresh.updateBrowserControl(control(0), changed.toJsonBytes()), HelperReply::failure(browserRefused));
    EXPECT_EQ(fresh.updateBrowserControl(control(0), config.toJsonBytes()), HelperReply::ok());
}

TEST_F(CallsTest, browserControlAdoptsTheExpectedScheduleWithoutItsGrants)
{
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"a.com"_s, u"youtube.com"_s });
    giveSchedule(config);
    ASSERT_TRUE(
        helper.grantScheduledAccess(u"youtube"_s, now.addSeconds(60).unixSeconds(), config.toJsonBytes()).success);

    // A newer generation on the same schedule ends the timed access.
    const BrowserHelperControl paused(true, 1, std::nullopt, std::nullopt, {}, now);
    ASSERT_TRUE(helper.updateBrowserControl(paused.toJsonBytes(), config.toJsonBytes()).success);
    EXPECT_FALSE(helper.currentConfig()->temporaryAccess);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s, u"youtube.com"_s }));

    // Another schedule is adopted whole, but grants from the client's data are not.
    HelperScheduleConfig other = weekdays(8, 0, 18, 0, { u"a.com"_s });
    other.siteAccess = QList<SiteAccessGrant> { { u"a.com"_s, now.addSeconds(7200) } };
    other.siteAccessFocusEnd = now.addSeconds(7200);
    const BrowserHelperControl next(true, 2, std::nullopt, std::nullopt, {}, now);
    ASSERT_TRUE(helper.updateBrowserControl(next.toJsonBytes(), other.toJsonBytes()).success);
    EXPECT_TRUE(helper.currentConfig()->sameSchedule(other));
    EXPECT_FALSE(helper.currentConfig()->siteAccess);
    EXPECT_FALSE(helper.currentConfig()->siteAccessFocusEnd);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s }));
}

TEST_F(CallsTest, timedAccessLimits)
{
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"youtube.com"_s, u"m.youtube.com"_s, u"a.com"_s });
    struct Case {
        const char* name;
        const char* now;
        QString platform;
        double expiresIn; // seconds after now
        bool accepted;
    };
    const QList<Case> cases {
        { "until the end of the range", "2026-03-02T16:50:00", u"youtube"_s, 600, true },
        { "one second past the range", "2026-03-02T16:50:00", u"youtube"_s, 601, false },
        { "thirty minutes", "2026-03-02T10:00:00", u"youtube"_s, 1800, true },
        { "thirty minutes and a second", "2026-03-02T10:00:00", u"youtube"_s, 1801, false },
        { "outside the hours", "2026-03-02T18:00:00", u"youtube"_s, 60, false },
        { "nothing of the platform is blocked", "2026-03-02T10:00:00", u"tiktok"_s, 60, false },
        { "unknown platform", "2026-03-02T10:00:00", u"YouTube"_s, 60, false },
        { "already expired", "2026-03-02T10:00:00", u"youtube"_s, 0, false },
        { "not a number", "2026-03-02T10:00:00", u"youtube"_s, std::numeric_limits<double>::quiet_NaN(), false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(configPath);
        now = at(QString::fromLatin1(c.now));
        HelperService& helper = start();
        giveSchedule(config);
        const QByteArray hostsBefore = hosts();
        const HelperReply reply
            = helper.grantScheduledAccess(c.platform, now.unixSeconds() + c.expiresIn, config.toJsonBytes());
        EXPECT_EQ(reply, c.accepted ? HelperReply::ok() : HelperReply::failure(accessRefused));
        if (c.accepted) {
            EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s }));
        } else {
            EXPECT_EQ(hosts(), hostsBefore);
            EXPECT_FALSE(helper.currentConfig()->temporaryAccess);
        }
    }

    // The expiry is stored as an instant since 2001.
    now = Instant::fromUnixSeconds(1767225600 - 600);
    HelperService& helper = start(false, QTimeZone::utc());
    HelperScheduleConfig allDay = weekdays(0, 0, 24, 0, { u"youtube.com"_s });
    giveSchedule(allDay);
    ASSERT_TRUE(helper.grantScheduledAccess(u"youtube"_s, 1767225600, allDay.toJsonBytes()).success);
    EXPECT_EQ(storedConfig().value(u"temporaryAccess"_s).toObject().value(u"expiresAt"_s).toDouble(), 788918400.0);
}

TEST_F(CallsTest, timedAccessDuringAPauseIsNotRolledBack)
{
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"youtube.com"_s, u"a.com"_s });
    giveSchedule(config);
    const BrowserHelperControl paused(true, 1, std::nullopt, now.addSeconds(600), {}, now);
    ASSERT_TRUE(helper.updateBrowserControl(paused.toJsonBytes(), config.toJsonBytes()).success);
    EXPECT_FALSE(sectionPresent());
    EXPECT_EQ(helper.grantScheduledAccess(u"youtube"_s, now.addSeconds(900).unixSeconds(), config.toJsonBytes()),
        HelperReply::ok());
    EXPECT_TRUE(helper.currentConfig()->temporaryAccess);
    // Once the pause has passed, the access still frees youtube.
    now = now.addSeconds(601);
    helper.pollSchedule();
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s }));
}

TEST_F(CallsTest, siteGrants)
{
    HelperService& helper = start();
    const HelperScheduleConfig config = weekdays(9, 0, 17, 0, { u"a.com"_s, u"www.a.com"_s, u"b.com"_s });
    giveSchedule(config);

    QList<SiteAccessGrant> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.append({ u"a.com"_s, now.addSeconds(60) });
    EXPECT_EQ(helper.setSiteAccess(SiteAccessGrant::listToJsonBytes(eleven), config.toJsonBytes()),
        HelperReply::failure(grantsRefused));
    EXPECT_FALSE(helper.currentConfig()->siteAccess);
    EXPECT_EQ(helper.setSiteAccess("[]", padded(config.toJsonBytes(), 64001)), HelperReply::failure(grantsRefused));
    EXPECT_EQ(helper.setSiteAccess("{}", config.toJsonBytes()), HelperReply::failure(grantsRefused));

    const QList<SiteAccessGrant> mixed { { u"a.com"_s, now.addSeconds(7200) }, { u"B.com"_s, now.addSeconds(60) },
        { u"c.com"_s, now.addSeconds(60) }, { u"b.com"_s, now } };
    EXPECT_EQ(helper.setSiteAccess(SiteAccessGrant::listToJsonBytes(mixed), config.toJsonBytes()),
        HelperReply::failure(grantsPartly));
    const QList<SiteAccessGrant> stored { { u"a.com"_s, now.addSeconds(1800) } };
    EXPECT_EQ(helper.currentConfig()->siteAccess, stored);
    EXPECT_EQ(helper.currentConfig()->siteAccessFocusEnd, at(u"2026-03-02T17:00:00"_s));
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"b.com"_s }));

    // At the grant's own end the hosts come back on the next tick.
    now = now.addSeconds(1800);
    helper.pollSchedule();
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s, u"www.a.com"_s, u"b.com"_s }));

    EXPECT_EQ(helper.setSiteAccess("[]", config.toJsonBytes()), HelperReply::ok());
    EXPECT_TRUE(storedConfig().value(u"siteAccess"_s).isArray());
}

TEST_F(CallsTest, manualBlockHoldsUntilItsEnd)
{
    now = at(u"2026-03-02T16:50:00"_s);
    HelperService& helper = start(true);
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s }));
    const Instant end = at(u"2026-03-02T17:20:00"_s);
    EXPECT_EQ(
        helper.activateBlockingUntil({ u"m.com"_s, u"bad host"_s, u"m.com"_s }, end.unixSeconds()), HelperReply::ok());
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s, u"m.com"_s }));
    EXPECT_EQ(storedConfig().value(u"manualBlockSites"_s).toArray(), QJsonArray({ u"m.com"_s }));
    EXPECT_EQ(storedConfig().value(u"manualBlockEndsAt"_s).toDouble(), end.secondsSinceReference);

    // The hours end: the schedule's hosts go, the manual ones stay.
    now = at(u"2026-03-02T17:00:30"_s);
    ticker->fire();
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"m.com"_s }));

    // A restart in the middle keeps the block.
    HelperService& restarted = start(true);
    EXPECT_EQ(restarted.getBlockedSitesFromHosts(), QStringList({ u"m.com"_s }));

    // The manual fields are not part of the schedule's identity.
    const BrowserHelperControl control(false, 1, std::nullopt, std::nullopt, {}, now);
    EXPECT_TRUE(
        restarted.updateBrowserControl(control.toJsonBytes(), weekdays(9, 0, 17, 0, { u"a.com"_s }).toJsonBytes())
            .success);
    EXPECT_EQ(restarted.getBlockedSitesFromHosts(), QStringList({ u"m.com"_s }));

    // Lifted at the first tick at its end, and forgotten.
    now = end;
    ticker->fire();
    EXPECT_FALSE(sectionPresent());
    EXPECT_FALSE(restarted.manualBlock());
    EXPECT_FALSE(storedConfig().contains(u"manualBlockSites"_s));
}

TEST_F(CallsTest, manualBlockEndedWhileTheDaemonWasDown)
{
    HelperService& helper = start(true);
    ASSERT_TRUE(helper.activateBlockingUntil({ u"m.com"_s }, now.addSeconds(60).unixSeconds()).success);
    EXPECT_TRUE(sectionPresent());
    service.reset();
    now = now.addSeconds(3600);
    HelperService& later = start(true);
    EXPECT_FALSE(sectionPresent());
    EXPECT_FALSE(later.manualBlock());
    // Without a schedule the file held only the manual block: it is gone.
    EXPECT_FALSE(QFileInfo::exists(configPath));
}

TEST_F(CallsTest, deactivationForgetsTheManualBlock)
{
    HelperService& helper = start(true);
    EXPECT_EQ(helper.activateBlockingUntil({ u"m.com"_s }, now.addSeconds(-1).unixSeconds()),
        HelperReply::failure(u"The block's end is not in the future"_s));
    ASSERT_TRUE(helper.activateBlockingUntil({ u"m.com"_s }, now.addSeconds(600).unixSeconds()).success);
    EXPECT_EQ(helper.deactivateBlocking(), HelperReply::ok());
    now = now.addSeconds(1);
    ticker->fire();
    EXPECT_FALSE(sectionPresent());
    HelperService& restarted = start(true);
    EXPECT_FALSE(restarted.manualBlock());
    EXPECT_FALSE(sectionPresent());
}

TEST_F(CallsTest, manualEndMustBeNearAndStored)
{
    HelperService& helper = start(true);
    const QString tooFar = u"The block's end is more than 24 hours ahead"_s;
    const struct {
        const char* name;
        double endsAt;
        bool accepted;
    } ends[] = {
        { "year 2100", 4102444800.0, false },
        { "1e18", 1e18, false },
        { "largest double", std::numeric_limits<double>::max(), false },
        { "a second past a day", now.unixSeconds() + 86401, false },
        { "exactly a day", now.unixSeconds() + 86400, true },
        { "four hours", now.unixSeconds() + 4 * 3600, true },
    };
    for (const auto& end : ends) {
        SCOPED_TRACE(end.name);
        EXPECT_EQ(helper.activateBlockingUntil({ u"m.com"_s }, end.endsAt),
            end.accepted ? HelperReply::ok() : HelperReply::failure(tooFar));
    }
    EXPECT_EQ(helper.manualBlock()->endsAt, now.addSeconds(4 * 3600));

    // A file that cannot take the end: the call fails and nothing changes.
    ASSERT_TRUE(helper.deactivateBlocking().success);
    const HelperScheduleConfig config = weekdays(20, 0, 21, 0, { u"a.com"_s });
    giveSchedule(config);
    ASSERT_TRUE(QFile::remove(configPath));
    ASSERT_TRUE(QDir(QFileInfo(configPath).absolutePath()).removeRecursively());
    QFile blocker(QFileInfo(configPath).absolutePath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray before = hosts();
    const HelperReply reply = helper.activateBlockingUntil({ u"m.com"_s }, now.addSeconds(600).unixSeconds());
    EXPECT_FALSE(reply.success);
    EXPECT_TRUE(reply.message.startsWith(u"Failed to store the block's end: "_s)) << reply.message.toStdString();
    EXPECT_FALSE(helper.manualBlock());
    EXPECT_EQ(hosts(), before);
    now = now.addSeconds(1);
    ticker->fire();
    EXPECT_EQ(hosts(), before);
}

TEST_F(CallsTest, startRemovesOnlyItsOwnLeftovers)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(configPath).absolutePath()));
    const auto make = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
    };
    const QString state = QFileInfo(configPath).absolutePath();
    const QStringList leftovers { dir.filePath(u".hosts.kestravin-AbC123"_s),
        state + u"/.helper-config.json.kestravin-x9Z0qQ"_s };
    const QStringList kept { dir.filePath(u".hosts.kestravin-AbC1234"_s), dir.filePath(u".hosts.kestravin-AbC12"_s),
        dir.filePath(u"hosts.kestravin-AbC123"_s), dir.filePath(u".other.kestravin-AbC123"_s),
        dir.filePath(u".hosts.kestravin-Ab.123"_s) };
    for (const QString& path : leftovers + kept)
        ASSERT_TRUE(make(path)) << path.toStdString();
    // A link planted under the pattern is neither followed nor removed, nor a folder.
    const QString target = dir.filePath(u"precious"_s);
    ASSERT_TRUE(make(target));
    const QString link = dir.filePath(u".hosts.kestravin-Lnk123"_s);
    ASSERT_TRUE(QFile::link(target, link));
    const QString folder = dir.filePath(u".hosts.kestravin-Dir123"_s);
    ASSERT_TRUE(QDir().mkpath(folder));

    start(true);
    for (const QString& path : leftovers)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString& path : kept + QStringList { target, folder })
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(lines.contains(u"HelperService: Removed 2 leftover temporary files"_s));
}

TEST_F(CallsTest, startRemovesLeftoversAlreadyHandedToTheHostsFilesOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving files to another user needs root";
    // A write to a hosts file of another user hands its temporary file to
    // that user before the rename; a kill in between leaves it so.
    constexpr uid_t hostsOwner = 4242;
    constexpr uid_t stranger = 4343;
    const auto makeOwnedBy = [](const QString& path, uid_t owner) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush()
            && ::fchown(file.handle(), owner, owner) == 0;
    };
    ASSERT_EQ(::chown(QFile::encodeName(hostsPath).constData(), hostsOwner, hostsOwner), 0);
    const QString handedOver = dir.filePath(u".hosts.kestravin-Own001"_s);
    const QString strangers = dir.filePath(u".hosts.kestravin-Own002"_s);
    ASSERT_TRUE(makeOwnedBy(handedOver, hostsOwner));
    ASSERT_TRUE(makeOwnedBy(strangers, stranger));

    start(true);
    EXPECT_FALSE(QFileInfo::exists(handedOver));
    EXPECT_TRUE(QFileInfo::exists(strangers)) << "a file of neither owner stays";
}

TEST_F(CallsTest, aHostsPathThatIsNoRegularFileIsRefusedWithoutHanging)
{
    ASSERT_TRUE(QFile::remove(hostsPath));
    ASSERT_EQ(::mkfifo(QFile::encodeName(hostsPath).constData(), 0644), 0);
    HelperService& helper = start(true);
    EXPECT_EQ(
        helper.activateBlocking({ u"a.com"_s }), HelperReply::failure(u"Failed to verify blocking was applied"_s));
    EXPECT_FALSE(helper.isBlockingActive());
    EXPECT_EQ(helper.getBlockedSites(), QStringList());
    EXPECT_EQ(helper.activateBlockingUntil({ u"a.com"_s }, now.addSeconds(600).unixSeconds()),
        HelperReply::failure(u"Failed to verify blocking was applied"_s));
    now = now.addSeconds(1);
    ticker->fire();
    EXPECT_TRUE(QFileInfo(hostsPath).isFile() == false);
    EXPECT_FALSE(lines.filter(u"is not a regular file"_s).isEmpty());

    // A link to a regular file stays writable through the link.
    ASSERT_TRUE(QFile::remove(hostsPath));
    const QString real = dir.filePath(u"real-hosts"_s);
    QFile file(real);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QFile::link(real, hostsPath));
    EXPECT_TRUE(helper.activateBlocking({ u"a.com"_s }).success);
    EXPECT_TRUE(QFileInfo(hostsPath).isSymLink());
}

TEST_F(CallsTest, uninstallRemovesEverythingAndEnds)
{
    HelperService& helper = start(true);
    giveSchedule(weekdays(0, 0, 24, 0, { u"a.com"_s }));
    ASSERT_TRUE(helper.activateBlockingUntil({ u"m.com"_s }, now.addSeconds(600).unixSeconds()).success);
    ASSERT_TRUE(sectionPresent());

    EXPECT_EQ(helper.uninstallHelper(), HelperReply::ok());
    EXPECT_FALSE(sectionPresent());
    EXPECT_FALSE(QFileInfo::exists(configPath));
    EXPECT_FALSE(helper.isTimerRunning());
    // Nothing writes either back before the process ends.
    helper.checkSchedule();
    helper.setScheduleEnabled(true);
    EXPECT_FALSE(sectionPresent());
    EXPECT_FALSE(QFileInfo::exists(configPath));

    QElapsedTimer elapsed;
    elapsed.start();
    while (exitCodes.isEmpty() && elapsed.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(exitCodes, QList<int>({ 0 }));
    EXPECT_GE(elapsed.elapsed(), 400);
}

} // namespace
