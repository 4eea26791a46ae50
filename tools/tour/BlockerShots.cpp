// The app blocker's covering panel over a blocked app, with the focus's end
// and the offer of a break.
#include "Shot.h"

#include "app/views/blocker/AppBlockView.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

const ShotRegistrar appPanel(u"blocker-app-panel"_s, [] {
    const QDateTime endsAt(QDate(2026, 3, 3), QTime(11, 30), QTimeZone::systemTimeZone());
    QPixmap icon(64, 64);
    icon.fill(Qt::transparent);
    {
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x58, 0x65, 0xF2));
        painter.drawRoundedRect(QRectF(4, 4, 56, 56), 14, 14);
    }
    auto view = std::make_unique<AppBlockView>(
        u"Discord"_s, QIcon(icon), endsAt, [] {}, [] {});
    view->resize(view->sizeHint());
    return view;
});

} // namespace
} // namespace kestravin::tour
