// The settings window and the week editor on the services' test rig: private
// bus, fake daemon, temporary config.json and a clock the tests advance.
#include "ServiceRig.h"
#include "ViewsTestSupport.h"

#include "EventLoop.h"
#include "app/views/account/OrlaAccountView.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/SettingsWindowController.h"
#include "app/views/settings/WeekGridWidget.h"
#include "app/views/settings/WeekScheduleEditor.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace kestravin;
using kestravin::testing::ServiceRig;
using kestravin::testing::waitUntil;

namespace {

ServiceRig::Options rigOptions(bool enabled = true)
{
    ServiceRig::Options options;
    options.fakeDaemon = true;
    options.configJson = ServiceRig::configurationWith({ u"a.example"_s }, enabled, 9, 17).toJsonBytes();
    return options;
}

WeekScheduleEditor::Services servicesOf(ServiceRig& rig, ScheduleManager* schedule = nullptr)
{
    return { *rig.config, *rig.blocking, schedule, rig.time, rig.time };
}

Configuration savedConfiguration(const ServiceRig& rig)
{
    QFile file(rig.configPath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return Configuration::fromJsonBytes(file.readAll()).value_or(Configuration {});
}

} // namespace

TEST(WeekEditorStatus, SavedMarkLastsFromTheLatestEdit)
{
    ServiceRig rig(rigOptions());
    WeekEditorModel model(*rig.config, *rig.blocking, nullptr, rig.time);
    int uploads = 0;
    model.onLocalEdit = [&] { ++uploads; };
    EXPECT_EQ(model.statusText(), QString());

    model.commit(WeekSchedule::days(rig.config->configuration().schedule), {});
    EXPECT_EQ(model.statusText(), u"Salvo"_s);
    rig.time.advance(1000ms);
    model.edited();
    rig.time.advance(2399ms);
    EXPECT_EQ(model.statusText(), u"Salvo"_s); // 3.399 s after the first, 2.399 after the second
    rig.time.advance(1ms);
    EXPECT_EQ(model.statusText(), QString());
    EXPECT_EQ(uploads, 2);

    // With an onboarded account its save state speaks instead.
    using S = WeekEditorStatus::SaveState;
    model.setAccount({ true, S::saving, {} });
    model.edited();
    EXPECT_EQ(model.statusText(), u"Salvando na conta…"_s);
    model.setAccount({ true, S::saved, {} });
    EXPECT_EQ(model.statusText(), u"Salvo na conta"_s);
    rig.time.advance(2400ms);
    EXPECT_EQ(model.statusText(), QString());
    model.setAccount({ true, S::failed, u"Sem conexão."_s });
    EXPECT_EQ(model.statusText(), QString());
    EXPECT_EQ(model.notice(), u"Sem conexão."_s);
}

TEST(WeekEditorStatus, EditsDuringABlockWaitForItsEnd)
{
    ServiceRig rig(rigOptions());
    ASSERT_TRUE(rig.waitForInstalledDaemon());
    rig.daemon->setBlockingActive(true);
    ScheduleManager& schedule = rig.startScheduleManager();
    ASSERT_TRUE(waitUntil([&] { return rig.blocking->isBlocking(); }));
    schedule.setHasPendingScheduleChanges(false);

    WeekEditorModel model(*rig.config, *rig.blocking, &schedule, rig.time);
    EXPECT_EQ(model.notice(), QString());
    model.edited();
    EXPECT_TRUE(schedule.hasPendingScheduleChanges());
    EXPECT_EQ(model.notice(), WeekEditorStatus::deferredNotice);

    rig.daemon->setBlockingActive(false);
    rig.blocking->checkCurrentStatus();
    ASSERT_TRUE(waitUntil([&] { return !rig.blocking->isBlocking(); }));
    EXPECT_EQ(model.notice(), QString());
}

TEST(WeekEditorStatus, TheSwitchSavesAndCountsAsAnEdit)
{
    ServiceRig rig(rigOptions());
    WeekScheduleEditor editor(servicesOf(rig), false);
    ASSERT_TRUE(editor.automaticHoursSwitch());
    EXPECT_TRUE(editor.automaticHoursSwitch()->isChecked());
    editor.automaticHoursSwitch()->click();
    EXPECT_FALSE(rig.config->configuration().enabled);
    EXPECT_FALSE(savedConfiguration(rig).enabled);
    EXPECT_EQ(editor.notice(), WeekEditorStatus::disabledNotice);
    EXPECT_EQ(editor.statusText(), u"Salvo"_s);
}

TEST(WeekEditorStatus, EntryMarksClearASecondAfterTheCommit)
{
    ServiceRig rig(rigOptions());
    WeekEditorModel model(*rig.config, *rig.blocking, nullptr, rig.time);
    const GridLayout layout { 100, 4, 28, 0 };
    model.begin({ 150, 20 * 28 }, layout); // Monday 20:00, empty
    model.finish();
    EXPECT_EQ(model.entries().value(u"1-1200-1260"_s), BlockEntry::fresh());
    EXPECT_EQ(model.selection(), (BlockRef { 1, 1200 }));
    rig.time.advance(999ms);
    EXPECT_FALSE(model.entries().isEmpty());
    rig.time.advance(1ms);
    EXPECT_TRUE(model.entries().isEmpty());

    // The deleted block can be put back.
    ASSERT_TRUE(model.deleteSelection());
    EXPECT_EQ(WeekSchedule::days(rig.config->configuration().schedule)[1], (QList<MinuteRange> { { 540, 1020 } }));
    ASSERT_TRUE(model.undoable());
    model.undoDelete();
    EXPECT_EQ(WeekSchedule::days(rig.config->configuration().schedule)[1],
        (QList<MinuteRange> { { 540, 1020 }, { 1200, 1260 } }));
}

// The account sync may replace the week during a drag: the drop must not
// cut into the new week.
TEST(WeekEditorStatus, ADragOverAReplacedWeekWritesNothing)
{
    ServiceRig rig(rigOptions());
    WeekEditorModel model(*rig.config, *rig.blocking, nullptr, rig.time);
    const GridLayout layout { 100, 4, 28, 0 };
    model.begin({ 150, 12 * 28 }, layout); // the body of Monday 9-17
    model.update({ 350, 14 * 28 }, layout);
    WeekSchedule::Week replaced(7);
    replaced[1] = { { 480, 1080 } };
    rig.config->setWeek(replaced);
    const QByteArray before = QFile(rig.configPath()).exists() ? [&] {
        QFile f(rig.configPath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }()
                                                               : QByteArray();
    model.finish();
    EXPECT_EQ(WeekSchedule::days(rig.config->configuration().schedule), replaced);
    QFile after(rig.configPath());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(model.statusText(), QString());
}

// A drawn block fades in with motion allowed, and is shown at once in its
// final look when motion is reduced; a block with no entry is opaque at once.
TEST(WeekGridEntrance, FreshBlocksFadeInUnlessMotionIsReduced)
{
    for (const bool reduce : { false, true }) {
        Appearance::shared().overrideReduceMotion(reduce);
        ServiceRig rig(rigOptions());
        WeekEditorModel model(*rig.config, *rig.blocking, nullptr, rig.time);
        WeekGridWidget grid(model);
        double t = 100;
        grid.setAnimationClock([&t] { return t; });
        grid.resize(560, grid.sizeHint().height());
        const GridLayout layout = grid.gridLayout();
        const QPoint oldBlock = grid.blockRect(0, { 540, 1020 }).center().toPoint();
        const QPoint newBlock = grid.blockRect(0, { 1200, 1260 }).center().toPoint();
        grid.grab(); // the blocks already there are seen with no entry

        model.begin({ layout.columnLeft(0) + 20, layout.y(1200) + 2 }, layout);
        model.finish();
        const QColor accent = BrandTokens::accent();
        const QImage first = grid.grab().toImage();
        EXPECT_TRUE(testing_support::sameColor(first.pixelColor(oldBlock), accent, 40));
        if (reduce) {
            EXPECT_TRUE(testing_support::sameColor(first.pixelColor(newBlock), accent, 40));
        } else {
            EXPECT_TRUE(testing_support::sameColor(
                first.pixelColor(newBlock), BrandTokens::sunk(Appearance::shared().colorScheme()), 3));
            t += 2;
            EXPECT_TRUE(testing_support::sameColor(grid.grab().toImage().pixelColor(newBlock), accent, 40));
        }
    }
    Appearance::shared().overrideReduceMotion(false);
}

// Assistive technology sees each block as a button named by its day and
// hours; pressing it selects the block.
TEST(WeekGridAccessibility, BlocksAreNamedButtonsThatSelect)
{
    ServiceRig rig(rigOptions());
    WeekEditorModel model(*rig.config, *rig.blocking, nullptr, rig.time);
    WeekGridWidget grid(model);
    grid.resize(560, grid.sizeHint().height());
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), u"Semana de horários"_s);
    ASSERT_EQ(iface->childCount(), 7);
    QAccessibleInterface* monday = iface->child(1);
    ASSERT_NE(monday, nullptr);
    EXPECT_EQ(monday->role(), QAccessible::Button);
    EXPECT_EQ(monday->text(QAccessible::Name), u"Seg 9h–17h"_s);
    EXPECT_EQ(iface->indexOfChild(monday), 1);
    // Shown only while the grid is on screen.
    EXPECT_TRUE(monday->state().invisible);
    grid.show();
    EXPECT_FALSE(monday->state().invisible);
    grid.hide();
    EXPECT_TRUE(monday->state().invisible);
    ASSERT_NE(monday->actionInterface(), nullptr);
    monday->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(model.selection(), (BlockRef { 1, 540 }));
    EXPECT_TRUE(monday->state().selected);

    // A deleted block's interface goes away with it.
    ASSERT_TRUE(model.deleteSelection());
    EXPECT_FALSE(monday->isValid());
    EXPECT_EQ(iface->childCount(), 6);
    EXPECT_EQ(iface->child(1)->text(QAccessible::Name), u"Ter 9h–17h"_s);
}

// A week grid on screen with the keyboard focus, as a screen reader meets it.
class WeekGridKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid.resize(560, grid.sizeHint().height());
        grid.show();
        grid.activateWindow();
        grid.setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitUntil([&] { return grid.hasFocus(); }));
        iface = QAccessible::queryAccessibleInterface(&grid);
        ASSERT_NE(iface, nullptr);
    }

    ServiceRig rig { rigOptions() };
    WeekEditorModel model { *rig.config, *rig.blocking, nullptr, rig.time };
    WeekGridWidget grid { model };
    QAccessibleInterface* iface = nullptr;
};

// The editor is whole without a pointer: the keyboard walks the blocks and
// the hours, selects a block and makes one where there is none.
TEST_F(WeekGridKeyboard, ArrowsWalkBlocksAndHoursAndReturnMakesABlock)
{
    const auto focusedName = [&] {
        QAccessibleInterface* focused = iface->focusChild();
        return focused ? focused->text(QAccessible::Name) : QString();
    };

    // The focus lands on the first block; every block can take it.
    EXPECT_EQ(focusedName(), u"Dom 9h–17h"_s);
    EXPECT_TRUE(iface->child(3)->state().focusable);
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(focusedName(), u"Seg 9h–17h"_s);
    QTest::keyClick(&grid, Qt::Key_Left);
    QTest::keyClick(&grid, Qt::Key_Left);
    EXPECT_EQ(focusedName(), u"Sáb 9h–17h"_s) << "the week wraps";
    QTest::keyClick(&grid, Qt::Key_Right);
    QTest::keyClick(&grid, Qt::Key_Right);

    // Down past the block's end: an empty hour, where Return makes a block.
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(&grid, Qt::Key_Down);
    }
    EXPECT_EQ(grid.keyPlace(), (WeekGridWidget::KeyPlace { 1, 18 * 60 }));
    EXPECT_EQ(focusedName(), u"Seg 18h–19h, vazio"_s) << "an empty hour is read too";
    EXPECT_EQ(iface->childCount(), 8);
    EXPECT_EQ(iface->indexOfChild(iface->focusChild()), 7);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(focusedName(), u"Seg 17h–18h, vazio"_s);
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(model.week()[1], (QList<MinuteRange> { { 540, 1020 }, { 1080, 1140 } }));
    EXPECT_EQ(model.selection(), (BlockRef { 1, 1080 }));
    EXPECT_EQ(focusedName(), u"Seg 18h–19h"_s);

    // Selected, the arrows move the block (as before); Escape returns to walking.
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(model.week()[1].last(), (MinuteRange { 1110, 1170 }));
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_FALSE(model.selection());
    QTest::keyClick(&grid, Qt::Key_Up);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(focusedName(), u"Seg 9h–17h"_s);
    QTest::keyClick(&grid, Qt::Key_Space);
    EXPECT_EQ(model.selection(), (BlockRef { 1, 540 }));
}

// What a screen reader is told while the keyboard walks the grid: each
// place is the grid's focused child, a block or the empty hour there, and
// the empty hour's press makes the block that Return makes.
TEST_F(WeekGridKeyboard, EmptyHoursAreReadToo)
{
    QStringList heard;
    const auto listen = [&] {
        QAccessibleInterface* focused = iface->focusChild();
        heard << (focused ? focused->text(QAccessible::Name) : QString());
        EXPECT_TRUE(!focused || (focused->state().focused && focused->state().focusable));
        EXPECT_TRUE(!focused || iface->indexOfChild(focused) >= 0);
    };
    listen();
    for (const auto key : { Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Up }) {
        QTest::keyClick(&grid, key);
        listen();
    }
    EXPECT_EQ(heard,
        (QStringList {
            u"Dom 9h–17h"_s, u"Dom 8h–9h, vazio"_s, u"Seg 8h–9h, vazio"_s, u"Seg 9h–17h"_s, u"Seg 8h–9h, vazio"_s }));

    QAccessibleInterface* empty = iface->focusChild();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->role(), QAccessible::Button);
    EXPECT_EQ(empty->text(QAccessible::Description), u"Hora sem bloco. Enter cria um bloco de uma hora."_s);
    ASSERT_NE(empty->actionInterface(), nullptr);
    empty->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(model.week()[1], (QList<MinuteRange> { { 480, 1020 } })) << "joined to the block below";
    EXPECT_FALSE(empty->isValid());
    EXPECT_EQ(iface->childCount(), 7);

    // Without the focus no empty hour is offered.
    grid.clearFocus();
    EXPECT_EQ(iface->focusChild(), nullptr);
}

class SettingsWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        rig = new ServiceRig(rigOptions());
        ASSERT_TRUE(rig->waitForInstalledDaemon());
        schedule = &rig->startScheduleManager();
        SettingsPages pages = SettingsPages::standard();
        pages.schedule = [] { return new WeekScheduleEditor(servicesOf(*rig, schedule), false); };
        pages.helper = [] { return new HelperPermissionPage(*rig->installer); };
        SettingsWindowController::shared().setPages(pages);
    }
    static void TearDownTestSuite()
    {
        delete SettingsWindowController::shared().window();
        delete rig;
        rig = nullptr;
    }

    static inline ServiceRig* rig = nullptr;
    static inline ScheduleManager* schedule = nullptr;
};

TEST_F(SettingsWindowTest, OneFixedWindowWithTheSidebarInItsOrder)
{
    auto& controller = SettingsWindowController::shared();
    EXPECT_EQ(controller.window(), nullptr);
    QElapsedTimer opening;
    opening.start();
    controller.show();
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    window->grab(); // the first frame
    RecordProperty("firstShowMs", int(opening.elapsed()));
    ASSERT_NE(window, nullptr);
    const QPoint placed = window->pos();
    controller.show();
    EXPECT_EQ(controller.window(), window);

    EXPECT_EQ(window->windowTitle(), u"Kestravin · Ajustes"_s);
    EXPECT_EQ(window->size(), QSize(820, 640));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

    // Closing only hides; the same window comes back where it was.
    window->close();
    EXPECT_FALSE(window->isVisible());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), placed);

    QStringList labels;
    for (const SettingsSidebarItem* item : controller.view()->sidebar()->items()) {
        labels << item->text();
        EXPECT_EQ(item->accessibleName(), item->text());
    }
    EXPECT_EQ(labels,
        (QStringList { u"Sites"_s, u"Apps"_s, u"Horários"_s, u"Folgas"_s, u"Conta"_s, u"Permissões"_s, u"Sobre"_s }));
    QStringList titles;
    for (SettingsTab tab : { SettingsTab::sites, SettingsTab::apps, SettingsTab::schedule, SettingsTab::missions,
             SettingsTab::helper, SettingsTab::about, SettingsTab::ai }) {
        titles << settingsTabTitle(tab);
    }
    EXPECT_EQ(titles,
        (QStringList { u"Sites bloqueados"_s, u"Apps bloqueados"_s, u"Horários"_s, u"Folgas"_s, u"Permissões"_s,
            u"Sobre"_s, u"IA"_s }));
}

TEST_F(SettingsWindowTest, NavigationAndTheSidebarChoosePages)
{
    auto& controller = SettingsWindowController::shared();
    controller.show();
    SettingsView* view = controller.view();

    SettingsNavigation::shared().setTab(SettingsTab::ai);
    EXPECT_EQ(view->selectedTab(), SettingsTab::ai);
    EXPECT_NE(qobject_cast<OrlaAccountView*>(view->currentPage()), nullptr);
    EXPECT_EQ(SettingsNavigation::shared().tab(), std::nullopt); // taken, so it can be asked again

    // The highlight glides to the picked entry and the page follows.
    SettingsSidebarItem* helper = view->sidebar()->items().at(5);
    QTest::mouseClick(helper, Qt::LeftButton);
    EXPECT_EQ(view->selectedTab(), SettingsTab::helper);
    EXPECT_TRUE(helper->isChecked());
    EXPECT_TRUE(waitUntil([&] { return view->sidebar()->highlight().top() == helper->geometry().top(); }));
    auto* page = qobject_cast<HelperPermissionPage*>(view->currentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->statusText(), u"Serviço instalado e ativo"_s);

    // Arrows move the page with the focus, also from an entry that is not
    // the selected one.
    SettingsSidebarItem* sites = view->sidebar()->items().at(0);
    controller.window()->activateWindow();
    sites->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitUntil([&] { return sites->hasFocus(); }));
    ASSERT_FALSE(sites->isChecked());
    QTest::keyClick(sites, Qt::Key_Down);
    EXPECT_EQ(view->selectedTab(), SettingsTab::apps);
    EXPECT_TRUE(view->sidebar()->items().at(1)->hasFocus());
    QTest::keyClick(view->sidebar()->items().at(1), Qt::Key_Up);
    EXPECT_EQ(view->selectedTab(), SettingsTab::sites);

    SettingsNavigation::shared().setTab(SettingsTab::about);
    EXPECT_EQ(view->selectedTab(), SettingsTab::about);
    auto* about = qobject_cast<AboutPage*>(view->currentPage());
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->phaseText().isEmpty());
}

TEST_F(SettingsWindowTest, ADragOnTheGridIsSavedAndHandedToTheDaemon)
{
    auto& controller = SettingsWindowController::shared();
    controller.show();
    SettingsNavigation::shared().setTab(SettingsTab::schedule);
    auto* editor = qobject_cast<WeekScheduleEditor*>(controller.view()->currentPage());
    ASSERT_NE(editor, nullptr);
    WeekGridWidget& grid = editor->grid();
    ASSERT_TRUE(waitUntil([&] { return grid.width() > 400 && grid.isVisible(); }));

    // Let the start-up hand-over pass, then count from here.
    rig->time.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return rig->daemon->count(u"updateSchedule"_s) >= 1; }));
    const int handed = rig->daemon->count(u"updateSchedule"_s);

    // Draw Tuesday 18:00 to 20:00 with the mouse.
    const GridLayout layout = grid.gridLayout();
    auto point = [&](int column, int minute) {
        return grid
            .fromGrid({ layout.columnLeft(column) + layout.columnWidth / 2, layout.y(minute) + layout.hourHeight / 4 })
            .toPoint();
    };
    QTest::mousePress(&grid, Qt::LeftButton, {}, point(2, 18 * 60));
    QTest::mouseMove(&grid, point(2, 19 * 60));
    QTest::mouseMove(&grid, point(2, 19 * 60 + 30));
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, point(2, 19 * 60 + 30));

    const QList<MinuteRange> expected { { 540, 1020 }, { 1080, 1200 } };
    EXPECT_EQ(WeekSchedule::days(savedConfiguration(*rig).schedule)[2], expected);
    EXPECT_EQ(editor->statusText(), u"Salvo"_s);
    EXPECT_EQ(editor->model().selection(), (BlockRef { 2, 1080 }));

    // The schedule manager hands the new week over a second later.
    rig->time.advance(999ms);
    kestravin::testing::spin(30);
    EXPECT_EQ(rig->daemon->count(u"updateSchedule"_s), handed);
    rig->time.advance(1ms);
    ASSERT_TRUE(waitUntil([&] { return rig->daemon->count(u"updateSchedule"_s) == handed + 1; }));

    // Escape lets go of the selection; Delete then does nothing.
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_EQ(editor->model().selection(), std::nullopt);
}
