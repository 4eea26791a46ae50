#include "HostsSection.h"

#include "contract/HelperConstants.h"

#include <QSet>

namespace kestravin::HostsSection {

namespace {

bool isFieldSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

QList<QByteArrayView> fields(QByteArrayView line)
{
    QList<QByteArrayView> pieces;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && isFieldSpace(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !isFieldSpace(line[i]))
            ++i;
        if (i > start)
            pieces.append(line.sliced(start, i - start));
    }
    return pieces;
}

bool isLoopback(QByteArrayView field, const QStringList& loopbackAddresses)
{
    for (const QString& address : loopbackAddresses) {
        if (field == QByteArrayView(address.toUtf8()))
            return true;
    }
    return false;
}

// Exactly the shape of a line this daemon writes: an address and one host.
bool isEntryLine(QByteArrayView line, const QStringList& loopbackAddresses)
{
    const QList<QByteArrayView> pieces = fields(line);
    return pieces.size() == 2 && isLoopback(pieces[0], loopbackAddresses);
}

// Line breaks as the reader sees them: LF, CR, VT, FF, and in UTF-8 the next-line
// character and the line and paragraph separators. Returns the break's length
// at `i`, or 0.
qsizetype lineBreakAt(const QByteArray& text, qsizetype i)
{
    const char c = text[i];
    if (c == '\n' || c == '\r' || c == '\v' || c == '\f')
        return 1;
    if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\x85')
        return 2;
    if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' && (text[i + 2] == '\xA8' || text[i + 2] == '\xA9'))
        return 3;
    return 0;
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

QByteArray makeBlockEntries(const QStringList& sites, const QStringList& loopbackAddresses)
{
    QByteArray out;
    for (const QString& site : sites) {
        const QByteArray host = site.toUtf8();
        for (const QString& address : loopbackAddresses) {
            if (!out.isEmpty())
                out += '\n';
            out += address.toUtf8();
            out += ' ';
            out += host;
        }
    }
    return out;
}

QByteArray withoutSections(const QByteArray& text, const QStringList& loopbackAddresses)
{
    const QByteArray start = startMarker();
    const QByteArray end = endMarker();
    QByteArray out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (true) {
        const qsizetype s = text.indexOf(start, pos);
        if (s < 0)
            break;
        qsizetype cutFrom = s;
        if (s > pos && text[s - 1] == '\n')
            cutFrom = s - 1;
        out += QByteArrayView(text).sliced(pos, cutFrom - pos);

        const qsizetype e = text.indexOf(end, s + start.size());
        const qsizetype nextStart = text.indexOf(start, s + start.size());
        if (e >= 0 && (nextStart < 0 || e < nextStart)) {
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
            if (next.contains(QByteArrayView(start)) || !isEntryLine(next, loopbackAddresses))
                break;
            lineEnd = nextEnd;
        }
        // Without a line feed taken before the marker, take the one after it.
        pos = (cutFrom == s && lineEnd < text.size()) ? lineEnd + 1 : lineEnd;
    }
    out += QByteArrayView(text).sliced(pos);
    return out;
}

QByteArray withSection(const QByteArray& text, const QByteArray& entries)
{
    QByteArray out = text;
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
    const QByteArray start = startMarker();
    const QByteArray end = endMarker();
    QStringList result;
    QSet<QString> seen;
    bool inside = false;
    qsizetype lineStart = 0;
    const auto handleLine = [&](QByteArrayView line) {
        if (line.contains(QByteArrayView(start))) {
            inside = true;
            return;
        }
        if (line.contains(QByteArrayView(end)) || !inside) {
            inside = false;
            return;
        }
        if (const std::optional<QString> host = blockedSite(line, loopbackAddresses)) {
            if (!seen.contains(*host)) {
                seen.insert(*host);
                result.append(*host);
            }
        }
    };
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype breakLength = lineBreakAt(text, i);
        if (breakLength == 0) {
            ++i;
            continue;
        }
        handleLine(QByteArrayView(text).sliced(lineStart, i - lineStart));
        i += breakLength;
        lineStart = i;
    }
    if (lineStart < text.size())
        handleLine(QByteArrayView(text).sliced(lineStart));
    return result;
}

std::optional<QString> blockedSite(QByteArrayView line, const QStringList& loopbackAddresses)
{
    const QList<QByteArrayView> pieces = fields(line);
    if (pieces.size() < 2 || !isLoopback(pieces[0], loopbackAddresses))
        return std::nullopt;
    return QString::fromUtf8(pieces[1]);
}

} // namespace kestravin::HostsSection
