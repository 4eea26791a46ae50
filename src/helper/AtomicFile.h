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

// Reads the whole file; false with *error set when it cannot. Only a regular
// file (or a symbolic link to one) is read: the file is opened without
// blocking, so a FIFO or a device at the path is refused instead of hanging
// the caller. `out` keeps its capacity, so a caller that reads the same large
// file again and again reuses one buffer.
bool read(const QString& path, QByteArray& out, QString* error);

// Removes the temporary files that `write` leaves beside `path` when the
// process dies between creating and renaming them. Only regular files whose
// names follow `write`'s pattern exactly and whose owner is this process's
// user or the target's owner (as `write` leaves them) are touched. Answers how
// many were removed.
int removeLeftovers(const QString& path);

} // namespace kestravin::AtomicFile
