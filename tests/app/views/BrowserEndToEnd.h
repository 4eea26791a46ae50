#pragma once

// What the browser shield's end-to-end tests share: the hosts files, waiting
// on the event loop, the tabs of a real browser's focused window read over
// AT-SPI, the page requests the loopback server saw, and the rig of a shield
// on the real desktop with its panel.
#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/linux/AtspiTree.h"
#include "app/platform/linux/DesktopEntryIndex.h"
#include "app/platform/linux/X11BrowserWindows.h"
#include "app/platform/linux/X11Workspace.h"
#include "app/services/DesktopBrowserShield.h"
#include "app/views/shield/ShieldPanel.h"

#include "LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>

namespace kestravin::test::browser {

inline const QByteArray blockingHosts = "127.0.0.1 localhost\n"
                                        "# Kestravin START - DO NOT EDIT THIS SECTION\n"
                                        "127.0.0.1 blocked.test\n"
                                        "::1 blocked.test\n"
                                        "# Kestravin END\n";
inline const QByteArray freeHosts = "127.0.0.1 localhost\n";

// The application's allowance for tree reads over D-Bus is 5 times the
// searches' own budgets; a loaded test machine gets twice that.
inline int searchScale()
{
    const int scale = qEnvironmentVariableIntValue("KESTRAVIN_SHIELD_SEARCH_SCALE");
    return scale > 0 ? scale : 10;
}

// How many open/close rounds to measure (KESTRAVIN_SHIELD_ROUNDS, 3 by default).
inline int rounds()
{
    const int asked = qEnvironmentVariableIntValue("KESTRAVIN_SHIELD_ROUNDS");
    return asked > 0 ? asked : 3;
}

// Runs the event loop until `done` holds; false after `timeoutMs`.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

// Keeps the event loop running for `ms`.
inline void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// The tabs of a process's focused window, with the selected one.
struct Tabs {
    QStringList names;
    int selected = -1;
    qsizetype size() const { return names.size(); }
};

inline Tabs tabsOf(AccessibilityTree& tree, qint64 pid)
{
    Tabs result;
    const auto app = tree.application(pid);
    if (!app) {
        return result;
    }
    const auto window = tree.focusedWindow(*app);
    if (!window.ok()) {
        return result;
    }
    std::deque<std::pair<AxElement, int>> queue { { *window.value, 0 } };
    while (!queue.empty()) {
        const auto [element, depth] = queue.front();
        queue.pop_front();
        const AxRole role = tree.role(element).value.value_or(AxRole::Other);
        if (role == AxRole::WebArea) {
            continue;
        }
        if (role == AxRole::Tab) {
            if (tree.states(element).value.value_or(AxStates {}).selected) {
                result.selected = int(result.names.size());
            }
            result.names.append(tree.name(element).value.value_or(QString()));
            continue;
        }
        if (depth < 14) {
            for (const AxElement& child : tree.children(element, 100).value.value_or(AxChildren {}).elements) {
                queue.emplace_back(child, depth + 1);
            }
        }
    }
    return result;
}

// How many times the server was asked for the page "/" of `host` (the Host
// header, port or not).
inline int getsOf(const kestravin::testing::LoopbackHttpServer& server, const QByteArray& host)
{
    return int(std::count_if(server.requests().cbegin(), server.requests().cend(), [&host](const auto& r) {
        const QByteArray name = r.headers.value("host");
        return r.path == QLatin1String("/") && (name == host || name.startsWith(host + ':'));
    }));
}

// A page per host whose title is the host.
inline QByteArray hostPage(const kestravin::testing::LoopbackHttpServer::Request& request)
{
    const QByteArray host = request.headers.value("host").split(':').value(0);
    return "<html><head><title>" + host + "</title></head><body><h1>" + host + "</h1></body></html>";
}

struct Spread {
    qint64 median = -1;
    qint64 worst = -1;
    qsizetype count = 0;
};

inline Spread spreadOf(QList<qint64> values)
{
    if (values.isEmpty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return { values.at(values.size() / 2), values.back(), values.size() };
}

inline void printSpread(const char* what, const Spread& spread)
{
    std::fprintf(stderr, "%s: median %lld ms, worst %lld ms over %lld\n", what, static_cast<long long>(spread.median),
        static_cast<long long>(spread.worst), static_cast<long long>(spread.count));
}

// A shield on the real desktop (X11, the accessibility bus of the session)
// over a temporary hosts file that blocks blocked.test, with a loopback
// server that answers every host with a page titled after it.
class ShieldRig {
public:
    ShieldRig() = default;
    ShieldRig(const ShieldRig&) = delete;
    ShieldRig& operator=(const ShieldRig&) = delete;

    // Empty when the rig stands, else why not.
    QString setUp()
    {
        using namespace Qt::StringLiterals;
        if (!dir.isValid()) {
            return u"no temporary folder"_s;
        }
        if (!writeHosts(blockingHosts)) {
            return u"cannot write the hosts file"_s;
        }
        if (!server.isListening()) {
            return u"the loopback server does not listen"_s;
        }
        server.setPage(hostPage);
        if (!tree.enable()) {
            return u"the accessibility switch did not turn on"_s;
        }
        workspace = std::make_unique<X11Workspace>(
            DesktopEntryIndex(), X11Workspace::Options { QString(), u"com.kestravin.app"_s });
        if (!workspace->isAvailable()) {
            return workspace->unavailableReason();
        }
        windows = std::make_unique<X11BrowserWindows>(*workspace);
        panel = std::make_unique<ShieldPanel>([] { return BrowserShieldView::Inputs {}; });
        DesktopBrowserShield::Collaborators collaborators;
        collaborators.alertSound = [this] { ++beeps; };
        shield
            = std::make_unique<DesktopBrowserShield>(tree, *windows, keys, *panel, Clock::system(), Scheduler::system(),
                DesktopBrowserShield::Environment {
                    hostsPath(), logPath(), dir.filePath(u"settings.ini"_s), searchScale() },
                std::move(collaborators));
        return {};
    }

    void tearDown(bool failed)
    {
        if (failed) {
            QFile log(logPath());
            if (log.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "shield.log:\n%s\nbeeps: %d\n", log.readAll().constData(), beeps);
            }
        }
        if (shield) {
            shield->stop();
        }
    }

    QString hostsPath() const { return dir.filePath(QStringLiteral("hosts")); }
    QString logPath() const { return dir.filePath(QStringLiteral("shield.log")); }
    bool writeHosts(const QByteArray& bytes) const { return writeFile(hostsPath(), bytes); }

    int getsOf(const QByteArray& host) const { return browser::getsOf(server, host); }
    bool panelShown() const { return panel->window() && panel->window()->isVisible(); }

    // Waits until the panel holds the keyboard, as it does once it is up
    // for someone to click it. Clicking earlier races the activation that
    // the panel asked for when shown: arriving late, it takes the keyboard
    // back from the browser window that a button has just brought forward.
    bool waitForPanelActive() const
    {
        return waitFor([this] { return panelShown() && panel->window()->isActiveWindow(); }, 5000);
    }

    // Whether the panel stands directly over the browser window of `pid`,
    // on its frame, above it in the window manager's stacking order.
    bool panelCovers(qint64 pid) const
    {
        if (!panelShown()) {
            return false;
        }
        const quint32 own = quint32(panel->window()->winId());
        const QList<X11Workspace::ClientWindow> stack = workspace->clientWindows();
        qsizetype panelAt = -1;
        qsizetype browserAt = -1;
        QRect panelFrame;
        QRect browserFrame;
        for (qsizetype i = 0; i < stack.size(); ++i) {
            const auto& window = stack.at(i);
            if (window.id == own) {
                panelAt = i;
                panelFrame = window.frame;
            } else if (window.pid == quint32(pid) && window.onScreen && window.normal) {
                browserAt = i;
                browserFrame = window.frame;
            }
        }
        return panelAt > browserAt && browserAt >= 0 && panelFrame == browserFrame;
    }

    // Runs `open` (which opens the blocked page in a new tab) and answers
    // how long after the server sent the page the panel stood over the
    // browser (ms), or -1.
    qint64 openBlockedPage(const std::function<void()>& open)
    {
        const int before = getsOf("blocked.test");
        QElapsedTimer clock;
        clock.start();
        qint64 served = -1;
        QMetaObject::Connection watch
            = QObject::connect(&server, &kestravin::testing::LoopbackHttpServer::requestReceived, [&, before] {
                  if (served < 0 && getsOf("blocked.test") > before) {
                      served = clock.elapsed();
                  }
              });
        open();
        const bool shown = waitFor([this] { return panelShown(); }, 10000);
        const qint64 shownAt = clock.elapsed();
        // The address bar may name the page before its request goes out:
        // a panel up before the page was served counts as 0.
        waitFor([&served] { return served >= 0; }, 5000);
        QObject::disconnect(watch);
        if (!shown || served < 0) {
            return -1;
        }
        return std::max<qint64>(0, shownAt - served);
    }

    QTemporaryDir dir;
    kestravin::testing::LoopbackHttpServer server;
    AtspiTree tree;
    XTestKeySender keys;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11BrowserWindows> windows;
    std::unique_ptr<ShieldPanel> panel;
    std::unique_ptr<DesktopBrowserShield> shield;
    int beeps = 0;
};

} // namespace kestravin::test::browser
