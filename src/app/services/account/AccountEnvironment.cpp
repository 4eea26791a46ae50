#include "app/services/account/AccountEnvironment.h"

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QUrl fromSetting(const char* variable, const char* builtIn)
{
    const QByteArray fromEnvironment = qgetenv(variable);
    const QString text = fromEnvironment.isEmpty() ? QString::fromUtf8(builtIn) : QString::fromUtf8(fromEnvironment);
    return QUrl(text.trimmed(), QUrl::StrictMode);
}

bool isWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() && (url.scheme() == u"https"_s || url.scheme() == u"http"_s);
}

int effectivePort(const QUrl& url)
{
    return url.port(url.scheme() == u"https"_s ? 443 : 80);
}

} // namespace

AccountEnvironment::AccountEnvironment(QUrl apiBase, QUrl webBase)
    : m_apiBase(std::move(apiBase)), m_webBase(std::move(webBase))
{
}

AccountEnvironment AccountEnvironment::current()
{
    return AccountEnvironment(
        fromSetting("KESTRAVIN_API_URL", KESTRAVIN_API_URL), fromSetting("KESTRAVIN_WEB_URL", KESTRAVIN_WEB_URL));
}

bool AccountEnvironment::isConfigured() const
{
    return isWebAddress(m_apiBase) && isWebAddress(m_webBase);
}

bool AccountEnvironment::isLocal() const
{
    return m_apiBase.scheme() == u"http"_s;
}

QUrl AccountEnvironment::apiUrl(const QString& path) const
{
    return QUrl(m_apiBase.toString(QUrl::StripTrailingSlash) + path);
}

QString AccountEnvironment::keychainAccount() const
{
    return isLocal() ? m_apiBase.toString() : u"production"_s;
}

bool AccountEnvironment::acceptsConnection(const QUrl& page) const
{
    if (!isWebAddress(page) || !isWebAddress(m_webBase) || !page.userInfo().isEmpty())
        return false;
    if (page.scheme() != m_webBase.scheme() || page.host().compare(m_webBase.host(), Qt::CaseInsensitive) != 0
        || effectivePort(page) != effectivePort(m_webBase))
        return false;
    // Whole path segments: "/app" takes "/app/link" but not "/appx/link".
    QString base = m_webBase.path(QUrl::FullyDecoded);
    if (!base.endsWith(u'/'))
        base.append(u'/');
    const QString path = page.path(QUrl::FullyDecoded);
    if (path.contains(u"/../"_s) || path.endsWith(u"/.."_s))
        return false;
    return base == u"/"_s || path.startsWith(base) || path + u'/' == base;
}

} // namespace kestravin
