// The settings window's pages and the week editor, on services of their own
// over a temporary folder (never the user's configuration) and no daemon.
#include "Shot.h"

#include "app/platform/Clock.h"
#include "app/platform/DaemonRegistration.h"
#include "app/platform/PrivilegedRunner.h"
#include "app/services/BlockingService.h"
#include "app/services/ConfigurationManager.h"
#include "app/services/DesktopAccountService.h"
#include "app/services/HelperConnection.h"
#include "app/services/HelperInstaller.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/WeekGridWidget.h"
#include "app/views/settings/WeekScheduleEditor.h"

#include <QDBusConnection>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

class NoRegistration final : public DaemonRegistration {
public:
    Status status() override { return Status::notFound; }
    bool registerDaemon(QString*) override { return false; }
    void unregisterDaemon(std::function<void()> done) override { done(); }
    void openApprovalSettings() override { }
    bool bundlesDaemon() const override { return false; }
};

class NoRunner final : public PrivilegedRunner {
public:
    void runScript(const QString&, const QStringList&, Completion completion) override
    {
        completion({ false, {}, u"Não disponível na demonstração."_s });
    }
};

struct TourServices {
    QTemporaryDir dir;
    NoRegistration registration;
    NoRunner runner;
    DesktopAccountService account;
    HelperConnection connection { [](const QString& name) {
                                     return QDBusConnection::connectToBus(u"unix:path=/nonexistent"_s, name);
                                 },
        Scheduler::system() };
    HelperInstaller installer { connection, registration, runner, Clock::system(), Scheduler::system(),
        HelperInstaller::Environment { dir.filePath(u"root"_s), {}, u"tour"_s, {} } };
    BlockingService blocking { connection, installer, Clock::system(), Scheduler::system(),
        BlockingService::Paths { dir.filePath(u"hosts"_s), dir.filePath(u"data"_s) } };
    ConfigurationManager config { dir.filePath(u"data"_s), blocking, account, Clock::system(), Scheduler::system() };

    TourServices()
    {
        WeekSchedule::Week week(7);
        for (int day = 1; day <= 5; ++day) {
            week[day] = { { 540, 720 }, { 840, 1080 } };
        }
        week[3] = { { 480, 660 }, { 780, 1020 }, { 1200, 1260 } };
        week[6] = { { 600, 690 } };
        config.setWeek(week);
    }

    WeekScheduleEditor::Services editorServices()
    {
        return { config, blocking, nullptr, Scheduler::system(), Clock::system() };
    }
};

TourServices& services()
{
    static auto* shared = new TourServices;
    return *shared;
}

std::unique_ptr<QWidget> settingsOn(SettingsTab tab)
{
    SettingsPages pages = SettingsPages::standard();
    pages.schedule = [] { return new WeekScheduleEditor(services().editorServices(), false); };
    pages.helper = [] { return new HelperPermissionPage(services().installer); };
    auto view = std::make_unique<SettingsView>(pages);
    view->setSelectedTab(tab);
    return view;
}

// The editor with Wednesday's first block selected and, optionally, a move
// of Monday's afternoon block to Tuesday evening held mid-drag.
std::unique_ptr<QWidget> editorWith(bool dragging)
{
    auto editor = std::make_unique<WeekScheduleEditor>(services().editorServices(), false);
    editor->resize(560, 600);
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Window, BrandPalette::current().paper);
    editor->setPalette(palette);
    editor->setAutoFillBackground(true);
    editor->model().setSelection(BlockRef { 3, 480 });
    if (dragging) {
        // The drag works in minutes and days; the layout only has to be close
        // to the one the editor gets once shown.
        const GridLayout layout { 68, WeekGrid::gap, editor->grid().hourHeight(), 0 };
        const QPointF press(layout.columnLeft(1) + 30, layout.y(900));
        editor->model().begin(press, layout);
        editor->model().update(QPointF(layout.columnLeft(2) + 34, layout.y(1110)), layout);
    }
    return editor;
}

const ShotRegistrar shots[] = {
    { u"settings-sites"_s, [] { return settingsOn(SettingsTab::sites); } },
    { u"settings-apps"_s, [] { return settingsOn(SettingsTab::apps); } },
    { u"settings-schedule"_s, [] { return settingsOn(SettingsTab::schedule); } },
    { u"settings-folgas"_s, [] { return settingsOn(SettingsTab::missions); } },
    { u"settings-conta"_s, [] { return settingsOn(SettingsTab::ai); } },
    { u"settings-permissoes"_s, [] { return settingsOn(SettingsTab::helper); } },
    { u"settings-sobre"_s, [] { return settingsOn(SettingsTab::about); } },
    { u"settings-week-selection"_s, [] { return editorWith(false); } },
    { u"settings-week-drag"_s, [] { return editorWith(true); } },
};

} // namespace
} // namespace kestravin::tour
