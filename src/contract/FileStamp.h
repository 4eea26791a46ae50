#pragma once

#include <QString>

#include <optional>

namespace kestravin {

// What a file looked like, enough to tell without reading it that it has not
// changed: a rename gives a new inode, and any write moves the change time.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool regularFile = false;

    // The stamp of what `path` names (links followed); nothing when it cannot
    // be examined.
    static std::optional<FileStamp> of(const QString& path);

    bool operator==(const FileStamp&) const = default;
};

} // namespace kestravin
