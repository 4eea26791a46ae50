#pragma once

#include "contract/FileStamp.h"

#include <QString>

#include <optional>

namespace kestravin {

// The hosts file as the shield last read it. The shield asks twice a second,
// but the file changes rarely and can be megabytes long: it is read again
// only when its stamp (inode, size, modification or change time) moved.
class HostsFileSnapshot {
public:
    // Larger files are not read at all: the shield then stands aside, as it
    // does for a file it cannot read.
    static constexpr qint64 defaultMaximumBytes = qint64 { 32 } * 1024 * 1024;

    explicit HostsFileSnapshot(QString path, qint64 maximumBytes = defaultMaximumBytes);

    // The text, decoded leniently: one stray byte in someone's comment must
    // not switch the shield off (the markers and entries are ASCII). Nothing
    // when the path holds no regular file, cannot be read or is too large.
    std::optional<QString> text();

    // How often the file was actually read.
    int reads() const { return m_reads; }

private:
    std::optional<QString> read(const FileStamp& stamp);

    QString m_path;
    qint64 m_maximumBytes;
    std::optional<FileStamp> m_stamp;
    std::optional<QString> m_text;
    int m_reads = 0;
};

} // namespace kestravin
