// The block-list pickers: the site picker with a few sites chosen, its
// suggestions open, the lock notice, and the app picker over a handful of
// installed apps. Everything runs on throw-away folders: no real
// configuration, no network, no daemon.
#include "Shot.h"

#include "app/platform/Clock.h"
#include "app/platform/DaemonRegistration.h"
#include "app/platform/PrivilegedRunner.h"
#include "app/platform/Scheduler.h"
#include "app/services/BlockingService.h"
#include "app/services/ConfigurationManager.h"
#include "app/services/DesktopAccountService.h"
#include "app/services/HelperConnection.h"
#include "app/services/HelperInstaller.h"
#include "app/services/InstalledApps.h"
#include "app/services/SiteIconStore.h"
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

class NoRegistration final : public DaemonRegistration {
public:
    Status status() override { return Status::notRegistered; }
    bool registerDaemon(QString*) override { return false; }
    void unregisterDaemon(std::function<void()> done) override { done(); }
    void openApprovalSettings() override { }
    bool bundlesDaemon() const override { return false; }
};

class NoRunner final : public PrivilegedRunner {
public:
    void runScript(const QString&, const QStringList&, Completion completion) override { completion({}); }
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// A small round icon, as a site might send it.
QByteArray sampleIcon()
{
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 64, 64);
    gradient.setColorAt(0, QColor(0x3B, 0x82, 0xF6));
    gradient.setColorAt(1, QColor(0x10, 0xB9, 0x81));
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, 64, 64), 14, 14);
    painter.setPen(Qt::white);
    QFont font;
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 64, 64), Qt::AlignCenter, u"b"_s);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The services of the pickers on a temporary folder.
struct PickerShotServices {
    QTemporaryDir dir;
    NoRegistration registration;
    NoRunner runner;
    HelperConnection connection { [](const QString& name) {
                                     return QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, name);
                                 },
        Scheduler::system() };
    HelperInstaller installer { connection, registration, runner, Clock::system(), Scheduler::system(),
        HelperInstaller::Environment { dir.filePath(u"sys"_s), {}, u"tour"_s, {} } };
    BlockingService blocking { connection, installer, Clock::system(), Scheduler::system(),
        BlockingService::Paths { dir.filePath(u"hosts"_s), dir.filePath(u"data"_s) } };
    DesktopAccountService account;
    ConfigurationManager config { dir.filePath(u"data"_s), blocking, account, Clock::system(), Scheduler::system() };
    SiteIconStore icons { SiteIconStore::Options {
        dir.filePath(u"SiteIcons"_s), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    InstalledApps apps { [this] { return QStringList { dir.filePath(u"applications"_s) }; }, std::nullopt };

    PickerShotServices()
    {
        writeFile(dir.filePath(u"hosts"_s), "127.0.0.1 localhost\n");
        writeFile(dir.filePath(u"SiteIcons/meublog.com.br"_s), sampleIcon());
        const QList<std::pair<QString, QString>> entries { { u"discord"_s, u"Discord"_s },
            { u"org.telegram.desktop"_s, u"Telegram"_s }, { u"spotify"_s, u"Spotify"_s }, { u"steam"_s, u"Steam"_s },
            { u"org.gimp.GIMP"_s, u"GIMP"_s }, { u"org.mozilla.firefox"_s, u"Firefox"_s },
            { u"libreoffice-writer"_s, u"LibreOffice Writer"_s }, { u"org.gnome.Calculator"_s, u"Calculadora"_s },
            { u"code"_s, u"Visual Studio Code"_s } };
        for (const auto& [id, name] : entries) {
            writeFile(dir.filePath(u"applications/"_s + id + u".desktop"_s),
                (u"[Desktop Entry]\nType=Application\nExec="_s + id + u"\nIcon="_s + id + u"\nName="_s + name + u"\n"_s)
                    .toUtf8());
        }
        Configuration configuration = config.configuration();
        configuration.blockedSites = { u"youtube.com"_s, u"www.youtube.com"_s, u"instagram.com"_s,
            u"www.instagram.com"_s, u"meublog.com.br"_s, u"www.meublog.com.br"_s, u"noticias.example.org"_s };
        configuration.blockedApps = { BlockedApp(u"discord"_s, u"Discord"_s), BlockedApp(u"steam"_s, u"Steam"_s),
            BlockedApp(u"com.example.Gone"_s, u"Jogo antigo"_s) };
        config.setConfiguration(configuration);

        apps.refresh();
        QEventLoop loop;
        QObject::connect(&apps, &InstalledApps::loadedChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        if (!apps.loaded()) {
            loop.exec();
        }
    }
};

PickerShotServices& services()
{
    static auto* instance = new PickerShotServices;
    return *instance;
}

// The lock notice stays up for 4 s: its own services keep it off the other shots.
PickerShotServices& lockedServices()
{
    static auto* instance = new PickerShotServices;
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
    PickerShotServices& s = services();
    return framed(new BlockedSitesView(false, s.config, s.account, s.icons), { 760, 640 });
});

const ShotRegistrar search(u"pickers-sites-search"_s, [] {
    PickerShotServices& s = services();
    auto* page = new BlockedSitesView(false, s.config, s.account, s.icons);
    auto frame = framed(page, { 760, 640 });
    page->searchField()->edit()->setText(u"in"_s);
    return frame;
});

const ShotRegistrar searchAdd(u"pickers-sites-add"_s, [] {
    PickerShotServices& s = services();
    auto* page = new BlockedSitesView(true, s.config, s.account, s.icons);
    auto frame = framed(page, { 760, 560 });
    page->searchField()->edit()->setText(u"receitas.com.br"_s);
    return frame;
});

const ShotRegistrar lock(u"pickers-lock-notice"_s, [] {
    PickerShotServices& s = lockedServices();
    auto* page = new BlockedSitesView(false, s.config, s.account, s.icons);
    auto frame = framed(page, { 760, 640 });
    s.config.noteLocked();
    return frame;
});

const ShotRegistrar apps(u"pickers-apps"_s, [] {
    PickerShotServices& s = services();
    return framed(new BlockedAppsView(false, s.config, s.account, s.apps), { 760, 600 });
});

} // namespace
} // namespace kestravin::tour
