// WAV files for the sound generators: signed 16-bit PCM, little-endian whatever the machine.

#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Sound {

// The nearest 16-bit sample to `v`, saturating rather than wrapping at the ends.
inline int16_t Pcm16(double v) {
    return int16_t(std::clamp(std::lround(v), -32768L, 32767L));
}

// Writes `samples`, `channels` to a frame and interleaved, as a canonical 44-byte-header WAV.
inline bool WriteWav(const std::string& path, int rate, int channels,
                     const std::vector<int16_t>& samples) {
    if (channels < 1 || rate < 1 || samples.size() % size_t(channels) != 0 ||
        samples.size() > (UINT32_MAX - 36) / 2)
        return false;
    std::vector<unsigned char> out;
    out.reserve(44 + samples.size() * 2);
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back((unsigned char)(v >> (8 * i)));
    };
    const uint32_t data = uint32_t(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4); // format chunk size
    put(1, 2);  // PCM
    put(uint32_t(channels), 2);
    put(uint32_t(rate), 4);
    put(uint32_t(rate * channels * 2), 4); // bytes per second
    put(uint32_t(channels * 2), 2);        // bytes per frame
    put(16, 2);                            // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (int16_t s : samples)
        put(uint16_t(s), 2);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace Sound
