#pragma once

#include "app/services/shield/DesktopBrowserShield.h"

#include <QObject>

namespace kestravin {

// The browser shield's switch and its permission, as the popover shows them.
class MenuShieldPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool enabled() const = 0;
    virtual bool hasPermission() const = 0;
    virtual void requestPermission() = 0;

Q_SIGNALS:
    void changed();
};

// The running application's browser shield.
class DesktopMenuShieldPort final : public MenuShieldPort {
    Q_OBJECT
public:
    explicit DesktopMenuShieldPort(DesktopBrowserShield& shield, QObject* parent = nullptr)
        : MenuShieldPort(parent), m_shield(shield)
    {
        connect(&m_shield, &DesktopBrowserShield::enabledChanged, this, &MenuShieldPort::changed);
        connect(&m_shield, &DesktopBrowserShield::hasPermissionChanged, this, &MenuShieldPort::changed);
    }
    bool enabled() const override { return m_shield.enabled(); }
    bool hasPermission() const override { return m_shield.hasPermission(); }
    void requestPermission() override { m_shield.requestPermission(); }

private:
    DesktopBrowserShield& m_shield;
};

// A build or test without the shield: nothing asks for its permission.
class NoShieldPort final : public MenuShieldPort {
    Q_OBJECT
public:
    using MenuShieldPort::MenuShieldPort;
    bool enabled() const override { return false; }
    bool hasPermission() const override { return false; }
    void requestPermission() override { }
};

} // namespace kestravin
