#pragma once

#include "app/models/AccountFolga.h"
#include "app/models/AccountRecords.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QTcpSocket;

namespace kestravin::testing {

// A loopback stand-in for the account HTTP API. It answers the account
// endpoints from a small state of its own, logs every request, and takes
// scripted faults per path for the next requests that reach it. Its replies
// are written by the application's wire records (AccountRecords,
// AccessRequests); only the account state a test scripts (`snapshot`) is
// kept as JSON, so that a test may also spoil it.
class AccountApiDouble final : public QAbstractHttpServer {
public:
    struct Request {
        QByteArray method;
        QString path;
        QString query;
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;

        QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    };

    // What the next request to a path gets instead of the normal answer.
    struct Fault {
        int status = 200;
        // The body as given; unset keeps the normal body (or, for a status
        // other than 200, a JSON error body).
        std::optional<QByteArray> body;
        // Extra headers, for instance Location.
        QList<std::pair<QByteArray, QByteArray>> headers;
        // Sends no Content-Length and ends the body by closing.
        bool omitLength = false;
        // Milliseconds to wait before answering.
        int delayMs = 0;
        // Closes the connection without an answer.
        bool drop = false;
    };

    AccountApiDouble();
    ~AccountApiDouble() override;

    QUrl apiBase() const { return m_base; }
    // The web app's base on the same origin.
    QUrl webBase() const;

    // Queues `fault` for the next request to `path`; several queue up.
    void addFault(const QString& path, Fault fault);
    static Fault status(int status, std::optional<QByteArray> body = std::nullopt);
    static Fault bodyOfSize(qsizetype size);

    const QList<Request>& requests() const { return m_requests; }
    QList<Request> requestsTo(const QString& path) const;
    int count(const QString& path) const { return int(requestsTo(path).size()); }
    void clearLog() { m_requests.clear(); }

    // The double's clock, milliseconds since 1970.
    std::function<double()> nowMs;

    // Device link: the code, its secret and lifetime, and whether the person
    // confirmed it (the poll says "connected" from then on).
    QString linkCode = QStringLiteral("ABCD-1234");
    QString linkSecret = QStringLiteral("secret-1");
    double linkLifetimeMs = 600000;
    QString linkPagePath = QStringLiteral("/web/link");
    bool confirmed = false;

    // Sessions: the access tokens the API takes and the refresh token it
    // accepts. `issueSession` makes a new pair and returns it as JSON.
    double sessionLifetimeMs = 3600000;
    QSet<QString> validAccessTokens;
    QString validRefreshToken;
    QJsonObject issueSession();

    // The account state that GET /api/bootstrap returns; POST /api/focus and
    // POST /api/folga change it as the account would.
    QJsonObject snapshot;
    // What GET /api/folga/history lists.
    QList<FolgaEntry> folgaHistory;

    // One scripted answer of POST /api/decide. The reply is built from the
    // request as an honest account would (echoes, an end within the focus
    // and the minutes asked for); `edit` may then spoil it.
    struct Decision {
        QString decision = QStringLiteral("allow");
        QString reason = QStringLiteral("Pode ir, com calma.");
        std::function<void(QJsonObject& reply)> edit;
        // An allowed site or link is recorded as an account grant that
        // GET /api/bootstrap lists after `grantDelay` more downloads; with
        // `grant` false it never appears.
        bool grant = true;
        int grantDelay = 0;
    };
    // Taken one per request; with none queued the double denies.
    QQueue<Decision> decisions;
    // The grants recorded so far, as bootstrap lists them once due.
    QJsonArray grants() const { return snapshot.value(QStringLiteral("grants")).toArray(); }

private:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

    Fault answer(const Request& request);
    DesktopAccountSession newSession();
    QJsonObject decide(const QJsonObject& body);
    void releaseGrants();
    void respond(QTcpSocket* socket, const Fault& reply);

    QUrl m_base;
    QList<Request> m_requests;
    QMap<QString, QQueue<Fault>> m_faults;
    int m_issued = 0;
    int m_focuses = 0;
    // Grants waiting for their delay, with the downloads still to pass.
    QList<std::pair<int, QJsonObject>> m_pendingGrants;
};

} // namespace kestravin::testing
