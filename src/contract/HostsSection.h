#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QStringList>
#include <QStringView>

#include <optional>

// The marked block section of a hosts file, handled as bytes: the markers and
// the entries are ASCII, and every byte outside the section must come back
// exactly as it was, whatever encoding the rest of the file uses.
namespace kestravin::HostsSection {

QByteArray startMarker();
QByteArray endMarker();

// The addresses a blocked host is sent to, one entry line each.
QStringList loopbackAddresses();

// One "<address> <host>" line per address for each host, in the given order,
// joined by line feeds; empty for no hosts.
QByteArray makeBlockEntries(const QStringList& sites, const QStringList& loopbackAddresses);

// Appends the entries to `out`, as makeBlockEntries gives them.
void appendBlockEntries(QByteArray& out, const QStringList& sites, const QStringList& loopbackAddresses);

// `text` without its sections. A start marker pairs with the nearest end
// marker after it, unless another start marker comes first; at most one line
// feed right before a start marker goes with it. A start marker that has no
// end marker takes only itself and the entry lines that directly follow it, so
// the user's own lines are never lost to a damaged section.
QByteArray withoutSections(const QByteArray& text, const QStringList& loopbackAddresses);

// Appends `text` without its sections to `out`.
void appendWithoutSections(QByteArray& out, const QByteArray& text, const QStringList& loopbackAddresses);

// Appends one section for `sites` (line feed, start marker, entries, end marker).
void appendSection(QByteArray& out, const QStringList& sites, const QStringList& loopbackAddresses);

// Whether `text` holds exactly one section and it lists exactly the entries
// for `sites`, in order: the cheap proof that a section is as written.
bool sectionMatches(const QByteArray& text, const QStringList& sites, const QStringList& loopbackAddresses);

// `text` with one section for `entries` appended after a single line feed,
// with no line feed after the end marker.
QByteArray withSection(const QByteArray& text, const QByteArray& entries);

bool containsStartMarker(const QByteArray& text);

// The hosts named inside the sections, in first-appearance order, once each.
QStringList blockedSites(const QByteArray& text, const QStringList& loopbackAddresses);

// The same hosts as bytes, once each; the views point into `text`.
QSet<QByteArrayView> blockedHostSet(const QByteArray& text, const QStringList& loopbackAddresses);

// Hosts as the UTF-8 bytes the file holds, in one buffer.
struct HostBytes {
    explicit HostBytes(const QStringList& sites);
    QByteArray buffer;
    QList<QByteArrayView> views;
};

// The host of a line whose first field is one of the loopback addresses.
std::optional<QString> blockedSite(QByteArrayView line, const QStringList& loopbackAddresses);

// The lenient reading of someone who only looks: the text strictly between
// the first start marker head and the next end marker after it; nothing when
// either is missing. Entries past a damaged section are not counted.
std::optional<QStringView> firstSection(QStringView text);

// The host names a line of a section sends to a loopback address: every field
// after the address, up to a '#' comment; none for any other line.
QList<QStringView> loopbackHosts(QStringView line);

} // namespace kestravin::HostsSection
