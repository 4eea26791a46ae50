#include "app/views/onboarding/LiveOnboardingServices.h"
#include "app/views/onboarding/OnboardingModel.h"

#include "AccountApiDouble.h"
#include "EventLoop.h"
#include "ServiceRig.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

using testing::AccountApiDouble;
using testing::ServiceRig;
using testing::waitUntil;

LiveOnboardingServices::Parts partsOf(ServiceRig& rig)
{
    return {
        [&rig]() -> ConfigurationManager& { return *rig.config; },
        [&rig]() -> BlockingService& { return *rig.blocking; },
        [&rig]() -> ScheduleManager& { return rig.schedule ? *rig.schedule : rig.startScheduleManager(); },
        [&rig]() -> HelperInstaller& { return *rig.installer; },
        [&rig]() -> DesktopAccountService& { return rig.account; },
        &rig.time,
        &rig.time,
    };
}

QJsonObject savedConfig(const ServiceRig& rig)
{
    QFile file(rig.configPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The finish over the real configuration manager and blocking service: the
// choices of the wizard are in config.json with the automatic hours on, and
// the daemon gets the week.
TEST(OnboardingLiveServicesTest, FinishingWritesTheSwitchIntoConfigJson)
{
    ServiceRig::Options options;
    options.fakeDaemon = true;
    ServiceRig rig(options);
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    LiveOnboardingServices services(partsOf(rig));
    OnboardingModel model(services, [] {});
    EXPECT_TRUE(model.permitted());

    services.setConfiguration(ServiceRig::configurationWith({ u"example.com"_s }, false));
    model.apply(OnboardingPolicy::Preset::workday);
    EXPECT_EQ(savedConfig(rig).value(u"enabled"_s), QJsonValue(false));
    EXPECT_EQ(WeekSchedule::days(rig.config->configuration().schedule),
        OnboardingPolicy::Preset(OnboardingPolicy::Preset::workday).days());

    const int updates = rig.daemon->count(u"updateSchedule"_s);
    model.finish(false);
    const QJsonObject saved = savedConfig(rig);
    EXPECT_EQ(saved.value(u"enabled"_s), QJsonValue(true));
    EXPECT_EQ(saved.value(u"blockedSites"_s).toVariant().toStringList(), QStringList { u"example.com"_s });
    ASSERT_TRUE(rig.syncWithDaemon());
    EXPECT_GT(rig.daemon->count(u"updateSchedule"_s), updates);
}

// The gate at start-up over the real account service: the account's own first
// sync is still running when the gate asks, and the two share it.
TEST(OnboardingLiveServicesTest, TheGatesCheckJoinsTheRunningSync)
{
    for (const bool onboarded : { true, false }) {
        SCOPED_TRACE(onboarded);
        QSettings().remove(OnboardingWindowController::onboardingCompletedKey);
        ServiceRig::Options options;
        options.fakeDaemon = true;
        ServiceRig rig(options);
        ASSERT_TRUE(rig.waitForInstalledDaemon());
        AccountApiDouble api;
        api.nowMs = [&rig] { return double(rig.time.now().toMSecsSinceEpoch()); };
        api.snapshot.insert(u"settings"_s,
            QJsonObject { { u"onboarded"_s, onboarded }, { u"enabled"_s, true }, { u"timezone"_s, u"UTC"_s },
                { u"platforms"_s, QJsonArray {} },
                { u"schedule"_s,
                    QJsonArray { QJsonObject { { u"days"_s, QJsonArray { 1, 2, 3, 4, 5 } }, { u"start"_s, u"09:00"_s },
                        { u"end"_s, u"17:00"_s } } } },
                { u"sites"_s, QJsonArray { u"example.com"_s } } });
        AccountApiDouble::Fault slow;
        slow.delayMs = 300;
        api.addFault(u"/api/bootstrap"_s, slow);
        MemorySessionStore store;
        store.setStored(DesktopAccountSession::fromJson(api.issueSession())->toJsonBytes());
        QSettings defaults(rig.dir.filePath(u"defaults.ini"_s), QSettings::IniFormat);
        AccountClient client(AccountEnvironment(api.apiBase(), api.webBase()), store, rig.time, defaults);
        DeviceLink link(
            client, rig.time, rig.time, [](const QUrl&) {}, [] { return u"install"_s; });
        rig.account.attach({ &client, &link, [&rig] { return rig.config.get(); }, [&rig] { return rig.blocking.get(); },
            [&rig] { return rig.schedule.get(); }, [&rig] { return rig.connection.get(); }, &rig.time, &rig.time,
            [] { return u"UTC"_s; } });
        LiveOnboardingServices services(partsOf(rig));
        OnboardingWindowController gate(services);
        gate.setSettingsWindow([] { return nullptr; });

        rig.account.start();
        // Before the keyring answered: nothing decided, nothing shown.
        EXPECT_FALSE(gate.requireAccount());
        ASSERT_TRUE(waitUntil([&] { return api.count(u"/api/bootstrap"_s) == 1; }));
        EXPECT_TRUE(rig.account.syncing());
        EXPECT_FALSE(gate.window());
        ASSERT_TRUE(waitUntil([&] { return !gate.checking(); }, 10000));
        EXPECT_EQ(gate.window() != nullptr, !onboarded);
        EXPECT_EQ(OnboardingWindowController::onboardingCompleted(), onboarded);
        // The start-up round and the one more it was asked for; never two at once.
        EXPECT_LE(api.count(u"/api/bootstrap"_s), 2);
        QSettings().remove(OnboardingWindowController::onboardingCompletedKey);
    }
}

} // namespace
} // namespace kestravin
