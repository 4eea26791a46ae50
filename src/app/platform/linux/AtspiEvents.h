#pragma once

#include "app/platform/ShieldPlatform.h"

#include <QDBusConnection>

#include <optional>

class QDBusMessage;

namespace kestravin {

// The AT-SPI2 events the browser shield follows, on a connection of its own
// to the accessibility bus: window activation, focus, a document loaded or
// reloaded, and accessible names changed. They are registered with the
// registry, so that toolkits that send only what someone listens to (the
// ATK bridge of Chromium and Firefox) send them; the registry forgets them
// when the connection closes.
class AtspiEvents final : public AccessibilityEvents {
    Q_OBJECT
public:
    explicit AtspiEvents(QObject* parent = nullptr);
    ~AtspiEvents() override;

    bool listen() override;
    void stop() override;

private Q_SLOTS:
    void onEvent(const QDBusMessage& message);

private:
    QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
};

} // namespace kestravin
