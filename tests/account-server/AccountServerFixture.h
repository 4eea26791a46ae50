#pragma once

#include "AccountServer.h"
#include "AccountStore.h"

#include "EventLoop.h"
#include "app/models/AccountJson.h"
#include "app/models/AccountRecords.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestravin::testing {

// One HTTP exchange as it went over the wire.
struct HttpReply {
    int status = 0;
    QByteArray head;
    QByteArray body;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QString error() const { return json().value(QStringLiteral("error")).toString(); }
    QByteArray header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

// Sends raw HTTP/1.1 requests, so that a test controls every header.
class RawHttp {
public:
    explicit RawHttp(quint16 port) : m_port(port) { }

    // Writes the request and returns the socket; `finish` reads the reply.
    QTcpSocket* start(const QByteArray& method, const QString& path, const QByteArray& body = {},
        const QList<std::pair<QByteArray, QByteArray>>& headers = {}) const
    {
        auto* socket = new QTcpSocket;
        socket->connectToHost(QHostAddress::LocalHost, m_port);
        QByteArray request = method + ' ' + path.toUtf8() + " HTTP/1.1\r\n";
        bool hasHost = false;
        for (const auto& [name, value] : headers) {
            request += name + ": " + value + "\r\n";
            hasHost = hasHost || name.compare("Host", Qt::CaseInsensitive) == 0;
        }
        if (!hasHost)
            request += "Host: 127.0.0.1:" + QByteArray::number(m_port) + "\r\n";
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
        socket->write(request + body);
        return socket;
    }

    // Reads one reply: the head, then as many body bytes as it announced.
    static HttpReply finish(QTcpSocket* socket)
    {
        QByteArray raw;
        HttpReply reply;
        const auto complete = [&] {
            const qsizetype split = raw.indexOf("\r\n\r\n");
            if (split < 0)
                return false;
            reply.head = raw.left(split);
            const QByteArray length = reply.header("Content-Length");
            return length.isEmpty() ? socket->state() == QAbstractSocket::UnconnectedState
                                    : raw.size() - split - 4 >= length.toLongLong();
        };
        waitUntil([&] {
            raw += socket->readAll();
            return complete() || socket->state() == QAbstractSocket::UnconnectedState;
        });
        raw += socket->readAll();
        delete socket;
        const qsizetype split = raw.indexOf("\r\n\r\n");
        reply.head = raw.left(split);
        reply.body = split < 0 ? QByteArray() : raw.mid(split + 4);
        const QList<QByteArray> status = reply.head.left(reply.head.indexOf("\r\n")).split(' ');
        reply.status = status.size() > 1 ? status[1].toInt() : 0;
        return reply;
    }

    HttpReply send(const QByteArray& method, const QString& path, const QByteArray& body = {},
        const QList<std::pair<QByteArray, QByteArray>>& headers = {}) const
    {
        return finish(start(method, path, body, headers));
    }

private:
    quint16 m_port = 0;
};

// The account server on a loopback port of its own, over a database in a
// temporary folder, with a clock the test moves.
class AccountServerFixture : public ::testing::Test {
protected:
    static constexpr qint64 start = 1781000000000; // a Tuesday, 2026-06-09 UTC

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QString error;
        ASSERT_TRUE(store.open(dir.filePath(QStringLiteral("account.sqlite")), &error)) << error.toStdString();
        auto* tcp = new QTcpServer(&server);
        ASSERT_TRUE(tcp->listen(QHostAddress::LocalHost, 0));
        server.bind(tcp);
        http = std::make_unique<RawHttp>(tcp->serverPort());
        port = tcp->serverPort();
    }

    HttpReply call(const QByteArray& method, const QString& path, const QByteArray& body = {},
        const std::optional<QString>& token = std::nullopt, QList<std::pair<QByteArray, QByteArray>> headers = {}) const
    {
        headers.emplaceBack("Content-Type", "application/json");
        if (token)
            headers.emplaceBack("Authorization", "Bearer " + token->toUtf8());
        return http->send(method, path, body, headers);
    }

    HttpReply call(const QByteArray& method, const char* path, const QByteArray& body = {},
        const std::optional<QString>& token = std::nullopt, QList<std::pair<QByteArray, QByteArray>> headers = {}) const
    {
        return call(method, QString::fromLatin1(path), body, token, std::move(headers));
    }

    HttpReply authed(const QByteArray& method, const QString& path, const QByteArray& body = {}) const
    {
        return call(method, path, body, session.accessToken, { { "X-Timezone", "America/Sao_Paulo" } });
    }

    // Moves the clock and keeps the session alive across the jump, as the
    // client's refresh does.
    void advance(qint64 ms)
    {
        now += ms;
        const auto renewed = AccountJson::decode<DesktopAccountSession>(
            call("POST", "/api/auth/refresh", AccountBodies::refresh(session.refreshToken)).body);
        ASSERT_TRUE(renewed);
        session = *renewed;
    }

    // The confirmation page's form token, read from its HTML.
    static QByteArray formToken(const QByteArray& html)
    {
        const auto match
            = QRegularExpression(QStringLiteral("name=\"token\" value=\"([^\"]+)\"")).match(QString::fromUtf8(html));
        return match.captured(1).toUtf8();
    }

    HttpReply confirmForm(const DeviceConnection& connection, const QByteArray& action, const QByteArray& name,
        QList<std::pair<QByteArray, QByteArray>> headers = {}) const
    {
        const HttpReply page = http->send("GET", QStringLiteral("/web/link?code=") + connection.code);
        const QByteArray form = "code=" + connection.code.toUtf8() + "&token=" + formToken(page.body)
            + "&action=" + action + "&name=" + name;
        headers.emplaceBack("Content-Type", "application/x-www-form-urlencoded");
        return http->send("POST", QStringLiteral("/web/link"), form, headers);
    }

    DeviceConnection begin() const
    {
        const auto connection = AccountJson::decode<DeviceConnection>(call("POST", "/api/device/begin", "{}").body);
        EXPECT_TRUE(connection.has_value());
        return connection.value_or(DeviceConnection {});
    }

    // Links one more computer the way a person does: begin, confirm on the
    // page, poll.
    DesktopAccountSession link(const QByteArray& name = "Ana+Lima")
    {
        const DeviceConnection connection = begin();
        EXPECT_EQ(confirmForm(connection, "confirm", name).status, 200);
        const HttpReply polled = call("POST", "/api/device/poll", AccountBodies::devicePoll(connection.secret),
            std::nullopt, { { "X-Timezone", "America/Sao_Paulo" } });
        const auto poll = AccountJson::decode<DevicePoll>(polled.body);
        EXPECT_TRUE(poll && poll->session) << polled.body.toStdString();
        return poll && poll->session ? *poll->session : DesktopAccountSession {};
    }

    QTemporaryDir dir;
    AccountStore store;
    qint64 now = start;
    AccountServer server { store, [this] { return now; } };
    std::unique_ptr<RawHttp> http;
    quint16 port = 0;
    DesktopAccountSession session;
};

} // namespace kestravin::testing
