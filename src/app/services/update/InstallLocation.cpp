#include "app/services/update/InstallLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcMove, "com.kestravin.app.InstallLocation")

} // namespace

const QString InstallLocation::moveTitle = u"Mova o Kestravin para a pasta Applications"_s;
const QString InstallLocation::moveText
    = u"Aberto direto do arquivo baixado, o Kestravin não consegue bloquear nem se atualizar."_s;
const QString InstallLocation::moveButton = u"Mover para Applications"_s;
const QString InstallLocation::quitButton = u"Sair"_s;
const QString InstallLocation::failureTitle = u"Não foi possível mover"_s;
const QString InstallLocation::failureText
    = u"Arraste o Kestravin para a pasta Applications da sua pasta pessoal e abra de lá."_s;

namespace {

bool isInside(const QString& path, const QString& folder)
{
    if (folder.isEmpty()) {
        return false;
    }
    const QString base = QDir::cleanPath(folder);
    return path == base || path.startsWith(base.endsWith(u'/') ? base : base + u'/');
}

} // namespace

std::optional<QString> InstallLocation::runningBundle()
{
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty() || !QFileInfo(folder + u'/' + bundleMarker.toString()).isFile()) {
        return std::nullopt;
    }
    return folder;
}

InstallLocation::Environment InstallLocation::currentEnvironment()
{
    return { QDir::homePath(), qEnvironmentVariable("XDG_RUNTIME_DIR") };
}

QString InstallLocation::destination(const Environment& environment)
{
    return QDir::cleanPath(environment.home) + u"/Applications/Kestravin"_s;
}

bool InstallLocation::needsMove(const QString& bundlePath, const Environment& environment)
{
    const QString path = QDir::cleanPath(bundlePath);
    if (!path.startsWith(u'/') || isInside(path, environment.home)) {
        return false;
    }
    static const QStringList removableOrTemporary { u"/media"_s, u"/run/media"_s, u"/mnt"_s, u"/tmp"_s };
    for (const QString& folder : removableOrTemporary) {
        if (path != folder && isInside(path, folder)) {
            return true;
        }
    }
    return path != QDir::cleanPath(environment.runtimeDir) && isInside(path, environment.runtimeDir);
}

bool InstallLocation::needsMove()
{
    const auto bundle = runningBundle();
    return bundle && needsMove(*bundle, currentEnvironment());
}

bool InstallLocation::copyTree(const QString& source, const QString& target, QString* error)
{
    const auto fail = [error](const QString& message) {
        if (error) {
            *error = message;
        }
        return false;
    };
    struct stat rootInfo { };
    if (::lstat(QFile::encodeName(source).constData(), &rootInfo) != 0 || !S_ISDIR(rootInfo.st_mode)) {
        return fail(u"not a folder: %1"_s.arg(source));
    }
    if (!QDir().mkdir(target)) {
        return fail(u"cannot create %1"_s.arg(target));
    }
    QFile::setPermissions(target, QFileInfo(source).permissions());
    QDirIterator it(
        source, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString to = target + from.mid(source.size());
        const QByteArray fromPath = QFile::encodeName(from);
        struct stat info { };
        if (::lstat(fromPath.constData(), &info) != 0) {
            return fail(u"cannot read %1"_s.arg(from));
        }
        if (S_ISLNK(info.st_mode)) {
            // The link keeps its own text, relative or not.
            char buffer[4096];
            const ssize_t length = ::readlink(fromPath.constData(), buffer, sizeof buffer - 1);
            if (length < 0 || ::symlink(QByteArray(buffer, int(length)).constData(), QFile::encodeName(to)) != 0) {
                return fail(u"cannot copy the link %1"_s.arg(from));
            }
        } else if (S_ISDIR(info.st_mode)) {
            if (!QDir().mkdir(to)) {
                return fail(u"cannot create %1"_s.arg(to));
            }
            ::chmod(QFile::encodeName(to).constData(), info.st_mode & 07777);
        } else if (S_ISREG(info.st_mode)) {
            if (!QFile::copy(from, to)) {
                return fail(u"cannot copy %1"_s.arg(from));
            }
            ::chmod(QFile::encodeName(to).constData(), info.st_mode & 07777);
        } else {
            return fail(u"not a file, folder or link: %1"_s.arg(from));
        }
    }
    return true;
}

bool InstallLocation::offerMove(const QString& bundlePath, const Environment& environment, MoveServices& services)
{
    if (!services.askToMove()) {
        services.terminate();
        return false;
    }
    const QString target = destination(environment);
    const QString folder = QFileInfo(target).path();
    const auto failed = [&] {
        services.showMoveFailure();
        services.openFolder(folder);
        services.terminate();
        return false;
    };

    // The other instances end before the copy, so that no old copy keeps
    // writing the configuration next to the new one.
    services.quitOtherInstances(quitWait);

    // The copy is made under a temporary name beside the destination; the old
    // install is replaced only once the copy is whole.
    if (!QDir().mkpath(folder)) {
        return failed();
    }
    QTemporaryDir staging(folder + u"/.Kestravin-moving-XXXXXX"_s);
    if (!staging.isValid()) {
        return failed();
    }
    const QString copy = staging.path() + u"/Kestravin"_s;
    QString error;
    if (!copyTree(bundlePath, copy, &error)) {
        qCWarning(lcMove, "InstallLocation: the copy failed: %s", qPrintable(error));
        return failed();
    }
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
        // The trash lives in the data folder, which a fresh home may lack.
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        if (!QFile::moveToTrash(target)) {
            qCWarning(lcMove, "InstallLocation: the older copy could not be moved to the trash");
            return failed();
        }
    }
    if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(target).constData()) != 0) {
        return failed();
    }
    // Nothing like a quarantine mark exists here: nothing to clear.
    if (!services.launch(target + u'/' + executableName.toString(), &error)) {
        qCWarning(lcMove, "InstallLocation: the moved copy did not start: %s", qPrintable(error));
        return failed();
    }
    services.terminate();
    return true;
}

} // namespace kestravin
