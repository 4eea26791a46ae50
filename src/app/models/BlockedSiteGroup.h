#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// One row of the blocked list as shown: a catalogue service with all of its
// listed domains, or a plain host with its "www." form.
struct BlockedSiteGroup {
    // "service:<entry id>" or "host:<host without www.>".
    QString id;
    QString title;
    // The catalogue entry's id; none for a plain host.
    std::optional<QString> platform;
    // The list's own strings, untouched, in list order.
    QStringList domains;

    // Groups in order of first appearance.
    static QList<BlockedSiteGroup> make(const QStringList& blockedSites);

    bool operator==(const BlockedSiteGroup&) const = default;
};

} // namespace kestravin
