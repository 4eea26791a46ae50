#pragma once

#include <QHash>
#include <QString>

class QBoxLayout;
class QLabel;
class QWidget;

namespace kestravin {

class LockNotice;
class PickerSearchField;
class RollingText;

// Pieces both pickers build the same way.
namespace PickerPage {
// The title block: a large rounded title over a muted line.
void addHeader(QBoxLayout* layout, const QString& title, const QString& subtitle);
QLabel* mutedLabel(const QString& text, int pixelSize, QWidget* parent = nullptr);
// The counter: a rolling number followed by " para depois", read as one.
QWidget* counter(RollingText** number, int initial, QWidget* parent = nullptr);
void setCount(QWidget* counter, RollingText* number, int count, double direction);

// The common frame of a picker page, top to bottom: the lock notice, the title
// block (left out when embedded), the search row with its counter, and a
// scroll area whose column the page fills.
struct Frame {
    QBoxLayout* page = nullptr;
    LockNotice* notice = nullptr;
    PickerSearchField* search = nullptr;
    RollingText* count = nullptr;
    QBoxLayout* column = nullptr;
};
struct FrameTexts {
    QString title;
    QString subtitle;
    QString placeholder;
};
Frame build(QWidget* page, bool embedded, const FrameTexts& texts, int initialCount);

// Tiles keep their identity (and a running hop) across rebuilds: the tile of
// `item.id` from the last build (`previous`) or this one (`kept`) is updated,
// else `make` creates it. The tile moves to `kept`.
template <class Tile, class Item, class Make>
Tile* reuseTile(QHash<QString, Tile*>& previous, QHash<QString, Tile*>& kept, const Item& item, int hopTick, Make make)
{
    Tile* tile = previous.take(item.id);
    if (!tile) {
        tile = kept.take(item.id);
    }
    if (tile) {
        tile->setItem(item);
    } else {
        tile = make();
    }
    tile->setHopTick(hopTick);
    kept.insert(item.id, tile);
    return tile;
}

// Removes the tiles no longer listed; later, since one of them may be the
// sender of the click that led here.
template <class Tile> void retireTiles(const QHash<QString, Tile*>& gone)
{
    for (Tile* tile : gone) {
        tile->hide();
        tile->deleteLater();
    }
}
} // namespace PickerPage

} // namespace kestravin
