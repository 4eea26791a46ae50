// Product analytics against a loopback capture service: the event bodies, the
// identify event's once-per-user rule, and that nothing goes out without a
// configured address.
#include "app/services/analytics/ProductAnalytics.h"
#include "support/EventLoop.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

using testing::LoopbackHttpServer;
using testing::spin;
using testing::waitUntil;

class ProductAnalyticsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        QSettings().remove(ProductAnalytics::installIdKey.toString());
        QSettings().remove(ProductAnalytics::linkedUserKey.toString());
        configure(server.baseUrl());
    }

    void TearDown() override
    {
        // Every reply finishes and is gone before the test ends: a post still
        // in flight when the process exits shows up as a leak inside Qt.
        EXPECT_TRUE(waitUntil([] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return QCoreApplication::instance()->findChildren<QNetworkReply*>().isEmpty();
        }));
        ProductAnalytics::configure({});
    }

    void configure(const QUrl& base, const QString& version = u"1.0.0"_s)
    {
        ProductAnalytics::configure({ base, [this] { return user; }, version });
    }

    QJsonObject body(size_t index) const { return QJsonDocument::fromJson(server.requests().at(index).body).object(); }

    bool waitForRequests(size_t count)
    {
        return waitUntil([&] { return server.requests().size() >= count; });
    }

    static QString linkedUser() { return QSettings().value(ProductAnalytics::linkedUserKey.toString()).toString(); }

    LoopbackHttpServer server;
    std::optional<QString> user;
};

TEST_F(ProductAnalyticsTest, CaptureBodyWithoutAnAccount)
{
    ProductAnalytics::capture(u"blocked_attempt"_s,
        { { u"surface"_s, u"mac_app"_s }, { u"service"_s, u"app"_s }, { u"$lib"_s, u"x"_s },
            { u"install_id"_s, u"mine"_s }, { u"app_version"_s, u"9"_s } });
    ASSERT_TRUE(waitForRequests(1));

    const QString install = QSettings().value(ProductAnalytics::installIdKey.toString()).toString();
    EXPECT_TRUE(QRegularExpression(u"^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"_s)
                    .match(install)
                    .hasMatch())
        << install.toStdString();
    const auto& request = server.requests().front();
    EXPECT_EQ(request.method, u"POST"_s);
    EXPECT_EQ(request.path, u"/i/v0/e/"_s);
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_FALSE(request.body.contains('\n')) << "written compactly";
    const QJsonObject expected {
        { u"api_key"_s, u"phc_Vr4nT8qLm2XcZ6hWd9KsB3yPf7JgN1aQe5RtUoMxK2wE"_s },
        { u"event"_s, u"blocked_attempt"_s },
        { u"distinct_id"_s, install },
        { u"properties"_s,
            QJsonObject {
                { u"surface"_s, u"mac_app"_s },
                { u"service"_s, u"app"_s },
                { u"$lib"_s, u"kestravin-mac"_s },
                { u"install_id"_s, install },
                { u"app_version"_s, u"1.0.0"_s },
            } },
    };
    EXPECT_EQ(body(0), expected);

    // The id is kept; an account's events carry its user id instead; a build
    // without a version sends the empty text.
    user = u"user-7"_s;
    configure(server.baseUrl(), QString());
    ProductAnalytics::capture(u"app_opened"_s);
    ASSERT_TRUE(waitForRequests(2));
    EXPECT_EQ(body(1).value(u"distinct_id"_s).toString(), u"user-7"_s);
    const QJsonObject properties = body(1).value(u"properties"_s).toObject();
    EXPECT_EQ(properties.value(u"install_id"_s).toString(), install);
    EXPECT_EQ(properties.value(u"app_version"_s), QJsonValue(u""_s));
    EXPECT_EQ(properties.size(), 3);
}

TEST_F(ProductAnalyticsTest, IdentifyIsSentOncePerUserAndRememberedOnlyWhenAccepted)
{
    user = u"user-1"_s;
    server.setHoldReplies(true);
    ProductAnalytics::linkAccount();
    ProductAnalytics::linkAccount();
    ASSERT_TRUE(waitForRequests(1));
    spin(200);
    ASSERT_EQ(server.requests().size(), 1u) << "one identify while one is in flight";
    const QString install = ProductAnalytics::installId();
    const QJsonObject identify = body(0);
    EXPECT_EQ(identify.value(u"event"_s).toString(), u"$identify"_s);
    EXPECT_EQ(identify.value(u"distinct_id"_s).toString(), u"user-1"_s);
    EXPECT_EQ(identify.value(u"api_key"_s).toString(), ProductAnalytics::apiKey.toString());
    EXPECT_EQ(identify.value(u"properties"_s).toObject(),
        (QJsonObject { { u"$anon_distinct_id"_s, install }, { u"$lib"_s, u"kestravin-mac"_s } }));

    server.releaseHeld();
    ASSERT_TRUE(waitUntil([] { return linkedUser() == u"user-1"_s; }));
    ProductAnalytics::linkAccount();
    spin(200);
    EXPECT_EQ(server.requests().size(), 1u) << "accepted: not sent again";
}

TEST_F(ProductAnalyticsTest, IdentifyStoresNothingWhenRefusedOrWhenTheWorldChanged)
{
    struct Case {
        const char* what;
        int status;
        std::function<void(std::optional<QString>& user)> meanwhile;
    };
    const std::vector<Case> cases {
        { "refused", 500, [](auto&) {} },
        { "signed out", 200, [](auto& u) { u.reset(); } },
        { "another user", 200, [](auto& u) { u = u"user-2"_s; } },
        { "install id renewed", 200, [](auto&) { QSettings().remove(ProductAnalytics::installIdKey.toString()); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.clear();
        QSettings().remove(ProductAnalytics::linkedUserKey.toString());
        user = u"user-1"_s;
        server.setHoldReplies(true);
        server.setStatus(c.status);
        ProductAnalytics::linkAccount();
        ASSERT_TRUE(waitForRequests(1));
        c.meanwhile(user);
        server.releaseHeld();
        spin(300);
        EXPECT_TRUE(linkedUser().isEmpty());

        // The next call tries again.
        user = u"user-1"_s;
        server.setHoldReplies(false);
        server.setStatus(200);
        ProductAnalytics::linkAccount();
        ASSERT_TRUE(waitForRequests(2));
        ASSERT_TRUE(waitUntil([] { return linkedUser() == u"user-1"_s; }));
    }
}

TEST_F(ProductAnalyticsTest, AnUnansweredIdentifyTimesOutAfterFiveSecondsAndIsSentAgain)
{
    user = u"user-1"_s;
    server.setHoldReplies(true);
    QElapsedTimer clock;
    clock.start();
    ProductAnalytics::linkAccount();
    ASSERT_TRUE(waitForRequests(1));
    server.setHoldReplies(false);
    // Until the time-out the identify counts as in flight.
    ASSERT_TRUE(waitUntil(
        [&] {
            ProductAnalytics::linkAccount();
            return server.requests().size() >= 2;
        },
        9000));
    EXPECT_GE(clock.elapsed(), 4500); // Qt's coarse timers may fire 5 % early
    EXPECT_LT(clock.elapsed(), 8000);
    ASSERT_TRUE(waitUntil([] { return linkedUser() == u"user-1"_s; }));
}

TEST_F(ProductAnalyticsTest, NothingIsSentWithoutACaptureAddress)
{
    configure(QUrl());
    user = u"user-1"_s;
    ProductAnalytics::capture(u"app_opened"_s);
    ProductAnalytics::linkAccount();
    spin(300);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(linkedUser().isEmpty());

    // Configured later, the identify is not stuck as "in flight".
    configure(server.baseUrl());
    ProductAnalytics::linkAccount();
    EXPECT_TRUE(waitForRequests(1));
}

TEST(ProductAnalyticsAddress, TheEnvironmentReplacesTheBuiltInAddress)
{
    qputenv("KESTRAVIN_ANALYTICS_URL", "http://127.0.0.1:9");
    EXPECT_EQ(ProductAnalytics::configuredCaptureBase(), QUrl(u"http://127.0.0.1:9"_s));
    qunsetenv("KESTRAVIN_ANALYTICS_URL");
    EXPECT_EQ(ProductAnalytics::configuredCaptureBase(), QUrl(QString()));
}

} // namespace
} // namespace kestravin
