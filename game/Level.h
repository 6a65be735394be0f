#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <engine/ecs/Types.h>

namespace Engine {

// The level file: a grid of tile codes (a list of columns, each listed top to
// bottom), the tile-set image and the size of one tile in it.
struct LevelData {
    std::vector<std::vector<int>> board;
    std::string tilemapPath;
    int tileW = 0;
    int tileH = 0;
};

// A level file that cannot be used; what() is the reason.
class LevelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace Level {

constexpr const char* PATH = "./Assets/level1.json";
// Collision cells sit on a 64-unit grid whatever the drawn tile size.
constexpr int CELL = 64;
constexpr int EMPTY = -1;
// Passable cells that push upwards.
inline bool IsDraught(int code) {
    return code == 5 || code == 6;
}

// Reads one JSON value from the stream (text after it is ignored) and takes
// "board", "tilemap_path", "tile_w" and "tile_h" from it. Numbers are cut to
// their integer part; anything that is not an int, a missing key, a wrong type
// or a non-positive tile size throws LevelError.
LevelData Parse(std::istream& in);
// The same on text in memory, where the parser runs several times faster
// than on a stream.
LevelData Parse(std::string_view text);
// Parse on the file at path, a regular file read in one go; an unreadable
// file throws LevelError too.
LevelData Load(const std::string& path);

// One collision entity per non-empty cell, column by column, each column top
// down: draught codes get a force zone, every other code a solid block.
// Returns the number of entities made.
size_t CreateCells(const std::vector<std::vector<int>>& board);

} // namespace Level
} // namespace Engine
