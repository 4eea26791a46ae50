#pragma once

#include "BlockedApp.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>

namespace kestravin {

// Which apps may be hidden during a focus, and edits of the blocked-app list.
// Identifiers are compared without regard to letter case. The tables hold the
// other platform's identifiers as data (accounts synced from there carry
// them) and, beside them, the desktop-file IDs of the same kind of app here.
namespace AppBlockPolicy {

// Never hidden or blocked: this application, the file managers, system
// settings and system monitors (and the other platform's equivalents).
const QSet<QString>& protectedBundleIDs();

// The apps that distract most, in the order the picker offers them.
const QStringList& popularBundleIDs();

// True for the application's own identifier (when given) and for any of
// protectedBundleIDs().
bool isProtected(QStringView bundleIdentifier, const std::optional<QString>& ownBundleID = std::nullopt);

// `apps` without any entry of the same identifier, then `app` appended when
// `blocked` is true and it is not protected.
QList<BlockedApp> setting(const BlockedApp& app, bool blocked, const QList<BlockedApp>& apps);

} // namespace AppBlockPolicy

} // namespace kestravin
