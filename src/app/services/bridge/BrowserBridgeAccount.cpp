#include "app/services/bridge/BrowserBridgeAccount.h"

#include "app/services/account/DesktopAccountService.h"

namespace kestravin {

bool AccountServiceBridgeAccount::hasSession() const
{
    return m_service.session().has_value();
}

std::optional<BrowserBridgePolicy::AccountView> AccountServiceBridgeAccount::syncedAccount() const
{
    const auto& snapshot = m_service.snapshot();
    if (!hasSession() || !snapshot || !m_service.scheduleSynced()) {
        return std::nullopt;
    }
    BrowserBridgePolicy::AccountView view;
    view.userId = snapshot->user.id;
    view.revision = snapshot->revision;
    view.settings = snapshot->settings;
    view.focusEnabled = snapshot->focus.enabled;
    view.focusId = snapshot->focus.id;
    view.focusEndsAt = snapshot->focus.endsAt;
    view.pausedUntil = snapshot->pausedUntil;
    view.appliedGrants = m_service.appliedGrants();
    return view;
}

std::optional<QString> AccountServiceBridgeAccount::snapshotFocusSource() const
{
    const auto& snapshot = m_service.snapshot();
    return snapshot ? snapshot->focus.source : std::nullopt;
}

void AccountServiceBridgeAccount::startFocus(int minutes, std::function<void(std::optional<QString>)> done)
{
    m_service.startFocus(minutes, [done = std::move(done)](std::optional<AccountFailure> failure) {
        done(failure ? std::optional<QString>(failure->text) : std::nullopt);
    });
}

void AccountServiceBridgeAccount::syncNow(std::function<void()> done)
{
    m_service.syncNow(std::move(done));
}

} // namespace kestravin
