// The covering panel and the approval guide on a real X server (Xvfb with
// openbox): the app blocker on the X11 workspace hides a listed app and covers
// it with the panel, which must be centred, above everything, on every
// desktop and holding the keyboard.
#include "app/platform/linux/X11Workspace.h"
#include "app/services/appblocker/AppBlocker.h"
#include "app/views/blocker/AppBlockView.h"
#include "app/views/blocker/ApprovalGuide.h"
#include "app/views/blocker/KeyPanel.h"
#include "app/views/brand/Appearance.h"
#include "support/EventLoop.h"
#include "support/XApplicationMain.h"
#include "support/XDisplay.h"
#include "support/XTestClient.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;
using kestravin::test::writeDesktopEntry;
using kestravin::test::XDisplay;
using kestravin::test::XTestClient;
using kestravin::test::XTestClients;

namespace kestravin {
namespace {

// How long a window manager may take to change a window's state on a loaded
// machine running sanitizer builds in parallel.
constexpr int stateWaitMs = 15000;

bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000)
{
    return kestravin::testing::waitUntil(done, timeoutMs);
}

// The test's own view of the display, beside the application's connection.
class XProbe {
public:
    explicit XProbe(const QString& display)
    {
        m_c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
    }
    ~XProbe() { xcb_disconnect(m_c); }

    xcb_atom_t atom(const char* name) const
    {
        auto* reply = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }

    QList<quint32> cardinals(quint32 window, const char* property) const
    {
        QList<quint32> values;
        auto* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply));
            const int count = xcb_get_property_value_length(reply) / 4;
            for (int i = 0; i < count; ++i) {
                values.append(data[i]);
            }
        }
        std::free(reply);
        return values;
    }

    bool hasState(quint32 window, const char* state) const
    {
        return cardinals(window, "_NET_WM_STATE").contains(atom(state));
    }
    // Above the others and on every desktop: window managers say the latter
    // with the sticky state, or (openbox) with the desktop 0xFFFFFFFF.
    bool floatsOnEveryDesktop(quint32 window) const
    {
        return hasState(window, "_NET_WM_STATE_ABOVE")
            && (hasState(window, "_NET_WM_STATE_STICKY")
                || cardinals(window, "_NET_WM_DESKTOP") == QList<quint32> { 0xFFFFFFFF });
    }
    quint32 activeWindow() const
    {
        const QList<quint32> active = cardinals(m_root, "_NET_ACTIVE_WINDOW");
        return active.isEmpty() ? 0 : active.first();
    }
    // The topmost managed window.
    quint32 topWindow() const
    {
        const QList<quint32> stacking = cardinals(m_root, "_NET_CLIENT_LIST_STACKING");
        return stacking.isEmpty() ? 0 : stacking.last();
    }
    // The window's rectangle on the screen.
    QRect geometry(quint32 window) const
    {
        auto* translated
            = xcb_translate_coordinates_reply(m_c, xcb_translate_coordinates(m_c, window, m_root, 0, 0), nullptr);
        auto* geometry = xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr);
        QRect rect;
        if (translated && geometry) {
            rect = QRect(translated->dst_x, translated->dst_y, geometry->width, geometry->height);
        }
        std::free(translated);
        std::free(geometry);
        return rect;
    }
    QSize screenSize() const
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        return QSize(screen->width_in_pixels, screen->height_in_pixels);
    }
    // Asks the window manager to make `window` full-screen, as a player would.
    void makeFullScreen(quint32 window) const
    {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("_NET_WM_STATE");
        event.data.data32[0] = 1;
        event.data.data32[1] = atom("_NET_WM_STATE_FULLSCREEN");
        event.data.data32[3] = 1;
        xcb_send_event(m_c, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
            reinterpret_cast<const char*>(&event));
        xcb_flush(m_c);
    }

private:
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
};

class FocusInputs : public AppBlockerInputs {
public:
    bool blocking = false;
    QList<BlockedApp> list;
    bool isBlocking() const override { return blocking; }
    bool browserSyncEnabled() const override { return false; }
    bool browserFocusEnabled() const override { return false; }
    QList<BlockedApp> blockedApps() const override { return list; }
    std::optional<QDateTime> sessionEndTime() const override { return std::nullopt; }
    std::optional<QDateTime> scheduleNextDeactivation() const override { return std::nullopt; }
};

class KeyPanelX11Test : public ::testing::Test {
protected:
    QTemporaryDir data;
    std::unique_ptr<XProbe> x;
    std::unique_ptr<X11Workspace> workspace;
    FocusInputs inputs;
    KeyPanel panel;
    std::unique_ptr<AppBlocker> blocker;
    QList<RunningApp> launched, terminated;
    XTestClients clients;

    void SetUp() override
    {
        x = std::make_unique<XProbe>(test::applicationDisplay().name());
        const QString apps = data.filePath(u"applications"_s);
        QDir().mkpath(apps);
        entry(apps, u"org.example.Chat"_s, u"Name=Bate-papo\nStartupWMClass=ChatWindow\nExec=chat\n"_s);
        entry(apps, u"org.example.Editor"_s, u"Name=Editor\nStartupWMClass=EditorWindow\nExec=editor\n"_s);
        workspace = std::make_unique<X11Workspace>(DesktopEntryIndex({ apps }),
            X11Workspace::Options { test::applicationDisplay().name(), u"com.kestravin.app"_s });
        ASSERT_TRUE(workspace->isAvailable()) << workspace->unavailableReason().toStdString();
        QObject::connect(
            workspace.get(), &Workspace::applicationLaunched, [this](const RunningApp& app) { launched.append(app); });
        QObject::connect(workspace.get(), &Workspace::applicationTerminated,
            [this](const RunningApp& app) { terminated.append(app); });
        inputs.list = { BlockedApp(u"org.example.Chat"_s, u"Chat"_s) };
        blocker = std::make_unique<AppBlocker>(
            *workspace, inputs, panel, u"com.kestravin.app"_s, AppBlocker::Collaborators {});
    }

    void TearDown() override
    {
        blocker.reset();
        panel.hide();
        clients.clear();
        workspace.reset();
    }

    static void entry(const QString& dir, const QString& id, const QString& body)
    {
        ASSERT_TRUE(writeDesktopEntry(dir, id, body));
    }

    XTestClient* launch(const QStringList& arguments)
    {
        return clients.launch(test::applicationDisplay().name(), arguments);
    }

    void setFocus(bool on)
    {
        inputs.blocking = on;
        Q_EMIT inputs.focusInputsChanged();
    }

    bool isFront(quint64 id) const
    {
        const auto front = workspace->frontmostApplication();
        return front && front->id == id;
    }

    quint32 panelWindow() const { return panel.window() ? quint32(panel.window()->winId()) : 0; }

    // Where the screenshot for the docs goes, when asked for.
    static void screenshot(const QString& name)
    {
        const QString dir = qEnvironmentVariable("KESTRAVIN_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QProcess::execute(u"import"_s, { u"-window"_s, u"root"_s, dir + u'/' + name });
        }
    }
};

TEST_F(KeyPanelX11Test, AListedAppIsCoveredByAPanelAboveAFullScreenWindow)
{
    blocker->start();
    XTestClient* editorClient = launch({ u"--class"_s, u"editor,EditorWindow"_s });
    ASSERT_TRUE(waitFor([&] { return !launched.isEmpty() && isFront(launched.last().id); }));
    const RunningApp editor = launched.last();
    x->makeFullScreen(editorClient->window());
    ASSERT_TRUE(waitFor([&] { return x->hasState(editorClient->window(), "_NET_WM_STATE_FULLSCREEN"); }));

    setFocus(true);
    XTestClient* chat = launch({ u"--class"_s, u"chat,ChatWindow"_s });
    EXPECT_GT(chat->waitForState(u"iconic"_s, stateWaitMs), 0);

    // The panel holds the keyboard, above everything, on every desktop.
    ASSERT_TRUE(waitFor([&] { return panel.isVisible() && x->activeWindow() == panelWindow(); }));
    ASSERT_TRUE(waitFor([&] { return x->floatsOnEveryDesktop(panelWindow()); }));
    EXPECT_TRUE(waitFor([&] { return x->topWindow() == panelWindow(); }));
    EXPECT_EQ(panel.view()->titleLabel()->text(), u"Bate-papo fica para depois."_s);

    // Centred on the screen, as wide as the card.
    QRect placed;
    const QSize screen = x->screenSize();
    const bool centred = waitFor([&] {
        placed = x->geometry(panelWindow());
        return std::abs(placed.center().x() - screen.width() / 2) <= 1
            && std::abs(placed.center().y() - screen.height() / 2) <= 1;
    });
    EXPECT_TRUE(centred) << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    EXPECT_EQ(placed.width(), AppBlockView::cardWidth);
    screenshot(u"app-block-panel.png"_s);

    // Return, typed on the real keyboard, leads back to the editor.
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, { u"key"_s, u"Return"_s }), 0);
    EXPECT_TRUE(waitFor([&] { return !panel.isVisible(); }));
    EXPECT_TRUE(waitFor([&] { return isFront(editor.id) && x->activeWindow() == editorClient->window(); }));

    // The next attempt reuses the one panel.
    QWidget* window = panel.window();
    const quint32 id = panelWindow();
    const qsizetype ended = terminated.size();
    chat->kill();
    ASSERT_TRUE(waitFor([&] { return terminated.size() > ended; }));
    XTestClient* again = launch({ u"--class"_s, u"chat,ChatWindow"_s });
    EXPECT_GT(again->waitForState(u"iconic"_s, stateWaitMs), 0);
    EXPECT_TRUE(waitFor([&] { return panel.isVisible() && x->activeWindow() == id; }));
    EXPECT_EQ(panel.window(), window);
    EXPECT_EQ(panelWindow(), id);
}

TEST_F(KeyPanelX11Test, ApprovalGuideFloatsInTheCornerWithoutTakingTheKeyboard)
{
    XTestClient* editorClient = launch({ u"--class"_s, u"editor,EditorWindow"_s });
    ASSERT_TRUE(waitFor([&] { return x->activeWindow() == editorClient->window(); }));

    ApprovalGuide guide(u"Kestravin"_s);
    guide.show();
    const quint32 card = quint32(guide.panel()->winId());
    ASSERT_TRUE(waitFor([&] { return x->floatsOnEveryDesktop(card); }));
    const QSize screen = x->screenSize();
    EXPECT_TRUE(waitFor([&] { return x->geometry(card) == QRect(screen.width() - 324, 24, 300, 132); }))
        << x->geometry(card).x() << "," << x->geometry(card).y();
    EXPECT_TRUE(waitFor([&] { return x->topWindow() == card; }));
    // Long enough for a window manager to have handed it the focus.
    waitFor([] { return false; }, 500);
    EXPECT_EQ(x->activeWindow(), editorClient->window());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
    guide.hide();
}

} // namespace
} // namespace kestravin
