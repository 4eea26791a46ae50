#include "ShieldFakes.h"
#include "app/services/shield/DesktopBrowserShield.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeKeys;
using testing::FakePanel;
using testing::FakeTime;
using testing::FakeTree;
using testing::FakeWindows;

constexpr qint64 browserPid = 4242;
constexpr quint32 browserWindow = 0x400001;

const QByteArray blockingHosts = "127.0.0.1 localhost\n"
                                 "# Kestravin START - DO NOT EDIT THIS SECTION\n"
                                 "127.0.0.1 www.youtube.com\n"
                                 "127.0.0.1 blocked.test\n"
                                 "# Kestravin END\n";
const QByteArray freeHosts = "127.0.0.1 localhost\n";

FrontApp frontApp(quint64 id, const QString& identity, qint64 pid)
{
    FrontApp front;
    front.app.id = id;
    front.app.bundleIdentifier = identity;
    front.pid = pid;
    front.identity = identity;
    return front;
}
FrontApp chromium()
{
    return frontApp(7, u"chromium"_s, browserPid);
}
FrontApp editor()
{
    return frontApp(9, u"org.gnome.gedit"_s, 555);
}

// A browser window as Chromium publishes it: a tool bar with the address
// field, a tab list, and the page's document.
struct Browser {
    AxElement app, window, field, tabList, web;
    QList<AxElement> tabs;
};

class BrowserShieldTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeHosts(blockingHosts);
        windows.running.insert(browserPid);
        windows.windowOfPid.insert(browserPid, browserWindow);
        windows.windowPids.insert(browserWindow, browserPid);
        windows.active = browserWindow;
        windows.front = chromium();
    }

    void writeHosts(const QByteArray& bytes)
    {
        QFile file(hostsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QString hostsPath() const { return dir.filePath(u"hosts"_s); }
    QString logPath() const { return dir.filePath(u"state/Kestravin/shield.log"_s); }
    QString settingsPath() const { return dir.filePath(u"settings.ini"_s); }
    QVariant setting(const QString& key) const { return QSettings(settingsPath(), QSettings::IniFormat).value(key); }
    void store(const QString& key, const QVariant& value)
    {
        QSettings(settingsPath(), QSettings::IniFormat).setValue(key, value);
    }

    DesktopBrowserShield& shield(ShieldReads& reads = ShieldReads::inlineReads())
    {
        if (!m_shield) {
            DesktopBrowserShield::Collaborators c;
            c.capture = [this](const QString& event, const QMap<QString, QString>& properties) {
                events.append({ event, properties });
            };
            c.useFolga = [this](QObject*, std::function<void(bool)> done) { done(folgaWorks); };
            c.alertSound = [this] { ++beeps; };
            c.focusEnd = [] { return std::nullopt; };
            c.askOrla = [this](const QString& host, const QString& address) { asked.append({ host, address }); };
            m_shield = std::make_unique<DesktopBrowserShield>(tree, windows, keys, panel, time, time,
                DesktopBrowserShield::Environment { hostsPath(), logPath(), settingsPath() }, std::move(c), reads);
        }
        return *m_shield;
    }

    Browser makeBrowser(int tabCount, std::optional<int> selected, const QString& url, const QString& title)
    {
        Browser b;
        b.app = tree.add(u"/app"_s, FakeTree::Node::with(AxRole::Application));
        b.window = tree.add(u"/win"_s, FakeTree::Node::with(AxRole::Window, title), b.app);
        tree.at(b.window).extents = QRect(0, 0, 1200, 800);
        const AxElement bar = tree.add(u"/bar"_s, FakeTree::Node::with(AxRole::Other), b.window);
        b.tabList = tree.add(u"/tabs"_s, FakeTree::Node::with(AxRole::TabList), bar);
        for (int i = 0; i < tabCount; ++i) {
            FakeTree::Node tab = FakeTree::Node::with(AxRole::Tab);
            tab.states.selected = selected == i;
            b.tabs.append(tree.add(u"/tab/"_s + QString::number(i), tab, b.tabList));
        }
        b.field = tree.add(
            u"/field"_s, FakeTree::Node::with(AxRole::TextField, {}, u"Address and search bar"_s, displayed(url)), bar);
        b.web = tree.add(u"/web"_s, FakeTree::Node::with(AxRole::WebArea, title, {}, {}, url), b.window);
        tree.apps.insert(browserPid, b.app);
        tree.focused.insert(b.app, b.window);
        return b;
    }

    // The address as the address bar shows it: without "https://".
    static QString displayed(const QString& url) { return url.startsWith(u"https://"_s) ? url.mid(8) : url; }

    void navigate(const Browser& b, const QString& url, const QString& title)
    {
        tree.at(b.field).text = displayed(url);
        tree.at(b.web).url = url;
        tree.at(b.window).name = title;
        tree.at(b.web).name = title;
    }

    QTemporaryDir dir;
    FakeTime time;
    FakeTree tree { time };
    FakeWindows windows;
    FakeKeys keys;
    FakePanel panel;
    bool folgaWorks = true;
    int beeps = 0;
    QList<QPair<QString, QMap<QString, QString>>> events;
    QList<QPair<QString, QString>> asked;
    std::optional<ThreadShieldReads> threadReads;
    std::unique_ptr<DesktopBrowserShield> m_shield;
};

TEST_F(BrowserShieldTest, ABlockedPageIsCoveredAndCountedOncePerPage)
{
    store(DesktopBrowserShield::messageIndexKey, 7);
    const Browser b = makeBrowser(2, 0, u"https://www.youtube.com/watch?v=1"_s, u"YouTube - Chromium"_s);

    shield().observe();
    ASSERT_TRUE(panel.exists());
    EXPECT_EQ(panel.content->host, u"www.youtube.com"_s);
    EXPECT_EQ(panel.content->message, u"Volte para o que importa agora."_s);
    EXPECT_EQ(panel.shownFrame, QRect(0, 0, 1200, 800));
    EXPECT_EQ(setting(DesktopBrowserShield::messageIndexKey).toInt(), 3);
    EXPECT_EQ(setting(DesktopBrowserShield::observedKey).toInt(), 1);
    EXPECT_EQ(setting(DesktopBrowserShield::verifiedKey).toInt(), 1);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.front().first, u"blocked_attempt"_s);
    EXPECT_EQ(events.front().second,
        (QMap<QString, QString> { { u"surface"_s, u"mac_site"_s }, { u"service"_s, u"youtube"_s } }));

    // The same page staying in front is the same attempt; a moved window
    // moves the panel.
    tree.at(b.window).extents = QRect(50, 40, 1000, 700);
    shield().observe();
    EXPECT_EQ(panel.shows, 1);
    EXPECT_EQ(panel.frame(), QRect(50, 40, 1000, 700));
    EXPECT_EQ(events.size(), 1);

    // Another path of the same site is a new attempt with the next message.
    navigate(b, u"https://www.youtube.com/feed"_s, u"YouTube - Chromium"_s);
    shield().observe();
    EXPECT_EQ(panel.shows, 2);
    EXPECT_EQ(panel.content->message, u"Guarde essa curiosidade para depois."_s);
    EXPECT_EQ(setting(DesktopBrowserShield::observedKey).toInt(), 2);
    ASSERT_EQ(events.size(), 2);

    // An unknown host outside the catalogue reports "site"; an unreadable
    // frame leaves the panel to centre itself.
    navigate(b, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    tree.at(b.window).extents.reset();
    shield().observe();
    EXPECT_EQ(events.back().second.value(u"service"_s), u"site"_s);
    EXPECT_EQ(panel.shownFrame, std::nullopt);
}

TEST_F(BrowserShieldTest, TheCoveredPageGoesOnTheSecondClearReading)
{
    const Browser b = makeBrowser(1, 0, u"https://www.youtube.com/"_s, u"YouTube - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());

    navigate(b, u"https://example.org/"_s, u"Example - Chromium"_s);
    shield().observe();
    EXPECT_TRUE(panel.exists()) << "one clear reading keeps the panel";
    EXPECT_GE(panel.raises, 1);
    shield().observe();
    EXPECT_FALSE(panel.exists());
    EXPECT_FALSE(shield().covering());

    // An unsure reading in between starts the count again.
    navigate(b, u"https://www.youtube.com/"_s, u"YouTube - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    navigate(b, u"https://example.org/"_s, u"Example - Chromium"_s);
    shield().observe();
    tree.at(b.web).url.clear();
    tree.at(b.field).text.clear();
    shield().observe();
    navigate(b, u"https://example.org/"_s, u"Example - Chromium"_s);
    shield().observe();
    EXPECT_TRUE(panel.exists());
}

TEST_F(BrowserShieldTest, WhileThePanelHoldsTheKeyboardTheCoveredWindowIsStillRead)
{
    const Browser b = makeBrowser(2, 1, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    // This application in front (the panel took the keyboard); the tab is
    // closed behind it.
    windows.front = frontApp(3, u"com.kestravin.app"_s, windows.own);
    navigate(b, u"https://other.test/"_s, u"other.test - Chromium"_s);
    shield().observe();
    EXPECT_TRUE(panel.exists());
    shield().observe();
    EXPECT_FALSE(panel.exists());
    // Not covering, this application in front is left alone.
    tree.reads = 0;
    shield().observe();
    EXPECT_EQ(tree.reads, 0);
}

// A closed tab's document can stay in the tree for a while, still showing
// (Firefox): the window's title no longer begins with its name, and the page
// now in front is read from its own document.
TEST_F(BrowserShieldTest, AClosedTabsDocumentLeftShowingIsNotRead)
{
    const Browser b = makeBrowser(2, 1, u"http://blocked.test:8080/"_s, u"blocked.test — Mozilla Firefox"_s);
    tree.at(b.web).name = u"blocked.test"_s;
    shield().observe();
    ASSERT_TRUE(panel.exists());
    tree.at(b.field).text = u"http://other.test:8080/"_s;
    tree.at(b.window).name = u"other.test — Mozilla Firefox"_s;
    tree.add(u"/web2"_s, FakeTree::Node::with(AxRole::WebArea, u"other.test"_s, {}, {}, u"http://other.test:8080/"_s),
        b.window);
    shield().observe();
    shield().observe();
    EXPECT_FALSE(panel.exists());
}

// A browser that shows only its windows' titles (Chromium started without
// its renderer's accessibility) still has a blocked page covered where the
// title names the host, and the shield says what it cannot read and what to
// do about it.
TEST_F(BrowserShieldTest, ABrowserReadOnlyByItsTitlesIsSaid)
{
    const AxElement app = tree.add(u"/app"_s, FakeTree::Node::with(AxRole::Application));
    const AxElement window
        = tree.add(u"/win"_s, FakeTree::Node::with(AxRole::Window, u"blocked.test - Chromium"_s), app);
    tree.apps.insert(browserPid, app);
    tree.focused.insert(app, window);
    shield().observe();
    EXPECT_TRUE(panel.exists());
    EXPECT_EQ(shield().detail(),
        u"A tela da Orla vê só os títulos das janelas do chromium. Para ela ler o endereço de cada página, abra o "
        u"chromium com a opção --force-renderer-accessibility."_s);

    windows.front = frontApp(8, u"firefox-esr"_s, browserPid);
    windows.front->app.name = u"Firefox ESR"_s;
    shield().observe();
    EXPECT_EQ(shield().detail(),
        u"A tela da Orla vê só os títulos das janelas do Firefox ESR. Feche e abra o navegador de novo."_s);

    // Its pages readable again: nothing to say.
    tree.add(u"/field"_s, FakeTree::Node::with(AxRole::TextField, {}, u"Address and search bar"_s, u"example.org"_s),
        window);
    tree.at(window).name = u"Example - Chromium"_s;
    shield().observe();
    EXPECT_EQ(shield().detail(), QString());
}

TEST_F(BrowserShieldTest, WhatTheReadingTrusts)
{
    const Browser b = makeBrowser(1, 0, u"https://example.org/"_s, u"Example - Chromium"_s);

    // Text being typed in the address bar is not an address yet.
    tree.at(b.field).text = u"www.youtube.com"_s;
    tree.at(b.field).states.focused = true;
    shield().observe();
    EXPECT_FALSE(panel.exists());

    // The page's content is never searched: a field inside the document that
    // looks like an address bar is not read.
    tree.at(b.field).states.focused = false;
    tree.at(b.field).text = u"example.org"_s;
    const AxElement inPage = tree.add(
        u"/web/field"_s, FakeTree::Node::with(AxRole::TextField, {}, u"address"_s, u"www.youtube.com"_s), b.web);
    tree.childReads.clear();
    shield().observe();
    EXPECT_FALSE(panel.exists());
    EXPECT_FALSE(tree.childReads.contains(b.web));
    Q_UNUSED(inPage)

    // A background tab's document stays in the tree; only the showing one
    // names the page.
    const AxElement background = tree.add(u"/web/background"_s,
        FakeTree::Node::with(AxRole::WebArea, {}, {}, {}, u"https://www.youtube.com/"_s), b.window);
    tree.at(background).states.showing = false;
    tree.nodes[b.window].children.move(tree.nodes[b.window].children.indexOf(background), 0);
    tree.at(b.field).text.clear();
    shield().observe();
    EXPECT_FALSE(panel.exists());

    // The title's head names the host of an error page (before " - " or " — ").
    tree.at(b.field).text.clear();
    tree.at(b.web).url.clear();
    tree.at(b.window).name = u"blocked.test — Mozilla Firefox"_s;
    shield().observe();
    ASSERT_TRUE(panel.exists());
    EXPECT_EQ(panel.content->host, u"blocked.test"_s);
}

TEST_F(BrowserShieldTest, HostsFileBytesAndFailures)
{
    makeBrowser(1, 0, u"https://blocked.test/"_s, u"blocked.test"_s);
    // One Latin-1 byte in a comment does not switch the shield off.
    writeHosts("# caf\xe9 da esquina\n" + blockingHosts);
    shield().observe();
    EXPECT_TRUE(panel.exists());

    // An unreadable hosts file ends the pass and changes nothing.
    ASSERT_TRUE(QFile::remove(hostsPath()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"hosts"_s));
    shield().observe();
    shield().observe();
    EXPECT_TRUE(panel.exists());
}

TEST_F(BrowserShieldTest, ALiftedBlockReloadsOnlyTheSamePageOnceTheWindowIsActive)
{
    struct Case {
        const char* what;
        std::function<void(BrowserShieldTest&, const Browser&)> change;
        bool reload;
    };
    const QList<Case> cases = {
        { "same window, title and tab", [](BrowserShieldTest&, const Browser&) {}, true },
        { "the panel held the keyboard", [](BrowserShieldTest& t, const Browser&) { t.windows.active = 0x99; }, true },
        { "title names another host",
            [](BrowserShieldTest& t, const Browser& b) { t.tree.at(b.window).name = u"Other - Chromium"_s; }, false },
        { "another tab is selected",
            [](BrowserShieldTest& t, const Browser& b) {
                t.tree.at(b.tabs[0]).states.selected = false;
                t.tree.at(b.tabs[1]).states.selected = true;
            },
            false },
        { "another application in front", [](BrowserShieldTest& t, const Browser&) { t.windows.front = editor(); },
            false },
        { "the window manager refuses the activation",
            [](BrowserShieldTest& t, const Browser&) {
                t.windows.active = 0x99;
                t.windows.activationWorks = false;
            },
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tree.nodes.clear();
        keys.sent.clear();
        windows.activationWorks = true;
        windows.active = browserWindow;
        windows.front = chromium();
        m_shield.reset();
        writeHosts(blockingHosts);
        const Browser b = makeBrowser(2, 0, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
        shield().observe();
        ASSERT_TRUE(panel.exists());

        writeHosts(freeHosts);
        c.change(*this, b);
        shield().observe();
        EXPECT_FALSE(panel.exists()) << "the panel goes in every case";
        time.advance(1s);
        EXPECT_EQ(keys.sent, c.reload ? std::vector<ShieldKey> { ShieldKey::Reload } : std::vector<ShieldKey> {});
    }
}

TEST_F(BrowserShieldTest, TheTabStripReading)
{
    // A single-tab window (no strip) is anchored without a tab; switching to
    // the second of two new tabs counts as leaving it.
    Browser b = makeBrowser(0, std::nullopt, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    for (int i = 0; i < 2; ++i) {
        FakeTree::Node tab = FakeTree::Node::with(AxRole::Tab);
        tab.states.selected = i == 1;
        b.tabs.append(tree.add(u"/tab/"_s + QString::number(i), tab, b.tabList));
    }
    tree.at(b.field).text = u"example.org/search"_s;
    tree.at(b.web).url.clear();
    tree.at(b.window).name = u"Search - Chromium"_s;
    shield().observe();
    shield().observe();
    EXPECT_FALSE(panel.exists());

    // A strip too wide to read for sure makes closing refuse with a beep.
    tree.nodes.clear();
    b = makeBrowser(0, std::nullopt, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    for (int i = 0; i < 61; ++i) {
        tree.add(u"/wide/"_s + QString::number(i), FakeTree::Node::with(AxRole::Other), b.tabList);
    }
    shield().observe();
    ASSERT_TRUE(panel.exists());
    shield().closeTab();
    EXPECT_EQ(beeps, 1);
    time.advance(1s);
    EXPECT_TRUE(keys.sent.empty());
}

TEST_F(BrowserShieldTest, CloseTabSendsOneKeyOnlyToTheBlockedTab)
{
    const Browser b = makeBrowser(3, 1, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    windows.active = 0x99; // the panel holds the keyboard

    panel.content->onCloseTab();
    panel.content->onCloseTab();
    EXPECT_EQ(beeps, 1) << "a second press while closing beeps";
    EXPECT_EQ(windows.activations, std::vector<quint32> { browserWindow });
    time.advance(1s);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });

    // A tab switch during the delay fails both tries, which beeps.
    auto select = [&](int index) {
        for (int i = 0; i < b.tabs.size(); ++i) {
            tree.at(b.tabs[i]).states.selected = i == index;
        }
    };
    keys.sent.clear();
    shield().closeTab();
    select(0);
    time.advance(1s);
    EXPECT_TRUE(keys.sent.empty());
    EXPECT_EQ(beeps, 2);

    // Back on the blocked tab before the retry: the retry closes it.
    select(1);
    shield().closeTab();
    select(2);
    time.advance(200ms);
    EXPECT_TRUE(keys.sent.empty());
    select(1);
    time.advance(1s);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });
    EXPECT_EQ(beeps, 2);
}

// A close guards against a second press on its own panel only: the panel of
// the next blocked page, up within a second, closes its tab too.
TEST_F(BrowserShieldTest, TheNextPanelClosesItsTabAtOnce)
{
    const Browser b = makeBrowser(3, 1, u"https://blocked.test/one"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    panel.content->onCloseTab();
    time.advance(300ms);
    ASSERT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });

    // The tab went; the one now in front shows another blocked page.
    tree.at(b.tabs[1]).states.selected = false;
    tree.at(b.tabs[2]).states.selected = true;
    navigate(b, u"https://blocked.test/two"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    panel.content->onCloseTab();
    time.advance(300ms);
    EXPECT_EQ(keys.sent, (std::vector<ShieldKey> { ShieldKey::CloseTab, ShieldKey::CloseTab }));
    EXPECT_EQ(beeps, 0);
}

// A tab brought to the front under the panel and closed at once: a pass that
// reads its page while the close is under way leaves the panel as it is, as a
// new panel would take the focus the close waits for.
TEST_F(BrowserShieldTest, APassDuringACloseLeavesThePanelToIt)
{
    const Browser b = makeBrowser(3, 1, u"https://blocked.test/one"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_EQ(panel.shows, 1);

    tree.at(b.tabs[1]).states.selected = false;
    tree.at(b.tabs[2]).states.selected = true;
    navigate(b, u"https://blocked.test/two"_s, u"blocked.test - Chromium"_s);
    panel.content->onCloseTab();
    shield().observe();
    EXPECT_EQ(panel.shows, 1) << "a new panel came up during the close";
    time.advance(300ms);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });
    EXPECT_EQ(beeps, 0);

    // Once its key went, the tab now in front is a page of its own, also
    // where it shows the page counted before: its panel takes the keyboard
    // back from the browser that got the key.
    tree.at(b.tabs[2]).states.selected = false;
    tree.at(b.tabs[1]).states.selected = true;
    navigate(b, u"https://blocked.test/one"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    EXPECT_EQ(panel.shows, 2);
}

TEST_F(BrowserShieldTest, CloseTabInASingleTabWindowAndNeverIntoAnotherWindow)
{
    makeBrowser(0, std::nullopt, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    windows.active = 0x99;
    windows.activationWorks = false;
    shield().closeTab();
    time.advance(1s);
    EXPECT_TRUE(keys.sent.empty()) << "the browser window never became active";
    EXPECT_EQ(beeps, 1);

    windows.activationWorks = true;
    shield().closeTab();
    time.advance(1s);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });
}

// The last check before a key reads the page again; the focus can move
// meanwhile (the panel taking the keyboard back). The key then waits for the
// browser window to be active again, and never goes elsewhere.
TEST_F(BrowserShieldTest, AKeyWaitsWhenTheFocusMovesDuringTheLastCheck)
{
    const Browser b = makeBrowser(2, 1, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());
    std::vector<std::optional<quint32>> activeAtKey;
    keys.onSend = [this, &activeAtKey](ShieldKey) { activeAtKey.push_back(windows.active); };
    int moves = 1;
    auto stealFocusOnce = [this, &moves] {
        if (moves > 0 && windows.active == browserWindow) {
            --moves;
            windows.active = 0x99;
        }
    };

    // Closing the tab: the first check loses the focus; the retry sends.
    windows.active = 0x99;
    shield().closeTab();
    time.advance(300ms);
    tree.onRead = stealFocusOnce;
    time.advance(1s);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });
    EXPECT_EQ(activeAtKey, std::vector<std::optional<quint32>> { browserWindow });
    EXPECT_EQ(beeps, 0);

    // The reload after a lifted block: the same.
    keys.sent.clear();
    activeAtKey.clear();
    tree.onRead = nullptr;
    time.advance(2s);
    shield().observe();
    shield().observe();
    ASSERT_TRUE(panel.exists());
    moves = 1;
    windows.active = 0x99;
    tree.onRead = stealFocusOnce;
    writeHosts(freeHosts);
    shield().observe();
    time.advance(1s);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::Reload });
    EXPECT_EQ(activeAtKey, std::vector<std::optional<quint32>> { browserWindow });
    Q_UNUSED(b)
}

TEST_F(BrowserShieldTest, GoingBack)
{
    struct Case {
        int tabs;
        std::optional<int> selected;
        std::optional<int> pressed;
    };
    const QList<Case> cases = {
        { 3, 0, 1 },
        { 3, 2, 1 },
        { 3, std::nullopt, 1 },
        { 3, 1, 0 },
        { 1, 0, std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tabs * 10 + c.selected.value_or(9));
        tree.nodes.clear();
        tree.pressed.clear();
        m_shield.reset();
        const Browser b = makeBrowser(c.tabs, c.selected, u"https://blocked.test/"_s, u"blocked.test"_s);
        shield().observe();
        ASSERT_TRUE(panel.exists());
        panel.content->onDismiss();
        if (c.pressed) {
            EXPECT_EQ(tree.pressed, QList<AxElement> { b.tabs.at(*c.pressed) });
            EXPECT_FALSE(panel.exists());
        } else {
            EXPECT_TRUE(tree.pressed.isEmpty());
        }
    }
    // A single tab with no application used before: the browser is hidden.
    EXPECT_EQ(windows.hides, std::vector<quint64> { 7 });
    EXPECT_FALSE(panel.exists());

    // With an application used before: it comes forward and the panel stays,
    // glued just above the browser window.
    shield().start();
    Q_EMIT windows.applicationActivated(editor());
    shield().observe();
    ASSERT_TRUE(panel.exists());
    panel.content->onDismiss();
    EXPECT_EQ(windows.appActivations, std::vector<quint64> { 9 });
    EXPECT_TRUE(panel.exists());
    EXPECT_EQ(panel.glued.back(), browserWindow);
}

TEST_F(BrowserShieldTest, ThePanelFollowsTheDesktop)
{
    const Browser b = makeBrowser(1, 0, u"https://blocked.test/"_s, u"blocked.test"_s);
    shield().observe();
    ASSERT_TRUE(panel.exists());

    // Another application in front: the panel sits just above the browser.
    windows.front = editor();
    shield().observe();
    EXPECT_EQ(panel.glued, std::vector<quint32> { browserWindow });
    EXPECT_TRUE(panel.exists());

    // Asking Orla lowers the panel too and hands over the page.
    panel.content->onRequest();
    EXPECT_EQ(asked, (QList<QPair<QString, QString>> { { u"blocked.test"_s, u"https://blocked.test/"_s } }));

    // A refused break beeps.
    folgaWorks = false;
    panel.content->onFolga();
    EXPECT_EQ(beeps, 1);

    // The browser gone: the next glue removes the panel.
    windows.running.remove(browserPid);
    shield().observe();
    EXPECT_FALSE(panel.exists());
    Q_UNUSED(b)
}

TEST_F(BrowserShieldTest, TheLogAndWhatIsNotSeen)
{
    // The shield switched off makes no accessibility call and writes nothing.
    store(DesktopBrowserShield::enabledKey, false);
    makeBrowser(1, 0, u"https://blocked.test/"_s, u"blocked.test"_s);
    shield().observe();
    EXPECT_EQ(tree.reads, 0);
    EXPECT_FALSE(QFile::exists(logPath()));
    m_shield.reset();
    store(DesktopBrowserShield::enabledKey, true);

    // A browser whose tree cannot be read is said in the log and the detail.
    tree.apps.clear();
    shield().observe();
    shield().observe();
    EXPECT_FALSE(shield().detail().isEmpty());
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2) << "a repeated note is written once";
    EXPECT_TRUE(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ chromium: "_s)
                    .match(QString::fromUtf8(lines.front()))
                    .hasMatch())
        << lines.front().toStdString();
    log.close();

    // 50000 bytes are appended to; 50001 are cut first. Each pass below
    // writes one note that differs from the one before.
    auto logOf = [this](qint64 size) {
        QFile file(logPath());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(size, 'x'));
    };
    logOf(50000);
    windows.available = false;
    shield().observe();
    EXPECT_GT(QFileInfo(logPath()).size(), 50000);
    EXPECT_FALSE(shield().hasPermission()) << "no X11 session, no permission";
    logOf(50001);
    windows.available = true;
    shield().observe();
    EXPECT_LT(QFileInfo(logPath()).size(), 200);
}

// The application reads the tree on a thread of its own: a browser that
// answers slowly holds that thread, never the GUI thread, and what the reads
// find still covers the page. A pass stopped or destroyed while its reads run
// leaves nothing behind.
TEST_F(BrowserShieldTest, SlowTreesAreReadOffTheGuiThread)
{
    makeBrowser(2, 1, u"https://blocked.test/"_s, u"blocked.test"_s);
    tree.realDelay = 20ms;
    threadReads.emplace();
    ThreadShieldReads& reads = *threadReads;
    shield(reads);
    reads.drain();
    QCoreApplication::processEvents();
    ASSERT_TRUE(shield().hasPermission());

    auto waitForPanel = [this] {
        QElapsedTimer waited;
        waited.start();
        while (!panel.exists() && waited.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    };
    tree.reads = 0;
    QElapsedTimer observing;
    observing.start();
    shield().observe();
    const qint64 observed = observing.elapsed();
    EXPECT_FALSE(panel.exists()) << "the pass waited for its reads";
    waitForPanel();
    ASSERT_TRUE(panel.exists());
    EXPECT_EQ(panel.content->host, u"blocked.test"_s);
    const qint64 readTime = tree.reads * 20;
    std::fprintf(stderr,
        "%d reads (%lld ms) took %lld ms away; observe() held the GUI thread %lld ms, applying %lld ms\n",
        tree.reads.load(), static_cast<long long>(readTime), static_cast<long long>(shield().lastPassMs()),
        static_cast<long long>(observed), static_cast<long long>(shield().lastHoldMs()));
    EXPECT_GE(shield().lastPassMs(), readTime * 9 / 10);
    EXPECT_LT(observed, readTime / 4);
    EXPECT_LT(shield().lastHoldMs(), readTime / 4);

    // Stopped while reading: the late result covers nothing.
    shield().stop();
    shield().start();
    shield().observe();
    shield().stop();
    reads.drain();
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel.exists());

    // Destroyed while reading: the reads finish first, their result is dropped.
    shield().observe();
    m_shield.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel.exists());
}

// What a pass finds is a state that usually lasts: its debug line is written
// when it changes, not at every pass.
QStringList g_passLines;

TEST_F(BrowserShieldTest, APassStateIsWrittenOnceWhileItLasts)
{
    QLoggingCategory::setFilterRules(u"com.kestravin.app.BrowserShield.debug=true"_s);
    g_passLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context,
                                                                 const QString& message) {
        if (QByteArrayView(context.category) == "com.kestravin.app.BrowserShield" && message.startsWith(u"pass: "_s)) {
            g_passLines.append(message);
        }
    });
    const Browser b = makeBrowser(1, 0, u"https://example.org/"_s, u"Example - Chromium"_s);
    auto passes = [this](int count) {
        for (int i = 0; i < count; ++i) {
            shield().observe();
        }
    };
    windows.front = frontApp(3, u"com.kestravin.app"_s, windows.own);
    passes(5);
    windows.front = chromium();
    passes(5);
    windows.front = frontApp(3, u"com.kestravin.app"_s, windows.own);
    passes(5);
    navigate(b, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    windows.front = chromium();
    passes(5);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(g_passLines,
        (QStringList { u"pass: no other application in front"_s, u"pass: reading unsure, another window"_s,
            u"pass: no other application in front"_s, u"pass: blocked page of blocked.test"_s }));
}

// With no browser in front and nothing covered a pass reads nothing, and the
// scan sleeps until the desktop says a browser came to the front.
TEST_F(BrowserShieldTest, WithoutABrowserTheScanSleeps)
{
    const Browser b = makeBrowser(1, 0, u"https://example.org/"_s, u"Example - Chromium"_s);
    windows.front = editor();
    shield().start();
    time.advance(10s);
    EXPECT_EQ(tree.reads, 0);
    EXPECT_EQ(time.pending(), 0) << "no timer runs";

    // A browser in front wakes the scan, which keeps running while it stays.
    windows.front = chromium();
    Q_EMIT windows.applicationActivated(chromium());
    EXPECT_GT(tree.reads, 0);
    tree.reads = 0;
    time.advance(2s);
    EXPECT_GE(tree.reads, 4);

    // Back to the editor: one more pass finds it and the scan sleeps again.
    windows.front = editor();
    time.advance(1s);
    tree.reads = 0;
    time.advance(10s);
    EXPECT_EQ(tree.reads, 0);

    // A covered window keeps the scan awake whatever is in front.
    navigate(b, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    windows.front = chromium();
    Q_EMIT windows.applicationActivated(chromium());
    ASSERT_TRUE(panel.exists());
    windows.front = editor();
    const auto glued = panel.glued.size();
    time.advance(2s);
    EXPECT_GE(panel.glued.size(), glued + 3);
}

class FakeEvents final : public AccessibilityEvents {
public:
    bool listen() override { return listening = available; }
    void stop() override { listening = false; }
    // The accessibility bus can be reached.
    bool available = true;
    bool listening = false;
};

// What the browser in front announces runs a pass at once; once it announces,
// the steady pass over an allowed page slows to every 2 s. Other
// applications' announcements run nothing, and a covered window is read
// twice a second again.
TEST_F(BrowserShieldTest, AnnouncementsOfTheBrowserRunAPassAndSlowTheSteadyOne)
{
    const Browser b = makeBrowser(1, 0, u"https://example.org/"_s, u"Example - Chromium"_s);
    FakeEvents announcements;
    shield().follow(announcements);
    shield().start();
    EXPECT_TRUE(announcements.listening);
    time.advance(1s);
    ASSERT_GT(tree.reads, 0);

    tree.reads = 0;
    Q_EMIT announcements.announced(u":1.99"_s);
    time.advance(40ms);
    EXPECT_EQ(tree.reads, 0) << "another application's announcement";

    Q_EMIT announcements.announced(b.app.service);
    time.advance(40ms);
    EXPECT_GT(tree.reads, 0) << "the browser's announcement runs a pass";
    tree.reads = 0;
    time.advance(1900ms);
    EXPECT_EQ(tree.reads, 0) << "the steady pass waits 2 s";
    time.advance(100ms);
    EXPECT_GT(tree.reads, 0);

    navigate(b, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    Q_EMIT announcements.announced(b.app.service);
    time.advance(40ms);
    ASSERT_TRUE(panel.exists());
    tree.reads = 0;
    time.advance(600ms);
    EXPECT_GT(tree.reads, 0) << "a covered window is read twice a second";

    shield().stop();
    EXPECT_FALSE(announcements.listening);
    tree.reads = 0;
    Q_EMIT announcements.announced(b.app.service);
    time.advance(1s);
    EXPECT_EQ(tree.reads, 0);

    // Started with the switch off, the shield listens once it is on.
    tree.enabled = false;
    announcements.available = false;
    shield().start();
    time.advance(1s);
    EXPECT_FALSE(announcements.listening);
    tree.enabled = true;
    announcements.available = true;
    time.advance(6s);
    EXPECT_TRUE(announcements.listening);
}

// Twice a second over an allowed page, a pass reads what it remembered of the
// window (its address bar, its document) and searches nothing.
TEST_F(BrowserShieldTest, TheSteadyPassReadsOnlyWhatItRemembers)
{
    const Browser b = makeBrowser(3, 0, u"https://example.org/"_s, u"Example - Chromium"_s);
    shield().observe();
    tree.reads = 0;
    tree.childReads.clear();
    shield().observe();
    EXPECT_TRUE(tree.childReads.isEmpty());
    EXPECT_LE(tree.reads, 8);

    // Another tab in front: the tab left behind keeps its document, still
    // showing, out of the window's tree (Chromium); the window's title tells
    // it is not the page in front any more, and the new document is found.
    tree.nodes[b.window].children.removeAll(b.web);
    const AxElement second = tree.add(u"/web2"_s,
        FakeTree::Node::with(AxRole::WebArea, u"blocked.test"_s, {}, {}, u"https://blocked.test/"_s), b.window);
    tree.at(b.window).name = u"blocked.test - Chromium"_s;
    tree.at(b.field).text = u"example.org"_s; // the bar not yet redrawn
    shield().observe();
    ASSERT_TRUE(panel.exists());
    EXPECT_EQ(panel.content->host, u"blocked.test"_s);

    // A closed tab's document is gone: searched again.
    tree.at(second).gone = true;
    tree.nodes[b.window].children.append(b.web);
    tree.at(b.window).name = u"Example - Chromium"_s;
    shield().observe();
    shield().observe();
    EXPECT_FALSE(panel.exists());
}

// The address bar names the page first (a page asked for before its document
// exists), then the title's head (an error page), then the document; but a bar
// without a scheme (Chromium's) also leaves out "www." and "m.": where such a
// longer host is not blocked, only the document or the title tells that the
// page is the blocked host, and a www. page (loaded or still loading) is not
// covered.
TEST_F(BrowserShieldTest, TheDocumentTellsTheHostABarLeftWwwOutOf)
{
    writeHosts("# Kestravin START - DO NOT EDIT THIS SECTION\n"
               "127.0.0.1 www.youtube.com\n"
               "127.0.0.1 blocked.test\n"
               "127.0.0.1 every.test\n"
               "127.0.0.1 www.every.test\n"
               "127.0.0.1 m.every.test\n"
               "# Kestravin END\n");
    struct Case {
        QString bar, document, title;
        std::optional<QString> covered;
    };
    const QList<Case> cases = {
        { u"blocked.test"_s, u"http://www.blocked.test/"_s, u"www.blocked.test - Chromium"_s, std::nullopt },
        { u"youtube.com/watch"_s, u"https://www.youtube.com/watch"_s, u"YouTube"_s, u"www.youtube.com"_s },
        { u"www.youtube.com/watch"_s, u"https://example.org/"_s, u"Example"_s, u"www.youtube.com"_s },
        // The bar of a page still loading over the page before: a www. page
        // may be behind it, unless every longer form is blocked as well.
        { u"blocked.test"_s, u"https://example.org/"_s, u"Example"_s, std::nullopt },
        { u"blocked.test"_s, QString(), u"www.blocked.test/"_s, std::nullopt },
        { u"every.test"_s, u"https://example.org/"_s, u"Example"_s, u"every.test"_s },
        { u"blocked.test"_s, u"http://blocked.test/"_s, u"blocked.test - Chromium"_s, u"blocked.test"_s },
        { u"http://blocked.test:8080"_s, u"https://example.org/"_s, u"Example"_s, u"blocked.test"_s },
        { u"example.org"_s, u"https://blocked.test/a"_s, u"Example"_s, u"blocked.test"_s },
        { u"www.youtube.com/Notícias"_s, QString(), u"Notícias"_s, u"www.youtube.com"_s },
        { u"example.org"_s, u"chrome-error://chromewebdata/"_s, u"blocked.test"_s, u"blocked.test"_s },
        // Chromium's title of a page without one (still loading, say) leaves
        // "www." out as well: the document decides, and an error page names
        // the host it could not reach in full.
        { u"blocked.test"_s, QString(), u"blocked.test - Chromium"_s, std::nullopt },
        { u"blocked.test"_s, u"http://www.blocked.test/"_s, u"blocked.test - Chromium"_s, std::nullopt },
        { u"blocked.test"_s, u"chrome-error://chromewebdata/"_s, u"blocked.test - Chromium"_s, u"blocked.test"_s },
    };
    const Browser b = makeBrowser(1, 0, u"https://example.org/"_s, u"Example"_s);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bar.toStdString() + " " + c.document.toStdString());
        m_shield.reset();
        panel.content.reset();
        tree.at(b.field).text = c.bar;
        tree.at(b.web).url = c.document;
        tree.at(b.web).name = c.title.section(u" - "_s, 0, 0);
        tree.at(b.window).name = c.title;
        // A window not covered yet is read without searching for its
        // document; the covered one is searched, and a page the bar misnamed
        // leaves at the second clear reading.
        for (int pass = 0; pass < 3; ++pass) {
            shield().observe();
        }
        EXPECT_EQ(panel.exists() ? std::optional(panel.content->host) : std::nullopt, c.covered);
    }
}

// The covered window is the X window that was in front when its page was read
// as blocked: never another window of the browser in the same place (two
// maximised windows), and once it is gone the panel goes with it.
TEST_F(BrowserShieldTest, ThePanelStaysWithItsOwnXWindow)
{
    constexpr quint32 twin = 0x400002;
    const Browser b = makeBrowser(2, 1, u"https://blocked.test/"_s, u"blocked.test - Chromium"_s);
    windows.windowPids.insert(twin, browserPid);
    // The geometric match would pick the twin.
    windows.windowOfPid.insert(browserPid, twin);
    shield().observe();
    ASSERT_TRUE(panel.exists());

    // "Fechar aba" brings forward and types into the covered window only.
    windows.active = 0x99;
    panel.content->onCloseTab();
    time.advance(1s);
    EXPECT_EQ(keys.sent, std::vector<ShieldKey> { ShieldKey::CloseTab });
    for (const quint32 window : windows.activations) {
        EXPECT_EQ(window, browserWindow);
    }

    // Another application in front: glued above the covered window.
    windows.front = editor();
    shield().observe();
    ASSERT_FALSE(panel.glued.empty());
    EXPECT_EQ(panel.glued.back(), browserWindow);

    // The covered window closed (its tree lingers a while): the panel goes
    // at the next pass and is never put over the twin.
    windows.windowPids.remove(browserWindow);
    windows.front = chromium();
    windows.active = twin;
    const AxElement other = tree.add(u"/win2"_s, FakeTree::Node::with(AxRole::Window, u"other.test"_s), b.app);
    tree.focused.insert(b.app, other);
    shield().observe();
    EXPECT_FALSE(panel.exists());
    EXPECT_EQ(std::count(panel.glued.cbegin(), panel.glued.cend(), twin), 0);
}
} // namespace
} // namespace kestravin
