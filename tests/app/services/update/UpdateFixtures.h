#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QUrl>

#include <vector>

namespace kestravin::testing {

// One entry of a test archive.
struct ArchiveEntry {
    enum class Kind { file, folder, symlink, hardlink };
    QString path;
    Kind kind = Kind::file;
    QByteArray content;
    // The target of a link.
    QString target;
    int mode = 0644;
};

// Writes a .tar.xz (pax) with exactly these entries, paths as given.
QByteArray makeArchive(const std::vector<ArchiveEntry>& entries);

// The entries of a bundle folder "Kestravin/" with the given text in its
// files; the executable is a shell script.
std::vector<ArchiveEntry> bundleEntries(const QByteArray& text, const QString& version);

// Serves fixed bodies on 127.0.0.1. A route can announce a longer body than
// it sends and then close the connection (a cut download).
class FeedServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    struct Route {
        QByteArray body;
        // Bytes sent before the connection is closed; -1 for all.
        qsizetype cutAfter = -1;
    };

    FeedServer();
    QUrl url(const QString& path) const;
    void setRoute(const QString& path, Route route) { m_routes[path] = std::move(route); }
    int hits(const QString& path) const { return m_hits.value(path); }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    quint16 m_port = 0;
    QMap<QString, Route> m_routes;
    QMap<QString, int> m_hits;
};

// An RSS feed with one item per (version, url, length, signature).
struct FeedItem {
    QString version;
    QString displayVersion;
    QUrl url;
    qint64 length = 0;
    QByteArray signature;
};
QByteArray makeFeed(const std::vector<FeedItem>& items);

} // namespace kestravin::testing
