#include "app/services/DesktopAccountService.h"

namespace kestravin {

DesktopAccountService& DesktopAccountService::shared()
{
    static auto* service = new DesktopAccountService();
    return *service;
}

void DesktopAccountService::setSnapshot(std::optional<DesktopAccountSnapshot> snapshot)
{
    if (m_snapshot != snapshot) {
        m_snapshot = std::move(snapshot);
        Q_EMIT snapshotChanged();
    }
}

bool DesktopAccountService::focusRuns(const std::optional<DesktopAccountSnapshot>& snapshot, double nowMs)
{
    return snapshot && snapshot->focus.enabled && nowMs < snapshot->focus.endsAt.value_or(0.0);
}

} // namespace kestravin
