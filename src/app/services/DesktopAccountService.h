#pragma once

#include "app/models/AccountRecords.h"

#include <QObject>

#include <optional>

namespace kestravin {

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

Q_SIGNALS:
    void snapshotChanged();

private:
    std::optional<DesktopAccountSnapshot> m_snapshot;
};

} // namespace kestravin
