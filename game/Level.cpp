#include "game/Level.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include <nlohmann/json.hpp>

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
        for (Tiled::MapLayer& layer : Tiled::MakeLayers(map, textures))
            level.layers.emplace_back(std::move(layer));
        // A file the map names but does not show may be missing, as in Tiled;
        // watched, it would hold back every reload.
        std::error_code error;
        for (const std::string& file : map->Files())
            if (std::filesystem::exists(file, error))
                name(file);
        level.cells = std::move(data.cells);
        level.cellW = data.cellW;
        level.cellH = data.cellH;
        level.start = data.playerStart
                          ? *data.playerStart
                          : DefaultStart(level.cells, level.cellW, level.cellH, boatSize);
    } else {
        Ref<Texture2D> sheet = content.LoadTexture(data.tilemapPath);
        name(data.tilemapPath);
        level.cells = CellsOf(data.board);
        level.cellW = level.cellH = CELL;
        // The board is handed over, not copied: a large level's is megabytes.
        level.layers.emplace_back(std::in_place_type<TileMap>, sheet, std::move(data.board),
                                  data.tileW, data.tileH);
        level.start = Tuning::PlayerStart;
    }
    return level;
}

LevelData FromMap(Tiled::Map map) {
    LevelData level;
    level.cellW = map.tileWidth;
    level.cellH = map.tileHeight;
    const auto width = static_cast<size_t>(std::max(map.width, 0));
    const auto height = static_cast<size_t>(std::max(map.height, 0));
    level.cells.assign(width, std::vector<Cell>(height, Cell::Empty));
    for (const Tiled::TileLayer& layer : map.layers) {
        if (!layer.visible || !Tiled::GetBool(layer.properties, COLLIDES_PROPERTY, true))
            continue;
        const size_t w = std::min(width, static_cast<size_t>(std::max(layer.width, 0)));
        const size_t h = std::min(height, static_cast<size_t>(std::max(layer.height, 0)));
        for (size_t y = 0; y < h; ++y) {
            for (size_t x = 0; x < w; ++x) {
                const std::optional<Tiled::TileRef> tile =
                    map.Resolve(layer.At(static_cast<int>(x), static_cast<int>(y)));
                if (!tile)
                    continue;
                const Tiled::TileInfo* info = map.tilesets[tile->tileset].FindTile(tile->localId);
                const std::string_view kind = info ? info->className : std::string_view();
                Cell& cell = level.cells[x][y];
                if (kind == DECORATION_CLASS)
                    continue;
                if (kind != DRAUGHT_CLASS)
                    cell = Cell::Solid;
                else if (cell == Cell::Empty)
                    cell = Cell::Draught;
            }
        }
    }
    if (const Tiled::Object* start = map.FindObject(PLAYER_OBJECT)) {
        const Tiled::ObjectPoint topLeft = map.TopLeft(*start);
        level.playerStart =
            glm::vec3(static_cast<float>(topLeft.x), static_cast<float>(topLeft.y), 0.0f);
    }
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
        return y < cells[x].size() && cells[x][y] == Cell::Solid;
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

size_t CreateCells(const std::vector<std::vector<Cell>>& cells, int cellW, int cellH,
                   std::vector<EntityID>* made) {
    ECS& ecs = ECS::Get();
    // Room for every record first: a large level would otherwise grow each
    // store many times over.
    size_t count = 0, draughts = 0;
    for (const auto& column : cells)
        for (Cell cell : column) {
            count += cell != Cell::Empty;
            draughts += cell == Cell::Draught;
        }
    ecs.ReserveEntities(count);
    ecs.ReserveComponents<Transform>(count);
    ecs.ReserveComponents<Collider>(count);
    ecs.ReserveComponents<ForceApplier>(draughts);
    const float w = static_cast<float>(cellW), h = static_cast<float>(cellH);
    if (made)
        made->reserve(made->size() + count);
    size_t n = 0;
    for (size_t x = 0; x < cells.size(); ++x) {
        for (size_t y = 0; y < cells[x].size(); ++y) {
            const Cell cell = cells[x][y];
            if (cell == Cell::Empty)
                continue;
            EntityID block = ecs.CreateEntity();
            // In float: a cell size times an index past 2^25 would overflow an int.
            glm::vec3 position(w * float(x), h * float(y), 0.0f);
            ecs.AddComponent<Transform>(block, position, glm::vec3(0), glm::vec3(w, h, 0));
            if (cell == Cell::Draught) {
                ecs.AddComponent<ForceApplier>(block,
                                               ForceApplier{{0.0f, Tuning::DraughtForce, 0.0f}});
                ecs.AddComponent<Collider>(block, Collider{w, h, false});
            } else {
                ecs.AddComponent<Collider>(block, Collider{w, h, true});
            }
            if (made)
                made->push_back(block);
            ++n;
        }
    }
    return n;
}

bool HitsSolid(const std::vector<std::vector<Cell>>& cells, int cellW, int cellH,
               glm::vec3 position, glm::vec2 size) {
    if (cellW <= 0 || cellH <= 0 || !(size.x > 0.0f) || !(size.y > 0.0f))
        return false;
    // The cells the open rectangle meets; far outside the grid there are none.
    auto first = [](double at, int cell) { return std::floor(at / cell); };
    auto last = [](double at, int cell) { return std::ceil(at / cell) - 1.0; };
    const double x0 = std::max(0.0, first(position.x, cellW));
    const double x1 = std::min(double(cells.size()) - 1.0, last(position.x + size.x, cellW));
    for (double x = x0; x <= x1; ++x) {
        const auto& column = cells[static_cast<size_t>(x)];
        const double y0 = std::max(0.0, first(position.y, cellH));
        const double y1 = std::min(double(column.size()) - 1.0, last(position.y + size.y, cellH));
        for (double y = y0; y <= y1; ++y)
            if (column[static_cast<size_t>(y)] == Cell::Solid)
                return true;
    }
    return false;
}

size_t CreateCells(const std::vector<std::vector<int>>& board) {
    return CreateCells(CellsOf(board), CELL, CELL);
}

} // namespace Engine::Level

namespace Engine {

LevelData LevelContent::LoadLevel(const std::string& path, bool named) {
    return named ? Level::Load(path) : Level::LoadOwnFormat(path);
}

Ref<Texture2D> LevelContent::LoadTexture(const std::string& path) {
    return Texture2D::Create(path);
}

std::vector<Ref<Texture2D>> LevelContent::LoadSheets(const Tiled::Map& map) {
    try {
        return Tiled::LoadSheets(map);
    } catch (const Tiled::MapError& error) {
        throw Level::Unusable(error, map.path);
    }
}

Tiled::MapTextures LevelContent::LoadTextures(const Tiled::Map& map) {
    const std::vector<Ref<Texture2D>> sheets = LoadSheets(map);
    try {
        return Tiled::CreateTextures(sheets, Tiled::DecodePictures(map));
    } catch (const Tiled::MapError& error) {
        throw Level::Unusable(error, map.path);
    }
}

} // namespace Engine
