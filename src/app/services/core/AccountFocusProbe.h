#pragma once

#include <QDateTime>

namespace kestravin {

// What the blocking side asks of the account: whether the account's focus
// runs at an instant (the removal lock holds while it does). The account
// service answers it, so the blocking side never depends on the account.
class AccountFocusProbe {
public:
    virtual ~AccountFocusProbe() = default;
    virtual bool accountFocusRuns(const QDateTime& now) const = 0;
};

} // namespace kestravin
