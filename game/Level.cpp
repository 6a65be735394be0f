#include "game/Level.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <numbers>
#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include <engine/core/Log.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/Transform.h>

#include "game/Tuning.h"

using json = nlohmann::json;

namespace Engine::Level {

namespace {

[[noreturn]] void TypeError(const char* expected, const json& value) {
    throw LevelError(std::string("type must be ") + expected + ", but is " + value.type_name());
}

// The library would read booleans as 0 or 1 and wrap or overflow numbers
// outside the int range; both are rejected here instead.
int ToInt(const json& value) {
    if (!value.is_number())
        TypeError("number", value);
    constexpr auto lo = std::numeric_limits<int>::min();
    constexpr auto hi = std::numeric_limits<int>::max();
    if (value.is_number_unsigned()) {
        auto v = value.get<json::number_unsigned_t>();
        if (v > static_cast<json::number_unsigned_t>(hi))
            throw LevelError("number " + value.dump() + " is out of the 32-bit range");
        return static_cast<int>(v);
    }
    if (value.is_number_integer()) {
        auto v = value.get<json::number_integer_t>();
        if (v < lo || v > hi)
            throw LevelError("number " + value.dump() + " is out of the 32-bit range");
        return static_cast<int>(v);
    }
    double v = std::trunc(value.get<double>());
    if (!(v >= double(lo) && v <= double(hi)))
        throw LevelError("number " + value.dump() + " is out of the 32-bit range");
    return static_cast<int>(v);
}

const json& Array(const json& value) {
    if (!value.is_array())
        TypeError("array", value);
    return value;
}

// The level in a parsed document; keys are looked up as the game always did:
// a missing key reads as null.
LevelData FromDocument(json& doc) {
    LevelData level;
    const json& board = Array(doc["board"]);
    level.board.reserve(board.size());
    for (const json& column : board) {
        level.board.emplace_back();
        level.board.back().reserve(Array(column).size());
        for (const json& cell : column)
            level.board.back().push_back(ToInt(cell));
    }
    const json& path = doc["tilemap_path"];
    if (!path.is_string())
        TypeError("string", path);
    level.tilemapPath = path.get<std::string>();
    level.tileW = ToInt(doc["tile_w"]);
    level.tileH = ToInt(doc["tile_h"]);
    if (level.tileW <= 0 || level.tileH <= 0)
        throw LevelError("tile size " + std::to_string(level.tileW) + " by " +
                         std::to_string(level.tileH) + " is not positive");
    return level;
}

// Whether a JSON document's top-level object has one of the game's own
// format's keys, without keeping anything of it. A Tiled map never has them.
bool HasOwnKeys(std::string_view text) {
    bool found = false;
    auto keep = [&](int depth, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::key && depth == 1 && parsed.is_string()) {
            const auto& key = parsed.get_ref<const std::string&>();
            found = found || key == "board" || key == "tilemap_path" || key == "tile_w" ||
                    key == "tile_h";
        }
        return depth == 0;
    };
    // Text after the value, or a fault in it, leaves what was seen before.
    [[maybe_unused]] const json top = json::parse(text, keep, false);
    return found;
}

// The reason a map cannot be used, without the level's own name in front:
// whoever reports it names the level once already.
LevelError Unusable(const Tiled::MapError& error, const std::string& path) {
    std::string reason = error.what();
    if (reason.rfind(path + ": ", 0) == 0)
        reason.erase(0, path.size() + 2);
    return LevelError(reason);
}

// A regular file larger than this is read as a stream too: no usable level is
// that large (the map reader refuses maps over 32 MiB), and reading it whole,
// a disk image named by mistake say, could take longer than the player waits
// or more memory than there is.
constexpr uintmax_t MAX_READ_WHOLE = uintmax_t(256) << 20;

// The file at path in one read, or, when it is no regular file (a pipe or a
// device could have no end) or too large, open as a stream to be parsed as
// far as the parser needs.
struct Opened {
    std::ifstream in;
    std::optional<std::string> text;
};
Opened Open(const std::string& path) {
    // A directory opens as a stream and then reads as empty input, which
    // would send the user looking for a fault in the JSON.
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw LevelError("cannot open: Is a directory");
    Opened file{std::ifstream(path, std::ios::binary), std::nullopt};
    if (!file.in)
        throw LevelError(std::string("cannot open: ") + std::strerror(errno));
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > MAX_READ_WHOLE || !std::filesystem::is_regular_file(path, error))
        return file;
    // Should the file be cut short meanwhile, the parser meets the end of what
    // was read, as it would on the stream.
    std::string text(size, '\0');
    file.in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.in.gcount()));
    file.text = std::move(text);
    return file;
}

// A tile's collision shape in fractions of the tile, from its top-left.
struct UnitBox {
    double left, top, right, bottom;
};
// The shapes of a tile set's tiles that have them, by local id.
using TileShapes = std::map<int, std::vector<UnitBox>>;

// The rectangle around an object in its tile's pixels, turned about its
// (x, y) as Tiled turns it; nothing (not right of its left) for a point.
UnitBox Around(const Tiled::Object& object) {
    std::vector<Tiled::ObjectPoint> corners = object.points;
    if (object.shape != "polygon" && object.shape != "polyline")
        corners = {{0, 0}, {object.width, 0}, {0, object.height}, {object.width, object.height}};
    const double turn = object.rotation * std::numbers::pi / 180.0;
    const double c = std::cos(turn), s = std::sin(turn);
    constexpr double inf = std::numeric_limits<double>::infinity();
    UnitBox box{inf, inf, -inf, -inf};
    for (const Tiled::ObjectPoint& p : corners) {
        const double x = object.x + p.x * c - p.y * s, y = object.y + p.x * s + p.y * c;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
               std::max(box.bottom, y)};
    }
    return box;
}

// The fish the map's fish objects place (nothing when it has none), fish
// tile objects hidden: the fish is drawn in their place. Each where Tiled
// shows it, its layer's offset included.
std::optional<std::vector<FishPlace>> FishOf(Tiled::Map& map) {
    std::optional<std::vector<FishPlace>> fish;
    size_t unplaced = 0, over = 0;
    for (Tiled::ObjectGroup& group : map.objectGroups) {
        for (Tiled::Object& object : group.objects) {
            if (object.name != FISH_OBJECT && map.ClassOf(object) != FISH_OBJECT)
                continue;
            if (!fish)
                fish.emplace();
            const bool tile = map.Resolve(object.gid).has_value();
            const bool shown = group.visible && object.visible;
            if (tile)
                object.visible = false;
            if (!shown)
                continue;
            if (fish->size() == MAX_FISH) {
                ++over;
                continue;
            }
            double left, top, right;
            if (tile || object.shape == "point") {
                const Tiled::ObjectPoint at =
                    tile ? map.TopLeft(object) : Tiled::ObjectPoint{object.x, object.y};
                left = at.x;
                top = at.y;
                right = left + (Tuning::PatrolMax - Tuning::PatrolMin) + Tuning::FishSize;
            } else {
                const UnitBox box = Around(object);
                left = box.left;
                top = box.top;
                right = box.right;
            }
            left += group.look.offsetX;
            right += group.look.offsetX;
            top += group.look.offsetY;
            const FishPlace place{
                glm::vec3(float(left), float(top), 0.0f),
                Lane{float(left), float(std::max(left, right - Tuning::FishSize))}};
            // Also what is not a number, or past what a float holds.
            if (!std::isfinite(place.start.x) || !std::isfinite(place.start.y) ||
                !std::isfinite(place.lane.max)) {
                ++unplaced;
                continue;
            }
            fish->push_back(place);
        }
    }
    if (unplaced)
        Log::Warn("LEVEL", "%s: %zu fish objects are nowhere a fish can swim and place none",
                  map.path.c_str(), unplaced);
    if (over)
        Log::Warn("LEVEL", "%s: %zu fish objects past the first %zu place none", map.path.c_str(),
                  over, MAX_FISH);
    return fish;
}

// Every tile set's shapes as fractions of their tiles, cut to the tile; a
// tile set with shapes other than upright rectangles warns once, naming them.
std::vector<TileShapes> ShapesOf(const Tiled::Map& map) {
    std::vector<TileShapes> sets(map.tilesets.size());
    for (size_t i = 0; i < map.tilesets.size(); ++i) {
        const Tiled::Tileset& ts = map.tilesets[i];
        std::set<std::string> others;
        for (const auto& [id, tile] : ts.tiles) {
            if (tile.objects.empty())
                continue;
            std::vector<UnitBox>& boxes = sets[i][id];
            const double w = ts.collection ? tile.width : ts.tileWidth;
            const double h = ts.collection ? tile.height : ts.tileHeight;
            if (!(w > 0 && h > 0))
                continue; // a tile no cell shows
            for (const Tiled::Object& object : tile.objects) {
                std::string shape = object.rotation != 0.0 ? "turned " + object.shape : object.shape;
                if (shape != "rectangle")
                    others.insert(std::move(shape));
                const UnitBox around = Around(object);
                const UnitBox box{std::max(around.left / w, 0.0), std::max(around.top / h, 0.0),
                                  std::min(around.right / w, 1.0),
                                  std::min(around.bottom / h, 1.0)};
                // Also drops what is not a number.
                if (box.right > box.left && box.bottom > box.top)
                    boxes.push_back(box);
            }
        }
        std::string list;
        for (const std::string& shape : others)
            list += (list.empty() ? "" : ", ") + shape;
        if (!others.empty())
            Log::Warn("LEVEL",
                      "%s: tile set \"%s\": collision shapes that are not upright rectangles (%s) "
                      "collide as the rectangles around them, points not at all",
                      map.path.c_str(), Tiled::Printable(ts.name).c_str(), list.c_str());
    }
    return sets;
}

// A tile's shapes in cell (x, y), turned as the tile is.
void PlaceShapes(const std::vector<UnitBox>& shapes, const Tiled::TileRef& tile, size_t x,
                 size_t y, int cellW, int cellH, std::vector<CellBox>& boxes) {
    for (UnitBox b : shapes) {
        if (tile.flipD)
            b = {b.top, b.left, b.bottom, b.right};
        if (tile.flipH)
            b = {1.0 - b.right, b.top, 1.0 - b.left, b.bottom};
        if (tile.flipV)
            b = {b.left, 1.0 - b.bottom, b.right, 1.0 - b.top};
        boxes.push_back({x, y, static_cast<float>(cellW * (double(x) + b.left)),
                         static_cast<float>(cellH * (double(y) + b.top)),
                         static_cast<float>(cellW * (b.right - b.left)),
                         static_cast<float>(cellH * (b.bottom - b.top))});
    }
}

} // namespace

LevelData Parse(std::istream& in) {
    json doc;
    try {
        in >> doc;
        return FromDocument(doc);
    } catch (const json::exception& error) {
        throw LevelError(error.what());
    }
}

LevelData Parse(std::string_view text) {
    json doc;
    try {
        // What `stream >> doc` does, on memory: one value, the rest ignored.
        nlohmann::detail::json_sax_dom_parser<json> builder(doc, true);
        json::sax_parse(text.data(), text.data() + text.size(), &builder,
                        json::input_format_t::json, false);
        return FromDocument(doc);
    } catch (const json::exception& error) {
        throw LevelError(error.what());
    }
}

LevelData Load(const std::string& path) {
    Opened file = Open(path);
    if (!file.text)
        return Parse(file.in);
    const std::string& text = *file.text;
    // A document with a key of the game's own format is a level of it, even
    // one that also calls itself a map.
    if (!Tiled::IsTiledMap(text) || HasOwnKeys(text))
        return Parse(text);
    try {
        // The reader holds the map to its size limit, as every file it reads.
        return FromMap(Tiled::Parse(text, path));
    } catch (const Tiled::MapError& error) {
        throw Unusable(error, path);
    }
}

LevelData LoadOwnFormat(const std::string& path) {
    Opened file = Open(path);
    return file.text ? Parse(*file.text) : Parse(file.in);
}

LoadedLevel Prepare(LevelData data, const std::string& path, LevelContent& content,
                    glm::vec2 boatSize) {
    LoadedLevel level;
    level.files.push_back(path);
    auto name = [&](const std::string& file) {
        if (!file.empty() &&
            std::find(level.files.begin(), level.files.end(), file) == level.files.end())
            level.files.push_back(file);
    };
    if (data.map) {
        const std::shared_ptr<const Tiled::Map>& map = data.map;
        const auto textures =
            std::make_shared<const Tiled::MapTextures>(content.LoadTextures(*map));
        if (const std::optional<Tiled::MapBackground> background = Tiled::BackgroundOf(*map))
            level.layers.emplace_back(*background);
        // Layers above the one that holds the boat's start go in front; the
        // rest, as all of a map without a start, behind the boat and the fish.
        const std::vector<Tiled::LayerRef>& order = map->layerOrder;
        size_t boatAt = order.size();
        if (const Tiled::Object* start = map->FindObject(PLAYER_OBJECT)) {
            const Tiled::LayerRef group{Tiled::LayerKind::Object,
                                        size_t(map->LayerOf(*start) - map->objectGroups.data())};
            boatAt = size_t(std::find(order.begin(), order.end(), group) - order.begin());
        }
        size_t at = 0;
        for (Tiled::MapLayer& layer : Tiled::MakeLayers(map, textures)) {
            while (at < order.size() && !(order[at] == layer.layer))
                ++at;
            if (at > boatAt)
                level.layers.emplace_back(Foreground{std::move(layer)});
            else
                level.layers.emplace_back(std::move(layer));
        }
        // A file the map names but does not show may be missing, as in Tiled;
        // watched, it would hold back each reload by the watch's wait for a gone file.
        std::error_code error;
        for (const std::string& file : map->Files())
            if (std::filesystem::exists(file, error))
                name(file);
        level.cells = std::move(data.cells);
        level.cellW = data.cellW;
        level.cellH = data.cellH;
        level.start = data.playerStart
                          ? *data.playerStart
                          : DefaultStart(level.cells.grid, level.cellW, level.cellH, boatSize);
        level.fish = std::move(data.fish);
    } else {
        Ref<Texture2D> sheet = content.LoadTexture(data.tilemapPath);
        name(data.tilemapPath);
        level.cells.grid = CellsOf(data.board);
        level.cellW = level.cellH = CELL;
        // The board is handed over, not copied: a large level's is megabytes.
        level.layers.emplace_back(std::in_place_type<TileMap>, sheet, std::move(data.board),
                                  data.tileW, data.tileH);
        level.start = Tuning::PlayerStart;
    }
    return level;
}

LevelData FromMap(Tiled::Map map, uint64_t maxBoxes) {
    // The boat falls down the screen and stands on cells' tops: on diamonds
    // or hexagons it would play on a grid other than the one drawn.
    if (map.orientation != "orthogonal")
        throw Tiled::MapError(map.path + ": the map is " + map.orientation +
                              "; a level of this side-view game must be an orthogonal map");
    LevelData level;
    level.cellW = map.tileWidth;
    level.cellH = map.tileHeight;
    const auto width = static_cast<size_t>(std::max(map.width, 0));
    const auto height = static_cast<size_t>(std::max(map.height, 0));
    std::vector<std::vector<Cell>>& grid = level.cells.grid;
    std::vector<CellBox>& boxes = level.cells.boxes;
    grid.assign(width, std::vector<Cell>(height, Cell::Empty));
    const std::vector<TileShapes> shapes = ShapesOf(map);
    for (const Tiled::TileLayer& layer : map.layers) {
        // A group's "collides" holds for the layers in it that do not say.
        if (!layer.visible || !Tiled::GetBool(Tiled::LayerProperty(layer, COLLIDES_PROPERTY), true))
            continue;
        // Moved by its offset as it is drawn, to the nearest whole cell.
        const Tiled::CellShift shift = map.CellShiftOf(layer);
        if (!shift.whole)
            Log::Warn("LEVEL",
                      "%s: tile layer %d is moved by (%g, %g) pixels, not whole cells: it "
                      "collides moved by (%d, %d) cells",
                      map.path.c_str(), layer.id, layer.look.offsetX, layer.look.offsetY,
                      shift.columns, shift.rows);
        const int dx = shift.columns, dy = shift.rows;
        for (int ly = std::max(0, -dy); ly < std::min(layer.height, map.height - dy); ++ly) {
            for (int lx = std::max(0, -dx); lx < std::min(layer.width, map.width - dx); ++lx) {
                const auto x = static_cast<size_t>(lx + dx), y = static_cast<size_t>(ly + dy);
                const std::optional<Tiled::TileRef> tile = map.Resolve(layer.At(lx, ly));
                if (!tile)
                    continue;
                const Tiled::TileInfo* info = map.tilesets[tile->tileset].FindTile(tile->localId);
                const std::string_view kind = info ? info->className : std::string_view();
                Cell& cell = grid[x][y];
                if (kind == DECORATION_CLASS)
                    continue;
                if (kind == DRAUGHT_CLASS) {
                    if (cell == Cell::Empty)
                        cell = Cell::Draught;
                } else if (!info || info->objects.empty()) {
                    cell = Cell::Solid;
                } else if (cell != Cell::Solid) {
                    const size_t before = boxes.size();
                    const std::vector<UnitBox>& own = shapes[tile->tileset].at(tile->localId);
                    // Each cell repeats its tile's shapes: a map may not
                    // multiply them past what it may have of cells.
                    if (before + own.size() > maxBoxes)
                        throw Tiled::MapError("its tiles' collision shapes make more than " +
                                              std::to_string(maxBoxes) + " boxes in its cells");
                    PlaceShapes(own, *tile, x, y, level.cellW, level.cellH, boxes);
                    if (boxes.size() > before)
                        cell = Cell::Shaped;
                }
            }
        }
    }
    // A cell a whole tile fills later has no use for its boxes.
    std::erase_if(boxes, [&](const CellBox& box) { return grid[box.x][box.y] != Cell::Shaped; });
    std::stable_sort(boxes.begin(), boxes.end(), [](const CellBox& a, const CellBox& b) {
        return std::tie(a.x, a.y) < std::tie(b.x, b.y);
    });
    if (const Tiled::Object* start = map.FindObject(PLAYER_OBJECT)) {
        const Rectangle shown = map.ShownBoxOf(*start);
        level.playerStart = glm::vec3(shown.x, shown.y, 0.0f);
    }
    level.fish = FishOf(map);
    level.map = std::make_shared<const Tiled::Map>(std::move(map));
    return level;
}

glm::vec3 DefaultStart(const std::vector<std::vector<Cell>>& cells, int cellW, int cellH,
                       glm::vec2 size) {
    if (cellW <= 0 || cellH <= 0 || !(size.x > 0.0f) || !(size.y > 0.0f))
        return glm::vec3(0.0f);
    // With its top-left corner on a cell's, the boat covers k columns and m
    // rows. The block of them whose bottom-right cell is (c, y) is clear when
    // k columns side by side up to c each have m cells free of walls up to
    // row y. So one pass over the cells finds both places, however a map is
    // drawn to slow a search cell by cell.
    const auto k = static_cast<size_t>(std::ceil(double(size.x) / cellW));
    const auto m = static_cast<size_t>(std::ceil(double(size.y) / cellH));
    size_t height = 0;
    for (const auto& column : cells)
        height = std::max(height, column.size());
    auto solid = [&](size_t x, size_t y) {
        return y < cells[x].size() && (cells[x][y] == Cell::Solid || cells[x][y] == Cell::Shaped);
    };
    // run[y]: free cells up to row y in column c; wide[y]: columns side by
    // side up to c with a run of at least m there.
    std::vector<size_t> run(height, 0), wide(height, 0);
    std::optional<glm::vec3> clear;
    for (size_t c = 0; c < cells.size(); ++c) {
        for (size_t y = 0; y < height; ++y) {
            run[y] = solid(c, y) ? 0 : (y > 0 ? run[y - 1] : 0) + 1;
            wide[y] = run[y] >= m ? wide[y] + 1 : 0;
        }
        if (c + 1 < k)
            continue;
        const size_t x = c + 1 - k;
        auto at = [&](size_t row) {
            return glm::vec3(float(cellW) * float(x), float(cellH) * float(row), 0.0f);
        };
        for (size_t y = 0; y < height; ++y) {
            if (solid(x, y) && y >= m && wide[y - 1] >= k)
                return at(y) - glm::vec3(0.0f, size.y, 0.0f);
            if (!clear && y + 1 >= m && wide[y] >= k)
                clear = at(y + 1 - m);
        }
    }
    return clear.value_or(glm::vec3(0.0f));
}

std::vector<std::vector<Cell>> CellsOf(const std::vector<std::vector<int>>& board) {
    std::vector<std::vector<Cell>> cells(board.size());
    for (size_t x = 0; x < board.size(); ++x) {
        cells[x].reserve(board[x].size());
        for (int code : board[x])
            cells[x].push_back(code == EMPTY    ? Cell::Empty
                               : IsDraught(code) ? Cell::Draught
                                                 : Cell::Solid);
    }
    return cells;
}

size_t CreateCells(const LevelCells& cells, int cellW, int cellH, std::vector<EntityID>* made) {
    ECS& ecs = ECS::Get();
    // Room for every record first: a large level would otherwise grow each
    // store many times over.
    size_t count = cells.boxes.size(), draughts = 0;
    for (const auto& column : cells.grid)
        for (Cell cell : column) {
            count += cell == Cell::Solid || cell == Cell::Draught;
            draughts += cell == Cell::Draught;
        }
    ecs.ReserveEntities(count);
    ecs.ReserveComponents<Transform>(count);
    ecs.ReserveComponents<Collider>(count);
    ecs.ReserveComponents<ForceApplier>(draughts);
    if (made)
        made->reserve(made->size() + count);
    size_t n = 0;
    auto block = [&](glm::vec3 position, float w, float h) {
        EntityID e = ecs.CreateEntity();
        ++n;
        ecs.AddComponent<Transform>(e, position, glm::vec3(0), glm::vec3(w, h, 0));
        if (made)
            made->push_back(e);
        return e;
    };
    const float w = static_cast<float>(cellW), h = static_cast<float>(cellH);
    auto box = cells.boxes.begin();
    for (size_t x = 0; x < cells.grid.size(); ++x) {
        for (size_t y = 0; y < cells.grid[x].size(); ++y) {
            // In float: a cell size times an index past 2^25 would overflow an int.
            const glm::vec3 position(w * float(x), h * float(y), 0.0f);
            switch (cells.grid[x][y]) {
            case Cell::Empty:
                break;
            case Cell::Solid:
                ecs.AddComponent<Collider>(block(position, w, h), Collider{w, h, true});
                break;
            case Cell::Draught: {
                const EntityID zone = block(position, w, h);
                ecs.AddComponent<ForceApplier>(zone,
                                               ForceApplier{{0.0f, Tuning::DraughtForce, 0.0f}});
                ecs.AddComponent<Collider>(zone, Collider{w, h, false});
                break;
            }
            case Cell::Shaped:
                for (; box != cells.boxes.end() && std::tie(box->x, box->y) <= std::tie(x, y);
                     ++box)
                    if (box->x == x && box->y == y)
                        ecs.AddComponent<Collider>(
                            block({box->left, box->top, 0.0f}, box->width, box->height),
                            Collider{box->width, box->height, true});
                break;
            }
        }
    }
    return n;
}

bool HitsSolid(const LevelCells& cells, int cellW, int cellH, glm::vec3 position, glm::vec2 size) {
    if (cellW <= 0 || cellH <= 0 || !(size.x > 0.0f) || !(size.y > 0.0f))
        return false;
    auto hitsBoxes = [&](size_t x, size_t y) {
        for (auto box = std::lower_bound(cells.boxes.begin(), cells.boxes.end(), std::tie(x, y),
                                         [](const CellBox& b, const auto& cell) {
                                             return std::tie(b.x, b.y) < cell;
                                         });
             box != cells.boxes.end() && box->x == x && box->y == y; ++box)
            if (box->left < position.x + size.x && position.x < box->left + box->width &&
                box->top < position.y + size.y && position.y < box->top + box->height)
                return true;
        return false;
    };
    // The cells the open rectangle meets; far outside the grid there are none.
    auto first = [](double at, int cell) { return std::floor(at / cell); };
    auto last = [](double at, int cell) { return std::ceil(at / cell) - 1.0; };
    const double x0 = std::max(0.0, first(position.x, cellW));
    const double x1 = std::min(double(cells.grid.size()) - 1.0, last(position.x + size.x, cellW));
    for (double x = x0; x <= x1; ++x) {
        const auto& column = cells.grid[static_cast<size_t>(x)];
        const double y0 = std::max(0.0, first(position.y, cellH));
        const double y1 = std::min(double(column.size()) - 1.0, last(position.y + size.y, cellH));
        for (double y = y0; y <= y1; ++y) {
            const Cell cell = column[static_cast<size_t>(y)];
            if (cell == Cell::Solid ||
                (cell == Cell::Shaped && hitsBoxes(static_cast<size_t>(x), static_cast<size_t>(y))))
                return true;
        }
    }
    return false;
}

size_t CreateCells(const std::vector<std::vector<int>>& board) {
    return CreateCells(LevelCells{CellsOf(board), {}}, CELL, CELL);
}

} // namespace Engine::Level

namespace Engine {

LevelData LevelContent::LoadLevel(const std::string& path, bool named) {
    return named ? Level::Load(path) : Level::LoadOwnFormat(path);
}

Ref<Texture2D> LevelContent::LoadTexture(const std::string& path) {
    return Texture2D::Create(path);
}

Tiled::MapTextures LevelContent::LoadTextures(const Tiled::Map& map) {
    try {
        return m_textures.Load(map);
    } catch (const Tiled::MapError& error) {
        throw Level::Unusable(error, map.path);
    }
}

} // namespace Engine
