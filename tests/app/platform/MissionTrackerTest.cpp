// The mission tracker: on a real X server for the app in front and the
// screensaver's idle time, and on a scripted desktop for the claims; time is
// virtual throughout.
#include "app/services/account/MissionTracker.h"
#include "FakeTime.h"
#include "app/platform/linux/X11ActivityProbe.h"
#include "app/platform/linux/X11Workspace.h"
#include "app/services/account/DesktopAccountService.h"
#include "support/EventLoop.h"
#include "support/XDisplay.h"
#include "support/XTestClient.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <xcb/xcb.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using kestravin::test::writeDesktopEntry;
using kestravin::test::XDisplay;
using kestravin::test::XTestClients;
using kestravin::testing::FakeTime;

namespace kestravin {
namespace {

void ensureApplication()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "mission_tracker_tests";
        static char* argv[] = { name, nullptr };
        new QGuiApplication(argc, argv);
    }
}

DesktopAccountSnapshot withGoals(QList<AccountMission> missions, QStringList earned = {})
{
    AccountFolga folga;
    folga.minutes = 15;
    folga.earnedToday = std::move(earned);
    DesktopAccountSnapshot snapshot({}, folga);
    snapshot.user.id = u"u1"_s;
    snapshot.missions = std::move(missions);
    return snapshot;
}

// Tells the X server to start or stop its screen saver.
void forceScreenSaver(const QString& display, bool on)
{
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    xcb_request_check(
        connection, xcb_force_screen_saver_checked(connection, on ? XCB_SCREEN_SAVER_ACTIVE : XCB_SCREEN_SAVER_RESET));
    xcb_disconnect(connection);
}

class MissionTrackerX11Test : public ::testing::Test {
protected:
    XDisplay display;
    QTemporaryDir data;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11ActivityProbe> probe;
    XTestClients clients;
    FakeTime time { QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC) };
    DesktopAccountService account;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MissionTracker> tracker;

    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(display.start(&error)) << error.toStdString();
        const QString apps = data.filePath(u"applications"_s);
        QDir().mkpath(apps);
        ASSERT_TRUE(writeDesktopEntry(apps, u"org.example.Reader"_s, u"Name=Leitor\nStartupWMClass=ReaderWindow\n"_s));
        ASSERT_TRUE(writeDesktopEntry(apps, u"org.example.Chat"_s, u"Name=Bate-papo\nStartupWMClass=ChatWindow\n"_s));
        workspace
            = std::make_unique<X11Workspace>(DesktopEntryIndex({ apps }), X11Workspace::Options { display.name(), {} });
        ASSERT_TRUE(workspace->isAvailable()) << workspace->unavailableReason().toStdString();
        probe = std::make_unique<X11ActivityProbe>(*workspace, display.name());
        settings = std::make_unique<QSettings>(data.filePath(u"defaults.ini"_s), QSettings::IniFormat);
        account.setSnapshot(withGoals({ { u"app"_s, 20 } }));
        tracker = std::make_unique<MissionTracker>(
            MissionTracker::Environment { &account, probe.get(), &time, &time, settings.get(), QTimeZone::utc(), {} });
        tracker->setAppIDs({ u"org.example.reader"_s });
        tracker->start();
    }

    void TearDown() override
    {
        tracker.reset();
        clients.clear();
        probe.reset();
        workspace.reset();
    }

    bool inFront(const QString& id)
    {
        return kestravin::testing::waitUntil([&] { return probe->frontmostAppID() == id; }, 15000);
    }
};

} // namespace

TEST_F(MissionTrackerX11Test, CountsTicksWithAChosenAppInFrontAndNothingForAnotherOrWhenIdle)
{
    clients.launch(display.name(), { u"--class"_s, u"reader,ReaderWindow"_s });
    ASSERT_TRUE(inFront(u"org.example.Reader"_s));
    ASSERT_TRUE(probe->idleTime().has_value()); // the screensaver extension answers
    for (int i = 0; i < 3; ++i) {
        time.advance(MissionTracker::tickInterval);
    }
    EXPECT_EQ(tracker->timeLog().seconds, 30);
    EXPECT_EQ(tracker->timeLog().day, u"2026-03-02"_s);

    clients.launch(display.name(), { u"--class"_s, u"chat,ChatWindow"_s });
    ASSERT_TRUE(inFront(u"org.example.Chat"_s));
    time.advance(MissionTracker::tickInterval);
    time.advance(MissionTracker::tickInterval);
    EXPECT_EQ(tracker->timeLog().seconds, 30);

    // Back to the reader, but the screen saver runs: nobody is there.
    workspace->activate(workspace->runningApplications().first());
    ASSERT_TRUE(inFront(u"org.example.Reader"_s));
    forceScreenSaver(display.name(), true);
    ASSERT_TRUE(kestravin::testing::waitUntil([&] { return probe->idleTime() >= MissionTracker::idleAfter; }));
    time.advance(MissionTracker::tickInterval);
    EXPECT_EQ(tracker->timeLog().seconds, 30);
    forceScreenSaver(display.name(), false);
    ASSERT_TRUE(kestravin::testing::waitUntil([&] { return probe->idleTime() < MissionTracker::idleAfter; }));
    time.advance(MissionTracker::tickInterval);
    EXPECT_EQ(tracker->timeLog().seconds, 40);
    EXPECT_EQ(settings->value(MissionTracker::appIDsKey).toStringList(), QStringList { u"org.example.reader"_s });
}

namespace {

// A desktop whose front app and idle time the test sets.
struct ScriptedDesktop final : ActivityProbe {
    std::optional<QString> front;
    std::chrono::milliseconds idle { 0 };
    std::optional<QString> frontmostAppID() const override { return front; }
    std::optional<std::chrono::milliseconds> idleTime() const override { return idle; }
};

} // namespace

TEST(MissionTrackerTest, AReachedTargetIsClaimedOnceAndADayStartsAtZero)
{
    QTemporaryDir dir;
    FakeTime time { QDateTime(QDate(2026, 3, 2), QTime(23, 50), Qt::UTC) };
    DesktopAccountService account;
    account.setSnapshot(withGoals({ { u"app"_s, 1 }, { u"steps"_s, 4000 } }));
    QSettings settings(dir.filePath(u"defaults.ini"_s), QSettings::IniFormat);
    ScriptedDesktop desktop;
    desktop.front = u"org.example.Reader"_s;
    QList<AccountMission> claims;
    QList<std::function<void(std::optional<AccountFailure>)>> replies;
    MissionTracker tracker({ &account, &desktop, &time, &time, &settings, QTimeZone::utc(),
        [&](const AccountMission& mission, std::function<void(std::optional<AccountFailure>)> done) {
            claims << mission;
            replies << std::move(done);
        } });
    tracker.setAppIDs({ u"org.example.reader"_s });
    tracker.start();

    for (int i = 0; i < 5; ++i) {
        time.advance(MissionTracker::tickInterval);
    }
    EXPECT_TRUE(claims.isEmpty());
    ASSERT_EQ(tracker.lines().size(), 2);
    EXPECT_EQ(tracker.lines()[0].status(), u"0 min de 1 min"_s);
    EXPECT_EQ(tracker.lines()[1].status(), u"Medido pelo iPhone"_s);

    time.advance(MissionTracker::tickInterval); // one minute in front
    ASSERT_EQ(claims.size(), 1);
    EXPECT_EQ(claims[0], (AccountMission { u"app"_s, 1 }));
    for (int i = 0; i < 3; ++i) {
        time.advance(MissionTracker::tickInterval);
    }
    EXPECT_EQ(claims.size(), 1); // still in flight: not asked again
    replies[0](AccountFailure::accessError(DesktopAccessError::unavailable));
    time.advance(MissionTracker::tickInterval);
    ASSERT_EQ(claims.size(), 2); // a failed claim is tried again
    replies[1](std::nullopt);
    account.setSnapshot(withGoals({ { u"app"_s, 1 }, { u"steps"_s, 4000 } }, { u"app"_s }));
    time.advance(MissionTracker::tickInterval);
    EXPECT_EQ(claims.size(), 2);
    EXPECT_EQ(tracker.lines()[0].status(), u"Folga ganha"_s);

    // Idle for two minutes: nothing is added. A machine that slept an hour
    // adds one tick at most. The log is kept in the settings.
    const double seconds = tracker.timeLog().seconds;
    desktop.idle = MissionTracker::idleAfter;
    time.advance(MissionTracker::tickInterval);
    EXPECT_EQ(tracker.timeLog().seconds, seconds);
    desktop.idle = 0ms;
    time.setNow(time.now().addSecs(60)); // still 2026-03-02 by a few seconds
    tracker.tick();
    EXPECT_EQ(tracker.timeLog().seconds, seconds + 10);
    EXPECT_TRUE(settings.value(MissionTracker::timeLogKey).toString().contains(u"\"seconds\""_s));

    // Midnight: a new day starts at zero and may be claimed again.
    time.setNow(QDateTime(QDate(2026, 3, 3), QTime(0, 0, 5), Qt::UTC));
    tracker.tick();
    EXPECT_EQ(tracker.timeLog().day, u"2026-03-03"_s);
    EXPECT_LE(tracker.timeLog().seconds, 10);
}

} // namespace kestravin
