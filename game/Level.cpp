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

namespace {

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

// Reads a well-formed level straight into LevelData, without building the
// document: an object holding each of the four keys once, "board" an array of
// arrays of whole numbers in the int range, "tilemap_path" a string and the
// tile sizes whole positive numbers. Anything else, a syntax error included,
// stops it, and the document reader then says what is wrong, as it always
// did.
class QuickLevel {
public:
    bool Read(std::string_view text) {
        return json::sax_parse(text.data(), text.data() + text.size(), this,
                               json::input_format_t::json, false) &&
               m_depth == 0 && m_seen == ALL && m_level.tileW > 0 && m_level.tileH > 0;
    }
    LevelData Take() { return std::move(m_level); }

    // The parser's events.
    bool null() { return Other(); }
    bool boolean(bool) { return Other(); }
    bool number_integer(json::number_integer_t v) { return Number(v); }
    bool number_unsigned(json::number_unsigned_t v) {
        return v <= json::number_unsigned_t(std::numeric_limits<int>::max()) &&
               Number(json::number_integer_t(v));
    }
    bool number_float(json::number_float_t, const std::string&) { return Other(); }
    bool string(std::string& v) {
        if (Other())
            return true;
        if (m_depth != 1 || m_key != PATH)
            return false;
        m_level.tilemapPath = std::move(v);
        return true;
    }
    bool binary(json::binary_t&) { return false; }
    bool start_object(std::size_t) {
        if (m_depth == 0 || Skipping()) {
            ++m_depth;
            return true;
        }
        return Open(); // an object as the value of another key is skipped
    }
    bool key(std::string& k) {
        if (Skipping())
            return true;
        m_key = k == "board"          ? BOARD
                : k == "tilemap_path" ? PATH
                : k == "tile_w"       ? TILE_W
                : k == "tile_h"       ? TILE_H
                                      : NONE;
        // A key given twice: the document reader's last-one-wins takes over.
        if (m_key != NONE && (m_seen & m_key))
            return false;
        m_seen |= m_key;
        return true;
    }
    bool end_object() {
        --m_depth;
        if (m_skipFrom && m_depth < m_skipFrom)
            m_skipFrom = 0;
        return true;
    }
    bool start_array(std::size_t) {
        if (Skipping()) {
            ++m_depth;
            return true;
        }
        if (m_depth == 1 && m_key == BOARD) {
            ++m_depth;
            return true;
        }
        if (m_depth == 2) { // a column
            ++m_depth;
            m_level.board.emplace_back();
            return true;
        }
        return Open();
    }
    bool end_array() {
        --m_depth;
        if (m_skipFrom && m_depth < m_skipFrom)
            m_skipFrom = 0;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

private:
    enum : unsigned { NONE = 0, BOARD = 1, PATH = 2, TILE_W = 4, TILE_H = 8, ALL = 15 };

    bool Skipping() const { return m_skipFrom != 0; }
    // The value of a key of no interest: skipped down to its end.
    bool Open() {
        if (m_depth != 1 || m_key != NONE)
            return false;
        m_skipFrom = ++m_depth;
        return true;
    }
    bool Other() { return Skipping() || (m_depth == 1 && m_key == NONE); }
    bool Number(json::number_integer_t v) {
        if (Skipping() || (m_depth == 1 && m_key == NONE))
            return true;
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
            return false;
        if (m_depth == 3) {
            m_level.board.back().push_back(int(v));
            return true;
        }
        if (m_depth == 1 && m_key == TILE_W)
            m_level.tileW = int(v);
        else if (m_depth == 1 && m_key == TILE_H)
            m_level.tileH = int(v);
        else
            return false;
        return true;
    }

    LevelData m_level;
    int m_depth = 0;
    // Depth of the value being skipped, 0 when none is.
    int m_skipFrom = 0;
    unsigned m_key = NONE;
    unsigned m_seen = NONE;
};

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
    QuickLevel quick;
    if (quick.Read(text))
        return quick.Take();
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
