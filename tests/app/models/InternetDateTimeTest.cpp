#include "app/models/InternetDateTime.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kestravin;

TEST(InternetDateTimeTest, ReadsTheInternetFormAndNothingElse)
{
    struct Case {
        const char16_t* text;
        std::optional<qint64> unixSeconds;
    };
    const Case cases[] = {
        { u"2026-03-09T14:30:00Z", 1773066600 },
        { u"2026-03-09T11:30:00-03:00", 1773066600 },
        { u"2026-03-09T16:00:00+01:30", 1773066600 },
        { u"2024-02-29T00:00:00Z", 1709164800 },
        { u"2026-03-09T14:30:00.000Z", std::nullopt }, // fractions are refused
        { u"2026-03-09T14:30:00.5Z", std::nullopt },
        { u"2026-03-09T14:30:00", std::nullopt }, // no zone
        { u"2026-03-09t14:30:00z", std::nullopt },
        { u"2026-03-09 14:30:00Z", std::nullopt },
        { u"2026-03-09T14:30Z", std::nullopt },
        { u"2026-03-09T14:30:00+0300", std::nullopt },
        { u"2026-02-30T10:00:00Z", std::nullopt },
        { u"2026-03-09T24:00:00Z", std::nullopt },
        { u"2026-03-09T14:30:60Z", std::nullopt },
        { u"2026-03-09T14:30:00+24:00", std::nullopt },
        { u"+2026-03-09T14:30:00Z", std::nullopt },
        { u"2026-03-09T14:30:00Z ", std::nullopt },
        { u"", std::nullopt },
    };
    for (const Case& c : cases) {
        const auto parsed = InternetDateTime::parse(QStringView(c.text));
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        ASSERT_EQ(parsed.has_value(), c.unixSeconds.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->toSecsSinceEpoch(), *c.unixSeconds);
        }
    }
}

TEST(InternetDateTimeTest, FormatsInUtcAndReadsBack)
{
    const QDateTime instant = QDateTime::fromSecsSinceEpoch(1773066600, QTimeZone::utc());
    EXPECT_EQ(InternetDateTime::format(instant), QStringLiteral("2026-03-09T14:30:00Z"));
    EXPECT_EQ(InternetDateTime::parse(InternetDateTime::format(instant)), instant);
}
