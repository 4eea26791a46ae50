#pragma once

#include "app/models/BrowserBridgePolicy.h"

#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

class DesktopAccountService;

// What the browser bridge needs of the account: whether the computer is
// linked, the account state while its settings are the ones applied here,
// the focus start and the sync pass.
class BrowserBridgeAccount {
public:
    virtual ~BrowserBridgeAccount() = default;

    // The computer is linked to an account.
    virtual bool hasSession() const = 0;
    // The account state, present only with a session, a downloaded snapshot
    // and that snapshot's revision applied to the local configuration. With
    // no account nothing is synced, so the bridge leaves a focus started
    // elsewhere alone.
    virtual std::optional<BrowserBridgePolicy::AccountView> syncedAccount() const = 0;
    // The `source` of the downloaded snapshot's focus, when there is a
    // snapshot and its focus names one.
    virtual std::optional<QString> snapshotFocusSource() const = 0;
    // Asks the account to start a focus of `minutes`; `done` gets the error's
    // description, or none on success.
    virtual void startFocus(int minutes, std::function<void(std::optional<QString> error)> done) = 0;
    // One account sync pass; `done` runs when it has finished.
    virtual void syncNow(std::function<void()> done) = 0;
};

// The bridge's view of the application's account service.
class AccountServiceBridgeAccount final : public BrowserBridgeAccount {
public:
    explicit AccountServiceBridgeAccount(DesktopAccountService& service) : m_service(service) { }

    bool hasSession() const override;
    std::optional<BrowserBridgePolicy::AccountView> syncedAccount() const override;
    std::optional<QString> snapshotFocusSource() const override;
    void startFocus(int minutes, std::function<void(std::optional<QString>)> done) override;
    void syncNow(std::function<void()> done) override;

private:
    DesktopAccountService& m_service;
};

} // namespace kestravin
