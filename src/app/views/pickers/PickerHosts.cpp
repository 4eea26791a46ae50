#include "app/views/pickers/PickerHosts.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/views/brand/Appearance.h"

#include <QTimer>

namespace kestravin {

PickerHostBase::PickerHostBase(
    ConfigurationManager& config, DesktopAccountService& account, QObject* context, std::function<void()> after)
    : m_config(config), m_account(account), m_context(context), m_after(std::move(after))
{
}

void PickerHostBase::tellAccount()
{
    m_account.localEditChanged();
}

bool PickerHostBase::motionReduced()
{
    return Appearance::shared().reduceMotion();
}

void PickerHostBase::queue(std::function<void()> work)
{
    if (!m_context) {
        return;
    }
    QTimer::singleShot(0, m_context, [work = std::move(work), after = m_after] {
        work();
        if (after) {
            after();
        }
    });
}

QStringList ConfigSitePickerHost::blockedSites() const
{
    return m_config.configuration().blockedSites;
}

bool ConfigSitePickerHost::removalsLocked() const
{
    return m_config.removalsLocked();
}

void ConfigSitePickerHost::noteLocked()
{
    m_config.noteLocked();
}

void ConfigSitePickerHost::setBlocked(const SiteCatalogEntry& entry, bool blocked)
{
    m_config.setBlocked(entry, blocked);
}

void ConfigSitePickerHost::addSites(const QStringList& domains)
{
    m_config.addSites(domains);
}

void ConfigSitePickerHost::removeSites(const QStringList& domains)
{
    m_config.removeSites(domains);
}

void ConfigSitePickerHost::resetSitesToDefaults()
{
    m_config.resetSitesToDefaults();
}

QList<BlockedApp> ConfigAppPickerHost::blockedApps() const
{
    return m_config.configuration().blockedApps;
}

void ConfigAppPickerHost::setBlocked(const BlockedApp& app, bool blocked)
{
    m_config.setBlocked(app, blocked);
}

} // namespace kestravin
