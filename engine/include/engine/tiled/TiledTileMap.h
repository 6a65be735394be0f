#pragma once

// A Tiled map's tile layers as the engine draws them: its tile sets' sheets
// loaded and cut into tiles, and one TileMap for each visible tile layer.
// What the tiles mean to a game is the game's business.

#include <cstddef>
#include <vector>

#include <engine/core/Base.h>
#include <engine/ecs/Types.h>
#include <engine/image/Image.h>
#include <engine/render/TileMap.h>
#include <engine/render/Texture.h>
#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled {

/// The sheets the tile maps draw, one per tile set in order, decoded without
/// GL (so on any thread): those of sheets in use whose tiles are the map's
/// cell size; the entries of other tile sets are empty. An image that is
/// missing, not a regular file, larger than limits.maxFileBytes or not
/// decodable throws MapError naming its tile set and file.
std::vector<Image> DecodeSheets(const Map& map, const Limits& limits = {});
/// Their textures, null for empty images; needs the GL context.
std::vector<Ref<Texture2D>> CreateSheets(const Map& map, const std::vector<Image>& images);
/// DecodeSheets, then CreateSheets.
std::vector<Ref<Texture2D>> LoadSheets(const Map& map, const Limits& limits = {});

/// Every tile of every tile set cut from its sheet (sheets[i] for tile set
/// i), one tile set after another: tile k of tile set i is entry k plus the
/// tile counts of the tile sets before i. A tile that the sheet's real image
/// does not hold is left empty, with one warning for its tile set; so are
/// the tiles of tile sets DecodeSheets gives no image.
std::vector<Ref<Texture>> CutTiles(const Map& map, const std::vector<Ref<Texture2D>>& sheets);

/// The grid of a tile layer in TileMap's terms: boardData[x][y] the index
/// into CutTiles' list or -1, and the flips of each cell (left empty when
/// the layer has none).
struct LayerGrid {
    std::vector<std::vector<int>> tiles;     ///< tiles[x][y]: index into CutTiles' list, or -1.
    std::vector<std::vector<uint8_t>> flips; ///< flips[x][y]: TileFlip bits; empty for none.
};
/// The layer's grid, its cells resolved against the map's tile sets; cells
/// of tile sets DecodeSheets gives no image are -1.
LayerGrid GridOf(const Map& map, const TileLayer& layer);

/// A visible tile layer as a TileMap.
struct LayerTileMap {
    /// Index of the layer in map.layers.
    size_t layer;
    TileMap tileMap; ///< Its cells, drawn from the shared tiles.
};
/// One TileMap for each visible tile layer, bottom layer first; all share the
/// tiles of one CutTiles. Warns once of each feature of the map they do not
/// draw yet (layer looks, image layers, tile objects, tiles of another size,
/// ...), saying what shows instead.
std::vector<LayerTileMap> MakeTileMaps(const Map& map, const std::vector<Ref<Texture2D>>& sheets);

/// One entity for each visible tile layer with its TileMap and a Transform,
/// made bottom layer first: the registry runs the tile-map renderer over them
/// in that order, so they are drawn as Tiled draws them. TileMap and
/// Transform must be registered. Returns the entities, bottom first.
std::vector<EntityID> CreateTileMapEntities(const Map& map,
                                            const std::vector<Ref<Texture2D>>& sheets);

} // namespace Engine::Tiled
