#include "FileStamp.h"

#include <QFile>

#include <sys/stat.h>

namespace kestravin {

std::optional<FileStamp> FileStamp::of(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    constexpr qint64 nanoseconds = 1'000'000'000;
    return FileStamp { static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
        static_cast<qint64>(info.st_size), qint64(info.st_mtim.tv_sec) * nanoseconds + info.st_mtim.tv_nsec,
        qint64(info.st_ctim.tv_sec) * nanoseconds + info.st_ctim.tv_nsec, S_ISREG(info.st_mode) };
}

} // namespace kestravin
