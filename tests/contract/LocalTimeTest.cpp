#include "contract/LocalTime.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

const QTimeZone berlin("Europe/Berlin");
const QTimeZone saoPaulo("America/Sao_Paulo");
constexpr qint64 huge = std::numeric_limits<qint64>::max();

std::optional<double> unix(const char* isoUtc)
{
    return static_cast<double>(QDateTime::fromString(QString::fromLatin1(isoUtc), Qt::ISODate).toSecsSinceEpoch());
}

} // namespace

// One table for every caller: each row is asked as `instant` (minutes of the
// day) and, where it is an hour and a minute, as `instantAt`.
TEST(LocalTime, WallTimesBecomeInstants)
{
    ASSERT_TRUE(berlin.isValid());
    ASSERT_TRUE(saoPaulo.isValid());
    struct Case {
        const char* name;
        QTimeZone zone;
        QDate date;
        qint64 minutes;
        LocalTime::Occurrence repeated;
        std::optional<double> expected;
    };
    using O = LocalTime::Occurrence;
    const QList<Case> cases {
        { "ordinary winter time", berlin, { 2024, 3, 4 }, 10 * 60, O::first, unix("2024-03-04T09:00:00Z") },
        { "Berlin skips 02:30 in spring", berlin, { 2024, 3, 31 }, 150, O::first, unix("2024-03-31T01:00:00Z") },
        { "Berlin's first 02:30 in autumn", berlin, { 2024, 10, 27 }, 150, O::first, unix("2024-10-27T00:30:00Z") },
        { "Berlin's last 02:30 in autumn", berlin, { 2024, 10, 27 }, 150, O::last, unix("2024-10-27T01:30:00Z") },
        { "24:00 is the next midnight", berlin, { 2024, 3, 4 }, 24 * 60, O::first, unix("2024-03-04T23:00:00Z") },
        { "minutes roll into the next day", berlin, { 2024, 3, 4 }, 1440 + 90, O::first, unix("2024-03-05T00:30:00Z") },
        { "negative minutes roll back", berlin, { 2024, 3, 4 }, -30, O::first, unix("2024-03-03T22:30:00Z") },
        // Sao Paulo's summer time began at midnight: that midnight never was.
        { "Sao Paulo skips midnight", saoPaulo, { 2018, 11, 4 }, 0, O::first, unix("2018-11-04T03:00:00Z") },
        { "24:00 onto a skipped midnight", saoPaulo, { 2018, 11, 3 }, 24 * 60, O::first, unix("2018-11-04T03:00:00Z") },
        { "Sao Paulo's first 23:30 when summer ends", saoPaulo, { 2019, 2, 16 }, 23 * 60 + 30, O::first,
            unix("2019-02-17T01:30:00Z") },
        { "Sao Paulo's last 23:30 when summer ends", saoPaulo, { 2019, 2, 16 }, 23 * 60 + 30, O::last,
            unix("2019-02-17T02:30:00Z") },
        { "Sao Paulo without summer time", saoPaulo, { 2024, 1, 10 }, 9 * 60, O::first, unix("2024-01-10T12:00:00Z") },
        { "overflowing minutes", berlin, { 2024, 3, 4 }, huge, O::first, std::nullopt },
        { "overflowing negative minutes", berlin, { 2024, 3, 4 }, -huge - 1, O::first, std::nullopt },
        { "invalid date", berlin, {}, 0, O::first, std::nullopt },
        { "invalid zone", QTimeZone(), { 2024, 3, 4 }, 0, O::first, std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QDateTime> result = LocalTime::instant(c.date, c.minutes, c.zone, c.repeated);
        ASSERT_EQ(result.has_value(), c.expected.has_value());
        if (result) {
            EXPECT_EQ(static_cast<double>(result->toSecsSinceEpoch()), *c.expected);
        }
        const bool isClockTime = c.minutes >= 0 && c.minutes <= 24 * 60 && c.repeated == O::first && c.zone.isValid();
        if (isClockTime && c.date.isValid()) {
            const std::optional<Instant> at = LocalTime::instantAt(c.date, c.minutes / 60, c.minutes % 60, c.zone);
            ASSERT_TRUE(at.has_value());
            EXPECT_EQ(at->unixSeconds(), *c.expected);
        }
    }
}

TEST(LocalTime, InstantAtTakesOnlyClockTimes)
{
    const QDate day(2024, 3, 4);
    for (const auto& [hour, minute] : QList<std::pair<qint64, qint64>> {
             { 24, 30 }, { 25, 0 }, { -1, 0 }, { 10, 60 }, { 10, -1 }, { huge, 0 }, { 0, huge }, { -huge - 1, 0 } }) {
        SCOPED_TRACE(std::to_string(hour) + ":" + std::to_string(minute));
        EXPECT_FALSE(LocalTime::instantAt(day, hour, minute, berlin));
    }
    // The daemon's zone may be unknown; it then counts in UTC rather than fail.
    EXPECT_EQ(LocalTime::instantAt(day, 10, 0, QTimeZone())->unixSeconds(), *unix("2024-03-04T10:00:00Z"));
}

TEST(LocalTime, WallClockReadsTheZone)
{
    // 2024-10-27 01:30 UTC is the second 02:30 in Berlin, a Sunday.
    const Instant instant = Instant::fromUnixSeconds(*unix("2024-10-27T01:30:59Z"));
    const LocalTime::WallClock wall = LocalTime::wallClock(instant, berlin);
    EXPECT_EQ(wall.date, QDate(2024, 10, 27));
    EXPECT_EQ(wall.weekday, 1);
    EXPECT_EQ(wall.minuteOfDay, 150);
    EXPECT_EQ(LocalTime::minuteOfDay(QDateTime::fromSecsSinceEpoch(*unix("2024-10-27T01:30:59Z")), berlin), 150);
    // Far outside any calendar the clock answers a fixed point instead of overflowing.
    EXPECT_EQ(LocalTime::wallClock(Instant::fromUnixSeconds(1e300), QTimeZone::utc()).date, QDate(1970, 1, 1));
}
