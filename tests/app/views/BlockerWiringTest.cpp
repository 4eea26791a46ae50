// The app blocker's inputs read from the real services, and the approval
// guide following the real installer, on the services' test rig (private
// bus, temporary files, a clock the test moves).
#include "app/services/appblocker/AppBlockerServiceInputs.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/views/blocker/ApprovalGuide.h"

#include "BridgeRig.h"
#include "EventLoop.h"
#include "ServiceRig.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::ServiceRig;
using testing::waitUntil;

TEST(AppBlockerServiceInputsTest, FollowsBlockingBridgeConfigurationAndSchedule)
{
    ServiceRig rig;
    ScheduleManager& schedule = rig.startScheduleManager();
    testing::BridgeRig bridgeRig(false);
    DesktopBrowserBridge& bridge = bridgeRig.bridge();
    AppBlockerServiceInputs inputs(
        *rig.blocking, bridge, *rig.config, schedule, [&rig] { return rig.time.now(); }, QTimeZone::utc());
    QSignalSpy focusChanges(&inputs, &AppBlockerInputs::focusInputsChanged);
    QSignalSpy listChanges(&inputs, &AppBlockerInputs::blockedAppsChanged);
    EXPECT_FALSE(inputs.isBlocking());
    EXPECT_EQ(inputs.sessionEndTime(), std::nullopt);

    // The block list and today's end of the focus hours come from the configuration.
    Configuration configuration = ServiceRig::configurationWith({ u"youtube.com"_s }, true, 9, 17);
    configuration.blockedApps = { BlockedApp(u"discord"_s, u"Discord"_s) };
    rig.config->setConfiguration(configuration);
    EXPECT_GE(listChanges.count(), 1);
    EXPECT_EQ(inputs.blockedApps(), configuration.blockedApps);
    EXPECT_EQ(inputs.scheduleNextDeactivation(), QDateTime(rig.time.now().date(), QTime(17, 0), Qt::UTC));

    // The browser focus counts only with the sync switched on; the blocker
    // hears both changes.
    bridge.setEnabled(true);
    EXPECT_EQ(bridge.begin(25), std::nullopt);
    EXPECT_TRUE(inputs.browserSyncEnabled());
    EXPECT_TRUE(inputs.browserFocusEnabled());
    EXPECT_GE(focusChanges.count(), 2);

    // The site block, as the blocking service finds it in the hosts file.
    const int before = focusChanges.count();
    QFile hosts(rig.hostsPath());
    ASSERT_TRUE(hosts.open(QIODevice::Append));
    hosts.write((BlockingService::blockMarkerStart + u"\n127.0.0.1 youtube.com\n# Kestravin END\n"_s).toUtf8());
    hosts.close();
    rig.blocking->checkCurrentStatus();
    ASSERT_TRUE(waitUntil([&] { return inputs.isBlocking(); }));
    EXPECT_GT(focusChanges.count(), before);
    bridge.setEnabled(false);
}

TEST(ApprovalGuideWiringTest, TheInstallerShowsTheGuideWhileItWaitsForApproval)
{
    ServiceRig rig;
    rig.registration.bundled = true;
    rig.registration.current = DaemonRegistration::Status::notRegistered;
    ApprovalGuide guide(u"Kestravin"_s);
    guide.follow(*rig.installer);

    rig.installer->installHelper([](bool, QString) {});
    ASSERT_TRUE(rig.installer->awaitingApproval());
    ASSERT_NE(guide.panel(), nullptr);
    EXPECT_TRUE(guide.panel()->isVisible());

    rig.time.advance(2s);
    EXPECT_NE(guide.panel(), nullptr);
    rig.registration.current = DaemonRegistration::Status::enabled; // the user approved
    rig.time.advance(500ms);
    EXPECT_EQ(guide.panel(), nullptr);
}

} // namespace
} // namespace kestravin
