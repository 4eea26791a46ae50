#pragma once

#include "app/models/AppPickerModel.h"
#include "app/models/SitePickerModel.h"

#include <QPointer>

namespace kestravin {

class ConfigurationManager;
class DesktopAccountService;

// What both pickers' hosts share: the configuration manager, the account
// service and the event loop. Work for the next turn runs in the event loop of
// `context` (never once it is gone), then `after`.
class PickerHostBase {
public:
    PickerHostBase(
        ConfigurationManager& config, DesktopAccountService& account, QObject* context, std::function<void()> after);

protected:
    void tellAccount();
    static bool motionReduced();
    void queue(std::function<void()> work);

    ConfigurationManager& m_config;

private:
    DesktopAccountService& m_account;
    QPointer<QObject> m_context;
    std::function<void()> m_after;
};

// The site picker's model on the real configuration manager and account service.
class ConfigSitePickerHost final : public SitePickerHost, private PickerHostBase {
public:
    using PickerHostBase::PickerHostBase;
    QStringList blockedSites() const override;
    bool removalsLocked() const override;
    void noteLocked() override;
    void setBlocked(const SiteCatalogEntry& entry, bool blocked) override;
    void addSites(const QStringList& domains) override;
    void removeSites(const QStringList& domains) override;
    void resetSitesToDefaults() override;
    void localEditChanged() override { tellAccount(); }
    bool reduceMotion() const override { return motionReduced(); }
    void nextTurn(std::function<void()> work) override { queue(std::move(work)); }
};

// The app picker's model on the same services.
class ConfigAppPickerHost final : public AppPickerHost, private PickerHostBase {
public:
    using PickerHostBase::PickerHostBase;
    QList<BlockedApp> blockedApps() const override;
    void setBlocked(const BlockedApp& app, bool blocked) override;
    void localEditChanged() override { tellAccount(); }
    bool reduceMotion() const override { return motionReduced(); }
    void nextTurn(std::function<void()> work) override { queue(std::move(work)); }
};

} // namespace kestravin
