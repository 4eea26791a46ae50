#pragma once

#include <QJsonObject>
#include <QUuid>

#include <optional>

namespace kestravin {

// One interval of a day in local hours and minutes, start inclusive and end
// exclusive. Nothing validates the fields: out-of-range values and an end
// that is not after the start are kept as they are, and such a range simply
// never holds. An end of 24:00 is the midnight that closes the day.
struct TimeRange {
    QUuid id;
    qint64 startHour = 0;
    qint64 startMinute = 0;
    qint64 endHour = 0;
    qint64 endMinute = 0;

    TimeRange() = default;
    // A range with a newly drawn identifier.
    TimeRange(qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute);
    TimeRange(QUuid id, qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute);

    // 09:00 to 19:00, with an identifier drawn once per process.
    static const TimeRange& defaultFullDay();

    // hour * 60 + minute; values that do not fit saturate at the 64-bit
    // limits instead of overflowing.
    qint64 startMinutes() const;
    qint64 endMinutes() const;
    // start <= minuteOfDay < end; a bound that does not fit in 64 bits
    // never holds.
    bool contains(qint64 minuteOfDay) const;

    // "id" is the canonical upper-case 36-character text.
    QJsonObject toJson() const;
    // Fails on a missing key, a wrong type, or an "id" that is not a UUID text.
    static std::optional<TimeRange> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const TimeRange&) const = default;
};

// The identifier as files carry it: 36 upper-case hexadecimal digits and hyphens.
QString uuidText(const QUuid& id);
// Reads that form in either letter case; none for anything else (braces included).
std::optional<QUuid> uuidFromText(QStringView text);

} // namespace kestravin
