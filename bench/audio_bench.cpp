#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <engine/audio/Clip.h>
#include <engine/audio/Music.h>
#include <engine/audio/Sound.h>

using namespace Engine;

namespace {

constexpr int Frames = Clip::DeviceSamples;
constexpr int Samples = Frames * Clip::DeviceChannels;
constexpr int BufferBytes = Samples * 2;

// Quiet noise, so 32 voices sum without clipping most of the time.
std::vector<std::int16_t> Noise(size_t count, std::uint32_t seed) {
    std::vector<std::int16_t> out(count);
    for (auto& s : out) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<std::int16_t>(int(seed >> 16) % 2001 - 1000);
    }
    return out;
}

// A WAV file of a second of stereo noise, by default in the device format.
std::vector<Uint8> NoiseWav(std::uint32_t rate = Clip::DeviceFreq) {
    const std::vector<std::int16_t> s = Noise(size_t(rate) * 2, 7);
    const auto bytes = std::uint32_t(s.size() * 2);
    std::vector<Uint8> v;
    v.reserve(44 + bytes);
    auto put = [&](std::uint32_t x, int n) {
        for (int i = 0; i < n; ++i)
            v.push_back(Uint8(x >> (8 * i)));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            v.push_back(Uint8(t[i]));
    };
    tag("RIFF"), put(36 + bytes, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(2, 2);
    put(rate, 4), put(rate * 4, 4), put(4, 2), put(16, 2);
    tag("data"), put(bytes, 4);
    const auto* raw = reinterpret_cast<const Uint8*>(s.data());
    v.insert(v.end(), raw, raw + bytes);
    return v;
}

// The same file as Ogg Vorbis, by vorbis-tools' oggenc at its default
// quality; empty without it.
std::vector<Uint8> OggOf(const std::vector<Uint8>& wav) {
    const std::string in = "/tmp/keel_bench_ogg.wav", out = "/tmp/keel_bench_ogg.ogg";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    std::vector<Uint8> ogg;
    if (std::system(("oggenc -Q -o " + out + " " + in + " 2>/dev/null").c_str()) == 0) {
        std::ifstream f(out, std::ios::binary);
        ogg.assign(std::istreambuf_iterator<char>(f), {});
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    return ogg;
}

// A second of 48 kHz stereo noise as a WAV file (argument 0) or as Ogg Vorbis
// (1), or empty with the benchmark skipped.
std::vector<Uint8> NoiseFile(benchmark::State& state) {
    std::vector<Uint8> file = NoiseWav(48000);
    if (state.range(0))
        file = OggOf(file);
    if (file.empty())
        state.SkipWithError("needs oggenc (vorbis-tools)");
    return file;
}

// One device buffer of the mixing callback with 32 looping voices playing,
// each started a little later than the last. Arguments: pitch and pan, in
// hundredths.
void BM_Mix32Voices(benchmark::State& state) {
    Clip::ClearSounds();
    const std::vector<Uint8> wav = NoiseWav();
    Ref<Sound> sound = Sound::LoadFromMemory(wav.data(), wav.size());
    sound->SetLooping(true);
    sound->SetPitch(float(state.range(0)) / 100);
    sound->SetPan(float(state.range(1)) / 100);
    std::vector<Uint8> buffer(BufferBytes);
    for (int v = 0; v < Sound::VOICES; ++v) {
        sound->Play();
        Clip::callback(nullptr, buffer.data(), 256);
    }
    for (auto _ : state) {
        Clip::callback(nullptr, buffer.data(), BufferBytes);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Sound::VOICES * Frames);
}
BENCHMARK(BM_Mix32Voices)->Args({100, 0})->Args({150, 50});

// The yardstick: 32 arrays of a buffer's samples summed into it, each sum
// clamped to 16 bits, in a plain loop.
void BM_Sum32Arrays(benchmark::State& state) {
    std::vector<std::vector<std::int16_t>> voices;
    for (int v = 0; v < Sound::VOICES; ++v)
        voices.push_back(Noise(Samples, std::uint32_t(v + 1)));
    std::vector<std::int16_t> buffer(Samples);
    for (auto _ : state) {
        std::fill(buffer.begin(), buffer.end(), std::int16_t(0));
        for (const auto& voice : voices)
            for (int i = 0; i < Samples; ++i)
                buffer[i] = std::int16_t(std::clamp(buffer[i] + voice[i], -32768, 32767));
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Sound::VOICES * Frames);
}
BENCHMARK(BM_Sum32Arrays);

// One device buffer of music streamed from a 48 kHz file: the callback's mix
// and the loop's refill of what it took, read (or decoded) and resampled.
void BM_MixMusic48k(benchmark::State& state) {
    Clip::ClearSounds();
    const std::string path = "/tmp/keel_bench_music";
    const std::vector<Uint8> file = NoiseFile(state);
    if (file.empty())
        return;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    Ref<Music> music = Music::Load(path);
    music->SetLooping(true);
    music->Play();
    std::vector<Uint8> buffer(BufferBytes);
    for (auto _ : state) {
        Clip::callback(nullptr, buffer.data(), BufferBytes);
        Music::UpdateAll();
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Frames);
    music.reset();
    std::remove(path.c_str());
}
BENCHMARK(BM_MixMusic48k)->Arg(0)->Arg(1);

// A second of 48 kHz stereo loaded as a Sound from memory: read (or decoded)
// and converted to the device format.
void BM_LoadSound48k(benchmark::State& state) {
    const std::vector<Uint8> file = NoiseFile(state);
    if (file.empty())
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(Sound::LoadFromMemory(file.data(), file.size()));
    state.SetItemsProcessed(state.iterations() * 48000);
}
BENCHMARK(BM_LoadSound48k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Its yardstick: a buffer's samples copied in a plain loop.
void BM_CopyBuffer(benchmark::State& state) {
    const std::vector<std::int16_t> from = Noise(Samples, 3);
    std::vector<std::int16_t> buffer(Samples);
    for (auto _ : state) {
        for (int i = 0; i < Samples; ++i)
            buffer[i] = from[i];
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Frames);
}
BENCHMARK(BM_CopyBuffer);

} // namespace
