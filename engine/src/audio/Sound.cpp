#include <engine/audio/Sound.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include <engine/audio/Clip.h>
#include <engine/core/Log.h>

#include "audio/Mixer.h"

namespace Engine {

namespace {

// What the audio thread reads of a play. The samples belong to the sound,
// which stops its voices under the device lock before it frees them, so the
// callback only follows pointers into live data, and frees nothing.
struct Voice {
    const Sound* owner = nullptr; // null: free
    const Uint8* data = nullptr;
    std::uint32_t len = 0;
    std::uint32_t pos = 0;
    int volume = SDL_MIX_MAXVOLUME;
    bool loop = false;
};

// Shared with the audio thread: touched only under the device lock.
Voice s_voices[Sound::VOICES];

// A free voice, or else the one furthest into a sound that does not loop;
// null when every voice loops.
Voice* FreeVoice() {
    Voice* taken = nullptr;
    for (Voice& v : s_voices) {
        if (!v.owner)
            return &v;
        if (!v.loop && (!taken || v.pos > taken->pos))
            taken = &v;
    }
    return taken;
}

// Applies f to every voice of the sound, under the device lock.
template <typename F> void EachVoice(const Sound* sound, F f) {
    AudioLock lock;
    for (Voice& v : s_voices)
        if (v.owner == sound)
            f(v);
}

// The device's mixing volume for a loudness from 0 to 1.
int MixVolume(float volume) {
    return static_cast<int>(std::lround(volume * SDL_MIX_MAXVOLUME));
}

} // namespace

void MixVoices(Uint8* stream, std::uint32_t len) {
    for (Voice& v : s_voices)
        if (v.owner && !MixFrom(stream, len, v.data, v.len, v.pos, v.loop, v.volume))
            v = Voice{};
}

Ref<Sound> Sound::Load(const std::string& path) {
    return Read(SDL_RWFromFile(path.c_str(), "rb"), path);
}

Ref<Sound> Sound::LoadFromMemory(const void* data, size_t size) {
    return Read(size > INT_MAX ? nullptr : SDL_RWFromConstMem(data, static_cast<int>(size)),
                "in memory");
}

Ref<Sound> Sound::Read(SDL_RWops* source, const std::string& name) {
    std::string error;
    Ref<Clip> samples = Clip::ReadClipRW(source, error);
    if (!samples) {
        Log::Warn("AUDIO", "Could not load the sound %s: %s", name.c_str(), error.c_str());
        return nullptr;
    }
    return Ref<Sound>(new Sound(std::move(samples)));
}

Sound::Sound(Ref<Clip> samples) : m_samples(std::move(samples)) {}

Sound::~Sound() {
    Stop();
}

void Sound::Play() {
    // An empty sound that loops would hold a voice for ever.
    if (m_samples->clipLen == 0)
        return;
    AudioLock lock;
    if (Voice* v = FreeVoice())
        *v = Voice{this, m_samples->data, m_samples->clipLen, 0, MixVolume(m_volume), m_loop};
}

void Sound::Stop() {
    EachVoice(this, [](Voice& v) { v = Voice{}; });
}

void Sound::SetLooping(bool loop) {
    m_loop = loop;
    EachVoice(this, [loop](Voice& v) { v.loop = loop; });
}

void Sound::SetVolume(float volume) {
    // Not a number is no loudness at all, not whatever it would round to.
    m_volume = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
    EachVoice(this, [mix = MixVolume(m_volume)](Voice& v) { v.volume = mix; });
}

double Sound::GetLength() const {
    // The samples are in the device's format whatever the file's was.
    constexpr double bytesPerSecond =
        double(Clip::DeviceFreq) * Clip::DeviceChannels * SDL_AUDIO_BITSIZE(Clip::DeviceFormat) / 8;
    return m_samples->clipLen / bytesPerSecond;
}

bool Sound::IsPlaying() const {
    bool playing = false;
    EachVoice(this, [&](Voice&) { playing = true; });
    return playing;
}

} // namespace Engine
