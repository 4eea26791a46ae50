#include "MenuAccountPort.h"

#include <QDebug>

using namespace Qt::StringLiterals;

namespace kestravin {

DesktopAccountMenuPort::DesktopAccountMenuPort(DesktopAccountService& service, QObject* parent)
    : MenuAccountPort(parent), m_service(service)
{
    connect(&m_service, &DesktopAccountService::snapshotChanged, this, &MenuAccountPort::changed);
}

void DesktopAccountMenuPort::startFocusFromMenu(int minutes)
{
    qWarning().noquote() << u"MenuBar: no account session for a focus of %1 minutes"_s.arg(minutes);
}

void DesktopAccountMenuPort::useFolga(UseFolgaDone done)
{
    done(u"Conecte sua conta para usar folgas."_s);
}

} // namespace kestravin
