#include <engine/tiled/TiledTileMap.h>

#include <engine/core/Log.h>
#include <engine/core/Renderer.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>

#include "render/GLTexture.h"
#include "tiled/Reading.h"

namespace Engine::Tiled {

std::vector<Image> DecodeSheets(const Map& map, const Limits& limits) {
    Detail::Reading reading(map.path, limits);
    std::vector<Image> images;
    images.reserve(map.tilesets.size());
    for (const Tileset& ts : map.tilesets) {
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
        sheets.push_back(Texture2D::Create(map.tilesets[i].imagePath, images[i]));
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
            if (!ref)
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
