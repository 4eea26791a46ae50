#pragma once

#include "app/models/BrowserBridgeModels.h"
#include "app/models/BrowserBridgePolicy.h"
#include "app/models/Configuration.h"
#include "app/models/DesktopAccessError.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "contract/BrowserHelperControl.h"
#include "contract/HelperScheduleConfig.h"

#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <QTimeZone>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace kestravin {

class BrowserBridgeAccount;

// Keeps the browser extension in step through JSON files in one folder.
// Every second it writes state.json (the focus state to enforce, and a link
// request while one waits), reads the extension's receipts and commands,
// hands the browser focus state to the daemon at most every 3 s and mirrors
// the focus end into the schedule manager. It alone writes state.json and
// session.json, and it deletes the command and result files it has read.
class DesktopBrowserBridge : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(bool helperReady READ helperReady NOTIFY helperReadyChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
public:
    using DaemonCompletion = std::function<void(bool success, QString message)>;

    static constexpr std::chrono::milliseconds tickInterval { 1000 };
    static constexpr double pushSpacingMs = 3000;
    static constexpr double receiptLifetimeMs = 10000;
    static constexpr double coverageAfterReceiptMs = 12000;
    static constexpr double acceptanceLifetimeMs = 10000;
    static constexpr int commandsPerTick = 20;
    static constexpr int maximumFocusMinutes = 240;
    static constexpr std::chrono::milliseconds linkPollInterval { 500 };
    static constexpr int linkPolls = 90;
    static constexpr double linkRequestLifetimeMs = 45000;

    struct Environment {
        // The exchange folder.
        QString directory;
        Clock* clock = nullptr;
        Scheduler* scheduler = nullptr;
        QTimeZone timeZone = QTimeZone::systemTimeZone();
        std::function<Configuration()> configuration;
        // The installed daemon takes the browser-control call.
        std::function<bool()> supportsBrowserSync;
        std::function<void(const BrowserHelperControl&, const HelperScheduleConfig&, DaemonCompletion)>
            updateBrowserControl;
        BrowserBridgeAccount* account = nullptr;
        // The schedule manager's session end (invalid = none) and countdown.
        std::function<void(const QDateTime&)> setSessionEndTime;
        std::function<void(const QString&)> setRemainingTime;
        // Where the switch is kept; empty = the application's settings.
        QString settingsFile;
    };

    // Reads the switch and session.json; creates nothing and starts nothing.
    explicit DesktopBrowserBridge(Environment environment, QObject* parent = nullptr);
    ~DesktopBrowserBridge() override;

    static DesktopBrowserBridge& shared();
    static const QString syncSettingsKey;
    // The stored switch; absent reads as false.
    static bool storedSyncEnabled();
    // $XDG_DATA_HOME/Kestravin/browser-bridge.
    static QString defaultDirectory();

    bool enabled() const { return m_enabled; }
    bool connected() const { return m_connected; }
    bool helperReady() const { return m_helperReady; }
    QString status() const { return m_status; }
    const BrowserFocus& focus() const { return m_focus; }
    QString directory() const { return m_env.directory; }
    const BrowserBridgeSession& session() const { return m_session; }
    // The extension profile that link requests go to.
    const std::optional<QString>& activeClientId() const { return m_activeClientId; }

    // Starts the 1 s tick and runs one at once; a second call does nothing.
    void startMonitoring();
    void tick();
    // Refused (status says why) when switching on with a daemon that cannot
    // take the browser state.
    void setEnabled(bool on);
    // A focus of `minutes` for the browser: through the account when linked,
    // else a manual focus of the bridge's own. Refused while sync is off or
    // outside 1 to 240 minutes.
    std::optional<BridgeFailure> begin(int minutes);

    // One link offered to the extension; the verdict or the failure reaches
    // `completion` exactly once (at once when a check fails). The handle
    // cancels the wait.
    class LinkRequest {
    public:
        virtual ~LinkRequest() = default;
        virtual void cancel() = 0;
    };
    using LinkOutcome = std::variant<BrowserURLResult, BridgeFailure>;
    std::shared_ptr<LinkRequest> requestURL(
        const QString& url, const QString& reason, int minutes, std::function<void(LinkOutcome)> completion);

Q_SIGNALS:
    void enabledChanged();
    void connectedChanged();
    void helperReadyChanged();
    void statusChanged();
    void focusChanged();
    // state.json was written (once per completed tick).
    void stateWritten();

private:
    class PendingLink;
    struct Receipt {
        QString clientId;
        double at = 0;
    };

    double nowMs() const;
    bool prepareDirectory() const;
    void persistSession();
    BrowserSnapshot snapshot() const;
    void failTick();
    void mirrorFocus(double nowMs);
    // Returns true when the tick must end (a focus was started).
    bool handleCommands(const QStringList& names, const QString& revision, bool& failed);
    void pushToDaemon(const BrowserSnapshot& snapshot, std::optional<double> newest, bool accountSynced);
    QString filePath(const QString& name) const;

    void setConnected(bool value);
    void setHelperReady(bool value);
    void setStatus(const QString& value);
    void setFocus(const BrowserFocus& value);
    std::unique_ptr<QSettings> settings() const;

    Environment m_env;
    bool m_enabled = false;
    bool m_connected = false;
    bool m_helperReady = false;
    QString m_status;
    BrowserFocus m_focus;

    BrowserBridgeSession m_session;
    std::unique_ptr<Timer> m_timer;
    bool m_helperInFlight = false;
    std::optional<double> m_lastHelperUpdate;
    std::optional<BrowserURLRequest> m_pending;
    std::optional<QString> m_lastRevision;
    std::optional<QString> m_activeClientId;
    bool m_needsDisableUpdate = false;
    double m_helperValidUntil = -std::numeric_limits<double>::infinity();
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // The settings built from the configuration last seen, in that zone.
    mutable std::optional<std::pair<Configuration, BrowserBridgePolicy::LocalSettings>> m_settingsCache;
};

// Reads an extension file: only a regular file, opened without blocking, and
// at most `limit` bytes, so that a FIFO or an endless device named like an
// exchange file neither freezes nor floods the application. None when the
// file cannot be read that way.
std::optional<QByteArray> readExchangeFile(const QString& path, qsizetype limit);

} // namespace kestravin
