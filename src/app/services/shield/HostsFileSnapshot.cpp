#include "app/services/shield/HostsFileSnapshot.h"

#include <QFile>

namespace kestravin {

HostsFileSnapshot::HostsFileSnapshot(QString path, qint64 maximumBytes)
    : m_path(std::move(path)), m_maximumBytes(maximumBytes)
{
}

std::optional<QString> HostsFileSnapshot::text()
{
    const std::optional<FileStamp> stamp = FileStamp::of(m_path);
    if (!stamp || !stamp->regularFile) {
        // A pipe or a device would hold the caller; a folder has no text.
        m_stamp.reset();
        m_text.reset();
        return std::nullopt;
    }
    if (m_stamp != stamp) {
        // The stamp is taken before the read: a change during the read shows
        // as a new stamp next time, and the file is read again then.
        m_text = read(*stamp);
        m_stamp = stamp;
    }
    return m_text;
}

std::optional<QString> HostsFileSnapshot::read(const FileStamp& stamp)
{
    if (stamp.size > m_maximumBytes) {
        return std::nullopt;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    ++m_reads;
    // Read in pieces rather than into a buffer of the limit's size: the
    // file may have grown since the stat, and the limit must hold all the same.
    constexpr qint64 piece = 64 * 1024;
    QByteArray bytes;
    bytes.reserve(stamp.size);
    while (true) {
        const QByteArray more = file.read(piece);
        if (file.error() != QFileDevice::NoError) {
            return std::nullopt;
        }
        if (more.isEmpty()) {
            break;
        }
        bytes += more;
        if (bytes.size() > m_maximumBytes) {
            return std::nullopt;
        }
    }
    return QString::fromUtf8(bytes);
}

} // namespace kestravin
