#include "app/models/FocusDuration.h"
#include "app/models/FocusCountdown.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

TEST(FocusDurationTest, Parse)
{
    struct Case {
        QString text;
        std::optional<qint64> minutes;
    };
    const Case cases[] = {
        // Minutes, bare and with a unit.
        { u"45"_s, 45 },
        { u"45m"_s, 45 },
        { u"45 min"_s, 45 },
        { u"45 minutos"_s, 45 },
        { u"45 MINUTOS"_s, 45 },
        { u"1 mínuto"_s, 1 },
        { u"45mins"_s, 45 },
        { u"+30"_s, 30 },
        { u"0"_s, std::nullopt },
        { u"0m"_s, std::nullopt },
        { u"-5"_s, std::nullopt },
        { u"m"_s, std::nullopt },
        // Hours.
        { u"2h"_s, 120 },
        { u"2 horas"_s, 120 },
        { u"1 hora"_s, 60 },
        { u"2hrs"_s, 120 },
        { u"2 hr"_s, 120 },
        { u"25h"_s, 1500 },
        { u"1.5h"_s, 90 },
        { u"1,5 horas"_s, 90 },
        { u".5h"_s, 30 },
        // Rounding of decimal hours: to the nearest minute, halves up.
        { u"0.01h"_s, 1 },
        { u"0.005h"_s, std::nullopt },
        { u"0.025h"_s, 2 },
        { u"-1.5h"_s, std::nullopt },
        // Hours and minutes.
        { u"1h30"_s, 90 },
        { u"1h30m"_s, 90 },
        { u"1h 30min"_s, 90 },
        { u"1:30"_s, 90 },
        { u"0:45"_s, 45 },
        { u"0h30"_s, 30 },
        { u"1:59"_s, 119 },
        { u"0:00"_s, std::nullopt },
        { u"1:60"_s, std::nullopt },
        { u"1h-5"_s, std::nullopt },
        { u"1.5h30"_s, std::nullopt },
        // Not durations.
        { u"1.5"_s, std::nullopt },
        { u"1.5m"_s, std::nullopt },
        { u"h"_s, std::nullopt },
        { u":30"_s, std::nullopt },
        { u"1h30h"_s, std::nullopt },
        { u"1 hora e 30 minutos"_s, std::nullopt },
        { u""_s, std::nullopt },
        { u"  "_s, std::nullopt },
        { u"45\t"_s, std::nullopt },
        { u"abc"_s, std::nullopt },
        { u"1e1h"_s, std::nullopt },
        { u"0x10h"_s, std::nullopt },
        { u"infh"_s, std::nullopt },
        { u"nanh"_s, std::nullopt },
        { u"٤٥"_s, std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FocusDuration::parse(c.text), c.minutes) << c.text.toStdString();
}

TEST(FocusDurationTest, RejectsDurationsWhoseSecondsOverflow)
{
    const qint64 largest = FocusDuration::maximumMinutes;
    const QString largestText = QString::number(largest);
    const QString beyond = QString::number(largest + 1);
    struct Case {
        QString text;
        std::optional<qint64> minutes;
    };
    const Case cases[] = {
        { largestText, largest },
        { largestText + u"m"_s, largest },
        { beyond, std::nullopt },
        { u"9223372036854775807"_s, std::nullopt },
        { u"9223372036854775808"_s, std::nullopt },
        { u"-9223372036854775808"_s, std::nullopt },
        { u"153722867280912930h"_s, std::nullopt },
        { u"153722867280912930:0"_s, std::nullopt },
        { u"2562047788015215h"_s, 2562047788015215 * 60 },
        { u"2562047788015216h"_s, std::nullopt },
        { u"1e300h"_s, std::nullopt },
        { QString(400, u'9') + u"h"_s, std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FocusDuration::parse(c.text), c.minutes) << c.text.left(40).toStdString();
    // Whatever is accepted converts to seconds without overflow.
    EXPECT_LE(largest, std::numeric_limits<qint64>::max() / 60);
}

TEST(FocusCountdownTest, LabelAndTemplate)
{
    struct Case {
        qint64 seconds;
        QString label;
        QString layout;
    };
    const Case cases[] = {
        { -5, u"0:00"_s, u"0:00"_s },
        { 0, u"0:00"_s, u"0:00"_s },
        { 59, u"0:59"_s, u"0:00"_s },
        { 60, u"1:00"_s, u"0:00"_s },
        { 125, u"2:05"_s, u"0:00"_s },
        { 3599, u"59:59"_s, u"00:00"_s },
        { 3600, u"1h00min"_s, u"0h00min"_s },
        { 3725, u"1h02min"_s, u"0h00min"_s },
        { 36000, u"10h00min"_s, u"00h00min"_s },
        { std::numeric_limits<qint64>::min(), u"0:00"_s, u"0:00"_s },
        { std::numeric_limits<qint64>::max(), u"2562047788015215h30min"_s, u"0000000000000000h00min"_s },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FocusCountdown::label(c.seconds), c.label) << c.seconds;
        EXPECT_EQ(FocusCountdown::labelTemplate(c.label), c.layout) << c.seconds;
    }
    // Any numeral, not only ASCII digits, and one "0" per character.
    EXPECT_EQ(FocusCountdown::labelTemplate(u"٣:٠٥ ½ \U0001D7D9x"_s), u"0:00 0 0x"_s);
}
