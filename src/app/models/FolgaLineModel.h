#pragma once

#include "AccountRecords.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <optional>

namespace kestravin {

// What the break line under a blocked screen says, from the account's break
// block alone: a running break and its end, a break to use now, or how to
// earn one. Nothing without a snapshot or without a break block.
struct FolgaLineModel {
    QString text;
    // Minutes the button would use; no button when absent.
    std::optional<qint64> usable;

    bool operator==(const FolgaLineModel&) const = default;

    // "Usar agora: 15 minutos de folga".
    QString buttonAccessibleName() const;

    // The end of a running break is read with the one internet date-time
    // parser, so a break counts as running here exactly when it does on
    // every other screen. The end is written in `locale`'s short time form in
    // `zone`.
    static std::optional<FolgaLineModel> make(const std::optional<DesktopAccountSnapshot>& snapshot,
        const QDateTime& now, const QLocale& locale, const QTimeZone& zone);
};

} // namespace kestravin
