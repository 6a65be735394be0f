#include <engine/tiled/TiledTileMap.h>

#include <engine/core/Log.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>

#include "tiled/Reader.h"
#include "tiled/SheetCheck.h"

namespace Engine::Tiled {

namespace {

// Whether the tile maps draw a tile set's tiles: sheets in use whose tiles
// fill the map's cells, being their size or drawn at it (stretched, or
// fitted where the shapes agree). DrawLayer anchors the others as Tiled does.
bool Drawn(const Map& map, const Tileset& ts) {
    if (!ts.used || ts.collection)
        return false;
    if (ts.tileWidth == map.tileWidth && ts.tileHeight == map.tileHeight)
        return true;
    return ts.tileRenderSize == "grid" &&
           (ts.fillMode != "preserve-aspect-fit" ||
            int64_t(ts.tileWidth) * map.tileHeight == int64_t(ts.tileHeight) * map.tileWidth);
}

// A grid[x][y] moved right and down by whole cells, as its layer's offset
// moves it: what goes past the top or left is dropped, and what comes in
// is empty (new columns of no cells at all, which draw nothing).
template <typename T>
void Shift(std::vector<std::vector<T>>& grid, CellShift shift, T empty) {
    if (grid.empty())
        return;
    for (std::vector<T>& column : grid) {
        if (shift.rows > 0)
            column.insert(column.begin(), size_t(shift.rows), empty);
        else
            column.erase(column.begin(),
                         column.begin() + std::min(column.size(), size_t(-shift.rows)));
    }
    if (shift.columns > 0)
        grid.insert(grid.begin(), size_t(shift.columns), std::vector<T>{});
    else
        grid.erase(grid.begin(), grid.begin() + std::min(grid.size(), size_t(-shift.columns)));
}

// What the tile maps leave out or draw plainly, each said once, where it is
// first seen.
void WarnTileMapsUndrawn(const Map& map) {
    struct Note {
        const char* feature;
        const char* instead;
        std::string where;
    };
    std::vector<Note> notes;
    auto note = [&](const char* feature, const char* instead, const std::string& where) {
        for (const Note& n : notes)
            if (std::string_view(n.feature) == feature)
                return;
        notes.push_back({feature, instead, where});
    };
    auto looks = [&](const LayerLook& look, const std::string& where) {
        if (look.opacity != 1.0)
            note("layer opacity", "drawn opaque", where);
        if (look.tint != 0xFFFFFFFFu)
            note("tint colours", "drawn untinted", where);
        if (look.parallaxX != 1.0 || look.parallaxY != 1.0)
            note("parallax", "scrolled with the map", where);
    };
    if (map.orientation != "orthogonal")
        note("isometric, staggered and hexagonal grids", "drawn as an orthogonal one", "the map");
    if (map.backgroundColor)
        note("the background colour", "the game's own shows", "the map");
    const bool square = map.tileWidth == map.tileHeight;
    for (const TileLayer& layer : map.layers) {
        if (!layer.visible)
            continue;
        const std::string where = "layer " + Detail::Quoted(layer.name);
        looks(layer.look, where);
        if (!map.CellShiftOf(layer).whole)
            note("layer offsets of part of a cell", "moved to the nearest cell", where);
        if (square)
            continue;
        for (uint32_t gid : layer.gids)
            if ((gid & FLIPPED_DIAGONALLY) && (gid & GID_MASK)) {
                note("the diagonal flip of tiles that are not square", "stretched to the cell",
                     where);
                break;
            }
    }
    for (const Tileset& ts : map.tilesets) {
        if (!ts.used)
            continue;
        const std::string where = "tile set " + Detail::Quoted(ts.name);
        if (ts.collection)
            note("image collections", "their tiles left out", where);
        else if (!Drawn(map, ts))
            note("tiles of another size than the map's cells", "left out", where);
        if (ts.offsetX != 0 || ts.offsetY != 0)
            note("tile offsets", "drawn unmoved", where);
        bool animated = false;
        for (const auto& [id, tile] : ts.tiles)
            animated = animated || !tile.animation.empty();
        if (animated)
            note("tile animation", "drawn still", where);
    }
    for (const ImageLayer& layer : map.imageLayers)
        if (layer.visible && !layer.imagePath.empty())
            note("image layers", "left out", "image layer " + Detail::Quoted(layer.name));
    for (const ObjectGroup& group : map.objectGroups) {
        if (!group.visible)
            continue;
        for (const Object& object : group.objects)
            if (object.visible && (object.gid & GID_MASK)) {
                note("tile objects", "left out", "object layer " + Detail::Quoted(group.name));
                break;
            }
    }
    for (const Note& n : notes)
        Log::Warn("TILED", "%s: not drawn yet: %s (first on %s); %s", map.path.c_str(), n.feature,
                  n.where.c_str(), n.instead);
}

} // namespace

std::vector<Ref<Texture>> CutTiles(const Map& map, const std::vector<Ref<Texture2D>>& sheets) {
    std::vector<Ref<Texture>> tiles;
    size_t total = 0;
    for (const Tileset& ts : map.tilesets)
        total += static_cast<size_t>(ts.tileCount);
    tiles.reserve(total);
    for (size_t i = 0; i < map.tilesets.size(); ++i) {
        const Tileset& ts = map.tilesets[i];
        const size_t end = tiles.size() + static_cast<size_t>(ts.tileCount);
        const Ref<Texture2D> sheet = i < sheets.size() ? sheets[i] : nullptr;
        if (Drawn(map, ts) && sheet) {
            CheckSheet(map, ts, *sheet);
            // An image larger than the tile set says holds no more of its tiles.
            const std::vector<Ref<Texture>> cut =
                CutSheetRegions(sheet, ts.tileWidth, ts.tileHeight, ts.margin, ts.spacing,
                                static_cast<size_t>(ts.tileCount));
            // A sheet without a GL image has no tile to show.
            if (sheet->getID() != 0)
                tiles.insert(tiles.end(), cut.begin(), cut.end());
        }
        tiles.resize(end);
    }
    return tiles;
}

LayerGrid GridOf(const Map& map, const TileLayer& layer) {
    std::vector<int> base(map.tilesets.size(), 0);
    int sum = 0;
    for (size_t i = 0; i < map.tilesets.size(); ++i) {
        base[i] = sum;
        sum += map.tilesets[i].tileCount;
    }
    LayerGrid grid;
    const size_t w = static_cast<size_t>(layer.width), h = static_cast<size_t>(layer.height);
    grid.tiles.assign(w, std::vector<int>(h, -1));
    bool flipped = false;
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            const uint32_t gid = layer.gids[y * w + x];
            const std::optional<TileRef> ref = map.Resolve(gid);
            // Their warning said so; a collection's ids have no place in the list anyway.
            if (!ref || !Drawn(map, map.tilesets[ref->tileset]))
                continue;
            grid.tiles[x][y] = base[ref->tileset] + ref->localId;
            const uint8_t flips = (ref->flipD ? TileFlip::DIAGONAL : 0) |
                                  (ref->flipH ? TileFlip::HORIZONTAL : 0) |
                                  (ref->flipV ? TileFlip::VERTICAL : 0);
            if (flips == 0)
                continue;
            if (!flipped) {
                grid.flips.assign(w, std::vector<uint8_t>(h, 0));
                flipped = true;
            }
            grid.flips[x][y] = flips;
        }
    return grid;
}

std::vector<LayerTileMap> MakeTileMaps(const Map& map, const std::vector<Ref<Texture2D>>& sheets) {
    WarnTileMapsUndrawn(map);
    const std::vector<Ref<Texture>> tiles = CutTiles(map, sheets);
    std::vector<LayerTileMap> maps;
    for (size_t i = 0; i < map.layers.size(); ++i) {
        if (!map.layers[i].visible)
            continue;
        LayerGrid grid = GridOf(map, map.layers[i]);
        const CellShift shift = map.CellShiftOf(map.layers[i]);
        Shift(grid.tiles, shift, -1);
        Shift(grid.flips, shift, uint8_t(0));
        // A tile past what its sheet's image holds was warned of with the
        // sheet: its cells are empty, not named again as cells of no tile.
        for (std::vector<int>& column : grid.tiles)
            for (int& v : column)
                if (v != -1 && !tiles[static_cast<size_t>(v)])
                    v = -1;
        maps.push_back({i, TileMap(tiles, std::move(grid.tiles), map.tileWidth, map.tileHeight,
                                   std::move(grid.flips))});
    }
    return maps;
}

std::vector<EntityID> CreateTileMapEntities(const Map& map,
                                            const std::vector<Ref<Texture2D>>& sheets) {
    ECS& ecs = ECS::Get();
    std::vector<EntityID> entities;
    for (LayerTileMap& layer : MakeTileMaps(map, sheets)) {
        const EntityID e = ecs.CreateEntity();
        ecs.AddComponent<TileMap>(e, std::move(layer.tileMap));
        // The renderer places every cell itself; only the rotation counts.
        ecs.AddComponent<Transform>(e, glm::vec3(0.0f), glm::vec3(0.0f),
                                    glm::vec3(float(map.tileWidth), float(map.tileHeight), 0.0f));
        entities.push_back(e);
    }
    return entities;
}

} // namespace Engine::Tiled
