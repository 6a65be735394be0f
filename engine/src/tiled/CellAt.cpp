// From a point back to the cell whose shape holds it: CellBox's layout undone.
#include <engine/tiled/TiledMap.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "tiled/Reader.h"

namespace Engine::Tiled {

namespace {

// floor(v) within what an int counts, kept as int64_t so that a step past it
// cannot overflow; not a number (a cell of zero size) is far below.
int64_t Floor(double v) {
    const double f = std::floor(v);
    if (!(f > double(INT_MIN)))
        return INT_MIN;
    return f < double(INT_MAX) ? int64_t(f) : INT_MAX;
}

int ToInt(int64_t v) {
    return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

MapCell Map::CellAt(double x, double y) const {
    if (orientation == "isometric") {
        // In cells along the diamonds' sides from the top corner of cell
        // (0, 0), the column grows down-right and the row down-left; taking
        // the corner from CellBox keeps Tiled's rounding of it. Both are
        // scaled by tileWidth * tileHeight, and divided only at the end, so
        // that a whole pixel on a side lands on it exactly.
        const PixelBox first = CellBox(0, 0);
        const double across = (x - first.x - tileWidth / 2.0) * tileHeight,
                     down = (y - first.y) * tileWidth, cell = double(tileWidth) * tileHeight;
        return {ToInt(Floor((down + across) / cell)), ToInt(Floor((down - across) / cell))};
    }
    if (orientation != "staggered" && orientation != "hexagonal")
        return {ToInt(Floor(x / tileWidth)), ToInt(Floor(y / tileHeight))};

    // Worked out for staggered rows (axis y): lines of cells `pitch` apart,
    // every other one shifted along by half a cell. A staggered x axis is the
    // same turned over the diagonal: its lines are the columns.
    const Detail::HexGrid g = Detail::HexGridOf(*this);
    const bool turned = g.staggerX;
    const double along = turned ? y : x, across = turned ? x : y;
    const double step = turned ? g.stepY : g.stepX, shift = turned ? g.rowHeight : g.columnWidth;
    const double pitch = turned ? g.columnWidth : g.rowHeight;
    // How deep the slanted sides reach: what the step between lines leaves
    // of a cell, so that neighbouring lines' sides meet.
    const double slant = (turned ? g.tileWidth : g.tileHeight) - pitch;
    auto from = [&](int64_t line) { return along - (g.Shifted(line) ? shift : 0); };

    int64_t line = Floor(across / pitch);
    int64_t index = Floor(from(line) / step);
    const double into = across - double(line) * pitch;
    if (into < slant) {
        // Between this line's corners pointing up and the line before's
        // pointing down. A point on a slanted side goes to the cell below it:
        // this line's on staggered rows; across columns, the upper side of
        // a corner is this column's and the lower the one before's. Where
        // along the cell the point lies, from -step to step, is kept in
        // pixels, so that a whole pixel on a side is found on it exactly.
        const double q = 2 * (from(line) - double(index) * step) - step;
        const bool inside = turned && q >= 0 ? into * step > slant * q
                                             : into * step >= slant * std::abs(q);
        if (!inside)
            index = Floor(from(--line) / step);
    }
    return turned ? MapCell{ToInt(line), ToInt(index)} : MapCell{ToInt(index), ToInt(line)};
}

} // namespace Engine::Tiled
