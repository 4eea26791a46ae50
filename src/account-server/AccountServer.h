#pragma once

#include "AccountStore.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QString>

#include <functional>

class QHttpServerRequest;
class QTcpSocket;

namespace kestravin {

// The account HTTP API and its web pages over Qt HTTP Server. Success is
// exactly 200; every refusal is {"error": "..."} (or a page, under the web
// base) with its status: 400 bad input, 401 no valid session, 404 unknown
// path, 405 wrong method, 409 a conflict with the stored state, 413 a body
// over the limit. One log line per request: method, path, status, time.
// The API lives under "/api", the web pages under "/web".
class AccountServer final : public QAbstractHttpServer {
    Q_OBJECT

public:
    static constexpr qsizetype maximumBody = 64000;

    // `now` gives Unix milliseconds. With `loopbackOnly`, requests must name
    // a loopback host, so that no other site's address can be pointed here.
    AccountServer(
        AccountStore& store, std::function<qint64()> now, bool loopbackOnly = true, QObject* parent = nullptr);
    ~AccountServer() override;

    struct Reply {
        int status = 200;
        QByteArray body;
        bool html = false;
        QByteArray allow;
    };

private:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void send(const QHttpServerRequest& request, QTcpSocket* socket, const Reply& reply);

    Reply route(const QHttpServerRequest& request);
    Reply api(const QString& path, const QHttpServerRequest& request);
    Reply linkPage(const QHttpServerRequest& request);
    Reply linkForm(const QHttpServerRequest& request);
    QTimeZone zoneOf(const QHttpServerRequest& request);
    bool hostAllowed(const QHttpServerRequest& request) const;

    AccountStore& m_store;
    std::function<qint64()> m_now;
    bool m_loopbackOnly = true;
};

} // namespace kestravin
