#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace kestravin {

// One interval of a day, in local hours and minutes. Nothing validates the
// fields: out-of-range values are stored and sent unchanged.
struct HelperTimeRange {
    qint64 startHour = 0;
    qint64 startMinute = 0;
    qint64 endHour = 0;
    qint64 endMinute = 0;

    HelperTimeRange() = default;
    HelperTimeRange(qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute);

    // hour * 60 + minute. Values that do not fit saturate at the 64-bit
    // limits instead of overflowing, so such a range never holds.
    qint64 startMinutes() const;
    qint64 endMinutes() const;

    QJsonObject toJson() const;
    static std::optional<HelperTimeRange> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const HelperTimeRange&) const = default;
};

} // namespace kestravin
