#pragma once

#include "app/models/AccountFolga.h"

#include <QObject>

#include <optional>

namespace kestravin {

// The account's focus state as the account API reports it.
struct AccountFocus {
    bool enabled = false;
    // Milliseconds since 1970; a missing value counts as 0.
    std::optional<double> endsAt;
    bool operator==(const AccountFocus&) const = default;
};

// The account state of the last applied download. Only the parts that the
// blocking services read are here so far.
struct DesktopAccountSnapshot {
    AccountFocus focus;
    std::optional<AccountFolga> folga;
    bool operator==(const DesktopAccountSnapshot&) const = default;
};

// The account service. Until sign-in and sync exist it only holds the
// snapshot, which stays empty while signed out.
class DesktopAccountService : public QObject {
    Q_OBJECT
public:
    static DesktopAccountService& shared();

    const std::optional<DesktopAccountSnapshot>& snapshot() const { return m_snapshot; }
    void setSnapshot(std::optional<DesktopAccountSnapshot> snapshot);

    // Whether the account's focus runs at `nowMs` (milliseconds since 1970).
    static bool focusRuns(const std::optional<DesktopAccountSnapshot>& snapshot, double nowMs);

    // A screen changed the configuration on this computer (once per user
    // action); the account uploads the settings.
    void localEditChanged() { Q_EMIT localEdit(); }

Q_SIGNALS:
    void snapshotChanged();
    void localEdit();

private:
    std::optional<DesktopAccountSnapshot> m_snapshot;
};

} // namespace kestravin
