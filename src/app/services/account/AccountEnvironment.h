#pragma once

#include <QString>
#include <QUrl>

namespace kestravin {

// Where the account API and its web app live. Both are fixed at build time and
// can be replaced at run time through KESTRAVIN_API_URL and KESTRAVIN_WEB_URL.
class AccountEnvironment {
public:
    AccountEnvironment() = default;
    AccountEnvironment(QUrl apiBase, QUrl webBase);

    // The build's addresses, each replaced by its environment variable when set.
    static AccountEnvironment current();

    const QUrl& apiBase() const { return m_apiBase; }
    const QUrl& webBase() const { return m_webBase; }

    // Both addresses are absolute http(s) addresses. Without them nothing can
    // reach the account.
    bool isConfigured() const;

    // A development server: the API is spoken in plain http.
    bool isLocal() const;

    // The API address of `path` ("/api/bootstrap").
    QUrl apiUrl(const QString& path) const;

    // The keyring account name of the session: "production", or the API
    // address itself for a development server so that the two never mix.
    QString keychainAccount() const;

    // Whether a confirmation page belongs to the web app: same scheme, host
    // (in any case) and port, and a path inside the web base's path.
    bool acceptsConnection(const QUrl& page) const;

private:
    QUrl m_apiBase;
    QUrl m_webBase;
};

} // namespace kestravin
