#include "AccountApiDouble.h"

#include "app/models/AccessRequests.h"
#include "app/models/AccountRecords.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

namespace {

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray errorBody(const QString& text, std::optional<QString> code = std::nullopt)
{
    return json(AccountErrorReply { text, std::move(code) }.toJson());
}

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET"_ba;
    case QHttpServerRequest::Method::Put:
        return "PUT"_ba;
    case QHttpServerRequest::Method::Delete:
        return "DELETE"_ba;
    case QHttpServerRequest::Method::Post:
        return "POST"_ba;
    case QHttpServerRequest::Method::Head:
        return "HEAD"_ba;
    case QHttpServerRequest::Method::Options:
        return "OPTIONS"_ba;
    case QHttpServerRequest::Method::Patch:
        return "PATCH"_ba;
    default:
        return "OTHER"_ba;
    }
}

// The request's text at `key`, echoed only when it sent one.
std::optional<QString> stringIn(const QJsonObject& body, const QString& key)
{
    const QJsonValue value = body.value(key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

QJsonObject defaultSnapshot()
{
    DesktopAccountSnapshot snapshot;
    snapshot.user = { u"user-1"_s, u"ana@example.com"_s, std::nullopt, std::nullopt };
    snapshot.settings.onboarded = true;
    snapshot.settings.enabled = true;
    snapshot.settings.timezone = u"America/Sao_Paulo"_s;
    snapshot.settings.schedule = { BrowserScheduleSlot { { 1, 2, 3, 4, 5 }, u"09:00"_s, u"17:00"_s } };
    snapshot.settings.sites = QStringList { u"example.com"_s };
    snapshot.revision = 1;
    return snapshot.toJson();
}

} // namespace

AccountApiDouble::AccountApiDouble()
    : nowMs([] { return double(QDateTime::currentMSecsSinceEpoch()); }), snapshot(defaultSnapshot())
{
    const quint16 port = listen(QHostAddress::LocalHost, 0);
    m_base = QUrl(u"http://127.0.0.1:%1"_s.arg(port));
}

AccountApiDouble::~AccountApiDouble() = default;

QUrl AccountApiDouble::webBase() const
{
    return QUrl(m_base.toString() + u"/web"_s);
}

void AccountApiDouble::addFault(const QString& path, Fault fault)
{
    m_faults[path].enqueue(std::move(fault));
}

AccountApiDouble::Fault AccountApiDouble::status(int status, std::optional<QByteArray> body)
{
    Fault fault;
    fault.status = status;
    fault.body = std::move(body);
    return fault;
}

AccountApiDouble::Fault AccountApiDouble::bodyOfSize(qsizetype size)
{
    // A JSON object padded to exactly `size` bytes.
    const QByteArray frame = R"({"pad":""})"_ba;
    Fault fault;
    fault.body = R"({"pad":")"_ba + QByteArray(size - frame.size(), 'x') + R"("})"_ba;
    return fault;
}

QList<AccountApiDouble::Request> AccountApiDouble::requestsTo(const QString& path) const
{
    QList<Request> result;
    for (const Request& request : m_requests) {
        if (request.path == path)
            result.append(request);
    }
    return result;
}

QJsonObject AccountApiDouble::issueSession()
{
    return newSession().toJson();
}

DesktopAccountSession AccountApiDouble::newSession()
{
    ++m_issued;
    DesktopAccountSession session { u"access-%1"_s.arg(m_issued), u"refresh-%1"_s.arg(m_issued),
        nowMs() + sessionLifetimeMs };
    validAccessTokens.insert(session.accessToken);
    validRefreshToken = session.refreshToken;
    return session;
}

bool AccountApiDouble::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    Request logged;
    logged.method = methodName(request.method());
    logged.path = request.url().path();
    logged.query = request.url().query(QUrl::FullyEncoded);
    for (const auto& [name, value] : request.headers())
        logged.headers.insert(name.toLower(), value);
    logged.body = request.body();
    m_requests.append(logged);

    Fault reply;
    auto queued = m_faults.find(logged.path);
    if (queued != m_faults.end() && !queued->isEmpty()) {
        reply = queued->dequeue();
        if (!reply.body && reply.status == 200)
            reply.body = answer(logged).body;
        else if (!reply.body)
            reply.body = errorBody(u"Falha simulada."_s);
    } else {
        reply = answer(logged);
    }

    if (reply.delayMs > 0) {
        QTimer::singleShot(reply.delayMs, this, [this, socket = QPointer(socket), reply] {
            if (socket)
                respond(socket, reply);
        });
    } else {
        respond(socket, reply);
    }
    return true;
}

void AccountApiDouble::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    respond(socket, status(404, errorBody(u"Não encontrado."_s)));
}

AccountApiDouble::Fault AccountApiDouble::answer(const Request& request)
{
    const auto ok = [](const QJsonObject& object) { return status(200, json(object)); };
    const auto bearer = [&] {
        const QByteArray header = request.header("Authorization"_ba);
        return header.startsWith("Bearer "_ba) && validAccessTokens.contains(QString::fromUtf8(header.mid(7)));
    };
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();

    if (request.path == u"/api/device/begin"_s) {
        QUrl page(m_base.toString() + linkPagePath);
        page.setQuery(u"code="_s + linkCode);
        return ok(DeviceConnection { linkCode, linkSecret, nowMs() + linkLifetimeMs, page }.toJson());
    }
    if (request.path == u"/api/device/poll"_s) {
        if (body.value(u"secret"_s).toString() != linkSecret)
            return status(404, errorBody(u"Código desconhecido."_s));
        if (!confirmed)
            return ok(DevicePoll { u"pending"_s, std::nullopt }.toJson());
        return ok(DevicePoll { u"connected"_s, newSession() }.toJson());
    }
    if (request.path == linkPagePath) {
        confirmed = true;
        return status(200, "{}"_ba);
    }
    if (request.path == u"/api/auth/refresh"_s) {
        const QString token = body.value(u"refreshToken"_s).toString();
        if (token.isEmpty() || token != validRefreshToken)
            return status(401, errorBody(u"Sessão expirada."_s));
        return ok(newSession().toJson());
    }
    if (request.path == u"/api/auth/logout"_s) {
        if (bearer()) {
            validAccessTokens.remove(QString::fromUtf8(request.header("Authorization"_ba).mid(7)));
            validRefreshToken.clear();
        }
        return ok({});
    }
    if (!bearer())
        return status(401, errorBody(u"Não autorizado."_s));
    if (request.path == u"/api/bootstrap"_s && request.method == "GET"_ba) {
        releaseGrants();
        return ok(snapshot);
    }
    if (request.path == u"/api/decide"_s && request.method == "POST"_ba)
        return ok(decide(body));
    if (request.path == u"/api/settings"_s && request.method == "PUT"_ba) {
        const qint64 revision = snapshot.value(u"revision"_s).toInteger();
        if (body.value(u"revision"_s).toInteger(-1) != revision)
            return status(409, errorBody(u"Revisão antiga."_s, u"stale_revision"_s));
        snapshot.insert(u"settings"_s, body.value(u"settings"_s));
        snapshot.insert(u"revision"_s, revision + 1);
        return ok(SavedSettings { revision + 1 }.toJson());
    }
    if (request.path == u"/api/focus"_s && request.method == "POST"_ba) {
        const qint64 minutes = body.value(u"minutes"_s).toInteger();
        const AccountFocus focus(
            true, nowMs() + double(minutes) * 60000, u"account-focus-%1"_s.arg(++m_focuses), u"account"_s);
        snapshot.insert(u"focus"_s, focus.toJson());
        return ok({ { u"focus"_s, focus.toJson() } });
    }
    if (request.path == u"/api/folga"_s && request.method == "POST"_ba) {
        // A balance that is missing or that a test spoiled counts as empty.
        std::optional<AccountFolga> folga = AccountFolga::fromJson(snapshot.value(u"folga"_s));
        if (!folga || folga->available <= 0)
            return status(409, errorBody(u"Nenhuma folga disponível."_s));
        const double end = nowMs() + double(folga->minutes) * 60000;
        folga->available -= 1;
        folga->active
            = AccountFolga::Active { QDateTime::fromMSecsSinceEpoch(qint64(end), Qt::UTC).toString(Qt::ISODate) };
        snapshot.insert(u"folga"_s, folga->toJson());
        snapshot.insert(u"pausedUntil"_s, end);
        const AccountFocus focus = AccountFocus::fromJson(snapshot.value(u"focus"_s)).value_or(AccountFocus());
        return ok(FolgaUseReply { *folga, focus }.toJson());
    }
    if (request.path == u"/api/folga/earn"_s && request.method == "POST"_ba) {
        AccountFolga folga = AccountFolga::fromJson(snapshot.value(u"folga"_s)).value_or(AccountFolga());
        const auto mission = AccountMission::fromJson(body.value(u"mission"_s));
        if (!mission)
            return status(400, errorBody(u"O pedido veio num formato inesperado."_s));
        folga.earnedToday.append(mission->kind);
        folga.available += 1;
        snapshot.insert(u"folga"_s, folga.toJson());
        return ok(FolgaEarnReply { folga }.toJson());
    }
    if (request.path == u"/api/folga/history"_s && request.method == "GET"_ba)
        return ok(FolgaHistoryReply { folgaHistory }.toJson());
    if (request.path == u"/api/missions"_s && request.method == "PUT"_ba) {
        snapshot.insert(u"missions"_s, body.value(u"missions"_s));
        return ok({});
    }
    return status(404, errorBody(u"Não encontrado."_s));
}

QJsonObject AccountApiDouble::decide(const QJsonObject& body)
{
    const Decision scripted
        = decisions.isEmpty() ? Decision { u"deny"_s, u"Agora não."_s, {}, false, 0 } : decisions.dequeue();
    const double now = nowMs();
    const double minutesMs = double(body.value(u"minutes"_s).toInteger()) * 60000;
    const bool link = body.contains(u"url"_s);
    const bool allow = scripted.decision == u"allow"_s;
    QJsonObject reply;
    std::optional<AccountGrant> grant;
    if (link) {
        LinkReply decided { scripted.decision, scripted.reason, std::nullopt };
        if (allow) {
            decided.grantExpiresAt = now + minutesMs;
            const QString host = QUrl(body.value(u"url"_s).toString()).host();
            const bool youtube = host.endsWith(u"youtube.com"_s) || host.endsWith(u"youtu.be"_s);
            grant = AccountGrant { youtube ? u"platform:youtube"_s : u"platform:x"_s, *decided.grantExpiresAt,
                std::nullopt, std::nullopt };
        }
        reply = decided.toJson();
    } else {
        DesktopAccessReply decided { scripted.decision, scripted.reason, std::nullopt, std::nullopt, std::nullopt,
            std::nullopt };
        if (allow) {
            decided.requestId = stringIn(body, u"requestId"_s);
            decided.focusId = stringIn(body, u"focusId"_s);
            decided.appId = stringIn(body, u"appId"_s);
            decided.expiresAt = std::min(body.value(u"focusEnd"_s).toDouble(), now + minutesMs);
            if (body.value(u"mode"_s).toString() == u"site"_s)
                grant
                    = AccountGrant { body.value(u"site"_s).toString(), *decided.expiresAt, std::nullopt, std::nullopt };
        }
        reply = decided.toJson();
    }
    if (scripted.edit)
        scripted.edit(reply);
    if (grant && scripted.grant) {
        // The grant ends when the reply says, also after an edit.
        const QJsonValue end = reply.value(link ? u"grantExpiresAt"_s : u"expiresAt"_s);
        if (end.isDouble())
            grant->expiresAt = end.toDouble();
        grant->focusId = stringIn(body, u"focusId"_s);
        grant->grantedAt = now;
        if (scripted.grantDelay > 0) {
            m_pendingGrants.append({ scripted.grantDelay, grant->toJson() });
        } else {
            QJsonArray listed = grants();
            listed.append(grant->toJson());
            snapshot.insert(u"grants"_s, listed);
        }
    }
    return reply;
}

void AccountApiDouble::releaseGrants()
{
    if (m_pendingGrants.isEmpty())
        return;
    QJsonArray listed = grants();
    for (auto it = m_pendingGrants.begin(); it != m_pendingGrants.end();) {
        if (it->first <= 0) {
            listed.append(it->second);
            it = m_pendingGrants.erase(it);
        } else {
            --it->first;
            ++it;
        }
    }
    snapshot.insert(u"grants"_s, listed);
}

void AccountApiDouble::respond(QTcpSocket* socket, const Fault& reply)
{
    if (reply.drop) {
        socket->abort();
        return;
    }
    const QByteArray body = reply.body.value_or(QByteArray());
    QByteArray head = "HTTP/1.1 "_ba + QByteArray::number(reply.status) + " Status\r\n"_ba;
    head += "Content-Type: application/json\r\n"_ba;
    if (!reply.omitLength)
        head += "Content-Length: "_ba + QByteArray::number(body.size()) + "\r\n"_ba;
    for (const auto& [name, value] : reply.headers)
        head += name + ": "_ba + value + "\r\n"_ba;
    head += "Connection: close\r\n\r\n"_ba;
    socket->write(head + body);
    socket->disconnectFromHost();
}

} // namespace kestravin::testing
