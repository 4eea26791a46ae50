#include "app/models/BrowserBridgeModels.h"

#include "app/models/AccountJson.h"
#include "contract/ContractJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace kestravin {
using namespace ContractJson;
using namespace AccountJson;

QJsonObject BrowserFocus::toJson() const
{
    return { { u"enabled"_s, enabled }, { u"id"_s, id }, { u"endsAt"_s, endsAt },
        { u"platforms"_s, QJsonArray::fromStringList(platforms) }, { u"source"_s, source } };
}

std::optional<BrowserFocus> BrowserFocus::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserFocus focus;
    if (!requireObject(value, u"BrowserFocus"_s, object, error) || !readBool(object, u"enabled"_s, focus.enabled, error)
        || !readString(object, u"id"_s, focus.id, error) || !readNumber(object, u"endsAt"_s, focus.endsAt, error)
        || !readStringList(object, u"platforms"_s, focus.platforms, error)
        || !readString(object, u"source"_s, focus.source, error)) {
        return std::nullopt;
    }
    return focus;
}

QJsonObject BrowserURLRequest::toJson() const
{
    return { { u"clientId"_s, clientId }, { u"id"_s, id }, { u"focusId"_s, focusId }, { u"url"_s, url },
        { u"reason"_s, reason }, { u"minutes"_s, minutes }, { u"expiresAt"_s, expiresAt } };
}

std::optional<BrowserURLRequest> BrowserURLRequest::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserURLRequest request;
    if (!requireObject(value, u"BrowserURLRequest"_s, object, error)
        || !readString(object, u"clientId"_s, request.clientId, error)
        || !readString(object, u"id"_s, request.id, error) || !readString(object, u"focusId"_s, request.focusId, error)
        || !readString(object, u"url"_s, request.url, error) || !readString(object, u"reason"_s, request.reason, error)
        || !readInteger(object, u"minutes"_s, request.minutes, error)
        || !readNumber(object, u"expiresAt"_s, request.expiresAt, error)) {
        return std::nullopt;
    }
    return request;
}

std::optional<BrowserReceipt> BrowserReceipt::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserReceipt receipt;
    if (!requireObject(value, u"BrowserReceipt"_s, object, error)
        || !readString(object, u"revision"_s, receipt.revision, error)
        || !readString(object, u"focusId"_s, receipt.focusId, error)
        || !readNumber(object, u"receivedAt"_s, receipt.receivedAt, error)) {
        return std::nullopt;
    }
    return receipt;
}

std::optional<BrowserCommand> BrowserCommand::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserCommand command;
    if (!requireObject(value, u"BrowserCommand"_s, object, error) || !readString(object, u"id"_s, command.id, error)
        || !readString(object, u"action"_s, command.action, error)
        || !readString(object, u"revision"_s, command.revision, error)
        || !readOptionalInteger(object, u"minutes"_s, command.minutes, error)
        || !readOptionalString(object, u"focusId"_s, command.focusId, error)) {
        return std::nullopt;
    }
    return command;
}

std::optional<BrowserURLResult> BrowserURLResult::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserURLResult result;
    if (!requireObject(value, u"BrowserURLResult"_s, object, error) || !readString(object, u"id"_s, result.id, error)
        || !readString(object, u"focusId"_s, result.focusId, error)
        || !readOptionalString(object, u"decision"_s, result.decision, error)
        || !readOptionalString(object, u"reason"_s, result.reason, error)
        || !readOptionalNumber(object, u"expiresAt"_s, result.expiresAt, error)
        || !readOptionalString(object, u"error"_s, result.error, error)) {
        return std::nullopt;
    }
    return result;
}

QJsonObject BrowserManualFocus::toJson() const
{
    return { { u"id"_s, id }, { u"endsAt"_s, endsAt.secondsSinceReference } };
}

std::optional<BrowserManualFocus> BrowserManualFocus::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserManualFocus manual;
    if (!requireObject(value, u"BrowserManualFocus"_s, object, error) || !readString(object, u"id"_s, manual.id, error)
        || !readInstant(object, u"endsAt"_s, manual.endsAt, error)) {
        return std::nullopt;
    }
    return manual;
}

BrowserBridgeSession BrowserBridgeSession::fresh(double nowUnixMs)
{
    BrowserBridgeSession session;
    session.generation = qint64(nowUnixMs);
    return session;
}

QJsonObject BrowserBridgeSession::toJson() const
{
    QJsonObject object { { u"generation"_s, generation } };
    if (manual) {
        object.insert(u"manual"_s, manual->toJson());
    }
    if (pausedUntil) {
        object.insert(u"pausedUntil"_s, pausedUntil->secondsSinceReference);
    }
    return object;
}

std::optional<BrowserBridgeSession> BrowserBridgeSession::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    BrowserBridgeSession session;
    if (!requireObject(value, u"BrowserBridgeSession"_s, object, error)
        || !readOptionalInstant(object, u"pausedUntil"_s, session.pausedUntil, error)
        || !readInteger(object, u"generation"_s, session.generation, error)) {
        return std::nullopt;
    }
    if (!isAbsent(object, u"manual"_s)) {
        session.manual = BrowserManualFocus::fromJson(object.value(u"manual"_s), error);
        if (!session.manual) {
            return std::nullopt;
        }
    }
    return session;
}

QJsonObject BrowserSnapshot::toJson() const
{
    QJsonObject object { { u"version"_s, version }, { u"enabled"_s, enabled }, { u"generatedAt"_s, generatedAt },
        { u"revision"_s, revision }, { u"settings"_s, settings.toJson() }, { u"focus"_s, focus.toJson() },
        { u"systemReady"_s, systemReady }, { u"grants"_s, toArray(grants) } };
    if (request) {
        object.insert(u"request"_s, request->toJson());
    }
    if (pausedUntil) {
        object.insert(u"pausedUntil"_s, *pausedUntil);
    }
    return object;
}

namespace BrowserExchange {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool parseObject(const QByteArray& bytes, QJsonValue& out, QString* error)
{
    return parseDocument(bytes, out, error);
}

std::optional<QString> receiptClientId(const QString& fileName)
{
    static const QString prefix = u"receipt-"_s;
    if (!fileName.startsWith(prefix)) {
        return std::nullopt;
    }
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString stem = dot >= 0 ? fileName.first(dot) : fileName;
    return stem.size() > prefix.size() ? stem.sliced(prefix.size()) : QString();
}

QString resultFileName(const QString& requestId)
{
    return u"result-"_s + requestId + u".json"_s;
}

QString newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

} // namespace BrowserExchange
} // namespace kestravin
