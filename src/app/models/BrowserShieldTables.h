#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace kestravin::BrowserShieldTables {

// The applications the browser shield treats as web browsers, by desktop-file
// ID (and the other platforms' identifiers, kept as data).
const QSet<QString>& browsers();

// Whether a browser is built on Chromium, whose pages publish their tree
// only when it was started with --force-renderer-accessibility.
bool chromiumBased(const QString& id);

// The panel's messages, shown in turn, one per blocked attempt.
const QStringList& messages();

} // namespace kestravin::BrowserShieldTables
