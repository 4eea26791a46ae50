#include "app/views/pickers/PickerHosts.h"

#include "app/services/ConfigurationManager.h"
#include "app/services/DesktopAccountService.h"
#include "app/views/brand/Appearance.h"

#include <QTimer>

namespace kestravin {
namespace {

void later(QObject* context, std::function<void()> work, std::function<void()> after)
{
    QTimer::singleShot(0, context, [work = std::move(work), after = std::move(after)] {
        work();
        if (after) {
            after();
        }
    });
}

} // namespace

ConfigSitePickerHost::ConfigSitePickerHost(
    ConfigurationManager& config, DesktopAccountService& account, QObject* context, std::function<void()> after)
    : m_config(config), m_account(account), m_context(context), m_after(std::move(after))
{
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

void ConfigSitePickerHost::localEditChanged()
{
    m_account.localEditChanged();
}

bool ConfigSitePickerHost::reduceMotion() const
{
    return Appearance::shared().reduceMotion();
}

void ConfigSitePickerHost::nextTurn(std::function<void()> work)
{
    if (m_context) {
        later(m_context, std::move(work), m_after);
    }
}

ConfigAppPickerHost::ConfigAppPickerHost(
    ConfigurationManager& config, DesktopAccountService& account, QObject* context, std::function<void()> after)
    : m_config(config), m_account(account), m_context(context), m_after(std::move(after))
{
}

QList<BlockedApp> ConfigAppPickerHost::blockedApps() const
{
    return m_config.configuration().blockedApps;
}

void ConfigAppPickerHost::setBlocked(const BlockedApp& app, bool blocked)
{
    m_config.setBlocked(app, blocked);
}

void ConfigAppPickerHost::localEditChanged()
{
    m_account.localEditChanged();
}

bool ConfigAppPickerHost::reduceMotion() const
{
    return Appearance::shared().reduceMotion();
}

void ConfigAppPickerHost::nextTurn(std::function<void()> work)
{
    if (m_context) {
        later(m_context, std::move(work), m_after);
    }
}

} // namespace kestravin
