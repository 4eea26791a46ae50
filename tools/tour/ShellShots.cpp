// Shots of the shell: the tray item in its states on a panel strip, and the
// dialogs of the move offer. The popover's content has shots of its own.
#include "Shot.h"

#include "app/shell/MoveOffer.h"
#include "app/shell/OrlaStatusIcon.h"
#include "app/shell/StatusTitleModel.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandTokens.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

// A panel strip with the item idle, blocking, and blocking with a countdown,
// drawn the way a panel shows the icon and the label.
class TrayStrip : public QWidget {
public:
    TrayStrip()
    {
        setFixedSize(360, 40);
        setAccessibleName(u"Kestravin"_s);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const BrandPalette& palette = BrandPalette::current();
        painter.fillRect(rect(), Appearance::shared().isDark() ? QColor(0x1C, 0x1B, 0x19) : QColor(0xEF, 0xEC, 0xE6));
        const QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        const QFontMetricsF metrics(font);
        StatusTitleModel title([&](const QString& text) { return metrics.horizontalAdvance(text); });
        struct Item {
            bool active;
            QString remaining;
        };
        qreal x = 16;
        for (const Item& item : { Item { false, {} }, Item { true, {} }, Item { true, u"24:59"_s } }) {
            title.update(item.remaining);
            const QImage icon = OrlaStatusIcon::image(item.active, devicePixelRatioF(), palette.ink);
            painter.drawImage(QPointF(x, 11), icon);
            if (!title.title().isEmpty()) {
                painter.setFont(font);
                painter.setPen(palette.ink);
                painter.drawText(QRectF(x + 18, 0, title.reservedWidth(), height()), Qt::AlignLeft | Qt::AlignVCenter,
                    title.title());
            }
            x += title.length().value_or(18) + 48;
        }
    }
};

const ShotRegistrar trayShot(u"shell-tray"_s, [] { return std::make_unique<TrayStrip>(); });
// The move offer of a copy started from a removable place, and its failure:
// system message boxes in the desktop's theme.
const ShotRegistrar moveOfferShot(
    u"shell-move-offer"_s, [] { return std::unique_ptr<QWidget>(moveOfferBox()); }, true);
const ShotRegistrar moveFailureShot(
    u"shell-move-failure"_s, [] { return std::unique_ptr<QWidget>(moveFailureBox()); }, true);

} // namespace
} // namespace kestravin::tour
