#include "MenuAccountPort.h"

namespace kestravin {

DesktopAccountMenuPort::DesktopAccountMenuPort(DesktopAccountService& service, QObject* parent)
    : MenuAccountPort(parent), m_service(service)
{
    connect(&m_service, &DesktopAccountService::snapshotChanged, this, &MenuAccountPort::changed);
    connect(&m_service, &DesktopAccountService::stateChanged, this, &MenuAccountPort::changed);
}

void DesktopAccountMenuPort::useFolga(UseFolgaDone done)
{
    m_service.useFolga([done = std::move(done)](std::optional<AccountFailure> failure) {
        done(failure ? std::optional<QString>(failure->text) : std::nullopt);
    });
}

} // namespace kestravin
