#include "app/platform/DesktopEntryIndex.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString home() const { return tmp.filePath(u"home/applications"_s); }
    QString system() const { return tmp.filePath(u"system/applications"_s); }

    void write(const QString& dir, const QString& relative, const QString& body)
    {
        const QString path = dir + u'/' + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(body.toUtf8());
    }
    void app(const QString& dir, const QString& relative, const QString& extra)
    {
        write(dir, relative, u"[Desktop Entry]\nType=Application\n"_s + extra);
    }
    DesktopEntryIndex index() const { return DesktopEntryIndex({ home(), system() }); }
};

TEST_F(DesktopEntryIndexTest, EarlierFoldersWinAndHiddenEntriesClaimTheirId)
{
    app(home(), u"org.example.Chat.desktop"_s, u"Name=Chat do usuário\n"_s);
    app(system(), u"org.example.Chat.desktop"_s, u"Name=Chat\n"_s);
    app(home(), u"org.example.Gone.desktop"_s, u"Name=Gone\nHidden=true\n"_s);
    app(system(), u"org.example.Gone.desktop"_s, u"Name=Gone\n"_s);
    app(system(), u"org.example.Quiet.desktop"_s, u"Name=Quiet\nNoDisplay=true\n"_s);
    write(system(), u"org.example.Link.desktop"_s, u"[Desktop Entry]\nType=Link\nName=Link\n"_s);
    app(system(), u"vendor/tool.desktop"_s, u"Name=Caf\\sé\n"_s);
    write(system(), u"broken.desktop"_s, u"Name=No group\n"_s);
    app(system(), u"org.example.Actions.desktop"_s,
        u"Name=Actions\nExec=actions\n[Desktop Action new]\nName=Other\nExec=other\n"_s);

    const DesktopEntryIndex entries = index();
    QStringList ids;
    for (const DesktopEntry& e : entries.entries()) {
        ids.append(e.id);
    }
    ids.sort();
    EXPECT_EQ(ids, (QStringList { u"org.example.Actions"_s, u"org.example.Chat"_s, u"vendor-tool"_s }));
    ASSERT_NE(entries.entry(u"org.example.Chat"_s), nullptr);
    EXPECT_EQ(entries.entry(u"org.example.Chat"_s)->name, u"Chat do usuário"_s);
    EXPECT_EQ(entries.entry(u"vendor-tool"_s)->name, u"Caf é"_s);
    EXPECT_EQ(entries.entry(u"org.example.Actions"_s)->name, u"Actions"_s);
    EXPECT_EQ(entries.entry(u"org.example.Actions"_s)->programs, QStringList { u"actions"_s });
}

TEST_F(DesktopEntryIndexTest, MatchesWindowClassesAndExecutables)
{
    app(system(), u"org.example.Chat.desktop"_s,
        u"Name=Chat\nStartupWMClass=ChatWindow\nExec=/opt/Chat/chat-bin %U\n"_s);
    app(system(), u"firefox-esr.desktop"_s, u"Name=Firefox ESR\nExec=/usr/lib/firefox-esr/firefox-esr %u\n"_s);
    app(system(), u"org.gnome.Calculator.desktop"_s, u"Name=Calculadora\nExec=gnome-calculator\n"_s);
    app(system(), u"discord.desktop"_s, u"Name=Discord Canary\nExec=env GDK_BACKEND=x11 discord-canary\n"_s);
    app(system(), u"myapp.desktop"_s, u"Name=My App\nExec=\"/opt/My App/my-app\" --new\nTryExec=my-app-launcher\n"_s);
    app(system(), u"com.example.Flat.desktop"_s, u"Name=Flat\nExec=/usr/bin/flatpak run com.example.Flat\n"_s);
    const DesktopEntryIndex entries = index();

    struct ClassCase {
        QString instance, className, id;
    };
    const ClassCase classes[] = {
        { u"chat"_s, u"chatwindow"_s, u"org.example.Chat"_s }, // StartupWMClass, letter case ignored
        { u"Navigator"_s, u"firefox-esr"_s, u"firefox-esr"_s }, // the desktop-file ID
        { u"org.gnome.Calculator"_s, u""_s, u"org.gnome.Calculator"_s }, // ID from the instance
        { u"calculator"_s, u"Calculator"_s, u"org.gnome.Calculator"_s }, // last part of a reverse-DNS ID
        { u"discord"_s, u"Discord Canary"_s, u"discord"_s }, // ID before name
        { u"x"_s, u"My App"_s, u"myapp"_s }, // display name
        { u"nobody"_s, u"Nobody"_s, u""_s },
    };
    for (const ClassCase& c : classes) {
        const DesktopEntry* found = entries.matchWindowClass(c.instance, c.className);
        EXPECT_EQ(found ? found->id : QString(), c.id) << c.className.toStdString();
    }

    struct ExecCase {
        QString executable, id;
    };
    const ExecCase executables[] = {
        { u"/opt/Chat/chat-bin"_s, u"org.example.Chat"_s },
        { u"/usr/lib/firefox-esr/firefox-esr"_s, u"firefox-esr"_s },
        { u"/usr/bin/discord-canary"_s, u"discord"_s }, // after env and its assignment
        { u"/opt/My App/my-app"_s, u"myapp"_s }, // quoted path with a space
        { u"/usr/bin/my-app-launcher"_s, u"myapp"_s }, // TryExec
        { u"/usr/bin/flatpak"_s, u""_s }, // a launcher names no app
        { u""_s, u""_s },
    };
    for (const ExecCase& c : executables) {
        const DesktopEntry* found = entries.matchExecutable(c.executable);
        EXPECT_EQ(found ? found->id : QString(), c.id) << c.executable.toStdString();
    }
}

TEST_F(DesktopEntryIndexTest, ReloadsWhenAnAppIsInstalled)
{
    app(system(), u"a.desktop"_s, u"Name=A\n"_s);
    DesktopEntryIndex entries = index();
    EXPECT_FALSE(entries.reloadIfChanged());

    app(system(), u"b.desktop"_s, u"Name=B\n"_s);
    // Make the folder's change visible whatever the file system's clock
    // resolution.
    const timespec later[2] = { { time(nullptr) + 5, 0 }, { time(nullptr) + 5, 0 } };
    ASSERT_EQ(utimensat(AT_FDCWD, system().toLocal8Bit().constData(), later, 0), 0);
    EXPECT_TRUE(entries.reloadIfChanged());
    EXPECT_NE(entries.entry(u"b"_s), nullptr);
    EXPECT_FALSE(entries.reloadIfChanged());
}

} // namespace
} // namespace kestravin
