#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHttpServerResponder>
#include <QMap>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace kestravin::testing {

// An HTTP peer on 127.0.0.1 for one test: it records every request and
// answers each with the status the test scripted. Replies can be held back
// (a request in flight) and let go later.
class LoopbackHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    struct Request {
        QString method;
        QString path;
        // Header names in lower case.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer() override;

    bool isListening() const { return m_port != 0; }
    // "http://127.0.0.1:<port>"
    QUrl baseUrl() const;

    void setStatus(int status) { m_status = status; }
    // Answers with this HTML page (chosen per request) instead of an empty body.
    void setPage(std::function<QByteArray(const Request&)> page) { m_page = std::move(page); }
    void setHoldReplies(bool hold) { m_hold = hold; }
    // Answers every held request with the current status.
    void releaseHeld();

    const std::vector<Request>& requests() const { return m_requests; }
    void clear() { m_requests.clear(); }

Q_SIGNALS:
    void requestReceived();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    quint16 m_port = 0;
    int m_status = 200;
    bool m_hold = false;
    std::vector<Request> m_requests;
    std::function<QByteArray(const Request&)> m_page;
    std::vector<std::unique_ptr<QHttpServerResponder>> m_held;
};

} // namespace kestravin::testing
