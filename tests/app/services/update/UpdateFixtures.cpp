#include "UpdateFixtures.h"

#include "app/services/update/Appcast.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QTcpSocket>

#include <archive.h>
#include <archive_entry.h>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

namespace {

la_ssize_t collect(archive*, void* clientData, const void* buffer, size_t length)
{
    static_cast<QByteArray*>(clientData)->append(static_cast<const char*>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

} // namespace

QByteArray makeArchive(const std::vector<ArchiveEntry>& entries)
{
    QByteArray out;
    archive* writer = archive_write_new();
    archive_write_add_filter_xz(writer);
    archive_write_set_format_pax_restricted(writer);
    archive_write_set_bytes_in_last_block(writer, 1);
    archive_write_open(writer, &out, nullptr, collect, nullptr);
    for (const ArchiveEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        const QByteArray path = e.path.toUtf8();
        archive_entry_set_pathname(entry, path.constData());
        archive_entry_set_perm(entry, mode_t(e.mode));
        archive_entry_set_mtime(entry, 1700000000, 0);
        const QByteArray target = e.target.toUtf8();
        switch (e.kind) {
        case ArchiveEntry::Kind::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, e.content.size());
            break;
        case ArchiveEntry::Kind::folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            break;
        case ArchiveEntry::Kind::symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, target.constData());
            break;
        case ArchiveEntry::Kind::hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, target.constData());
            break;
        }
        archive_write_header(writer, entry);
        if (e.kind == ArchiveEntry::Kind::file && !e.content.isEmpty()) {
            archive_write_data(writer, e.content.constData(), size_t(e.content.size()));
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return out;
}

std::vector<ArchiveEntry> bundleEntries(const QByteArray& text, const QString& version)
{
    using Kind = ArchiveEntry::Kind;
    return {
        { u"Kestravin/"_s, Kind::folder, {}, {}, 0755 },
        { u"Kestravin/kestravin"_s, Kind::file, "#!/bin/sh\necho " + text + "\n", {}, 0755 },
        { u"Kestravin/bundle.ini"_s, Kind::file, "[bundle]\nversion=" + version.toUtf8() + "\n", {}, 0644 },
        { u"Kestravin/packaging/"_s, Kind::folder, {}, {}, 0755 },
        { u"Kestravin/packaging/notes.txt"_s, Kind::file, text, {}, 0644 },
        { u"Kestravin/notes"_s, Kind::symlink, {}, u"packaging/notes.txt"_s, 0777 },
    };
}

FeedServer::FeedServer()
{
    m_port = listen(QHostAddress::LocalHost, 0);
}

QUrl FeedServer::url(const QString& path) const
{
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path));
}

bool FeedServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const QString path = request.url().path();
    m_hits[path] += 1;
    const auto route = m_routes.constFind(path);
    if (route == m_routes.constEnd()) {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return true;
    }
    QByteArray response = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n"
                          "Content-Length: "
        + QByteArray::number(route->body.size()) + "\r\n\r\n";
    response += route->cutAfter < 0 ? route->body : route->body.left(route->cutAfter);
    socket->write(response);
    socket->disconnectFromHost();
    return true;
}

void FeedServer::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    socket->disconnectFromHost();
}

QByteArray makeFeed(const std::vector<FeedItem>& items)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" xmlns:kestravin=\""
        + Appcast::xmlNamespace.toString().toUtf8() + "\">\n<channel>\n<title>Kestravin</title>\n";
    for (const FeedItem& item : items) {
        xml += "<item>\n<title>" + item.displayVersion.toUtf8() + "</title>\n<kestravin:version>"
            + item.version.toUtf8() + "</kestravin:version>\n<kestravin:shortVersionString>"
            + item.displayVersion.toUtf8() + "</kestravin:shortVersionString>\n<enclosure url=\"" + item.url.toEncoded()
            + "\" length=\"" + QByteArray::number(item.length) + "\" type=\"application/x-xz\" kestravin:edSignature=\""
            + item.signature.toBase64() + "\"/>\n</item>\n";
    }
    xml += "</channel>\n</rss>\n";
    return xml;
}

} // namespace kestravin::testing
