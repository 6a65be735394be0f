#pragma once

// Sample bytes, WAV files and device buffers for the audio tests.

#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <engine/audio/Clip.h>

namespace EngineTest {

using Bytes = std::vector<Uint8>;

constexpr size_t Buffer = 16384; // one device buffer: 4096 frames of 2 x 16 bit

// Never 0, so silence and clip data cannot be confused.
inline Bytes Pattern(size_t n, std::uint32_t seed = 1) {
    Bytes out(n);
    for (auto& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<Uint8>(1 + (seed >> 24) % 255);
    }
    return out;
}

// -1 when equal; keeps failure output short for 16 KB buffers.
inline long FirstMismatch(const Bytes& a, const Bytes& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}
#define EXPECT_BYTES(actual, expected) EXPECT_EQ(EngineTest::FirstMismatch(actual, expected), -1)

// One device buffer as the callback leaves it; starts as garbage.
inline Bytes Mix() {
    Bytes out(Buffer, 0xAB);
    Engine::Clip::callback(nullptr, out.data(), static_cast<int>(Buffer));
    return out;
}

// Appends x as `bytes` little-endian bytes.
inline void PutLE(Bytes& v, std::uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i)
        v.push_back(static_cast<Uint8>(x >> (8 * i)));
}

// Appends a four-character chunk tag.
inline void PutTag(Bytes& v, const char* s) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<Uint8>(s[i]));
}

// A WAV file of the samples as they are: PCM, or float for encoding 3.
inline Bytes Wav(unsigned channels, std::uint32_t freq, unsigned bits, const Bytes& data,
                 unsigned encoding = 1) {
    Bytes v;
    auto put = [&](std::uint32_t x, int bytes) { PutLE(v, x, bytes); };
    auto tag = [&](const char* s) { PutTag(v, s); };
    tag("RIFF");
    put(static_cast<std::uint32_t>(36 + data.size()), 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(encoding, 2);
    put(channels, 2);
    put(freq, 4);
    put(freq * channels * bits / 8, 4);
    put(channels * bits / 8, 2);
    put(bits, 2);
    tag("data");
    put(static_cast<std::uint32_t>(data.size()), 4);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

// SDL's audio started on the disk driver, which writes what the callback
// mixes into `capture`, a buffer every `delayMs`. The device is opened by
// Clip::InitAudio.
inline void StartDiskAudio(const std::filesystem::path& capture, int delayMs) {
    const char* was = std::getenv("SDL_AUDIODRIVER");
    const std::string driver = was ? was : "";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    driver.empty() ? unsetenv("SDL_AUDIODRIVER") : setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
}

// Bytes the disk driver has written so far.
inline size_t Written(const std::filesystem::path& capture) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(capture, ec);
    return ec ? 0 : size_t(n);
}

// Waits, for 20 s at most, until the capture holds `bytes`.
inline void AwaitCapture(const std::filesystem::path& capture, size_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Written(capture) < bytes && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Where a capture stops being silence: its first byte that is not 0, or its
// size when there is none.
inline size_t FirstSound(const Bytes& capture) {
    size_t start = 0;
    while (start < capture.size() && capture[start] == 0)
        ++start;
    return start;
}

inline Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), {}};
}

} // namespace EngineTest
