#pragma once

#include "app/platform/ShieldPlatform.h"

#include <QDBusConnection>
#include <QString>

#include <memory>

class QDBusMessage;

namespace kestravin {

// Other applications' accessibility trees over AT-SPI2, read with plain
// D-Bus calls (no GLib): the accessibility bus address comes from
// org.a11y.Bus on the session bus, every call carries its own time-out, and
// failures come back as AxError instead of blocking. A tree has its own
// connection to the accessibility bus and is used by one thread at a time.
class AtspiTree final : public AccessibilityTree {
public:
    struct Options {
        // Time-out of calls about the application element.
        int applicationTimeoutMs = 100;
        // Time-out of every other call.
        int elementTimeoutMs = 200;
    };

    AtspiTree();
    explicit AtspiTree(Options options);
    ~AtspiTree() override;

    bool isEnabled() override;
    bool enable() override;

    std::optional<AxElement> application(qint64 pid) override;
    AxRead<AxElement> focusedWindow(const AxElement& application, const WindowHint& hint = {}) override;
    AxRead<AxRole> role(const AxElement& element) override;
    AxRead<AxChildren> children(const AxElement& element, int limit) override;
    AxRead<QString> name(const AxElement& element) override;
    AxRead<QString> description(const AxElement& element) override;
    AxRead<QString> identifier(const AxElement& element) override;
    AxRead<QString> text(const AxElement& element) override;
    AxRead<AxStates> states(const AxElement& element) override;
    AxRead<QString> documentUrl(const AxElement& element) override;
    AxRead<QRect> extents(const AxElement& element) override;
    bool press(const AxElement& element) override;

    // The raw AT-SPI role number of an element, for the tree probe.
    AxRead<uint> rawRole(const AxElement& element);
    AxRead<QStringList> actions(const AxElement& element);
    AxRead<QMap<QString, QString>> attributes(const AxElement& element);

private:
    AxRead<AxElement> findFocusedWindow(const AxElement& application, const WindowHint& hint);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kestravin
