#pragma once

#include "app/models/BrowserBridgeModels.h"
#include "app/models/Configuration.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace kestravin {

// The pure rules of the browser exchange: what state.json says, and which
// links may be freed one at a time.
namespace BrowserBridgePolicy {

// The local state: the block list and hours of `configuration`, the focus
// that runs now (off, paused, manual, scheduled or none) and a revision that
// changes with all of them and with the session's generation. `request` and
// `systemReady` are the bridge's to fill.
BrowserSnapshot snapshot(const Configuration& configuration, const BrowserBridgeSession& session, bool enabled,
    const QDateTime& now, const QTimeZone& zone);

// The settings part of the local state and its hash, which depend only on
// the configuration and the zone; a caller that ticks often may keep them.
struct LocalSettings {
    BrowserSettings settings;
    QString hash;
};
LocalSettings localSettings(const Configuration& configuration, const QTimeZone& zone);
BrowserSnapshot snapshot(const LocalSettings& settings, const Configuration& configuration,
    const BrowserBridgeSession& session, bool enabled, const QDateTime& now, const QTimeZone& zone);

// The account state that replaces the local one while the account's
// settings are the ones applied here.
struct AccountView {
    QString userId;
    qint64 revision = 0;
    BrowserSettings settings;
    bool focusEnabled = false;
    std::optional<QString> focusId;
    // Unix milliseconds.
    std::optional<double> focusEndsAt;
    double pausedUntil = 0;
    // The grants last handed to the daemon, in that order.
    QList<AccountGrant> appliedGrants;
};

// The account variant at `nowMs` (Unix milliseconds). Its revision leaves the
// session's generation out.
BrowserSnapshot accountSnapshot(const AccountView& account, bool enabled, double nowMs);

// The shortest text that reads back as `value`, with ".0" after a whole
// number: 0 -> "0.0", 1700000000000.5 -> "1700000000000.5".
QString roundTripText(double value);

// User-perceived characters (grapheme clusters).
qsizetype characterCount(const QString& text);

// The link rules. `normalized` trims the text and makes it an https address;
// `target` gives the canonical address and platform ("youtube" or "x") of one
// video, one post or an X authorization link, none for anything else;
// `problem` says in a sentence why a text cannot be asked for.
struct Target {
    QString url;
    QString platform;
    bool operator==(const Target&) const = default;
};
QString normalized(const QString& text);
std::optional<Target> target(const QString& url);
bool isXAuthorization(const QString& url);
std::optional<QString> problem(const QString& text);

} // namespace BrowserBridgePolicy
} // namespace kestravin
