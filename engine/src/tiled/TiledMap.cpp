#include <engine/tiled/TiledMap.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "tiled/Reader.h"

namespace Engine::Tiled {

using namespace Detail;

const Property* FindProperty(const Properties& properties, std::string_view name) {
    for (const Property& p : properties)
        if (p.name == name)
            return &p;
    return nullptr;
}

bool GetBool(const Properties& properties, std::string_view name, bool fallback) {
    return GetBool(FindProperty(properties, name), fallback);
}

bool GetBool(const Property* p, bool fallback) {
    return p && p->type == "bool" ? p->value == "true" : fallback;
}

std::string GetString(const Properties& properties, std::string_view name,
                      std::string_view fallback) {
    return GetString(FindProperty(properties, name), fallback);
}

std::string GetString(const Property* p, std::string_view fallback) {
    return std::string(p && p->type == "string" ? std::string_view(p->value) : fallback);
}

std::string GetFile(const Properties& properties, std::string_view name,
                    std::string_view fallback) {
    return GetFile(FindProperty(properties, name), fallback);
}

std::string GetFile(const Property* p, std::string_view fallback) {
    return std::string(p && p->type == "file" && !p->path.empty() ? std::string_view(p->path)
                                                                   : fallback);
}

const Property* LayerProperty(const LayerBase& layer, std::string_view name) {
    if (const Property* own = FindProperty(layer.properties, name))
        return own;
    for (auto group = layer.groups.rbegin(); group != layer.groups.rend(); ++group)
        if (const Property* found = FindProperty(group->properties, name))
            return found;
    return nullptr;
}

double GetNumber(const Properties& properties, std::string_view name, double fallback) {
    return GetNumber(FindProperty(properties, name), fallback);
}

double GetNumber(const Property* p, double fallback) {
    if (!p || (p->type != "int" && p->type != "float"))
        return fallback;
    double value = 0.0;
    const char* end = p->value.data() + p->value.size();
    const auto [at, error] = std::from_chars(p->value.data(), end, value);
    // "nan" and "inf" parse, but are no number a map means.
    return error == std::errc() && at == end && std::isfinite(value) ? value : fallback;
}

const TileInfo* Tileset::FindTile(int localId) const {
    const auto it = tiles.find(localId);
    return it == tiles.end() ? nullptr : &it->second;
}

int Tileset::FrameAt(int localId, double seconds) const {
    const TileInfo* info = tiles.empty() ? nullptr : FindTile(localId);
    if (!info || info->animation.empty())
        return localId;
    long long total = 0;
    for (const TileFrame& frame : info->animation)
        total += std::max(frame.duration, 0);
    if (total <= 0 || !(seconds > 0.0) || !std::isfinite(seconds))
        return info->animation.front().tileId;
    long long at = (long long)std::fmod(std::floor(seconds * 1000.0), double(total));
    for (const TileFrame& frame : info->animation) {
        at -= std::max(frame.duration, 0);
        if (at < 0)
            return frame.tileId;
    }
    return info->animation.back().tileId;
}

std::optional<TileRef> Map::Resolve(uint32_t gid) const {
    const uint32_t id = gid & GID_MASK;
    if (id == 0)
        return std::nullopt;
    auto it = std::upper_bound(tilesets.begin(), tilesets.end(), id,
                               [](uint32_t v, const Tileset& t) { return v < t.firstGid; });
    if (it == tilesets.begin())
        return std::nullopt;
    --it;
    const uint32_t local = id - it->firstGid;
    // A collection's ids may have gaps.
    if (it->collection ? !it->tiles.count(int(local))
                       : local >= uint32_t(std::max(it->tileCount, 0)))
        return std::nullopt;
    return TileRef{static_cast<size_t>(it - tilesets.begin()), static_cast<int>(local),
                   (gid & FLIPPED_HORIZONTALLY) != 0, (gid & FLIPPED_VERTICALLY) != 0,
                   (gid & FLIPPED_DIAGONALLY) != 0};
}

const Object* Map::FindObject(std::string_view name) const {
    for (const ObjectGroup& group : objectGroups)
        for (const Object& object : group.objects)
            if (object.name == name)
                return &object;
    return nullptr;
}

const Object* Map::ObjectOf(const Property* property) const {
    int id = 0;
    if (!property || property->type != "object" || !ParseInt(property->value, id) || id == 0)
        return nullptr;
    for (const ObjectGroup& group : objectGroups)
        for (const Object& object : group.objects)
            if (object.id == id)
                return &object;
    return nullptr;
}

const TileLayer* Map::FindLayer(std::string_view name) const {
    for (const TileLayer& layer : layers)
        if (layer.name == name)
            return &layer;
    return nullptr;
}

const LayerBase& Map::Layer(LayerRef ref) const {
    switch (ref.kind) {
    case LayerKind::Object:
        return objectGroups.at(ref.index);
    case LayerKind::Image:
        return imageLayers.at(ref.index);
    case LayerKind::Tile:
        break;
    }
    return layers.at(ref.index);
}

const TileInfo* Map::TileOf(uint32_t gid) const {
    const std::optional<TileRef> tile = Resolve(gid);
    return tile ? tilesets[tile->tileset].FindTile(tile->localId) : nullptr;
}

const TileInfo* Map::TileOf(const Object& object) const {
    return TileOf(object.gid);
}

const std::string& Map::ClassOf(const Object& object) const {
    const TileInfo* tile = object.className.empty() ? TileOf(object) : nullptr;
    return tile ? tile->className : object.className;
}

const Property* Map::PropertyOf(const Object& object, std::string_view name) const {
    if (const Property* own = FindProperty(object.properties, name))
        return own;
    const TileInfo* tile = TileOf(object);
    return tile ? FindProperty(tile->properties, name) : nullptr;
}

std::vector<const Object*> Map::ObjectsOfClass(std::string_view className) const {
    std::vector<const Object*> found;
    for (const ObjectGroup& group : objectGroups)
        for (const Object& object : group.objects)
            if (ClassOf(object) == className)
                found.push_back(&object);
    return found;
}

ObjectPoint Map::TopLeft(const Object& object) const {
    // Which point of the box (x, y) is, as fractions of its size from its
    // top-left corner; unspecified is the bottom-left, but the bottom-centre
    // on an isometric map.
    const bool tile = (object.gid & GID_MASK) != 0;
    ObjectPoint at{tile && orientation == "isometric" ? 0.5 : 0.0, tile ? 1.0 : 0.0};
    static const std::pair<std::string_view, ObjectPoint> points[] = {
        {"topleft", {0.0, 0.0}},    {"top", {0.5, 0.0}},    {"topright", {1.0, 0.0}},
        {"left", {0.0, 0.5}},       {"center", {0.5, 0.5}}, {"right", {1.0, 0.5}},
        {"bottomleft", {0.0, 1.0}}, {"bottom", {0.5, 1.0}}, {"bottomright", {1.0, 1.0}}};
    if (const std::optional<TileRef> tile = Resolve(object.gid))
        for (const auto& [name, point] : points)
            if (tilesets[tile->tileset].objectAlignment == name)
                at = point;
    return {object.x - at.x * object.width, object.y - at.y * object.height};
}

ObjectPoint Map::DrawnAt(double x, double y) const {
    if (orientation != "isometric")
        return {x, y};
    // Diamonds whose top corners run down from (height * tileWidth / 2, 0),
    // that half rounded down as Tiled rounds it.
    const double u = x / tileHeight, v = y / tileHeight;
    return {(u - v) * tileWidth / 2 + double(int64_t(height) * tileWidth / 2),
            (u + v) * tileHeight / 2};
}

ObjectPoint Map::FromDrawn(double x, double y) const {
    if (orientation != "isometric" || tileWidth <= 0 || tileHeight <= 0)
        return {x, y};
    const double across = (x - double(int64_t(height) * tileWidth / 2)) * 2 / tileWidth;
    const double down = y * 2 / tileHeight;
    return {(down + across) / 2 * tileHeight, (down - across) / 2 * tileHeight};
}

namespace Detail {

HexGrid HexGridOf(const Map& map) {
    HexGrid g;
    g.staggerX = map.staggerAxis == "x";
    g.tileWidth = map.tileWidth & ~1;
    g.tileHeight = map.tileHeight & ~1;
    const int side = map.orientation == "hexagonal" ? map.hexSideLength : 0;
    (g.staggerX ? g.sideX : g.sideY) = side;
    g.columnWidth = (g.tileWidth - g.sideX) / 2 + g.sideX;
    g.rowHeight = (g.tileHeight - g.sideY) / 2 + g.sideY;
    g.stepX = g.staggerX ? g.columnWidth : g.tileWidth + g.sideX;
    g.stepY = g.staggerX ? g.tileHeight + g.sideY : g.rowHeight;
    g.origin = g.staggerX ? map.originX : map.originY;
    g.evenShifted = map.staggerIndex == "even";
    return g;
}

} // namespace Detail

PixelBox Map::CellBox(int column, int row) const {
    const double c = column, r = row;
    if (orientation == "isometric") {
        // The diamond's top corner is where its cell's corner in objects'
        // pixels is drawn; Tiled rounds its half of whole pixels down.
        const ObjectPoint top = DrawnAt(c * tileHeight, r * tileHeight);
        return {top.x - tileWidth / 2, top.y, double(tileWidth), double(tileHeight)};
    }
    if (orientation != "staggered" && orientation != "hexagonal")
        return {c * tileWidth, r * tileHeight, double(tileWidth), double(tileHeight)};
    // A staggered map is a hexagonal one whose sides have no length. Tiled
    // lays the cells out on even sizes, and counts odd and even from its own
    // cell (0, 0), which an infinite map moved.
    const HexGrid g = HexGridOf(*this);
    const bool shifted = g.Shifted(g.staggerX ? column : row);
    const double x = c * g.stepX + (shifted && !g.staggerX ? g.columnWidth : 0);
    const double y = r * g.stepY + (shifted && g.staggerX ? g.rowHeight : 0);
    // On the even height's bottom, as Tiled places a tile.
    return {x, y + g.tileHeight - tileHeight, double(tileWidth), double(tileHeight)};
}

Rectangle Map::Bounds() const {
    const PixelBox e = Extent();
    return {float(e.x), float(e.y), float(e.width), float(e.height)};
}

Rectangle Map::BoxOf(const Object& object) const {
    const ObjectPoint at = TopLeft(object);
    return {float(at.x), float(at.y), float(object.width), float(object.height)};
}

const ObjectGroup* Map::LayerOf(const Object& object) const {
    // By address: names and ids may repeat in a map put together by hand.
    for (const ObjectGroup& group : objectGroups)
        if (!group.objects.empty() && &object >= group.objects.data() &&
            &object < group.objects.data() + group.objects.size())
            return &group;
    return nullptr;
}

namespace {

// How far an object's layer moves it, in objects' pixels.
ObjectPoint LayerShift(const Map& map, const Object& object) {
    const ObjectGroup* group = map.LayerOf(object);
    if (!group)
        return {0.0, 0.0};
    double dx = group->look.offsetX, dy = group->look.offsetY;
    if (map.orientation == "isometric" && map.tileWidth > 0) {
        // DrawnAt's turn undone: objects' pixels run along the diamonds' sides.
        const double across = dx * map.tileHeight / map.tileWidth;
        dx = across + group->look.offsetY;
        dy = group->look.offsetY - across;
    }
    return {dx, dy};
}

} // namespace

Rectangle Map::ShownBoxOf(const Object& object) const {
    const ObjectPoint shift = LayerShift(*this, object);
    const ObjectPoint at = TopLeft(object);
    return {float(at.x + shift.x), float(at.y + shift.y), float(object.width),
            float(object.height)};
}

std::vector<glm::vec2> Map::ShownPointsOf(const Object& object) const {
    std::vector<ObjectPoint> around; // from (x, y), before the turn
    if (object.shape == "polygon" || object.shape == "polyline") {
        around = object.points;
    } else if (object.shape == "point") {
        around.push_back({0.0, 0.0});
    } else {
        const ObjectPoint at = TopLeft(object);
        const double left = at.x - object.x, top = at.y - object.y;
        around = {{left, top},
                  {left + object.width, top},
                  {left + object.width, top + object.height},
                  {left, top + object.height}};
    }
    // In degrees clockwise, y down, as Tiled turns objects.
    const double turn =
        std::isfinite(object.rotation) ? object.rotation * 3.14159265358979323846 / 180.0 : 0.0;
    const double c = std::cos(turn), s = std::sin(turn);
    const ObjectPoint shift = LayerShift(*this, object);
    std::vector<glm::vec2> shown;
    shown.reserve(around.size());
    for (const ObjectPoint& p : around)
        shown.push_back({float(object.x + shift.x + p.x * c - p.y * s),
                         float(object.y + shift.y + p.x * s + p.y * c)});
    return shown;
}

CellShift Map::CellShiftOf(const TileLayer& layer) const {
    auto cells = [](double offset, int cell, int reach) {
        const double n = cell > 0 && std::isfinite(offset) ? offset / cell : 0.0;
        return std::clamp(n, -double(reach), double(reach));
    };
    const double x = cells(layer.look.offsetX, tileWidth, width + layer.width);
    const double y = cells(layer.look.offsetY, tileHeight, height + layer.height);
    const int columns = int(std::lround(x)), rows = int(std::lround(y));
    return {columns, rows, columns == x && rows == y};
}

PixelBox Map::Extent() const {
    // The outermost cells reach furthest: the first and last two rows and
    // columns, the second of each for the staggered ones shifted.
    std::vector<int> columns{0, 1, width - 2, width - 1}, rows{0, 1, height - 2, height - 1};
    double right = 0.0, bottom = 0.0;
    for (const int c : columns)
        for (const int r : rows)
            if (c >= 0 && c < width && r >= 0 && r < height) {
                const PixelBox box = CellBox(c, r);
                right = std::max(right, box.x + box.width);
                bottom = std::max(bottom, box.y + box.height);
            }
    return {0.0, 0.0, right, bottom};
}

std::vector<std::string> Map::Files() const {
    std::vector<std::string> files;
    auto add = [&](const std::string& file) {
        if (!file.empty() && file != path &&
            std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(file);
    };
    for (const Tileset& ts : tilesets) {
        add(ts.source);
        add(ts.imagePath);
        for (const auto& [id, tile] : ts.tiles)
            add(tile.imagePath);
    }
    for (const std::string& file : templates)
        add(file);
    for (const ImageLayer& layer : imageLayers)
        add(layer.imagePath);
    return files;
}

namespace {

bool IsTmxMap(std::string_view t) {
    size_t i = 0;
    const size_t n = t.size();
    auto skipPast = [&](std::string_view end) {
        const size_t at = t.find(end, i);
        i = at == std::string_view::npos ? n : at + end.size();
    };
    while (i < n) {
        if (IsSpace(t[i])) {
            ++i;
        } else if (t.compare(i, 2, "<?") == 0) {
            skipPast("?>");
        } else if (t.compare(i, 4, "<!--") == 0) {
            skipPast("-->");
        } else if (t.compare(i, 2, "<!") == 0) {
            // A document type, perhaps with its own declarations in brackets.
            const size_t bracket = t.find('[', i), close = t.find('>', i);
            i = bracket < close ? bracket : i;
            skipPast(bracket < close ? "]" : ">");
            if (bracket < close)
                skipPast(">");
        } else if (t[i] == '<') {
            const std::string_view rest = t.substr(i + 1);
            return rest.substr(0, 3) == "map" &&
                   (rest.size() == 3 || IsSpace(rest[3]) || rest[3] == '>' || rest[3] == '/');
        } else {
            return false;
        }
    }
    return false;
}

// Finds the object's top-level "type" without building anything: strings
// are skipped whole, nesting is counted. Tiled before 1.2 wrote no "type";
// its maps are told by their "orientation".
bool IsJsonMap(std::string_view t) {
    const size_t n = t.size();
    size_t i = t.find('{') + 1;
    int depth = 1;
    bool key = true;
    bool oriented = false;
    std::string_view lastKey;
    while (i < n) {
        const char c = t[i];
        if (c == '"') {
            size_t j = i + 1;
            while (j < n && t[j] != '"')
                j += t[j] == '\\' ? 2 : 1;
            if (j >= n)
                return false;
            const std::string_view s = t.substr(i + 1, j - i - 1);
            if (depth == 1) {
                if (key)
                    lastKey = s;
                else if (lastKey == "type")
                    return s == "map";
                oriented = oriented || (key && s == "orientation");
            }
            i = j + 1;
            continue;
        }
        if (depth == 1 && !key && lastKey == "type" && !IsSpace(c))
            return false;
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0)
                return oriented;
        } else if (depth == 1 && c == ':') {
            key = false;
        } else if (depth == 1 && c == ',') {
            key = true;
        }
        ++i;
    }
    return false;
}

Map ParseWith(std::string_view text, Reading& reading) {
    const std::string& path = reading.MapPath();
    if (text.size() > reading.GetLimits().maxFileBytes)
        Fail(path + ": " + std::to_string(text.size()) + " bytes, more than the limit of " +
             std::to_string(reading.GetLimits().maxFileBytes));
    return ReadMap(*Open(text, path, reading.GetLimits(), "a TMX (XML) nor a JSON map"), reading);
}

} // namespace

bool IsTiledMap(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    switch (Sniff(text)) {
    case Format::Xml:
        return IsTmxMap(text);
    case Format::Json:
        return IsJsonMap(text);
    case Format::Other:
        break;
    }
    return false;
}

Map Parse(std::string_view text, const std::string& path, const Limits& limits) {
    Reading reading(path, limits);
    return ParseWith(text, reading);
}

Map Load(const std::string& path, const Limits& limits) {
    Reading reading(path, limits);
    const std::string text = reading.ReadFile(path, path);
    return ParseWith(text, reading);
}

Tileset ParseTileset(std::string_view text, const std::string& path, const Limits& limits) {
    Reading reading(path, limits);
    const std::unique_ptr<Document> doc =
        Open(text, path, limits, "a TSX (XML) nor a JSON tile set");
    if (const std::string kind = doc->Kind(); kind != "tileset" && !kind.empty())
        Fail(path + ": a " + Quoted(kind) + ", not a Tiled tile set");
    Tileset tileset = ReadTileset(doc->Root(), path, path + ": tile set", reading);
    const std::string where = path + ": tile set " + Quoted(tileset.name);
    SettleTileset(tileset, true, where, reading);
    for (auto& [id, tile] : tileset.tiles)
        if (tileset.collection)
            SettleTile(tileset, id, where, reading);
    reading.TakeTiles(uint64_t(tileset.tileCount), where);
    tileset.firstGid = 1;
    tileset.used = true;
    return tileset;
}

} // namespace Engine::Tiled
