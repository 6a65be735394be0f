#include <engine/tiled/TiledMap.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include <engine/core/Log.h>

#include "tiled/Reading.h"

namespace Engine::Tiled {

namespace {

// The floor a tile's collision shapes make in a w by h cell, turned as the
// cell turns the tile: one rectangle or polygon, unrotated, that fills the
// cell below a straight line from its left side to its right side. Anything
// else is none, and the cell is taken as whole.
std::optional<CellFloor> FloorOf(const TileInfo& tile, const TileRef& ref, double w, double h) {
    if (tile.objects.size() != 1)
        return std::nullopt;
    const Object& o = tile.objects.front();
    if (o.rotation != 0)
        return std::nullopt;
    std::vector<ObjectPoint> corners;
    if (o.shape == "rectangle")
        corners = {{o.x, o.y},
                   {o.x + o.width, o.y},
                   {o.x + o.width, o.y + o.height},
                   {o.x, o.y + o.height}};
    else if (o.shape == "polygon")
        for (const ObjectPoint& p : o.points)
            corners.push_back({o.x + p.x, o.y + p.y});
    if (corners.size() < 3)
        return std::nullopt;
    // Tiled turns a tile by a transpose first, then the mirrors.
    for (ObjectPoint& p : corners) {
        if (ref.flipD)
            p = {p.y * w / h, p.x * h / w};
        if (ref.flipH)
            p.x = w - p.x;
        if (ref.flipV)
            p.y = h - p.y;
    }
    // Shapes are drawn to whole pixels, or near them.
    const double near = 1e-3;
    const double inf = std::numeric_limits<double>::infinity();
    double left = inf, right = inf, area = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
        const ObjectPoint& p = corners[i];
        const ObjectPoint& q = corners[(i + 1) % corners.size()];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || p.x < -near || p.x > w + near ||
            p.y > h + near)
            return std::nullopt;
        area += p.x * q.y - q.x * p.y;
        if (std::abs(p.x) <= near)
            left = std::min(left, p.y);
        if (std::abs(p.x - w) <= near)
            right = std::min(right, p.y);
    }
    if (left == inf || right == inf)
        return std::nullopt;
    // Every corner on or under the line, and the area all of it below: the
    // shape is the cell below the line.
    for (const ObjectPoint& p : corners)
        if (p.y < left + (right - left) * p.x / w - near)
            return std::nullopt;
    if (std::abs(std::abs(area) / 2 - w * ((h - left) + (h - right)) / 2) > near * (w + h))
        return std::nullopt;
    return CellFloor{float(h - left), float(h - right)};
}

} // namespace

CellGrid SolidCells(const Map& map, const SolidTiles& which) {
    if (map.orientation != "orthogonal")
        throw MapError(map.path + ": solid cells are made of orthogonal maps only, not " +
                       map.orientation + " ones");
    CellGrid grid(map.width, map.height, float(map.tileWidth), float(map.tileHeight));
    const bool anyTile = which.tileClass.empty() && which.property.empty();
    auto solid = [&](uint32_t gid) {
        // A number no tile set holds is no tile at all.
        if (anyTile)
            return map.Resolve(gid).has_value();
        const TileInfo* tile = map.TileOf(gid);
        return tile &&
               ((!which.tileClass.empty() && tile->className == which.tileClass) ||
                (!which.property.empty() && GetBool(tile->properties, which.property, false)));
    };
    const float full = float(map.tileHeight);
    auto floorOf = [&](uint32_t gid) -> std::optional<CellFloor> {
        const TileInfo* tile = map.TileOf(gid);
        const std::optional<TileRef> ref = map.Resolve(gid);
        if (!tile || tile->objects.empty() || !ref)
            return std::nullopt;
        // Shapes of tiles of another size than the cells are not fitted in.
        const Tileset& set = map.tilesets[ref->tileset];
        if (set.tileWidth != map.tileWidth || set.tileHeight != map.tileHeight)
            return std::nullopt;
        return FloorOf(*tile, *ref, map.tileWidth, map.tileHeight);
    };
    bool named = false;
    for (const TileLayer& layer : map.layers) {
        if (which.layer.empty() ? !layer.visible : layer.name != which.layer)
            continue;
        named = true;
        // Where DrawMap draws the layer, to the nearest whole cell.
        const CellShift shift = map.CellShiftOf(layer);
        const int dx = shift.columns, dy = shift.rows;
        if (!shift.whole)
            Log::Warn("TILED",
                      "%s: tile layer %s is moved by (%g, %g) pixels, not whole cells: its "
                      "solid cells are moved by (%d, %d) cells",
                      map.path.c_str(), Detail::Quoted(layer.name).c_str(), layer.look.offsetX,
                      layer.look.offsetY, dx, dy);
        for (int y = std::max(0, -dy); y < std::min(layer.height, map.height - dy); ++y)
            for (int x = std::max(0, -dx); x < std::min(layer.width, map.width - dx); ++x) {
                const uint32_t gid = layer.At(x, y);
                if (gid == 0 || !solid(gid))
                    continue;
                const int c = x + dx, r = y + dy;
                const CellFloor had = grid.Floor(c, r);
                if (had.left >= full && had.right >= full)
                    continue;
                const std::optional<CellFloor> floor = floorOf(gid);
                if (!floor) {
                    grid.Set(c, r, true);
                    continue;
                }
                // Floors of two layers in one cell: the higher of them at each
                // side, which covers both.
                grid.SetFloor(c, r,
                              {std::max(had.left, floor->left), std::max(had.right, floor->right)});
            }
    }
    if (!which.layer.empty() && !named)
        throw MapError(map.path + ": no tile layer is named \"" + which.layer + "\"");
    return grid;
}

} // namespace Engine::Tiled
