#include "app/services/appblocker/AppBlocker.h"

#include "app/platform/Workspace.h"

#include <QPointer>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// A blocked app that fights back (re-activates itself right after the
// first hide) is hidden once more after this delay.
constexpr int rehideDelayMs = 600;
// Repeated attempts of one app within this window count as one for
// analytics.
constexpr qint64 attemptWindowMs = 3000;
// After a break the account's focus falls asynchronously: look every
// 0.1 s, for at most 3 s.
constexpr int folgaWaitSteps = 30;
constexpr int folgaWaitStepMs = 100;

bool matches(const QString& identifier, const QList<BlockedApp>& apps)
{
    for (const auto& entry : apps) {
        if (entry.bundleIdentifier.compare(identifier, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

AppBlocker::AppBlocker(Workspace& workspace, AppBlockerInputs& inputs, AppBlockPanel& panel, QString ownBundleID,
    Collaborators collaborators, QObject* parent)
    : QObject(parent),
      m_workspace(workspace),
      m_inputs(inputs),
      m_panel(panel),
      m_ownBundleID(std::move(ownBundleID)),
      m_collaborators(std::move(collaborators))
{
    if (!m_collaborators.now) {
        m_collaborators.now = [] { return QDateTime::currentDateTime(); };
    }
    if (!m_collaborators.runLater) {
        m_collaborators.runLater = [](int delayMs, QObject* context, std::function<void()> work) {
            QTimer::singleShot(delayMs, context, std::move(work));
        };
    }
}

AppBlocker::~AppBlocker()
{
    for (const auto& connection : std::as_const(m_connections)) {
        disconnect(connection);
    }
}

void AppBlocker::start()
{
    if (m_started || !m_workspace.isAvailable()) {
        return;
    }
    m_started = true;
    m_connections = {
        connect(&m_workspace, &Workspace::applicationLaunched, this, &AppBlocker::observe),
        connect(&m_workspace, &Workspace::applicationActivated, this, &AppBlocker::observe),
        connect(&m_inputs, &AppBlockerInputs::focusInputsChanged, this, &AppBlocker::onFocusInputsChanged),
        connect(&m_inputs, &AppBlockerInputs::blockedAppsChanged, this, &AppBlocker::onBlockedAppsChanged),
    };
    // Both subscriptions deliver their current value once, so the focus flag
    // is right as soon as the blocker runs.
    m_deliveredFocus.reset();
    m_deliveredApps.reset();
    onFocusInputsChanged();
    onBlockedAppsChanged();
}

void AppBlocker::stop()
{
    for (const auto& connection : std::as_const(m_connections)) {
        disconnect(connection);
    }
    m_connections.clear();
    m_started = false;
    takePanelAway();
}

void AppBlocker::onFocusInputsChanged()
{
    const bool active = m_inputs.isBlocking() || (m_inputs.browserSyncEnabled() && m_inputs.browserFocusEnabled());
    if (m_deliveredFocus == active) {
        return;
    }
    m_deliveredFocus = active;
    setFocusActive(active);
}

void AppBlocker::onBlockedAppsChanged()
{
    const QList<BlockedApp> apps = m_inputs.blockedApps();
    if (m_deliveredApps == apps) {
        return;
    }
    m_deliveredApps = apps;
    hideRunning(apps, false);
}

void AppBlocker::setFocusActive(bool active)
{
    if (m_focusActive != active) {
        m_focusActive = active;
        Q_EMIT focusActiveChanged(active);
    }
    if (!active) {
        // Apps hidden during the focus stay hidden; the user brings them back.
        takePanelAway();
        return;
    }
    hideRunning(m_inputs.blockedApps(), true);
}

bool AppBlocker::isProtected(const QString& identifier) const
{
    return m_collaborators.isProtected && m_collaborators.isProtected(identifier, m_ownBundleID);
}

bool AppBlocker::blocks(const RunningApp& app, const QList<BlockedApp>& apps) const
{
    if (!m_focusActive || app.bundleIdentifier.isEmpty() || isProtected(app.bundleIdentifier)) {
        return false;
    }
    return matches(app.bundleIdentifier, apps);
}

void AppBlocker::hide(const RunningApp& app)
{
    m_workspace.hide(app);
    m_collaborators.runLater(rehideDelayMs, this, [this, app] {
        if (!blocks(app, m_inputs.blockedApps()) || m_workspace.isTerminated(app)) {
            return;
        }
        if (m_workspace.isHidden(app) && !m_workspace.isActive(app)) {
            return;
        }
        m_workspace.hide(app);
    });
}

void AppBlocker::hideRunning(const QList<BlockedApp>& apps, bool showPanel)
{
    if (!m_focusActive) {
        return;
    }
    const std::optional<RunningApp> front = m_workspace.frontmostApplication();
    const QList<RunningApp> running = m_workspace.runningApplications();
    for (const RunningApp& app : running) {
        if (app.bundleIdentifier.isEmpty() || isProtected(app.bundleIdentifier)
            || !matches(app.bundleIdentifier, apps)) {
            continue;
        }
        hide(app);
        // Only the app that was in front gets the panel; the others just go.
        if (showPanel && front && front->id == app.id) {
            show(app);
        }
    }
}

void AppBlocker::observe(const RunningApp& app)
{
    const QList<BlockedApp> apps = m_inputs.blockedApps();
    if (blocks(app, apps)) {
        hide(app);
        show(app);
        const QString id = app.bundleIdentifier.isEmpty() ? u"app"_s : app.bundleIdentifier;
        const QDateTime now = m_collaborators.now();
        // A launch is followed at once by an activation, and a determined user
        // retries: one event per app until it stays away for 3 s.
        const bool repeat
            = m_lastAttempt && m_lastAttempt->id == id && m_lastAttempt->at.msecsTo(now) <= attemptWindowMs;
        if (!repeat && m_collaborators.capture) {
            m_collaborators.capture(
                u"blocked_attempt"_s, { { u"surface"_s, u"mac_app"_s }, { u"service"_s, u"app"_s } });
        }
        m_lastAttempt = Attempt { id, now };
        return;
    }
    if (m_workspace.isActive(app) && app.regular && app.bundleIdentifier != m_ownBundleID) {
        m_lastAllowedApp = app;
    }
}

std::optional<QDateTime> AppBlocker::focusEnd() const
{
    const std::optional<QDateTime> session = m_inputs.sessionEndTime();
    if (session && *session > m_collaborators.now()) {
        return session;
    }
    return m_inputs.scheduleNextDeactivation();
}

void AppBlocker::show(const RunningApp& app)
{
    QString name = app.name;
    if (name.isEmpty()) {
        for (const auto& entry : m_inputs.blockedApps()) {
            if (entry.bundleIdentifier == app.bundleIdentifier) {
                name = entry.name;
                break;
            }
        }
    }
    if (name.isEmpty()) {
        name = u"Este app"_s;
    }
    const QPointer<AppBlocker> self(this);
    AppBlockPanel::Content content;
    content.name = name;
    content.icon = app.icon;
    content.endsAt = focusEnd();
    content.onFolga = [self, app] {
        if (self) {
            self->useFolga(app);
        }
    };
    content.onReturn = [self] {
        if (self) {
            self->returnToLastAllowedApp();
        }
    };
    m_panel.show(content);
}

void AppBlocker::returnToLastAllowedApp()
{
    takePanelAway();
    if (m_lastAllowedApp && !m_workspace.isTerminated(*m_lastAllowedApp)
        && !blocks(*m_lastAllowedApp, m_inputs.blockedApps())) {
        m_workspace.activate(*m_lastAllowedApp);
    }
}

void AppBlocker::useFolga(const RunningApp& app)
{
    if (!m_collaborators.useFolga) {
        return;
    }
    const QPointer<AppBlocker> self(this);
    m_collaborators.useFolga(this, [self, app](bool succeeded) {
        if (!self) {
            return;
        }
        if (!succeeded) {
            // The panel and the hidden app stay as they were.
            if (self->m_collaborators.alertSound) {
                self->m_collaborators.alertSound();
            }
            return;
        }
        self->takePanelAway();
        self->openAfterFocusFalls(app, 0);
    });
}

void AppBlocker::openAfterFocusFalls(const RunningApp& app, int step)
{
    if (!m_focusActive) {
        m_workspace.unhide(app);
        m_workspace.activate(app);
        return;
    }
    if (step >= folgaWaitSteps) {
        return;
    }
    m_collaborators.runLater(folgaWaitStepMs, this, [this, app, step] { openAfterFocusFalls(app, step + 1); });
}

void AppBlocker::takePanelAway()
{
    m_panel.hide();
}

} // namespace kestravin
