#pragma once

// Generated levels for measuring: the shipped level's kind of ground repeated
// to any number of non-empty cells, solid tiles and draughts mixed, in the
// game's own format and as a Tiled map.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
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

// Row by row, as Tiled keeps them: tile code c is global id c + 1.
inline std::vector<uint32_t> Gids(const Board& board, int& width, int& height) {
    width = static_cast<int>(board.size());
    height = 0;
    for (const auto& column : board)
        height = std::max(height, static_cast<int>(column.size()));
    std::vector<uint32_t> gids(size_t(width) * size_t(height), 0);
    for (size_t x = 0; x < board.size(); ++x)
        for (size_t y = 0; y < board[x].size(); ++y)
            gids[y * size_t(width) + x] = board[x][y] < 0 ? 0 : uint32_t(board[x][y] + 1);
    return gids;
}

inline std::string Base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            v |= uint8_t(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[v & 63] : '=';
    }
    return out;
}

inline std::string Csv(const std::vector<uint32_t>& gids, int width) {
    std::string out;
    for (size_t i = 0; i < gids.size(); ++i) {
        out += std::to_string(gids[i]);
        if (i + 1 < gids.size())
            out += (i + 1) % size_t(width) == 0 ? ",\n" : ",";
    }
    return out;
}

// The level as Tiled saves it, "zlib", "csv" or "json", its tile set (the
// shipped one, tiles.png beside the map) embedded.
inline std::string TiledLevel(const Board& board, const std::string& form) {
    int width = 0, height = 0;
    const std::vector<uint32_t> gids = Gids(board, width, height);
    const std::string size =
        "width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
    if (form == "json")
        return R"({"type":"map","orientation":"orthogonal","infinite":false,"width":)" +
               std::to_string(width) + R"(,"height":)" + std::to_string(height) +
               R"(,"tilewidth":64,"tileheight":64,"tilesets":[{"firstgid":1,"name":"tiles",)"
               R"("tilewidth":64,"tileheight":64,"tilecount":12,"columns":4,"image":"tiles.png",)"
               R"("imagewidth":256,"imageheight":192,"tiles":[{"id":5,"type":"draught"},)"
               R"({"id":6,"type":"draught"}]}],"layers":[{"type":"tilelayer","id":1,)"
               R"("name":"level","visible":true,"width":)" +
               std::to_string(width) + R"(,"height":)" + std::to_string(height) + R"(,"data":[)" +
               Csv(gids, width) + "]}]}";
    std::string data;
    if (form == "zlib") {
        const std::string raw(reinterpret_cast<const char*>(gids.data()), gids.size() * 4);
        uLongf packed = compressBound(uLong(raw.size()));
        std::string out(packed, '\0');
        compress2(reinterpret_cast<Bytef*>(out.data()), &packed,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                  Z_DEFAULT_COMPRESSION);
        out.resize(packed);
        data = R"(<data encoding="base64" compression="zlib">)" + Base64(out) + "</data>";
    } else {
        data = R"(<data encoding="csv">)" + Csv(gids, width) + "</data>";
    }
    return R"(<?xml version="1.0" encoding="UTF-8"?><map version="1.8" orientation="orthogonal" )" +
           size + R"( tilewidth="64" tileheight="64" infinite="0">)" +
           R"(<tileset firstgid="1" name="tiles" tilewidth="64" tileheight="64" tilecount="12" )"
           R"(columns="4"><image source="tiles.png" width="256" height="192"/>)"
           R"(<tile id="5" type="draught"/><tile id="6" type="draught"/></tileset>)" +
           R"(<layer id="1" name="level" )" + size + ">" + data + "</layer></map>";
}

inline bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

} // namespace BenchLevel
