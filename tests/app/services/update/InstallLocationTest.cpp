#include "app/services/update/InstallLocation.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using kestravin::testing::writeFile;

TEST(InstallLocation, NeedsMoveOnlyFromRemovableOrTemporaryPlaces)
{
    const InstallLocation::Environment environment { u"/home/ana"_s, u"/run/user/1000"_s };
    const struct {
        const char* path;
        bool needsMove;
    } cases[] = {
        { "/media/ana/USB/Kestravin", true },
        { "/run/media/ana/USB/Kestravin", true },
        { "/mnt/usb/Kestravin", true },
        { "/tmp/Kestravin", true },
        { "/tmp/extract.x1/Kestravin/", true },
        { "/run/user/1000/doc/abc/Kestravin", true },
        { "/home/ana/Applications/Kestravin", false },
        { "/home/ana/Downloads/Kestravin", false },
        { "/opt/Kestravin", false },
        { "/mediaX/Kestravin", false },
        { "/tmpfiles/Kestravin", false },
        { "/run/user/10000/Kestravin", false },
        { "/tmp/../opt/Kestravin", false },
        { "Kestravin", false },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallLocation::needsMove(QString::fromUtf8(c.path), environment), c.needsMove) << c.path;
    }
    // A home folder on a mounted disk is still home.
    EXPECT_FALSE(InstallLocation::needsMove(u"/mnt/home/ana/Kestravin"_s, { u"/mnt/home/ana"_s, {} }));
    // Without a runtime folder nothing else counts as temporary.
    EXPECT_FALSE(InstallLocation::needsMove(u"/run/user/1000/Kestravin"_s, { u"/home/ana"_s, {} }));
    EXPECT_EQ(InstallLocation::destination(environment), u"/home/ana/Applications/Kestravin"_s);
}

namespace {

class ScriptedMove : public MoveServices {
public:
    bool answer = true;
    bool launchResult = true;
    QStringList events;
    QString launched;
    // Checked when the other instances are asked to quit.
    std::function<void()> onQuitOthers;

    bool askToMove() override
    {
        events << u"ask"_s;
        return answer;
    }
    bool quitOtherInstances(std::chrono::milliseconds limit) override
    {
        events << u"quit others"_s;
        EXPECT_GT(limit.count(), 0);
        if (onQuitOthers) {
            onQuitOthers();
        }
        return true;
    }
    bool launch(const QString& program, QString* error) override
    {
        events << u"launch"_s;
        launched = program;
        if (!launchResult) {
            *error = u"exec format error"_s;
        }
        return launchResult;
    }
    void showMoveFailure() override { events << u"failure"_s; }
    void openFolder(const QString& path) override { events << u"open "_s + QFileInfo(path).fileName(); }
    void terminate() override { events << u"terminate"_s; }
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class MoveFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        home = root.path() + u"/home"_s;
        QDir().mkpath(home);
        qputenv("XDG_DATA_HOME", QFile::encodeName(home + u"/.local/share"_s));
        bundle = root.path() + u"/media/USB/Kestravin"_s;
        writeFile(bundle + u"/kestravin"_s, "new app",
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        writeFile(bundle + u"/bundle.ini"_s, "[bundle]\nversion=2.0.0\n");
        writeFile(bundle + u"/packaging/com.kestravin.app.desktop"_s, "[Desktop Entry]\n");
        QFile::link(u"packaging"_s, bundle + u"/share"_s);
        environment = { home, {} };
        target = InstallLocation::destination(environment);
    }

    void installOldCopy() { writeFile(target + u"/kestravin"_s, "old app"); }

    QStringList applicationsEntries() const
    {
        return QDir(home + u"/Applications"_s).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir root;
    QString home;
    QString bundle;
    QString target;
    InstallLocation::Environment environment;
    ScriptedMove services;
};

} // namespace

TEST_F(MoveFlow, SairTouchesNothing)
{
    services.answer = false;
    EXPECT_FALSE(InstallLocation::offerMove(bundle, environment, services));
    EXPECT_EQ(services.events, (QStringList { u"ask"_s, u"terminate"_s }));
    EXPECT_FALSE(QFileInfo::exists(home + u"/Applications"_s));
    EXPECT_FALSE(QFileInfo::exists(home + u"/.local/share/Trash"_s));
}

TEST_F(MoveFlow, CopiesWholeThenTrashesTheOlderCopyAndRelaunches)
{
    installOldCopy();
    services.onQuitOthers = [&] {
        // Nothing is copied before the other instances were asked to quit.
        EXPECT_EQ(readFile(target + u"/kestravin"_s), "old app");
    };
    EXPECT_TRUE(InstallLocation::offerMove(bundle, environment, services));
    EXPECT_EQ(services.events, (QStringList { u"ask"_s, u"quit others"_s, u"launch"_s, u"terminate"_s }));
    EXPECT_EQ(services.launched, target + u"/kestravin"_s);

    EXPECT_EQ(readFile(target + u"/kestravin"_s), "new app");
    EXPECT_TRUE(QFileInfo(target + u"/kestravin"_s).isExecutable());
    EXPECT_EQ(readFile(target + u"/packaging/com.kestravin.app.desktop"_s), "[Desktop Entry]\n");
    EXPECT_EQ(QFileInfo(target + u"/share"_s).symLinkTarget(), target + u"/packaging"_s);
    // The older copy went to the trash, not away.
    EXPECT_EQ(readFile(home + u"/.local/share/Trash/files/Kestravin/kestravin"_s), "old app");
    EXPECT_EQ(applicationsEntries(), QStringList { u"Kestravin"_s });
    // The running bundle stays as it was.
    EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "new app");
}

TEST_F(MoveFlow, FailedCopyKeepsTheOldInstall)
{
    installOldCopy();
    // Something that cannot be copied, half-way through the bundle.
    ASSERT_EQ(::mkfifo(QFile::encodeName(bundle + u"/packaging/pipe"_s).constData(), 0600), 0);
    EXPECT_FALSE(InstallLocation::offerMove(bundle, environment, services));
    EXPECT_EQ(services.events,
        (QStringList { u"ask"_s, u"quit others"_s, u"failure"_s, u"open Applications"_s, u"terminate"_s }));
    EXPECT_EQ(readFile(target + u"/kestravin"_s), "old app");
    EXPECT_EQ(applicationsEntries(), QStringList { u"Kestravin"_s });
    EXPECT_FALSE(QFileInfo::exists(home + u"/.local/share/Trash/files/Kestravin"_s));
}

TEST_F(MoveFlow, ALaunchErrorShowsTheFailureInsteadOfQuittingSilently)
{
    services.launchResult = false;
    EXPECT_FALSE(InstallLocation::offerMove(bundle, environment, services));
    EXPECT_EQ(services.events,
        (QStringList {
            u"ask"_s, u"quit others"_s, u"launch"_s, u"failure"_s, u"open Applications"_s, u"terminate"_s }));
    // The copy itself is in place; the user can start it by hand.
    EXPECT_EQ(readFile(target + u"/kestravin"_s), "new app");
}
