#pragma once

#include "AccountFolga.h"
#include "FolgaMenuState.h"

#include <QDateTime>
#include <QTimeZone>

namespace kestravin::FolgaCopy {

struct Confirmation {
    QString title;
    QString message;
    bool operator==(const Confirmation&) const = default;
};

// The question asked before a break is spent.
Confirmation confirmation(const AccountFolga& folga, const QDateTime& now, const QTimeZone& timeZone);
// The line under the break offer.
QString detail(const FolgaMenuState& state, const AccountFolga& folga, const QDateTime& now, const QTimeZone& timeZone);

} // namespace kestravin::FolgaCopy
