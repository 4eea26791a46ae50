#include "app/models/BrowserBridgePolicy.h"
#include "app/models/Digest.h"

#include <gtest/gtest.h>

#include <QJsonArray>

using namespace Qt::StringLiterals;
using namespace kestravin;
namespace Policy = kestravin::BrowserBridgePolicy;

namespace {

// 2026-03-02 is a Monday.
const QDateTime monday10 = QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC);

Configuration mondayConfiguration(QStringList sites, QList<TimeRange> ranges, bool enabled = true)
{
    QMap<DayOfWeek, DaySchedule> days;
    days.insert(DayOfWeek::monday, DaySchedule(true, std::move(ranges)));
    return Configuration(std::move(sites), Schedule(days), enabled);
}

BrowserBridgeSession session(qint64 generation = 1)
{
    BrowserBridgeSession value;
    value.generation = generation;
    return value;
}

Policy::AccountView account()
{
    Policy::AccountView view;
    view.userId = u"u1"_s;
    view.revision = 7;
    view.settings.onboarded = true;
    view.settings.platforms = { u"x"_s };
    view.focusEnabled = true;
    view.focusId = u"f1"_s;
    return view;
}

} // namespace

TEST(BrowserSnapshotTest, AccountRevisionHashesTheAccountStateOnly)
{
    const double now = 1700000000000;
    Policy::AccountView view = account();
    view.focusEndsAt = now + 600000;
    const BrowserSnapshot active = Policy::accountSnapshot(view, true, now);
    EXPECT_EQ(active.revision, u"c05ac367e632adc658ce5fc3e9ecc32b84d154f606331ded4c22acfd5a6a7794"_s);
    EXPECT_TRUE(active.focus.enabled);
    EXPECT_EQ(active.focus.source, u"desktop"_s);
    EXPECT_EQ(active.focus.platforms, QStringList { u"x"_s });
    EXPECT_EQ(active.pausedUntil, 0.0);

    view.focusId.reset();
    view.focusEnabled = false;
    view.pausedUntil = 1700000000000.5;
    EXPECT_EQ(Policy::accountSnapshot(view, false, now).revision,
        u"aa8c815bcd4b4c7ab83f040c0b377d22a5bbcbec9d2bc6cd95a0d6ea52bcbe7e"_s);

    // Enabled without an end is not running; its grants go.
    view = account();
    view.appliedGrants = { { u"a.com"_s, now + 1000, u"f1"_s, {} } };
    const BrowserSnapshot inactive = Policy::accountSnapshot(view, true, now);
    EXPECT_FALSE(inactive.focus.enabled);
    EXPECT_EQ(inactive.focus.endsAt, 0);
    EXPECT_TRUE(inactive.grants.isEmpty());
}

TEST(BrowserSnapshotTest, AccountGrantsOfTheRunningFocusOnly)
{
    const double now = 1700000000000;
    Policy::AccountView view = account();
    view.focusEndsAt = now + 600000;
    const AccountGrant kept { u"kept.com"_s, now + 1, u"f1"_s, now - 5 };
    view.appliedGrants = { { u"nofocus.com"_s, now + 1000, std::nullopt, {} }, kept,
        { u"other.com"_s, now + 1000, u"f2"_s, {} }, { u"expired.com"_s, now, u"f1"_s, {} } };
    EXPECT_EQ(Policy::accountSnapshot(view, true, now).grants, QList<AccountGrant> { kept });
}

TEST(BrowserSnapshotTest, RoundTripTextOfThePause)
{
    const QList<std::pair<double, QString>> cases = { { 0, u"0.0"_s }, { 1700000000000.5, u"1700000000000.5"_s },
        { 1700000000000, u"1700000000000.0"_s }, { 0.1, u"0.1"_s }, { -2, u"-2.0"_s } };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(Policy::roundTripText(value), text);
    }
}

TEST(BrowserSnapshotTest, LocalSettingsFromTheConfiguration)
{
    const Configuration configuration = mondayConfiguration(
        { u" example.com"_s, u"Example.COM"_s, u"EXAMPLE.com"_s, u"localhost"_s, u"http://a.com"_s, u"a_b.com"_s,
            u"b.com"_s, u"www.youtube.com"_s, u"notyoutube.com"_s },
        { TimeRange(22, 0, 24, 0), TimeRange(9, 0, 9, 0) });
    const BrowserSnapshot snapshot = Policy::snapshot(configuration, session(), true, monday10, QTimeZone::utc());
    const QJsonObject settings = snapshot.settings.toJson();
    EXPECT_EQ(settings.value(u"sites"_s).toArray(),
        QJsonArray({ u"b.com"_s, u"example.com"_s, u"notyoutube.com"_s, u"www.youtube.com"_s }));
    EXPECT_EQ(settings.value(u"platforms"_s).toArray(), QJsonArray({ u"youtube"_s }));
    EXPECT_EQ(BrowserExchange::compact(settings.value(u"schedule"_s).toArray().at(0).toObject()),
        R"({"days":[1],"end":"24:00","start":"22:00"})");
    EXPECT_EQ(settings.value(u"schedule"_s).toArray().size(), 1);
    EXPECT_TRUE(snapshot.settings.enabled);
    EXPECT_TRUE(snapshot.settings.onboarded);
    EXPECT_FALSE(settings.contains(u"apps"_s));
    EXPECT_EQ(snapshot.settings.timezone, u"UTC"_s);
    EXPECT_TRUE(snapshot.grants.isEmpty());
    EXPECT_FALSE(snapshot.request.has_value());
    EXPECT_FALSE(snapshot.systemReady);

    // Stored case does not hide a platform; a bare name without the dot
    // boundary adds none.
    EXPECT_EQ(Policy::snapshot(mondayConfiguration({ u"YouTube.com"_s, u"m.x.com"_s }, {}), session(), true, monday10,
                  QTimeZone::utc())
                  .settings.platforms,
        QStringList({ u"youtube"_s, u"x"_s }));
    EXPECT_TRUE(
        Policy::snapshot(mondayConfiguration({ u"notyoutube.com"_s }, {}), session(), true, monday10, QTimeZone::utc())
            .settings.platforms.isEmpty());

    // No valid range: the hours are not in force.
    EXPECT_FALSE(Policy::snapshot(
        mondayConfiguration({}, { TimeRange(9, 0, 9, 0) }), session(), true, monday10, QTimeZone::utc())
                     .settings.enabled);

    QStringList many;
    for (int i = 599; i >= 0; --i) {
        many.append(u"s%1.com"_s.arg(i, 3, 10, QChar(u'0')));
    }
    const QStringList kept
        = *Policy::snapshot(mondayConfiguration(many, {}), session(), true, monday10, QTimeZone::utc()).settings.sites;
    EXPECT_EQ(kept.size(), 500);
    EXPECT_EQ(kept.front(), u"s000.com"_s);
    EXPECT_EQ(kept.back(), u"s499.com"_s);
}

TEST(BrowserSnapshotTest, FocusRulesInOrder)
{
    const Configuration configuration = mondayConfiguration({ u"x.com"_s }, { TimeRange(9, 30, 11, 0) });
    const QTimeZone utc = QTimeZone::utc();
    BrowserBridgeSession value = session();

    const BrowserSnapshot scheduled = Policy::snapshot(configuration, value, true, monday10, utc);
    const QDateTime end(QDate(2026, 3, 2), QTime(11, 0), Qt::UTC);
    EXPECT_TRUE(scheduled.focus.enabled);
    EXPECT_EQ(scheduled.focus.endsAt, double(end.toMSecsSinceEpoch()));
    const QString hash = hexDigest(BrowserExchange::compact(scheduled.settings.toJson()));
    EXPECT_EQ(scheduled.focus.id, u"mac-"_s + hash.first(24) + u'-' + QString::number(end.toSecsSinceEpoch()));
    EXPECT_EQ(scheduled.focus.platforms, QStringList { u"x"_s });
    EXPECT_EQ(Policy::snapshot(configuration, value, true, monday10, utc).revision, scheduled.revision);

    // On at the start minute, off at the end minute.
    EXPECT_TRUE(Policy::snapshot(configuration, value, true, monday10.addSecs(-30 * 60), utc).focus.enabled);
    EXPECT_FALSE(Policy::snapshot(configuration, value, true, monday10.addSecs(-30 * 60 - 1), utc).focus.enabled);
    EXPECT_FALSE(Policy::snapshot(configuration, value, true, end, utc).focus.enabled);

    // A running manual focus beats the hours; a manual focus ending now is over.
    value.manual = BrowserManualFocus { u"M"_s, Instant::fromUnixSeconds(monday10.toSecsSinceEpoch() + 60) };
    const BrowserSnapshot manual = Policy::snapshot(configuration, value, true, monday10, utc);
    EXPECT_EQ(manual.focus.id, u"M"_s);
    EXPECT_EQ(manual.focus.endsAt, double(monday10.toMSecsSinceEpoch() + 60000));
    EXPECT_EQ(Policy::snapshot(configuration, value, true, monday10.addSecs(60), utc).focus.id, scheduled.focus.id);

    // A pause beats the manual focus and changes the revision.
    value.pausedUntil = Instant::fromUnixSeconds(monday10.toSecsSinceEpoch() + 1);
    const BrowserSnapshot paused = Policy::snapshot(configuration, value, true, monday10, utc);
    EXPECT_FALSE(paused.focus.enabled);
    EXPECT_EQ(paused.focus.id, u"none"_s);
    EXPECT_EQ(paused.focus.endsAt, 0);
    EXPECT_NE(paused.revision, manual.revision);
    EXPECT_EQ(paused.pausedUntil, double(monday10.toMSecsSinceEpoch() + 1000));

    // Switched off: none, and another revision; so is a new generation.
    const BrowserSnapshot off = Policy::snapshot(configuration, session(), false, monday10, utc);
    EXPECT_FALSE(off.focus.enabled);
    EXPECT_NE(off.revision, scheduled.revision);
    EXPECT_NE(Policy::snapshot(configuration, session(2), true, monday10, utc).revision, scheduled.revision);
    // Automatic hours off: no scheduled focus.
    EXPECT_FALSE(
        Policy::snapshot(mondayConfiguration({}, { TimeRange(9, 30, 11, 0) }, false), session(), true, monday10, utc)
            .focus.enabled);
}

TEST(BrowserSnapshotTest, RangeEndsAcrossMidnightAndDaylightSaving)
{
    // A range closing the day runs until the next day's midnight.
    const Configuration lateEvening = mondayConfiguration({}, { TimeRange(22, 0, 24, 0) });
    const BrowserSnapshot late = Policy::snapshot(
        lateEvening, session(), true, QDateTime(QDate(2026, 3, 2), QTime(23, 30), Qt::UTC), QTimeZone::utc());
    EXPECT_TRUE(late.focus.enabled);
    EXPECT_EQ(late.focus.endsAt, double(QDateTime(QDate(2026, 3, 3), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()));

    // Berlin skips 02:00-03:00 on Sunday 2026-03-29: an end at 02:30 becomes 03:00 CEST.
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    QMap<DayOfWeek, DaySchedule> days;
    days.insert(DayOfWeek::sunday, DaySchedule(true, { TimeRange(1, 0, 2, 30) }));
    const BrowserSnapshot gap = Policy::snapshot(Configuration({}, Schedule(days), true), session(), true,
        QDateTime(QDate(2026, 3, 29), QTime(0, 30), Qt::UTC), berlin);
    EXPECT_TRUE(gap.focus.enabled);
    EXPECT_EQ(gap.focus.endsAt, double(QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC).toMSecsSinceEpoch()));
    EXPECT_EQ(gap.settings.timezone, u"Europe/Berlin"_s);
}

TEST(BrowserLinkRulesTest, Normalized)
{
    const QList<std::pair<QString, QString>> cases = {
        { u" youtu.be/dQw4w9WgXcQ?si=abc \n"_s, u"https://youtu.be/dQw4w9WgXcQ?si=abc"_s },
        { u"HTTP://www.youtube.com/Watch"_s, u"https://www.youtube.com/Watch"_s },
        { u"HttPs://x.com"_s, u"https://x.com"_s },
        { u"ftp://a.b"_s, u"ftp://a.b"_s },
        { u"  \n"_s, u""_s },
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Policy::normalized(text), expected) << text.toStdString();
    }
}

TEST(BrowserLinkRulesTest, Targets)
{
    const Policy::Target video { u"https://www.youtube.com/watch?v=dQw4w9WgXcQ"_s, u"youtube"_s };
    const QList<std::pair<QString, std::optional<Policy::Target>>> cases = {
        { u"https://youtu.be/dQw4w9WgXcQ?si=abc"_s, video },
        { Policy::normalized(u"HTTP://www.youtube.com/watch?v=dQw4w9WgXcQ&t=42&list=PL1"_s), video },
        { u"https://M.YouTube.com/watch?v=dQw4w9WgXcQ#t"_s, video },
        { u"https://www.youtube.com/watch?v=a&v=b"_s, std::nullopt },
        { u"https://www.youtube.com/watch?v"_s, std::nullopt },
        { u"https://www.youtube.com:443/watch?v=dQw4w9WgXcQ"_s, std::nullopt },
        { u"https://u@www.youtube.com/watch?v=dQw4w9WgXcQ"_s, std::nullopt },
        { u"HTTPS://www.youtube.com/watch?v=dQw4w9WgXcQ"_s, std::nullopt },
        { u"https://youtu.be/dQw4w9WgXcQ/more"_s, std::nullopt },
        { u"https://www.youtube.com/shorts/abcdefghijk"_s, std::nullopt },
        { u"https://www.youtube.com/watch?v=dQw4w9WgXc"_s, std::nullopt },
        { u"https://x.com/jack/status/20/?s=1#f"_s, Policy::Target { u"https://x.com/jack/status/20"_s, u"x"_s } },
        { u"https://mobile.twitter.com/a_b/status/1234567890123456789012"_s,
            Policy::Target { u"https://x.com/a_b/status/1234567890123456789012"_s, u"x"_s } },
        { u"https://x.com/abcdefghijklmnop/status/20"_s, std::nullopt },
        { u"https://x.com/jack/status/12345678901234567890123"_s, std::nullopt },
        { u"https://x.com/i/oauth2/authorize?client_id=abc&scope=a#frag"_s,
            Policy::Target { u"https://x.com/i/oauth2/authorize?client_id=abc&scope=a"_s, u"x"_s } },
        { u"https://x.com/i/oauth2/authorize?client_id=&client_id=abc"_s, std::nullopt },
        { u"https://x.com/i/oauth2/authorize?scope=a"_s, std::nullopt },
        { u"ftp://a.b"_s, std::nullopt },
        { u"https://example.com/watch?v=dQw4w9WgXcQ"_s, std::nullopt },
    };
    for (const auto& [url, expected] : cases) {
        EXPECT_EQ(Policy::target(url), expected) << url.toStdString();
    }
    const QString longAuthorization = u"https://x.com/i/oauth2/authorize?client_id=a&state="_s + QString(1950, u'a');
    EXPECT_EQ(longAuthorization.size(), 2001);
    EXPECT_FALSE(Policy::isXAuthorization(longAuthorization));
    EXPECT_TRUE(Policy::isXAuthorization(longAuthorization.chopped(1)));
}

TEST(BrowserLinkRulesTest, Problems)
{
    const QString signIn = u"Esse é um link de entrar ou autorizar no X, não um tweet. A Orla libera um tweet de cada "
                           u"vez, nunca a conta."_s;
    const QList<std::pair<QString, std::optional<QString>>> cases = {
        { u"  \n"_s, std::nullopt },
        { u"youtu.be/dQw4w9WgXcQ"_s, std::nullopt },
        { u"https://www.youtube.com/shorts/abcdefghijk"_s,
            u"Shorts ficam bloqueados. A Orla libera um vídeo de cada vez (…/watch?v=…)."_s },
        { u"music.youtube.com/channel/x"_s,
            u"Esse link não é de um vídeo. Abra o vídeo e copie o endereço dele (…/watch?v=…)."_s },
        { u"x.com/i/oauth2/authorize?client_id="_s, signIn },
        { u"twitter.com/login"_s, signIn },
        { u"pro.x.com/home"_s, u"Esse link não é de um tweet. Abra o tweet e copie o endereço dele (…/status/…)."_s },
        { u"example.com"_s,
            u"A Orla libera um vídeo do YouTube ou um tweet do X. Para outro site, escolha “Outro site”."_s },
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Policy::problem(text), expected) << text.toStdString();
    }
}

TEST(BrowserLinkRulesTest, CharactersAreGraphemes)
{
    EXPECT_EQ(Policy::characterCount(u"olá👍🏽e\u0301"_s), 5);
    EXPECT_EQ(Policy::characterCount(QString()), 0);
}
