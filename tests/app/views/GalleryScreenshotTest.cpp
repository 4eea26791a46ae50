#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QProcessEnvironment offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    return environment;
}

// The gallery's screenshot mode writes both appearances of every control.
TEST(GalleryScreenshots, WritesTheLightAndDarkPages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess gallery;
    gallery.setProcessEnvironment(offscreen());
    gallery.start(QString::fromUtf8(KESTRAVIN_GALLERY), { u"--screenshots"_s, dir.path() });
    ASSERT_TRUE(gallery.waitForFinished(60000));
    ASSERT_EQ(gallery.exitCode(), 0) << gallery.readAllStandardError().toStdString();

    const QImage light(dir.filePath(u"gallery-light.png"_s));
    const QImage dark(dir.filePath(u"gallery-dark.png"_s));
    ASSERT_FALSE(light.isNull());
    ASSERT_FALSE(dark.isNull());
    EXPECT_EQ(light.size(), dark.size());
    EXPECT_GT(light.width(), 600);
    EXPECT_GT(qGray(light.pixel(2, 2)), 200);
    EXPECT_LT(qGray(dark.pixel(2, 2)), 60);

    // A bad target folder is reported, not ignored.
    QProcess failing;
    failing.setProcessEnvironment(offscreen());
    failing.start(QString::fromUtf8(KESTRAVIN_GALLERY), { u"--screenshots"_s, u"/proc/no-such-place"_s });
    ASSERT_TRUE(failing.waitForFinished(60000));
    EXPECT_NE(failing.exitCode(), 0);
}

} // namespace
