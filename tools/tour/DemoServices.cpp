#include "DemoServices.h"

#include "app/models/WeekSchedule.h"

#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

namespace kestravin::tour {
namespace {

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

} // namespace

DemoServices::DemoServices()
{
    WeekSchedule::Week week(7);
    for (int day = 1; day <= 5; ++day) {
        week[day] = { { 540, 720 }, { 840, 1080 } };
    }
    week[3] = { { 480, 660 }, { 780, 1020 }, { 1200, 1260 } };
    week[6] = { { 600, 690 } };
    config.setWeek(week);

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
    configuration.blockedSites = { u"youtube.com"_s, u"www.youtube.com"_s, u"instagram.com"_s, u"www.instagram.com"_s,
        u"meublog.com.br"_s, u"www.meublog.com.br"_s, u"noticias.example.org"_s };
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

DemoServices& demoServices()
{
    static auto* instance = new DemoServices;
    return *instance;
}

} // namespace kestravin::tour
