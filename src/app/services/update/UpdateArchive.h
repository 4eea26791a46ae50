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

// Checks as `verify`, then unpacks the .tar.xz into `targetFolder` (created;
// it must not exist), reading the archive once from memory. Every entry must
// lie inside the top folder: absolute paths, ".." components, links that leave
// the folder and anything but files, folders and links are refused, and the
// target is removed again. `progress` gets the fraction read so far.
QString verifyAndExtract(const QString& archivePath, qint64 expectedLength, const QByteArray& publicKey,
    const QByteArray& signature, const QString& targetFolder, const std::function<void(double)>& progress = {});

} // namespace kestravin::UpdateArchive
