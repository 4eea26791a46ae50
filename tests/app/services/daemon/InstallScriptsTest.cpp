#include "app/services/daemon/HelperInstaller.h"

#include "contract/HelperConstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// Runs the installer's scripts with bash against a temporary root, with
// systemctl, chown and dbus-send replaced by recorders.
class InstallScriptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.filePath(u"root"_s);
        bin = dir.filePath(u"bin"_s);
        log = dir.filePath(u"commands.log"_s);
        QDir().mkpath(root + u"/etc"_s);
        QDir().mkpath(bin);
        for (const QString& tool : { u"systemctl"_s, u"chown"_s, u"dbus-send"_s }) {
            write(bin + u"/"_s + tool, u"#!/bin/sh\necho \"%1 $*\" >> '%2'\n"_s.arg(tool, log));
            QFile::setPermissions(bin + u"/"_s + tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    static void write(const QString& path, const QString& text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    static QString read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static unsigned modeOf(const QString& path)
    {
        struct stat info { };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    struct Run {
        int exitCode = -1;
        QString output;
    };

    Run run(const QString& script, const QStringList& arguments)
    {
        const QString path = dir.filePath(u"script.sh"_s);
        write(path, script);
        QProcess process;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PATH"_s, bin + u":"_s + env.value(u"PATH"_s));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(u"/bin/bash"_s, QStringList { path } + arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return { process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()) };
    }

    QTemporaryDir dir;
    QString root;
    QString bin;
    QString log;
};

TEST_F(InstallScriptsTest, InstallCopiesTheDaemonWithoutInterpretingItsPath)
{
    // A folder name that would run commands if the path reached a shell line.
    const QString sourceDir = dir.filePath(u"we\"ird $(touch PWNED) `touch PWNED2` 'q'"_s);
    const QString source = sourceDir + u"/com.kestravin.helper"_s;
    write(source, u"daemon-bytes"_s);
    QDir().mkpath(root + u"/run/systemd/system"_s); // systemd runs

    const Run result = run(HelperInstaller::createInstallScript(root), { source, u"alice"_s });
    ASSERT_EQ(result.exitCode, 0) << result.output.toStdString();
    EXPECT_TRUE(result.output.contains(u"Helper installed successfully"_s));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"PWNED"_s)));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"PWNED2"_s)));

    const QString installed = root + HelperConstants::helperInstallPath;
    EXPECT_EQ(read(installed), u"daemon-bytes"_s);
    EXPECT_EQ(modeOf(installed), 0544);
    EXPECT_FALSE(QFileInfo::exists(installed + u".new"_s));
    EXPECT_EQ(read(root + HelperConstants::systemdUnitPath), HelperInstaller::createSystemdUnit() + u"\n"_s);
    EXPECT_EQ(read(root + HelperConstants::dbusActivationPath), HelperInstaller::createDbusActivationFile() + u"\n"_s);
    EXPECT_EQ(read(root + HelperConstants::dbusPolicyPath), HelperInstaller::createDbusPolicy(u"alice"_s) + u"\n"_s);
    // The packaged files, with the caller's own policy added.
    EXPECT_TRUE(HelperInstaller::createSystemdUnit().contains(u"BusName=com.kestravin.helper"_s));
    EXPECT_TRUE(read(root + HelperConstants::dbusPolicyPath).contains(u"<policy user=\"alice\">"_s));
    EXPECT_EQ(modeOf(root + QFileInfo(HelperConstants::helperConfigPath).path()), 0700);
    EXPECT_EQ(modeOf(root + HelperConstants::dbusPolicyPath), 0644);

    const QString commands = read(log);
    EXPECT_TRUE(commands.contains(u"chown root:root "_s + installed + u".new"_s)) << commands.toStdString();
    EXPECT_FALSE(commands.contains(u"wheel"_s));
    EXPECT_TRUE(commands.contains(u"systemctl daemon-reload\nsystemctl enable --now com.kestravin.helper.service"_s))
        << commands.toStdString();
}

TEST_F(InstallScriptsTest, InstallRefusesAUserNameThatCouldEscapeThePolicy)
{
    const QString source = dir.filePath(u"com.kestravin.helper"_s);
    write(source, u"x"_s);
    for (const QString& user : { u""_s, u"al\"ice"_s, u"-rf"_s, u"a/b"_s, u"a b"_s }) {
        const Run result = run(HelperInstaller::createInstallScript(root), { source, user });
        EXPECT_NE(result.exitCode, 0) << user.toStdString();
        EXPECT_FALSE(QFileInfo::exists(root + HelperConstants::dbusPolicyPath));
    }
    const Run missing = run(HelperInstaller::createInstallScript(root), { dir.filePath(u"nothing"_s), u"alice"_s });
    EXPECT_NE(missing.exitCode, 0);
}

TEST_F(InstallScriptsTest, UninstallLiftsTheBlockThenRemovesTheDaemon)
{
    const QString source = dir.filePath(u"com.kestravin.helper"_s);
    write(source, u"x"_s);
    QDir().mkpath(root + u"/run/systemd/system"_s);
    ASSERT_EQ(run(HelperInstaller::createInstallScript(root), { source, u"alice"_s }).exitCode, 0);
    write(root + HelperConstants::helperConfigPath, u"{}"_s);
    const QString hosts = root + HelperConstants::hostsFilePath;
    write(hosts,
        u"127.0.0.1 localhost\n\n# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.example\n"
        "::1 a.example\n# Kestravin END\n10.0.0.1 mine\n"_s);
    QFile::remove(log);

    const Run result = run(HelperInstaller::createUninstallScript(root), {});
    ASSERT_EQ(result.exitCode, 0) << result.output.toStdString();
    EXPECT_TRUE(result.output.contains(u"Helper uninstalled successfully"_s));
    EXPECT_EQ(read(hosts), u"127.0.0.1 localhost\n\n10.0.0.1 mine\n"_s);
    for (const QString& path :
        { HelperConstants::helperInstallPath, HelperConstants::systemdUnitPath, HelperConstants::dbusPolicyPath,
            HelperConstants::dbusActivationPath, HelperConstants::helperConfigPath }) {
        EXPECT_FALSE(QFileInfo::exists(root + path)) << path.toStdString();
    }
    // The daemon is asked to lift its block before it is disabled.
    const QString commands = read(log);
    const auto asked = commands.indexOf(u"com.kestravin.Helper.uninstallHelper"_s);
    const auto disabled = commands.indexOf(u"systemctl disable --now com.kestravin.helper.service"_s);
    EXPECT_GE(asked, 0) << commands.toStdString();
    EXPECT_GT(disabled, asked);
}

TEST_F(InstallScriptsTest, UninstallKeepsTheUsersLinesAfterAStartMarkerWithoutEnd)
{
    const QString hosts = root + HelperConstants::hostsFilePath;
    struct Case {
        QString before;
        QString after;
    };
    const QList<Case> cases {
        { u"a\n# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 x\nuser line\n"_s,
            u"a\n127.0.0.1 x\nuser line\n"_s },
        { u"a\nb\n"_s, u"a\nb\n"_s },
        { u"# Kestravin START - DO NOT EDIT THIS SECTION\n1 x\n# Kestravin END\n"
          "# Kestravin START - DO NOT EDIT THIS SECTION\n2 y\n# Kestravin END\nz\n"_s,
            u"z\n"_s },
    };
    for (const auto& c : cases) {
        write(hosts, c.before);
        ASSERT_EQ(run(HelperInstaller::createUninstallScript(root), {}).exitCode, 0);
        EXPECT_EQ(read(hosts), c.after) << c.before.toStdString();
    }
}

} // namespace
} // namespace kestravin
