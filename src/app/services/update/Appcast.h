#pragma once

#include "app/services/update/UpdateDriver.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace kestravin::Appcast {

// The feed's own XML namespace for the release fields.
constexpr QStringView xmlNamespace = u"https://kestravin.com/xml-namespaces/update";

// The items of an RSS feed that carry a version, an archive address, its
// length and its signature; others are skipped. Nullopt for XML that is not
// an RSS feed, with the reason in `error`.
std::optional<std::vector<AppcastItem>> parse(const QByteArray& xml, QString* error = nullptr);

// Orders versions by their numeric components ("1.10" after "1.9"; a missing
// component counts as 0; only the leading digits of a component count).
int compareVersions(const QString& a, const QString& b);

// The newest item that is newer than `currentVersion`.
std::optional<AppcastItem> newestUpdate(const std::vector<AppcastItem>& items, const QString& currentVersion);

} // namespace kestravin::Appcast
