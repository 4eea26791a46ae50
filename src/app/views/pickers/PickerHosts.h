#pragma once

#include "app/models/AppPickerModel.h"
#include "app/models/SitePickerModel.h"

#include <QPointer>

namespace kestravin {

class ConfigurationManager;
class DesktopAccountService;

// The pickers' models on the real configuration manager and account service.
// Work for the next turn runs on the event loop of `context`, then `after`.
class ConfigSitePickerHost final : public SitePickerHost {
public:
    ConfigSitePickerHost(
        ConfigurationManager& config, DesktopAccountService& account, QObject* context, std::function<void()> after);
    QStringList blockedSites() const override;
    bool removalsLocked() const override;
    void noteLocked() override;
    void setBlocked(const SiteCatalogEntry& entry, bool blocked) override;
    void addSites(const QStringList& domains) override;
    void removeSites(const QStringList& domains) override;
    void resetSitesToDefaults() override;
    void localEditChanged() override;
    bool reduceMotion() const override;
    void nextTurn(std::function<void()> work) override;

private:
    ConfigurationManager& m_config;
    DesktopAccountService& m_account;
    QPointer<QObject> m_context;
    std::function<void()> m_after;
};

class ConfigAppPickerHost final : public AppPickerHost {
public:
    ConfigAppPickerHost(
        ConfigurationManager& config, DesktopAccountService& account, QObject* context, std::function<void()> after);
    QList<BlockedApp> blockedApps() const override;
    void setBlocked(const BlockedApp& app, bool blocked) override;
    void localEditChanged() override;
    bool reduceMotion() const override;
    void nextTurn(std::function<void()> work) override;

private:
    ConfigurationManager& m_config;
    DesktopAccountService& m_account;
    QPointer<QObject> m_context;
    std::function<void()> m_after;
};

} // namespace kestravin
