#include "app/services/catalog/SiteIconStore.h"

#include "app/models/SiteCatalog.h"
#include "app/platform/AtomicWrite.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

Q_LOGGING_CATEGORY(lcIcons, "com.kestravin.app.SiteIcons")

const QStringList iconPaths { u"/apple-touch-icon.png"_s, u"/favicon.ico"_s };

// Neither keeps nor sends cookies: an icon request carries nothing of the user.
class NoCookies : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

} // namespace

SiteIconStore::SiteIconStore(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_network(new QNetworkAccessManager(this))
{
    m_network->setCookieJar(new NoCookies(m_network));
    m_network->setCache(nullptr);
    QDir().mkpath(m_options.folder);
}

SiteIconStore::~SiteIconStore() = default;

SiteIconStore& SiteIconStore::shared()
{
    static auto* instance = new SiteIconStore(Options {});
    return *instance;
}

QString SiteIconStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/Kestravin/SiteIcons"_s;
}

QUrl SiteIconStore::httpsUrl(const QString& host, const QString& path)
{
    return QUrl(u"https://"_s + host + path, QUrl::StrictMode);
}

bool SiteIconStore::isUsableHost(const QString& host)
{
    const std::optional<QString> normalized = SiteCatalog::normalizedDomain(host);
    return normalized && *normalized == host;
}

std::optional<QImage> SiteIconStore::decode(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead()) {
        return std::nullopt;
    }
    // Pick the largest picture of a multi-image file by its header alone.
    int best = -1;
    QSize bestSize;
    const int count = std::max(reader.imageCount(), 1);
    for (int i = 0; i < count; ++i) {
        if (count > 1 && !reader.jumpToImage(i)) {
            break;
        }
        const QSize size = reader.size();
        if (!size.isValid() || size.width() > maxSide || size.height() > maxSide) {
            return std::nullopt;
        }
        if (best < 0 || size.width() * size.height() > bestSize.width() * bestSize.height()) {
            best = i;
            bestSize = size;
        }
    }
    if (count > 1) {
        reader.jumpToImage(best);
    }
    QImage image = reader.read();
    if (image.isNull() || image.width() > maxSide || image.height() > maxSide) {
        return std::nullopt;
    }
    return image;
}

std::optional<QImage> SiteIconStore::icon(const QString& host) const
{
    const auto it = m_icons.constFind(host);
    return it == m_icons.cend() ? std::nullopt : std::optional<QImage>(*it);
}

void SiteIconStore::publish(const QString& host, const QImage& image)
{
    m_icons.insert(host, image);
    Q_EMIT iconChanged(host);
}

void SiteIconStore::load(const QString& host)
{
    if (m_attempted.contains(host) || !isUsableHost(host)) {
        return;
    }
    m_attempted.insert(host);
    QFile cached(QDir(m_options.folder).filePath(host));
    if (cached.open(QIODevice::ReadOnly)) {
        if (auto image = decode(cached.readAll())) {
            publish(host, *image);
            return;
        }
    }
    download(host, 0);
}

void SiteIconStore::download(const QString& host, int pathIndex)
{
    if (pathIndex >= iconPaths.size()) {
        return;
    }
    const QUrl url = m_options.url(host, iconPaths.at(pathIndex));
    if (!url.isValid()) {
        download(host, pathIndex + 1);
        return;
    }
    fetch(url, [this, host, pathIndex](std::optional<QByteArray> body) {
        const std::optional<QImage> image = body ? decode(*body) : std::nullopt;
        if (!image || image->width() < minWidth) {
            download(host, pathIndex + 1);
            return;
        }
        QString error;
        if (!writeFileAtomically(QDir(m_options.folder).filePath(host), *body, ordinaryFilePermissions, &error)) {
            // The icon is still shown for this run; the next start fetches it again.
            qCWarning(lcIcons).noquote() << "Could not store a site icon:" << error;
        }
        publish(host, *image);
    });
}

void SiteIconStore::fetch(const QUrl& url, std::function<void(std::optional<QByteArray>)> done)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(m_options.timeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    QNetworkReply* reply = m_network->get(request);

    // The limit holds while the body streams in: a large answer is cut off as
    // soon as it reaches the limit, never buffered whole.
    auto tooLarge = std::make_shared<bool>(false);
    auto body = std::make_shared<QByteArray>();
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() >= bodyLimit) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, reply, [reply, tooLarge, body] {
        body->append(reply->readAll());
        if (body->size() >= bodyLimit) {
            *tooLarge = true;
            body->clear();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, tooLarge, body, done = std::move(done)] {
        reply->deleteLater();
        if (!*tooLarge) {
            body->append(reply->readAll());
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (*tooLarge || reply->error() != QNetworkReply::NoError || status != 200 || body->size() >= bodyLimit) {
            done(std::nullopt);
            return;
        }
        done(*body);
    });
}

} // namespace kestravin
