#pragma once

// The fuzz targets: each takes any bytes and must return without a crash, a
// hang, a leak or undefined behaviour. They are built into libFuzzer binaries
// (fuzz_main.cpp) and replayed over the seed and regression files by the
// ordinary test suite (replay_test.cpp).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace EngineFuzz {

// A broken promise of the code under test: reported like a crash.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Level file: parse, then one collision entity per non-empty cell into a fresh
// registry, then the tile map's view of the grid.
int FuzzLevel(const uint8_t* data, size_t size);
// Combined shader file split into its two stages.
int FuzzShader(const uint8_t* data, size_t size);
// WAV or Ogg Vorbis bytes through the clip loader and converter, then mixed by
// the device callback, looping and once through; Ogg also streamed as music.
int FuzzClip(const uint8_t* data, size_t size);
// Image bytes decoded, cut into sheet cells, and copied into a glyph atlas.
int FuzzImage(const uint8_t* data, size_t size);
// A Tiled map read as TMX and as JSON from memory, its tile sets found in a
// scratch folder, then its tile maps made; and the bytes as a tile set, on
// their own and named by a map.
int FuzzTiled(const uint8_t* data, size_t size);

} // namespace EngineFuzz
