#pragma once

#include "Instant.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace kestravin {

// A timed grant that frees one site (and the hosts under it).
struct SiteAccessGrant {
    QString site;
    Instant expiresAt;

    SiteAccessGrant() = default;
    SiteAccessGrant(QString site, Instant expiresAt);

    QJsonObject toJson() const;
    static std::optional<SiteAccessGrant> fromJson(const QJsonValue& value, QString* error = nullptr);

    // A list of grants travels as a top-level JSON array.
    static QByteArray listToJsonBytes(const QList<SiteAccessGrant>& grants);
    static std::optional<QList<SiteAccessGrant>> listFromJson(const QJsonValue& value, QString* error = nullptr);
    static std::optional<QList<SiteAccessGrant>> listFromJsonBytes(const QByteArray& bytes, QString* error = nullptr);

    bool operator==(const SiteAccessGrant&) const = default;
};

} // namespace kestravin
