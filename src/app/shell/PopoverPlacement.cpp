#include "app/shell/PopoverPlacement.h"

#include <algorithm>

namespace kestravin {

QRect popoverGeometry(QPoint anchor, QSize size, const QRect& available, int gap)
{
    const bool below = anchor.y() < available.center().y();
    int x = anchor.x() - size.width() / 2;
    int y = below ? anchor.y() + gap : anchor.y() - gap - size.height();
    // Right and bottom first, then left and top, so that the top-left corner
    // stays visible when the popover does not fit.
    x = std::max(std::min(x, available.right() + 1 - size.width()), available.left());
    y = std::max(std::min(y, available.bottom() + 1 - size.height()), available.top());
    return QRect(QPoint(x, y), size);
}

} // namespace kestravin
