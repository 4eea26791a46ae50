#pragma once

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

// Until the shield exists nothing asks for its permission.
class NoShieldPort final : public MenuShieldPort {
    Q_OBJECT
public:
    using MenuShieldPort::MenuShieldPort;
    bool enabled() const override { return false; }
    bool hasPermission() const override { return false; }
    void requestPermission() override { }
};

} // namespace kestravin
