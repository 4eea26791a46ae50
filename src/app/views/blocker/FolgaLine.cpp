#include "app/views/blocker/FolgaLine.h"

#include "app/services/DesktopAccountService.h"

namespace kestravin {

FolgaLine::FolgaLine(std::function<void()> onFolga, QWidget* parent)
    : FolgaLine(std::move(onFolga), DesktopAccountService::shared(), parent)
{
}

FolgaLine::FolgaLine(std::function<void()> onFolga, DesktopAccountService& account, QWidget* parent)
    : QWidget(parent), m_onFolga(std::move(onFolga)), m_account(account)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&m_account, &DesktopAccountService::snapshotChanged, this, &FolgaLine::refresh);
    refresh();
}

bool FolgaLine::hasLine() const
{
    // The snapshot holds no break block yet: there is no break to offer or
    // to show, with or without an account.
    return false;
}

QSize FolgaLine::sizeHint() const
{
    return QSize(0, 0);
}

void FolgaLine::refresh()
{
    // A hidden widget takes no room in the card's layout.
    setVisible(hasLine());
}

} // namespace kestravin
