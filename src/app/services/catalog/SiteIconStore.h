#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace kestravin {

// The small pictures of web sites that site tiles show when a site has no
// brand logo: known icons in memory, downloaded files cached on disk (one file
// per host, the bytes as the site sent them), and at most one download attempt
// per host and run, first the touch icon, then the favicon.
class SiteIconStore : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString folder = defaultFolder();
        // Where one of the two icons of a host is asked for.
        std::function<QUrl(const QString& host, const QString& path)> url = httpsUrl;
        int timeoutMs = 8000;
    };

    explicit SiteIconStore(Options options, QObject* parent = nullptr);
    ~SiteIconStore() override;

    static SiteIconStore& shared();
    // $XDG_CACHE_HOME/Kestravin/SiteIcons.
    static QString defaultFolder();
    static QUrl httpsUrl(const QString& host, const QString& path);

    // Makes sure the icon of `host` is loaded or being loaded; returns at once.
    void load(const QString& host);

    std::optional<QImage> icon(const QString& host) const;
    bool attempted(const QString& host) const { return m_attempted.contains(host); }
    QString folder() const { return m_options.folder; }

    // A body must be shorter than this.
    static constexpr qint64 bodyLimit = 512000;
    // An image whose header declares a longer side is never decoded.
    static constexpr int maxSide = 1024;
    static constexpr int minWidth = 16;
    // The image in `bytes` (for a multi-image file the largest one), or none
    // when it is no image or declares a side over maxSide.
    static std::optional<QImage> decode(const QByteArray& bytes);
    // Whether `host` may name a request and a cache file: it must be its own
    // normalised domain (no scheme, path, query, "..", spaces or capitals).
    static bool isUsableHost(const QString& host);

Q_SIGNALS:
    void iconChanged(const QString& host);

private:
    void download(const QString& host, int pathIndex);
    void fetch(const QUrl& url, std::function<void(std::optional<QByteArray>)> done);
    void publish(const QString& host, const QImage& image);

    Options m_options;
    QNetworkAccessManager* m_network;
    QHash<QString, QImage> m_icons;
    QSet<QString> m_attempted;
};

} // namespace kestravin
