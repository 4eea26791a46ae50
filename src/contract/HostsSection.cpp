#include "contract/HostsSection.h"

#include "contract/HelperConstants.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <cstring>

namespace kestravin::HostsSection {

namespace {

bool isFieldSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// The first two whitespace-separated fields of a line, and whether more follow.
struct LeadingFields {
    QByteArrayView first;
    QByteArrayView second;
    bool more = false;
};

LeadingFields leadingFields(QByteArrayView line)
{
    LeadingFields result;
    qsizetype i = 0;
    const auto next = [&line, &i]() {
        while (i < line.size() && isFieldSpace(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !isFieldSpace(line[i]))
            ++i;
        return line.sliced(start, i - start);
    };
    result.first = next();
    result.second = next();
    result.more = !next().isEmpty();
    return result;
}

// The addresses as bytes; the list is tiny, so a linear look is fastest.
QList<QByteArray> addressBytes(const QStringList& loopbackAddresses)
{
    QList<QByteArray> out;
    out.reserve(loopbackAddresses.size());
    for (const QString& address : loopbackAddresses)
        out.append(address.toUtf8());
    return out;
}

bool isLoopback(QByteArrayView field, const QList<QByteArray>& addresses)
{
    return std::any_of(
        addresses.cbegin(), addresses.cend(), [field](const QByteArray& address) { return field == address; });
}

// Exactly the shape of a line this daemon writes: an address and one host.
bool isEntryLine(QByteArrayView line, const QList<QByteArray>& addresses)
{
    const LeadingFields fields = leadingFields(line);
    return !fields.second.isEmpty() && !fields.more && isLoopback(fields.first, addresses);
}

std::optional<QByteArrayView> hostBytesOf(QByteArrayView line, const QList<QByteArray>& addresses)
{
    qsizetype i = 0;
    while (i < line.size() && isFieldSpace(line[i]))
        ++i;
    const qsizetype firstStart = i;
    while (i < line.size() && !isFieldSpace(line[i]))
        ++i;
    if (!isLoopback(line.sliced(firstStart, i - firstStart), addresses))
        return std::nullopt;
    while (i < line.size() && isFieldSpace(line[i]))
        ++i;
    const qsizetype secondStart = i;
    while (i < line.size() && !isFieldSpace(line[i]))
        ++i;
    if (i == secondStart)
        return std::nullopt;
    return line.sliced(secondStart, i - secondStart);
}

// Line breaks as the reader sees them: LF, CR, VT, FF, and in UTF-8 the next-line
// character and the line and paragraph separators. Returns the break's length
// at `i`, or 0.
qsizetype lineBreakAt(const char* text, qsizetype size, qsizetype i)
{
    const char c = text[i];
    if (c == '\n' || c == '\r' || c == '\v' || c == '\f')
        return 1;
    if (c == '\xC2' && i + 1 < size && text[i + 1] == '\x85')
        return 2;
    if (c == '\xE2' && i + 2 < size && text[i + 1] == '\x80' && (text[i + 2] == '\xA8' || text[i + 2] == '\xA9'))
        return 3;
    return 0;
}

// Bytes that may begin a line break; everything else is skipped at once.
constexpr std::array<bool, 256> breakStarts = [] {
    std::array<bool, 256> table {};
    for (unsigned char c : { '\n', '\r', '\v', '\f' })
        table[c] = true;
    table[0xC2] = true;
    table[0xE2] = true;
    return table;
}();

// Calls `onHost` with the host of every entry inside the sections, in order.
template <typename OnHost>
void forEachSectionHost(const QByteArray& text, const QList<QByteArray>& addresses, OnHost&& onHost)
{
    const QByteArray start = startMarker();
    const QByteArray end = endMarker();
    bool inside = false;
    const auto handleLine = [&](QByteArrayView line) {
        // Both markers begin with '#': most lines are ruled out by one scan.
        const bool mayHoldMarker = line.contains('#');
        if (mayHoldMarker && line.contains(QByteArrayView(start))) {
            inside = true;
            return;
        }
        if (!inside || (mayHoldMarker && line.contains(QByteArrayView(end)))) {
            inside = false;
            return;
        }
        if (const std::optional<QByteArrayView> host = hostBytesOf(line, addresses))
            onHost(*host);
    };
    const char* data = text.constData();
    const qsizetype size = text.size();
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < size;) {
        if (!breakStarts[static_cast<unsigned char>(data[i])]) {
            ++i;
            continue;
        }
        const qsizetype breakLength = lineBreakAt(data, size, i);
        if (breakLength == 0) {
            ++i;
            continue;
        }
        handleLine(QByteArrayView(data + lineStart, i - lineStart));
        i += breakLength;
        lineStart = i;
    }
    if (lineStart < size)
        handleLine(QByteArrayView(data + lineStart, size - lineStart));
}

// The first `needle` in text[from, to), or -1. glibc's memmem is much faster
// than a generic search on the multi-megabyte files of very long block lists.
qsizetype find(const QByteArray& text, const QByteArray& needle, qsizetype from, qsizetype to = -1)
{
    if (to < 0)
        to = text.size();
    if (from < 0 || to - from < needle.size())
        return -1;
    const void* hit = ::memmem(text.constData() + from, static_cast<size_t>(to - from), needle.constData(),
        static_cast<size_t>(needle.size()));
    return hit ? static_cast<const char*>(hit) - text.constData() : -1;
}

QByteArray commonPrefix(const QByteArray& a, const QByteArray& b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return a.left(n);
}

// ASCII text to bytes; a plain indexed loop that compilers vectorise.
void narrow(char* target, const QChar* chars, qsizetype length)
{
    const char16_t* source = reinterpret_cast<const char16_t*>(chars);
    for (qsizetype i = 0; i < length; ++i)
        target[i] = static_cast<char>(source[i]);
}

// Whether `bytes` equal `chars`, which must be ASCII; no early exit, so it
// vectorises.
bool equalsAscii(const char* bytes, const QChar* chars, qsizetype length)
{
    const char16_t* source = reinterpret_cast<const char16_t*>(chars);
    unsigned difference = 0;
    for (qsizetype i = 0; i < length; ++i)
        difference |= static_cast<unsigned>((static_cast<unsigned char>(bytes[i]) ^ source[i]) | (source[i] >> 7));
    return difference == 0;
}

void appendHost(QByteArray& out, const QString& host)
{
    const QChar* chars = host.constData();
    const qsizetype length = host.size();
    const bool ascii = std::all_of(chars, chars + length, [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        out += host.toUtf8();
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + length);
    char* target = out.data() + at;
    for (qsizetype i = 0; i < length; ++i)
        target[i] = static_cast<char>(chars[i].unicode());
}

} // namespace

QByteArray startMarker()
{
    return HelperConstants::blockMarkerStart.toUtf8();
}

QByteArray endMarker()
{
    return HelperConstants::blockMarkerEnd.toUtf8();
}

QStringList loopbackAddresses()
{
    return { QStringLiteral("127.0.0.1"), QStringLiteral("::1") };
}

QByteArray makeBlockEntries(const QStringList& sites, const QStringList& loopbackAddresses)
{
    QByteArray out;
    appendBlockEntries(out, sites, loopbackAddresses);
    return out;
}

void appendBlockEntries(QByteArray& out, const QStringList& sites, const QStringList& loopbackAddresses)
{
    const QList<QByteArray> addresses = addressBytes(loopbackAddresses);
    const bool ascii = std::all_of(sites.cbegin(), sites.cend(), [](const QString& site) {
        return std::all_of(site.cbegin(), site.cend(), [](QChar c) { return c.unicode() < 0x80; });
    });
    if (!ascii || addresses.isEmpty()) {
        bool first = true;
        for (const QString& site : sites) {
            for (const QByteArray& address : addresses) {
                if (!first)
                    out += '\n';
                first = false;
                out += address;
                out += ' ';
                appendHost(out, site);
            }
        }
        return;
    }
    // Host names are ASCII after the host check: size the text once and fill
    // it in place, which matters for very long lists.
    qsizetype addressBytesPerHost = 0;
    for (const QByteArray& address : addresses)
        addressBytesPerHost += address.size() + 2; // the space and the line feed
    qsizetype length = 0;
    for (const QString& site : sites)
        length += addressBytesPerHost + site.size() * addresses.size();
    if (length == 0)
        return;
    length -= 1; // no line feed after the last entry
    const qsizetype at = out.size();
    out.resize(at + length);
    char* cursor = out.data() + at;
    bool first = true;
    for (const QString& site : sites) {
        const char* host = nullptr;
        for (const QByteArray& address : addresses) {
            if (!first)
                *cursor++ = '\n';
            first = false;
            std::memcpy(cursor, address.constData(), static_cast<size_t>(address.size()));
            cursor += address.size();
            *cursor++ = ' ';
            // The host's bytes are made once and copied for the other addresses.
            if (host)
                std::memcpy(cursor, host, static_cast<size_t>(site.size()));
            else
                narrow(cursor, site.constData(), site.size());
            host = cursor;
            cursor += site.size();
        }
    }
}

void appendSection(QByteArray& out, const QStringList& sites, const QStringList& loopbackAddresses)
{
    out += '\n';
    out += startMarker();
    out += '\n';
    appendBlockEntries(out, sites, loopbackAddresses);
    out += '\n';
    out += endMarker();
}

bool sectionMatches(const QByteArray& text, const QStringList& sites, const QStringList& loopbackAddresses)
{
    const QByteArray start = startMarker() + '\n';
    const QByteArray end = '\n' + endMarker();
    const qsizetype s = find(text, start, 0);
    if (s < 0)
        return false;
    // Walk the section and the expected lines side by side; the lines are
    // checked byte for byte, so no marker can hide among them.
    const QList<QByteArray> addresses = addressBytes(loopbackAddresses);
    const char* p = text.constData() + s + start.size();
    const char* const stop = text.constData() + text.size();
    bool first = true;
    for (const QString& site : sites) {
        const char* host = nullptr;
        for (const QByteArray& address : addresses) {
            if (!first) {
                if (p >= stop || *p != '\n')
                    return false;
                ++p;
            }
            first = false;
            if (stop - p < address.size() + 1 + site.size()
                || std::memcmp(p, address.constData(), static_cast<size_t>(address.size())) != 0)
                return false;
            p += address.size();
            if (*p++ != ' ')
                return false;
            if (host ? std::memcmp(p, host, static_cast<size_t>(site.size())) != 0
                     : !equalsAscii(p, site.constData(), site.size()))
                return false;
            host = p;
            p += site.size();
        }
    }
    // Then the end marker, and no other section after it.
    if (stop - p < end.size() || std::memcmp(p, end.constData(), static_cast<size_t>(end.size())) != 0)
        return false;
    return QByteArrayView(p, stop - p).indexOf(QByteArrayView(startMarker())) < 0;
}

QByteArray withoutSections(const QByteArray& text, const QStringList& loopbackAddresses)
{
    QByteArray out;
    appendWithoutSections(out, text, loopbackAddresses);
    return out;
}

namespace {

// One pass of appendWithoutSections over `text`.
void appendWithoutSectionsOnce(QByteArray& out, const QByteArray& text, const QList<QByteArray>& addresses)
{
    const QByteArray start = startMarker();
    const QByteArray end = endMarker();
    const QByteArray prefix = commonPrefix(start, end);
    qsizetype pos = 0;
    while (true) {
        const qsizetype s = find(text, start, pos);
        if (s < 0)
            break;
        qsizetype cutFrom = s;
        if (s > pos && text[s - 1] == '\n')
            cutFrom = s - 1;
        out += QByteArrayView(text).sliced(pos, cutFrom - pos);

        // One scan for the shared prefix of both markers finds whichever
        // comes first; long sections make a second scan costly.
        qsizetype e = -1;
        for (qsizetype at = find(text, prefix, s + start.size()); at >= 0; at = find(text, prefix, at + 1)) {
            const QByteArrayView rest = QByteArrayView(text).sliced(at);
            if (rest.startsWith(QByteArrayView(end))) {
                e = at;
                break;
            }
            if (rest.startsWith(QByteArrayView(start)))
                break;
        }
        if (e >= 0) {
            pos = e + end.size();
            continue;
        }
        // No end marker belongs to this start: drop the marker's line and the
        // entry lines right after it, keep everything else.
        qsizetype lineEnd = text.indexOf('\n', s);
        if (lineEnd < 0)
            lineEnd = text.size();
        while (lineEnd < text.size()) {
            qsizetype nextEnd = text.indexOf('\n', lineEnd + 1);
            if (nextEnd < 0)
                nextEnd = text.size();
            const QByteArrayView next = QByteArrayView(text).sliced(lineEnd + 1, nextEnd - lineEnd - 1);
            if (next.contains(QByteArrayView(start)) || !isEntryLine(next, addresses))
                break;
            lineEnd = nextEnd;
        }
        // Without a line feed taken before the marker, take the one after it,
        // unless what is kept of the marker's line would then run into the
        // next line.
        const bool keptLineOpen = cutFrom == s && s > 0 && text[s - 1] != '\n';
        pos = (cutFrom == s && !keptLineOpen && lineEnd < text.size()) ? lineEnd + 1 : lineEnd;
    }
    out += QByteArrayView(text).sliced(pos);
}

} // namespace

void appendWithoutSections(QByteArray& out, const QByteArray& text, const QStringList& loopbackAddresses)
{
    const QList<QByteArray> addresses = addressBytes(loopbackAddresses);
    const qsizetype from = out.size();
    appendWithoutSectionsOnce(out, text, addresses);
    // The bytes on both sides of a cut can join into a new start marker; cut
    // again until none is left, so that a removal never leaves a section
    // behind. Each pass removes at least one marker, so this ends.
    while (find(out, startMarker(), from) >= 0) {
        const QByteArray rest = out.sliced(from);
        out.truncate(from);
        appendWithoutSectionsOnce(out, rest, addresses);
    }
}

QByteArray withSection(const QByteArray& text, const QByteArray& entries)
{
    QByteArray out;
    out.reserve(text.size() + entries.size() + 80);
    out += text;
    out += '\n';
    out += startMarker();
    out += '\n';
    out += entries;
    out += '\n';
    out += endMarker();
    return out;
}

bool containsStartMarker(const QByteArray& text)
{
    return text.contains(startMarker());
}

QStringList blockedSites(const QByteArray& text, const QStringList& loopbackAddresses)
{
    QStringList result;
    QSet<QByteArrayView> seen;
    // Different invalid UTF-8 bytes can decode to the same text: hosts that are
    // not plain ASCII are compared once more as text.
    QSet<QString> seenDecoded;
    forEachSectionHost(text, addressBytes(loopbackAddresses), [&](QByteArrayView host) {
        if (seen.contains(host))
            return;
        seen.insert(host);
        QString site = QString::fromUtf8(host);
        const bool ascii
            = std::all_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii) {
            if (seenDecoded.contains(site))
                return;
            seenDecoded.insert(site);
        }
        result.append(std::move(site));
    });
    return result;
}

QSet<QByteArrayView> blockedHostSet(const QByteArray& text, const QStringList& loopbackAddresses)
{
    QSet<QByteArrayView> hosts;
    forEachSectionHost(text, addressBytes(loopbackAddresses), [&hosts](QByteArrayView host) { hosts.insert(host); });
    return hosts;
}

HostBytes::HostBytes(const QStringList& sites)
{
    buffer.reserve(sites.size() * 24);
    QList<qsizetype> ends;
    ends.reserve(sites.size());
    for (const QString& site : sites) {
        appendHost(buffer, site);
        ends.append(buffer.size());
    }
    views.reserve(sites.size());
    qsizetype begin = 0;
    for (qsizetype end : ends) {
        views.append(QByteArrayView(buffer.constData() + begin, end - begin));
        begin = end;
    }
}

std::optional<QString> blockedSite(QByteArrayView line, const QStringList& loopbackAddresses)
{
    const std::optional<QByteArrayView> host = hostBytesOf(line, addressBytes(loopbackAddresses));
    if (!host)
        return std::nullopt;
    return QString::fromUtf8(*host);
}

std::optional<QStringView> firstSection(QStringView text)
{
    const qsizetype start = text.indexOf(HelperConstants::blockMarkerStartHead);
    if (start < 0)
        return std::nullopt;
    const qsizetype from = start + HelperConstants::blockMarkerStartHead.size();
    const qsizetype end = text.indexOf(HelperConstants::blockMarkerEnd, from);
    if (end < 0)
        return std::nullopt;
    return text.sliced(from, end - from);
}

QList<QStringView> loopbackHosts(QStringView line)
{
    const qsizetype hash = line.indexOf(u'#');
    const QStringView content = hash >= 0 ? line.first(hash) : line;
    QList<QStringView> fields;
    qsizetype i = 0;
    while (i < content.size()) {
        while (i < content.size() && content.at(i).isSpace())
            ++i;
        const qsizetype fieldStart = i;
        while (i < content.size() && !content.at(i).isSpace())
            ++i;
        if (i > fieldStart)
            fields.append(content.sliced(fieldStart, i - fieldStart));
    }
    static const QStringList addresses = loopbackAddresses();
    if (fields.size() < 2 || !addresses.contains(fields.front()))
        return {};
    fields.removeFirst();
    return fields;
}

} // namespace kestravin::HostsSection
