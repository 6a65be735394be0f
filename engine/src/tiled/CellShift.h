#pragma once

// A tile layer's offset, its groups' included, as whole cells: what the
// grids of cells (solid cells, the engine's tile maps) move a layer by,
// where DrawMap moves it by pixels.

#include <algorithm>
#include <cmath>

#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled::Detail {

struct CellShift {
    int columns = 0, rows = 0; // right and down, to the nearest whole cell
    bool whole = true;         // whether the offset is whole cells
};

inline CellShift CellShiftOf(const Map& map, const TileLayer& layer) {
    // Past the map's and the layer's size no cell is left on the map, so a
    // larger offset moves no further.
    auto cells = [](double offset, int cell, int reach) {
        const double n = cell > 0 && std::isfinite(offset) ? offset / cell : 0.0;
        return std::clamp(n, -double(reach), double(reach));
    };
    const double x = cells(layer.look.offsetX, map.tileWidth, map.width + layer.width);
    const double y = cells(layer.look.offsetY, map.tileHeight, map.height + layer.height);
    const CellShift shift{int(std::lround(x)), int(std::lround(y))};
    return {shift.columns, shift.rows, shift.columns == x && shift.rows == y};
}

} // namespace Engine::Tiled::Detail
