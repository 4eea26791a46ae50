#pragma once

#include "app/models/BrowserBridgeModels.h"
#include "app/models/Configuration.h"

#include <QDateTime>
#include <QObject>

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class HelperInstaller;
class ScheduleManager;
class DesktopBrowserBridge;

// The browser bridge as the popover reads it: its switch, its focus and the
// start of a browser focus.
class MenuBrowserPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool enabled() const = 0;
    virtual BrowserFocus focus() const = 0;
    // A browser focus of 1 to 240 minutes; a refusal lands in the bridge's status.
    virtual void begin(int minutes) = 0;

Q_SIGNALS:
    void changed();
};

// The port over the application's bridge.
class DesktopMenuBrowserPort final : public MenuBrowserPort {
    Q_OBJECT
public:
    explicit DesktopMenuBrowserPort(DesktopBrowserBridge& bridge, QObject* parent = nullptr);

    bool enabled() const override;
    BrowserFocus focus() const override;
    void begin(int minutes) override;

private:
    DesktopBrowserBridge& m_bridge;
};

// What the popover reads of the blocking services and the three things it
// asks of them. `changed` covers every value read here.
class MenuBlockingPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isBlocking() const = 0;
    // Invalid while no manual session is set.
    virtual QDateTime sessionEndTime() const = 0;
    virtual QString remainingTime() const = 0;
    virtual Configuration configuration() const = 0;
    virtual bool helperInstalled() const = 0;
    virtual bool helperInstalling() const = 0;
    virtual bool browserSyncEnabled() const = 0;
    virtual BrowserFocus browserFocus() const = 0;

    // A local manual focus through the schedule manager.
    virtual void blockForDuration(int minutes) = 0;
    // A browser focus of 1 to 240 minutes; refused quietly otherwise.
    virtual void beginBrowserFocus(int minutes) = 0;
    // Installs the daemon; whatever the outcome, the daemon is then handed
    // the schedule as it stands.
    virtual void installHelper() = 0;
    // Publishes the configuration with the switch changed and saves it.
    virtual void setAutomaticHours(bool on) = 0;

Q_SIGNALS:
    void changed();
};

// The port over the application's services.
class DesktopMenuBlockingPort final : public MenuBlockingPort {
    Q_OBJECT
public:
    DesktopMenuBlockingPort(BlockingService& blocking, ScheduleManager& scheduleManager,
        ConfigurationManager& configManager, HelperInstaller& installer, MenuBrowserPort& browser,
        QObject* parent = nullptr);

    bool isBlocking() const override;
    QDateTime sessionEndTime() const override;
    QString remainingTime() const override;
    Configuration configuration() const override;
    bool helperInstalled() const override;
    bool helperInstalling() const override;
    bool browserSyncEnabled() const override;
    BrowserFocus browserFocus() const override;

    void blockForDuration(int minutes) override;
    void beginBrowserFocus(int minutes) override;
    void installHelper() override;
    void setAutomaticHours(bool on) override;

private:
    BlockingService& m_blocking;
    ScheduleManager& m_scheduleManager;
    ConfigurationManager& m_configManager;
    HelperInstaller& m_installer;
    MenuBrowserPort& m_browser;
};

} // namespace kestravin
