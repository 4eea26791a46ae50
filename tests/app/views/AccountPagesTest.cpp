#include "FakeTime.h"
#include "ViewsTestSupport.h"

#include "app/services/DesktopAccountService.h"
#include "app/services/InstalledApps.h"
#include "app/services/MissionTracker.h"
#include "app/views/account/AccountWidgets.h"
#include "app/views/account/FolgaStatementView.h"
#include "app/views/account/FolgasView.h"
#include "app/views/account/MissionsEditor.h"
#include "app/views/account/MissionsView.h"
#include "app/views/blocker/FolgaLine.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/ChoiceChips.h"

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
