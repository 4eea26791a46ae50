#include "app/models/BrowserShieldTables.h"

using namespace Qt::StringLiterals;

namespace kestravin::BrowserShieldTables {

const QSet<QString>& browsers()
{
    static const QSet<QString> ids = { // Desktop-file IDs of the browsers built for Linux.
        u"chromium"_s, u"chromium-browser"_s, u"org.chromium.Chromium"_s, u"google-chrome"_s, u"google-chrome-beta"_s,
        u"google-chrome-unstable"_s, u"com.google.Chrome"_s, u"microsoft-edge"_s, u"microsoft-edge-beta"_s,
        u"microsoft-edge-dev"_s, u"com.microsoft.Edge"_s, u"brave-browser"_s, u"com.brave.Browser"_s, u"firefox"_s,
        u"firefox-esr"_s, u"org.mozilla.firefox"_s, u"vivaldi-stable"_s, u"com.vivaldi.Vivaldi"_s, u"opera"_s,
        u"com.opera.Opera"_s,
        // The other platforms' identifiers, as data.
        u"com.google.Chrome.beta"_s, u"com.google.Chrome.canary"_s, u"com.microsoft.edgemac"_s, u"com.apple.Safari"_s,
        u"company.thebrowser.Browser"_s, u"company.thebrowser.dia"_s, u"com.operasoftware.Opera"_s
    };
    return ids;
}

bool chromiumBased(const QString& id)
{
    static const QSet<QString> ids
        = { u"chromium"_s, u"chromium-browser"_s, u"org.chromium.Chromium"_s, u"google-chrome"_s,
              u"google-chrome-beta"_s, u"google-chrome-unstable"_s, u"com.google.Chrome"_s, u"microsoft-edge"_s,
              u"microsoft-edge-beta"_s, u"microsoft-edge-dev"_s, u"com.microsoft.Edge"_s, u"brave-browser"_s,
              u"com.brave.Browser"_s, u"vivaldi-stable"_s, u"com.vivaldi.Vivaldi"_s, u"opera"_s, u"com.opera.Opera"_s };
    return ids.contains(id);
}

const QStringList& messages()
{
    static const QStringList list
        = { u"Esse clique pode esperar."_s, u"Este tempo merece sua atenção."_s, u"Volte para o que importa agora."_s,
              u"Guarde essa curiosidade para depois."_s, u"Mais um passo no que importa."_s };
    return list;
}

} // namespace kestravin::BrowserShieldTables
