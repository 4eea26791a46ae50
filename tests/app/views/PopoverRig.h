#pragma once

#include "MenuBarFakes.h"
#include "ServiceRig.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBlockingPort.h"

#include <QList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace kestravin::testing {

// The popover's view over the real services of a ServiceRig (a scripted
// daemon when installed) with fakes of the browser bridge, the account, the
// updater and the shield; the window actions it asks for are counted.
class PopoverRig {
protected:
    // Starts the services and builds the view (not shown yet).
    void startPopover(bool installed, const Configuration& configuration)
    {
        ServiceRig::Options options;
        options.fakeDaemon = installed;
        options.configJson = configuration.toJsonBytes();
        rig = std::make_unique<ServiceRig>(options);
        if (installed) {
            rig->installer->checkHelperStatus();
            ASSERT_TRUE(rig->waitForInstalledDaemon());
        }
        rig->startScheduleManager();
        blocking = std::make_unique<DesktopMenuBlockingPort>(
            *rig->blocking, *rig->schedule, *rig->config, *rig->installer, bridge);
        MenuBarServices services;
        services.blocking = blocking.get();
        services.account = &account;
        services.updater = &updater;
        services.shield = &shield;
        services.clock = &rig->time;
        services.scheduler = &rig->time;
        services.timeZone = QTimeZone::utc();
        services.openSettings = [this] { ++settingsOpened; };
        services.openFolgaPage = [this](FolgaPage page) { folgaPages << page; };
        services.showAssistant = [this] { ++assistantOpened; };
        services.quit = [this] { ++quits; };
        view = std::make_unique<MenuBarPopoverView>(services);
    }

    std::unique_ptr<ServiceRig> rig;
    FakeBrowser bridge;
    std::unique_ptr<DesktopMenuBlockingPort> blocking;
    FakeMenuAccount account;
    FakeUpdater updater;
    FakeShield shield;
    int settingsOpened = 0;
    QList<FolgaPage> folgaPages;
    int assistantOpened = 0;
    int quits = 0;
    std::unique_ptr<MenuBarPopoverView> view;
};

} // namespace kestravin::testing
