#include "app/services/catalog/SiteIconStore.h"

#include "EventLoop.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

QByteArray png(int width, int height = 0)
{
    QImage image(width, height ? height : width, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A valid picture padded to exactly `size` bytes (PNG readers stop at its end).
QByteArray paddedPng(qsizetype size)
{
    QByteArray bytes = png(32);
    bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

// Answers "/<host>/<file>" from a table; anything else is a 404. Counts requests.
class IconServer {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray type = "image/png";
    };
    std::map<QString, Answer> answers;
    std::map<QString, int> requests;
    quint16 port = 0;

    IconServer()
    {
        m_server.route(u"/<arg>/<arg>"_s, [this](const QString& host, const QString& file) {
            const QString key = host + u'/' + file;
            ++requests[key];
            const auto it = answers.find(key);
            if (it == answers.end()) {
                return QHttpServerResponse(QHttpServerResponder::StatusCode::NotFound);
            }
            return QHttpServerResponse(
                it->second.type, it->second.body, QHttpServerResponder::StatusCode(it->second.status));
        });
        port = m_server.listen(QHostAddress::LocalHost);
    }
    int count(const QString& host) const
    {
        int n = 0;
        for (const auto& [key, value] : requests) {
            n += key.startsWith(host + u'/') ? value : 0;
        }
        return n;
    }

private:
    QHttpServer m_server;
};

class SiteIconStoreTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    IconServer server;
    std::unique_ptr<SiteIconStore> store;

    void SetUp() override
    {
        ASSERT_NE(server.port, 0);
        const quint16 port = server.port;
        store = std::make_unique<SiteIconStore>(SiteIconStore::Options { temp.filePath(u"SiteIcons"_s),
            [port](const QString& host, const QString& path) {
                return QUrl(u"http://127.0.0.1:%1/"_s.arg(port) + host + path);
            },
            8000 });
    }
    QString cacheFile(const QString& host) const { return temp.filePath(u"SiteIcons/"_s + host); }
    void answer(const QString& host, const QString& file, IconServer::Answer a)
    {
        server.answers[host + u'/' + file] = a;
    }
    // Loads `host` and waits until its downloads are over.
    void loadAndSettle(const QString& host, int expectedRequests)
    {
        store->load(host);
        ASSERT_TRUE(kestravin::testing::waitUntil([&] { return server.count(host) >= expectedRequests; }));
        kestravin::testing::spin(100);
    }
};

TEST_F(SiteIconStoreTest, TouchIconThenFaviconFirstAcceptableWins)
{
    struct Case {
        QString host;
        std::optional<IconServer::Answer> touch;
        std::optional<IconServer::Answer> favicon;
        // Which answer is published and cached: 0 none, 1 touch icon, 2 favicon.
        int winner;
    };
    const QByteArray html = "<html><body>not an image</body></html>";
    const Case cases[] = {
        { u"missing-touch.com"_s, std::nullopt, IconServer::Answer { 200, png(32) }, 2 },
        { u"html-touch.com"_s, IconServer::Answer { 200, html, "text/html" }, IconServer::Answer { 200, png(16) }, 2 },
        { u"narrow-touch.com"_s, IconServer::Answer { 200, png(15) }, IconServer::Answer { 200, png(20) }, 2 },
        { u"touch.com"_s, IconServer::Answer { 200, png(64) }, IconServer::Answer { 200, png(20) }, 1 },
        { u"limit-ok.com"_s, IconServer::Answer { 200, paddedPng(511999) }, std::nullopt, 1 },
        { u"limit-over.com"_s, IconServer::Answer { 200, paddedPng(512000) }, std::nullopt, 0 },
        { u"huge-header.com"_s, IconServer::Answer { 200, png(2000, 16) }, std::nullopt, 0 },
        { u"not-200.com"_s, IconServer::Answer { 203, png(32) }, std::nullopt, 0 },
        { u"nothing.com"_s, std::nullopt, std::nullopt, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        if (c.touch) {
            answer(c.host, u"apple-touch-icon.png"_s, *c.touch);
        }
        if (c.favicon) {
            answer(c.host, u"favicon.ico"_s, *c.favicon);
        }
        loadAndSettle(c.host, c.winner == 1 ? 1 : 2);
        EXPECT_EQ(server.count(c.host), c.winner == 1 ? 1 : 2);
        EXPECT_EQ(store->icon(c.host).has_value(), c.winner != 0);
        EXPECT_EQ(QFile::exists(cacheFile(c.host)), c.winner != 0);
        if (c.winner != 0) {
            QFile file(cacheFile(c.host));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), c.winner == 1 ? c.touch->body : c.favicon->body) << "the bytes as sent";
        }
    }
}

TEST_F(SiteIconStoreTest, EachHostIsTriedOncePerRun)
{
    answer(u"ok.com"_s, u"apple-touch-icon.png"_s, { 200, png(32) });
    loadAndSettle(u"ok.com"_s, 1);
    loadAndSettle(u"nothing.com"_s, 2);
    store->load(u"ok.com"_s);
    store->load(u"nothing.com"_s);
    kestravin::testing::spin(200);
    EXPECT_EQ(server.count(u"ok.com"_s), 1);
    EXPECT_EQ(server.count(u"nothing.com"_s), 2) << "a failed host is not retried in the run";
    EXPECT_TRUE(store->attempted(u"nothing.com"_s));
}

TEST_F(SiteIconStoreTest, TextsThatAreNotAPlainDomainAreNeverAskedFor)
{
    for (const QString& host : { u"ab"_s, u"a b.com"_s, u"a.com/../x"_s, u"a.com/x?y"_s, u"A.com"_s, u"www.a.com"_s,
             u"https://a.com"_s, u"..a.com"_s }) {
        store->load(host);
        EXPECT_FALSE(store->attempted(host)) << host.toStdString();
    }
    kestravin::testing::spin(200);
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(QDir(temp.filePath(u"SiteIcons"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 0);
}

TEST_F(SiteIconStoreTest, ACachedFileIsUsedWithoutARequestWhateverItsWidth)
{
    QFile file(cacheFile(u"cached.com"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png(8));
    file.close();
    store->load(u"cached.com"_s);
    ASSERT_TRUE(store->icon(u"cached.com"_s));
    EXPECT_EQ(store->icon(u"cached.com"_s)->width(), 8);
    kestravin::testing::spin(100);
    EXPECT_EQ(server.count(u"cached.com"_s), 0);

    // A cache file that is no image leads to a download.
    QFile broken(cacheFile(u"broken.com"_s));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("garbage");
    broken.close();
    answer(u"broken.com"_s, u"apple-touch-icon.png"_s, { 200, png(32) });
    loadAndSettle(u"broken.com"_s, 1);
    EXPECT_TRUE(store->icon(u"broken.com"_s));
}

} // namespace
