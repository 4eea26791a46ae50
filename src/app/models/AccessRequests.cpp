#include "app/models/AccessRequests.h"

#include "app/models/AccountJson.h"
#include "app/models/BrowserBridgePolicy.h"

#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QJsonObject DesktopAccessRequest::toJson() const
{
    QJsonObject object {
        { u"mode"_s, mode },
        { u"reason"_s, reason },
        { u"minutes"_s, minutes },
        { u"appId"_s, appId },
        { u"appName"_s, appName },
        { u"focusId"_s, focusId },
        { u"requestId"_s, requestId },
        { u"focusEnd"_s, focusEnd },
    };
    if (site)
        object.insert(u"site"_s, *site);
    return object;
}

QByteArray DesktopAccessRequest::toJsonBytes() const
{
    return compact(toJson());
}

QJsonObject DesktopAccessReply::toJson() const
{
    QJsonObject object { { u"decision"_s, decision }, { u"reason"_s, reason } };
    if (requestId)
        object.insert(u"requestId"_s, *requestId);
    if (focusId)
        object.insert(u"focusId"_s, *focusId);
    if (appId)
        object.insert(u"appId"_s, *appId);
    if (expiresAt)
        object.insert(u"expiresAt"_s, *expiresAt);
    return object;
}

std::optional<DesktopAccessReply> DesktopAccessReply::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    if (!ContractJson::requireObject(value, u"DesktopAccessReply"_s, object, error))
        return std::nullopt;
    DesktopAccessReply reply;
    if (!ContractJson::readString(object, u"decision"_s, reply.decision, error)
        || !ContractJson::readString(object, u"reason"_s, reply.reason, error)
        || !AccountJson::readOptionalString(object, u"requestId"_s, reply.requestId, error)
        || !AccountJson::readOptionalString(object, u"focusId"_s, reply.focusId, error)
        || !AccountJson::readOptionalString(object, u"appId"_s, reply.appId, error)
        || !AccountJson::readOptionalNumber(object, u"expiresAt"_s, reply.expiresAt, error))
        return std::nullopt;
    return reply;
}

QJsonObject LinkRequest::toJson() const
{
    return {
        { u"url"_s, url },
        { u"reason"_s, reason },
        { u"minutes"_s, minutes },
        { u"focusId"_s, focusId },
    };
}

QByteArray LinkRequest::toJsonBytes() const
{
    return compact(toJson());
}

QJsonObject LinkReply::toJson() const
{
    QJsonObject object { { u"decision"_s, decision }, { u"reason"_s, reason } };
    if (grantExpiresAt)
        object.insert(u"grantExpiresAt"_s, *grantExpiresAt);
    return object;
}

std::optional<LinkReply> LinkReply::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    if (!ContractJson::requireObject(value, u"LinkReply"_s, object, error))
        return std::nullopt;
    LinkReply reply;
    if (!ContractJson::readString(object, u"decision"_s, reply.decision, error)
        || !ContractJson::readString(object, u"reason"_s, reply.reason, error)
        || !AccountJson::readOptionalNumber(object, u"grantExpiresAt"_s, reply.grantExpiresAt, error))
        return std::nullopt;
    return reply;
}

bool isValidReply(const QString& decision, const QString& reason)
{
    if (decision != u"allow"_s && decision != u"clarify"_s && decision != u"deny"_s)
        return false;
    const qsizetype characters = BrowserBridgePolicy::characterCount(reason);
    return characters >= 3 && characters <= 400;
}

} // namespace kestravin
