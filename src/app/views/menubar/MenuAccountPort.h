#pragma once

#include "app/services/account/DesktopAccountService.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

// What the popover needs of the account: whether this computer holds a
// session, the last snapshot, the last focus-start error, and the three
// requests it makes. `changed` covers every published value.
class MenuAccountPort : public QObject {
    Q_OBJECT
public:
    // Called once when the request ends: no error, or the user-facing text.
    using UseFolgaDone = std::function<void(std::optional<QString> error)>;

    using QObject::QObject;

    virtual bool hasSession() const = 0;
    virtual std::optional<DesktopAccountSnapshot> snapshot() const = 0;
    virtual std::optional<QString> focusError() const = 0;
    // Never fails to the caller: a failure shows up in focusError().
    virtual void startFocusFromMenu(int minutes) = 0;
    virtual void useFolga(UseFolgaDone done) = 0;
    virtual void localEditChanged() = 0;

Q_SIGNALS:
    void changed();
};

// The port over the application's account service.
class DesktopAccountMenuPort final : public MenuAccountPort {
    Q_OBJECT
public:
    explicit DesktopAccountMenuPort(DesktopAccountService& service, QObject* parent = nullptr);

    bool hasSession() const override { return m_service.session().has_value(); }
    std::optional<DesktopAccountSnapshot> snapshot() const override { return m_service.snapshot(); }
    std::optional<QString> focusError() const override { return m_service.focusError(); }
    void startFocusFromMenu(int minutes) override { m_service.startFocusFromMenu(minutes); }
    void useFolga(UseFolgaDone done) override;
    void localEditChanged() override { m_service.localEditChanged(); }

private:
    DesktopAccountService& m_service;
};

} // namespace kestravin
