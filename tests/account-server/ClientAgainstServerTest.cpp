// The application's own account client and device link against the account
// service: what the client sends is what the service reads, and back.

#include "AccountServerFixture.h"
#include "FakeTime.h"

#include "app/services/account/DeviceLink.h"

#include <QSettings>
#include <QSignalSpy>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace kestravin::testing {
namespace {

class ClientAgainstServerTest : public AccountServerFixture {
protected:
    void SetUp() override
    {
        AccountServerFixture::SetUp();
        now = time.now().toMSecsSinceEpoch();
        const QString base = u"http://127.0.0.1:%1"_s.arg(port);
        client = std::make_unique<AccountClient>(
            AccountEnvironment(QUrl(base), QUrl(base + u"/web"_s)), sessions, time, defaults);
        link = std::make_unique<DeviceLink>(
            *client, time, time, [this](const QUrl& url) { opened.append(url); },
            [] { return u"3f2a9c1e-7b7d-4c1a-9d55-0a1b2c3d4e5f"_s; });
    }

    void advance(std::chrono::milliseconds by)
    {
        time.advance(by);
        now = time.now().toMSecsSinceEpoch();
    }

    // Sends a request through the client and waits for its reply.
    AccountReply request(const QString& path, const QByteArray& method, std::optional<QByteArray> body = std::nullopt)
    {
        std::optional<AccountReply> reply;
        client->request(path, method, std::move(body), [&](AccountReply r) { reply = std::move(r); });
        EXPECT_TRUE(waitUntil([&] { return reply.has_value(); }));
        return reply.value_or(AccountReply {});
    }

    FakeTime time;
    MemorySessionStore sessions;
    QTemporaryDir folder;
    QSettings defaults { folder.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    QList<QUrl> opened;
    std::unique_ptr<AccountClient> client;
    std::unique_ptr<DeviceLink> link;
};

TEST_F(ClientAgainstServerTest, LinksThroughThePageThenSyncsSavesAndRefreshes)
{
    QSignalSpy linked(link.get(), &DeviceLink::linked);
    link->connect();
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty() || !link->connecting(); }));
    ASSERT_EQ(opened.size(), 1) << link->message().toStdString();
    EXPECT_FALSE(link->code().isEmpty());

    // The person opens the page the application opened and confirms there.
    const QUrl page = opened.first();
    const HttpReply shown = http->send("GET", page.path() + u'?' + page.query(QUrl::FullyEncoded));
    ASSERT_EQ(shown.status, 200);
    EXPECT_TRUE(shown.body.contains(link->code().toUtf8()));
    const QByteArray form = "code=" + link->code().toUtf8() + "&token=" + formToken(shown.body)
        + "&action=confirm&name=Bia&install=" + QUrlQuery(page).queryItemValue(u"install"_s).toUtf8();
    ASSERT_EQ(
        http->send("POST", u"/web/link"_s, form, { { "Content-Type", "application/x-www-form-urlencoded" } }).status,
        200);

    advance(DeviceLink::pollInterval);
    ASSERT_TRUE(waitUntil([&] { return linked.count() == 1 || !link->connecting(); }));
    ASSERT_EQ(linked.count(), 1) << link->message().toStdString();
    EXPECT_TRUE(http->send("GET", u"/web"_s).body.contains("Computador 3f2a9c1e"));

    AccountFailure failed;
    const auto snapshot = request(u"/api/bootstrap"_s, "GET"_ba).decode<DesktopAccountSnapshot>(failed);
    ASSERT_TRUE(snapshot) << failed.text.toStdString();
    EXPECT_EQ(snapshot->user.name, u"Bia"_s);

    BrowserSettings settings = snapshot->settings;
    settings.onboarded = true;
    settings.sites = QStringList { u"example.com"_s };
    const auto saved = request(u"/api/settings"_s, "PUT"_ba, AccountBodies::settingsUpdate({ settings, 0 }))
                           .decode<SavedSettings>(failed);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->revision, 1);
    const AccountReply stale = request(u"/api/settings"_s, "PUT"_ba, AccountBodies::settingsUpdate({ settings, 0 }));
    ASSERT_TRUE(stale.failure);
    EXPECT_TRUE(stale.failure->isHttp(409));

    // Near the end of the hour the client refreshes first, and goes on.
    advance(std::chrono::minutes(59) + std::chrono::seconds(45));
    const auto later = request(u"/api/bootstrap"_s, "GET"_ba).decode<DesktopAccountSnapshot>(failed);
    ASSERT_TRUE(later) << failed.text.toStdString();
    EXPECT_EQ(later->settings.sites, QStringList { u"example.com"_s });
    EXPECT_GT(client->session()->expiresAt, double(now));
}

} // namespace
} // namespace kestravin::testing
