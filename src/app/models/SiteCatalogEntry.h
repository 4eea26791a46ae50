#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// A known service of the site catalogue.
struct SiteCatalogEntry {
    // Stable key, also the service's platform key elsewhere ("youtube", "x", ...).
    QString id;
    QString name;
    // A domain belongs to the service when it is a root or a subdomain of one.
    QStringList roots;
    // What choosing the service adds to the blocked list.
    QStringList domains;
    // Short text drawn in place of a logo, when there is one.
    std::optional<QString> monogram;

    // Whether `domain`, trimmed and lower-cased, is one of the roots or ends
    // with "." followed by one.
    bool matches(QStringView domain) const;

    bool operator==(const SiteCatalogEntry&) const = default;
};

} // namespace kestravin
