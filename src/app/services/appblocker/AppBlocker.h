#pragma once

#include "app/platform/RunningApp.h"
#include "app/services/appblocker/AppBlockPanel.h"
#include "app/services/appblocker/AppBlockerInputs.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

class Workspace;

// Keeps the apps of the block list out of reach while a focus runs: hides them
// when they come up, hides them again 0.6 s later if they came back, and covers
// the one in front with the block panel, which leads back to the last allowed
// app or spends an earned break. It follows the site block and the browser
// focus; it never decides the focus itself.
class AppBlocker : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool focusActive READ focusActive NOTIFY focusActiveChanged)
public:
    struct Collaborators {
        // Whether an app must never be hidden (this application included).
        std::function<bool(const QString& identifier, const QString& ownIdentifier)> isProtected;
        // Sends a product-analytics event; its outcome is not observed.
        std::function<void(const QString& event, const QMap<QString, QString>& properties)> capture;
        // Starts an earned break on the account and calls back on the GUI
        // thread with whether it worked; nothing is called once `context` is gone.
        std::function<void(QObject* context, std::function<void(bool succeeded)> done)> useFolga;
        std::function<void()> alertSound;
        // Clock and delayed work; both default to the real ones.
        std::function<QDateTime()> now;
        std::function<void(int delayMs, QObject* context, std::function<void()> work)> runLater;
    };

    AppBlocker(Workspace& workspace, AppBlockerInputs& inputs, AppBlockPanel& panel, QString ownBundleID,
        Collaborators collaborators, QObject* parent = nullptr);
    ~AppBlocker() override;

    // The application's blocker on the X11 workspace, the services and the
    // covering panel (defined with the views, Kestravin::blocker).
    static AppBlocker& shared();

    // Begins watching launches, activations, the focus and the block list. A
    // second call while started does nothing; on a workspace that cannot reach
    // other apps the blocker stays idle.
    void start();
    // Stops watching and takes the panel away; hidden apps stay hidden.
    void stop();

    bool isStarted() const { return m_started; }
    bool focusActive() const { return m_focusActive; }

Q_SIGNALS:
    void focusActiveChanged(bool active);

private:
    void observe(const RunningApp& app);
    void setFocusActive(bool active);
    void hideRunning(const QList<BlockedApp>& apps, bool showPanel);
    bool blocks(const RunningApp& app, const QList<BlockedApp>& apps) const;
    bool isProtected(const QString& identifier) const;
    void hide(const RunningApp& app);
    void show(const RunningApp& app);
    std::optional<QDateTime> focusEnd() const;
    void returnToLastAllowedApp();
    void useFolga(const RunningApp& app);
    void openAfterFocusFalls(const RunningApp& app, int step);
    void takePanelAway();

    void onFocusInputsChanged();
    void onBlockedAppsChanged();

    Workspace& m_workspace;
    AppBlockerInputs& m_inputs;
    AppBlockPanel& m_panel;
    const QString m_ownBundleID;
    Collaborators m_collaborators;

    bool m_started = false;
    QList<QMetaObject::Connection> m_connections;
    std::optional<bool> m_deliveredFocus;
    std::optional<QList<BlockedApp>> m_deliveredApps;
    bool m_focusActive = false;
    std::optional<RunningApp> m_lastAllowedApp;
    struct Attempt {
        QString id;
        QDateTime at;
    };
    std::optional<Attempt> m_lastAttempt;
};

} // namespace kestravin
