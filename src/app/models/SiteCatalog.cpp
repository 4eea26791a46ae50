#include "SiteCatalog.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kestravin::SiteCatalog {

namespace {

SiteCatalogEntry service(QString id, QString name, QString root, std::optional<QString> monogram = std::nullopt)
{
    // The common shape: one root, blocked bare and with "www.".
    QStringList domains { root, u"www."_s + root };
    return SiteCatalogEntry { std::move(id), std::move(name), { root }, std::move(domains), std::move(monogram) };
}

} // namespace

const QList<SiteCatalogEntry>& entries()
{
    static const QList<SiteCatalogEntry> catalogue {
        SiteCatalogEntry { u"youtube"_s, u"YouTube"_s, { u"youtube.com"_s, u"youtu.be"_s, u"googlevideo.com"_s },
            { u"youtube.com"_s, u"www.youtube.com"_s, u"m.youtube.com"_s, u"music.youtube.com"_s, u"youtu.be"_s,
                u"googlevideo.com"_s },
            std::nullopt },
        service(u"instagram"_s, u"Instagram"_s, u"instagram.com"_s),
        SiteCatalogEntry { u"x"_s, u"X"_s, { u"x.com"_s, u"twitter.com"_s },
            { u"x.com"_s, u"www.x.com"_s, u"twitter.com"_s, u"www.twitter.com"_s }, std::nullopt },
        service(u"tiktok"_s, u"TikTok"_s, u"tiktok.com"_s),
        service(u"reddit"_s, u"Reddit"_s, u"reddit.com"_s),
        service(u"facebook"_s, u"Facebook"_s, u"facebook.com"_s),
        service(u"linkedin"_s, u"LinkedIn"_s, u"linkedin.com"_s, u"in"_s),
        service(u"netflix"_s, u"Netflix"_s, u"netflix.com"_s),
        service(u"twitch"_s, u"Twitch"_s, u"twitch.tv"_s),
        service(u"prime"_s, u"Prime Video"_s, u"primevideo.com"_s),
        // The news site lives under its portal's domain; only its own host is blocked.
        SiteCatalogEntry { u"g1"_s, u"g1"_s, { u"g1.globo.com"_s }, { u"g1.globo.com"_s }, u"g1"_s },
        service(u"uol"_s, u"UOL"_s, u"uol.com.br"_s),
        service(u"mercadolivre"_s, u"Mercado Livre"_s, u"mercadolivre.com.br"_s),
        service(u"amazon"_s, u"Amazon"_s, u"amazon.com.br"_s),
        service(u"shopee"_s, u"Shopee"_s, u"shopee.com.br"_s),
    };
    return catalogue;
}

const QMap<QString, QStringList>& pageHosts()
{
    static const QMap<QString, QStringList> hosts {
        { u"x.com"_s,
            { u"api.x.com"_s, u"mobile.x.com"_s, u"pbs.twimg.com"_s, u"video.twimg.com"_s, u"abs.twimg.com"_s,
                u"abs-0.twimg.com"_s, u"ton.twimg.com"_s } },
        { u"twitter.com"_s, { u"api.twitter.com"_s, u"mobile.twitter.com"_s } },
        { u"youtube.com"_s, { u"i.ytimg.com"_s, u"yt3.ggpht.com"_s, u"youtubei.googleapis.com"_s } },
        { u"facebook.com"_s, { u"m.facebook.com"_s, u"web.facebook.com"_s, u"mbasic.facebook.com"_s } },
        { u"instagram.com"_s, { u"scontent.cdninstagram.com"_s } },
        { u"tiktok.com"_s, { u"m.tiktok.com"_s, u"vm.tiktok.com"_s } },
        { u"reddit.com"_s,
            { u"old.reddit.com"_s, u"new.reddit.com"_s, u"gql.reddit.com"_s, u"accounts.reddit.com"_s } },
    };
    return hosts;
}

const QSet<QString>& brandLogos()
{
    static const QSet<QString> ids = [] {
        QSet<QString> all;
        for (const SiteCatalogEntry& e : entries())
            all.insert(e.id);
        return all;
    }();
    return ids;
}

std::optional<SiteCatalogEntry> entry(QStringView matching)
{
    for (const SiteCatalogEntry& e : entries()) {
        if (e.matches(matching))
            return e;
    }
    return std::nullopt;
}

QStringList setting(const SiteCatalogEntry& entry, bool blocked, const QStringList& sites)
{
    QStringList result;
    for (const QString& site : sites) {
        if (!entry.matches(site))
            result.append(site);
    }
    if (blocked)
        result.append(entry.domains);
    return result;
}

std::optional<QString> normalizedDomain(QStringView text)
{
    QString domain = text.trimmed().toString().toLower();
    const qsizetype scheme = domain.indexOf(u"://"_s);
    if (scheme >= 0)
        domain = domain.mid(scheme + 3);
    static const QRegularExpression cut(u"[/?#]"_s);
    const qsizetype end = domain.indexOf(cut);
    if (end >= 0)
        domain.truncate(end);
    if (domain.startsWith(u"www."_s))
        domain.remove(0, 4);
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(u"[a-z0-9-]+(\\.[a-z0-9-]+)+"_s));
    if (!pattern.match(domain).hasMatch())
        return std::nullopt;
    return domain;
}

QStringList systemHosts(const QStringList& blocked)
{
    QStringList result = blocked;
    // QMap iterates its keys in ascending order.
    const QMap<QString, QStringList>& extra = pageHosts();
    for (auto it = extra.cbegin(); it != extra.cend(); ++it) {
        if (!blocked.contains(it.key()) && !blocked.contains(u"www."_s + it.key()))
            continue;
        for (const QString& host : it.value()) {
            if (!result.contains(host))
                result.append(host);
        }
    }
    return result;
}

} // namespace kestravin::SiteCatalog
