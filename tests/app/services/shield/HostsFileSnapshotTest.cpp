#include "app/services/shield/HostsFileSnapshot.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

class HostsFileSnapshotTest : public ::testing::Test {
protected:
    // Writes in place: the inode stays.
    void write(const QByteArray& bytes, const QString& to = {})
    {
        QFile file(to.isEmpty() ? path : to);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    void setModified(const struct timespec& time)
    {
        const struct timespec times[2] = { time, time };
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }

    QTemporaryDir dir;
    QString path = dir.filePath(u"hosts"_s);
};

TEST_F(HostsFileSnapshotTest, TheFileIsReadAgainOnlyWhenItChanged)
{
    HostsFileSnapshot snapshot(path);
    write("one 1\n");
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_EQ(snapshot.text(), u"one 1\n"_s);
    EXPECT_EQ(snapshot.reads(), 1);

    // A write of the same size and a replacement by rename are both seen,
    // even with the old modification time put back.
    struct stat before { };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    write("two 2\n");
    setModified(before.st_mtim);
    EXPECT_EQ(snapshot.text(), u"two 2\n"_s);

    const QString replacement = dir.filePath(u"hosts.new"_s);
    write("six 6\n", replacement);
    ASSERT_EQ(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(path).constData()), 0);
    setModified(before.st_mtim);
    EXPECT_EQ(snapshot.text(), u"six 6\n"_s);
    EXPECT_EQ(snapshot.text(), u"six 6\n"_s);
    EXPECT_EQ(snapshot.reads(), 3);
}

TEST_F(HostsFileSnapshotTest, NothingForAFileItCannotOrMustNotRead)
{
    HostsFileSnapshot snapshot(path, 8);
    EXPECT_FALSE(snapshot.text()) << "missing";

    write("12345678");
    EXPECT_EQ(snapshot.text(), u"12345678"_s);
    write("123456789");
    EXPECT_FALSE(snapshot.text()) << "over the limit";
    EXPECT_FALSE(snapshot.text());
    EXPECT_EQ(snapshot.reads(), 1) << "a file over the limit is not read at all";
    write("1234");
    EXPECT_EQ(snapshot.text(), u"1234"_s) << "back under it";

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_FALSE(snapshot.text()) << "a folder";
    ASSERT_TRUE(QDir().rmdir(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_FALSE(snapshot.text()) << "a pipe, which must not hang the caller";
}

} // namespace
