#include "app/models/BrowserShieldPolicy.h"

#include "app/models/StrictUrl.h"
#include "contract/HostsSection.h"
#include "contract/ScheduledSiteAccess.h"

#include <QStringList>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kestravin::BrowserShieldPolicy {
namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Browsers show an international host in Unicode and decode the path
// ("/Notícias"); the splitter accepts only ASCII, so the host part of the
// authority is put in its ACE form first and the rest is percent-encoded as
// it went over the wire. A non-ASCII user name is left for the splitter to
// refuse.
std::optional<QString> withAceHost(QString address)
{
    if (isAscii(address)) {
        return address;
    }
    const qsizetype start = address.indexOf(u"://"_s) + 3;
    qsizetype end = start;
    while (end < address.size() && address.at(end) != u'/' && address.at(end) != u'?' && address.at(end) != u'#') {
        ++end;
    }
    if (!isAscii(QStringView(address).sliced(end))) {
        QString rest;
        for (const QChar c : QStringView(address).sliced(end)) {
            rest += c.unicode() < 0x80 ? QString(c) : QString::fromLatin1(QUrl::toPercentEncoding(QString(c)));
        }
        address = address.first(end) + rest;
        if (isAscii(address)) {
            return address;
        }
    }
    const QStringView authority = QStringView(address).sliced(start, end - start);
    const qsizetype at = authority.lastIndexOf(u'@');
    const qsizetype hostStart = at + 1;
    qsizetype hostEnd = authority.indexOf(u':', hostStart);
    if (hostEnd < 0) {
        hostEnd = authority.size();
    }
    const QString unicodeHost = authority.sliced(hostStart, hostEnd - hostStart).toString();
    if (isAscii(unicodeHost)) {
        return address;
    }
    const QByteArray ace = QUrl::toAce(unicodeHost, QUrl::AceTransitionalProcessing);
    if (ace.isEmpty()) {
        return std::nullopt;
    }
    QString result = address;
    result.replace(start + hostStart, unicodeHost.size(), QString::fromLatin1(ace));
    return result;
}

const QStringList& platformKeys()
{
    static const QStringList keys = { u"youtube"_s, u"x"_s, u"tiktok"_s };
    return keys;
}

} // namespace

std::optional<QString> host(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(u' ')) {
        return std::nullopt;
    }
    const QString address = trimmed.contains(u"://"_s) ? trimmed : u"https://"_s + trimmed;
    const auto ascii = withAceHost(address);
    if (!ascii) {
        return std::nullopt;
    }
    const auto parts = StrictUrl::parse(*ascii);
    if (!parts) {
        return std::nullopt;
    }
    const QString scheme = parts->scheme.toLower();
    if (scheme != u"http"_s && scheme != u"https"_s) {
        return std::nullopt;
    }
    if (parts->user || parts->password || !parts->host || !parts->host->contains(u'.')) {
        return std::nullopt;
    }
    return parts->host->toLower();
}

std::optional<QString> blockedHost(const QString& address, const QString& hostsFile)
{
    const auto h = host(address);
    if (!h) {
        return std::nullopt;
    }
    const std::optional<QStringView> section = HostsSection::firstSection(hostsFile);
    if (!section) {
        return std::nullopt;
    }
    for (const QStringView line : section->split(u'\n', Qt::SkipEmptyParts)) {
        for (const QStringView name : HostsSection::loopbackHosts(line)) {
            if (name.toString().toLower() == *h) {
                return h;
            }
        }
    }
    return std::nullopt;
}

std::optional<QString> platform(const QString& host)
{
    for (const QString& key : platformKeys()) {
        const QSet<QString> domains = ScheduledSiteAccess::domains(key);
        for (const QString& domain : domains) {
            if (siteIsCovered(host, domain)) {
                return key;
            }
        }
    }
    return std::nullopt;
}

} // namespace kestravin::BrowserShieldPolicy
