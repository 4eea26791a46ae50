#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace kestravin {

// Replaces the file at `path` with `bytes` so that a reader sees the old file
// or the new one, never a part of either: a temporary file beside it is
// written, given `permissions`, synced to disk and renamed over it. The folder
// must exist. False, with the reason in `*error`, when any step fails; the old
// file is then left as it was. The application's counterpart of the daemon's
// AtomicFile, which keeps a replaced file's owner and mode for root.
[[nodiscard]] bool writeFileAtomically(
    const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions, QString* error = nullptr);

// rw-r--r--: what the application's own files get.
inline constexpr QFileDevice::Permissions ordinaryFilePermissions
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

} // namespace kestravin
