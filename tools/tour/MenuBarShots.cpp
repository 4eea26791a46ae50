// The popover's content in its main states, with fixed service values.

#include "Shot.h"

#include "app/models/InternetDateTime.h"
#include "app/models/WeekSchedule.h"
#include "app/views/menubar/MenuAccountPort.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBlockingPort.h"
#include "app/views/menubar/MenuShieldPort.h"
#include "app/views/menubar/UpdatePhaseSource.h"

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

const QTimeZone saoPaulo("America/Sao_Paulo");
// Tuesday 3 March 2026, 10:12 in São Paulo.
const QDateTime sceneNow(QDate(2026, 3, 3), QTime(10, 12), saoPaulo);

// Fixed values for one picture; nothing acts.
class SceneBlocking final : public MenuBlockingPort {
public:
    bool blocking = false;
    QDateTime sessionEnd;
    QString remaining;
    Configuration config;
    bool installed = true;

    bool isBlocking() const override { return blocking; }
    QDateTime sessionEndTime() const override { return sessionEnd; }
    QString remainingTime() const override { return remaining; }
    Configuration configuration() const override { return config; }
    bool helperInstalled() const override { return installed; }
    bool helperInstalling() const override { return false; }
    bool browserSyncEnabled() const override { return false; }
    BrowserFocus browserFocus() const override { return {}; }
    void blockForDuration(int) override { }
    void beginBrowserFocus(int) override { }
    void installHelper() override { }
    void setAutomaticHours(bool) override { }
};

class SceneAccount final : public MenuAccountPort {
public:
    bool session = false;
    std::optional<DesktopAccountSnapshot> current;
    bool hasSession() const override { return session; }
    std::optional<DesktopAccountSnapshot> snapshot() const override { return current; }
    std::optional<QString> focusError() const override { return std::nullopt; }
    void startFocusFromMenu(int) override { }
    void useFolga(UseFolgaDone) override { }
    void localEditChanged() override { }
};

class SceneUpdater final : public UpdatePhaseSource {
public:
    UpdatePhase current = UpdatePhase::idle;
    UpdatePhase phase() const override { return current; }
    QString readyVersion() const override { return u"1.8.0"_s; }
    void installNow() override { }
};

class SceneClock final : public QObject, public Clock {
public:
    QDateTime now() const override { return sceneNow; }
};

struct Scene {
    SceneBlocking* blocking = new SceneBlocking();
    SceneAccount* account = new SceneAccount();
    SceneUpdater* updater = new SceneUpdater();
    NoShieldPort* shield = new NoShieldPort();
    SceneClock* clock = new SceneClock();

    Scene()
    {
        // Weekdays 9h–12h and 14h–18h, Saturday 10h–12h; five sites and one app.
        const QList<MinuteRange> workday = { { 540, 720 }, { 840, 1080 } };
        blocking->config = Configuration({ u"youtube.com"_s, u"www.youtube.com"_s, u"instagram.com"_s, u"x.com"_s,
                                             u"reddit.com"_s, u"news.example"_s },
            WeekSchedule::schedule({ {}, workday, workday, workday, workday, workday, { { 600, 720 } } }), true,
            { BlockedApp(u"discord"_s, u"Discord"_s) });
    }

    std::unique_ptr<QWidget> view()
    {
        MenuBarServices services;
        services.blocking = blocking;
        services.account = account;
        services.updater = updater;
        services.shield = shield;
        services.clock = clock;
        services.scheduler = &Scheduler::system();
        services.timeZone = saoPaulo;
        services.openSettings = [] {};
        services.openFolgaPage = [](FolgaPage) {};
        services.showAssistant = [] {};
        services.quit = [] {};
        auto widget = std::make_unique<MenuBarPopoverView>(services);
        for (QObject* part : std::initializer_list<QObject*> { blocking, account, updater, shield, clock }) {
            part->setParent(widget.get());
        }
        widget->refresh();
        return widget;
    }
};

DesktopAccountSnapshot snapshotWithFolga(qint64 available, bool focusEnabled)
{
    DesktopAccountSnapshot snapshot;
    snapshot.focus.enabled = focusEnabled;
    AccountFolga folga;
    folga.available = available;
    folga.minutes = 15;
    snapshot.folga = folga;
    return snapshot;
}

const ShotRegistrar idle(u"menubar-idle"_s, [] {
    Scene scene;
    scene.blocking->blocking = false;
    scene.blocking->config.schedule = WeekSchedule::schedule({ {}, {}, {}, { { 540, 720 } } });
    return scene.view();
});

const ShotRegistrar notInstalled(u"menubar-not-installed"_s, [] {
    Scene scene;
    scene.blocking->installed = false;
    scene.blocking->config.enabled = false;
    return scene.view();
});

const ShotRegistrar focusRunning(u"menubar-focus-running"_s, [] {
    Scene scene;
    scene.blocking->blocking = true;
    scene.blocking->sessionEnd = sceneNow.addSecs(24 * 60 + 13);
    scene.blocking->remaining = u"24:13"_s;
    return scene.view();
});

const ShotRegistrar folgaOffer(u"menubar-folga-offer"_s, [] {
    Scene scene;
    scene.blocking->blocking = true;
    scene.account->session = true;
    scene.account->current = snapshotWithFolga(2, true);
    return scene.view();
});

const ShotRegistrar folgaRunning(u"menubar-folga-running"_s, [] {
    Scene scene;
    scene.account->session = true;
    DesktopAccountSnapshot snapshot = snapshotWithFolga(1, true);
    snapshot.folga->active = AccountFolga::Active { InternetDateTime::format(sceneNow.addSecs(12 * 60 + 40)) };
    scene.account->current = snapshot;
    return scene.view();
});

const ShotRegistrar updateReady(u"menubar-update-ready"_s, [] {
    Scene scene;
    scene.updater->current = UpdatePhase::ready;
    return scene.view();
});

} // namespace
} // namespace kestravin::tour
