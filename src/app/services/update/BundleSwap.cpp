#include "app/services/update/BundleSwap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin::BundleSwap {

namespace {

Q_LOGGING_CATEGORY(lcUpdate, "com.kestravin.app.Update")

QString sibling(const QString& bundlePath, const QString& suffix)
{
    const QFileInfo info(QDir::cleanPath(bundlePath));
    return info.path() + u"/."_s + info.fileName() + suffix;
}

bool renamePath(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool present(const QString& path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

void removeTree(const QString& path)
{
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()) {
        QDir(path).removeRecursively();
    } else if (present(path)) {
        QFile::remove(path);
    }
}

} // namespace

QString partialFolder(const QString& bundlePath)
{
    return sibling(bundlePath, u"-update.partial"_s);
}

QString stagingFolder(const QString& bundlePath)
{
    return sibling(bundlePath, u"-update"_s);
}

QString stagedBundle(const QString& bundlePath)
{
    return stagingFolder(bundlePath) + u"/Kestravin"_s;
}

QString oldFolder(const QString& bundlePath)
{
    return sibling(bundlePath, u"-old"_s);
}

bool swap(const QString& bundlePath, QString* error, bool allowExchange)
{
    const QString bundle = QDir::cleanPath(bundlePath);
    const QString staged = stagedBundle(bundle);
    const auto fail = [error](const QString& message) {
        if (error) {
            *error = message;
        }
        return false;
    };
    if (!QFileInfo(staged).isDir()) {
        return fail(u"no staged bundle"_s);
    }
    if (allowExchange) {
        const QByteArray from = QFile::encodeName(staged);
        const QByteArray to = QFile::encodeName(bundle);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
            // The old bundle now sits where the staged one was.
            QDir(stagingFolder(bundle)).removeRecursively();
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
            return fail(u"cannot exchange the folders: %1"_s.arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    const QString old = oldFolder(bundle);
    removeTree(old);
    if (!renamePath(bundle, old)) {
        return fail(u"cannot move the old bundle aside: %1"_s.arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!renamePath(staged, bundle)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        renamePath(old, bundle);
        return fail(u"cannot put the new bundle in place: %1"_s.arg(reason));
    }
    removeTree(old);
    QDir(stagingFolder(bundle)).removeRecursively();
    return true;
}

void recover(const QString& bundlePath)
{
    const QString bundle = QDir::cleanPath(bundlePath);
    if (!present(bundle)) {
        if (QFileInfo(stagedBundle(bundle)).isDir() && renamePath(stagedBundle(bundle), bundle)) {
            qCInfo(lcUpdate, "BundleSwap: finished an interrupted update");
        } else if (QFileInfo(oldFolder(bundle)).isDir() && renamePath(oldFolder(bundle), bundle)) {
            qCInfo(lcUpdate, "BundleSwap: rolled back an interrupted update");
        }
    }
    if (!present(bundle)) {
        return;
    }
    removeTree(oldFolder(bundle));
    removeTree(partialFolder(bundle));
    removeTree(stagingFolder(bundle));
    // Downloads an ended process left.
    const QFileInfo info(bundle);
    const QStringList downloads
        = QDir(info.path())
              .entryList({ u"."_s + info.fileName() + u"-*.tar.xz.download"_s }, QDir::Files | QDir::Hidden);
    for (const QString& name : downloads) {
        QFile::remove(info.path() + u'/' + name);
    }
}

} // namespace kestravin::BundleSwap
