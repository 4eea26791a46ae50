#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <memory>

class QDBusServiceWatcher;
class QSystemTrayIcon;

namespace kestravin {

class StatusNotifierItem;

// The application's place in the panel: a StatusNotifierItem while a watcher
// is on the session bus, the XEmbed tray icon (QSystemTrayIcon) otherwise.
// It follows the watcher coming and going, and the two never show together.
class TrayItem : public QObject {
    Q_OBJECT
public:
    enum class Kind { none, statusNotifier, systemTray };

    explicit TrayItem(QDBusConnection bus, QObject* parent = nullptr);
    ~TrayItem() override;

    // Puts the item in the panel.
    void show();

    // Icon and tool tip for the blocking state; `label` is the countdown
    // (empty: none), `guide` its widest text.
    void setState(bool active, const QString& label, const QString& guide);

    Kind kind() const { return m_kind; }
    StatusNotifierItem* statusNotifier() const { return m_sni.get(); }

Q_SIGNALS:
    // The user clicked the item. `anchor` is where, in screen coordinates,
    // or null when nobody knows (the caller then takes the cursor).
    void activated(QPoint anchor);
    void kindChanged(Kind kind);

private:
    void useStatusNotifier();
    void useSystemTray();
    void setKind(Kind kind);
    void publish();

    QDBusConnection m_bus;
    std::unique_ptr<StatusNotifierItem> m_sni;
    QPointer<QSystemTrayIcon> m_tray;
    QDBusServiceWatcher* m_watcherWatch = nullptr;
    Kind m_kind = Kind::none;
    bool m_active = false;
    QString m_label;
    QString m_guide;
};

} // namespace kestravin
