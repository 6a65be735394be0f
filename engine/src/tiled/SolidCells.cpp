#include <engine/tiled/TiledMap.h>

#include <algorithm>

namespace Engine::Tiled {

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
    bool named = false;
    for (const TileLayer& layer : map.layers) {
        if (which.layer.empty() ? !layer.visible : layer.name != which.layer)
            continue;
        named = true;
        for (int y = 0; y < std::min(layer.height, map.height); ++y)
            for (int x = 0; x < std::min(layer.width, map.width); ++x) {
                const uint32_t gid = layer.At(x, y);
                if (gid != 0 && !grid.Solid(x, y) && solid(gid))
                    grid.Set(x, y, true);
            }
    }
    if (!which.layer.empty() && !named)
        throw MapError(map.path + ": no tile layer is named \"" + which.layer + "\"");
    return grid;
}

} // namespace Engine::Tiled
