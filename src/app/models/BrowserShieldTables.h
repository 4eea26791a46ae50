#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace kestravin::BrowserShieldTables {

// The applications the browser shield treats as web browsers, by desktop-file
// ID (and the other platforms' identifiers, kept as data).
const QSet<QString>& browsers();

// The panel's messages, shown in turn, one per blocked attempt.
const QStringList& messages();

} // namespace kestravin::BrowserShieldTables
