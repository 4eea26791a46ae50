#pragma once

#include "app/models/SiteCatalogEntry.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// One site as a picker tile or a suggestion row. Ids: a catalogue entry's id,
// "host:" + host for a site the user typed, "new:" + domain for the row that
// adds a typed domain.
struct SiteTileItem {
    QString id;
    QString name;
    QString caption;
    // Host whose downloaded icon stands in when there is no brand logo.
    QString iconHost;
    std::optional<SiteCatalogEntry> entry;
    QStringList domains;
    bool blocked = false;
    bool isNew = false;

    static SiteTileItem fromEntry(const SiteCatalogEntry& entry, bool blocked);
    // The add row of a normalised domain.
    static SiteTileItem newSite(const QString& domain);

    // The letter drawn until an icon arrives.
    QString monogram() const;
    // The logo's platform name for a catalogue site with a brand logo; none
    // otherwise. Prime Video's logo is filed under "primevideo".
    std::optional<QString> brandPlatform() const;

    bool operator==(const SiteTileItem&) const = default;
};

} // namespace kestravin
