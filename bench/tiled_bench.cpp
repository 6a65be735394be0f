// Reading a large level as a Tiled map, against the game's own level file:
// the generated level of LevelGen.h as one tile layer of a TMX map (zlib,
// CSV) and of a JSON map, parsed from memory as the game reads its files.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <engine/tiled/TiledMap.h>
#include <engine/tiled/TiledTileMap.h>

#include "LevelGen.h"

using namespace Engine;

namespace {

// Row by row, as Tiled keeps them: tile code c is global id c + 1.
std::vector<uint32_t> Gids(const BenchLevel::Board& board, int& width, int& height) {
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

std::string Base64(const std::string& bytes) {
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

std::string Csv(const std::vector<uint32_t>& gids, int width) {
    std::string out;
    for (size_t i = 0; i < gids.size(); ++i) {
        out += std::to_string(gids[i]);
        if (i + 1 < gids.size())
            out += (i + 1) % size_t(width) == 0 ? ",\n" : ",";
    }
    return out;
}

// The level as Tiled saves it: "zlib", "csv" or "json".
std::string TiledLevel(int cells, const std::string& form) {
    int width = 0, height = 0;
    const std::vector<uint32_t> gids = Gids(BenchLevel::Generate(cells), width, height);
    const std::string size =
        "width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
    if (form == "json")
        return R"({"type":"map","orientation":"orthogonal","infinite":false,"width":)" +
               std::to_string(width) + R"(,"height":)" + std::to_string(height) +
               R"(,"tilewidth":64,"tileheight":64,"tilesets":[{"firstgid":1,"name":"tiles",)"
               R"("tilewidth":64,"tileheight":64,"tilecount":12,"columns":4,"image":"tiles.png",)"
               R"("imagewidth":256,"imageheight":192}],"layers":[{"type":"tilelayer","id":1,)"
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
           R"(columns="4"><image source="tiles.png" width="256" height="192"/></tileset>)" +
           R"(<layer id="1" name="level" )" + size + ">" + data + "</layer></map>";
}

void Parse(benchmark::State& state, const std::string& form) {
    const std::string text = TiledLevel(int(state.range(0)), form);
    for (auto _ : state)
        benchmark::DoNotOptimize(Tiled::Parse(text, "bench.tmx"));
    state.counters["bytes"] = double(text.size());
}

void BM_TiledParse_Zlib(benchmark::State& state) {
    Parse(state, "zlib");
}
BENCHMARK(BM_TiledParse_Zlib)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_TiledParse_Csv(benchmark::State& state) {
    Parse(state, "csv");
}
BENCHMARK(BM_TiledParse_Csv)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_TiledParse_Json(benchmark::State& state) {
    Parse(state, "json");
}
BENCHMARK(BM_TiledParse_Json)->Arg(100000)->Unit(benchmark::kMillisecond);

// The zlib map read and its layer turned into the tile map's columns, as a
// game on the engine needs it before making its cells: the counterpart of
// BM_LevelParse.
void BM_TiledParseToGrid_Zlib(benchmark::State& state) {
    const std::string text = TiledLevel(int(state.range(0)), "zlib");
    for (auto _ : state) {
        const Tiled::Map map = Tiled::Parse(text, "bench.tmx");
        benchmark::DoNotOptimize(Tiled::GridOf(map, map.layers[0]));
    }
}
BENCHMARK(BM_TiledParseToGrid_Zlib)->Arg(100000)->Unit(benchmark::kMillisecond);

// Whether a file is a Tiled map, on the game's own level file: what telling
// the two formats apart costs a level that is not one.
void BM_IsTiledMap_GameLevel(benchmark::State& state) {
    const std::string path = "bench-is-tiled.json";
    BenchLevel::WriteJson(path, BenchLevel::Generate(int(state.range(0))));
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(Tiled::IsTiledMap(text));
}
BENCHMARK(BM_IsTiledMap_GameLevel)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace
