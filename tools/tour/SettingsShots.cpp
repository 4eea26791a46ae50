// The settings window's pages and the week editor, on services of their own
// over a temporary folder (never the user's configuration) and no daemon.
#include "DemoServices.h"
#include "Shot.h"

#include "app/platform/Clock.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/pickers/BlockedAppsView.h"
#include "app/views/pickers/BlockedSitesView.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/WeekGridWidget.h"
#include "app/views/settings/WeekScheduleEditor.h"

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

struct TourServices {
    DemoServices& demo = demoServices();
    WeekScheduleEditor::Services editorServices()
    {
        return { demo.config, demo.blocking, nullptr, Scheduler::system(), Clock::system() };
    }
};

TourServices& services()
{
    static TourServices shared;
    return shared;
}

std::unique_ptr<QWidget> settingsOn(SettingsTab tab)
{
    SettingsPages pages = SettingsPages::standard();
    pages.schedule = [] { return new WeekScheduleEditor(services().editorServices(), false); };
    pages.helper = [] { return new HelperPermissionPage(services().demo.installer); };
    pages.sites = [] {
        DemoServices& demo = services().demo;
        return new BlockedSitesView(false, demo.config, demo.account, demo.icons);
    };
    pages.apps = [] {
        DemoServices& demo = services().demo;
        return new BlockedAppsView(false, demo.config, demo.account, demo.apps);
    };
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
