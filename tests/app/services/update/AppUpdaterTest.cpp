#include "app/services/update/AppUpdater.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;
using namespace kestravin;
using Kind = AppUpdater::Phase::Kind;

namespace {

// Plays the updater: the test calls the user driver as the updater would.
class FakeDriver : public UpdateDriver {
public:
    bool startResult = true;
    bool canCheck = true;
    int starts = 0;
    int checks = 0;
    UpdateUserDriver* userDriver = nullptr;

    bool start(UpdateUserDriver& driver, QString* error) override
    {
        ++starts;
        userDriver = &driver;
        if (!startResult && error) {
            *error = u"no bundle"_s;
        }
        return startResult;
    }
    bool canCheckForUpdates() const override { return canCheck; }
    void checkForUpdates() override { ++checks; }
};

struct Rig {
    explicit Rig(QString feed = u"http://127.0.0.1:1/appcast.xml"_s)
        : updater(feed, [this](const QUrl& url) {
              feedUrls.push_back(url);
              auto made = std::make_unique<FakeDriver>();
              made->startResult = nextStartResult;
              driver = made.get();
              return made;
          })
    {
    }
    std::vector<QUrl> feedUrls;
    bool nextStartResult = true;
    FakeDriver* driver = nullptr;
    AppUpdater updater;
};

AppcastItem item(const QString& display)
{
    return AppcastItem { u"2.0.0"_s, display, QUrl(u"http://127.0.0.1:1/k.tar.xz"_s), 10, {} };
}

// Records how often a reply was called and with what.
struct ReplyLog {
    std::vector<UpdateChoice> choices;
    UpdateUserDriver::ChoiceReply reply()
    {
        return [this](UpdateChoice choice) { choices.push_back(choice); };
    }
};

} // namespace

TEST(AppUpdater, StartsOnlyWithAFeedAndRetriesAFailedStart)
{
    Rig noFeed(QString {});
    noFeed.updater.start();
    EXPECT_TRUE(noFeed.feedUrls.empty());
    EXPECT_FALSE(noFeed.updater.isStarted());
    EXPECT_EQ(noFeed.updater.phase(), AppUpdater::Phase {});
    noFeed.updater.checkNow(); // nothing to ask
    EXPECT_FALSE(noFeed.updater.userInitiated());

    Rig rig;
    rig.nextStartResult = false;
    rig.updater.start();
    EXPECT_FALSE(rig.updater.isStarted());
    EXPECT_EQ(rig.updater.phase().kind, Kind::idle);

    rig.nextStartResult = true;
    rig.updater.start();
    ASSERT_TRUE(rig.updater.isStarted());
    EXPECT_EQ(rig.feedUrls.size(), 2u);
    EXPECT_EQ(rig.feedUrls.back(), QUrl(u"http://127.0.0.1:1/appcast.xml"_s));
    rig.updater.start(); // already running
    EXPECT_EQ(rig.feedUrls.size(), 2u);
    EXPECT_EQ(rig.driver->starts, 1);

    bool answered = false;
    rig.updater.showPermissionRequest([&](UpdatePermission permission) {
        answered = true;
        EXPECT_TRUE(permission.automaticChecks);
        EXPECT_FALSE(permission.sendSystemProfile);
    });
    EXPECT_TRUE(answered);
}

TEST(AppUpdater, BackgroundUpdateDownloadsWithoutAskingAndInstallsOnce)
{
    Rig rig;
    rig.updater.start();
    int changes = 0;
    QObject::connect(&rig.updater, &AppUpdater::phaseChanged, [&] { ++changes; });

    ReplyLog found;
    rig.updater.showUpdateFound(item(u"2.0"_s), { UpdateStage::notDownloaded, false }, found.reply());
    EXPECT_EQ(found.choices, std::vector { UpdateChoice::install });
    EXPECT_EQ(rig.updater.phase().kind, Kind::downloading);
    EXPECT_FALSE(rig.updater.userInitiated());

    rig.updater.showDownloadInitiated({});
    rig.updater.showDownloadDidReceiveExpectedContentLength(10);
    rig.updater.showDownloadDidReceiveData(10);
    rig.updater.showDownloadDidStartExtractingUpdate();
    rig.updater.showExtractionReceivedProgress(1.0);
    EXPECT_EQ(rig.updater.phase().kind, Kind::downloading);
    EXPECT_EQ(changes, 1);

    ReplyLog ready;
    rig.updater.showReadyToInstallAndRelaunch(ready.reply());
    EXPECT_EQ(rig.updater.phase(), AppUpdater::Phase::ready(u"2.0"_s));

    rig.updater.installNow();
    EXPECT_EQ(rig.updater.phase().kind, Kind::installing);
    EXPECT_EQ(ready.choices, std::vector { UpdateChoice::install });
    rig.updater.installNow(); // pressed twice
    EXPECT_EQ(ready.choices.size(), 1u);

    rig.updater.showInstallingUpdate(false, {});
    EXPECT_EQ(rig.updater.phase().kind, Kind::installing);
    bool acknowledged = false;
    rig.updater.showUpdateInstalledAndRelaunched(true, [&] { acknowledged = true; });
    EXPECT_TRUE(acknowledged);
}

TEST(AppUpdater, UserCheckResultsSurviveTheDismissal)
{
    struct Case {
        const char* name;
        bool fails;
        AppUpdater::Phase expected;
    };
    const Case cases[] = {
        { "nothing found", false, AppUpdater::Phase::of(Kind::upToDate) },
        { "error", true, AppUpdater::Phase::failed(AppUpdater::failureMessage.toString()) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.updater.start();
        rig.updater.checkNow();
        EXPECT_EQ(rig.driver->checks, 1);
        EXPECT_TRUE(rig.updater.userInitiated());
        rig.updater.showUserInitiatedUpdateCheck({});
        EXPECT_EQ(rig.updater.phase().kind, Kind::checking);

        int acknowledgements = 0;
        if (c.fails) {
            rig.updater.showUpdaterError(u"timeout"_s, [&] { ++acknowledgements; });
        } else {
            rig.updater.showUpdateNotFound({}, [&] { ++acknowledgements; });
        }
        EXPECT_EQ(acknowledgements, 1);
        EXPECT_EQ(rig.updater.phase(), c.expected);
        rig.updater.dismissUpdateInstallation();
        EXPECT_EQ(rig.updater.phase(), c.expected);
        EXPECT_FALSE(rig.updater.userInitiated());
    }
}

TEST(AppUpdater, BackgroundErrorsAreSilentAndKeepTheReadyReplyUntilDismissed)
{
    Rig rig;
    rig.updater.start();
    ReplyLog found;
    rig.updater.showUpdateFound(item(u"2.1"_s), { UpdateStage::notDownloaded, false }, found.reply());
    ReplyLog first;
    ReplyLog second;
    rig.updater.showReadyToInstallAndRelaunch(first.reply());
    rig.updater.showReadyToInstallAndRelaunch(second.reply()); // the first is dropped uncalled
    EXPECT_EQ(rig.updater.phase(), AppUpdater::Phase::ready(u"2.1"_s));

    rig.updater.showUpdaterError(u"feed unreachable"_s, [] {});
    EXPECT_EQ(rig.updater.phase().kind, Kind::idle);
    EXPECT_TRUE(rig.updater.hasPendingInstall());

    rig.updater.dismissUpdateInstallation();
    EXPECT_FALSE(rig.updater.hasPendingInstall());
    rig.updater.installNow();
    EXPECT_TRUE(first.choices.empty());
    EXPECT_TRUE(second.choices.empty());
    EXPECT_EQ(rig.updater.phase().kind, Kind::idle);
}

TEST(AppUpdater, FoundUpdatesAndChecksFollowTheirState)
{
    Rig rig;
    rig.updater.start();

    // An update found already downloaded leaves the phase alone.
    rig.updater.showUserInitiatedUpdateCheck({});
    ReplyLog found;
    rig.updater.showUpdateFound(item(u"3.0"_s), { UpdateStage::downloaded, true }, found.reply());
    EXPECT_EQ(rig.updater.phase().kind, Kind::checking);
    EXPECT_EQ(found.choices, std::vector { UpdateChoice::install });
    EXPECT_TRUE(rig.updater.userInitiated());
    EXPECT_EQ(rig.updater.foundVersion(), u"3.0"_s);

    // An updater that cannot check now is not asked, and nothing changes.
    rig.updater.dismissUpdateInstallation();
    EXPECT_EQ(rig.updater.phase().kind, Kind::idle);
    rig.driver->canCheck = false;
    rig.updater.checkNow();
    EXPECT_EQ(rig.driver->checks, 0);
    EXPECT_FALSE(rig.updater.userInitiated());
}
