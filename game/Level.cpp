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
    // A directory opens as a stream and then reads as empty input, which
    // would send the user looking for a fault in the JSON.
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw LevelError("cannot open: Is a directory");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw LevelError(std::string("cannot open: ") + std::strerror(errno));
    // A pipe or a device could have no end: read as a stream, as far as the
    // parser needs.
    const auto size = std::filesystem::file_size(path, error);
    if (error || !std::filesystem::is_regular_file(path, error))
        return Parse(in);
    // A regular file in one read. Should it be cut short meanwhile, the parser
    // meets the end of what was read, as it would on the stream.
    std::string text(size, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (!Tiled::IsTiledMap(text))
        return Parse(text);
    try {
        // The reader holds the map to its size limit, as every file it reads.
        return FromMap(Tiled::Parse(text, path));
    } catch (const Tiled::MapError& map) {
        // The reason names the file at fault; the level's own name is said
        // once already by whoever reports it.
        std::string reason = map.what();
        if (reason.rfind(path + ": ", 0) == 0)
            reason.erase(0, path.size() + 2);
        throw LevelError(reason);
    }
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
        // A tile object stands on its (x, y); any other object hangs from it.
        const double top = start->gid ? start->y - start->height : start->y;
        level.playerStart = glm::vec3(static_cast<float>(start->x), static_cast<float>(top), 0.0f);
    }
    level.map = std::make_shared<const Tiled::Map>(std::move(map));
    return level;
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
