#pragma once

#include "app/platform/ScreenReader.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace kestravin {

// The AT-SPI switch "ScreenReaderEnabled" of org.a11y.Status on the session
// bus, which screen readers such as Orca set while they run. Without a session
// bus or an accessibility bus the reader counts as off.
class AtspiScreenReader : public ScreenReader {
    Q_OBJECT
public:
    explicit AtspiScreenReader(const QDBusConnection& bus, QObject* parent = nullptr);

    bool isRunning() const override { return m_running; }

private Q_SLOTS:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void read();
    void set(bool running);

    QDBusConnection m_bus;
    bool m_running = false;
};

} // namespace kestravin
