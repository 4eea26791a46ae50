#include "LoopbackHttpServer.h"

#include <QHostAddress>
#include <QHttpServerRequest>

using namespace Qt::StringLiterals;

namespace kestravin::testing {
namespace {

QString methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return u"GET"_s;
    case QHttpServerRequest::Method::Post:
        return u"POST"_s;
    case QHttpServerRequest::Method::Put:
        return u"PUT"_s;
    case QHttpServerRequest::Method::Delete:
        return u"DELETE"_s;
    case QHttpServerRequest::Method::Head:
        return u"HEAD"_s;
    default:
        return u"OTHER"_s;
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer()
{
    m_port = listen(QHostAddress::LocalHost, 0);
}

LoopbackHttpServer::~LoopbackHttpServer() = default;

QUrl LoopbackHttpServer::baseUrl() const
{
    return QUrl(u"http://127.0.0.1:%1"_s.arg(m_port));
}

void LoopbackHttpServer::releaseHeld()
{
    for (auto& responder : m_held) {
        responder->write(QHttpServerResponder::StatusCode(m_status));
    }
    m_held.clear();
}

bool LoopbackHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    Request recorded { methodName(request.method()), request.url().path(), {}, request.body() };
    for (const auto& [name, value] : request.headers()) {
        recorded.headers.insert(name.toLower(), value);
    }
    m_requests.push_back(std::move(recorded));
    auto responder = std::make_unique<QHttpServerResponder>(makeResponder(request, socket));
    if (m_hold) {
        m_held.push_back(std::move(responder));
    } else if (m_page) {
        responder->write(m_page(m_requests.back()), "text/html", QHttpServerResponder::StatusCode(m_status));
    } else {
        responder->write(QHttpServerResponder::StatusCode(m_status));
    }
    Q_EMIT requestReceived();
    return true;
}

void LoopbackHttpServer::missingHandler(const QHttpServerRequest&, QTcpSocket*)
{
}

} // namespace kestravin::testing
