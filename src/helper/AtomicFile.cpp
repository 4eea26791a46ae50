#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

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

} // namespace

bool write(const QString& path, const QByteArray& bytes, mode_t newFileMode, QString* error)
{
    const QFileInfo info(path);
    const QString target = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray targetPath = QFile::encodeName(target);

    struct stat old { };
    const bool hadFile = ::stat(targetPath.constData(), &old) == 0;
    const mode_t mode = hadFile ? (old.st_mode & 07777) : newFileMode;

    const QFileInfo targetInfo(target);
    QByteArray tempPath
        = QFile::encodeName(targetInfo.absolutePath() + u"/."_s + targetInfo.fileName() + u".kestravin-XXXXXX"_s);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    out = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace kestravin::AtomicFile
