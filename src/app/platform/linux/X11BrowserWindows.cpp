#include "app/platform/linux/X11BrowserWindows.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int frameTolerance = 2;

bool matches(const QRect& a, const QRect& b)
{
    return std::abs(a.x() - b.x()) <= frameTolerance && std::abs(a.y() - b.y()) <= frameTolerance
        && std::abs(a.width() - b.width()) <= frameTolerance && std::abs(a.height() - b.height()) <= frameTolerance;
}

} // namespace

X11BrowserWindows::X11BrowserWindows(X11Workspace& workspace, QObject* parent)
    : BrowserWindows(parent), m_workspace(workspace)
{
    connect(&m_workspace, &Workspace::applicationActivated, this, [this](const RunningApp& app) {
        if (const auto front = describe(app)) {
            Q_EMIT applicationActivated(*front);
        }
    });
}

bool X11BrowserWindows::isAvailable() const
{
    return m_workspace.isAvailable();
}

QString X11BrowserWindows::unavailableReason() const
{
    return m_workspace.unavailableReason();
}

std::optional<FrontApp> X11BrowserWindows::describe(const RunningApp& app) const
{
    const auto active = m_workspace.activeWindow();
    if (!active) {
        return std::nullopt;
    }
    const auto window = m_workspace.clientWindow(*active);
    if (!window) {
        return std::nullopt;
    }
    FrontApp front;
    front.app = app;
    front.pid = window->pid;
    front.identity = app.bundleIdentifier.isEmpty() ? window->windowClass : app.bundleIdentifier;
    if (front.pid != 0) {
        m_lastActive.insert(front.pid, *active);
    }
    return front;
}

std::optional<FrontApp> X11BrowserWindows::frontmost() const
{
    const auto app = m_workspace.frontmostApplication();
    if (!app) {
        return std::nullopt;
    }
    return describe(*app);
}

qint64 X11BrowserWindows::ownPid() const
{
    return ::getpid();
}

bool X11BrowserWindows::isRunning(qint64 pid) const
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

bool X11BrowserWindows::isTerminated(const RunningApp& app) const
{
    return m_workspace.isTerminated(app);
}

std::optional<quint32> X11BrowserWindows::windowOf(qint64 pid, const std::optional<QRect>& frame) const
{
    const QList<X11Workspace::ClientWindow> windows = m_workspace.clientWindows();
    QList<X11Workspace::ClientWindow> own;
    for (const auto& window : windows) {
        if (window.pid == quint32(pid) && window.onScreen && window.normal) {
            own.append(window);
        }
    }
    if (frame) {
        for (const auto& window : std::as_const(own)) {
            if (matches(window.frame, *frame)) {
                return window.id;
            }
        }
    }
    // The tree's extents may leave out what the toolkit draws around its
    // content: the process's window last seen active, else its only one.
    const quint32 last = m_lastActive.value(pid, 0);
    for (const auto& window : std::as_const(own)) {
        if (window.id == last) {
            return window.id;
        }
    }
    if (own.size() == 1) {
        return own.constFirst().id;
    }
    return std::nullopt;
}

std::optional<BrowserWindows::WindowInfo> X11BrowserWindows::windowInfo(quint32 window) const
{
    const auto info = m_workspace.clientWindow(window);
    if (!info) {
        return std::nullopt;
    }
    return WindowInfo { qint64(info->pid), info->frame, info->onScreen, m_workspace.windowTitle(window) };
}

std::optional<quint32> X11BrowserWindows::activeWindow() const
{
    return m_workspace.activeWindow();
}

void X11BrowserWindows::activateWindow(quint32 window)
{
    m_workspace.activateWindow(window);
}

void X11BrowserWindows::activate(const RunningApp& app)
{
    m_workspace.activate(app);
}

void X11BrowserWindows::hide(const RunningApp& app)
{
    m_workspace.hide(app);
}

std::optional<QRect> X11BrowserWindows::screen() const
{
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        return primary->geometry();
    }
    return std::nullopt;
}

XTestKeySender::XTestKeySender(QString displayName) : m_displayName(std::move(displayName))
{
}

bool XTestKeySender::send(ShieldKey key)
{
    const QByteArray name = m_displayName.isEmpty() ? qgetenv("DISPLAY") : m_displayName.toLocal8Bit();
    Display* display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
    if (!display) {
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    bool sent = false;
    if (XTestQueryExtension(display, &event, &error, &major, &minor)) {
        const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
        const KeyCode letter = XKeysymToKeycode(display, key == ShieldKey::Reload ? XK_r : XK_w);
        if (control != 0 && letter != 0) {
            XTestFakeKeyEvent(display, control, True, CurrentTime);
            XTestFakeKeyEvent(display, letter, True, CurrentTime);
            XTestFakeKeyEvent(display, letter, False, CurrentTime);
            XTestFakeKeyEvent(display, control, False, CurrentTime);
            XSync(display, False);
            sent = true;
        }
    }
    XCloseDisplay(display);
    return sent;
}

} // namespace kestravin
