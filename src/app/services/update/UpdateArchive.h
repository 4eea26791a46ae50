#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace kestravin::UpdateArchive {

// The folder every archive holds, and nothing beside it.
constexpr QStringView topFolder = u"Kestravin";

// Checks that the file at `archivePath` is exactly `expectedLength` bytes and
// carries a valid Ed25519 `signature` of `publicKey`. Empty on success, the
// reason otherwise.
QString verify(
    const QString& archivePath, qint64 expectedLength, const QByteArray& publicKey, const QByteArray& signature);

// Unpacks a .tar.xz into `targetFolder` (created; it must not exist). Every
// entry must lie inside the top folder: absolute paths, ".." components, links
// that leave the folder and anything but files, folders and links are refused,
// and the target is removed again. `progress` gets the fraction read so far.
QString extract(
    const QString& archivePath, const QString& targetFolder, const std::function<void(double)>& progress = {});

// Both, reading the archive once from memory.
QString verifyAndExtract(const QString& archivePath, qint64 expectedLength, const QByteArray& publicKey,
    const QByteArray& signature, const QString& targetFolder, const std::function<void(double)>& progress = {});

} // namespace kestravin::UpdateArchive
