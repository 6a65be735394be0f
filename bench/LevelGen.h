#pragma once

// Generated levels for measuring: the shipped level's kind of ground repeated
// to any number of non-empty cells, solid tiles and draughts mixed.

#include <fstream>
#include <string>
#include <vector>

namespace BenchLevel {

using Board = std::vector<std::vector<int>>;

// Twelve rows like the shipped level: stone at the bottom, earth, a grass
// surface at row 4 under the player's start, and above it every 16 columns a
// draught pair, a crate and a plank bridge. About 8.5 cells a column, so
// 100,000 cells make some 11,800 columns (about 590 screens).
inline Board Generate(int cells) {
    Board board;
    int made = 0;
    for (int x = 0; made < cells; ++x) {
        std::vector<int> column(12, -1);
        const int m = x % 16;
        if (m == 6 || m == 7) {
            column[2] = 6;
            column[3] = 5;
        }
        if (m == 10)
            column[3] = 7;
        if (m >= 12 && m <= 14)
            column[1] = 3;
        column[4] = 0;
        for (int y = 5; y <= 10; ++y)
            column[static_cast<size_t>(y)] = 1;
        column[11] = 2;
        // The last column is cut so the count is exact.
        for (int& v : column) {
            if (v == -1)
                continue;
            if (made == cells)
                v = -1;
            else
                ++made;
        }
        board.push_back(std::move(column));
    }
    return board;
}

inline bool WriteJson(const std::string& path, const Board& board) {
    std::ofstream out(path);
    out << "{\"tilemap_path\": \"./Assets/tiles.png\", \"tile_w\": 64, \"tile_h\": 64,\n"
        << "\"board\": [";
    for (size_t x = 0; x < board.size(); ++x) {
        out << (x ? ",\n[" : "\n[");
        for (size_t y = 0; y < board[x].size(); ++y)
            out << (y ? "," : "") << board[x][y];
        out << "]";
    }
    out << "]}\n";
    return static_cast<bool>(out);
}

} // namespace BenchLevel
