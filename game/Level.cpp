#include "game/Level.h"

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
    return Parse(text);
}

size_t CreateCells(const std::vector<std::vector<int>>& board) {
    ECS& ecs = ECS::Get();
    // Room for every record first: a large level would otherwise grow each
    // store many times over.
    size_t cells = 0, draughts = 0;
    for (const auto& column : board)
        for (int code : column) {
            cells += code != EMPTY;
            draughts += IsDraught(code);
        }
    ecs.ReserveEntities(cells);
    ecs.ReserveComponents<Transform>(cells);
    ecs.ReserveComponents<Collider>(cells);
    ecs.ReserveComponents<ForceApplier>(draughts);
    size_t made = 0;
    for (size_t x = 0; x < board.size(); ++x) {
        for (size_t y = 0; y < board[x].size(); ++y) {
            int code = board[x][y];
            if (code == EMPTY)
                continue;
            EntityID block = ecs.CreateEntity();
            // In float: 64 times an index past 2^25 would overflow an int.
            glm::vec3 position(float(CELL) * float(x), float(CELL) * float(y), 0.0f);
            ecs.AddComponent<Transform>(block, position, glm::vec3(0), glm::vec3(CELL, CELL, 0));
            if (IsDraught(code)) {
                ecs.AddComponent<ForceApplier>(block,
                                               ForceApplier{{0.0f, Tuning::DraughtForce, 0.0f}});
                ecs.AddComponent<Collider>(block, Collider{float(CELL), float(CELL), false});
            } else {
                ecs.AddComponent<Collider>(block, Collider{float(CELL), float(CELL), true});
            }
            ++made;
        }
    }
    return made;
}

} // namespace Engine::Level
