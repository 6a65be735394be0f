#include <engine/audio/Audio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "audio/Mixer.h"

namespace Engine {

namespace {
// Read by the audio thread once a buffer; a lone value, so no device lock.
std::atomic<float> s_master{1.0f};
} // namespace

void Audio::SetMasterVolume(float volume) {
    s_master.store(std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f),
                   std::memory_order_relaxed);
}

float Audio::GetMasterVolume() {
    return s_master.load(std::memory_order_relaxed);
}

void ApplyMasterVolume(Uint8* stream, std::uint32_t len) {
    const float gain = Audio::GetMasterVolume();
    // At full volume the mix is left exactly as it was.
    if (gain == 1.0f)
        return;
    if (gain == 0.0f) {
        std::memset(stream, 0, len);
        return;
    }
    static_assert(Clip::DeviceFormat == AUDIO_S16LSB, "samples of 16 bits, little-endian");
    for (std::uint32_t i = 0; i + 1 < len; i += 2) {
        Uint16 le;
        std::memcpy(&le, stream + i, sizeof le);
        const auto sample = static_cast<Sint16>(SDL_SwapLE16(le));
        // |sample * gain| <= 32768: no clipping needed.
        const auto scaled = static_cast<Uint16>(static_cast<Sint16>(std::lrint(sample * gain)));
        le = SDL_SwapLE16(scaled);
        std::memcpy(stream + i, &le, sizeof le);
    }
}

} // namespace Engine
