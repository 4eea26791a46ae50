#include "Shot.h"

#include "app/shell/AppServices.h"
#include "app/views/brand/Appearance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace kestravin::tour {

std::vector<Shot>& shots()
{
    static std::vector<Shot> all;
    return all;
}

} // namespace kestravin::tour

namespace {

void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool render(const tour::Shot& shot, const QString& path, double scale)
{
    std::unique_ptr<QWidget> widget = shot.make();
    if (!widget) {
        return false;
    }
    widget->show();
    settle(150);
    QImage image(widget->size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.save(path);
}

} // namespace

// Renders every screen of the application in both appearances with the
// offscreen platform, for docs/screenshots.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // The screens that use their default wiring reach the application's
    // services, as in the application.
    installAppServices();
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Pictures of every Kestravin screen, light and dark."_s);
    parser.addHelpOption();
    const QCommandLineOption out(
        u"out"_s, u"Folder for the PNG files (default docs/screenshots)."_s, u"dir"_s, u"docs/screenshots"_s);
    const QCommandLineOption only(u"only"_s, u"Only the shots whose name contains <text>."_s, u"text"_s);
    const QCommandLineOption scale(
        u"scale"_s, u"Device pixel ratio of the pictures (default 1)."_s, u"ratio"_s, u"1"_s);
    const QCommandLineOption list(u"list"_s, u"List the shots and exit."_s);
    parser.addOptions({ out, only, scale, list });
    parser.process(app);

    QTextStream output(stdout);
    if (parser.isSet(list)) {
        for (const tour::Shot& shot : tour::shots()) {
            output << shot.name << '\n';
        }
        return 0;
    }
    const QDir dir(parser.value(out));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        QTextStream(stderr) << "tour: cannot create " << dir.path() << '\n';
        return 1;
    }
    const double ratio = std::max(1.0, parser.value(scale).toDouble());
    Appearance::shared().overrideReduceMotion(true);
    int failures = 0;
    for (const auto& [scheme, suffix] :
        { std::pair { ColorScheme::Light, u"light"_s }, std::pair { ColorScheme::Dark, u"dark"_s } }) {
        Appearance::shared().overrideColorScheme(scheme);
        for (const tour::Shot& shot : tour::shots()) {
            if (parser.isSet(only) && !shot.name.contains(parser.value(only))) {
                continue;
            }
            if (shot.systemDialog && scheme == ColorScheme::Dark) {
                continue;
            }
            const QString path = dir.filePath(shot.name + (shot.systemDialog ? QString() : u'-' + suffix) + u".png"_s);
            if (render(shot, path, ratio)) {
                output << "tour: wrote " << path << '\n';
            } else {
                QTextStream(stderr) << "tour: could not write " << path << '\n';
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
