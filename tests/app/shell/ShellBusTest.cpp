// The shell on a private session bus: a second start of the real executable
// hands its arguments to the running instance (the deep link and the
// reopen), and the tray item registers with a watcher of the test's own,
// publishes its icon, tool tip and countdown label, and answers Activate.
#include "EventLoop.h"
#include "FakeOnboardingServices.h"
#include "FakeTime.h"
#include "PrivateBus.h"
#include "app/shell/AppShell.h"
#include "app/shell/LiveShellServices.h"
#include "app/shell/MenuBarController.h"
#include "app/shell/PopoverWindow.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/StatusNotifierItem.h"
#include "app/shell/TrayItem.h"
#include "app/views/onboarding/OnboardingWindowController.h"
#include "app/views/settings/SettingsWindowController.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::PrivateBus;
using testing::waitUntil;

// Runs the real executable as a second start and waits for it, while this
// process's event loop answers its call.
int secondStart(const PrivateBus& bus, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(KESTRAVIN_APP_BINARY), arguments);
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

bool settingsVisible()
{
    QWidget* window = SettingsWindowController::shared().window();
    return window && window->isVisible();
}

void hideWindows()
{
    if (QWidget* window = SettingsWindowController::shared().window()) {
        window->hide();
    }
    if (QWidget* window = OnboardingWindowController::shared().window()) {
        window->hide();
    }
}

TEST(SingleInstanceHandover, SecondStartHandsOverTheDeepLinkAndExits)
{
    PrivateBus bus(PrivateBus::Type::session);
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    QDBusConnection connection = bus.connect(u"first"_s);
    SingleInstance first(connection);
    ASSERT_TRUE(first.claim());
    // The name is taken: a competitor in this process cannot claim it.
    SingleInstance competitor(bus.connect(u"competitor"_s));
    EXPECT_FALSE(competitor.claim());

    LiveShellServices services(connection);
    AppShell shell(services, Scheduler::system());
    QObject::connect(&first, &SingleInstance::openRequested, &shell, &AppShell::openUrls);
    QObject::connect(&first, &SingleInstance::activateRequested, &shell, &AppShell::reopen);
    QStringList received;
    QObject::connect(&first, &SingleInstance::openRequested, [&](const QStringList& urls) { received << urls; });

    // Linked and onboarded: the gate lets the settings through.
    static kestravin::testing::FakeOnboardingServices gate;
    gate.session = true;
    gate.completed = true;
    OnboardingWindowController::shared().setServices(gate);

    struct Case {
        QStringList arguments;
        bool opensSettings;
    };
    const std::vector<Case> cases {
        { { u"kestravin://x"_s }, true },
        { { u"KESTRAVIN://x"_s }, false },
        { { u"https://example.com"_s }, false },
        { { u"kestravin://any/path?q=1"_s }, true },
        // Started again without a link: the reopen, with no window visible.
        { {}, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        hideWindows();
        received.clear();
        EXPECT_EQ(secondStart(bus, c.arguments), 0);
        EXPECT_EQ(received, c.arguments);
        // The call is answered before the window work; give it a turn.
        testing::spin(50);
        EXPECT_EQ(settingsVisible(), c.opensSettings);
    }

    // Not linked: the link brings the onboarding window instead.
    gate.session = false;
    hideWindows();
    EXPECT_EQ(secondStart(bus, { u"kestravin://x"_s }), 0);
    testing::spin(50);
    EXPECT_FALSE(settingsVisible());
    ASSERT_NE(OnboardingWindowController::shared().window(), nullptr);
    EXPECT_TRUE(OnboardingWindowController::shared().window()->isVisible());
    delete OnboardingWindowController::shared().window();
}

TEST(ApplicationProcess, FirstStartSetsUpAndSigtermEndsItCleanly)
{
    PrivateBus bus(PrivateBus::Type::session);
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    QTemporaryDir home;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
    environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(KESTRAVIN_APP_BINARY), {});
    QDBusConnection probe = bus.connect(u"probe"_s);
    ASSERT_TRUE(
        waitUntil([&] { return probe.interface()->isServiceRegistered(u"com.kestravin.app"_s).value(); }, 60000));
    const QString configPath = home.filePath(u"data/Kestravin/config.json"_s);
    ASSERT_TRUE(waitUntil([&] {
        QFile config(configPath);
        return config.open(QIODevice::ReadOnly) && config.readAll().contains("\"enabled\": false");
    }));

    process.terminate();
    ASSERT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "the signal ends the event loop, not the process";
    EXPECT_EQ(process.exitCode(), 0);

    // The first start registered itself for login and seeded the sites.
    EXPECT_TRUE(QFile::exists(home.filePath(u"config/autostart/com.kestravin.app.desktop"_s)));
    QFile config(configPath);
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    const QByteArray json = config.readAll();
    EXPECT_TRUE(json.contains("\"youtube.com\"")) << json.constData();
}

// A StatusNotifierWatcher of the test's own: it records who registered.
class TestWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    struct Registration {
        QString argument;
        QString sender;
    };
    std::vector<Registration> registrations;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        registrations.push_back({ service, message().service() });
    }
};

// The item lives on another connection of this very thread: a blocking
// call would starve it, so the test calls asynchronously and runs the loop.
QDBusMessage callItem(QDBusConnection connection, const QDBusMessage& call)
{
    QDBusPendingCall pending = connection.asyncCall(call, 5000);
    waitUntil([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
}

QVariantMap itemProperties(QDBusConnection connection, const QString& service)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
    call << u"org.kde.StatusNotifierItem"_s;
    const QDBusReply<QVariantMap> reply = callItem(connection, call);
    return reply.isValid() ? reply.value() : QVariantMap();
}

template <typename T> T demarshal(const QVariant& value)
{
    return qdbus_cast<T>(value.value<QDBusArgument>());
}

class TrayFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        watcherConnection = bus.connect(u"watcher"_s);
    }

    void startWatcher()
    {
        ASSERT_TRUE(
            watcherConnection.registerObject(u"/StatusNotifierWatcher"_s, &watcher, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(watcherConnection.registerService(u"org.kde.StatusNotifierWatcher"_s));
    }

    std::unique_ptr<MenuBarController> makeMenuBar()
    {
        MenuBarInputs inputs {
            [this] { return blocking; },
            [this] { return browserSync; },
            [this] { return browserFocus; },
            [this] { return remaining; },
            [this] {
                ++gateCalls;
                return gate;
            },
        };
        auto menuBar = std::make_unique<MenuBarController>(bus.connect(u"app"_s), std::move(inputs), time, time,
            [](const QString& text) { return text.size() * 7.0; });
        menuBar->popover().setContent(new QLabel(u"Livre agora"_s));
        return menuBar;
    }

    PrivateBus bus { PrivateBus::Type::session };
    QDBusConnection watcherConnection { QString() };
    TestWatcher watcher;
    testing::FakeTime time;
    bool blocking = false;
    bool browserSync = false;
    bool browserFocus = false;
    bool gate = true;
    int gateCalls = 0;
    QString remaining;
};

TEST_F(TrayFixture, RegistersWithTheWatcherAndPublishesIconToolTipAndCountdown)
{
    startWatcher();
    auto menuBar = makeMenuBar();
    menuBar->setupMenuBar();
    ASSERT_TRUE(waitUntil([&] { return menuBar->tray().kind() == TrayItem::Kind::statusNotifier; }));
    ASSERT_EQ(watcher.registrations.size(), 1u);
    const QString service = watcher.registrations.front().argument;
    EXPECT_TRUE(service.startsWith(u"org.kde.StatusNotifierItem-"_s)) << service.toStdString();
    // The registered name belongs to the item's own connection.
    EXPECT_EQ(watcherConnection.interface()->serviceOwner(service).value(), watcher.registrations.front().sender);

    QVariantMap properties = itemProperties(watcherConnection, service);
    EXPECT_EQ(properties.value(u"Id"_s).toString(), u"com.kestravin.app"_s);
    EXPECT_EQ(properties.value(u"Category"_s).toString(), u"ApplicationStatus"_s);
    EXPECT_EQ(properties.value(u"Status"_s).toString(), u"Active"_s);
    EXPECT_EQ(properties.value(u"ItemIsMenu"_s).toBool(), false);
    EXPECT_EQ(properties.value(u"XAyatanaLabel"_s).toString(), QString());
    const auto idlePixmaps = demarshal<SniPixmapList>(properties.value(u"IconPixmap"_s));
    ASSERT_EQ(idlePixmaps.size(), 2);
    EXPECT_EQ(idlePixmaps[0].width, 18);
    EXPECT_EQ(idlePixmaps[1].width, 36);
    EXPECT_EQ(idlePixmaps[1].bytes.size(), 36 * 36 * 4);
    auto toolTip = demarshal<SniToolTip>(properties.value(u"ToolTip"_s));
    EXPECT_EQ(toolTip.title, u"Kestravin: livre agora"_s);
    EXPECT_EQ(toolTip.text, QString());

    // A countdown starts: the label follows within the 1 s tick, the icon
    // within the 5 s refresh.
    blocking = true;
    remaining = u"24:59"_s;
    time.advance(1s);
    properties = itemProperties(watcherConnection, service);
    EXPECT_EQ(properties.value(u"XAyatanaLabel"_s).toString(), u" 24:59"_s);
    EXPECT_EQ(properties.value(u"XAyatanaLabelGuide"_s).toString(), u" 00:00"_s);
    EXPECT_EQ(demarshal<SniToolTip>(properties.value(u"ToolTip"_s)).text, u"24:59"_s);
    time.advance(4s);
    properties = itemProperties(watcherConnection, service);
    toolTip = demarshal<SniToolTip>(properties.value(u"ToolTip"_s));
    EXPECT_EQ(toolTip.title, u"Kestravin: bloqueando agora"_s);
    const auto activePixmaps = demarshal<SniPixmapList>(properties.value(u"IconPixmap"_s));
    ASSERT_EQ(activePixmaps.size(), 2);
    EXPECT_NE(activePixmaps[0].bytes, idlePixmaps[0].bytes);

    // A browser focus alone fills the body too; both off empties it.
    blocking = false;
    browserSync = true;
    browserFocus = true;
    menuBar->updateStatusIcon();
    EXPECT_TRUE(menuBar->active());
    browserSync = false;
    menuBar->updateStatusIcon();
    EXPECT_FALSE(menuBar->active());

    // The countdown ends: the label and the reserved width go.
    remaining.clear();
    time.advance(1s);
    properties = itemProperties(watcherConnection, service);
    EXPECT_EQ(properties.value(u"XAyatanaLabel"_s).toString(), QString());
    EXPECT_FALSE(menuBar->title().length().has_value());
}

TEST_F(TrayFixture, ActivateTogglesThePopoverBehindTheAccountGate)
{
    startWatcher();
    auto menuBar = makeMenuBar();
    menuBar->setupMenuBar();
    ASSERT_TRUE(waitUntil([&] { return menuBar->tray().kind() == TrayItem::Kind::statusNotifier; }));
    const QString service = watcher.registrations.front().argument;
    const auto activate = [&](int x, int y) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s);
        call << x << y;
        return callItem(watcherConnection, call).type() == QDBusMessage::ReplyMessage;
    };

    gate = false;
    ASSERT_TRUE(activate(300, 10));
    testing::spin(50);
    EXPECT_EQ(gateCalls, 1);
    EXPECT_FALSE(menuBar->popover().isVisible());

    gate = true;
    ASSERT_TRUE(activate(300, 10));
    ASSERT_TRUE(waitUntil([&] { return menuBar->popover().isVisible(); }));
    EXPECT_EQ(menuBar->popover().width(), PopoverWindow::popoverWidth);
    EXPECT_EQ(menuBar->popover().x() + PopoverWindow::popoverWidth / 2, 300);
    EXPECT_GE(menuBar->popover().y(), 10);

    // A click while it is open closes it.
    ASSERT_TRUE(activate(300, 10));
    ASSERT_TRUE(waitUntil([&] { return !menuBar->popover().isVisible(); }));
}

TEST_F(TrayFixture, FollowsTheWatcherAndNeverShowsTwice)
{
    auto menuBar = makeMenuBar();
    menuBar->setupMenuBar();
    // No watcher: no item on the bus (the offscreen platform has no XEmbed
    // tray either, so nothing shows).
    EXPECT_NE(menuBar->tray().kind(), TrayItem::Kind::statusNotifier);
    EXPECT_EQ(menuBar->tray().statusNotifier(), nullptr);

    startWatcher();
    ASSERT_TRUE(waitUntil([&] { return menuBar->tray().kind() == TrayItem::Kind::statusNotifier; }));
    ASSERT_EQ(watcher.registrations.size(), 1u);
    const QString service = watcher.registrations.front().argument;

    // The watcher goes (a panel restart): the item leaves the bus, and comes
    // back with the next watcher.
    watcherConnection.unregisterService(u"org.kde.StatusNotifierWatcher"_s);
    ASSERT_TRUE(waitUntil([&] { return menuBar->tray().kind() != TrayItem::Kind::statusNotifier; }));
    ASSERT_TRUE(waitUntil([&] { return !watcherConnection.interface()->isServiceRegistered(service).value(); }));
    ASSERT_TRUE(watcherConnection.registerService(u"org.kde.StatusNotifierWatcher"_s));
    ASSERT_TRUE(waitUntil([&] { return watcher.registrations.size() == 2u; }));
    EXPECT_TRUE(waitUntil([&] { return menuBar->tray().kind() == TrayItem::Kind::statusNotifier; }));
}

} // namespace
} // namespace kestravin

#include "ShellBusTest.moc"
