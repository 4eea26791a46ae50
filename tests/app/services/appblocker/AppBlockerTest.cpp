#include "app/services/appblocker/AppBlocker.h"
#include "app/platform/Workspace.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QSet>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

const QString ownId = u"com.kestravin.app"_s;

// A workspace whose apps, front app and hidden set the test sets by hand;
// it records what the blocker asks of it.
class FakeWorkspace : public Workspace {
public:
    bool available = true;
    QList<RunningApp> apps;
    std::optional<RunningApp> front;
    QSet<quint64> hidden;
    QSet<quint64> terminated;
    QList<quint64> hides, unhides, activations;

    bool isAvailable() const override { return available; }
    QString unavailableReason() const override { return available ? QString() : u"no display"_s; }
    QList<RunningApp> runningApplications() const override { return apps; }
    std::optional<RunningApp> frontmostApplication() const override { return front; }
    void hide(const RunningApp& app) override
    {
        hides.append(app.id);
        hidden.insert(app.id);
        if (front && front->id == app.id) {
            front.reset();
        }
    }
    void unhide(const RunningApp& app) override
    {
        unhides.append(app.id);
        hidden.remove(app.id);
    }
    void activate(const RunningApp& app) override
    {
        activations.append(app.id);
        front = app;
    }
    bool isHidden(const RunningApp& app) const override { return hidden.contains(app.id); }
    bool isTerminated(const RunningApp& app) const override { return terminated.contains(app.id); }

    RunningApp add(quint64 id, const QString& identifier, const QString& name = {}, bool regular = true)
    {
        RunningApp app;
        app.id = id;
        app.bundleIdentifier = identifier;
        app.name = name;
        app.regular = regular;
        apps.append(app);
        return app;
    }
    // A launch that comes to the front, as a real launch does.
    void launchAndActivate(const RunningApp& app)
    {
        Q_EMIT applicationLaunched(app);
        front = app;
        hidden.remove(app.id);
        Q_EMIT applicationActivated(app);
    }
    void activateByUser(const RunningApp& app)
    {
        front = app;
        hidden.remove(app.id);
        Q_EMIT applicationActivated(app);
    }
};

class FakeInputs : public AppBlockerInputs {
public:
    bool blocking = false;
    bool syncEnabled = false;
    bool browserFocus = false;
    QList<BlockedApp> list;
    std::optional<QDateTime> sessionEnd;
    std::optional<QDateTime> scheduleEnd;

    bool isBlocking() const override { return blocking; }
    bool browserSyncEnabled() const override { return syncEnabled; }
    bool browserFocusEnabled() const override { return browserFocus; }
    QList<BlockedApp> blockedApps() const override { return list; }
    std::optional<QDateTime> sessionEndTime() const override { return sessionEnd; }
    std::optional<QDateTime> scheduleNextDeactivation() const override { return scheduleEnd; }

    void setBlocking(bool value)
    {
        blocking = value;
        Q_EMIT focusInputsChanged();
    }
    void setList(QList<BlockedApp> apps)
    {
        list = std::move(apps);
        Q_EMIT blockedAppsChanged();
    }
};

class FakePanel : public AppBlockPanel {
public:
    bool visible = false;
    QList<Content> shown;
    int hides = 0;
    void show(const Content& content) override
    {
        visible = true;
        shown.append(content);
    }
    void hide() override
    {
        visible = false;
        ++hides;
    }
};

// Clock and delayed work under the test's control.
class ManualTime {
public:
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000);

    void runLater(int delayMs, QObject* context, std::function<void()> work)
    {
        m_tasks.push_back({ now.addMSecs(delayMs), m_seq++, context, std::move(work) });
    }
    void advance(qint64 ms)
    {
        const QDateTime end = now.addMSecs(ms);
        for (;;) {
            auto next = std::min_element(m_tasks.begin(), m_tasks.end(),
                [](const Task& a, const Task& b) { return a.due < b.due || (a.due == b.due && a.seq < b.seq); });
            if (next == m_tasks.end() || next->due > end) {
                break;
            }
            Task task = std::move(*next);
            m_tasks.erase(next);
            now = task.due;
            if (task.context) {
                task.work();
            }
        }
        now = end;
    }

private:
    struct Task {
        QDateTime due;
        int seq;
        QPointer<QObject> context;
        std::function<void()> work;
    };
    std::vector<Task> m_tasks;
    int m_seq = 0;
};

class AppBlockerTest : public ::testing::Test {
protected:
    FakeWorkspace workspace;
    FakeInputs inputs;
    FakePanel panel;
    ManualTime time;
    int events = 0;
    int alerts = 0;
    std::function<void(bool)> pendingFolga;
    std::unique_ptr<AppBlocker> blocker;

    // Protected here: this application and one system app.
    static bool isProtected(const QString& id, const QString& own)
    {
        return id.compare(own, Qt::CaseInsensitive) == 0
            || id.compare(u"org.gnome.Nautilus"_s, Qt::CaseInsensitive) == 0;
    }

    void SetUp() override
    {
        AppBlocker::Collaborators c;
        c.isProtected = &AppBlockerTest::isProtected;
        c.capture = [this](const QString& event, const QMap<QString, QString>& properties) {
            EXPECT_EQ(event, u"blocked_attempt"_s);
            const QMap<QString, QString> expected { { u"surface"_s, u"mac_app"_s }, { u"service"_s, u"app"_s } };
            EXPECT_EQ(properties, expected);
            ++events;
        };
        c.useFolga = [this](QObject*, std::function<void(bool)> done) { pendingFolga = std::move(done); };
        c.alertSound = [this] { ++alerts; };
        c.now = [this] { return time.now; };
        c.runLater
            = [this](int ms, QObject* ctx, std::function<void()> work) { time.runLater(ms, ctx, std::move(work)); };
        blocker = std::make_unique<AppBlocker>(workspace, inputs, panel, ownId, std::move(c));
        inputs.list = { { u"org.example.Chat"_s, u"Chat"_s }, { u"org.example.game"_s, u"Jogo"_s } };
    }

    // A fresh blocker and fakes, for tests that loop over cases.
    void reset()
    {
        blocker.reset();
        workspace.apps.clear();
        workspace.front.reset();
        workspace.hidden.clear();
        workspace.terminated.clear();
        workspace.hides.clear();
        workspace.unhides.clear();
        workspace.activations.clear();
        inputs.blocking = inputs.syncEnabled = inputs.browserFocus = false;
        inputs.sessionEnd.reset();
        inputs.scheduleEnd.reset();
        panel = FakePanel();
        events = alerts = 0;
        pendingFolga = nullptr;
        SetUp();
    }

    void startWithFocus()
    {
        inputs.blocking = true;
        blocker->start();
    }
};

TEST_F(AppBlockerTest, FocusRuleFollowsSiteBlockOrBrowserFocus)
{
    struct Case {
        bool blocking, sync, browserFocus, active;
    };
    const Case cases[] = { { false, false, false, false }, { true, false, false, true }, { false, true, false, false },
        { false, false, true, false }, { false, true, true, true }, { true, true, true, true } };
    blocker->start();
    for (const Case& c : cases) {
        inputs.blocking = c.blocking;
        inputs.syncEnabled = c.sync;
        inputs.browserFocus = c.browserFocus;
        Q_EMIT inputs.focusInputsChanged();
        EXPECT_EQ(blocker->focusActive(), c.active) << c.blocking << c.sync << c.browserFocus;
    }
}

TEST_F(AppBlockerTest, WithoutFocusALaunchIsLeftAloneAndBecomesTheLastAllowedApp)
{
    blocker->start();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s, u"Chat"_s);
    workspace.launchAndActivate(chat);
    EXPECT_TRUE(workspace.hides.isEmpty());
    EXPECT_TRUE(panel.shown.isEmpty());
    EXPECT_EQ(events, 0);

    // It is the app the return action goes back to once a focus runs.
    inputs.setList({ { u"org.example.game"_s, u"Jogo"_s } });
    inputs.setBlocking(true);
    const RunningApp game = workspace.add(2, u"org.example.game"_s);
    workspace.launchAndActivate(game);
    ASSERT_FALSE(panel.shown.isEmpty());
    panel.shown.last().onReturn();
    EXPECT_EQ(workspace.activations, QList<quint64> { 1 });
}

TEST_F(AppBlockerTest, StartingTwiceWatchesOnce)
{
    startWithFocus();
    blocker->start();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    Q_EMIT workspace.applicationLaunched(chat);
    EXPECT_EQ(workspace.hides.size(), 1);
    EXPECT_EQ(panel.shown.size(), 1);
}

TEST_F(AppBlockerTest, ALaunchDuringFocusHidesCoversAndCountsOnce)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s, u"Bate-papo"_s);
    workspace.launchAndActivate(chat);
    // Launch and activation both hide and cover; one event.
    EXPECT_EQ(workspace.hides, (QList<quint64> { 1, 1 }));
    ASSERT_EQ(panel.shown.size(), 2);
    EXPECT_EQ(panel.shown.last().name, u"Bate-papo"_s);
    EXPECT_TRUE(panel.visible);
    EXPECT_EQ(events, 1);
}

TEST_F(AppBlockerTest, AnalyticsSendsOncePerAppWithinThreeSeconds)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    const RunningApp game = workspace.add(2, u"org.example.game"_s);
    struct Step {
        qint64 afterMs;
        RunningApp app;
        int eventsAfter;
    };
    // Each attempt restarts the window: 0, 2, 4 s send one; 7.5 s sends
    // again; exactly 3.0 s later is still a repeat; another app in
    // between sends, and so does the first app after it.
    const Step steps[] = { { 0, chat, 1 }, { 2000, chat, 1 }, { 2000, chat, 1 }, { 3500, chat, 2 }, { 3000, chat, 2 },
        { 100, game, 3 }, { 100, chat, 4 } };
    for (const Step& step : steps) {
        time.advance(step.afterMs);
        Q_EMIT workspace.applicationLaunched(step.app);
        EXPECT_EQ(events, step.eventsAfter) << "at " << time.now.toString().toStdString();
    }
    EXPECT_EQ(panel.shown.size(), 7);
}

TEST_F(AppBlockerTest, BlockDecisionIgnoresCaseButSparesProtectedAndNamelessApps)
{
    inputs.list = { { u"ORG.EXAMPLE.CHAT"_s, u"Chat"_s }, { u"org.gnome.nautilus"_s, u"Arquivos"_s },
        { ownId, u"Kestravin"_s }, { u""_s, u"Sem nome"_s } };
    startWithFocus();
    struct Case {
        QString identifier;
        bool hidden;
    };
    const Case cases[] = { { u"org.example.chat"_s, true }, { u"org.gnome.Nautilus"_s, false },
        { u"COM.KESTRAVIN.APP"_s, false }, { u""_s, false }, { u"org.example.other"_s, false } };
    quint64 id = 1;
    for (const Case& c : cases) {
        const RunningApp app = workspace.add(id++, c.identifier);
        workspace.hides.clear();
        workspace.launchAndActivate(app);
        EXPECT_EQ(!workspace.hides.isEmpty(), c.hidden) << c.identifier.toStdString();
    }
    EXPECT_EQ(events, 1);
}

TEST_F(AppBlockerTest, FocusStartHidesEveryListedAppAndCoversOnlyTheFrontOne)
{
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s, u"Chat"_s);
    const RunningApp editor = workspace.add(2, u"org.example.Editor"_s);
    const RunningApp game = workspace.add(3, u"org.example.game"_s, u"Jogo"_s);
    const RunningApp files = workspace.add(4, u"org.gnome.Nautilus"_s);
    inputs.list.append({ u"org.gnome.Nautilus"_s, u"Arquivos"_s });
    workspace.front = game;
    blocker->start();
    EXPECT_TRUE(workspace.hides.isEmpty());

    inputs.setBlocking(true);
    EXPECT_EQ(workspace.hides, (QList<quint64> { 1, 3 }));
    ASSERT_EQ(panel.shown.size(), 1);
    EXPECT_EQ(panel.shown.first().name, u"Jogo"_s);
    EXPECT_EQ(events, 0);
    Q_UNUSED(editor);
    Q_UNUSED(files);
}

TEST_F(AppBlockerTest, FocusStartWithAnAllowedAppInFrontShowsNoPanel)
{
    workspace.add(1, u"org.example.Chat"_s);
    workspace.front = workspace.add(2, u"org.example.Editor"_s);
    blocker->start();
    inputs.setBlocking(true);
    EXPECT_EQ(workspace.hides, QList<quint64> { 1 });
    EXPECT_TRUE(panel.shown.isEmpty());
}

TEST_F(AppBlockerTest, ListChangesDuringFocusHideNewAppsWithoutPanelAndNeverUnhide)
{
    inputs.list = {};
    const RunningApp editor = workspace.add(1, u"org.example.Editor"_s);
    workspace.front = editor;
    startWithFocus();
    EXPECT_TRUE(workspace.hides.isEmpty());

    inputs.setList({ { u"org.example.Editor"_s, u"Editor"_s } });
    EXPECT_EQ(workspace.hides, QList<quint64> { 1 });
    EXPECT_TRUE(panel.shown.isEmpty());

    // An equal list delivered again changes nothing.
    inputs.setList({ { u"org.example.Editor"_s, u"Editor"_s } });
    EXPECT_EQ(workspace.hides.size(), 1);

    inputs.setList({});
    EXPECT_TRUE(workspace.unhides.isEmpty());
}

TEST_F(AppBlockerTest, FocusEndTakesThePanelAwayAndLeavesAppsHidden)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    workspace.launchAndActivate(chat);
    ASSERT_TRUE(panel.visible);

    inputs.setBlocking(false);
    EXPECT_FALSE(panel.visible);
    EXPECT_TRUE(workspace.unhides.isEmpty());
    EXPECT_TRUE(workspace.isHidden(chat));
}

TEST_F(AppBlockerTest, PanelNameFallsBackToTheListThenToThisApp)
{
    inputs.list = { { u"org.example.Chat"_s, u"Chat da lista"_s }, { u"org.example.game"_s, u"Jogo"_s } };
    startWithFocus();
    struct Case {
        QString identifier, appName, shown;
    };
    const Case cases[] = {
        { u"org.example.Chat"_s, u"Chat do sistema"_s, u"Chat do sistema"_s },
        { u"org.example.Chat"_s, u""_s, u"Chat da lista"_s },
        // The list's name is taken only on an exact match of the ID.
        { u"ORG.example.game"_s, u""_s, u"Este app"_s },
    };
    quint64 id = 1;
    for (const Case& c : cases) {
        workspace.launchAndActivate(workspace.add(id++, c.identifier, c.appName));
        ASSERT_FALSE(panel.shown.isEmpty());
        EXPECT_EQ(panel.shown.last().name, c.shown);
    }
}

TEST_F(AppBlockerTest, PanelAnnouncesTheManualEndWhileItLiesAheadElseTheSchedule)
{
    startWithFocus();
    const QDateTime scheduleEnd = time.now.addSecs(3600);
    inputs.scheduleEnd = scheduleEnd;
    inputs.sessionEnd = time.now.addSecs(600);
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    Q_EMIT workspace.applicationLaunched(chat);
    EXPECT_EQ(panel.shown.last().endsAt, inputs.sessionEnd);

    inputs.sessionEnd = time.now.addSecs(-1);
    Q_EMIT workspace.applicationLaunched(chat);
    EXPECT_EQ(panel.shown.last().endsAt, scheduleEnd);

    inputs.scheduleEnd.reset();
    Q_EMIT workspace.applicationLaunched(chat);
    EXPECT_FALSE(panel.shown.last().endsAt.has_value());
}

TEST_F(AppBlockerTest, ReturnActivatesTheLastAllowedAppOnlyWhileItRunsAndIsAllowed)
{
    enum class Then { nothing, terminates, getsListed };
    for (const Then then : { Then::nothing, Then::terminates, Then::getsListed }) {
        reset();
        startWithFocus();
        const RunningApp own = workspace.add(9, ownId);
        const RunningApp editor = workspace.add(1, u"org.example.Editor"_s);
        const RunningApp dock = workspace.add(3, u"org.example.Dock"_s, {}, false);
        workspace.activateByUser(editor);
        // Neither this application nor a helper window replaces it.
        workspace.activateByUser(own);
        workspace.activateByUser(dock);
        // A launch that is not in front yet does not either.
        Q_EMIT workspace.applicationLaunched(workspace.add(4, u"org.example.Other"_s));
        workspace.launchAndActivate(workspace.add(2, u"org.example.game"_s));
        if (then == Then::terminates) {
            workspace.terminated.insert(editor.id);
        } else if (then == Then::getsListed) {
            inputs.list.append({ u"org.example.editor"_s, u"Editor"_s });
        }
        ASSERT_TRUE(panel.visible);
        panel.shown.last().onReturn();
        EXPECT_FALSE(panel.visible);
        // (Two empty QLists compare through a null memcmp that UBSan rejects.)
        if (then == Then::nothing) {
            EXPECT_EQ(workspace.activations, QList<quint64> { 1 });
        } else {
            EXPECT_TRUE(workspace.activations.isEmpty()) << int(then);
        }
    }
}

TEST_F(AppBlockerTest, AnAppThatComesBackWithinTheDelayIsHiddenAgain)
{
    enum class After { comesBack, staysHidden, terminates, focusEnds };
    for (const After after : { After::comesBack, After::staysHidden, After::terminates, After::focusEnds }) {
        reset();
        startWithFocus();
        const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
        Q_EMIT workspace.applicationLaunched(chat);
        ASSERT_EQ(workspace.hides.size(), 1);
        time.advance(300);
        if (after == After::comesBack) {
            // It re-activates itself without a notification reaching us.
            workspace.hidden.remove(chat.id);
            workspace.front = chat;
        } else if (after == After::terminates) {
            workspace.terminated.insert(chat.id);
        } else if (after == After::focusEnds) {
            workspace.hidden.remove(chat.id);
            inputs.setBlocking(false);
        }
        time.advance(299);
        EXPECT_EQ(workspace.hides.size(), 1);
        time.advance(1);
        EXPECT_EQ(workspace.hides.size(), after == After::comesBack ? 2 : 1) << int(after);
    }
}

TEST_F(AppBlockerTest, ABreakOpensTheAppOnceTheFocusFalls)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    workspace.launchAndActivate(chat);
    panel.shown.last().onFolga();
    ASSERT_TRUE(pendingFolga);
    EXPECT_TRUE(panel.visible);
    pendingFolga(true);
    EXPECT_FALSE(panel.visible);
    EXPECT_TRUE(workspace.unhides.isEmpty());

    time.advance(1000);
    inputs.setBlocking(false);
    EXPECT_TRUE(workspace.unhides.isEmpty());
    time.advance(100);
    EXPECT_EQ(workspace.unhides, QList<quint64> { 1 });
    EXPECT_EQ(workspace.activations, QList<quint64> { 1 });
}

TEST_F(AppBlockerTest, ABreakLeavesTheAppHiddenWhileTheFocusOutlastsTheWait)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    workspace.launchAndActivate(chat);
    panel.shown.last().onFolga();
    pendingFolga(true);
    time.advance(3100);
    inputs.setBlocking(false);
    time.advance(1000);
    EXPECT_TRUE(workspace.unhides.isEmpty());
    EXPECT_TRUE(workspace.activations.isEmpty());
}

TEST_F(AppBlockerTest, AFailedBreakOnlySoundsTheAlert)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    workspace.launchAndActivate(chat);
    panel.shown.last().onFolga();
    pendingFolga(false);
    EXPECT_EQ(alerts, 1);
    EXPECT_TRUE(panel.visible);
    EXPECT_TRUE(workspace.isHidden(chat));
    time.advance(5000);
    EXPECT_TRUE(workspace.unhides.isEmpty());
}

TEST_F(AppBlockerTest, StopTakesThePanelAwayAndStartWatchesAgain)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    workspace.launchAndActivate(chat);
    blocker->stop();
    EXPECT_FALSE(panel.visible);
    const int hides = int(workspace.hides.size());
    workspace.launchAndActivate(chat);
    inputs.setBlocking(false);
    EXPECT_EQ(workspace.hides.size(), hides);
    EXPECT_TRUE(blocker->focusActive()) << "a stopped blocker keeps its flag";

    blocker->start();
    EXPECT_FALSE(blocker->focusActive());
    inputs.setBlocking(true);
    EXPECT_GT(workspace.hides.size(), hides);
}

TEST_F(AppBlockerTest, StaysIdleWhenTheWorkspaceIsUnavailable)
{
    workspace.available = false;
    startWithFocus();
    EXPECT_FALSE(blocker->isStarted());
    workspace.launchAndActivate(workspace.add(1, u"org.example.Chat"_s));
    EXPECT_TRUE(workspace.hides.isEmpty());
    EXPECT_TRUE(panel.shown.isEmpty());
}

TEST_F(AppBlockerTest, DelayedWorkEndsWithTheBlocker)
{
    startWithFocus();
    const RunningApp chat = workspace.add(1, u"org.example.Chat"_s);
    Q_EMIT workspace.applicationLaunched(chat);
    auto onReturn = panel.shown.last().onReturn;
    blocker.reset();
    workspace.hidden.clear();
    time.advance(1000);
    onReturn();
    EXPECT_EQ(workspace.hides.size(), 1);
    EXPECT_TRUE(workspace.activations.isEmpty());
}

} // namespace
} // namespace kestravin
