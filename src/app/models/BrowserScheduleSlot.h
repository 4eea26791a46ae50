#pragma once

#include <QList>
#include <QString>

namespace kestravin {

// One weekly time slot of the account's settings: the same hours on a set of
// days. Its JSON belongs to the browser exchange, not to this value.
struct BrowserScheduleSlot {
    // Day indexes, 0 = Sunday to 6 = Saturday.
    QList<int> days;
    // "HH:mm".
    QString start;
    QString end;

    bool operator==(const BrowserScheduleSlot&) const = default;
};

} // namespace kestravin
