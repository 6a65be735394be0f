// The pictures a map is drawn with: its sheets, the images of the collection
// tiles it shows and of its image layers, read under the reader's caps.

#include <engine/tiled/TiledTileMap.h>

#include <algorithm>
#include <set>
#include <tuple>
#include <utility>

#include <engine/core/FileWatch.h>
#include <engine/core/Log.h>

#include "tiled/Reader.h"
#include "tiled/SheetCheck.h"

namespace Engine::Tiled {

namespace {

// The image at path with its colour key made clear.
Image ReadKeyed(Detail::Reading& reading, const std::string& path,
                const std::optional<uint32_t>& key, const std::string& where) {
    Image image = reading.ReadImage(path, where + ": image " + Detail::Quoted(path));
    if (key)
        image.ApplyColorKey(*key & 0xFFFFFFu);
    return image;
}

// The tiles of image collections that visible layers show, by tile set.
std::vector<std::set<int>> CollectionTilesShown(const Map& map) {
    std::vector<std::set<int>> shown(map.tilesets.size());
    bool any = false;
    for (const Tileset& ts : map.tilesets)
        any = any || (ts.used && ts.collection);
    if (!any)
        return shown;
    auto show = [&](uint32_t gid) {
        if (const std::optional<TileRef> ref = map.Resolve(gid))
            if (const Tileset& ts = map.tilesets[ref->tileset]; ts.collection) {
                // An animated tile shows each of its frames in turn.
                const TileInfo* info = ts.FindTile(ref->localId);
                if (!info || info->animation.empty())
                    shown[ref->tileset].insert(ref->localId);
                else
                    for (const TileFrame& frame : info->animation)
                        shown[ref->tileset].insert(frame.tileId);
            }
    };
    for (const TileLayer& layer : map.layers)
        if (layer.visible)
            for (uint32_t gid : layer.gids)
                if (gid & GID_MASK)
                    show(gid);
    for (const ObjectGroup& group : map.objectGroups)
        if (group.visible)
            for (const Object& object : group.objects)
                if (object.visible && (object.gid & GID_MASK))
                    show(object.gid);
    return shown;
}

// A picture a map shows, before it is read: the file, its colour key, the
// ways an image layer repeats it, and how messages name it.
struct Picture {
    std::string path;
    std::optional<uint32_t> key;
    bool repeatX = false, repeatY = false;
    std::string where;
};

// The pictures a map shows, each once, and which tile or layer shows which.
struct Wanted {
    std::vector<Picture> pictures;
    std::vector<std::map<int, size_t>> tiles;
    std::vector<std::optional<size_t>> layers;
};

Wanted PicturesWanted(const Map& map) {
    Wanted out;
    out.tiles.resize(map.tilesets.size());
    out.layers.resize(map.imageLayers.size());
    // A file is decoded once for each colour key it is given and each way an
    // image layer repeats it.
    std::map<std::tuple<std::string, std::optional<uint32_t>, bool, bool>, size_t> seen;
    auto picture = [&](const std::string& path, const std::optional<uint32_t>& key,
                       std::string where, bool repeatX = false, bool repeatY = false) {
        const auto [it, fresh] =
            seen.try_emplace({path, key, repeatX, repeatY}, out.pictures.size());
        if (fresh)
            out.pictures.push_back({path, key, repeatX, repeatY, std::move(where)});
        return it->second;
    };
    const std::vector<std::set<int>> shown = CollectionTilesShown(map);
    for (size_t i = 0; i < map.tilesets.size(); ++i) {
        const Tileset& ts = map.tilesets[i];
        for (int id : shown[i]) {
            const TileInfo* tile = ts.FindTile(id);
            if (!tile || tile->imagePath.empty())
                continue; // the reader refuses a collection tile shown without one
            out.tiles[i][id] =
                picture(tile->imagePath, tile->transparentColor,
                        Detail::TilesetWhere(map.path, ts) + ": tile " + std::to_string(id));
        }
    }
    for (size_t i = 0; i < map.imageLayers.size(); ++i) {
        const ImageLayer& layer = map.imageLayers[i];
        if (layer.visible && !layer.imagePath.empty())
            out.layers[i] = picture(layer.imagePath, layer.transparentColor,
                                    map.path + ": image layer " + Detail::Quoted(layer.name),
                                    layer.repeatX, layer.repeatY);
    }
    return out;
}

// The sheet of a tile set cut from one, as a picture.
Picture SheetOf(const Map& map, const Tileset& ts) {
    return {ts.imagePath, ts.transparentColor, false, false, Detail::TilesetWhere(map.path, ts)};
}

MapPictures::Picture Decode(Detail::Reading& reading, const Picture& wanted) {
    Image image = ReadKeyed(reading, wanted.path, wanted.key, wanted.where);
    // A small picture repeated over the view would cost a draw a copy:
    // copies of it side by side, at least 256 pixels along each way it
    // repeats, cover the view in a few.
    const int across = wanted.repeatX ? (255 + image.Width()) / image.Width() : 1;
    const int down = wanted.repeatY ? (255 + image.Height()) / image.Height() : 1;
    if (across > 1 || down > 1)
        image = image.Repeated(across, down);
    const unsigned char* p = image.Pixels();
    bool opaque = true;
    for (size_t i = 3, n = size_t(image.Width()) * size_t(image.Height()) * 4; i < n && opaque;
         i += 4)
        opaque = p[i] == 255;
    return {wanted.path, std::move(image), opaque};
}

// The faces of fonts, each file's face loaded once (or taken from `made`,
// where another map's is still held, and noted there).
std::map<std::tuple<std::string, bool, bool>, MapTextures::TextFont>
LoadFonts(const std::vector<MapFont>& wanted,
          std::map<std::pair<std::string, int>, std::weak_ptr<const Font>>& made) {
    std::map<std::tuple<std::string, bool, bool>, MapTextures::TextFont> fonts;
    std::map<std::pair<std::string, int>, Ref<const Font>> loaded;
    for (const MapFont& f : wanted) {
        const std::pair<std::string, int> file{f.face.path, f.face.face};
        Ref<const Font>& font = loaded[file];
        if (!font)
            font = made[file].lock();
        if (!font) {
            Font::InitFont();
            const FontBitmap bitmap = Font::Rasterize(f.face.path.c_str(), f.face.face);
            // A file that cannot be read leaves its text in the engine's own
            // font (FreeType's failure logged) rather than drawing nothing.
            if (!bitmap.opened)
                continue;
            font = CreateRef<const Font>(Font::Upload(bitmap));
            made[file] = font;
        }
        fonts[{f.family, f.bold, f.italic}] = {font, f.face.bold, f.face.italic};
    }
    return fonts;
}

} // namespace

SheetSpan SpanOf(const Tileset& ts, int imageWidth, int imageHeight) {
    // As CutSheet cuts with a margin and spacing; the tile set's counts cap it.
    if (ts.tileWidth <= 0 || ts.tileHeight <= 0 || ts.margin < 0 || ts.spacing < 0)
        return {};
    auto fit = [&](long long side, long long tile) {
        return std::max(0LL, (side - ts.margin + ts.spacing) / (tile + ts.spacing));
    };
    const long long columns = fit(imageWidth, ts.tileWidth);
    return {columns, std::min<long long>(ts.tileCount, columns * fit(imageHeight, ts.tileHeight))};
}

void CheckSheet(const Map& map, const Tileset& ts, const Texture& sheet) {
    const int w = static_cast<int>(sheet.getWidth()), h = static_cast<int>(sheet.getHeight());
    if (ts.imageWidth > 0 && ts.imageHeight > 0 && (w != ts.imageWidth || h != ts.imageHeight))
        Log::Warn("TILED", "%s: the image is %dx%d pixels, the tile set says %dx%d",
                  Detail::TilesetWhere(map.path, ts).c_str(), w, h, ts.imageWidth, ts.imageHeight);
    const long long missing = ts.tileCount - SpanOf(ts, w, h).tiles;
    if (missing > 0)
        Log::Warn("TILED", "%s: %lld of its %d tiles lie outside its image; they are not drawn",
                  Detail::TilesetWhere(map.path, ts).c_str(), missing, ts.tileCount);
}

std::vector<Image> DecodeSheets(const Map& map, const Limits& limits) {
    Detail::Reading reading(map.path, limits);
    std::vector<Image> images;
    images.reserve(map.tilesets.size());
    for (const Tileset& ts : map.tilesets) {
        if (!ts.used || ts.collection)
            images.emplace_back();
        else
            images.push_back(Decode(reading, SheetOf(map, ts)).image);
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

MapPictures DecodePictures(const Map& map, const Limits& limits) {
    Detail::Reading reading(map.path, limits);
    Wanted wanted = PicturesWanted(map);
    MapPictures out;
    for (const Picture& picture : wanted.pictures)
        out.pictures.push_back(Decode(reading, picture));
    out.tiles = std::move(wanted.tiles);
    out.layers = std::move(wanted.layers);
    return out;
}

MapTextures CreateTextures(const std::vector<Ref<Texture2D>>& sheets, const MapPictures& pictures) {
    MapTextures textures;
    textures.sheets.assign(sheets.begin(), sheets.end());
    for (const MapPictures::Picture& picture : pictures.pictures) {
        textures.pictures.push_back(Texture2D::Create(picture.path, picture.image));
        textures.opaque.push_back(picture.opaque);
    }
    textures.tiles = pictures.tiles;
    textures.layers = pictures.layers;
    return textures;
}

MapTextures LoadTextures(const Map& map, const Limits& limits) {
    MapTextures textures = CreateTextures(LoadSheets(map, limits), DecodePictures(map, limits));
    std::map<std::pair<std::string, int>, std::weak_ptr<const Font>> made;
    textures.fonts = LoadFonts(FindFonts(map), made);
    return textures;
}

MapTextures TextureCache::Load(const Map& map, const Limits& limits) {
    Detail::Reading reading(map.path, limits);
    auto texture = [&](const Picture& wanted) {
        // A file saved anew since, or another moved in with its time of change
        // kept, is another picture; one that cannot be looked at fails below,
        // as it is read.
        const FileWatch::Stamp file = FileWatch::StampOf(wanted.path);
        // The colour key's alpha takes no part in making the colour clear.
        const std::optional<uint32_t> key =
            wanted.key ? std::optional(*wanted.key & 0xFFFFFFu) : std::nullopt;
        Made& made = m_made[{wanted.path, key, wanted.repeatX, wanted.repeatY, file.device,
                             file.inode, file.size, file.modifiedNs}];
        if (Ref<Texture2D> held = made.texture.lock())
            return std::pair(held, made.opaque);
        const MapPictures::Picture picture = Decode(reading, wanted);
        Ref<Texture2D> fresh = Texture2D::Create(picture.path, picture.image);
        made = {fresh, picture.opaque};
        return std::pair(fresh, picture.opaque);
    };
    MapTextures out;
    for (const Tileset& ts : map.tilesets)
        out.sheets.push_back(!ts.used || ts.collection ? nullptr
                                                       : texture(SheetOf(map, ts)).first);
    Wanted wanted = PicturesWanted(map);
    for (const Picture& picture : wanted.pictures) {
        const auto [made, opaque] = texture(picture);
        out.pictures.push_back(made);
        out.opaque.push_back(opaque);
    }
    out.tiles = std::move(wanted.tiles);
    out.layers = std::move(wanted.layers);
    out.fonts = LoadFonts(FindFonts(map), m_fonts);
    // Notes of textures no map holds any more, and of files that failed.
    std::erase_if(m_made, [](const auto& entry) { return entry.second.texture.expired(); });
    std::erase_if(m_fonts, [](const auto& entry) { return entry.second.expired(); });
    return out;
}

size_t TextureCache::Size() const {
    return size_t(std::count_if(m_made.begin(), m_made.end(),
                                [](const auto& entry) { return !entry.second.texture.expired(); }));
}

const Ref<Texture>* MapTextures::Tile(size_t tileset, int localId) const {
    if (tileset >= tiles.size())
        return nullptr;
    const auto it = tiles[tileset].find(localId);
    if (it == tiles[tileset].end() || it->second >= pictures.size() || !pictures[it->second])
        return nullptr;
    return &pictures[it->second];
}

const Ref<Texture>* MapTextures::Layer(size_t imageLayer) const {
    if (imageLayer >= layers.size() || !layers[imageLayer] ||
        *layers[imageLayer] >= pictures.size() || !pictures[*layers[imageLayer]])
        return nullptr;
    return &pictures[*layers[imageLayer]];
}

} // namespace Engine::Tiled
