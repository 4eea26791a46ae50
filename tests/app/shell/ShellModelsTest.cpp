// The pure parts of the shell: the countdown title's reserved width, the
// popover's placement, the deep-link scheme, the tray figure and the
// launch-at-login entry.
#include "app/shell/DeepLink.h"
#include "app/shell/LaunchAtLogin.h"
#include "app/shell/OrlaStatusIcon.h"
#include "app/shell/PopoverPlacement.h"
#include "app/shell/StatusTitleModel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// Digits are wider than anything else, as in proportional fonts whose "0"
// is the widest numeral; letters are wider than the separator.
qreal measure(const QString& text)
{
    qreal width = 0;
    for (const QChar c : text) {
        width += c.isDigit() ? (c == u'0' ? 8.0 : 7.0) : c.isLetter() ? 9.0 : 3.0;
    }
    return width;
}

TEST(StatusTitleModel, ReservedWidthOnlyGrowsWhileTheCountdownRuns)
{
    const qreal minimum = std::ceil(measure(u" 00:00"_s)); // 3 + 4 * 8 + 3 = 38
    const qreal hours = std::ceil(measure(u" 0h00min"_s)); // 3 + 3 * 8 + 4 * 9 = 63
    struct Step {
        QString remaining;
        QString title;
        QString guide;
        qreal reserved;
    };
    const std::vector<Step> steps {
        { u"59:59"_s, u" 59:59"_s, u" 00:00"_s, minimum },
        // A digit drops off: the width stays.
        { u"9:59"_s, u" 9:59"_s, u" 00:00"_s, minimum },
        // Shorter than " 00:00" from the start of a run still reserves it.
        { u"0:05"_s, u" 0:05"_s, u" 00:00"_s, minimum },
        // Hours widen the item once...
        { u"1h00min"_s, u" 1h00min"_s, u" 0h00min"_s, hours },
        // ...and it stays wide while the countdown runs.
        { u"59:58"_s, u" 59:58"_s, u" 0h00min"_s, hours },
        // The end gives the width back.
        { QString(), QString(), QString(), 0 },
        { u"4:00"_s, u" 4:00"_s, u" 00:00"_s, minimum },
    };
    StatusTitleModel model(&measure);
    for (const Step& step : steps) {
        model.update(step.remaining);
        SCOPED_TRACE(step.remaining.toStdString());
        EXPECT_EQ(model.title(), step.title);
        EXPECT_EQ(model.guide(), step.guide);
        EXPECT_EQ(model.reservedWidth(), step.reserved);
        if (step.remaining.isEmpty()) {
            EXPECT_FALSE(model.length().has_value());
        } else {
            EXPECT_EQ(model.length(), StatusTitleModel::defaultImageWidth + step.reserved + 10);
        }
    }
}

TEST(StatusTitleModel, FractionalWidthsRoundUpToAWholePixel)
{
    StatusTitleModel model([](const QString& text) { return text.size() * 6.3; });
    model.update(u"12:34"_s);
    EXPECT_EQ(model.reservedWidth(), 38); // 6 * 6.3 = 37.8
}

TEST(PopoverPlacement, StaysInsideTheAvailableArea)
{
    const QSize size(360, 520);
    const QRect topPanel(0, 30, 1920, 1050); // a 30 px panel at the top
    const QRect bottomPanel(0, 0, 1920, 1040); // a 40 px panel at the bottom
    struct Case {
        const char* what;
        QPoint anchor;
        QRect available;
        QRect expected;
    };
    const std::vector<Case> cases {
        { "centred under a top panel", { 960, 30 }, topPanel, { { 780, 36 }, size } },
        { "right screen edge", { 1915, 30 }, topPanel, { { 1560, 36 }, size } },
        { "left screen edge", { 4, 30 }, topPanel, { { 0, 36 }, size } },
        { "above a bottom panel", { 1000, 1041 }, bottomPanel, { { 820, 515 }, size } },
        { "bottom-right corner", { 1919, 1079 }, bottomPanel, { { 1560, 520 }, size } },
        { "second screen to the right", { 1925, 30 }, topPanel.translated(1920, 0), { { 1920, 36 }, size } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(popoverGeometry(c.anchor, size, c.available), c.expected);
        EXPECT_TRUE(c.available.contains(popoverGeometry(c.anchor, size, c.available)));
    }
    // Larger than the screen: the top-left corner stays on it.
    EXPECT_EQ(popoverGeometry({ 100, 500 }, { 800, 700 }, { 0, 0, 640, 480 }).topLeft(), QPoint(0, 0));
}

TEST(DeepLink, OnlyTheExactLowerCaseSchemeIsOurs)
{
    const std::vector<std::pair<QString, bool>> cases {
        { u"kestravin://x"_s, true },
        { u"kestravin:"_s, true },
        { u"kestravin://any/path?q=1#f"_s, true },
        { u"KESTRAVIN://x"_s, false },
        { u"Kestravin://x"_s, false },
        { u"kestravinx://x"_s, false },
        { u"https://kestravin.com"_s, false },
        { u"kestravin"_s, false },
        { u":kestravin"_s, false },
        { QString(), false },
    };
    for (const auto& [url, ours] : cases) {
        EXPECT_EQ(DeepLink::isOurs(url), ours) << url.toStdString();
    }
    EXPECT_EQ(DeepLink::firstOurs({ u"--flag"_s, u"KESTRAVIN://a"_s, u"kestravin://b"_s, u"kestravin://c"_s }),
        u"kestravin://b"_s);
    EXPECT_FALSE(DeepLink::firstOurs({ u"KESTRAVIN://a"_s }).has_value());
}

TEST(OrlaStatusIcon, BodyIsFilledOnlyWhileBlocking)
{
    for (const qreal ratio : { 1.0, 2.0 }) {
        SCOPED_TRACE(ratio);
        const QImage active = OrlaStatusIcon::image(true, ratio, Qt::black);
        const QImage idle = OrlaStatusIcon::image(false, ratio, Qt::black);
        EXPECT_EQ(active.size(), QSize(18, 18) * ratio);
        EXPECT_EQ(active.devicePixelRatio(), ratio);
        // The body's centre, (5.5, 5.1) from the bottom-left corner.
        const auto pixelAt
            = [ratio](QPointF logical) { return QPoint(int(logical.x() * ratio), int(logical.y() * ratio)); };
        const QPoint body = pixelAt({ 5.5, 18 - 5.1 });
        EXPECT_EQ(qAlpha(active.pixel(body)), 255);
        EXPECT_EQ(qAlpha(idle.pixel(body)), 0);
        // The hollow ring is drawn 1.8 to the right of the centre.
        const QPoint ring = pixelAt({ 5.5 + 1.8, 18 - 5.1 });
        EXPECT_GT(qAlpha(idle.pixel(ring)), 100);
        // The wings (everything above the body) are the same in both states.
        const auto wingInk = [ratio](const QImage& image) {
            qint64 sum = 0;
            for (int y = 0; y < int(9 * ratio); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    sum += qAlpha(image.pixel(x, y));
                }
            }
            return sum;
        };
        EXPECT_GT(wingInk(active), 255 * 8 * ratio * ratio);
        EXPECT_EQ(wingInk(active), wingInk(idle));
    }
    EXPECT_EQ(OrlaStatusIcon::accessibilityDescription(true), u"Kestravin: bloqueando agora"_s);
    EXPECT_EQ(OrlaStatusIcon::accessibilityDescription(false), u"Kestravin: livre agora"_s);
}

bool validDesktopEntry(const QString& path, QString* output)
{
    QProcess validate;
    validate.start(u"desktop-file-validate"_s, { path });
    validate.waitForFinished(20000);
    *output = QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
    return validate.exitStatus() == QProcess::NormalExit && validate.exitCode() == 0 && output->isEmpty();
}

TEST(DesktopEntries, PackagedEntriesValidate)
{
    for (const char* name : { "com.kestravin.app.desktop", "com.kestravin.app-autostart.desktop" }) {
        QString output;
        EXPECT_TRUE(validDesktopEntry(QStringLiteral(KESTRAVIN_PACKAGING_DIR "/") + QString::fromLatin1(name), &output))
            << name << ": " << output.toStdString();
    }
    QFile entry(QStringLiteral(KESTRAVIN_PACKAGING_DIR "/com.kestravin.app.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.contains("\nMimeType=x-scheme-handler/kestravin;\n"));
    EXPECT_TRUE(text.contains("\nExec=kestravin %u\n"));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(LaunchAtLogin, WritesAValidEntryOnceAndRespectsTheUsersNo)
{
    QTemporaryDir home;
    const QString folder = home.filePath(u"config/autostart"_s);
    const QString path = folder + u"/com.kestravin.app.desktop"_s;
    const QString executable = u"/opt/My Apps/kestravin$1 \"x\"%"_s;

    const auto first = LaunchAtLogin::enable(folder, executable);
    EXPECT_EQ(first.outcome, LaunchAtLogin::Outcome::registered);
    const QByteArray written = readAll(path);
    EXPECT_TRUE(written.contains(R"(Exec="/opt/My Apps/kestravin\\$1 \\"x\\"%%")"
                                 "\n"))
        << written.constData();
    QString output;
    EXPECT_TRUE(validDesktopEntry(path, &output)) << output.toStdString();

    EXPECT_EQ(LaunchAtLogin::enable(folder, executable).outcome, LaunchAtLogin::Outcome::alreadyEnabled);
    // Moved executable: the entry follows it.
    EXPECT_EQ(LaunchAtLogin::enable(folder, u"/usr/bin/kestravin"_s).outcome, LaunchAtLogin::Outcome::registered);
    EXPECT_TRUE(readAll(path).contains("\nExec=\"/usr/bin/kestravin\"\n"));

    // The user's copy switched off, either way the desktops write it.
    for (const QByteArray& off : { QByteArray("Hidden=true"), QByteArray("X-GNOME-Autostart-enabled=false") }) {
        const QByteArray userCopy = "[Desktop Entry]\nType=Application\nName=Kestravin\nExec=kestravin\n" + off + "\n";
        ASSERT_TRUE(writeFile(path, userCopy));
        EXPECT_EQ(
            LaunchAtLogin::enable(folder, u"/usr/bin/kestravin"_s).outcome, LaunchAtLogin::Outcome::turnedOffByUser)
            << off.constData();
        EXPECT_EQ(readAll(path), userCopy);
    }

    // A folder that cannot be made is reported, not thrown away silently.
    ASSERT_TRUE(writeFile(home.filePath(u"blocked"_s), "a file, not a folder"));
    const auto failed = LaunchAtLogin::enable(home.filePath(u"blocked/autostart"_s), executable);
    EXPECT_EQ(failed.outcome, LaunchAtLogin::Outcome::failed);
    EXPECT_FALSE(failed.error.isEmpty());
}

} // namespace
} // namespace kestravin
