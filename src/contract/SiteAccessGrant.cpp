#include "SiteAccessGrant.h"

#include "ContractJson.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace kestravin {

SiteAccessGrant::SiteAccessGrant(QString site_, Instant expiresAt_) : site(std::move(site_)), expiresAt(expiresAt_)
{
}

QJsonObject SiteAccessGrant::toJson() const
{
    return QJsonObject { { u"site"_s, site }, { u"expiresAt"_s, expiresAt.secondsSinceReference } };
}

std::optional<SiteAccessGrant> SiteAccessGrant::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    SiteAccessGrant grant;
    if (!requireObject(value, u"SiteAccessGrant"_s, object, error) || !readString(object, u"site"_s, grant.site, error)
        || !readInstant(object, u"expiresAt"_s, grant.expiresAt, error))
        return std::nullopt;
    return grant;
}

QByteArray SiteAccessGrant::listToJsonBytes(const QList<SiteAccessGrant>& grants)
{
    QJsonArray array;
    for (const SiteAccessGrant& grant : grants)
        array.append(grant.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<SiteAccessGrant>> SiteAccessGrant::listFromJson(const QJsonValue& value, QString* error)
{
    if (!value.isArray()) {
        ContractJson::setError(error, u"the site grants are not a JSON array"_s);
        return std::nullopt;
    }
    QList<SiteAccessGrant> grants;
    for (const QJsonValue& element : value.toArray()) {
        auto grant = fromJson(element, error);
        if (!grant)
            return std::nullopt;
        grants.append(*grant);
    }
    return grants;
}

std::optional<QList<SiteAccessGrant>> SiteAccessGrant::listFromJsonBytes(const QByteArray& bytes, QString* error)
{
    QJsonValue value;
    if (!ContractJson::parseDocument(bytes, value, error))
        return std::nullopt;
    return listFromJson(value, error);
}

} // namespace kestravin
