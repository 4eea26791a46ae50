#include "FakeTime.h"
#include "ViewsTestSupport.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/account/MissionTracker.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/views/account/AccountWidgets.h"
#include "app/views/account/FolgaStatementView.h"
#include "app/views/account/FolgasView.h"
#include "app/views/account/MissionsEditor.h"
#include "app/views/account/MissionsView.h"
#include "app/views/blocker/FolgaLine.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/SummaryLink.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

using namespace kestravin;
using namespace kestravin::testing;
using namespace kestravin::testing_support;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

DesktopAccountSnapshot snapshotFor(const QString& user, qint64 available = 1, QStringList earned = {})
{
    AccountFolga folga;
    folga.available = available;
    folga.minutes = 15;
    folga.earnedToday = std::move(earned);
    DesktopAccountSnapshot snapshot({}, folga);
    snapshot.user.id = user;
    snapshot.user.email = user + u"@example.com"_s;
    return snapshot;
}

FolgaEntry entry(const QString& mission, const QString& status, double earnedAt = 1.7e12)
{
    FolgaEntry e;
    e.mission = mission;
    e.status = status;
    e.earnedAt = earnedAt;
    e.expiresAt = earnedAt + 86400000;
    return e;
}

// History requests whose replies the test releases in the order it chooses.
struct HeldHistory {
    QList<FolgaStatementView::HistoryDone> pending;
    FolgaStatementView::HistoryLoader loader()
    {
        return [this](FolgaStatementView::HistoryDone done) { pending.append(std::move(done)); };
    }
    void succeed(int index, QList<FolgaEntry> entries) { pending[index](std::nullopt, std::move(entries)); }
    void fail(int index) { pending[index](AccountFailure::accessError(DesktopAccessError::unavailable), {}); }
};

class AccountPagesTest : public AppearanceTest { };

} // namespace

TEST_F(AccountPagesTest, FolgaLineShowsTheLineAndOnlyAUsableBreakGetsTheButton)
{
    DesktopAccountService account;
    int used = 0;
    QWidget host;
    auto* line = new FolgaLine([&] { ++used; }, account, &host);
    host.show();
    EXPECT_FALSE(line->isVisible()); // no account: not even the divider

    account.setSnapshot(snapshotFor(u"u1"_s, 2));
    ASSERT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), u"Você tem 15 min de folga."_s);
    ASSERT_TRUE(line->useButton()->isVisible());
    EXPECT_EQ(line->useButton()->accessibleName(), u"Usar agora: 15 minutos de folga"_s);
    line->useButton()->click();
    EXPECT_EQ(used, 1);

    DesktopAccountSnapshot running = snapshotFor(u"u1"_s, 0);
    running.folga->active = AccountFolga::Active { u"2999-01-01T00:00:00Z"_s };
    account.setSnapshot(running);
    EXPECT_TRUE(line->text().startsWith(u"Folga em uso até "_s));
    EXPECT_FALSE(line->useButton()->isVisible());

    account.setSnapshot(DesktopAccountSnapshot {});
    EXPECT_FALSE(line->isVisible());
}

TEST_F(AccountPagesTest, StatementLoadsPerKeyAndDropsRepliesOfOlderLoadsAndOtherUsers)
{
    DesktopAccountService account;
    account.setSnapshot(snapshotFor(u"u1"_s, 1));
    HeldHistory history;
    int goals = 0;
    FolgaStatementView view(account, history.loader(), [&] { ++goals; });
    view.show();
    ASSERT_EQ(history.pending.size(), 1);
    EXPECT_EQ(view.content(), FolgaStatementView::Content::loading);
    EXPECT_EQ(view.headline(), u"1 folga disponível"_s);

    // A goal earned meanwhile changes the key: a second load supersedes the
    // first, whose late reply must not land over the newer list.
    account.setSnapshot(snapshotFor(u"u1"_s, 2, { u"focus"_s }));
    ASSERT_EQ(history.pending.size(), 2);
    history.succeed(1, { entry(u"focus"_s, u"available"_s), entry(u"steps"_s, u"used"_s) });
    history.succeed(0, { entry(u"reading"_s, u"expired"_s) });
    ASSERT_EQ(view.content(), FolgaStatementView::Content::rows);
    ASSERT_EQ(view.rows().size(), 2);
    EXPECT_TRUE(view.rows()[1]->isVisible());
    EXPECT_EQ(view.rows()[0]->title(), u"Foco"_s);
    EXPECT_TRUE(view.rows()[0]->highlighted());
    EXPECT_EQ(view.rows()[1]->badge(), u"Usada"_s);

    // The same snapshot published again loads nothing.
    account.setSnapshot(snapshotFor(u"u1"_s, 2, { u"focus"_s }));
    EXPECT_EQ(history.pending.size(), 2);

    // A failed reload keeps the rows and says it could not update.
    account.setSnapshot(snapshotFor(u"u1"_s, 1, { u"focus"_s }));
    history.fail(2);
    EXPECT_EQ(view.rows().size(), 2);
    EXPECT_TRUE(view.rows()[0]->isVisible());
    EXPECT_EQ(view.failureText(), u"Não foi possível atualizar o extrato agora."_s);

    // Another user: the rows go at once, and a reply started for the first
    // user that arrives now is dropped.
    account.setSnapshot(snapshotFor(u"u1"_s, 3));
    account.setSnapshot(snapshotFor(u"u2"_s, 0));
    EXPECT_EQ(view.content(), FolgaStatementView::Content::loading);
    EXPECT_TRUE(view.failureText().isEmpty());
    history.succeed(3, { entry(u"app"_s, u"available"_s) });
    EXPECT_EQ(view.content(), FolgaStatementView::Content::loading);
    history.succeed(4, {});
    EXPECT_EQ(view.content(), FolgaStatementView::Content::empty);

    // Signed out: no request, the prompt to connect.
    account.setSnapshot(std::nullopt);
    EXPECT_EQ(view.loadKey(), u"none"_s);
    EXPECT_EQ(history.pending.size(), 5);
    EXPECT_EQ(view.content(), FolgaStatementView::Content::connect);

    view.goalsButton()->click();
    EXPECT_EQ(goals, 1);
}

TEST_F(AccountPagesTest, StatementFailureWithoutRowsOffersARetry)
{
    DesktopAccountService account;
    DesktopAccountSnapshot bare;
    bare.user.id = u"u1"_s;
    account.setSnapshot(bare);
    HeldHistory history;
    FolgaStatementView view(account, history.loader(), {});
    EXPECT_EQ(view.headline(), u"0 folgas disponíveis"_s);
    history.fail(0);
    EXPECT_EQ(view.content(), FolgaStatementView::Content::nothing);
    EXPECT_EQ(view.failureText(), u"Não foi possível carregar o extrato agora."_s);
    EXPECT_EQ(view.retryButton()->accessibleName(), u"Tentar carregar o extrato de novo"_s);

    view.retryButton()->click();
    ASSERT_EQ(history.pending.size(), 2);
    EXPECT_TRUE(view.loadKey().endsWith(u"|1"_s));
    EXPECT_EQ(view.content(), FolgaStatementView::Content::loading);
    history.succeed(1, { entry(u"mindful"_s, u"active"_s) });
    EXPECT_EQ(view.rows().size(), 1);
}

TEST_F(AccountPagesTest, FolgaPageRequestsAreTakenOnceBeforeOrAfterTheViewExists)
{
    int statements = 0;
    auto makePage = [&](FolgaPage page, FolgasView*) -> QWidget* {
        auto* widget = new QWidget;
        widget->setObjectName(page == FolgaPage::statement ? u"statement"_s : u"goals"_s);
        statements += page == FolgaPage::statement;
        return widget;
    };
    SettingsNavigation::shared().setFolgaPage(FolgaPage::goals);
    FolgasView view(makePage);
    EXPECT_EQ(view.page(), FolgaPage::goals);
    EXPECT_EQ(view.pageWidget()->objectName(), u"goals"_s);
    EXPECT_EQ(view.pageSwitch()->currentIndex(), 1);
    EXPECT_FALSE(SettingsNavigation::shared().folgaPage());

    SettingsNavigation::shared().setFolgaPage(FolgaPage::statement);
    EXPECT_EQ(view.pageWidget()->objectName(), u"statement"_s);
    EXPECT_FALSE(SettingsNavigation::shared().folgaPage());

    // Going to the goals and back builds the statement anew (it reloads).
    const int before = statements;
    view.pageSwitch()->button(1)->click();
    view.pageSwitch()->button(0)->click();
    EXPECT_EQ(statements, before + 1);
    EXPECT_EQ(view.page(), FolgaPage::statement);
}

namespace {

QList<AccountMission> goalList(std::initializer_list<std::pair<const char*, qint64>> list)
{
    QList<AccountMission> out;
    for (const auto& [kind, target] : list) {
        out.append({ QString::fromUtf8(kind), target });
    }
    return out;
}

// Saves that the test answers one by one, in the order they were sent.
struct HeldSaves {
    struct Call {
        QList<AccountMission> missions;
        MissionsEditor::SaveDone done;
    };
    QList<Call> calls;
    int answered = 0;
    MissionsEditor::Save save()
    {
        return [this](const QList<AccountMission>& missions, MissionsEditor::SaveDone done) {
            calls.append({ missions, std::move(done) });
        };
    }
    void answer(int index, std::optional<AccountFailure> failure = std::nullopt)
    {
        ++answered;
        calls[index].done(std::move(failure));
    }
};

DesktopAccountSnapshot withGoals(const QList<AccountMission>& missions)
{
    DesktopAccountSnapshot snapshot = snapshotFor(u"u1"_s);
    snapshot.missions = missions;
    return snapshot;
}

} // namespace

TEST(MissionsEditorTest, ABurstOfChangesIsOneSaveOfTheLastList)
{
    FakeTime time;
    DesktopAccountService account;
    HeldSaves saves;
    MissionsEditor editor(account, time, saves.save());
    editor.appear();
    EXPECT_TRUE(editor.missions().isEmpty());

    editor.toggle(MissionKind::app);
    time.advance(200ms);
    editor.toggle(MissionKind::focus);
    time.advance(200ms);
    editor.toggle(MissionKind::steps);
    time.advance(599ms);
    EXPECT_TRUE(saves.calls.isEmpty());
    time.advance(1ms);
    ASSERT_EQ(saves.calls.size(), 1);
    EXPECT_EQ(saves.calls[0].missions, goalList({ { "focus", 60 }, { "steps", 8000 }, { "app", 20 } }));

    // While the save runs the account's snapshots are not followed.
    account.setSnapshot(withGoals(goalList({ { "mindful", 5 } })));
    EXPECT_EQ(editor.missions().size(), 3);
    saves.answer(0);
    EXPECT_FALSE(editor.saving());
    // Afterwards a different list from the account replaces the edit.
    account.setSnapshot(withGoals(goalList({ { "mindful", 10 } })));
    EXPECT_EQ(editor.missions(), goalList({ { "mindful", 10 } }));
}

TEST(MissionsEditorTest, SavesGoOutOneAfterAnotherAndOnlyTheNewestReports)
{
    FakeTime time;
    DesktopAccountService account;
    HeldSaves saves;
    MissionsEditor editor(account, time, saves.save());
    editor.appear();

    editor.toggle(MissionKind::focus);
    time.advance(600ms);
    ASSERT_EQ(saves.calls.size(), 1); // being sent

    // A change while the first list is on its way: its save waits for the
    // first call to end instead of overtaking it.
    editor.setTarget(MissionKind::focus, 180);
    time.advance(600ms);
    EXPECT_EQ(saves.calls.size(), 1);
    EXPECT_TRUE(editor.saving());

    // The older call fails: its failure is not the editor's news, the newer
    // save still counts as pending and goes out now.
    saves.answer(0, AccountFailure::accessError(DesktopAccessError::unavailable));
    EXPECT_FALSE(editor.saveError());
    EXPECT_TRUE(editor.saving());
    account.setSnapshot(withGoals({}));
    EXPECT_EQ(editor.missions(), goalList({ { "focus", 180 } }));
    ASSERT_EQ(saves.calls.size(), 2);
    EXPECT_EQ(saves.calls[1].missions, goalList({ { "focus", 180 } }));

    // The newest failure is shown until the next change.
    AccountFailure refused = AccountFailure::httpError(500, {});
    refused.text = u"Erro do servidor."_s;
    saves.answer(1, refused);
    EXPECT_FALSE(editor.saving());
    EXPECT_EQ(editor.saveError(), u"As metas não foram salvas na conta: Erro do servidor."_s);
    editor.toggle(MissionKind::mindful);
    EXPECT_FALSE(editor.saveError());
}

TEST(MissionsEditorTest, AFailedSaveSpringsBackToTheAccountsList)
{
    FakeTime time;
    DesktopAccountService account;
    account.setSnapshot(withGoals(goalList({ { "steps", 6000 } })));
    HeldSaves saves;
    MissionsEditor editor(account, time, saves.save());
    editor.appear();

    editor.toggle(MissionKind::focus);
    time.advance(600ms);
    saves.answer(0);
    editor.toggle(MissionKind::app);
    EXPECT_EQ(editor.missions().size(), 3);
    time.advance(600ms);
    saves.answer(1, AccountFailure::accessError(DesktopAccessError::configuration));
    // Back to what the account holds after the first save, not left checked.
    EXPECT_EQ(editor.missions(), goalList({ { "focus", 60 }, { "steps", 6000 } }));
    EXPECT_EQ(
        editor.saveError(), u"As metas não foram salvas na conta: "_s + describe(DesktopAccessError::configuration));
}

namespace {

struct PickerRig {
    QTemporaryDir dir;
    FakeTime time;
    DesktopAccountService account;
    QSettings settings { dir.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    MissionTracker tracker { { &account, nullptr, &time, &time, &settings, QTimeZone::utc(), {} } };
    InstalledApps installed { [this] { return QStringList { dir.filePath(u"applications"_s) }; }, std::nullopt };
    HeldSaves saves;

    PickerRig()
    {
        QDir(dir.path()).mkpath(u"applications"_s);
        const QList<std::pair<QString, QString>> apps {
            { u"org.AnkiWeb.Anki"_s, u"Anki"_s },
            { u"cafe.timer"_s, u"Café Timer"_s },
        };
        for (const auto& [id, name] : apps) {
            QFile file(dir.filePath(u"applications/"_s + id + u".desktop"_s));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nName=" + name.toUtf8() + "\nExec=true\n");
        }
    }

    MissionsView::Services services() { return { &account, &tracker, &installed, &time, saves.save() }; }
};

} // namespace

TEST_F(AccountPagesTest, GoalCardsChipsAndTodayPanel)
{
    PickerRig r;
    r.account.setSnapshot(withGoals(goalList({ { "steps", 6000 } })));
    MissionsView view(r.services(), false);
    view.show();
    EXPECT_TRUE(view.header(MissionKind::steps)->isChecked());
    EXPECT_EQ(view.header(MissionKind::steps)->accessibleName(), u"Caminhar 6.000 passos"_s);
    EXPECT_EQ(view.chips(MissionKind::steps)->currentIndex(), 1);
    EXPECT_FALSE(view.header(MissionKind::focus)->isChecked());
    EXPECT_EQ(view.header(MissionKind::focus)->accessibleName(), u"Focar 1h além dos seus horários"_s);
    EXPECT_FALSE(view.chips(MissionKind::focus)->isVisible());
    // Goals read as check boxes with their state.
    for (const MissionKind kind : { MissionKind::steps, MissionKind::focus }) {
        QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(view.header(kind));
        ASSERT_TRUE(a11y);
        EXPECT_EQ(a11y->role(), QAccessible::CheckBox);
        EXPECT_TRUE(a11y->state().checkable);
        EXPECT_EQ(bool(a11y->state().checked), kind == MissionKind::steps);
    }
    EXPECT_FALSE(view.pickerShown());
    EXPECT_TRUE(view.todayShown()); // today's line of the steps goal

    view.header(MissionKind::app)->click();
    EXPECT_TRUE(view.pickerShown());
    view.chips(MissionKind::app)->button(3)->click();
    EXPECT_EQ(view.editor().missions(), goalList({ { "steps", 6000 }, { "app", 45 } }));
    r.time.advance(600ms);
    ASSERT_EQ(r.saves.calls.size(), 1);
    r.saves.answer(0, AccountFailure::accessError(DesktopAccessError::unavailable));
    EXPECT_TRUE(view.footnote().startsWith(u"As metas não foram salvas na conta: "_s));
    view.header(MissionKind::app)->click();
    EXPECT_TRUE(view.footnote().startsWith(u"Passos, treino e meditação"_s));

    // Embedded in the first-run wizard the panel never shows.
    MissionsView embedded(r.services(), true);
    embedded.show();
    EXPECT_FALSE(embedded.todayShown());
}

TEST_F(AccountPagesTest, AppPickerFindsPicksAndRemovesApps)
{
    PickerRig r;
    r.account.setSnapshot(withGoals(goalList({ { "app", 20 } })));
    MissionsView view(r.services(), false);
    view.show();
    ASSERT_TRUE(waitFor([&] { return r.installed.loaded(); }));
    EXPECT_TRUE(view.hint()->text().startsWith(u"Escolha o app do bem neste computador."_s));
    EXPECT_TRUE(view.chosenApps().isEmpty());

    view.search()->setText(u"  ANKI \n"_s);
    ASSERT_EQ(view.results().size(), 1);
    EXPECT_EQ(view.results()[0]->text(), u"Anki"_s);
    view.results()[0]->click();
    EXPECT_EQ(r.tracker.appIDs(), QStringList { u"org.ankiweb.anki"_s });
    EXPECT_TRUE(view.search()->text().isEmpty());
    EXPECT_TRUE(view.results().isEmpty());
    EXPECT_FALSE(view.notFoundShown());
    EXPECT_TRUE(r.saves.calls.isEmpty()); // the chosen apps stay on this computer
    EXPECT_EQ(r.settings.value(MissionTracker::appIDsKey).toStringList(), QStringList { u"org.ankiweb.anki"_s });

    view.search()->setText(u"anki"_s);
    EXPECT_TRUE(view.notFoundShown()); // only chosen apps match
    view.search()->setText(u"cafe"_s);
    ASSERT_EQ(view.results().size(), 1);

    // A chosen app that is no longer installed shows its identifier.
    r.tracker.setAppIDs({ u"org.ankiweb.anki"_s, u"gone.app"_s });
    ASSERT_EQ(view.chosenApps().size(), 2);
    EXPECT_EQ(view.chosenApps()[0]->accessibleName(), u"Remover Anki"_s);
    EXPECT_EQ(view.chosenApps()[1]->accessibleName(), u"Remover gone.app"_s);
    view.chosenApps()[1]->click();
    EXPECT_EQ(r.tracker.appIDs(), QStringList { u"org.ankiweb.anki"_s });
    EXPECT_EQ(view.search()->text(), u"cafe"_s);
}
