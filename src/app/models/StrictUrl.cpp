#include "app/models/StrictUrl.h"

#include <QByteArray>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

bool isAlpha(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isHex(QChar c)
{
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isUnreserved(QChar c)
{
    return isAlpha(c) || isDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

bool isSubDelim(QChar c)
{
    return QStringView(u"!$&'()*+,;=").contains(c);
}

// Every character is unreserved, a sub-delimiter, one of `extra`, or the
// start of a complete percent escape.
bool isWellFormed(QStringView text, QStringView extra)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            if (!isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return false;
            }
            i += 2;
            continue;
        }
        if (!isUnreserved(c) && !isSubDelim(c) && !extra.contains(c)) {
            return false;
        }
    }
    return true;
}

QString decoded(QStringView text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toLatin1()));
}

bool isScheme(QStringView text)
{
    if (text.isEmpty() || !isAlpha(text.front())) {
        return false;
    }
    for (const QChar c : text) {
        if (!isAlpha(c) && !isDigit(c) && c != u'+' && c != u'.' && c != u'-') {
            return false;
        }
    }
    return true;
}

bool parsePort(QStringView text, std::optional<int>& port)
{
    if (text.isEmpty() || text.size() > 5) {
        return false;
    }
    int value = 0;
    for (const QChar c : text) {
        if (!isDigit(c)) {
            return false;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > 65535) {
        return false;
    }
    port = value;
    return true;
}

bool parseAuthority(QStringView authority, StrictUrl& url)
{
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QStringView userInfo = authority.first(at);
        if (!isWellFormed(userInfo, u":")) {
            return false;
        }
        const qsizetype colon = userInfo.indexOf(u':');
        url.user = decoded(colon >= 0 ? userInfo.first(colon) : userInfo);
        if (colon >= 0) {
            url.password = decoded(userInfo.sliced(colon + 1));
        }
        authority = authority.sliced(at + 1);
    }
    QStringView hostText = authority;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0) {
            return false;
        }
        hostText = authority.sliced(1, close - 1);
        for (const QChar c : hostText) {
            if (!isHex(c) && c != u':' && c != u'.') {
                return false;
            }
        }
        const QStringView rest = authority.sliced(close + 1);
        if (!rest.isEmpty() && (!rest.startsWith(u':') || !parsePort(rest.sliced(1), url.port))) {
            return false;
        }
        url.host = hostText.toString();
        return true;
    }
    const qsizetype colon = authority.lastIndexOf(u':');
    if (colon >= 0) {
        hostText = authority.first(colon);
        if (!parsePort(authority.sliced(colon + 1), url.port)) {
            return false;
        }
    }
    if (!isWellFormed(hostText, {})) {
        return false;
    }
    url.host = decoded(hostText);
    return true;
}

QList<StrictUrl::QueryItem> splitQuery(QStringView query)
{
    QList<StrictUrl::QueryItem> items;
    if (query.isEmpty()) {
        return items;
    }
    for (const QStringView part : query.split(u'&')) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals < 0) {
            items.append({ decoded(part), std::nullopt });
        } else {
            items.append({ decoded(part.first(equals)), decoded(part.sliced(equals + 1)) });
        }
    }
    return items;
}

} // namespace

std::optional<StrictUrl> StrictUrl::parse(QStringView text)
{
    StrictUrl url;
    QStringView rest = text;

    const qsizetype delimiter = [&] {
        for (qsizetype i = 0; i < rest.size(); ++i) {
            if (QStringView(u":/?#").contains(rest[i])) {
                return i;
            }
        }
        return qsizetype(-1);
    }();
    if (delimiter >= 0 && rest[delimiter] == u':') {
        if (!isScheme(rest.first(delimiter))) {
            return std::nullopt;
        }
        url.scheme = rest.first(delimiter).toString();
        rest = rest.sliced(delimiter + 1);
    }

    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) {
        const QStringView fragment = rest.sliced(hash + 1);
        if (!isWellFormed(fragment, u":@/?")) {
            return std::nullopt;
        }
        url.fragment = decoded(fragment);
        rest = rest.first(hash);
    }
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        const QStringView query = rest.sliced(question + 1);
        if (!isWellFormed(query, u":@/?")) {
            return std::nullopt;
        }
        url.encodedQuery = query.toString();
        url.queryItems = splitQuery(query);
        rest = rest.first(question);
    }
    if (rest.startsWith(u"//")) {
        rest = rest.sliced(2);
        const qsizetype slash = rest.indexOf(u'/');
        const QStringView authority = slash >= 0 ? rest.first(slash) : rest;
        if (!parseAuthority(authority, url)) {
            return std::nullopt;
        }
        rest = slash >= 0 ? rest.sliced(slash) : QStringView();
    }
    if (!isWellFormed(rest, u":@/")) {
        return std::nullopt;
    }
    url.encodedPath = rest.toString();
    url.path = decoded(rest);
    return url;
}

QString StrictUrl::toString(bool withFragment) const
{
    QString text;
    if (!scheme.isEmpty()) {
        text += scheme + u':';
    }
    if (host) {
        text += u"//"_s;
        if (user) {
            text += QString::fromLatin1(user->toUtf8().toPercentEncoding("!$&'()*+,;="));
            if (password) {
                text += u':' + QString::fromLatin1(password->toUtf8().toPercentEncoding("!$&'()*+,;="));
            }
            text += u'@';
        }
        text += host->contains(u':') ? u'[' + *host + u']'
                                     : QString::fromLatin1(host->toUtf8().toPercentEncoding("!$&'()*+,;="));
        if (port) {
            text += u':' + QString::number(*port);
        }
    }
    text += encodedPath;
    if (encodedQuery) {
        text += u'?' + *encodedQuery;
    }
    if (withFragment && fragment) {
        text += u'#' + QString::fromLatin1(fragment->toUtf8().toPercentEncoding("!$&'()*+,;=:@/?"));
    }
    return text;
}

} // namespace kestravin
