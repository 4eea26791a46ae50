#include "app/models/BrowserBridgePolicy.h"

#include "app/models/Digest.h"
#include "app/models/StrictUrl.h"
#include "contract/LocalTime.h"
#include "contract/ScheduledSiteAccess.h"

#include <QRegularExpression>
#include <QSet>
#include <QTextBoundaryFinder>

#include <charconv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin::BrowserBridgePolicy {
namespace {

constexpr qsizetype maximumSites = 500;
constexpr qsizetype maximumAuthorizationLength = 2000;

const QString youtubeKey = u"youtube"_s;
const QString xKey = u"x"_s;

// Public host names of the two services.
const QSet<QString>& shortLinkHosts()
{
    static const QSet<QString> hosts { u"youtu.be"_s, u"www.youtu.be"_s };
    return hosts;
}

const QSet<QString>& watchHosts()
{
    static const QSet<QString> hosts { u"youtube.com"_s, u"www.youtube.com"_s, u"m.youtube.com"_s,
        u"music.youtube.com"_s };
    return hosts;
}

const QSet<QString>& xAuthorizationHosts()
{
    static const QSet<QString> hosts { u"x.com"_s, u"www.x.com"_s, u"twitter.com"_s, u"www.twitter.com"_s };
    return hosts;
}

const QSet<QString>& xPostHosts()
{
    static const QSet<QString> hosts { u"x.com"_s, u"www.x.com"_s, u"mobile.x.com"_s, u"twitter.com"_s,
        u"www.twitter.com"_s, u"mobile.twitter.com"_s };
    return hosts;
}

const QStringList xFamilyRoots = { u"x.com"_s, u"twitter.com"_s };
const QStringList youtubeFamilyRoots = { u"youtube.com"_s, u"youtu.be"_s };
const QString mainYoutubeHost = u"www.youtube.com"_s;
const QString mainXHost = u"x.com"_s;

bool isLabelCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-';
}

// "^[a-z0-9-]+(\.[a-z0-9-]+)+$" as a whole-string match (QRegularExpression's
// "$" would also match before a final line break).
bool isDomainName(QStringView text)
{
    qsizetype labels = 0;
    for (const QStringView label : text.split(u'.')) {
        if (label.isEmpty()) {
            return false;
        }
        for (const QChar c : label) {
            if (!isLabelCharacter(c)) {
                return false;
            }
        }
        ++labels;
    }
    return labels >= 2;
}

bool isVideoId(QStringView text)
{
    if (text.size() != 11) {
        return false;
    }
    for (const QChar c : text) {
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_'
            || c == u'-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool isXPostPath(const QString& path)
{
    static const QRegularExpression pattern(u"\\A/[A-Za-z0-9_]{1,15}/status/[0-9]{1,22}/?\\z"_s);
    return pattern.match(path).hasMatch();
}

bool inFamily(const QString& host, const QStringList& roots)
{
    for (const QString& root : roots) {
        if (host == root || host.endsWith(u'.' + root)) {
            return true;
        }
    }
    return false;
}

QString twoDigits(qint64 hour, qint64 minute)
{
    return QString::asprintf("%02lld:%02lld", static_cast<long long>(hour), static_cast<long long>(minute));
}

QStringList platformsOf(const QStringList& blockedSites)
{
    QStringList platforms;
    for (const QString& key : { youtubeKey, xKey }) {
        const QSet<QString> hosts = ScheduledSiteAccess::domains(key);
        // Compared lower-cased, as the site list itself is: an entry stored
        // as "YouTube.com" blocks youtube.com and so covers the platform.
        const bool covered = std::any_of(blockedSites.cbegin(), blockedSites.cend(), [&](const QString& site) {
            const QString lowered = site.toLower();
            return std::any_of(hosts.cbegin(), hosts.cend(),
                [&](const QString& host) { return lowered == host || lowered.endsWith(u'.' + host); });
        });
        if (covered) {
            platforms.append(key);
        }
    }
    return platforms;
}

QList<BrowserScheduleSlot> slotsOf(const Schedule& schedule)
{
    QList<BrowserScheduleSlot> slots;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        const auto it = schedule.daySchedules.constFind(day);
        if (it == schedule.daySchedules.constEnd() || !it->enabled) {
            continue;
        }
        for (const TimeRange& range : it->timeRanges) {
            if (range.startMinutes() >= range.endMinutes()) {
                continue;
            }
            slots.append({ { day.index() }, twoDigits(range.startHour, range.startMinute),
                twoDigits(range.endHour, range.endMinute) });
        }
    }
    return slots;
}

QStringList sitesOf(const QStringList& blockedSites)
{
    QSet<QString> seen;
    QStringList sites;
    for (const QString& site : blockedSites) {
        const QString lowered = site.toLower();
        if (isDomainName(lowered) && !seen.contains(lowered)) {
            seen.insert(lowered);
            sites.append(lowered);
        }
    }
    std::sort(sites.begin(), sites.end());
    if (sites.size() > maximumSites) {
        sites.resize(maximumSites);
    }
    return sites;
}

std::optional<BrowserFocus> scheduledFocus(const Configuration& configuration, const QString& settingsHash,
    const QStringList& platforms, const QDateTime& now, const QTimeZone& zone)
{
    const QDate today = now.toTimeZone(zone).date();
    const auto day = DayOfWeek::fromIndex(today.dayOfWeek() % 7);
    const auto it
        = day ? configuration.schedule.daySchedules.constFind(*day) : configuration.schedule.daySchedules.cend();
    if (it == configuration.schedule.daySchedules.constEnd() || !it->enabled) {
        return std::nullopt;
    }
    const int minute = LocalTime::minuteOfDay(now, zone);
    for (const TimeRange& range : it->timeRanges) {
        if (range.startMinutes() >= range.endMinutes() || !range.contains(minute)) {
            continue;
        }
        // A range that closes the day (24:00) ends at the next day's first
        // instant, resolved in that day's offset.
        const auto end = LocalTime::instant(today, range.endMinutes(), zone);
        if (!end) {
            return std::nullopt;
        }
        BrowserFocus focus;
        focus.enabled = true;
        focus.id = u"mac-"_s + settingsHash.first(24) + u'-' + QString::number(end->toSecsSinceEpoch());
        focus.endsAt = double(end->toMSecsSinceEpoch());
        focus.platforms = platforms;
        return focus;
    }
    return std::nullopt;
}

QByteArray boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

LocalSettings localSettings(const Configuration& configuration, const QTimeZone& zone)
{
    LocalSettings local;
    BrowserSettings& settings = local.settings;
    settings.onboarded = true;
    settings.timezone = QString::fromUtf8(zone.id());
    settings.platforms = platformsOf(configuration.blockedSites);
    settings.schedule = slotsOf(configuration.schedule);
    settings.sites = sitesOf(configuration.blockedSites);
    settings.enabled = configuration.enabled && !settings.schedule.isEmpty();
    local.hash = hexDigest(BrowserExchange::compact(settings.toJson()));
    return local;
}

BrowserSnapshot snapshot(const Configuration& configuration, const BrowserBridgeSession& session, bool enabled,
    const QDateTime& now, const QTimeZone& zone)
{
    return snapshot(localSettings(configuration, zone), configuration, session, enabled, now, zone);
}

BrowserSnapshot snapshot(const LocalSettings& local, const Configuration& configuration,
    const BrowserBridgeSession& session, bool enabled, const QDateTime& now, const QTimeZone& zone)
{
    const double nowMs = double(now.toMSecsSinceEpoch());
    const BrowserSettings& settings = local.settings;
    const QString& settingsHash = local.hash;

    BrowserFocus focus;
    focus.platforms = settings.platforms;
    const Instant nowInstant = Instant::fromUnixSeconds(nowMs / 1000.0);
    if (!enabled || (session.pausedUntil && *session.pausedUntil > nowInstant)) {
        // The none focus.
    } else if (session.manual && session.manual->endsAt > nowInstant) {
        focus.enabled = true;
        focus.id = session.manual->id;
        focus.endsAt = session.manual->endsAt.unixSeconds() * 1000.0;
    } else if (configuration.enabled) {
        if (const auto scheduled = scheduledFocus(configuration, settingsHash, settings.platforms, now, zone)) {
            focus = *scheduled;
        }
    }

    BrowserSnapshot snapshot;
    snapshot.enabled = enabled;
    snapshot.generatedAt = nowMs;
    snapshot.revision = hexDigest(BrowserExchange::compact(focus.toJson()) + settingsHash.toUtf8() + boolText(enabled)
        + "-" + QByteArray::number(session.generation));
    snapshot.settings = settings;
    snapshot.focus = std::move(focus);
    if (session.pausedUntil) {
        snapshot.pausedUntil = session.pausedUntil->unixSeconds() * 1000.0;
    }
    return snapshot;
}

BrowserSnapshot accountSnapshot(const AccountView& account, bool enabled, double nowMs)
{
    const QString focusId = account.focusId.value_or(u"none"_s);
    const double endsAt = account.focusEndsAt.value_or(0);
    const bool active = account.focusEnabled && nowMs < endsAt;

    BrowserSnapshot snapshot;
    snapshot.enabled = enabled;
    snapshot.generatedAt = nowMs;
    snapshot.settings = account.settings;
    snapshot.focus.enabled = active;
    snapshot.focus.id = focusId;
    snapshot.focus.endsAt = endsAt;
    snapshot.focus.platforms = account.settings.platforms;
    snapshot.pausedUntil = account.pausedUntil;
    const QString text = u"account:"_s + account.userId + u':' + QString::number(account.revision) + u':' + focusId
        + u':' + QString::fromLatin1(boolText(active)) + u':' + roundTripText(account.pausedUntil) + u':'
        + QString::fromLatin1(boolText(enabled));
    snapshot.revision = hexDigest(text.toUtf8());
    if (active) {
        for (const AccountGrant& grant : account.appliedGrants) {
            if (grant.expiresAt > nowMs && grant.focusId && *grant.focusId == focusId) {
                snapshot.grants.append(grant);
            }
        }
    }
    return snapshot;
}

QString roundTripText(double value)
{
    char buffer[64];
    // Plain digits across the range of instants; other magnitudes take the
    // shortest general form.
    const bool plain = value == 0 || (std::fabs(value) >= 1e-4 && std::fabs(value) < 9007199254740992.0);
    const auto result = plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                              : std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !text.contains(u'.') && !text.contains(u'e')) {
        text += u".0"_s;
    }
    return text;
}

qsizetype characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0) {
        ++count;
    }
    return count;
}

QString normalized(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return trimmed;
    }
    if (trimmed.startsWith(u"http://"_s, Qt::CaseInsensitive)) {
        return u"https://"_s + trimmed.sliced(7);
    }
    if (trimmed.startsWith(u"https://"_s, Qt::CaseInsensitive)) {
        return u"https://"_s + trimmed.sliced(8);
    }
    static const QRegularExpression schemePresent(u"\\A[a-zA-Z][a-zA-Z0-9+.-]*://"_s);
    if (schemePresent.match(trimmed).hasMatch()) {
        return trimmed;
    }
    return u"https://"_s + trimmed;
}

bool isXAuthorization(const QString& url)
{
    if (characterCount(url) > maximumAuthorizationLength) {
        return false;
    }
    const auto parts = StrictUrl::parse(url);
    if (!parts || parts->scheme != u"https"_s || parts->user || parts->password || parts->port || !parts->host
        || !xAuthorizationHosts().contains(parts->host->toLower()) || parts->path != u"/i/oauth2/authorize"_s
        || !parts->queryItems || parts->queryItems->isEmpty()) {
        return false;
    }
    for (const StrictUrl::QueryItem& item : *parts->queryItems) {
        if (item.name == u"client_id"_s) {
            return item.value && !item.value->isEmpty();
        }
    }
    return false;
}

std::optional<Target> target(const QString& url)
{
    const auto parts = StrictUrl::parse(url);
    if (!parts || parts->scheme != u"https"_s || parts->user || parts->password || parts->port || !parts->host
        || parts->host->isEmpty()) {
        return std::nullopt;
    }
    const QString host = parts->host->toLower();

    std::optional<QString> candidate;
    if (shortLinkHosts().contains(host)) {
        candidate = parts->path.sliced(std::min<qsizetype>(1, parts->path.size()));
    } else if (watchHosts().contains(host) && parts->path == u"/watch"_s && parts->queryItems) {
        QList<StrictUrl::QueryItem> items;
        std::copy_if(parts->queryItems->cbegin(), parts->queryItems->cend(), std::back_inserter(items),
            [](const StrictUrl::QueryItem& item) { return item.name == u"v"_s; });
        if (items.size() == 1) {
            candidate = items.front().value;
        }
    }
    if (candidate && isVideoId(*candidate)) {
        return Target { u"https://"_s + mainYoutubeHost + u"/watch?v="_s + *candidate, youtubeKey };
    }
    if (isXAuthorization(url)) {
        const qsizetype hash = url.indexOf(u'#');
        return Target { hash >= 0 ? url.first(hash) : url, xKey };
    }
    if (xPostHosts().contains(host) && isXPostPath(parts->path)) {
        QString path = parts->path;
        if (path.endsWith(u'/')) {
            path.chop(1);
        }
        return Target { u"https://"_s + mainXHost + path, xKey };
    }
    return std::nullopt;
}

std::optional<QString> problem(const QString& text)
{
    const QString address = normalized(text);
    if (address.isEmpty() || target(address)) {
        return std::nullopt;
    }
    const auto parts = StrictUrl::parse(address);
    const QString host = parts && parts->host ? parts->host->toLower() : QString();
    const QString path = parts ? parts->path : QString();
    if (inFamily(host, xFamilyRoots)) {
        if (path.startsWith(u"/i/oauth2"_s) || path.startsWith(u"/i/flow"_s) || path.startsWith(u"/login"_s)) {
            return u"Esse é um link de entrar ou autorizar no X, não um tweet. A Orla libera um tweet de cada vez, "
                   u"nunca a conta."_s;
        }
        return u"Esse link não é de um tweet. Abra o tweet e copie o endereço dele (…/status/…)."_s;
    }
    if (inFamily(host, youtubeFamilyRoots)) {
        if (path.startsWith(u"/shorts"_s)) {
            return u"Shorts ficam bloqueados. A Orla libera um vídeo de cada vez (…/watch?v=…)."_s;
        }
        return u"Esse link não é de um vídeo. Abra o vídeo e copie o endereço dele (…/watch?v=…)."_s;
    }
    return u"A Orla libera um vídeo do YouTube ou um tweet do X. Para outro site, escolha “Outro site”."_s;
}

} // namespace kestravin::BrowserBridgePolicy
