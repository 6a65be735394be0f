#include <engine/tiled/TiledTileMap.h>

#include <engine/core/Log.h>
#include <engine/core/Renderer.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>

#include "render/GLTexture.h"
#include "tiled/Reader.h"

namespace Engine::Tiled {

namespace {

// Whether the tile maps draw a tile set's tiles: sheets in use whose tiles
// fill the map's cells. The rest waits for a drawing that anchors them.
bool Drawn(const Map& map, const Tileset& ts) {
    return ts.used && !ts.collection && ts.tileWidth == map.tileWidth &&
           ts.tileHeight == map.tileHeight;
}

// What the tile maps leave out or draw plainly, each said once, where it is
// first seen.
void WarnUndrawn(const Map& map) {
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
        if (look.offsetX != 0.0 || look.offsetY != 0.0)
            note("layer offsets", "drawn in place", where);
        if (look.parallaxX != 1.0 || look.parallaxY != 1.0)
            note("parallax", "scrolled with the map", where);
    };
    if (map.backgroundColor)
        note("the background colour", "the game's own shows", "the map");
    const bool square = map.tileWidth == map.tileHeight;
    for (const TileLayer& layer : map.layers) {
        if (!layer.visible)
            continue;
        const std::string where = "layer " + Detail::Quoted(layer.name);
        looks(layer.look, where);
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
        bool keyed = ts.transparentColor.has_value(), animated = false;
        for (const auto& [id, tile] : ts.tiles) {
            keyed = keyed || tile.transparentColor;
            animated = animated || !tile.animation.empty();
        }
        if (keyed)
            note("transparent colours", "shown as they are", where);
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

std::vector<Image> DecodeSheets(const Map& map, const Limits& limits) {
    Detail::Reading reading(map.path, limits);
    std::vector<Image> images;
    images.reserve(map.tilesets.size());
    for (const Tileset& ts : map.tilesets) {
        if (!Drawn(map, ts)) {
            images.emplace_back();
            continue;
        }
        const std::string where =
            Detail::TilesetWhere(map.path, ts) + ": image " + Detail::Quoted(ts.imagePath);
        const std::string bytes = reading.ReadFile(ts.imagePath, where);
        Image image =
            Image::Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (image.Empty())
            Detail::Fail(where + ": " + image.Error());
        images.push_back(std::move(image));
    }
    return images;
}

std::vector<Ref<Texture2D>> CreateSheets(const Map& map, const std::vector<Image>& images) {
    std::vector<Ref<Texture2D>> sheets;
    for (size_t i = 0; i < map.tilesets.size() && i < images.size(); ++i)
        sheets.push_back(
            images[i].Empty() ? nullptr : Texture2D::Create(map.tilesets[i].imagePath, images[i]));
    return sheets;
}

std::vector<Ref<Texture2D>> LoadSheets(const Map& map, const Limits& limits) {
    return CreateSheets(map, DecodeSheets(map, limits));
}

std::vector<Ref<Texture>> CutTiles(const Map& map, const std::vector<Ref<Texture2D>>& sheets) {
    std::vector<Ref<Texture>> tiles;
    size_t total = 0;
    for (const Tileset& ts : map.tilesets)
        total += static_cast<size_t>(ts.tileCount);
    tiles.reserve(total);
    for (size_t i = 0; i < map.tilesets.size(); ++i) {
        const Tileset& ts = map.tilesets[i];
        if (!Drawn(map, ts)) {
            tiles.resize(tiles.size() + static_cast<size_t>(ts.tileCount));
            continue;
        }
        const Ref<Texture2D> sheet = i < sheets.size() ? sheets[i] : nullptr;
        const bool usable = sheet && sheet->getID() != 0 && sheet->getWidth() > 0 &&
                            sheet->getHeight() > 0 && Renderer::GetAPI() == Renderer::API::OpenGL;
        const int w = usable ? static_cast<int>(sheet->getWidth()) : 0;
        const int h = usable ? static_cast<int>(sheet->getHeight()) : 0;
        if (usable && ts.imageWidth > 0 && ts.imageHeight > 0 &&
            (w != ts.imageWidth || h != ts.imageHeight))
            Log::Warn("TILED", "%s: the image is %dx%d pixels, the tile set says %dx%d",
                      Detail::TilesetWhere(map.path, ts).c_str(), w, h, ts.imageWidth,
                      ts.imageHeight);
        int missing = 0;
        for (int k = 0; k < ts.tileCount && ts.columns > 0; ++k) {
            const int column = k % ts.columns, row = k / ts.columns;
            // In 64 bits: a corrupt count must not wrap round into the image.
            const long long px = ts.margin + (long long)column * (ts.tileWidth + ts.spacing);
            const long long py = ts.margin + (long long)row * (ts.tileHeight + ts.spacing);
            if (!usable || px + ts.tileWidth > w || py + ts.tileHeight > h) {
                tiles.push_back(nullptr);
                ++missing;
                continue;
            }
            const float fw = static_cast<float>(w), fh = static_cast<float>(h);
            // Texture rows run from the bottom of the picture.
            tiles.push_back(CreateRef<GLTexture2D>(
                static_cast<float>(ts.tileWidth), static_cast<float>(ts.tileHeight),
                static_cast<float>(ts.tileWidth) / fw, static_cast<float>(ts.tileHeight) / fh,
                static_cast<float>(px) / fw, static_cast<float>(h - py - ts.tileHeight) / fh,
                sheet->getID()));
        }
        if (missing > 0)
            Log::Warn("TILED", "%s: %d of its %d tiles lie outside its image; they are not drawn",
                      Detail::TilesetWhere(map.path, ts).c_str(), missing, ts.tileCount);
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
    WarnUndrawn(map);
    const std::vector<Ref<Texture>> tiles = CutTiles(map, sheets);
    std::vector<LayerTileMap> maps;
    for (size_t i = 0; i < map.layers.size(); ++i) {
        if (!map.layers[i].visible)
            continue;
        LayerGrid grid = GridOf(map, map.layers[i]);
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
