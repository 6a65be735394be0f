#include <engine/audio/Clip.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "audio/Mixer.h"
#include "audio/Vorbis.h"
#include "audio/WavChunks.h"

namespace Engine {

std::vector<Ref<Clip>> Clip::sounds;

namespace {

// Destroyed before `sounds` (reverse order of definition). A process that
// ends without quitting SDL, such as through Log::Err, would otherwise leave
// the audio thread mixing a list that is being torn down.
struct CloseDeviceAtExit {
    ~CloseDeviceAtExit() {
        if (SDL_WasInit(SDL_INIT_AUDIO))
            SDL_CloseAudio();
    }
} s_closeDeviceAtExit;

// SDL_MixAudio takes its format from the open device and does nothing
// without one; naming the format keeps the mixer usable without a device.
void Mix(Uint8* dst, const Uint8* src, std::uint32_t len, int volume) {
    if (len)
        SDL_MixAudioFormat(dst, src, Clip::DeviceFormat, len, volume);
}

bool InDeviceFormat(const SDL_AudioSpec& spec) {
    return spec.freq == Clip::DeviceFreq && spec.format == Clip::DeviceFormat &&
           spec.channels == Clip::DeviceChannels;
}

// Converted data in a new SDL_malloc buffer, or false with SDL's error set.
bool ConvertToDevice(const SDL_AudioSpec& spec, const Uint8* data, std::uint32_t len, Uint8** out,
                     std::uint32_t* outLen) {
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, Clip::DeviceFormat,
                          Clip::DeviceChannels, Clip::DeviceFreq) < 0)
        return false;
    const unsigned long long capacity =
        static_cast<unsigned long long>(len) * static_cast<unsigned>(cvt.len_mult);
    if (len > INT_MAX || capacity > UINT32_MAX) {
        SDL_SetError("audio data too long to convert");
        return false;
    }
    // A few bytes declared at a rate of a few hertz would grow into gigabytes
    // of device samples. Real rates (4 kHz 8-bit mono grows 192-fold) pass,
    // and so does anything that stays small.
    constexpr unsigned long long MaxGrowth = 256, SmallEnough = 16ull << 20;
    if (capacity > SmallEnough && capacity > MaxGrowth * len) {
        SDL_SetError("audio data at %d Hz would grow %d-fold in the device format", spec.freq,
                     cvt.len_mult);
        return false;
    }
    cvt.len = static_cast<int>(len);
    cvt.buf = static_cast<Uint8*>(SDL_malloc(std::max<size_t>(capacity, 1)));
    if (!cvt.buf) {
        SDL_OutOfMemory();
        return false;
    }
    if (len)
        std::memcpy(cvt.buf, data, len);
    if (cvt.needed && SDL_ConvertAudio(&cvt) < 0) {
        SDL_free(cvt.buf);
        return false;
    }
    const std::uint32_t converted = cvt.needed ? static_cast<std::uint32_t>(cvt.len_cvt) : len;
    // The converter works in a buffer several times the result (an hour of
    // 48 kHz music held 2.5 GB for 635 MB of sound); keep only the result.
    if (converted < capacity)
        if (auto* shrunk =
                static_cast<Uint8*>(SDL_realloc(cvt.buf, std::max<size_t>(converted, 1))))
            cvt.buf = shrunk;
    *out = cvt.buf;
    // Whole frames only, so a loop wrap never swaps the channels.
    *outLen = converted - converted % DeviceFrame;
    return true;
}

// ADPCM comes in whole blocks, and the last one is padded out with silence
// that only the fact chunk leaves out: up to a block's length of it, a gap at
// every loop. The frames the fact chunk declares for ADPCM data, or 0 when the
// file is not ADPCM or has no fact chunk. Leaves the source where it found it.
std::uint32_t AdpcmFrames(SDL_RWops* source) {
    const Sint64 start = source ? SDL_RWtell(source) : -1;
    if (start < 0)
        return 0;
    Uint16 tag = 0;
    std::uint32_t frames = 0;
    WalkWavChunks(source, start, [&](const Uint8* id, Uint32 size, Sint64) {
        if (!std::memcmp(id, "fmt ", 4) && size >= 2)
            tag = SDL_ReadLE16(source);
        else if (!std::memcmp(id, "fact", 4) && size >= 4)
            frames = SDL_ReadLE32(source);
        return true;
    });
    SDL_RWseek(source, start, RW_SEEK_SET);
    constexpr Uint16 MsAdpcm = 0x0002, ImaAdpcm = 0x0011;
    return tag == MsAdpcm || tag == ImaAdpcm ? frames : 0;
}

} // namespace

void AppendCleanSamples(std::vector<float>& out, std::span<const float> samples) {
    // SDL's converter turns a NaN into whatever its cast to an integer gives.
    out.reserve(out.size() + samples.size());
    for (const float v : samples)
        out.push_back(v == v ? std::clamp(v, -1.0f, 1.0f) : 0.0f);
}

bool MixFrom(Uint8* stream, std::uint32_t len, const Uint8* data, std::uint32_t dataLen,
             std::uint32_t& pos, bool loop, int volume) {
    if (pos > dataLen)
        pos = dataLen;
    const std::uint32_t left = dataLen - pos;
    if (len < left) {
        Mix(stream, data + pos, len, volume);
        pos += len;
        return true;
    }

    Mix(stream, data + pos, left, volume);
    if (!loop)
        return false;
    pos = 0;
    if (dataLen == 0)
        return true;
    // A sound shorter than the rest of the buffer wraps more than once.
    std::uint32_t filled = left;
    while (filled < len) {
        const std::uint32_t chunk = std::min(len - filled, dataLen);
        Mix(stream + filled, data, chunk, volume);
        filled += chunk;
        pos = chunk == dataLen ? 0 : chunk;
    }
    return true;
}

Clip::~Clip() {
    if (m_converted)
        SDL_free(data);
    else
        SDL_FreeWAV(data);
}

void Clip::InitAudio() {
    SDL_AudioSpec want{};
    want.freq = DeviceFreq;
    want.format = DeviceFormat;
    want.channels = DeviceChannels;
    want.samples = DeviceSamples;
    want.callback = Clip::callback;
    want.userdata = nullptr;
    // No second SDL_AudioSpec for what was obtained: SDL converts behind the scenes, so the
    // callback always sees exactly this format.
    if (SDL_OpenAudio(&want, nullptr) < 0)
        std::fprintf(stderr, "Couldn't open audio: %s\n", SDL_GetError());
    // A device opened before is no failure.
    SetNoDevice(SDL_GetAudioStatus() == SDL_AUDIO_STOPPED);
    // That conversion hides a mono device; SDL tells its channels apart
    // only where the system names a default device.
    SDL_AudioSpec device{};
    SetMonoOutput(SDL_GetDefaultAudioInfo(nullptr, &device, 0) == 0 && device.channels == 1);
    SDL_PauseAudio(0);
}

SDL_RWops* OpenSoundFile(const std::string& path) {
    // What is missing is left to SDL, whose message names it.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        SDL_SetError("%s is not a regular file", path.c_str());
        return nullptr;
    }
    return SDL_RWFromFile(path.c_str(), "rb");
}

Ref<Clip> Clip::LoadClip(const std::string& path) {
    return LoadClipRW(OpenSoundFile(path));
}

Ref<Clip> Clip::LoadClipRW(SDL_RWops* source) {
    std::string error;
    Ref<Clip> clip = ReadClipRW(source, error);
    return AddClip(std::move(clip), error);
}

Ref<Clip> Clip::ReadClipRW(SDL_RWops* source, std::string& error) {
    Ref<Clip> clip = CreateRef<Clip>();
    if (IsOgg(source)) {
        std::vector<Sint16> samples;
        if (!DecodeVorbis(source, clip->spec, samples, error))
            return nullptr;
        if (!ConvertToDevice(clip->spec, reinterpret_cast<const Uint8*>(samples.data()),
                             std::uint32_t(samples.size() * sizeof(Sint16)), &clip->data,
                             &clip->clipLen)) {
            error = SDL_GetError();
            return nullptr;
        }
        clip->m_converted = true;
        return clip;
    }

    const std::uint32_t adpcmFrames = AdpcmFrames(source);
    Uint8* loaded = nullptr;
    Uint32 loadedLen = 0;
    bool ok = source && SDL_LoadWAV_RW(source, 1, &clip->spec, &loaded, &loadedLen);
    if (ok) {
        if (InDeviceFormat(clip->spec)) {
            clip->data = loaded;
            // A file whose block size disagrees with its format can hold a
            // part frame; a loop wrap inside it would swap the channels.
            clip->clipLen = loadedLen - loadedLen % DeviceFrame;
        } else {
            ok = ConvertToDevice(clip->spec, loaded, loadedLen, &clip->data, &clip->clipLen);
            clip->m_converted = ok;
            SDL_FreeWAV(loaded);
        }
    }
    if (ok && adpcmFrames && clip->spec.freq > 0) {
        const std::uint64_t keep =
            std::uint64_t(adpcmFrames) * DeviceFreq / std::uint32_t(clip->spec.freq) * DeviceFrame;
        clip->clipLen = std::uint32_t(std::min<std::uint64_t>(keep, clip->clipLen));
    }
    if (!ok) {
        error = SDL_GetError();
        return nullptr;
    }
    return clip;
}

Ref<Clip> Clip::FromSamples(std::span<const float> samples, int rate, int channels,
                            std::string& error) {
    if (rate <= 0 || channels < 1 || channels > 8 || samples.size() % size_t(channels)) {
        error = "samples need a rate above 0, 1 to 8 channels and whole frames";
        return nullptr;
    }
    if (samples.size_bytes() > UINT32_MAX) {
        error = "too many samples";
        return nullptr;
    }
    std::vector<float> clean;
    AppendCleanSamples(clean, samples);
    Ref<Clip> clip = CreateRef<Clip>();
    clip->spec.freq = rate;
    clip->spec.format = AUDIO_F32SYS;
    clip->spec.channels = Uint8(channels);
    if (!ConvertToDevice(clip->spec, reinterpret_cast<const Uint8*>(clean.data()),
                         std::uint32_t(clean.size() * sizeof(float)), &clip->data, &clip->clipLen)) {
        error = SDL_GetError();
        return nullptr;
    }
    clip->m_converted = true;
    return clip;
}

Ref<Clip> Clip::AddClip(Ref<Clip> clip, const std::string& error) {
    if (!clip) {
        std::fprintf(stderr, "Could not open audio file: %s\n", error.c_str());
        return nullptr;
    }
    AudioLock lock;
    sounds.push_back(clip);
    return clip;
}

void Clip::playClip() {
    AudioLock lock;
    active = true;
}

void Clip::loopClip() {
    AudioLock lock;
    active = true;
    loop = true;
}

void Clip::endClip() {
    AudioLock lock;
    active = false;
    loop = false;
}

void Clip::ClearSounds() {
    std::vector<Ref<Clip>> released;
    {
        AudioLock lock;
        released.swap(sounds);
    }
    // The clips are freed here, outside the lock.
}

// Runs on SDL's audio thread with the device lock held: no allocation, I/O
// or logging here.
void Clip::callback(void* /*userdata*/, Uint8* stream, int len) {
    if (len <= 0)
        return;
    const auto n = static_cast<std::uint32_t>(len);
    std::memset(stream, 0, n);
    for (const Ref<Clip>& clip : sounds)
        if (clip->active && !MixFrom(stream, n, clip->data, clip->clipLen, clip->trackPos,
                                     clip->loop, SDL_MIX_MAXVOLUME))
            clip->active = false;
    MixVoices(stream, n);
    MixMusic(stream, n);
    ApplyMasterVolume(stream, n);
}

} // namespace Engine
