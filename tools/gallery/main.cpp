#include "Gallery.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

// Renders the gallery in one appearance, once every animation has settled.
bool writeScreenshot(ColorScheme scheme, const QString& path, double scale)
{
    Appearance::shared().overrideColorScheme(scheme);
    Appearance::shared().overrideReduceMotion(true);
    Gallery gallery;
    gallery.resize(gallery.sizeHint());
    gallery.show();
    gallery.stage();
    QEventLoop settle;
    QTimer::singleShot(100, &settle, &QEventLoop::quit);
    settle.exec();
    QImage image(gallery.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    gallery.render(&image);
    return image.save(path);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"The Kestravin design system and mascot, in one window."_s);
    parser.addHelpOption();
    const QCommandLineOption screenshots(
        u"screenshots"_s, u"Write gallery-light.png and gallery-dark.png to <dir> and exit."_s, u"dir"_s);
    const QCommandLineOption scale(
        u"scale"_s, u"Device pixel ratio of the screenshots (default 1)."_s, u"ratio"_s, u"1"_s);
    const QCommandLineOption dark(u"dark"_s, u"Show the dark appearance."_s);
    parser.addOptions({ screenshots, scale, dark });
    parser.process(app);

    if (parser.isSet(screenshots)) {
        const QDir dir(parser.value(screenshots));
        if (!dir.exists() && !QDir().mkpath(dir.path())) {
            QTextStream(stderr) << "gallery: cannot create " << dir.path() << '\n';
            return 1;
        }
        const double ratio = std::max(1.0, parser.value(scale).toDouble());
        const bool ok = writeScreenshot(ColorScheme::Light, dir.filePath(u"gallery-light.png"_s), ratio)
            && writeScreenshot(ColorScheme::Dark, dir.filePath(u"gallery-dark.png"_s), ratio);
        if (!ok) {
            QTextStream(stderr) << "gallery: could not write the screenshots\n";
            return 1;
        }
        QTextStream(stdout) << "gallery: wrote " << dir.filePath(u"gallery-light.png"_s) << " and "
                            << dir.filePath(u"gallery-dark.png"_s) << '\n';
        return 0;
    }
    if (parser.isSet(dark)) {
        Appearance::shared().overrideColorScheme(ColorScheme::Dark);
    }
    Gallery gallery;
    gallery.show();
    return QApplication::exec();
}
