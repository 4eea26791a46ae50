#pragma once

#include "app/models/Configuration.h"
#include "app/services/DesktopBrowserBridge.h"

#include <QDateTime>
#include <QObject>

#include <functional>

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class HelperInstaller;
class ScheduleManager;

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
        ConfigurationManager& configManager, HelperInstaller& installer, DesktopBrowserBridge& bridge,
        std::function<void(int minutes)> beginBrowserFocus, QObject* parent = nullptr);

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
    DesktopBrowserBridge& m_bridge;
    std::function<void(int minutes)> m_beginBrowserFocus;
};

} // namespace kestravin
