#pragma once

#include "app/models/BrowserShieldPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ShieldPlatform.h"
#include "app/services/ShieldPanelHost.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace kestravin {

// Watches the frontmost web browser through its accessibility tree and, while
// the page it shows belongs to a host in the daemon's block section of the
// hosts file, covers the browser window with the shield panel. The panel's
// actions (close the tab, go back, use a break, ask Orla) live here too.
// Every platform facility is injected: the tree, the desktop's windows, the
// key sender, the panel, the clock and delayed work.
class DesktopBrowserShield : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
    Q_PROPERTY(bool hasPermission READ hasPermission NOTIFY hasPermissionChanged)
    Q_PROPERTY(QString detail READ detail NOTIFY detailChanged)
public:
    static const QString enabledKey;
    static const QString observedKey;
    static const QString verifiedKey;
    static const QString messageIndexKey;

    struct Environment {
        QString hostsFile = QStringLiteral("/etc/hosts");
        // The shield log; empty writes none.
        QString logFile;
        // An INI file for the settings; empty uses the application's settings.
        QString settingsFile;
        // Multiplies the time budgets of the window searches (address bar
        // 0.3 s, page address and tab strip 0.2 s each); the element limits
        // stay. Trees read over D-Bus answer each read with a round trip.
        int searchBudgetScale = 1;
    };

    struct Collaborators {
        std::function<void(const QString&, const QMap<QString, QString>&)> capture;
        // Spends a break; `done(false)` when the account refused it.
        std::function<void(QObject* context, std::function<void(bool)> done)> useFolga;
        std::function<void()> alertSound;
        // When the running focus ends, if known.
        std::function<std::optional<QDateTime>()> focusEnd;
        // Opens the assistant's request window for a host and its address.
        std::function<void(const QString& host, const QString& address)> askOrla;
        // The site catalogue's id of a host, for the analytics event.
        std::function<std::optional<QString>(const QString& host)> catalogueId;
    };

    DesktopBrowserShield(AccessibilityTree& tree, BrowserWindows& windows, KeySender& keys, ShieldPanelHost& panel,
        Clock& clock, Scheduler& scheduler, Environment environment, Collaborators collaborators,
        QObject* parent = nullptr);
    ~DesktopBrowserShield() override;

    // The shield of the running application, on the real desktop.
    static DesktopBrowserShield& shared();

    // The applications treated as web browsers, by desktop-file ID (and the
    // other platforms' identifiers, kept as data).
    static const QSet<QString>& browsers();
    static const QStringList& messages();

    void start();
    void stop();
    bool isStarted() const { return m_timer != nullptr; }
    void setEnabled(bool on);
    // Switches the desktop's accessibility on; browsers started before must
    // be restarted to publish their trees.
    void requestPermission();

    bool enabled() const { return m_enabled; }
    bool hasPermission() const { return m_hasPermission; }
    // Why the shield cannot see a browser right now, for the account page;
    // empty when nothing is wrong.
    QString detail() const { return m_detail; }

    // One pass of the scan (the timer runs it twice a second).
    void observe();

    // The panel's actions on the covered page.
    void closeTab();
    void goBack();
    void useFolga();
    void askOrla();

    // How long the last pass took (ms), for measurements.
    qint64 lastPassMs() const { return m_lastPassMs; }

    bool covering() const { return m_shownHost.has_value(); }
    std::optional<QString> shownHost() const { return m_shownHost; }

Q_SIGNALS:
    void enabledChanged();
    void hasPermissionChanged();
    void detailChanged();

private:
    struct TabAnchor {
        std::optional<AxElement> tab;
    };
    struct Strip {
        enum class Kind { None, Uncertain, Tabs } kind = Kind::Uncertain;
        QList<AxElement> tabs;
        std::optional<int> selected;
    };
    struct Reading {
        enum class Kind { Blocked, Clear, Unsure } kind = Kind::Unsure;
        QString host;
        QString address;
    };
    struct ShownWindow {
        qint64 pid = 0;
        AxElement window;
        RunningApp app;
        QString identity;
    };

    void pass();
    Reading read(const AxElement& window, const QString& hosts, bool confirmClear);
    AxRole roleOf(const AxElement& element);
    std::optional<AxElement> addressField(const AxElement& window);
    std::optional<QString> pageUrl(const AxElement& window);
    Strip tabStrip(const AxElement& window);
    QList<AxElement> radioButtons(const AxElement& element, int depth);
    bool leftBy(const TabAnchor& anchor, const Strip& strip);
    void noteBlocked(const AxElement& window, const std::optional<QString>& title);
    std::optional<QRect> frameOf(const AxElement& element);
    void note(const QString& text);
    std::optional<QString> readHosts() const;

    void show(const QString& host, const QString& address, const QString& message, const std::optional<QRect>& frame,
        const FrontApp& app, const AxElement& window);
    void dismiss();
    void leave();
    void glue();
    void raise();
    bool closed(const AxElement& window);
    std::optional<AxElement> neighborTab(const AxElement& window);
    void lifted(const QString& hosts);
    void tryClose(
        const ShownWindow& target, const QString& host, std::optional<AxElement> tab, int retries, int activationPolls);
    // Brings `window` forward and sends `key` once the desktop confirms it
    // active and `check` still holds; gives up silently otherwise.
    void sendWhenActive(const ShownWindow& target, ShieldKey key, std::function<bool()> check, int pollsLeft,
        std::function<void()> onFail);
    std::optional<quint32> windowNumber(const ShownWindow& target);

    void setPermission(bool value);
    void setDetail(const QString& text);
    std::unique_ptr<QSettings> settings() const;

    AccessibilityTree& m_tree;
    BrowserWindows& m_windows;
    KeySender& m_keys;
    ShieldPanelHost& m_panel;
    Clock& m_clock;
    Scheduler& m_scheduler;
    Environment m_env;
    Collaborators m_collaborators;

    bool m_enabled = true;
    bool m_hasPermission = false;
    QString m_detail;
    std::unique_ptr<Timer> m_timer;
    QMetaObject::Connection m_activation;
    BrowserShieldAttempts m_attempts;
    std::optional<QString> m_shownHost;
    std::optional<RunningApp> m_previousApp;
    QString m_lastNote;
    QList<QPair<AxElement, AxElement>> m_addressFields;
    // Per window, the element whose children are its tabs (newest first).
    QList<QPair<AxElement, AxElement>> m_tabHolders;
    QSet<QString> m_blockedTitles;
    std::optional<TabAnchor> m_blockedTab;
    std::optional<AxElement> m_closingTab;
    std::optional<ShownWindow> m_shownWindow;
    std::optional<QString> m_shownAddress;
    int m_clearReads = 0;
    QHash<AxElement, AxRole> m_roles;
    qint64 m_lastPassMs = 0;
};

} // namespace kestravin
