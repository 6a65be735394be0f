// Tile sets read from nodes, counted and checked as far as drawing what the
// map shows needs, and the checks of a whole map against them.

#include <algorithm>
#include <cstdio>
#include <set>

#include <engine/core/Log.h>
#include <engine/image/Image.h>

#include "tiled/Reader.h"

namespace Engine::Tiled::Detail {

namespace {

std::string Or(std::string text, const char* fallback) {
    return text.empty() ? fallback : text;
}

// The size an image file's header gives, without decoding it.
void ReadImageSize(const std::string& path, const std::string& where, Reading& reading, int& width,
                   int& height) {
    const std::string at = where + ": image " + Quoted(path);
    const std::string bytes = reading.ReadFile(path, at);
    const Image::Info info =
        Image::Peek(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (!info.error.empty())
        Fail(at + ": " + info.error);
    width = info.width;
    height = info.height;
}

// A part the tile set gives no size of is its whole image.
void WholeImageByDefault(TileInfo& tile) {
    if (tile.width == 0)
        tile.width = tile.imageWidth;
    if (tile.height == 0)
        tile.height = tile.imageHeight;
}

bool Holds(const Tileset& ts, int localId) {
    return ts.collection ? ts.tiles.count(localId) > 0 : localId >= 0 && localId < ts.tileCount;
}

std::string GidText(uint32_t gid) {
    std::string text = std::to_string(gid & GID_MASK);
    if (gid & ~GID_MASK) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%08X", gid);
        text += std::string(" (") + flags + " with its flags)";
    }
    return text;
}

// Whether a tile set holds a global id, as Map::Resolve finds it, for every
// cell and tile object of a map, settling each tile set (and collection
// tile) the first time it is shown. Neighbouring cells mostly come from one
// sheet, so the ids of the last one found are tried first.
class Shown {
public:
    Shown(Map& map, Reading& reading) : m_map(map), m_reading(reading) {}

    bool Held(uint32_t gid) {
        const uint32_t id = gid & GID_MASK;
        return (id >= m_lo && id < m_hi) || Find(id);
    }

private:
    bool Find(uint32_t id) {
        auto it = std::upper_bound(m_map.tilesets.begin(), m_map.tilesets.end(), id,
                                   [](uint32_t v, const Tileset& t) { return v < t.firstGid; });
        if (it == m_map.tilesets.begin())
            return false;
        Tileset& ts = *--it;
        const std::string where = TilesetWhere(m_map.path, ts);
        if (!ts.used) {
            ts.used = true;
            SettleTileset(ts, true, where, m_reading);
        }
        const uint32_t local = id - ts.firstGid;
        if (ts.collection) {
            if (!ts.tiles.count(int(local)))
                return false;
            if (m_settled.insert(id).second)
                SettleTile(ts, int(local), where, m_reading);
            return true;
        }
        // Up to the next tile set's first id, should the two overlap.
        uint64_t hi = uint64_t(ts.firstGid) + uint64_t(ts.tileCount);
        if (it + 1 != m_map.tilesets.end())
            hi = std::min<uint64_t>(hi, (it + 1)->firstGid);
        if (id >= hi)
            return false;
        m_lo = ts.firstGid;
        m_hi = uint32_t(std::min<uint64_t>(hi, uint64_t(GID_MASK) + 1));
        return true;
    }

    Map& m_map;
    Reading& m_reading;
    uint32_t m_lo = 1, m_hi = 1;
    std::set<uint32_t> m_settled;
};

} // namespace

std::string ClassOf(const Node& node, const std::string& where) {
    return node.Has("class") ? node.String("class", where) : node.String("type", where);
}

std::optional<uint32_t> ColorOf(const Node& node, const char* key, const std::string& where) {
    const std::string text = node.String(key, where);
    if (text.empty())
        return std::nullopt;
    uint32_t argb = 0;
    if (!ParseColor(text, argb))
        Fail(where + ": " + key + " " + Quoted(text) + " is not a colour");
    return argb;
}

ImageRef ReadImage(const Node& node, const std::string& file, const std::string& where) {
    ImageRef ref;
    const NodePtr image = node.Child("image", where);
    if (!image)
        return ref;
    ref.present = true;
    ref.named = image->Has("source");
    ref.path = image->String("source", where);
    if (!ref.path.empty())
        ref.path = ResolvePath(file, ref.path);
    ref.width = image->Int("width", 0, where);
    ref.height = image->Int("height", 0, where);
    // A colour key has no alpha of its own.
    if (const std::optional<uint32_t> key = ColorOf(*image, "trans", where))
        ref.transparentColor = *key | 0xFF000000u;
    return ref;
}

std::string TilesetWhere(const std::string& mapPath, const Tileset& tileset) {
    std::string where = mapPath + ": tile set " + Quoted(tileset.name);
    if (tileset.source != mapPath)
        where += " (" + Printable(tileset.source) + ")";
    return where;
}

Tileset ReadTileset(const Node& node, const std::string& file, const std::string& where,
                    Reading& reading) {
    const Limits& limits = reading.GetLimits();
    Tileset ts;
    ts.source = file;
    ts.name = node.String("name", where);
    const std::string at = where + " " + Quoted(ts.name);
    // Not ClassOf: a JSON tile set file's "type" says that it is one.
    ts.className = node.String("class", at);
    ts.tileWidth = node.Int("tilewidth", 0, at);
    ts.tileHeight = node.Int("tileheight", 0, at);
    ts.tileCount = node.Int("tilecount", -1, at);
    ts.columns = node.Int("columns", 0, at);
    ts.margin = node.Int("margin", 0, at);
    ts.spacing = node.Int("spacing", 0, at);
    ts.objectAlignment = Or(node.String("objectalignment", at), "unspecified");
    ts.tileRenderSize = Or(node.String("tilerendersize", at), "tile");
    ts.fillMode = Or(node.String("fillmode", at), "stretch");
    ts.properties = node.PropertiesOf(file, at, limits);
    if (const NodePtr offset = node.Child("tileoffset", at)) {
        ts.offsetX = offset->Int("x", 0, at);
        ts.offsetY = offset->Int("y", 0, at);
    }
    const ImageRef sheet = ReadImage(node, file, at);
    ts.collection = !sheet.present;
    ts.imagePath = sheet.path;
    ts.imageWidth = sheet.width;
    ts.imageHeight = sheet.height;
    ts.transparentColor = sheet.transparentColor;
    for (const NodePtr& tile : node.Children("tile", at)) {
        const int id = tile->Int("id", 0, at);
        if (id < 0)
            Fail(at + ": tile id " + Num(id) + " is negative");
        const std::string here = at + ": tile " + Num(id);
        TileInfo info;
        info.className = ClassOf(*tile, here);
        info.properties = tile->PropertiesOf(file, here, limits);
        const ImageRef image = ReadImage(*tile, file, here);
        info.imagePath = image.path;
        info.imageWidth = image.width;
        info.imageHeight = image.height;
        info.transparentColor = image.transparentColor;
        info.x = tile->Int("x", 0, here);
        info.y = tile->Int("y", 0, here);
        info.width = tile->Int("width", 0, here);
        info.height = tile->Int("height", 0, here);
        WholeImageByDefault(info);
        for (const NodePtr& frame : tile->Children("frame", here))
            info.animation.push_back(
                {frame->Int("tileid", 0, here), frame->Int("duration", 0, here)});
        if (const NodePtr shapes = tile->Child("objectgroup", here))
            for (const NodePtr& o : shapes->Children("object", here)) {
                reading.TakeObjects(1, here);
                Object object;
                object.id = o->Int("id", 0, here);
                const std::string shape = here + ": collision shape " + Num(object.id);
                // Templates are a map's: a tile set may be read without one.
                if (o->Has("template"))
                    reading.Note("templates in collision shapes", shape);
                ReadObject(*o, object, file, shape, reading);
                info.objects.push_back(std::move(object));
            }
        // A collection knows its tiles by their entries, even bare ones.
        if (ts.collection || info != TileInfo{})
            ts.tiles[id] = std::move(info);
    }
    if (ts.collection) {
        ts.tileCount = static_cast<int>(ts.tiles.size());
        ts.columns = 0;
    }
    return ts;
}

Tileset LoadTileset(const std::string& source, const std::string& from, const std::string& at,
                    Reading& reading) {
    if (source.empty())
        Fail(at + ": a tile set names no file");
    const std::string path = ResolvePath(from, source);
    const std::string text = reading.ReadFile(path, at + ": tile set file " + Quoted(path));
    std::string where = Printable(path);
    if (path != reading.MapPath())
        where += " (tile set of " + reading.MapPath() + ")";
    const std::unique_ptr<Document> doc =
        Open(text, where, reading.GetLimits(), "a TSX (XML) nor a JSON tile set");
    const std::string kind = doc->Kind();
    // Tile sets written before Tiled 1.2 say of no type.
    if (kind != "tileset" && !kind.empty())
        Fail(where + ": a " + Quoted(kind) + ", not a Tiled tile set");
    return ReadTileset(doc->Root(), path, where + ": tile set", reading);
}

void SettleTileset(Tileset& ts, bool strict, const std::string& where, Reading& reading) {
    if (ts.collection)
        return; // its tiles are settled one by one
    const int maxSide = Image::MAX_SIDE;
    auto within = [&](int v, int lowest) { return v >= lowest && v <= maxSide; };
    if (strict) {
        if (ts.imagePath.empty())
            Fail(where + ": its image names no file (image data kept inside a file is not read)");
        if (!within(ts.tileWidth, 1) || !within(ts.tileHeight, 1))
            Fail(where + ": tiles of " + Num(ts.tileWidth) + " x " + Num(ts.tileHeight) +
                 " pixels; each side must be 1 to " + Num(maxSide));
        if (!within(ts.margin, 0) || !within(ts.spacing, 0))
            Fail(where + ": margin " + Num(ts.margin) + " and spacing " + Num(ts.spacing) +
                 " must be 0 to " + Num(maxSide));
        if (!within(ts.imageWidth, 0) || !within(ts.imageHeight, 0))
            Fail(where + ": an image of " + Num(ts.imageWidth) + " x " + Num(ts.imageHeight) +
                 " pixels; each side must be at most " + Num(maxSide));
        if ((ts.imageWidth == 0 || ts.imageHeight == 0) && (ts.columns < 1 || ts.tileCount < 0))
            ReadImageSize(ts.imagePath, where, reading, ts.imageWidth, ts.imageHeight);
    }
    // Tiled counts the tiles of the image it has (one margin, at the left
    // and top); the counts a file gives are for readers that have no image.
    // Sizes out of range count nothing: only a tile set nothing shows has them.
    const bool sane = within(ts.tileWidth, 1) && within(ts.tileHeight, 1) && within(ts.margin, 0) &&
                      within(ts.spacing, 0) && within(ts.imageWidth, 1) &&
                      within(ts.imageHeight, 0);
    auto fit = [&](int side, int tile) {
        return std::max(0, (side - ts.margin + ts.spacing) / (tile + ts.spacing));
    };
    if (sane)
        ts.columns = fit(ts.imageWidth, ts.tileWidth);
    if (sane && ts.imageHeight > 0)
        ts.tileCount = ts.columns * fit(ts.imageHeight, ts.tileHeight);
    ts.columns = std::max(ts.columns, 0);
    ts.tileCount = std::max(ts.tileCount, 0);
    if (!strict)
        return;
    if (ts.columns < 1 && ts.tileCount > 0)
        Fail(where + ": " + Num(ts.tileCount) + " tiles in no column");
    if (ts.columns > maxSide || ts.tileCount / std::max(ts.columns, 1) > maxSide)
        Fail(where + ": " + Num(ts.tileCount) + " tiles in " + Num(ts.columns) +
             " columns cannot fit an image");
    for (const auto& [id, tile] : ts.tiles)
        for (const TileFrame& frame : tile.animation)
            if (!Holds(ts, frame.tileId) || frame.duration < 0)
                Fail(where + ": tile " + Num(id) + ": its animation shows tile " +
                     Num(frame.tileId) + " for " + Num(frame.duration) +
                     " ms; the tile set holds tiles 0 to " + Num(ts.tileCount - 1));
}

namespace {

// A collection tile's image named and its size known, its part within it.
void SettleImage(TileInfo& tile, const std::string& here, Reading& reading) {
    if (tile.imagePath.empty())
        Fail(here + ": its image names no file (image data kept inside a file is not read)");
    const int maxSide = Image::MAX_SIDE;
    if (tile.imageWidth > maxSide || tile.imageHeight > maxSide)
        Fail(here + ": an image of " + Num(tile.imageWidth) + " x " + Num(tile.imageHeight) +
             " pixels; each side must be at most " + Num(maxSide));
    if (tile.imageWidth < 1 || tile.imageHeight < 1) {
        ReadImageSize(tile.imagePath, here, reading, tile.imageWidth, tile.imageHeight);
        WholeImageByDefault(tile);
    }
    if (tile.x < 0 || tile.y < 0 || tile.width < 1 || tile.height < 1 ||
        int64_t(tile.x) + tile.width > tile.imageWidth ||
        int64_t(tile.y) + tile.height > tile.imageHeight)
        Fail(here + ": its part of the image, " + Num(tile.width) + " x " + Num(tile.height) +
             " pixels at (" + Num(tile.x) + ", " + Num(tile.y) + "), is not within its " +
             Num(tile.imageWidth) + " x " + Num(tile.imageHeight));
}

} // namespace

void SettleTile(Tileset& ts, int localId, const std::string& where, Reading& reading) {
    TileInfo& tile = ts.tiles.at(localId);
    const std::string here = where + ": tile " + Num(localId);
    SettleImage(tile, here, reading);
    // The tiles it shows in turn are shown too.
    for (const TileFrame& frame : tile.animation) {
        if (!Holds(ts, frame.tileId) || frame.duration < 0)
            Fail(here + ": its animation shows tile " + Num(frame.tileId) + " for " +
                 Num(frame.duration) + " ms, which the tile set does not hold");
        SettleImage(ts.tiles.at(frame.tileId), where + ": tile " + Num(frame.tileId), reading);
    }
}

uint64_t IdSpan(const Tileset& ts) {
    if (!ts.collection)
        return uint64_t(std::max(ts.tileCount, 0));
    return ts.tiles.empty() ? 0 : uint64_t(ts.tiles.rbegin()->first) + 1;
}

void FinishMap(Map& map, Reading& reading) {
    uint32_t previous = 0;
    for (const Tileset& ts : map.tilesets) {
        if (ts.firstGid < 1 || ts.firstGid > GID_MASK || ts.firstGid <= previous)
            Fail(TilesetWhere(map.path, ts) + ": its first id " + std::to_string(ts.firstGid) +
                 (ts.firstGid <= previous && ts.firstGid >= 1
                      ? " is not above the first id of the tile set before it"
                      : " is not a tile id"));
        previous = ts.firstGid;
    }

    Shown shown(map, reading);
    for (const TileLayer& layer : map.layers)
        for (size_t i = 0; i < layer.gids.size(); ++i) {
            const uint32_t gid = layer.gids[i];
            if ((gid & GID_MASK) != 0 && !shown.Held(gid))
                Fail(map.path + ": layer " + Quoted(layer.name) + ": the cell at column " +
                     std::to_string(i % size_t(layer.width)) + ", row " +
                     std::to_string(i / size_t(layer.width)) + " holds tile id " + GidText(gid) +
                     ", which no tile set of the map holds");
        }
    for (const ObjectGroup& group : map.objectGroups)
        for (const Object& object : group.objects)
            if ((object.gid & GID_MASK) != 0 && !shown.Held(object.gid))
                Fail(map.path + ": object layer " + Quoted(group.name) + ": object " +
                     std::to_string(object.id) + " shows tile id " + GidText(object.gid) +
                     ", which no tile set of the map holds");

    for (Tileset& ts : map.tilesets) {
        const std::string where = TilesetWhere(map.path, ts);
        if (!ts.used)
            SettleTileset(ts, false, where, reading);
        if (uint64_t(ts.firstGid) + IdSpan(ts) - 1 > GID_MASK)
            Fail(where + ": its " + std::to_string(IdSpan(ts)) + " tile ids from " +
                 std::to_string(ts.firstGid) + " run past the largest tile id");
        reading.TakeTiles(uint64_t(ts.tileCount), where);
    }

    // A tile object given no size has its tile's, as Tiled places it.
    for (ObjectGroup& group : map.objectGroups)
        for (Object& object : group.objects) {
            if (object.width != 0.0 || object.height != 0.0)
                continue;
            const std::optional<TileRef> ref = map.Resolve(object.gid);
            if (!ref)
                continue;
            const Tileset& ts = map.tilesets[ref->tileset];
            const TileInfo* tile = ts.collection ? ts.FindTile(ref->localId) : nullptr;
            object.width = tile ? tile->width : ts.tileWidth;
            object.height = tile ? tile->height : ts.tileHeight;
        }

    for (const auto& [feature, where] : reading.Notes()) {
        map.unsupported.push_back(feature);
        Log::Warn("TILED", "%s: %s (first on %s) is not read", map.path.c_str(), feature.c_str(),
                  where.c_str());
    }
}

} // namespace Engine::Tiled::Detail
