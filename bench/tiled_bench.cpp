// Reading a large level as a Tiled map, against the game's own level file:
// the generated level of LevelGen.h as one tile layer of a TMX map (zlib,
// CSV) and of a JSON map, parsed from memory as the game reads its files.

#include <benchmark/benchmark.h>

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

void Parse(benchmark::State& state, const std::string& form) {
    const std::string text = BenchLevel::TiledLevel(BenchLevel::Generate(int(state.range(0))), form);
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
    const std::string text = BenchLevel::TiledLevel(BenchLevel::Generate(int(state.range(0))), "zlib");
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
