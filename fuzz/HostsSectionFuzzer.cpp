// The daemon reads and rewrites the hosts file, whose bytes anyone with root
// (or a package) may have put there.
#include "FuzzCheck.h"
#include "contract/HostName.h"
#include "contract/HostsSection.h"
#include "helper/HelperService.h"

#include <QSet>

#include <algorithm>

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text = fuzz::bytesOf(data, size);
    const QStringList addresses = HelperService::blockLoopbackAddresses();

    // Reading: the hosts of the sections, once each, each a line of the file.
    const QStringList listed = HostsSection::blockedSites(text, addresses);
    FUZZ_CHECK(QSet<QString>(listed.cbegin(), listed.cend()).size() == listed.size());
    // The byte set differs only where invalid UTF-8 decodes alike.
    const qsizetype distinctBytes = HostsSection::blockedHostSet(text, addresses).size();
    const bool ascii
        = std::all_of(text.cbegin(), text.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    FUZZ_CHECK(ascii ? distinctBytes == listed.size() : distinctBytes >= listed.size());

    // Removing the sections leaves no section, and a text without one whole.
    const QByteArray stripped = HostsSection::withoutSections(text, addresses);
    FUZZ_CHECK(!HostsSection::containsStartMarker(stripped));
    FUZZ_CHECK(HostsSection::blockedSites(stripped, addresses).isEmpty());
    FUZZ_CHECK(HostsSection::withoutSections(stripped, addresses) == stripped);
    if (!HostsSection::containsStartMarker(text))
        FUZZ_CHECK(stripped == text);
    FUZZ_CHECK(stripped.size() <= text.size());

    // Writing, as activation does: the safe hosts found plus one of ours.
    QStringList sites;
    for (const QString& site : listed) {
        if (isSafeHostName(site))
            sites.append(site);
    }
    if (!sites.contains(QStringLiteral("example.com")))
        sites.append(QStringLiteral("example.com"));
    QByteArray written;
    HostsSection::appendWithoutSections(written, text, addresses);
    FUZZ_CHECK(written == stripped);
    HostsSection::appendSection(written, sites, addresses);

    // Every byte outside the section comes back exactly, and the section
    // reads as what was written.
    FUZZ_CHECK(HostsSection::withoutSections(written, addresses) == stripped);
    FUZZ_CHECK(HostsSection::sectionMatches(written, sites, addresses));
    FUZZ_CHECK(HostsSection::blockedSites(written, addresses) == sites);
    FUZZ_CHECK(HostsSection::withSection(stripped, HostsSection::makeBlockEntries(sites, addresses)) == written);
    return 0;
}
