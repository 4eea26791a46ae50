#pragma once

#include <QString>

#include <functional>

namespace kestravin {

// A hop or flight request for one tile. `tick` grows with every signal, so a
// repeated signal to the same tile is still a change.
struct TileSignal {
    QString id;
    int tick = 0;

    // The tick handed to the tile `tileId`: 0 for every other tile.
    int tickFor(const QString& tileId) const { return id == tileId ? tick : 0; }
    TileSignal next(const QString& tileId) const { return { tileId, tick + 1 }; }

    bool operator==(const TileSignal&) const = default;
};

// Work queued for the next turn of the event loop.
using NextTurn = std::function<void(std::function<void()>)>;

} // namespace kestravin
