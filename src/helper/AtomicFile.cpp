#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin::AtomicFile {

namespace {

QString errnoText(const QString& what, int error)
{
    return what + u": "_s + QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The path that `write` replaces: a symbolic link's target, else the path.
QString targetOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
}

const QString temporarySuffix = u".kestravin-"_s;
// mkstemp's six letters and digits.
constexpr qsizetype uniqueLength = 6;

QString notRegular(const QString& path)
{
    return path + u" is not a regular file"_s;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, mode_t newFileMode, QString* error)
{
    const QString target = targetOf(path);
    const QByteArray targetPath = QFile::encodeName(target);

    struct stat old { };
    const bool hadFile = ::stat(targetPath.constData(), &old) == 0;
    if (hadFile && !S_ISREG(old.st_mode)) {
        if (error)
            *error = notRegular(target);
        return false;
    }
    const mode_t mode = hadFile ? (old.st_mode & 07777) : newFileMode;

    const QFileInfo targetInfo(target);
    QByteArray tempPath = QFile::encodeName(
        targetInfo.absolutePath() + u"/."_s + targetInfo.fileName() + temporarySuffix + QString(uniqueLength, u'X'));
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0) {
        if (error)
            *error = errnoText(u"cannot create a temporary file beside "_s + target, errno);
        return false;
    }
    const auto fail = [&](const QString& what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(tempPath.constData());
        if (error)
            *error = errnoText(what, saved);
        return false;
    };
    if (::fchmod(fd, mode) != 0)
        return fail(u"cannot set the mode of the temporary file"_s);
    // Root keeps the old owner; anyone else can only keep their own, which is
    // then the old owner anyway.
    if (hadFile && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return fail(u"cannot keep the owner of "_s + target);
    if (!writeAll(fd, bytes))
        return fail(u"cannot write the temporary file"_s);
    if (::fsync(fd) != 0)
        return fail(u"cannot flush the temporary file"_s);
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(tempPath.constData());
        if (error)
            *error = errnoText(u"cannot close the temporary file"_s, saved);
        return false;
    }
    if (::rename(tempPath.constData(), targetPath.constData()) != 0) {
        const int saved = errno;
        ::unlink(tempPath.constData());
        if (error)
            *error = errnoText(u"cannot replace "_s + target, saved);
        return false;
    }
    return true;
}

bool read(const QString& path, QByteArray& out, QString* error)
{
    const auto fail = [error](const QString& what, int code) {
        if (error)
            *error = errnoText(what, code);
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(u"cannot open "_s + path, errno);
    struct stat info { };
    if (::fstat(fd, &info) != 0) {
        const int saved = errno;
        ::close(fd);
        return fail(u"cannot examine "_s + path, saved);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        if (error)
            *error = notRegular(path);
        return false;
    }
    // The size is a hint: a file that grows meanwhile is read to its end.
    qsizetype capacity = std::max<qsizetype>(static_cast<qsizetype>(info.st_size) + 1, 4096);
    out.resize(capacity);
    qsizetype total = 0;
    for (;;) {
        if (total == capacity) {
            capacity *= 2;
            out.resize(capacity);
        }
        const ssize_t got = ::read(fd, out.data() + total, static_cast<size_t>(capacity - total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int saved = errno;
            ::close(fd);
            out.resize(0);
            return fail(u"cannot read "_s + path, saved);
        }
        if (got == 0)
            break;
        total += got;
    }
    ::close(fd);
    out.resize(total);
    return true;
}

int removeLeftovers(const QString& path)
{
    const QFileInfo target(targetOf(path));
    // `write` hands the temporary file to the target's owner before the
    // rename, so a leftover may carry that owner instead of ours.
    struct stat targetInfo { };
    const bool targetKnown = ::stat(QFile::encodeName(target.absoluteFilePath()).constData(), &targetInfo) == 0;
    const auto ownedAsWritten
        = [&](uid_t owner) { return owner == ::geteuid() || (targetKnown && owner == targetInfo.st_uid); };
    const QString prefix = u"."_s + target.fileName() + temporarySuffix;
    const QDir folder = target.absoluteDir();
    int removed = 0;
    const QStringList names = folder.entryList({ prefix + u'*' }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& fileName : names) {
        const QStringView unique = QStringView(fileName).sliced(prefix.size());
        if (unique.size() != uniqueLength || !std::all_of(unique.begin(), unique.end(), [](QChar c) {
                return c.isLetterOrNumber() && c.unicode() < 128;
            }))
            continue;
        const QByteArray leftover = QFile::encodeName(folder.filePath(fileName));
        struct stat info { };
        // lstat: a link planted under that name is not followed, nor removed.
        if (::lstat(leftover.constData(), &info) != 0 || !S_ISREG(info.st_mode) || !ownedAsWritten(info.st_uid))
            continue;
        if (::unlink(leftover.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace kestravin::AtomicFile
