#pragma once

#include "app/models/BrowserShieldPolicy.h"
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ShieldPlatform.h"
#include "app/services/shield/BrowserPageReader.h"
#include "app/services/shield/HostsFileSnapshot.h"
#include "app/services/shield/ShieldPanelHost.h"
#include "app/services/shield/ShieldReads.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace kestravin {

// Watches the frontmost web browser through its accessibility tree and, while
// the page it shows belongs to a host in the daemon's block section of the
// hosts file, covers the browser window with the shield panel. The panel's
// actions (close the tab, go back, use a break, ask Orla) are in
// DesktopBrowserShieldActions.cpp; the browser and message tables in the
// models' `BrowserShieldTables`.
// Every platform facility is injected: the tree, the desktop's windows, the
// key sender, the panel, the clock and delayed work. The tree is read through
// `ShieldReads`: in the application on a thread of its own, so that a slow
// browser never holds the GUI thread; what the reads find is applied here.
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
        ShieldReads& reads = ShieldReads::inlineReads(), QObject* parent = nullptr);
    ~DesktopBrowserShield() override;

    // The shield of the running application, on the real desktop.
    static DesktopBrowserShield& shared();

    // The applications treated as web browsers, by desktop-file ID (and the
    // other platforms' identifiers, kept as data).
    static const QSet<QString>& browsers();
    static const QStringList& messages();

    // Follows what the browsers announce in their trees (see
    // `AccessibilityEvents`): an announcement of the browser in front runs a
    // pass at once, and once the browser has announced anything the steady
    // pass over an allowed page runs every 2 s instead of twice a second.
    void follow(AccessibilityEvents& events);

    void start();
    void stop();
    bool isStarted() const { return m_started; }
    void setEnabled(bool on);
    // Switches the desktop's accessibility on; browsers started before must
    // be restarted to publish their trees.
    void requestPermission();

    bool enabled() const { return m_enabled; }
    bool hasPermission() const { return m_hasPermission; }
    // Why the shield cannot see a browser right now, for the account page;
    // empty when nothing is wrong.
    QString detail() const { return m_detail; }

    // One pass of the scan (the timer runs it twice a second while a browser
    // is in front or the panel is up; a browser brought to the front wakes
    // it). Its tree
    // reads run through `ShieldReads`; a pass asked for while one is under
    // way runs right after it.
    void observe();

    // The panel's actions on the covered page.
    void closeTab();
    void goBack();
    void useFolga();
    void askOrla();

    // For measurements, in ms: how long the last pass's tree reads took, how
    // long the pass held the GUI thread besides building the panel, and how
    // long building the last panel took.
    qint64 lastPassMs() const { return m_lastPassMs; }
    qint64 lastHoldMs() const { return m_lastHoldMs; }
    qint64 lastShowMs() const { return m_lastShowMs; }

    bool covering() const { return m_shownHost.has_value(); }
    std::optional<QString> shownHost() const { return m_shownHost; }

Q_SIGNALS:
    void enabledChanged();
    void hasPermissionChanged();
    void detailChanged();

private:
    using Strip = BrowserPageReader::Strip;
    using Reading = BrowserPageReader::Reading;
    using Sight = BrowserPageReader::Sight;
    using CoveredFacts = BrowserPageReader::CoveredFacts;
    struct ShownWindow {
        qint64 pid = 0;
        AxElement window;
        RunningApp app;
        QString identity;
        // Where the window was seen last.
        std::optional<QRect> frame;
        // Its X window: the one in front when its page was read as blocked.
        // Geometry alone cannot tell two maximised windows apart, and once
        // this one is gone no other window of the browser stands for it.
        std::optional<quint32> number;

        BrowserPageReader::Covered covered() const { return { pid, window }; }
    };

    // Runs `read` through the reads; `then` gets its result on this
    // object's thread.
    template <typename T> void ask(std::function<T(BrowserPageReader&)> read, std::function<void(T)> then);

    void pass();
    // Runs the scan's timer again after it slept for want of a browser.
    void wake();
    // The scan's period now: slower over an allowed page of a browser whose
    // announcements are followed.
    std::chrono::milliseconds period() const;
    // Starts the running timer again when its period no longer fits.
    void pace();
    void announced(const QString& service);
    // Listens to the announcements while started, where the bus allows.
    void listen();
    void apply(const std::optional<QString>& hosts, const std::optional<FrontApp>& front, const Sight& sight);
    void note(const QString& text);
    // The debug line of what a pass found, written when it differs from the
    // last one.
    void passState(const QString& state);
    std::optional<QString> readHosts();
    std::optional<QRect> onScreen(const std::optional<QRect>& frame) const;

    void show(const QString& host, const QString& address, const QString& message, const std::optional<QRect>& frame,
        const FrontApp& app, const AxElement& window, std::optional<quint32> number,
        const BrowserPageReader::BlockedPage& page);
    // The X window of the browser window whose page was just read as blocked.
    std::optional<quint32> coveredNumber(
        const FrontApp& front, const AxElement& window, const std::optional<QRect>& frame) const;
    void dismiss();
    void leave();
    // Keeps the panel just above the covered window (reading where it is
    // first), or hides it while the window is off screen.
    void glue();
    void glue(const CoveredFacts& facts);
    void raise(const CoveredFacts& facts);
    bool closed(const CoveredFacts& facts) const;
    void lifted();
    void tryClose(
        const ShownWindow& target, const QString& host, std::optional<AxElement> tab, int retries, int pollsLeft);
    // Brings `window` forward and sends `key` once the desktop confirms it
    // active and `check` still holds; gives up silently otherwise.
    void sendWhenActive(const ShownWindow& target, ShieldKey key, std::function<bool(BrowserPageReader&)> check,
        int pollsLeft, std::function<void()> onFail);
    std::optional<quint32> windowNumber(const ShownWindow& target) const;
    // What the desktop says of the covered window (its title and place).
    WindowHint hintOf(const ShownWindow& target) const;

    void setPermission(bool value);
    void setDetail(const QString& text);
    std::unique_ptr<QSettings> settings() const;
    static std::unique_ptr<QSettings> settingsAt(const QString& file);
    // Counts a new blocked attempt and stores the next message's index.
    void countAttempt(int nextMessage);

    BrowserWindows& m_windows;
    KeySender& m_keys;
    ShieldPanelHost& m_panel;
    Clock& m_clock;
    Scheduler& m_scheduler;
    Environment m_env;
    Collaborators m_collaborators;
    ShieldReads& m_reads;
    HostsFileSnapshot m_hosts;
    // Used on the reads' thread only, through ask().
    std::unique_ptr<BrowserPageReader> m_reader;

    bool m_enabled = true;
    bool m_hasPermission = false;
    QString m_detail;
    bool m_started = false;
    // Runs while a browser is in front or a window is covered.
    std::unique_ptr<Timer> m_timer;
    std::chrono::milliseconds m_timerPeriod { 0 };
    AccessibilityEvents* m_events = nullptr;
    QMetaObject::Connection m_announcements;
    // The bus name of the browser read last, and whether it announced
    // anything since.
    QString m_browserService;
    bool m_browserAnnounces = false;
    bool m_announcedPass = false;
    QMetaObject::Connection m_activation;
    BrowserShieldAttempts m_attempts;
    std::optional<QString> m_shownHost;
    std::optional<RunningApp> m_previousApp;
    QString m_lastNote;
    QString m_lastState;
    BrowserPageReader::BlockedPage m_blockedPage;
    std::optional<AxElement> m_closingTab;
    // From "Fechar aba" until its key is sent or it gives up: a pass must not
    // put up a new panel meanwhile, whose window would take the focus the
    // close waits for.
    bool m_closeRunning = false;
    std::optional<ShownWindow> m_shownWindow;
    std::optional<QString> m_shownAddress;
    int m_clearReads = 0;
    // The next message to show; stored after each attempt.
    qint64 m_messageIndex = 0;
    // Changes whenever the panel comes or goes: a pass whose reads began
    // before is not applied.
    quint64 m_generation = 0;
    bool m_passRunning = false;
    bool m_passAgain = false;
    qint64 m_lastPassMs = 0;
    qint64 m_lastHoldMs = 0;
    qint64 m_lastShowMs = 0;
};

template <typename T>
void DesktopBrowserShield::ask(std::function<T(BrowserPageReader&)> read, std::function<void(T)> then)
{
    BrowserPageReader* reader = m_reader.get();
    m_reads.run(this, [reader, read = std::move(read), then = std::move(then)]() mutable -> ShieldReads::Apply {
        auto result = std::make_shared<T>(read(*reader));
        return [then = std::move(then), result] { then(std::move(*result)); };
    });
}

} // namespace kestravin
