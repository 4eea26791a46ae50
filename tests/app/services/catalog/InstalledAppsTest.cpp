#include "app/services/catalog/InstalledApps.h"

#include "EventLoop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

class InstalledAppsTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString home() const { return temp.filePath(u"home/applications"_s); }
    QString system() const { return temp.filePath(u"system/applications"_s); }
    QStringList dirs() const { return { home(), system(), temp.filePath(u"missing"_s) }; }

    void write(const QString& dir, const QString& relative, const QString& body)
    {
        const QString path = QDir(dir).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((u"[Desktop Entry]\nType=Application\nExec=true\n"_s + body).toUtf8());
    }

    static QStringList ids(const QList<InstalledApp>& apps)
    {
        QStringList out;
        for (const InstalledApp& a : apps) {
            out << a.bundleIdentifier;
        }
        return out;
    }
};

TEST_F(InstalledAppsTest, ScanFollowsTheSearchPathAndLeavesOutWhatIsNotOffered)
{
    write(home(), u"Org.Example.Foo.desktop"_s, u"Name=Foo\n"_s);
    write(system(), u"org.example.foo.desktop"_s, u"Name=Foo do sistema\n"_s);
    write(system(), u"vendor/tool.desktop"_s, u"Name=Ferramenta\n"_s);
    write(system(), u"hidden.desktop"_s, u"Name=Escondido\nHidden=true\n"_s);
    write(system(), u"nodisplay.desktop"_s, u"Name=Invisivel\nNoDisplay=true\n"_s);
    write(system(), u"link.desktop"_s, u"Name=Link\n"_s);
    write(system(), u"org.gnome.Nautilus.desktop"_s, u"Name=Arquivos\n"_s);
    write(system(), u"com.kestravin.app.desktop"_s, u"Name=Kestravin\n"_s);
    write(home(), u"b.desktop"_s, u"Name=zeta\n"_s);
    write(system(), u"a.desktop"_s, u"Name=Zeta\n"_s);
    write(system(), u"gimp.desktop"_s, u"Name=GIMP\nName[pt_BR]=Editor GIMP\nName[de]=GIMP-Editor\n"_s);

    const QList<InstalledApp> apps = InstalledApps::scan(dirs(), u"com.kestravin.app"_s);
    EXPECT_EQ(ids(apps), (QStringList { u"gimp"_s, u"vendor-tool"_s, u"Org.Example.Foo"_s, u"link"_s, u"b"_s, u"a"_s }))
        << "sorted by name; equal names keep the order found";
    EXPECT_EQ(apps.at(0).name, u"Editor GIMP"_s);
    EXPECT_EQ(apps.at(2).name, u"Foo"_s) << "the first folder wins, letter case ignored";
    EXPECT_EQ(apps.at(2).path, QDir(home()).filePath(u"Org.Example.Foo.desktop"_s));
}

TEST_F(InstalledAppsTest, RefreshPublishesOnceAndAnswersLookups)
{
    write(system(), u"signal-desktop.desktop"_s, u"Name=Signal\nIcon=no-such-icon-anywhere\n"_s);
    write(system(), u"org.telegram.desktop.desktop"_s, u"Name=Telegram\n"_s);
    write(system(), u"gimp.desktop"_s, u"Name=GIMP\n"_s);

    InstalledApps installed([this] { return dirs(); }, std::nullopt);
    EXPECT_TRUE(installed.popular().isEmpty());
    EXPECT_FALSE(installed.app(u"gimp"_s));
    int published = 0;
    QObject::connect(&installed, &InstalledApps::appsChanged, [&] { ++published; });

    installed.refresh();
    installed.refresh();
    EXPECT_TRUE(installed.loading());
    EXPECT_FALSE(installed.loaded());
    ASSERT_TRUE(kestravin::testing::waitUntil([&] { return installed.loaded(); }));
    kestravin::testing::spin(50);
    EXPECT_EQ(published, 1) << "a refresh during a scan starts nothing";
    EXPECT_FALSE(installed.loading());

    EXPECT_EQ(ids(installed.popular()), (QStringList { u"org.telegram.desktop"_s, u"signal-desktop"_s }));
    EXPECT_EQ(installed.app(u"GIMP"_s)->bundleIdentifier, u"gimp"_s);

    const QString path = installed.app(u"signal-desktop"_s)->path;
    const QIcon icon = installed.icon(path);
    EXPECT_FALSE(icon.isNull()) << "an unknown icon name falls back to a generic icon";
    EXPECT_EQ(installed.icon(path).cacheKey(), icon.cacheKey());

    installed.refresh();
    EXPECT_TRUE(installed.loaded()) << "never set back while a rescan runs";
    ASSERT_TRUE(kestravin::testing::waitUntil([&] { return !installed.loading(); }));
}

// Two thousand entries: the scan's own time, and the longest the GUI thread
// goes without running its events while the scan runs.
TEST_F(InstalledAppsTest, ALargeScanLeavesTheGuiThreadFree)
{
    for (int i = 0; i < 2000; ++i) {
        write(i % 2 ? home() : system(), u"app%1.desktop"_s.arg(i),
            u"Name=Aplicativo %1\nName[pt_BR]=App %1\nIcon=app%1\nStartupWMClass=App%1\n"_s.arg(i));
    }
    QElapsedTimer direct;
    direct.start();
    EXPECT_EQ(InstalledApps::scan(dirs(), std::nullopt).size(), 2000);
    const qint64 scanMs = direct.elapsed();

    InstalledApps installed([this] { return dirs(); }, std::nullopt);
    QElapsedTimer gap;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, gap.restart()); });
    gap.start();
    ticker.start();
    installed.refresh();
    ASSERT_TRUE(kestravin::testing::waitUntil([&] { return installed.loaded(); }, 20000));
    ticker.stop();
    EXPECT_EQ(installed.apps().size(), 2000);
    RecordProperty("scan_ms", int(scanMs));
    RecordProperty("longest_gui_stall_ms", int(longestGap));
    std::printf("scan of 2000 entries: %lld ms; longest GUI-thread stall: %lld ms\n", static_cast<long long>(scanMs),
        static_cast<long long>(longestGap));
    // Publishing the list is the only GUI-thread work; the bound leaves room
    // for a loaded CI machine and the sanitizers.
    EXPECT_LT(longestGap, 100);
}

} // namespace
