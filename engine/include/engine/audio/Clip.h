#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include <engine/core/Base.h>

namespace Engine {

// A WAV sound mixed into the one audio device. Every clip that loads is kept
// in `sounds` for the rest of the process; the device's callback mixes the
// active ones on SDL's audio thread.
//
// `trackPos`, `loop` and `active` are shared with the audio thread: outside
// the callback, touch them only through the play operations or while holding
// SDL_LockAudio.
class Clip {
public:
    // The format the device is opened with and the mixer assumes.
    static constexpr int DeviceFreq = 44100;
    static constexpr SDL_AudioFormat DeviceFormat = AUDIO_S16LSB;
    static constexpr Uint8 DeviceChannels = 2;
    static constexpr Uint16 DeviceSamples = 4096;

    Clip() = default;
    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;
    ~Clip();

    // Opens the device and starts it at once.
    static void InitAudio();
    // Empty on failure; the list is then unchanged. Data in another format
    // is converted to the device format.
    static Ref<Clip> LoadClip(const std::string& path);
    // LoadClip on any SDL source, such as bytes in memory; closes the source.
    // A null source fails like a missing file.
    static Ref<Clip> LoadClipRW(SDL_RWops* source);
    // LoadClipRW in two halves, for reading ahead on another thread.
    // ReadClipRW needs no device and leaves `sounds` alone: null on failure,
    // with SDL's reason in `error`. AddClip puts a clip so read into `sounds`,
    // or, given null, prints the failure as LoadClip does.
    static Ref<Clip> ReadClipRW(SDL_RWops* source, std::string& error);
    static Ref<Clip> AddClip(Ref<Clip> clip, const std::string& error);

    // None of these moves the play position.
    void playClip();
    void loopClip();
    void endClip();

    // SDL's mixing callback; needs no device, so it can be driven directly.
    static void callback(void* userdata, Uint8* stream, int len);

    // Empties `sounds`; the list is process-wide, so tests need a way back.
    static void ClearSounds();

    std::uint32_t clipLen = 0;
    std::uint32_t trackPos = 0;
    Uint8* data = nullptr;
    // As the file declares it, even when the data was converted.
    SDL_AudioSpec spec{};
    bool loop = false;
    bool active = false;

    static std::vector<Ref<Clip>> sounds;

private:
    // Converted data comes from SDL_malloc rather than the WAV loader.
    bool m_converted = false;
};

} // namespace Engine
