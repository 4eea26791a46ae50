#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace kestravin::AtomicFile {

// Replaces the file at `path` with `bytes` so that readers see either the old
// or the new file, never a part: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one. A symbolic link is
// written through to its target (the link stays). The new file keeps the old
// one's mode and owner; a new file gets `newFileMode`. The folder is not
// synced: after a crash the path holds the old or the new file, both whole.
bool write(const QString& path, const QByteArray& bytes, mode_t newFileMode, QString* error);

// Reads the whole file; false with *error set when it cannot.
bool read(const QString& path, QByteArray& out, QString* error);

} // namespace kestravin::AtomicFile
