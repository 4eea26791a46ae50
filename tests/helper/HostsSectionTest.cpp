#include "ServiceFixture.h"

#include "contract/HostsSection.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing;

namespace {

const QByteArray section = "# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.com\n::1 a.com\n# Kestravin END";

class HostsSectionTest : public ServiceFixture { };

// While alive, this thread obeys file permissions even as root (capabilities
// are per thread), so a read-only folder really refuses new files.
class FilePermissionsEnforced {
public:
    FilePermissionsEnforced()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        m_ok = syscall(SYS_capget, &m_header, m_saved) == 0;
        if (!m_ok)
            return;
        __user_cap_data_struct reduced[2] = { m_saved[0], m_saved[1] };
        for (int cap : { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER })
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_ok = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~FilePermissionsEnforced()
    {
        if (m_ok)
            syscall(SYS_capset, &m_header, m_saved);
    }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header {};
    __user_cap_data_struct m_saved[2] {};
    bool m_ok = false;
};

TEST_F(HostsSectionTest, activationWritesExactBytesAndDeactivationRestoresThem)
{
    HelperService& helper = start();
    helper.performActivateBlocking({ u"a.com"_s, u"B.com"_s, u"a.com"_s });
    const QByteArray expected = "127.0.0.1 localhost\n\n# Kestravin START - DO NOT EDIT THIS SECTION\n"
                                "127.0.0.1 a.com\n::1 a.com\n127.0.0.1 B.com\n::1 B.com\n127.0.0.1 a.com\n::1 a.com\n"
                                "# Kestravin END";
    EXPECT_EQ(hosts(), expected);
    EXPECT_TRUE(lines.contains(u"HelperService: Blocking activated for 3 sites"_s));
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"a.com"_s, u"B.com"_s }));

    helper.performActivateBlocking({ u"a.com"_s, u"B.com"_s, u"a.com"_s });
    EXPECT_EQ(hosts(), expected);
    EXPECT_EQ(flushes, 2);

    helper.performDeactivateBlocking();
    EXPECT_EQ(hosts(), "127.0.0.1 localhost\n");
    EXPECT_EQ(lines.last(), u"HelperService: Blocking deactivated"_s);
    EXPECT_EQ(flushes, 3);
}

TEST_F(HostsSectionTest, fileShapes)
{
    struct Case {
        const char* name;
        QByteArray before;
        QStringList activate; // empty: deactivate
        QByteArray after;
        int flushes;
    };
    const QList<Case> cases {
        { "no final line feed", "127.0.0.1 localhost", { u"a.com"_s }, "127.0.0.1 localhost\n" + section, 1 },
        { "empty file", "", { u"a.com"_s }, "\n" + section, 1 },
        { "two sections are both replaced", "x\n" + section + "\ny\n" + section + "\nz", { u"a.com"_s },
            "x\ny\nz\n" + section, 1 },
        { "two sections are both removed", "x\n" + section + "\ny\n" + section + "\nz", {}, "x\ny\nz", 1 },
        { "no section still rewrites and flushes", "x\n", {}, "x\n", 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeHosts(c.before);
        flushes = 0;
        HelperService& helper = start();
        if (c.activate.isEmpty())
            helper.performDeactivateBlocking();
        else
            helper.performActivateBlocking(c.activate);
        EXPECT_EQ(hosts(), c.after);
        EXPECT_EQ(flushes, c.flushes);
        helper.performDeactivateBlocking();
        if (!c.before.contains("START")) {
            EXPECT_EQ(hosts(), c.before);
        }
    }
}

TEST_F(HostsSectionTest, emptyActivationLeavesTheFileAlone)
{
    writeHosts("x\n" + section);
    HelperService& helper = start();
    helper.performActivateBlocking({});
    EXPECT_EQ(hosts(), "x\n" + section);
    EXPECT_EQ(flushes, 0);
    EXPECT_EQ(lines.last(), u"HelperService: No sites to block"_s);
}

TEST_F(HostsSectionTest, readerTakesOnlyLoopbackLinesInsideSections)
{
    const QByteArray text = "127.0.0.1 outside.com\n# Kestravin START - DO NOT EDIT THIS SECTION\r\n"
                            "0.0.0.0 z.com\n::1\n127.0.0.1    c.com   # note\n\tUPPER.com\n::1 UPPER.com\n"
                            "# Kestravin END\n127.0.0.1 after.com\n";
    EXPECT_EQ(HostsSection::blockedSites(text, HelperService::blockLoopbackAddresses()),
        QStringList({ u"c.com"_s, u"UPPER.com"_s }));
    // The line separators of Unicode end lines too.
    const QByteArray separated = "# Kestravin START - DO NOT EDIT THIS SECTION\xE2\x80\xA8"
                                 "127.0.0.1 d.com\xC2\x85# Kestravin END";
    EXPECT_EQ(
        HostsSection::blockedSites(separated, HelperService::blockLoopbackAddresses()), QStringList({ u"d.com"_s }));
    // Different invalid UTF-8 bytes that decode to the same text count once.
    const QByteArray invalid = "# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 \xDD.com\n127.0.0.1 \xFF.com\n"
                               "127.0.0.1 \xDD.com\n# Kestravin END";
    EXPECT_EQ(HostsSection::blockedSites(invalid, HelperService::blockLoopbackAddresses()),
        QStringList({ QString::fromUtf8("\xDD.com") }));
}

TEST_F(HostsSectionTest, bytesOutsideTheSectionPassThroughUnchanged)
{
    // Latin-1 and broken UTF-8 in the user's comments must survive.
    const QByteArray own = "127.0.0.1 localhost # caf\xE9 \xFF\xFE\n10.0.0.1 nas\t# \xC3\n";
    writeHosts(own);
    HelperService& helper = start();
    helper.performActivateBlocking({ u"a.com"_s });
    EXPECT_TRUE(hosts().startsWith(own));
    helper.performDeactivateBlocking();
    EXPECT_EQ(hosts(), own);
}

TEST_F(HostsSectionTest, startMarkerWithoutEndNeverCostsTheUsersLines)
{
    struct Case {
        const char* name;
        QByteArray before;
        QByteArray afterRemoval;
    };
    const QList<Case> cases {
        { "orphan at the end", "mine\n# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.com\n::1 a.com",
            "mine" },
        { "orphan before user lines",
            "a\n# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.com\n::1 a.com\nkeep me\n10.0.0.2 nas\n",
            "a\nkeep me\n10.0.0.2 nas\n" },
        { "orphan before a whole section",
            "a\n# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 x.com\nkeep me\n" + section + "\nb",
            "a\nkeep me\nb" },
        { "orphan at the start", "# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.com\nkeep\n", "keep\n" },
        // The text before a marker keeps its line end instead of swallowing the next line.
        { "orphan after text on its line",
            "10.0.0.1 nas # Kestravin START - DO NOT EDIT THIS SECTION\n10.0.0.2 printer\n",
            "10.0.0.1 nas \n10.0.0.2 printer\n" },
        { "orphan right after a section", "x\n" + section + "# Kestravin START - DO NOT EDIT THIS SECTION\nb", "x\nb" },
        // Cutting a section out must not join its neighbours into a new marker.
        { "cut that joins a marker", "# Kestravin START - DO NOT EDIT TH" + section + "IS SECTION\nkeep\n", "keep\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HostsSection::withoutSections(c.before, HelperService::blockLoopbackAddresses()), c.afterRemoval);
        // Two activations in a row (the second pairs markers again) keep them too.
        writeHosts(c.before);
        HelperService& helper = start();
        helper.performActivateBlocking({ u"b.com"_s });
        helper.performActivateBlocking({ u"c.com"_s });
        helper.performDeactivateBlocking();
        EXPECT_EQ(hosts(), c.afterRemoval);
    }
}

TEST_F(HostsSectionTest, rewriteKeepsModeOwnerAndSymlink)
{
    ASSERT_EQ(::chmod(QFile::encodeName(hostsPath).constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(hostsPath).constData(), 65534, 65534), 0);
    }
    const QString link = dir.filePath(u"hosts-link"_s);
    ASSERT_TRUE(QFile::link(hostsPath, link));

    hostsPath = link;
    HelperService& helper = start();
    helper.performActivateBlocking({ u"a.com"_s });

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    const QString target = dir.filePath(u"hosts"_s);
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("127.0.0.1 a.com"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

TEST_F(HostsSectionTest, badHostsNeverReachTheFile)
{
    HelperService& helper = start();
    const HelperReply reply = helper.activateBlocking(
        { u"ok.com"_s, u"evil.com\n6.6.6.6 bank.com"_s, u""_s, u"a b.com"_s, u"# Kestravin END"_s });
    EXPECT_TRUE(reply.success);
    EXPECT_EQ(helper.getBlockedSitesFromHosts(), QStringList({ u"ok.com"_s }));
    EXPECT_FALSE(hosts().contains("bank"));
    EXPECT_EQ(lines.filter(u"invalid host"_s), QStringList({ u"HelperService: Ignored 4 invalid host names"_s }));

    // Only bad hosts: the empty-list answer.
    helper.deactivateBlocking();
    EXPECT_EQ(helper.activateBlocking({ u"x\ny"_s }), HelperReply::failure(u"Failed to verify blocking was applied"_s));
    EXPECT_FALSE(sectionPresent());
}

TEST_F(HostsSectionTest, badHostInTheScheduleDoesNotMakeTheCheckRewriteForever)
{
    HelperService& helper = start();
    giveSchedule(weekdays(9, 0, 17, 0, { u"a.com"_s, u"bad host"_s }));
    EXPECT_EQ(helper.currentConfig()->blockedSites, QStringList({ u"a.com"_s }));
    const int afterFirst = flushes;
    EXPECT_EQ(afterFirst, 1);
    for (int i = 0; i < 3; ++i) {
        now = now.addSeconds(31);
        helper.pollSchedule();
    }
    EXPECT_EQ(flushes, afterFirst);
}

TEST_F(HostsSectionTest, failedWriteIsNeverReportedAsSuccess)
{
    // An older section stays in the file while the new one cannot be written.
    HelperService& helper = start();
    ASSERT_TRUE(helper.activateBlocking({ u"old.com"_s }).success);
    const QByteArray before = hosts();
    const int flushed = flushes;
    {
        FilePermissionsEnforced enforced;
        ASSERT_TRUE(enforced.ok());
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
        EXPECT_EQ(helper.activateBlocking({ u"new.com"_s }),
            HelperReply::failure(u"Failed to verify blocking was applied"_s));
        EXPECT_EQ(helper.deactivateBlocking(), HelperReply::failure(u"Failed to verify blocking was removed"_s));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    }
    EXPECT_EQ(hosts(), before);
    EXPECT_EQ(flushes, flushed);
    EXPECT_EQ(lines.filter(u"HelperService: Failed to activate blocking: "_s).size(), 1);
}

TEST_F(HostsSectionTest, hungFlushCommandIsCutShort)
{
    // A resolvectl that never ends: the flush gives up after a few seconds.
    const QString bin = dir.filePath(u"bin"_s);
    ASSERT_TRUE(QDir().mkpath(bin));
    QFile script(bin + u"/resolvectl"_s);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch \"$0.ran\"\nexec sleep 60\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);

    HelperService::Options options;
    options.hostsPath = hostsPath;
    options.configPath = configPath;
    options.log = [](const QString&) {};
    options.monitor = false;
    HelperService helper(std::move(options));
    QElapsedTimer elapsed;
    elapsed.start();
    helper.flushDNSCache();
    qputenv("PATH", path);
    EXPECT_TRUE(QFileInfo::exists(bin + u"/resolvectl.ran"_s));
    EXPECT_LT(elapsed.elapsed(), 10000);
}

TEST_F(HostsSectionTest, unreadableHostsFileFailsBothCalls)
{
    QFile::remove(hostsPath);
    HelperService& helper = start();
    EXPECT_EQ(
        helper.activateBlocking({ u"a.com"_s }), HelperReply::failure(u"Failed to verify blocking was applied"_s));
    EXPECT_TRUE(lines.filter(u"HelperService: Failed to activate blocking: "_s).size() == 1);
    EXPECT_EQ(helper.deactivateBlocking(), HelperReply::failure(u"Failed to verify blocking was removed"_s));
    EXPECT_TRUE(lines.filter(u"HelperService: Failed to deactivate blocking: "_s).size() == 1);
    EXPECT_FALSE(helper.isBlockingActive());
    EXPECT_TRUE(helper.getBlockedSites().isEmpty());
    EXPECT_EQ(flushes, 0);
}

} // namespace
