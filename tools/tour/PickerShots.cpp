// The block-list pickers: the site picker with a few sites chosen, its
// suggestions open, the lock notice, and the app picker over a handful of
// installed apps. Everything runs on throw-away folders: no real
// configuration, no network, no daemon.
#include "DemoServices.h"
#include "Shot.h"

#include "app/platform/Clock.h"
#include "app/platform/DaemonRegistration.h"
#include "app/platform/PrivilegedRunner.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/daemon/HelperConnection.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/views/brand/Appearance.h"
#include "app/views/pickers/BlockedAppsView.h"
#include "app/views/pickers/BlockedSitesView.h"
#include "app/views/pickers/PickerWidgets.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

DemoServices& services()
{
    return demoServices();
}

// The lock notice stays up for 4 s: its own services keep it off the other shots.
DemoServices& lockedServices()
{
    static auto* instance = new DemoServices;
    return *instance;
}

// The page on the popover background, as the settings window shows it.
std::unique_ptr<QWidget> framed(QWidget* page, QSize size)
{
    auto frame = std::make_unique<QWidget>();
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(
        QPalette::Window, Appearance::shared().isDark() ? QColor(0x1C, 0x1B, 0x19) : QColor(0xFB, 0xFA, 0xF8));
    palette.setColor(
        QPalette::WindowText, Appearance::shared().isDark() ? QColor(0xFA, 0xF7, 0xF1) : QColor(0x2C, 0x29, 0x25));
    frame->setPalette(palette);
    auto* layout = new QVBoxLayout(frame.get());
    layout->setContentsMargins(28, 24, 28, 20);
    page->setParent(frame.get());
    page->setPalette(palette);
    layout->addWidget(page);
    frame->resize(size);
    return frame;
}

const ShotRegistrar sites(u"pickers-sites"_s, [] {
    DemoServices& s = services();
    return framed(new BlockedSitesView(false, s.config, s.account, s.icons), { 760, 640 });
});

const ShotRegistrar search(u"pickers-sites-search"_s, [] {
    DemoServices& s = services();
    auto* page = new BlockedSitesView(false, s.config, s.account, s.icons);
    auto frame = framed(page, { 760, 640 });
    page->searchField()->edit()->setText(u"in"_s);
    return frame;
});

const ShotRegistrar searchAdd(u"pickers-sites-add"_s, [] {
    DemoServices& s = services();
    auto* page = new BlockedSitesView(true, s.config, s.account, s.icons);
    auto frame = framed(page, { 760, 560 });
    page->searchField()->edit()->setText(u"receitas.com.br"_s);
    return frame;
});

const ShotRegistrar lock(u"pickers-lock-notice"_s, [] {
    DemoServices& s = lockedServices();
    auto* page = new BlockedSitesView(false, s.config, s.account, s.icons);
    auto frame = framed(page, { 760, 640 });
    s.config.noteLocked();
    return frame;
});

const ShotRegistrar apps(u"pickers-apps"_s, [] {
    DemoServices& s = services();
    return framed(new BlockedAppsView(false, s.config, s.account, s.apps), { 760, 600 });
});

} // namespace
} // namespace kestravin::tour
