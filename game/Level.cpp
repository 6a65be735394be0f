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

} // namespace

LevelData Parse(std::istream& in) {
    json doc;
    try {
        in >> doc;
        // Keys are looked up as the game always did: a missing key reads as null.
        LevelData level;
        for (const json& column : Array(doc["board"])) {
            level.board.emplace_back();
            for (const json& cell : Array(column))
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
    return Parse(in);
}

size_t CreateCells(const std::vector<std::vector<int>>& board) {
    ECS& ecs = ECS::Get();
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
