#include "AccountServer.h"

#include "AccountPages.h"
#include "AccountRequests.h"

#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcServer, "com.kestravin.account", QtInfoMsg)

using Method = QHttpServerRequest::Method;
using Reply = AccountServer::Reply;

QByteArray methodName(Method method)
{
    switch (method) {
    case Method::Get:
        return "GET"_ba;
    case Method::Put:
        return "PUT"_ba;
    case Method::Delete:
        return "DELETE"_ba;
    case Method::Post:
        return "POST"_ba;
    case Method::Head:
        return "HEAD"_ba;
    case Method::Options:
        return "OPTIONS"_ba;
    case Method::Patch:
        return "PATCH"_ba;
    default:
        return "OTHER"_ba;
    }
}

Reply json(const QJsonObject& object, int status = 200)
{
    return { status, QJsonDocument(object).toJson(QJsonDocument::Compact), false, {} };
}

Reply failure(int status, const QString& text, const QString& code = {})
{
    QJsonObject body { { u"error"_s, text } };
    if (!code.isEmpty())
        body.insert(u"code"_s, code);
    return json(body, status);
}

Reply page(const QByteArray& html, int status = 200)
{
    return { status, html, true, {} };
}

Reply badInput(const QString& detail)
{
    qCInfo(lcServer).noquote() << "AccountServer: refused body:" << detail;
    return failure(400, u"O pedido veio num formato inesperado."_s);
}

const QString signedOut = u"Sessão expirada. Conecte sua conta de novo."_s;

// The methods each path answers; any other path is unknown.
const QHash<QString, QList<Method>>& routes()
{
    static const QHash<QString, QList<Method>> table {
        { u"/api/device/begin"_s, { Method::Post } },
        { u"/api/device/poll"_s, { Method::Post } },
        { u"/api/auth/refresh"_s, { Method::Post } },
        { u"/api/auth/logout"_s, { Method::Post } },
        { u"/api/bootstrap"_s, { Method::Get } },
        { u"/api/settings"_s, { Method::Put } },
        { u"/api/focus"_s, { Method::Post, Method::Delete } },
        { u"/api/folga"_s, { Method::Post } },
        { u"/api/folga/earn"_s, { Method::Post } },
        { u"/api/folga/history"_s, { Method::Get } },
        { u"/api/missions"_s, { Method::Put } },
        { u"/api/decide"_s, { Method::Post } },
        { u"/web"_s, { Method::Get } },
        { u"/web/"_s, { Method::Get } },
        { u"/web/link"_s, { Method::Get, Method::Post } },
    };
    return table;
}

// Calls that may come without a session.
bool isOpen(const QString& path)
{
    return path == u"/api/device/begin"_s || path == u"/api/device/poll"_s || path == u"/api/auth/refresh"_s
        || path.startsWith(u"/web"_s);
}

// A body that is not empty must at least be a JSON object.
bool emptyOrObject(const QByteArray& body)
{
    if (body.trimmed().isEmpty())
        return true;
    QJsonParseError error {};
    return QJsonDocument::fromJson(body, &error).isObject() && error.error == QJsonParseError::NoError;
}

// Answers 413 and closes a connection that sends more than any request may
// carry, before Qt HTTP Server has buffered it all. Each answer written on
// the connection starts the count again.
class GuardedListener final : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            return;
        }
        // Replies go out whole at once: without this, the last small segment of
        // a reply can wait for the client's delayed acknowledgement.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto unanswered = std::make_shared<qint64>(0);
        connect(socket, &QTcpSocket::bytesWritten, socket, [unanswered] { *unanswered = 0; });
        // Connected before the HTTP server's own handler, so it runs first.
        connect(socket, &QTcpSocket::readyRead, socket, [socket, unanswered] {
            *unanswered += socket->bytesAvailable();
            if (*unanswered <= AccountServer::maximumUnanswered)
                return;
            socket->readAll();
            const QByteArray body = QJsonDocument(QJsonObject { { u"error"_s, u"O pedido é grande demais."_s } })
                                        .toJson(QJsonDocument::Compact);
            socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nContent-Length: "_ba
                + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n"_ba + body);
            socket->disconnectFromHost();
            qCInfo(lcServer).noquote() << "AccountServer: a connection sent more than a request may hold; closed (413)";
        });
        addPendingConnection(socket);
    }
};

} // namespace

AccountServer::AccountServer(AccountStore& store, std::function<qint64()> now, bool loopbackOnly, QObject* parent)
    : QAbstractHttpServer(parent), m_store(store), m_now(std::move(now)), m_loopbackOnly(loopbackOnly)
{
}

AccountServer::~AccountServer() = default;

bool AccountServer::listenOn(const QHostAddress& address, quint16 port, QString* error)
{
    auto* listener = new GuardedListener(this);
    if (!listener->listen(address, port)) {
        if (error)
            *error = listener->errorString();
        delete listener;
        return false;
    }
    bind(listener);
    return true;
}

quint16 AccountServer::port() const
{
    const QList<QTcpServer*> listeners = servers();
    return listeners.isEmpty() ? 0 : listeners.first()->serverPort();
}

bool AccountServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    QElapsedTimer timer;
    timer.start();
    Reply reply;
    try {
        reply = route(request);
    } catch (const AccountStore::Failure& error) {
        qCWarning(lcServer).noquote() << "AccountServer: storage failed:" << QString::fromStdString(error.what());
        reply = failure(500, u"O serviço da conta falhou. Tente de novo em instantes."_s);
    }
    send(request, socket, reply);
    // The path only: queries may carry a link code.
    qCInfo(lcServer).noquote() << u"AccountServer: %1 %2 %3 %4 ms"_s.arg(
        QString::fromLatin1(methodName(request.method())), request.url().path(), QString::number(reply.status),
        QString::number(double(timer.nsecsElapsed()) / 1e6, 'f', 2));
    return true;
}

void AccountServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    send(request, socket, failure(404, u"Não encontrado."_s));
}

void AccountServer::send(const QHttpServerRequest& request, QTcpSocket* socket, const Reply& reply)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    const auto status = QHttpServerResponder::StatusCode(reply.status);
    if (reply.html) {
        // "same-origin", not "no-referrer": under "no-referrer" a browser
        // posts the page's own form with "Origin: null", which the
        // cross-site check of linkForm must refuse.
        responder.write(reply.body,
            { { "Content-Type"_ba, "text/html; charset=utf-8"_ba }, { "Cache-Control"_ba, "no-store"_ba },
                { "Content-Security-Policy"_ba,
                    "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; frame-ancestors 'none'"_ba },
                { "X-Frame-Options"_ba, "DENY"_ba }, { "X-Content-Type-Options"_ba, "nosniff"_ba },
                { "Referrer-Policy"_ba, "same-origin"_ba } },
            status);
    } else if (!reply.allow.isEmpty()) {
        responder.write(reply.body,
            { { "Content-Type"_ba, "application/json"_ba }, { "Cache-Control"_ba, "no-store"_ba },
                { "Allow"_ba, reply.allow } },
            status);
    } else {
        responder.write(reply.body,
            { { "Content-Type"_ba, "application/json"_ba }, { "Cache-Control"_ba, "no-store"_ba } }, status);
    }
}

bool AccountServer::hostAllowed(const QHttpServerRequest& request) const
{
    if (!m_loopbackOnly)
        return true;
    const QString host = request.url().host().toLower();
    return host == u"127.0.0.1"_s || host == u"localhost"_s || host == u"::1"_s;
}

QTimeZone AccountServer::zoneOf(const QHttpServerRequest& request)
{
    // The caller's own zone first; the account's only when the caller sends none.
    QByteArray id = request.value("X-Timezone"_ba);
    if (id.isEmpty() || !QTimeZone::isTimeZoneIdAvailable(id))
        id = m_store.settingsTimezone().toUtf8();
    return !id.isEmpty() && QTimeZone::isTimeZoneIdAvailable(id) ? QTimeZone(id) : QTimeZone::utc();
}

Reply AccountServer::route(const QHttpServerRequest& request)
{
    if (request.body().size() > maximumBody)
        return failure(413, u"O pedido é grande demais."_s);
    const QString path = request.url().path();
    const auto allowed = routes().constFind(path);
    if (allowed == routes().cend())
        return path.startsWith(u"/web"_s) ? page(AccountPages::notFound(), 404) : failure(404, u"Não encontrado."_s);
    if (!allowed->contains(request.method())) {
        Reply reply = failure(405, u"Método não permitido."_s);
        QByteArrayList names;
        for (Method method : *allowed)
            names.append(methodName(method));
        reply.allow = names.join(", "_ba);
        return reply;
    }
    if (!hostAllowed(request))
        return failure(400, u"Endereço desconhecido."_s);

    if (path == u"/web/link"_s)
        return request.method() == Method::Get ? linkPage(request) : linkForm(request);
    if (path.startsWith(u"/web"_s)) {
        const qint64 now = m_now();
        return page(AccountPages::account(m_store.person(), m_store.devices(now), zoneOf(request)));
    }
    return api(path, request);
}

Reply AccountServer::api(const QString& path, const QHttpServerRequest& request)
{
    const qint64 now = m_now();
    const QByteArray& body = request.body();
    QString error;

    std::optional<AccountStore::Caller> caller;
    if (!isOpen(path)) {
        const QByteArray header = request.value("Authorization"_ba);
        if (header.startsWith("Bearer "_ba))
            caller = m_store.authenticate(QString::fromLatin1(header.mid(7)), now);
        if (!caller)
            return failure(401, signedOut);
    }

    if (path == u"/api/device/begin"_s) {
        if (!emptyOrObject(body))
            return badInput(u"begin body is not an object"_s);
        const AccountStore::LinkStart start = m_store.beginLink(now);
        QUrl web = request.url();
        web.setScheme(u"http"_s);
        web.setPath(u"/web/link"_s);
        web.setQuery(u"code="_s + start.code);
        web.setUserInfo({});
        web.setFragment({});
        return json({ { u"code"_s, start.code }, { u"secret"_s, start.secret },
            { u"expiresAt"_s, double(start.expiresAt) }, { u"webURL"_s, web.toString(QUrl::FullyEncoded) } });
    }
    if (path == u"/api/device/poll"_s) {
        const auto poll = AccountRequests::poll(body, &error);
        if (!poll)
            return badInput(error);
        const auto result = m_store.poll(poll->secret, now, QString::fromUtf8(request.value("X-Timezone"_ba)));
        using Status = AccountStore::PollResult::Status;
        switch (result.status) {
        case Status::unknown:
            return failure(404, u"Código desconhecido. Peça um novo código."_s);
        case Status::cancelled:
            return failure(410, u"A conexão foi cancelada no navegador."_s);
        case Status::pending:
            return json({ { u"status"_s, u"pending"_s } });
        case Status::expired:
            return json({ { u"status"_s, u"expired"_s } });
        case Status::connected:
            return json({ { u"status"_s, u"connected"_s }, { u"session"_s, result.session->toJson() } });
        }
    }
    if (path == u"/api/auth/refresh"_s) {
        const auto refresh = AccountRequests::refresh(body, &error);
        if (!refresh)
            return badInput(error);
        const auto session = m_store.refresh(refresh->refreshToken, now);
        if (!session)
            return failure(401, signedOut);
        return json(session->toJson());
    }
    if (path == u"/api/auth/logout"_s) {
        m_store.revoke(caller->sessionId);
        return json({});
    }
    if (path == u"/api/bootstrap"_s)
        return { 200, m_store.bootstrap(now, zoneOf(request)), false, {} };
    if (path == u"/api/settings"_s) {
        const auto update = AccountRequests::settingsUpdate(body, &error);
        if (!update)
            return badInput(error);
        const auto [result, revision] = m_store.saveSettings(*update);
        if (result == AccountStore::SaveResult::stale)
            return failure(409, u"Esta agenda mudou em outro dispositivo."_s, u"stale_revision"_s);
        return json({ { u"revision"_s, revision } });
    }
    if (path == u"/api/focus"_s) {
        if (request.method() == Method::Delete)
            return json({ { u"focus"_s, m_store.stopFocus(now) } });
        const auto start = AccountRequests::focusStart(body, &error);
        if (!start)
            return badInput(error);
        return json({ { u"focus"_s, m_store.startFocus(start->minutes, now) } });
    }
    if (path == u"/api/folga"_s) {
        if (!emptyOrObject(body))
            return badInput(u"folga body is not an object"_s);
        const auto [result, reply] = m_store.useFolga(now, zoneOf(request));
        if (result == AccountStore::FolgaResult::alreadyActive)
            return failure(409, u"Uma folga já está em uso."_s);
        if (result == AccountStore::FolgaResult::noneAvailable)
            return failure(409, u"Nenhuma folga disponível."_s);
        return json(reply);
    }
    if (path == u"/api/folga/earn"_s) {
        const auto earn = AccountRequests::folgaEarn(body, &error);
        if (!earn)
            return badInput(error);
        const auto [result, reply] = m_store.earnFolga(earn->mission, now, zoneOf(request));
        if (result == AccountStore::FolgaResult::unknownMission)
            return failure(409, u"Esta meta não está entre as suas."_s);
        if (result == AccountStore::FolgaResult::alreadyEarned)
            return failure(409, u"Esta meta já rendeu uma folga hoje."_s);
        return json(reply);
    }
    if (path == u"/api/folga/history"_s)
        return json({ { u"entries"_s, m_store.folgaHistory(now) } });
    if (path == u"/api/missions"_s) {
        const auto missions = AccountRequests::missions(body, &error);
        if (!missions)
            return badInput(error);
        m_store.saveMissions(missions->missions);
        return json({});
    }
    if (path == u"/api/decide"_s) {
        const auto decide = AccountRequests::decide(body, &error);
        if (!decide)
            return badInput(error);
        const auto outcome = m_store.decide(*decide, now);
        if (!outcome.reply)
            return failure(outcome.status, outcome.error);
        return json(*outcome.reply);
    }
    return failure(404, u"Não encontrado."_s);
}

Reply AccountServer::linkPage(const QHttpServerRequest& request)
{
    const QUrlQuery query = request.query();
    const auto link = m_store.pendingLink(query.queryItemValue(u"code"_s), m_now());
    if (!link)
        return page(AccountPages::unknownCode(), 404);
    AccountPages::LinkPage content;
    content.code = link->code;
    content.formToken = link->formToken;
    content.install = query.queryItemValue(u"install"_s, QUrl::FullyDecoded).left(AccountRequests::identifierMaximum);
    content.askName = !m_store.person();
    return page(AccountPages::confirmation(content));
}

Reply AccountServer::linkForm(const QHttpServerRequest& request)
{
    // A form posted from another site is refused before it is read: the
    // browser names the page it came from.
    const QByteArray site = request.value("Sec-Fetch-Site"_ba);
    const QByteArray origin = request.value("Origin"_ba);
    QUrl own = request.url();
    own.setPath({});
    own.setQuery(QString());
    const QByteArray ownOrigin = own.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::StripTrailingSlash).toUtf8();
    if ((!site.isEmpty() && site != "same-origin"_ba && site != "none"_ba)
        || (!origin.isEmpty() && origin != ownOrigin))
        return page(AccountPages::refused(), 403);

    QString error;
    const auto form = AccountRequests::linkForm(request.body(), &error);
    if (!form)
        return page(AccountPages::refused(), 400);
    switch (m_store.answerLink(*form, m_now())) {
    case AccountStore::ConfirmResult::confirmed:
        return page(AccountPages::confirmed());
    case AccountStore::ConfirmResult::cancelled:
        return page(AccountPages::cancelled());
    case AccountStore::ConfirmResult::unknown:
        return page(AccountPages::unknownCode(), 404);
    case AccountStore::ConfirmResult::badToken:
        return page(AccountPages::refused(), 403);
    case AccountStore::ConfirmResult::nameNeeded: {
        const auto link = m_store.pendingLink(form->code, m_now());
        if (!link)
            return page(AccountPages::unknownCode(), 404);
        AccountPages::LinkPage content { link->code, link->formToken, form->install, true,
            u"Escreva seu nome para criar a conta."_s };
        return page(AccountPages::confirmation(content), 400);
    }
    }
    return page(AccountPages::refused(), 400);
}

} // namespace kestravin
