#include "app/models/AssistantForm.h"

#include "app/models/BrowserBridgePolicy.h"
#include "app/models/SiteCatalog.h"

using namespace Qt::StringLiterals;

namespace kestravin::AssistantForm {

QStringList kinds(bool linksOffered, const QStringList& roots)
{
    QStringList offered = linksOffered ? QStringList { linkKind, tiktokKind } : QStringList { tiktokKind };
    if (!roots.isEmpty()) {
        offered.append(siteKind);
    }
    return offered;
}

QString chipLabel(const QString& kind)
{
    if (kind == linkKind) {
        return u"Um vídeo ou tweet"_s;
    }
    if (kind == siteKind) {
        return u"Outro site"_s;
    }
    if (kind == u"youtube"_s) {
        return u"YouTube"_s;
    }
    if (kind == u"x"_s) {
        return u"X"_s;
    }
    return u"TikTok"_s;
}

QString minutesLabel(int minutes)
{
    return QString::number(minutes) + u" min"_s;
}

QString currentSite(const QStringList& roots, const QString& siteChoice)
{
    if (roots.contains(siteChoice)) {
        return siteChoice;
    }
    return roots.value(0);
}

QString shownKind(const QStringList& kinds, const QString& currentKind)
{
    return kinds.contains(currentKind) ? currentKind : kinds.value(0);
}

QString platformOf(const QString& kind, const QString& currentSite)
{
    if (kind == linkKind) {
        return u"youtube"_s;
    }
    if (kind == siteKind) {
        return currentSite;
    }
    return kind;
}

Adoption adopt(const QString& platform, const QStringList& kinds, const QStringList& roots, const QString& siteChoice,
    const QString& selectedPlatform)
{
    Adoption adoption;
    QString choice = siteChoice;
    if (roots.contains(platform)) {
        adoption.currentKind = siteKind;
        adoption.siteChoice = platform;
        choice = platform;
    } else if (kinds.contains(platform)) {
        adoption.currentKind = platform;
    } else if ((platform == u"youtube"_s || platform == u"x"_s) && kinds.contains(linkKind)) {
        adoption.currentKind = linkKind;
    } else {
        adoption.currentKind = kinds.value(0);
    }
    // Publishing only a change keeps the service's echo of this write from
    // adopting again.
    const QString publish = platformOf(adoption.currentKind, currentSite(roots, choice));
    if (publish != selectedPlatform) {
        adoption.selectedPlatform = publish;
    }
    return adoption;
}

qsizetype trimmedCharacters(const QString& text)
{
    return BrowserBridgePolicy::characterCount(text.trimmed());
}

bool isXAuthorizationLink(const Fields& fields)
{
    return fields.kind == linkKind
        && BrowserBridgePolicy::isXAuthorization(BrowserBridgePolicy::normalized(fields.url));
}

bool canSend(const Fields& fields, const LinkRoute& route, bool busy)
{
    if (busy || trimmedCharacters(fields.reason) < 8) {
        return false;
    }
    if (fields.kind != linkKind) {
        return true;
    }
    const QString link = BrowserBridgePolicy::normalized(fields.url);
    return route.usable() && !link.isEmpty() && !BrowserBridgePolicy::problem(link);
}

QString hint(const Fields& fields, bool extensionConnected)
{
    const QString minutes = QString::number(xAuthorizationMinutes);
    if (fields.kind == linkKind) {
        if (isXAuthorizationLink(fields)) {
            return extensionConnected ? u"Abre só a página de autorização e o login do X, por "_s + minutes
                    + u" minutos. O feed continua bloqueado."_s
                                      : u"A Orla avalia a autorização. Se aprovar, o X abre neste computador por "_s
                    + minutes + u" minutos e a página de autorização abre no navegador."_s;
        }
        return extensionConnected ? u"Só este link abre, na aba da extensão, até o prazo. O resto continua bloqueado."_s
                                  : u"A Orla avalia só este link. Se aprovar, o site abre neste computador até o "
                                    u"prazo. Recarregue a página se ela "
                                    u"não voltar sozinha."_s;
    }
    if (fields.kind == siteKind) {
        return u"Libera "_s + fields.currentSite
            + u" inteiro neste computador e no navegador até o prazo, inclusive para entrar com a sua conta."_s;
    }
    return u"Libera o site inteiro neste computador até o prazo. Para um vídeo do YouTube ou um tweet, escolha “Um "
           u"vídeo "
           u"ou tweet”."_s;
}

QString xAuthorizationDuration()
{
    return QString::number(xAuthorizationMinutes) + u" min, o tempo de autorizar o app."_s;
}

Target target(const Fields& fields)
{
    Target sent;
    sent.link = fields.kind == linkKind;
    sent.url = BrowserBridgePolicy::normalized(fields.url);
    const bool authorization = sent.link && BrowserBridgePolicy::isXAuthorization(sent.url);
    sent.platform = platformOf(fields.kind, fields.currentSite);
    sent.minutes = authorization ? xAuthorizationMinutes : fields.minutes;
    if (authorization) {
        sent.what = u"A autorização no X"_s;
    } else if (sent.link) {
        sent.what = u"Um vídeo ou tweet"_s;
    } else if (fields.kind == siteKind) {
        sent.what = fields.currentSite;
    } else {
        sent.what = u"TikTok"_s;
    }
    sent.original = fields.reason;
    return sent;
}

ReplyLimits replyLimits(const std::function<QString(const QString& answer)>& joinedWith, const QString& reply)
{
    ReplyLimits limits;
    limits.fits = joinedWith(reply).size() <= conversationLimit;
    limits.full = joinedWith(QString()).size() > conversationLimit;
    return limits;
}

bool canReply(const QString& reply, const ReplyLimits& limits, bool busy, bool hasTarget)
{
    return trimmedCharacters(reply) >= 2 && limits.fits && !busy && hasTarget;
}

std::optional<QString> replyWarning(const ReplyLimits& limits)
{
    if (limits.fits) {
        return std::nullopt;
    }
    return limits.full ? u"A conversa ficou longa. Mude o pedido e conte tudo de uma vez."_s
                       : u"Resposta longa demais. Resuma em poucas palavras."_s;
}

SiteTileItem siteItem(const QString& host)
{
    if (const auto entry = SiteCatalog::entry(host)) {
        return SiteTileItem::fromEntry(*entry, true);
    }
    return SiteTileItem { host, host, u"Site adicionado"_s, host, std::nullopt, { host }, true, false };
}

} // namespace kestravin::AssistantForm
