// The application's screens walked and driven over AT-SPI: the popover in
// each of its states, every page of the settings window, the two pickers and
// the first-run and assistant windows. Each runs over the services' test rig
// (private bus, scripted daemon, temporary files, a clock the test moves).
#include "app/models/InternetDateTime.h"
#include "app/platform/ScreenReader.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/brand/Appearance.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBlockingPort.h"
#include "app/views/onboarding/OnboardingBinding.h"
#include "app/views/onboarding/OnboardingView.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include "FakeOnboardingServices.h"
#include "app/views/pickers/BlockedAppsView.h"
#include "app/views/pickers/BlockedSitesView.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/SettingsWindowController.h"
#include "app/views/settings/WeekGridWidget.h"
#include "app/views/settings/WeekScheduleEditor.h"

#include "AccessibilityWalk.h"
#include "AssistantFakes.h"
#include "EventLoop.h"
#include "FakeTime.h"
#include "MenuBarFakes.h"
#include "OnboardingRig.h"
#include "PopoverRig.h"
#include "ServiceRig.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace kestravin;
using kestravin::test::AtspiNode;
using kestravin::test::AtspiWalker;
using kestravin::testing::ServiceRig;

namespace {

// Views animate on Qt's own timers; with reduced motion every change lands at
// once, so what the walk reads is the state the screen settles in.
class ScreenWalkTest : public kestravin::test::AccessibilityWalkTest {
protected:
    void SetUp() override
    {
        Appearance::shared().overrideColorScheme(ColorScheme::Light);
        Appearance::shared().overrideReduceMotion(true);
    }
    void TearDown() override { Appearance::shared().overrideReduceMotion(false); }

    // Walks the window holding `name` again and checks it is still sound.
    QList<AtspiNode> rewalk(const QString& name)
    {
        QList<AtspiNode> tree = walker.windowContaining(name, 5000);
        EXPECT_TRUE(sound(tree)) << "after the change, looking for " << name.toStdString();
        return tree;
    }
};

// ---- The popover ----

class PopoverWalkTest : public ScreenWalkTest, protected kestravin::testing::PopoverRig {
protected:
    void SetUp() override
    {
        ScreenWalkTest::SetUp();
        startPopover(daemonInstalled(), ServiceRig::configurationWith({ u"a.com"_s }, false));
    }

    virtual bool daemonInstalled() const { return true; }

    void runFocus(std::optional<int> minutesLeft)
    {
        bridge.setEnabled(true);
        BrowserFocus focus;
        focus.enabled = true;
        if (minutesLeft) {
            focus.endsAt = double(rig->time.now().addSecs(*minutesLeft * 60).toMSecsSinceEpoch());
        }
        bridge.setFocus(focus);
    }
};

TEST_F(PopoverWalkTest, IdleChoosesALengthAndStartsAFocus)
{
    account.session = true; // the start goes to the account
    view->show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Começar um foco agora"_s);
    ASSERT_TRUE(sound(tree));
    for (const QString& name : { u"Livre agora"_s, u"Ficam para depois: 1 site"_s, u"Horários automáticos"_s }) {
        EXPECT_TRUE(AtspiWalker::find(tree, name, u"label"_s)) << name.toStdString();
    }

    ASSERT_TRUE(press(tree, u"50 min"_s));
    EXPECT_EQ(checkedNames(tree, { u"25 min"_s, u"50 min"_s, u"1h30"_s }, walker), QStringList { u"50 min"_s });
    const QList<AtspiNode> chosen = walker.windowContaining(u"Começar foco de 50 min"_s, 5000);
    ASSERT_TRUE(press(chosen, u"Começar foco de 50 min"_s, u"push button"_s));
    EXPECT_EQ(account.focusStarts, QList<int> { 50 });

    // The custom length: its steps and field are named and pressed.
    ASSERT_TRUE(press(tree, u"Outro"_s));
    const QList<AtspiNode> custom = rewalk(u"Mais 5 minutos"_s);
    ASSERT_TRUE(press(custom, u"Mais 5 minutos"_s, u"push button"_s));
    // Qt's own buttons answer a press with an animated click, a moment later.
    EXPECT_TRUE(kestravin::testing::waitUntil([&] { return view->focusStart().customMinutes == 55; }, 2000));

    // The switch is read with its state and flips the week's hours.
    const auto hours = AtspiWalker::find(tree, u"Horários automáticos"_s, u"check box"_s);
    ASSERT_TRUE(hours);
    EXPECT_FALSE(hours->has(ATSPI_STATE_CHECKED));
    ASSERT_TRUE(press(tree, u"Horários automáticos"_s, u"check box"_s));
    EXPECT_TRUE(rig->config->configuration().enabled);
    EXPECT_TRUE(walker.refresh(*hours).has(ATSPI_STATE_CHECKED));
}

TEST_F(PopoverWalkTest, ARunningFocusCountsDownAndAsksTheAssistant)
{
    view->show();
    runFocus(25);
    const QList<AtspiNode> tree = walker.windowContaining(u"Pedir ajuda à Orla"_s);
    ASSERT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Bloqueando agora"_s, u"label"_s));
    const auto countdown = AtspiWalker::find(tree, u"25:00 restantes"_s, u"label"_s);
    ASSERT_TRUE(countdown);
    rig->time.advance(1s);
    EXPECT_EQ(walker.refresh(*countdown).name, u"24:59 restantes"_s);

    ASSERT_TRUE(press(tree, u"Pedir ajuda à Orla"_s, u"push button"_s));
    EXPECT_EQ(assistantOpened, 1);
}

TEST_F(PopoverWalkTest, TheFolgaOfferIsConfirmedThroughItsButtons)
{
    account.session = true;
    DesktopAccountSnapshot snapshot;
    snapshot.focus.enabled = true;
    AccountFolga folga;
    folga.available = 2;
    folga.minutes = 15;
    snapshot.folga = folga;
    account.current = snapshot;
    view->show();
    runFocus(std::nullopt);
    const QList<AtspiNode> offer = walker.windowContaining(u"Usar 15 min de folga"_s);
    ASSERT_TRUE(sound(offer));
    EXPECT_TRUE(AtspiWalker::find(offer, u"Ver o extrato de folgas"_s, u"push button"_s));

    ASSERT_TRUE(press(offer, u"Usar 15 min de folga"_s, u"push button"_s));
    const QList<AtspiNode> confirming = rewalk(u"Usar 15 min de folga?"_s);
    ASSERT_TRUE(press(confirming, u"Usar folga"_s, u"push button"_s));
    EXPECT_EQ(account.folgaRequests.size(), 1);

    // With none left, the row leads to the goals that earn one.
    snapshot.folga->available = 0;
    account.current = snapshot;
    account.publish();
    const QList<AtspiNode> empty = rewalk(u"Ver as metas que rendem folgas"_s);
    EXPECT_TRUE(AtspiWalker::find(empty, u"Cumpra uma meta do dia para ganhar 15 min."_s, u"label"_s));
    ASSERT_TRUE(press(empty, u"Ver as metas que rendem folgas"_s, u"push button"_s));
    EXPECT_TRUE(kestravin::testing::waitUntil([&] { return folgaPages == QList { FolgaPage::goals }; }, 2000));
}

TEST_F(PopoverWalkTest, TheUpdateNoticeRestarts)
{
    updater.pendingReply = true;
    updater.setPhase(UpdatePhase::ready);
    view->show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Nova versão pronta"_s);
    ASSERT_TRUE(sound(tree));
    ASSERT_TRUE(press(tree, u"Reiniciar para atualizar"_s, u"push button"_s));
    EXPECT_EQ(updater.installReplies, 1);
}

class PopoverWithoutDaemonWalkTest : public PopoverWalkTest {
protected:
    bool daemonInstalled() const override { return false; }
};

TEST_F(PopoverWithoutDaemonWalkTest, ThePermissionIsAskedFor)
{
    view->show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Permitir bloqueio neste computador"_s);
    ASSERT_TRUE(sound(tree));
    EXPECT_TRUE(
        AtspiWalker::find(tree, u"Falta uma permissão para este computador bloquear de verdade."_s, u"label"_s));
    rig->registration.bundled = true;
    ASSERT_TRUE(press(tree, u"Permitir bloqueio neste computador"_s, u"push button"_s));
    EXPECT_TRUE(rig->installer->isInstalling());
    const auto waiting = AtspiWalker::find(rewalk(u"Aguardando a permissão…"_s), u"Aguardando a permissão…"_s);
    ASSERT_TRUE(waiting);
    EXPECT_FALSE(waiting->has(ATSPI_STATE_ENABLED));
}

// ---- The pickers ----

class PickerWalkTest : public ScreenWalkTest {
protected:
    void SetUp() override
    {
        ScreenWalkTest::SetUp();
        rig.config->setConfiguration(ServiceRig::configurationWith({ u"reddit.com"_s }, false));
        QDir().mkpath(apps.filePath(u"applications"_s));
        for (const auto& [id, name] : { std::pair { "org.gimp.GIMP", "GIMP" }, std::pair { "firefox", "Firefox" } }) {
            QFile entry(apps.filePath(u"applications/"_s + QLatin1StringView(id) + u".desktop"_s));
            ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
            entry.write(QByteArray("[Desktop Entry]\nType=Application\nName=") + name + "\nExec=" + id + "\n");
        }
    }

    QStringList savedSites() const { return rig.config->configuration().blockedSites; }

    ServiceRig rig;
    QTemporaryDir iconFolder;
    SiteIconStore icons { SiteIconStore::Options {
        iconFolder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    QTemporaryDir apps;
    InstalledApps installed { [this] { return QStringList { apps.filePath(u"applications"_s) }; }, std::nullopt };
};

TEST_F(PickerWalkTest, ASiteIsToggledByItsTile)
{
    BlockedSitesView page(false, *rig.config, rig.account, icons);
    page.resize(720, 560);
    page.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"YouTube"_s);
    ASSERT_TRUE(sound(tree));
    const auto youtube = AtspiWalker::find(tree, u"YouTube"_s, u"check box"_s);
    ASSERT_TRUE(youtube);
    EXPECT_FALSE(youtube->has(ATSPI_STATE_CHECKED));

    // The count is read as one line.
    const auto count = AtspiWalker::find(tree, u"1 para depois"_s, u"label"_s);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->childCount, 0);

    ASSERT_TRUE(press(tree, u"YouTube"_s, u"check box"_s));
    EXPECT_TRUE(savedSites().contains(u"youtube.com"_s));
    EXPECT_TRUE(walker.refresh(*youtube).has(ATSPI_STATE_CHECKED));
    EXPECT_EQ(walker.refresh(*count).name, u"2 para depois"_s);
    ASSERT_TRUE(press(tree, u"YouTube"_s, u"check box"_s));
    EXPECT_FALSE(savedSites().contains(u"youtube.com"_s));

    // Typing a new address offers it; choosing the offer adds it.
    const auto field = std::find_if(tree.begin(), tree.end(), [](const AtspiNode& n) { return n.role == u"text"_s; });
    ASSERT_NE(field, tree.end());
    ASSERT_TRUE(walker.setText(*field, u"receitas.com.br"_s));
    const QList<AtspiNode> offered = rewalk(u"Adicionar receitas.com.br"_s);
    ASSERT_TRUE(press(offered, u"Adicionar receitas.com.br"_s));
    EXPECT_TRUE(savedSites().contains(u"receitas.com.br"_s));

    // A refused removal during a focus is explained in a line that is read.
    rig.config->noteLocked();
    EXPECT_TRUE(AtspiWalker::find(rewalk(u"YouTube"_s),
        u"Durante o foco, dá para acrescentar, não tirar. Mude depois que ele terminar."_s, u"label"_s));
}

TEST_F(PickerWalkTest, AnAppIsToggledByItsTile)
{
    BlockedAppsView page(false, *rig.config, rig.account, installed);
    page.resize(720, 560);
    page.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"GIMP"_s);
    ASSERT_TRUE(sound(tree));
    ASSERT_TRUE(press(tree, u"GIMP"_s, u"check box"_s));
    const QList<BlockedApp> blocked = rig.config->configuration().blockedApps;
    ASSERT_EQ(blocked.size(), 1);
    EXPECT_EQ(blocked.first().bundleIdentifier, u"org.gimp.GIMP"_s);
    EXPECT_TRUE(walker.refresh(*AtspiWalker::find(tree, u"GIMP"_s, u"check box"_s)).has(ATSPI_STATE_CHECKED));
}

// ---- The settings window ----

class SettingsWalkTest : public PickerWalkTest {
protected:
    void SetUp() override
    {
        PickerWalkTest::SetUp();
        SettingsPages pages = SettingsPages::standard();
        pages.sites = [this] { return new BlockedSitesView(false, *rig.config, rig.account, icons); };
        pages.apps = [this] { return new BlockedAppsView(false, *rig.config, rig.account, installed); };
        pages.schedule = [this] {
            return new WeekScheduleEditor({ *rig.config, *rig.blocking, nullptr, rig.time, rig.time }, false);
        };
        pages.helper = [this] { return new HelperPermissionPage(*rig.installer); };
        SettingsWindowController::shared().setPages(pages);
    }
    void TearDown() override
    {
        delete SettingsWindowController::shared().window();
        PickerWalkTest::TearDown();
    }
};

TEST_F(SettingsWalkTest, EverySidebarItemOpensItsPage)
{
    SettingsWindowController::shared().show();
    SettingsView* view = SettingsWindowController::shared().view();
    ASSERT_NE(view, nullptr);
    QList<AtspiNode> tree = walker.windowContaining(u"Seções dos ajustes"_s);
    ASSERT_TRUE(sound(tree));

    // Each item, and an element only its page holds.
    const struct {
        QString item;
        SettingsTab tab;
        QString onPage;
        QString role;
    } tabs[] = {
        { u"Apps"_s, SettingsTab::apps, u"GIMP"_s, u"check box"_s },
        { u"Horários"_s, SettingsTab::schedule, u"Horários automáticos"_s, u"check box"_s },
        { u"Folgas"_s, SettingsTab::missions, u"Extrato"_s, u"push button"_s },
        { u"Conta"_s, SettingsTab::ai, u"Sua conta e seus navegadores."_s, u"label"_s },
        { u"Permissões"_s, SettingsTab::helper, u"Serviço não instalado"_s, u"label"_s },
        { u"Sobre"_s, SettingsTab::about, u"Versão de desenvolvimento"_s, u"label"_s },
        { u"Sites"_s, SettingsTab::sites, u"YouTube"_s, u"check box"_s },
    };
    for (const auto& tab : tabs) {
        SCOPED_TRACE(tab.item.toStdString());
        ASSERT_TRUE(press(tree, tab.item));
        EXPECT_EQ(view->selectedTab(), tab.tab);
        EXPECT_EQ(checkedNames(tree, { tab.item }, walker), QStringList { tab.item });
        tree = rewalk(tab.onPage);
        EXPECT_TRUE(AtspiWalker::find(tree, tab.onPage, tab.role));
        if (tab.tab == SettingsTab::schedule) {
            // No blank status line; the week's switch saves when pressed, as
            // a click does, and the save is read by its words.
            EXPECT_FALSE(AtspiWalker::find(tree, QString(), u"label"_s));
            const bool before = rig.config->configuration().enabled;
            ASSERT_TRUE(press(tree, u"Horários automáticos"_s, u"check box"_s));
            EXPECT_NE(rig.config->configuration().enabled, before);
            EXPECT_TRUE(AtspiWalker::find(rewalk(u"Salvo"_s), u"Salvo"_s, u"label"_s));
        }
    }
}

// The week grid under the keyboard: an hour without a block is read by its
// day and hour, focused, and its press makes the block Return would make.
TEST_F(SettingsWalkTest, TheWeekGridReadsTheEmptyHourUnderTheKeyboard)
{
    SettingsWindowController::shared().show();
    SettingsView* view = SettingsWindowController::shared().view();
    ASSERT_NE(view, nullptr);
    view->setSelectedTab(SettingsTab::schedule);
    auto* grid = view->findChild<WeekGridWidget*>();
    ASSERT_NE(grid, nullptr);
    view->window()->activateWindow();
    grid->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(kestravin::testing::waitUntil([&] { return grid->hasFocus(); }));
    for (int i = 0; i < 3 && !grid->emptyKeyPlace(); ++i) {
        QTest::keyClick(grid, Qt::Key_Up);
    }
    ASSERT_TRUE(grid->emptyKeyPlace());
    const WeekGridWidget::KeyPlace place = *grid->emptyKeyPlace();
    const QString name = WeekGridWidget::emptyHourName(place);

    const QList<AtspiNode> tree = rewalk(name);
    const auto hour = AtspiWalker::find(tree, name, u"push button"_s);
    ASSERT_TRUE(hour);
    EXPECT_TRUE(walker.refresh(*hour).has(ATSPI_STATE_FOCUSED));
    EXPECT_EQ(hour->description, u"Hora sem bloco. Enter cria um bloco de uma hora."_s);
    ASSERT_TRUE(walker.doAction(*hour, u"Press"_s));
    const auto day = WeekSchedule::days(rig.config->configuration().schedule).value(place.day);
    EXPECT_TRUE(std::any_of(day.begin(), day.end(),
        [&](const MinuteRange& range) { return range.start <= place.minute && range.end >= place.minute + 60; }));
}

// ---- The first-run wizard, screen by screen ----

class WizardWalkTest : public ScreenWalkTest {
protected:
    void SetUp() override
    {
        ScreenWalkTest::SetUp();
        rig.rig.config->setConfiguration(ServiceRig::configurationWith({ u"reddit.com"_s }, false));
        // One installed app, so that the app tab has a tile to show.
        QFile entry(rig.dir.filePath(u"applications/org.gimp.GIMP.desktop"_s));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=GIMP\nExec=gimp\n");
        entry.close();
        view = std::make_unique<OnboardingView>(rig.services());
    }

    void show(int step, std::function<void(OnboardingView::State&)> adjust = {})
    {
        OnboardingView::State state;
        state.step = step;
        if (adjust) {
            adjust(state);
        }
        view->setState(state);
        view->show();
    }

    kestravin::testing::OnboardingRig rig;
    std::unique_ptr<OnboardingView> view;
};

TEST_F(WizardWalkTest, EveryScreenIsNamedAndItsButtonsWork)
{
    // The welcome screen signs in through its button.
    show(0);
    QList<AtspiNode> tree = walker.windowContaining(u"Entrar ou criar conta"_s);
    ASSERT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Oi. Eu sou a Orla."_s, u"label"_s));
    QSignalSpy signIn(view.get(), &OnboardingView::signInRequested);
    ASSERT_TRUE(press(tree, u"Entrar ou criar conta"_s, u"push button"_s));
    EXPECT_EQ(signIn.count(), 1);

    // Sites: the progress is read as one line, the tabs switch, continue moves on.
    show(1);
    tree = rewalk(u"Etapa 1 de 4: Sites"_s);
    EXPECT_TRUE(AtspiWalker::find(tree, u"Etapa 1 de 4: Sites"_s, u"label"_s));
    EXPECT_FALSE(AtspiWalker::find(tree, u"Voltar"_s)) << "no way back to the sign-in";
    QSignalSpy next(view.get(), &OnboardingView::nextRequested);
    ASSERT_TRUE(press(tree, u"Continuar"_s, u"push button"_s));
    EXPECT_EQ(next.count(), 1);
    ASSERT_TRUE(press(tree, u"Apps do computador · 0"_s));
    EXPECT_TRUE(AtspiWalker::find(
        rewalk(u"GIMP"_s), u"Opcional. Os apps marcados ficam escondidos durante o foco."_s, u"label"_s));

    // Hours: the presets sit in their named row and report the chosen one.
    show(2, [](OnboardingView::State& s) { s.preset = OnboardingPolicy::Preset::business; });
    tree = rewalk(u"Modelos de horário"_s);
    const auto business = AtspiWalker::find(tree, u"Horário comercial, 9h–12h, 13h–18h"_s, u"radio button"_s);
    ASSERT_TRUE(business);
    EXPECT_TRUE(business->has(ATSPI_STATE_CHECKED));
    QSignalSpy preset(view.get(), &OnboardingView::presetChosen);
    ASSERT_TRUE(press(tree, u"Expediente, 9h–18h"_s, u"radio button"_s));
    EXPECT_EQ(preset.count(), 1);
    QSignalSpy back(view.get(), &OnboardingView::backRequested);
    ASSERT_TRUE(press(tree, u"Voltar"_s, u"push button"_s));
    EXPECT_EQ(back.count(), 1);

    // Permission: the button asks for it, its status is read.
    show(3, [](OnboardingView::State& s) {
        s.nextLabel = u"Permitir"_s;
        s.permissionMessage = u"A permissão não foi concluída. Quando quiser, toque em Permitir de novo."_s;
    });
    tree = rewalk(u"Permitir"_s);
    EXPECT_TRUE(AtspiWalker::find(
        tree, u"A permissão não foi concluída. Quando quiser, toque em Permitir de novo."_s, u"label"_s));
    ASSERT_TRUE(press(tree, u"Permitir"_s, u"push button"_s));
    EXPECT_EQ(next.count(), 2);

    // Goals: the embedded editor's cards are there.
    show(4);
    tree = rewalk(u"Ganhe folgas com suas metas."_s);
    EXPECT_TRUE(AtspiWalker::find(tree, u"Etapa 4 de 4: Metas"_s, u"label"_s));

    // Done: one button closes the wizard; the drawn top bar is not read.
    show(5);
    tree = rewalk(u"Foco ativado."_s);
    EXPECT_FALSE(AtspiWalker::find(tree, u"9:41"_s));
    QSignalSpy close(view.get(), &OnboardingView::closeRequested);
    ASSERT_TRUE(press(tree, u"Fechar"_s, u"push button"_s));
    EXPECT_EQ(close.count(), 1);
}

// ---- The first-run and assistant windows, as they are now ----

TEST_F(ScreenWalkTest, TheFirstRunAndAssistantWindowsAreNamed)
{
    static kestravin::testing::FakeOnboardingServices signedOut;
    kestravin::testing::OnboardingRig screens;
    OnboardingWindowController& gate = OnboardingWindowController::shared();
    gate.setServices(signedOut);
    gate.setContentFactory(OnboardingBinding::content([&screens] { return screens.services(); }));
    EXPECT_FALSE(gate.requireAccount());
    // The window holds the wizard, whose sign-in reaches the model.
    const QList<AtspiNode> wizard = walker.windowContaining(u"Entrar ou criar conta"_s);
    EXPECT_TRUE(sound(wizard));
    EXPECT_TRUE(AtspiWalker::find(wizard, u"Boas-vindas ao Kestravin"_s));
    EXPECT_TRUE(press(wizard, u"Entrar ou criar conta"_s, u"push button"_s));
    EXPECT_TRUE(kestravin::testing::waitUntil([] { return signedOut.calls.contains(u"connect"_s); }, 2000));
    DesktopAIWindowController::shared().showWindow();
    EXPECT_TRUE(sound(walker.windowContaining(u"Pedir ajuda à Orla"_s)));
    delete gate.window();
    gate.setContentFactory({});
    delete DesktopAIWindowController::shared().window();
}

// ---- The assistant window in each stage ----

class AssistantWalkTest : public ScreenWalkTest {
protected:
    void open()
    {
        DesktopAIView::Services services;
        services.port = &port;
        services.clock = &time;
        services.scheduler = &time;
        services.screenReader = &reader;
        services.icons = &icons;
        services.locale = QLocale(QLocale::Portuguese, QLocale::Brazil);
        services.timeZone = QTimeZone::utc();
        window = std::make_unique<DesktopAIWindow>(services);
        window->show();
    }

    kestravin::testing_support::FakeAssistantPort port;
    kestravin::testing::FakeTime time;
    FixedScreenReader reader { true };
    QTemporaryDir iconFolder;
    SiteIconStore icons { SiteIconStore::Options {
        iconFolder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    std::unique_ptr<DesktopAIWindow> window;
};

TEST_F(AssistantWalkTest, TheFormIsSentTheQuestionAnsweredAndTheAnswerClosedByName)
{
    port.blocked = { u"example.com"_s };
    open();
    QList<AtspiNode> tree = walker.windowContaining(u"Pedir à Orla"_s);
    ASSERT_TRUE(sound(tree));
    ASSERT_TRUE(press(tree, u"Outro site"_s, u"push button"_s));
    tree = rewalk(u"Site: example.com"_s);
    ASSERT_TRUE(press(tree, u"TikTok"_s, u"push button"_s));
    ASSERT_TRUE(press(tree, u"15 min"_s, u"push button"_s));
    const auto reason = AtspiWalker::find(tree, u"Para que você precisa disso?"_s, u"text"_s);
    ASSERT_TRUE(reason && walker.setText(*reason, u"preciso ver uma aula"_s));
    tree = rewalk(u"Pedir à Orla"_s);
    ASSERT_TRUE(press(tree, u"Pedir à Orla"_s, u"push button"_s));
    ASSERT_EQ(port.calls.size(), 1);
    EXPECT_EQ(port.calls[0].target, u"tiktok"_s);
    EXPECT_EQ(port.calls[0].minutes, 15);
    // The evaluating scene is one element: its title, with the request as its description.
    tree = rewalk(u"A Orla está avaliando seu pedido"_s);
    const auto judging = AtspiWalker::find(tree, u"A Orla está avaliando seu pedido"_s, u"label"_s);
    ASSERT_TRUE(judging);
    EXPECT_EQ(judging->childCount, 0);
    EXPECT_EQ(judging->description, u"TikTok · 15 min\n“preciso ver uma aula”"_s);
    EXPECT_FALSE(AtspiWalker::find(tree, u"TikTok · 15 min"_s));

    port.answer(u"clarify"_s, u"Qual aula?"_s);
    tree = rewalk(u"A ORLA PRECISA DE MAIS CONTEXTO"_s);
    const auto reply = AtspiWalker::find(tree, u"Sua resposta à Orla"_s, u"text"_s);
    ASSERT_TRUE(reply && walker.setText(*reply, u"Cálculo"_s));
    tree = rewalk(u"Responder"_s);
    ASSERT_TRUE(press(tree, u"Responder"_s, u"push button"_s));
    ASSERT_EQ(port.calls.size(), 2);
    EXPECT_TRUE(port.calls[1].reason.endsWith(u"Minha resposta: Cálculo"_s));

    port.answer(u"allow"_s, u"Pode ver a aula."_s, time.now().addSecs(15 * 60));
    tree = rewalk(u"LIBERADO"_s);
    // A screen reader runs here: the countdown says the end, not that the window closes.
    EXPECT_TRUE(AtspiWalker::find(tree, u"Liberado até 10:15"_s));
    ASSERT_TRUE(press(tree, u"OK"_s, u"push button"_s));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AssistantWalkTest, TheGateCardsAreRead)
{
    port.session = false;
    port.codeValue = u"K7Q2"_s;
    port.accountMessageValue = u"Confirme o código no navegador."_s;
    open();
    QList<AtspiNode> tree = walker.windowContaining(u"Conecte sua conta para pedir à Orla."_s);
    ASSERT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"K7Q2"_s));
    ASSERT_TRUE(press(tree, u"Conectar minha conta"_s, u"push button"_s));
    EXPECT_EQ(port.connects, 1);

    port.session = true;
    port.accountFocusValue = false;
    port.publish();
    tree = rewalk(u"Você está livre agora."_s);
    EXPECT_FALSE(AtspiWalker::find(tree, u"Conectar minha conta"_s));
}

} // namespace
