// The popover's content on the offscreen platform, over the real blocking
// services of the test rig (private bus, scripted daemon, temporary files,
// a clock the test moves) and fakes of the account, updater and shield.

#include "app/models/InternetDateTime.h"
#include "app/shell/PopoverWindow.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/menubar/FocusStartSection.h"
#include "app/views/menubar/FolgaRow.h"
#include "app/views/menubar/MenuBarPopoverView.h"
#include "app/views/menubar/MenuBlockingPort.h"
#include "app/views/menubar/MenuControls.h"

#include "EventLoop.h"
#include "MenuBarFakes.h"
#include "PopoverRig.h"
#include "ServiceRig.h"
#include "ViewsTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::FakeBrowser;
using testing::FakeMenuAccount;
using testing::FakeShield;
using testing::FakeUpdater;
using testing::ServiceRig;
using testing::waitUntil;

class MenuBarPopoverTest : public ::testing::Test, protected testing::PopoverRig {
protected:
    void SetUp() override { Appearance::shared().overrideColorScheme(ColorScheme::Light); }

    // The services, with the daemon installed (a scripted one) or not.
    void start(bool installed, Configuration configuration = ServiceRig::configurationWith({ u"a.com"_s }, false))
    {
        startPopover(installed, configuration);
        if (view) {
            view->show();
        }
    }

    bool shown(const QString& name) const
    {
        QWidget* widget = view->section(name);
        return widget && widget->isVisibleTo(view.get());
    }
    // The visible widget whose text or accessible name is `text`.
    template <typename T = QWidget> T* find(const QString& text) const
    {
        for (T* widget : view->findChildren<T*>()) {
            if (!widget->isVisibleTo(view.get())) {
                continue;
            }
            if (widget->accessibleName() == text) {
                return widget;
            }
            if (auto* label = qobject_cast<QLabel*>(widget); label && label->text() == text) {
                return widget;
            }
            if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->text() == text) {
                return widget;
            }
        }
        return nullptr;
    }
    bool showsText(const QString& text) const { return find(text) != nullptr; }

    // Visible controls that a screen reader could not name.
    QStringList unnamedControls() const
    {
        QStringList unnamed;
        for (QWidget* widget : view->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget);
            if (!control || !widget->isVisibleTo(view.get())) {
                continue;
            }
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            if (widget->accessibleName().isEmpty() && (!button || button->text().isEmpty())) {
                unnamed << QString::fromLatin1(widget->metaObject()->className());
            }
        }
        return unnamed;
    }

    void runFocus()
    {
        bridge.setEnabled(true);
        BrowserFocus focus;
        focus.enabled = true;
        bridge.setFocus(focus);
    }

    static DesktopAccountSnapshot snapshotWith(qint64 available, bool focusEnabled)
    {
        DesktopAccountSnapshot snapshot;
        snapshot.focus.enabled = focusEnabled;
        AccountFolga folga;
        folga.available = available;
        folga.minutes = 15;
        snapshot.folga = folga;
        return snapshot;
    }
};

TEST_F(MenuBarPopoverTest, WithoutTheDaemonOnlyThePermissionIsOffered)
{
    start(false);
    EXPECT_TRUE(showsText(u"Livre agora"_s));
    EXPECT_TRUE(showsText(u"Falta uma permissão para este computador bloquear de verdade."_s));
    auto* install = find<QAbstractButton>(u"Permitir bloqueio neste computador"_s);
    ASSERT_NE(install, nullptr);
    EXPECT_EQ(unnamedControls(), QStringList());
    EXPECT_FALSE(shown(u"focusArea"_s));
    EXPECT_TRUE(shown(u"scheduleInfo"_s));
    EXPECT_TRUE(shown(u"bottomActions"_s));

    // The approval route waits for the system's dialog: the button says so
    // and cannot be pressed twice.
    rig->registration.bundled = true;
    install->click();
    EXPECT_TRUE(rig->installer->isInstalling());
    auto* waiting = find<QAbstractButton>(u"Aguardando a permissão…"_s);
    ASSERT_NE(waiting, nullptr);
    EXPECT_FALSE(waiting->isEnabled());
}

TEST_F(MenuBarPopoverTest, SectionsFollowTheState)
{
    start(true, Configuration({ u"a.com"_s }, Schedule(), false)); // no hours: no end from the week
    // Idle with the daemon: the start section, no actions, no notice.
    EXPECT_TRUE(showsText(u"Livre agora"_s));
    EXPECT_TRUE(shown(u"focusStart"_s));
    EXPECT_FALSE(shown(u"focusActions"_s));
    EXPECT_FALSE(shown(u"updateNotice"_s));
    EXPECT_FALSE(shown(u"shieldPermission"_s));
    EXPECT_FALSE(showsText(u"Permitir bloqueio neste computador"_s));
    EXPECT_TRUE(showsText(u"Ficam para depois: 1 site"_s));
    EXPECT_FALSE(view->isTicking());

    // A focus without any end: the actions hold only the assistant button.
    runFocus();
    EXPECT_TRUE(showsText(u"Bloqueando agora"_s));
    EXPECT_TRUE(showsText(u"Foco ativo"_s));
    EXPECT_FALSE(shown(u"focusStart"_s));
    EXPECT_TRUE(shown(u"focusActions"_s));
    EXPECT_FALSE(shown(u"folgaRow"_s));
    auto* assistant = find<QAbstractButton>(u"Pedir ajuda à Orla"_s);
    ASSERT_NE(assistant, nullptr);
    QSignalSpy closes(view.get(), &MenuBarPopoverView::closeRequested);
    assistant->click();
    EXPECT_EQ(assistantOpened, 1);
    EXPECT_EQ(closes.count(), 1);

    // A focus with an end counts down, once a second, only while shown.
    BrowserFocus focus = bridge.focus();
    focus.endsAt = double(rig->time.now().addSecs(25 * 60).toMSecsSinceEpoch());
    bridge.setFocus(focus);
    EXPECT_TRUE(showsText(u"25:00 restantes"_s));
    EXPECT_TRUE(showsText(u"Foco até 10:25"_s));
    EXPECT_TRUE(view->isTicking());
    rig->time.advance(1s);
    EXPECT_TRUE(showsText(u"24:59 restantes"_s));
    view->hide();
    EXPECT_FALSE(view->isTicking());
    const auto intervals = rig->time.activeIntervals();
    view->show();
    EXPECT_TRUE(view->isTicking());
    EXPECT_EQ(rig->time.activeIntervals().size(), intervals.size() + 1);

    // A break in use after the focus: neither start nor actions.
    bridge.setEnabled(false);
    account.session = true;
    DesktopAccountSnapshot snapshot = snapshotWith(1, false);
    snapshot.folga->active = AccountFolga::Active { InternetDateTime::format(rig->time.now().addSecs(600)) };
    account.current = snapshot;
    account.publish();
    EXPECT_TRUE(showsText(u"Folga em uso"_s));
    EXPECT_TRUE(showsText(u"10:00 de folga"_s));
    EXPECT_TRUE(showsText(u"Livres na folga: 1 site"_s));
    EXPECT_FALSE(shown(u"focusArea"_s));

    // The update notice and the shield button come and go with their services.
    updater.setPhase(UpdatePhase::ready);
    EXPECT_TRUE(shown(u"updateNotice"_s));
    updater.setPhase(UpdatePhase::downloading);
    EXPECT_FALSE(shown(u"updateNotice"_s));
    shield.set(true, false);
    EXPECT_TRUE(shown(u"shieldPermission"_s));
    shield.set(false, false);
    EXPECT_FALSE(shown(u"shieldPermission"_s));
}

TEST_F(MenuBarPopoverTest, TheMinutesFieldCommitsOnReturnAndFocusLossAndCancelsOnEscape)
{
    start(true);
    FocusStartSection* section = view->focusStartSection();
    ASSERT_NE(section->chips(), nullptr);
    ASSERT_EQ(section->chips()->count(), 4);
    section->chips()->button(3)->click(); // "Outro", from the preset 50
    EXPECT_TRUE(view->focusStart().showingCustomDuration);
    EXPECT_EQ(section->minutesDisplay()->accessibleName(), u"Duração: 50 min. Clique para digitar."_s);
    EXPECT_EQ(unnamedControls(), QStringList());

    QLineEdit* field = section->minutesField();
    const auto type = [&](const QString& text) {
        section->minutesDisplay()->click();
        EXPECT_TRUE(field->isVisibleTo(view.get()));
        EXPECT_EQ(field->placeholderText(), u"Ex.: 1h30"_s);
        ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }, 2000)) << "the field takes the keyboard";
        field->selectAll();
        QTest::keyClicks(field, text);
    };

    view->activateWindow();
    type(u"1h30"_s);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(view->focusStart().customMinutes, 90);
    EXPECT_FALSE(field->isVisibleTo(view.get()));

    type(u"2h"_s);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(view->focusStart().customMinutes, 90);
    EXPECT_FALSE(view->focusStart().typingMinutes);

    type(u"500"_s);
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(5, 5)); // the empty margin
    EXPECT_EQ(view->focusStart().customMinutes, 240);

    // Typed and started without Return: the typed duration starts, through
    // the schedule manager (no account session, no browser sync).
    type(u"1h"_s);
    section->startButton()->click();
    EXPECT_EQ(view->focusStart().customMinutes, 60);
    ASSERT_TRUE(waitUntil([&] { return rig->schedule->sessionEndTime().isValid(); }, 15000));
    EXPECT_EQ(rig->schedule->sessionEndTime(), rig->time.now().addSecs(3600));
    ASSERT_TRUE(waitUntil([&] { return showsText(u"1h00min restantes"_s); }, 15000));
    EXPECT_TRUE(showsText(u"Bloqueando agora"_s));
    EXPECT_FALSE(shown(u"focusStart"_s));
}

TEST_F(MenuBarPopoverTest, TheStepButtonsAndTheRoutes)
{
    start(true);
    FocusStartSection* section = view->focusStartSection();
    section->chips()->button(0)->click(); // 25
    section->chips()->button(3)->click(); // Outro
    EXPECT_EQ(view->focusStart().customMinutes, 25);
    // The custom row slides in from the right and fades in, then rests in place.
    QWidget* customRow = section->minusButton()->parentWidget();
    EXPECT_NE(customRow->graphicsEffect(), nullptr);
    EXPECT_GT(customRow->x(), 0);
    ASSERT_TRUE(waitUntil([&] { return customRow->graphicsEffect() == nullptr; }, 2000));
    EXPECT_EQ(customRow->x(), 0);
    for (int i = 0; i < 4; ++i) {
        section->minusButton()->click();
    }
    EXPECT_EQ(view->focusStart().customMinutes, 5);
    EXPECT_FALSE(section->minusButton()->isEnabled());
    section->plusButton()->click();
    EXPECT_EQ(view->focusStart().customMinutes, 10);
    section->backButton()->click();
    EXPECT_FALSE(view->focusStart().showingCustomDuration);
    EXPECT_EQ(section->startButton()->accessibleName(), u"Começar foco de 25 min"_s);

    // With a session and browser sync on, only the account hears of it.
    account.session = true;
    bridge.setEnabled(true);
    section->startButton()->click();
    EXPECT_EQ(account.focusStarts, QList<int> { 25 });
    EXPECT_TRUE(bridge.starts.isEmpty());
    EXPECT_FALSE(rig->schedule->sessionEndTime().isValid());

    account.session = false;
    section->startButton()->click();
    EXPECT_EQ(bridge.starts, QList<int> { 25 });
    EXPECT_FALSE(rig->schedule->sessionEndTime().isValid());

    // The account's start error shows under the button.
    account.error = u"Sem conexão com a conta."_s;
    account.publish();
    EXPECT_TRUE(showsText(u"Sem conexão com a conta."_s));
    // A server's text is shown as it stands, tags and all.
    account.error = u"<b>Sem</b> conexão <img src=x>"_s;
    account.publish();
    auto* error = find<QLabel>(*account.error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->textFormat(), Qt::PlainText);
}

TEST_F(MenuBarPopoverTest, TheOfferFollowsTheNextScheduledFocus)
{
    start(true, ServiceRig::configurationWith({ u"a.com"_s }, true, 11, 12)); // next focus in 60 min
    FocusStartSection* section = view->focusStartSection();
    EXPECT_EQ(section->chips()->count(), 3); // 25, 50, Outro
    EXPECT_TRUE(showsText(u"Até 1h, antes do próximo horário."_s));
    EXPECT_EQ(section->startButton()->accessibleName(), u"Começar foco de 50 min"_s);

    view->findChild<MenuSwitch*>()->click(); // hours off: every preset, no hint
    EXPECT_EQ(section->chips()->count(), 4);
    EXPECT_EQ(view->findChildren<ChoiceChips*>().size(), 1);
    EXPECT_FALSE(section->hintLine()->isVisibleTo(view.get()));

    // The cap follows the clock while the popover stays open.
    view->findChild<MenuSwitch*>()->click();
    section->chips()->button(2)->click(); // Outro: 50
    bridge.setEnabled(true);
    rig->time.advance(20min);
    section->startButton()->click();
    EXPECT_EQ(bridge.starts, QList<int> { 40 });
    bridge.setEnabled(false);

    // 24 whole minutes before the next focus: nothing to start.
    rig->time.advance(15min + 10s);
    view->refresh();
    EXPECT_TRUE(section->soonLine()->isVisibleTo(view.get()));
    EXPECT_FALSE(section->startButton()->isVisibleTo(view.get()));
}

TEST_F(MenuBarPopoverTest, TheFolgaIsConfirmedInsideThePopover)
{
    start(true);
    account.session = true;
    account.current = snapshotWith(2, true);
    runFocus();
    FolgaRow* row = view->folgaRow();
    ASSERT_TRUE(row->isVisibleTo(view.get()));
    EXPECT_TRUE(row->useButton()->isEnabled());
    EXPECT_EQ(row->useButton()->accessibleName(), u"Usar 15 min de folga"_s);
    EXPECT_EQ(row->badge()->accessibleName(), u"2 disponíveis"_s);
    EXPECT_FALSE(row->confirmation()->isVisibleTo(view.get()));

    // "Continuar no foco" only closes the question.
    row->useButton()->click();
    ASSERT_TRUE(row->confirmation()->isVisibleTo(view.get()));
    EXPECT_EQ(unnamedControls(), QStringList());
    EXPECT_TRUE(showsText(u"Usar 15 min de folga?"_s));
    EXPECT_TRUE(showsText(u"Sites e apps ficam livres por 15 minutos. Depois, o bloqueio volta sozinho."_s));
    row->cancelButton()->click();
    EXPECT_FALSE(row->confirmation()->isVisibleTo(view.get()));
    EXPECT_TRUE(account.folgaRequests.isEmpty());

    // "Usar folga" asks once; the button waits; a failure replaces the detail
    // line until the button is pressed again.
    row->useButton()->click();
    row->confirmButton()->click();
    ASSERT_EQ(account.folgaRequests.size(), 1);
    EXPECT_EQ(row->useButton()->accessibleName(), u"Começando sua folga…"_s);
    EXPECT_FALSE(row->useButton()->isEnabled());
    const QString offline = u"Não foi possível usar a folga sem conexão. O bloqueio foi mantido."_s;
    account.folgaRequests.takeFirst()(offline);
    EXPECT_EQ(row->detail()->text(), offline);
    EXPECT_TRUE(row->useButton()->isEnabled());
    row->useButton()->click();
    EXPECT_EQ(row->detail()->text(), u"2 folgas de 15 min. Cada meta cumprida no dia vale mais uma."_s);
    row->cancelButton()->click();

    // The links open the break pages and close the popover.
    row->statementLink()->click();
    account.current = snapshotWith(0, true);
    account.publish();
    ASSERT_TRUE(row->emptyLayout()->isVisibleTo(view.get()));
    EXPECT_TRUE(showsText(u"Cumpra uma meta do dia para ganhar 15 min."_s));
    row->goalsLink()->click();
    EXPECT_EQ(folgaPages, (QList<FolgaPage> { FolgaPage::statement, FolgaPage::goals }));
}

TEST_F(MenuBarPopoverTest, TheSwitchSavesTheConfigurationAndTellsTheAccount)
{
    start(true, ServiceRig::configurationWith({ u"a.com"_s }, false, 9, 18));
    auto* toggle = view->findChild<MenuSwitch*>();
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->accessibleName(), u"Horários automáticos"_s);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(shown(u"weekSummary"_s));

    const auto stored = [&] {
        QFile file(rig->configPath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object();
    };
    toggle->click();
    EXPECT_TRUE(stored().value(u"enabled"_s).toBool());
    EXPECT_EQ(stored().value(u"blockedSites"_s).toArray().size(), 1);
    EXPECT_EQ(account.localEdits, 1);
    EXPECT_TRUE(shown(u"weekSummary"_s));
    EXPECT_TRUE(showsText(u"Todos os dias 9h–18h"_s));
    toggle->click();
    EXPECT_FALSE(stored().value(u"enabled"_s).toBool());
    EXPECT_EQ(account.localEdits, 2);
    EXPECT_FALSE(shown(u"weekSummary"_s));

    rig->config->setWeek({});
    toggle->click();
    EXPECT_TRUE(showsText(u"Nenhum horário de foco ainda"_s));
}

TEST_F(MenuBarPopoverTest, RestartSettingsAndQuit)
{
    start(true);
    updater.pendingReply = true;
    updater.setPhase(UpdatePhase::ready);
    auto* restart = find<QAbstractButton>(u"Reiniciar para atualizar"_s);
    ASSERT_NE(restart, nullptr);
    restart->click();
    restart->click();
    EXPECT_EQ(updater.installReplies, 1);
    EXPECT_EQ(restart->text(), u"Reiniciando…"_s);
    EXPECT_FALSE(restart->isEnabled());

    QSignalSpy closes(view.get(), &MenuBarPopoverView::closeRequested);
    find<QAbstractButton>(u"Sites, apps e horários"_s)->click();
    find<QAbstractButton>(u"Ajustes"_s)->click();
    find<QAbstractButton>(u"Editar sites e apps"_s)->click();
    EXPECT_EQ(settingsOpened, 3);
    EXPECT_EQ(closes.count(), 3);
    runFocus();
    find<QAbstractButton>(u"Sair"_s)->click();
    EXPECT_EQ(quits, 1);
}

// In its window the column is never clipped and leaves no gap: the window
// follows what the column needs when it opens (texts changed while it was
// closed) and while it is open (a break starts, the focus area goes).
TEST_F(MenuBarPopoverTest, TheWindowFitsTheColumnWhateverChanges)
{
    start(true, ServiceRig::configurationWith({ u"a.com"_s }, false, 11, 12));
    view->hide();
    MenuBarPopoverView* column = view.get();
    PopoverWindow window(rig->time);
    window.setContent(view.release()); // the window owns it from here
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint anchor(available.right() - 5, available.top());

    // What lies between the column's last row and the window's bottom edge,
    // and the wrapped labels whose lines do not fit their height.
    const auto gapBelow = [&] {
        const QWidget* bottom = column->section(u"bottomActions"_s);
        return window.height() - bottom->mapTo(&window, QPoint(0, bottom->height())).y();
    };
    const auto clipped = [&] {
        QStringList texts;
        for (QLabel* label : column->findChildren<QLabel*>()) {
            if (label->isVisibleTo(column) && label->wordWrap() && !label->text().isEmpty()
                && label->height() < label->heightForWidth(label->width())) {
                texts << label->text();
            }
        }
        return texts;
    };
    const auto why = [&] {
        return "clipped: " + clipped().join(u" | "_s).toStdString() + "; gap below: " + std::to_string(gapBelow());
    };
    const auto fits = [&] {
        QCoreApplication::processEvents();
        return clipped().isEmpty() && gapBelow() == 22; // the column's own margin
    };

    window.showAt(anchor);
    ASSERT_TRUE(waitUntil(fits)) << why();
    window.hide();

    // Closed, the hours go on: the next opening shows the next focus and the
    // week under the switch.
    blocking->setAutomaticHours(true);
    window.showAt(anchor);
    const int opened = window.height();
    EXPECT_EQ(column->findChild<QLabel*>(u"subtext"_s)->text(), u"Próximo foco · dom. · 11:00"_s);
    EXPECT_TRUE(waitUntil(fits)) << why();
    EXPECT_EQ(window.height(), opened) << "the right height from the start";
    window.hide();

    // Open during a focus with a break on offer, then the break starts.
    account.session = true;
    account.current = snapshotWith(1, true);
    runFocus();
    window.showAt(anchor);
    ASSERT_TRUE(waitUntil(fits)) << why();
    const int withFocus = window.height();
    bridge.setEnabled(false);
    DesktopAccountSnapshot snapshot = snapshotWith(0, false);
    snapshot.folga->active = AccountFolga::Active { InternetDateTime::format(rig->time.now().addSecs(900)) };
    account.current = snapshot;
    account.publish();
    ASSERT_EQ(column->model().statusText(), u"Folga em uso"_s);
    EXPECT_TRUE(waitUntil(fits)) << why();
    EXPECT_LT(window.height(), withFocus);
}

} // namespace
} // namespace kestravin
