#include "InternetDateTime.h"

#include <QTimeZone>

namespace kestravin::InternetDateTime {

namespace {

// The value of `count` ASCII digits at `position`, or -1.
int digits(QStringView text, qsizetype position, int count)
{
    if (position + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[position + i];
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

bool hasAt(QStringView text, qsizetype position, char16_t c)
{
    return position < text.size() && text[position] == c;
}

} // namespace

std::optional<QDateTime> parse(QStringView text)
{
    // yyyy-MM-ddTHH:mm:ss is 19 characters; the zone follows.
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 || !hasAt(text, 4, u'-')
        || !hasAt(text, 7, u'-') || !hasAt(text, 10, u'T') || !hasAt(text, 13, u':') || !hasAt(text, 16, u':')) {
        return std::nullopt;
    }
    int offsetSeconds = 0;
    if (text.size() == 20 && text[19] == u'Z') {
        offsetSeconds = 0;
    } else if (text.size() == 25 && (text[19] == u'+' || text[19] == u'-') && hasAt(text, 22, u':')) {
        const int offsetHours = digits(text, 20, 2);
        const int offsetMinutes = digits(text, 23, 2);
        if (offsetHours < 0 || offsetMinutes < 0 || offsetHours > 23 || offsetMinutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60 * (text[19] == u'-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    const QDateTime local(date, time, QTimeZone(offsetSeconds));
    return local.toUTC();
}

QString format(const QDateTime& instant)
{
    return instant.toUTC().toString(Qt::ISODate);
}

} // namespace kestravin::InternetDateTime
