#include "app/services/update/UpdateArchive.h"

#include "app/services/update/UpdateSignature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace kestravin::UpdateArchive {

namespace {

struct Mapped {
    QFile file;
    uchar* data = nullptr;
    qint64 size = 0;
};

QString mapArchive(const QString& path, Mapped& mapped)
{
    mapped.file.setFileName(path);
    if (!mapped.file.open(QIODevice::ReadOnly)) {
        return u"cannot open the archive: %1"_s.arg(mapped.file.errorString());
    }
    mapped.size = mapped.file.size();
    if (mapped.size <= 0) {
        return u"the archive is empty"_s;
    }
    mapped.data = mapped.file.map(0, mapped.size);
    if (!mapped.data) {
        return u"cannot read the archive: %1"_s.arg(mapped.file.errorString());
    }
    return {};
}

QString checkSignature(
    const Mapped& mapped, qint64 expectedLength, const QByteArray& publicKey, const QByteArray& signature)
{
    if (mapped.size != expectedLength) {
        return u"the archive has %1 bytes, the feed says %2"_s.arg(mapped.size).arg(expectedLength);
    }
    if (!UpdateSignature::verify(publicKey, mapped.data, std::size_t(mapped.size), signature)) {
        return u"the archive's signature does not verify"_s;
    }
    return {};
}

// The entry's path relative to the archive root, cleaned, or empty when it
// would leave the top folder.
QString insidePath(const QString& raw)
{
    QString path = raw;
    while (path.startsWith(u"./"_s)) {
        path = path.mid(2);
    }
    if (path.endsWith(u'/')) {
        path.chop(1);
    }
    if (path.isEmpty() || path.startsWith(u'/')) {
        return {};
    }
    const QStringList parts = path.split(u'/');
    for (const QString& part : parts) {
        if (part.isEmpty() || part == u"."_s || part == u".."_s) {
            return {};
        }
    }
    if (parts.first() != topFolder) {
        return {};
    }
    return path;
}

// A link's target, read from the link's folder, stays inside the top folder.
bool linkStaysInside(const QString& entryPath, const QString& target)
{
    if (target.isEmpty() || target.startsWith(u'/')) {
        return false;
    }
    QStringList resolved = entryPath.split(u'/');
    resolved.removeLast();
    for (const QString& part : target.split(u'/')) {
        if (part.isEmpty() || part == u"."_s) {
            continue;
        }
        if (part == u".."_s) {
            if (resolved.size() <= 1) {
                return false;
            }
            resolved.removeLast();
        } else {
            resolved << part;
        }
    }
    return !resolved.isEmpty() && resolved.first() == topFolder;
}

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};

QString unpack(const uchar* data, qint64 size, const QString& targetFolder, const std::function<void(double)>& progress)
{
    std::unique_ptr<archive, ArchiveDeleter> reader(archive_read_new());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_format_tar(reader.get());
    if (archive_read_open_memory(reader.get(), data, std::size_t(size)) != ARCHIVE_OK) {
        return u"not a .tar.xz archive: %1"_s.arg(QString::fromUtf8(archive_error_string(reader.get())));
    }
    std::unique_ptr<archive, WriterDeleter> writer(archive_write_disk_new());
    archive_write_disk_set_options(writer.get(),
        ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT
            | ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    // Each entry is written at an absolute path below the target, built from
    // its checked relative path.
    const QString base = QDir::cleanPath(QDir(targetFolder).absolutePath()) + u'/';
    bool sawTop = false;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status != ARCHIVE_OK) {
            return u"the archive is damaged: %1"_s.arg(QString::fromUtf8(archive_error_string(reader.get())));
        }
        const QString raw = QString::fromUtf8(
            archive_entry_pathname_utf8(entry) ? archive_entry_pathname_utf8(entry) : archive_entry_pathname(entry));
        const QString path = insidePath(raw);
        if (path.isEmpty()) {
            return u"the archive holds a path outside its folder: %1"_s.arg(raw);
        }
        sawTop = true;
        const mode_t type = archive_entry_filetype(entry);
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            const QString target = insidePath(QString::fromUtf8(hardlink));
            if (target.isEmpty()) {
                return u"the archive holds a link outside its folder: %1"_s.arg(raw);
            }
            archive_entry_set_hardlink(entry, QFile::encodeName(base + target).constData());
        } else if (type == AE_IFLNK) {
            const QString target = QString::fromUtf8(archive_entry_symlink(entry));
            if (!linkStaysInside(path, target)) {
                return u"the archive holds a link that leaves its folder: %1 -> %2"_s.arg(raw, target);
            }
        } else if (type != AE_IFREG && type != AE_IFDIR) {
            return u"the archive holds something that is not a file, folder or link: %1"_s.arg(raw);
        }
        // No set-user or set-group bits from a download.
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        archive_entry_set_pathname(entry, QFile::encodeName(base + path).constData());
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK) {
            return u"cannot unpack %1: %2"_s.arg(raw, QString::fromUtf8(archive_error_string(writer.get())));
        }
        if (archive_entry_size(entry) > 0 && type == AE_IFREG && !archive_entry_hardlink(entry)) {
            const void* block = nullptr;
            size_t blockSize = 0;
            la_int64_t offset = 0;
            int read = ARCHIVE_OK;
            while ((read = archive_read_data_block(reader.get(), &block, &blockSize, &offset)) == ARCHIVE_OK) {
                if (archive_write_data_block(writer.get(), block, blockSize, offset) != ARCHIVE_OK) {
                    return u"cannot unpack %1: %2"_s.arg(raw, QString::fromUtf8(archive_error_string(writer.get())));
                }
            }
            if (read != ARCHIVE_EOF) {
                return u"the archive is damaged: %1"_s.arg(QString::fromUtf8(archive_error_string(reader.get())));
            }
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK) {
            return u"cannot unpack %1: %2"_s.arg(raw, QString::fromUtf8(archive_error_string(writer.get())));
        }
        if (progress) {
            progress(double(archive_filter_bytes(reader.get(), -1)) / double(size));
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        return u"cannot unpack: %1"_s.arg(QString::fromUtf8(archive_error_string(writer.get())));
    }
    if (!sawTop) {
        return u"the archive is empty"_s;
    }
    return {};
}

QString unpackInto(
    const uchar* data, qint64 size, const QString& targetFolder, const std::function<void(double)>& progress)
{
    if (QFileInfo::exists(targetFolder) || !QDir().mkpath(targetFolder)) {
        return u"cannot create %1"_s.arg(targetFolder);
    }
    const QString error = unpack(data, size, targetFolder, progress);
    if (!error.isEmpty()) {
        QDir(targetFolder).removeRecursively();
    }
    return error;
}

} // namespace

QString verify(
    const QString& archivePath, qint64 expectedLength, const QByteArray& publicKey, const QByteArray& signature)
{
    Mapped mapped;
    if (QString error = mapArchive(archivePath, mapped); !error.isEmpty()) {
        return error;
    }
    return checkSignature(mapped, expectedLength, publicKey, signature);
}

QString verifyAndExtract(const QString& archivePath, qint64 expectedLength, const QByteArray& publicKey,
    const QByteArray& signature, const QString& targetFolder, const std::function<void(double)>& progress)
{
    Mapped mapped;
    if (QString error = mapArchive(archivePath, mapped); !error.isEmpty()) {
        return error;
    }
    if (QString error = checkSignature(mapped, expectedLength, publicKey, signature); !error.isEmpty()) {
        return error;
    }
    return unpackInto(mapped.data, mapped.size, targetFolder, progress);
}

} // namespace kestravin::UpdateArchive
