// The account pages: the folgas page (statement with rows, goals), the
// account page not linked, linking with a code (against a loopback account
// server when the test fixtures are built) and linked.
#include "DemoServices.h"
#include "Shot.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/MissionTracker.h"
#include "app/services/account/SessionStore.h"
#include "app/services/bridge/BrowserBridgeAccount.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/views/account/FolgaStatementView.h"
#include "app/views/account/FolgasView.h"
#include "app/views/account/MissionsView.h"
#include "app/views/account/OrlaAccountView.h"
#include "app/views/brand/BrandTokens.h"

#include <QEventLoop>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#ifdef KESTRAVIN_TOUR_ACCOUNT_API
#include "AccountApiDouble.h"
#endif

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

class QuietShield final : public BrowserShieldSwitch {
public:
    bool enabled() const override { return true; }
    bool hasPermission() const override { return true; }
    void setEnabled(bool) override { }
};

class IdleAssistant final : public AssistantActivity {
public:
    bool busy() const override { return false; }
};

DesktopAccountSnapshot demoSnapshot()
{
    AccountFolga folga;
    folga.available = 2;
    folga.minutes = 15;
    folga.earnedToday = { u"focus"_s };
    folga.focusMinutes = 75;
    DesktopAccountSnapshot snapshot({}, folga);
    snapshot.user.id = u"u1"_s;
    snapshot.user.email = u"ana@example.com"_s;
    snapshot.user.name = u"Ana Souza"_s;
    snapshot.missions = QList<AccountMission> { { u"focus"_s, 60 }, { u"steps"_s, 8000 }, { u"app"_s, 20 } };
    return snapshot;
}

struct AccountTour {
    DemoServices& demo = demoServices();
    DesktopAccountService linked;
    DesktopAccountService signedOut;
    QSettings settings { demo.dir.filePath(u"account-defaults.ini"_s), QSettings::IniFormat };
    MissionTracker tracker { { &linked, nullptr, &Clock::system(), &Scheduler::system(), &settings,
        QTimeZone::systemTimeZone(),
        [](const AccountMission&, std::function<void(std::optional<AccountFailure>)>) {} } };
    AccountServiceBridgeAccount bridgeAccount { signedOut };
    DesktopBrowserBridge bridge { DesktopBrowserBridge::Environment { demo.dir.filePath(u"browser-bridge"_s),
        &Clock::system(), &Scheduler::system(), QTimeZone::systemTimeZone(), [] { return Configuration(); },
        [] { return false; }, {}, &bridgeAccount, [](const QDateTime&) {}, [](const QString&) {},
        demo.dir.filePath(u"bridge.ini"_s) } };
    QuietShield shield;
    IdleAssistant assistant;
#ifdef KESTRAVIN_TOUR_ACCOUNT_API
    testing::AccountApiDouble api;
    MemorySessionStore store;
    AccountClient client { AccountEnvironment(api.apiBase(), api.webBase()), store, Clock::system(), settings };
    DeviceLink link { client, Clock::system(), Scheduler::system(), [](const QUrl&) {}, [] { return u"tour"_s; } };
    DesktopAccountService linking;
#endif

    AccountTour()
    {
        linked.setSnapshot(demoSnapshot());
        tracker.setAppIDs({ u"org.gnome.calculator"_s, u"libreoffice-writer"_s });
        tracker.tick();
#ifdef KESTRAVIN_TOUR_ACCOUNT_API
        api.linkCode = u"KX7P-42QM"_s;
        linking.attach({ &client, &link, {}, {}, {}, {}, &Clock::system(), &Scheduler::system(), {} });
#endif
    }

    OrlaAccountView::Services pageServices(DesktopAccountService& account)
    {
        return { &account, &bridge, &shield, &assistant, [] {}, [](const QUrl&) {}, u"https://example.com"_s, false };
    }
};

AccountTour& tour()
{
    static AccountTour shared;
    return shared;
}

QList<FolgaEntry> demoHistory()
{
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    const double hour = 3600000;
    auto entry = [](const char* mission, const char* status, double earned, double expires) {
        FolgaEntry e;
        e.mission = QString::fromUtf8(mission);
        e.status = QString::fromUtf8(status);
        e.earnedAt = earned;
        e.expiresAt = expires;
        return e;
    };
    FolgaEntry used = entry("steps", "used", now - 30 * hour, now + 90 * hour);
    used.usedAt = now - 26 * hour;
    return { entry("focus", "available", now - 2 * hour, now + 100 * hour),
        entry("app", "available", now - 50 * hour, now + 70 * hour), used,
        entry("mindful", "expired", now - 200 * hour, now - 20 * hour) };
}

QWidget* page(FolgaPage which, FolgasView* view)
{
    AccountTour& t = tour();
    if (which == FolgaPage::statement) {
        return new FolgaStatementView(
            t.linked, [](FolgaStatementView::HistoryDone done) { done(std::nullopt, demoHistory()); },
            [view] { view->setPage(FolgaPage::goals); });
    }
    return new MissionsView({ &t.linked, &t.tracker, &t.demo.apps, &Scheduler::system(), {} }, false);
}

std::unique_ptr<QWidget> framed(QWidget* content, QSize size)
{
    auto frame = std::make_unique<QWidget>();
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, BrandPalette::current().paper);
    palette.setColor(QPalette::WindowText, BrandPalette::current().ink);
    palette.setColor(QPalette::Base, BrandPalette::current().paper);
    palette.setColor(QPalette::Text, BrandPalette::current().ink);
    frame->setPalette(palette);
    auto* layout = new QVBoxLayout(frame.get());
    layout->setContentsMargins(28, 28, 24, 20);
    content->setParent(frame.get());
    layout->addWidget(content);
    frame->resize(size);
    return frame;
}

std::unique_ptr<QWidget> folgas(FolgaPage which)
{
    auto* view = new FolgasView(&page, which);
    return framed(view, QSize(600, 640));
}

std::unique_ptr<QWidget> account(DesktopAccountService& service)
{
    return framed(new OrlaAccountView(tour().pageServices(service)), QSize(600, 640));
}

#ifdef KESTRAVIN_TOUR_ACCOUNT_API
std::unique_ptr<QWidget> linking()
{
    AccountTour& t = tour();
    if (t.linking.code().isEmpty()) {
        t.linking.connect();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!t.linking.code().isEmpty()) {
                loop.quit();
            }
        });
        poll.start(20);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return account(t.linking);
}
#endif

const ShotRegistrar shots[] = {
    { u"account-folgas-statement"_s, [] { return folgas(FolgaPage::statement); } },
    { u"account-folgas-goals"_s, [] { return folgas(FolgaPage::goals); } },
    { u"account-not-linked"_s, [] { return account(tour().signedOut); } },
#ifdef KESTRAVIN_TOUR_ACCOUNT_API
    { u"account-linking"_s, [] { return linking(); } },
#endif
    { u"account-linked"_s, [] { return account(tour().linked); } },
};

} // namespace
} // namespace kestravin::tour
