#include <engine/audio/Sound.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include <engine/audio/Clip.h>
#include <engine/core/Log.h>

#include "audio/Mixer.h"

namespace Engine {

namespace {

// Positions and steps count frames in 32.32 fixed point: a pitch is a
// fractional step, exact for the pitches that are powers of two.
constexpr std::uint64_t OneFrame = std::uint64_t(1) << 32;
constexpr std::uint64_t Fraction = OneFrame - 1;

// Each side's share at a pan, the side it moves away from fading linearly.
struct Balance {
    float left = 1.0f, right = 1.0f;
};
Balance BalanceOf(float pan) {
    return {pan > 0 ? 1 - pan : 1.0f, pan < 0 ? 1 + pan : 1.0f};
}

// What the audio thread reads of a play. The samples belong to the sound,
// which stops its voices under the device lock before it frees them, so the
// callback only follows pointers into live data, and frees nothing.
struct Voice {
    const Sound* owner = nullptr; // null: free
    const Uint8* data = nullptr;
    std::uint32_t len = 0;         // bytes, whole frames
    std::uint64_t pos = 0;         // frames, fixed point
    std::uint64_t step = OneFrame; // frames a frame of output, fixed point
    int volume = SDL_MIX_MAXVOLUME;
    Balance balance;
    bool loop = false;
    bool held = false; // paused: keeps its place, mixes nothing
};

// Shared with the audio thread: touched only under the device lock.
Voice s_voices[Sound::VOICES];
bool s_monoOutput = false;

// A free voice, or else the one furthest into a sound that does not loop;
// null when every voice loops or is held. A held voice is meant to go on
// when resumed, so it is not taken, as a looping one is not.
Voice* FreeVoice() {
    Voice* taken = nullptr;
    for (Voice& v : s_voices) {
        if (!v.owner)
            return &v;
        if (!v.loop && !v.held && (!taken || v.pos > taken->pos))
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

// The fixed-point step of a pitch.
std::uint64_t StepOf(float pitch) {
    return static_cast<std::uint64_t>(std::llround(double(pitch) * double(OneFrame)));
}

// A pitch and a loudness as the setters take them.
float ClampPitch(float pitch) {
    return std::isnan(pitch) ? 1.0f : std::clamp(pitch, Sound::MIN_PITCH, Sound::MAX_PITCH);
}
float ClampVolume(float volume) {
    // Not a number is no loudness at all, not whatever it would round to.
    return std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
}

// The device's mixing volume for a loudness from 0 to 1.
int MixVolume(float volume) {
    return static_cast<int>(std::lround(volume * SDL_MIX_MAXVOLUME));
}

Sint16 ReadS16(const Uint8* at) {
    Uint16 s;
    std::memcpy(&s, at, sizeof s);
    return static_cast<Sint16>(SDL_SwapLE16(s));
}

// Adds a voice at a pitch other than 1, or panned, onto stream: each output
// frame read at the voice's fractional position, between the two frames
// around it, the last one leading back to the first when looping. The same
// fixed work per output frame whatever the pitch. False when a voice that
// does not loop reached its end.
bool MixStepped(Uint8* stream, std::uint32_t len, Voice& v, Balance balance) {
    static_assert(Clip::DeviceChannels == 2, "a gain for the left and one for the right");
    const std::uint32_t frames = v.len / DeviceFrame;
    const std::uint64_t end = std::uint64_t(frames) << 32;
    const float volume = float(v.volume) / SDL_MIX_MAXVOLUME;
    const float gain[2] = {volume * balance.left, volume * balance.right};
    const std::uint32_t out = len / DeviceFrame;
    for (std::uint32_t k = 0; k < out; ++k) {
        if (v.pos >= end) {
            if (!v.loop)
                return false;
            v.pos %= end;
        }
        const auto i = std::uint32_t(v.pos >> 32);
        const std::uint32_t next = i + 1 < frames ? i + 1 : v.loop ? 0 : i;
        const float f = float(v.pos & Fraction) * (1.0f / float(OneFrame));
        for (std::uint32_t c = 0; c < Clip::DeviceChannels; ++c) {
            const float a = ReadS16(v.data + i * DeviceFrame + 2 * c);
            const float b = ReadS16(v.data + next * DeviceFrame + 2 * c);
            Uint8* at = stream + k * DeviceFrame + 2 * c;
            const long sum = ReadS16(at) + std::lrint((a + (b - a) * f) * gain[c]);
            const auto mixed = static_cast<Uint16>(std::clamp<long>(sum, -32768, 32767));
            const Uint16 le = SDL_SwapLE16(mixed);
            std::memcpy(at, &le, sizeof le);
        }
        v.pos += v.step;
    }
    if (v.pos >= end) {
        if (!v.loop)
            return false;
        v.pos %= end;
    }
    return true;
}

// False when the voice reached its end.
bool MixVoice(Uint8* stream, std::uint32_t len, Voice& v) {
    const Balance balance = s_monoOutput ? Balance{} : v.balance;
    if (v.step != OneFrame || (v.pos & Fraction) || balance.left != 1 || balance.right != 1)
        return MixStepped(stream, len, v, balance);
    // As recorded: the clips' own mixing, sample for sample.
    std::uint32_t bytes = std::uint32_t(v.pos >> 32) * DeviceFrame;
    const bool on = MixFrom(stream, len, v.data, v.len, bytes, v.loop, v.volume);
    v.pos = std::uint64_t(bytes / DeviceFrame) << 32;
    return on;
}

} // namespace

void MixVoices(Uint8* stream, std::uint32_t len) {
    for (Voice& v : s_voices)
        if (v.owner && !v.held && !MixVoice(stream, len, v))
            v = Voice{};
}

void SetMonoOutput(bool mono) {
    AudioLock lock;
    s_monoOutput = mono;
}

Ref<Sound> Sound::Load(const std::string& path) {
    return Read(OpenSoundFile(path), path);
}

Ref<Sound> Sound::LoadFromMemory(const void* data, size_t size) {
    return Read(size > INT_MAX ? nullptr : SDL_RWFromConstMem(data, static_cast<int>(size)),
                "in memory");
}

Ref<Sound> Sound::FromSamples(std::span<const float> samples, int rate, int channels) {
    std::string error;
    Ref<Clip> clip = Clip::FromSamples(samples, rate, channels, error);
    if (!clip) {
        Log::Warn("AUDIO", "Could not make a sound of samples: %s", error.c_str());
        return nullptr;
    }
    return Ref<Sound>(new Sound(std::move(clip)));
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
    Play(m_pitch, m_volume);
}

void Sound::Play(float pitch, float volume) {
    // An empty sound that loops would hold a voice for ever.
    if (m_samples->clipLen == 0)
        return;
    AudioLock lock;
    if (Voice* v = FreeVoice())
        *v = Voice{this,
                   m_samples->data,
                   m_samples->clipLen,
                   0,
                   StepOf(ClampPitch(pitch)),
                   MixVolume(ClampVolume(volume)),
                   BalanceOf(m_pan),
                   m_loop};
}

void Sound::Stop() {
    EachVoice(this, [](Voice& v) { v = Voice{}; });
}

void Sound::Pause() {
    EachVoice(this, [](Voice& v) { v.held = true; });
}

void Sound::Resume() {
    EachVoice(this, [](Voice& v) { v.held = false; });
}

void Sound::SetLooping(bool loop) {
    m_loop = loop;
    EachVoice(this, [loop](Voice& v) { v.loop = loop; });
}

void Sound::SetVolume(float volume) {
    m_volume = ClampVolume(volume);
    EachVoice(this, [mix = MixVolume(m_volume)](Voice& v) { v.volume = mix; });
}

void Sound::SetPitch(float pitch) {
    m_pitch = ClampPitch(pitch);
    EachVoice(this, [step = StepOf(m_pitch)](Voice& v) { v.step = step; });
}

void Sound::SetPan(float pan) {
    m_pan = std::isnan(pan) ? 0.0f : std::clamp(pan, -1.0f, 1.0f);
    EachVoice(this, [balance = BalanceOf(m_pan)](Voice& v) { v.balance = balance; });
}

double Sound::GetLength() const {
    // The samples are in the device's format whatever the file's was.
    constexpr double bytesPerSecond = double(Clip::DeviceFreq) * DeviceFrame;
    return m_samples->clipLen / bytesPerSecond / m_pitch;
}

bool Sound::IsPlaying() const {
    bool playing = false;
    EachVoice(this, [&](Voice& v) { playing = playing || !v.held; });
    return playing;
}

} // namespace Engine
