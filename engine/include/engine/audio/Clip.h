#pragma once

#include <SDL.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <engine/core/Base.h>

namespace Engine {

/// A WAV or Ogg Vorbis sound mixed into the one audio device. Every clip that loads is kept
/// in `sounds` for the rest of the process; the device's callback mixes the
/// active ones on SDL's audio thread.
///
/// `trackPos`, `loop` and `active` are shared with the audio thread: outside
/// the callback, touch them only through the play operations or while holding
/// SDL_LockAudio.
class Clip {
public:
    /// The format the device is opened with and the mixer assumes.
    static constexpr int DeviceFreq = 44100;
    static constexpr SDL_AudioFormat DeviceFormat = AUDIO_S16LSB; ///< Signed 16-bit little-endian.
    static constexpr Uint8 DeviceChannels = 2;                    ///< Stereo.
    static constexpr Uint16 DeviceSamples = 4096;                 ///< Sample frames a buffer.

    Clip() = default;                      ///< No data, inactive.
    Clip(const Clip&) = delete;            ///< Held through Ref.
    Clip& operator=(const Clip&) = delete; ///< Held through Ref.
    ~Clip();                               ///< Frees the sample data.

    /// Opens the device and starts it at once.
    static void InitAudio();
    /// Empty on failure; the list is then unchanged. Data in another format
    /// is converted to the device format.
    static Ref<Clip> LoadClip(const std::string& path);
    /// LoadClip on any SDL source, such as bytes in memory; closes the source.
    /// A null source fails like a missing file.
    static Ref<Clip> LoadClipRW(SDL_RWops* source);
    /// LoadClipRW in two halves, for reading ahead on another thread.
    /// ReadClipRW needs no device and leaves `sounds` alone: null on failure,
    /// with SDL's reason in `error`. AddClip puts a clip so read into `sounds`,
    /// or, given null, prints the failure as LoadClip does.
    static Ref<Clip> ReadClipRW(SDL_RWops* source, std::string& error);
    static Ref<Clip> AddClip(Ref<Clip> clip, const std::string& error); ///< See ReadClipRW.
    /// Samples a program made, -1 to 1, interleaved by channel, at rate hertz,
    /// converted to the device format as ReadClipRW converts a file; values
    /// past -1 and 1 are clipped and ones that are no number are silence.
    /// Null, with the reason in `error`, for a rate not above 0, channels
    /// outside 1 to 8 or a count that is not whole frames. Leaves `sounds` alone.
    static Ref<Clip> FromSamples(std::span<const float> samples, int rate, int channels,
                                 std::string& error);

    /// None of these moves the play position.
    void playClip(); ///< Plays once, from the current position.
    void loopClip(); ///< Plays on and on, from the current position.
    void endClip();  ///< Stops; the position stays.

    /// SDL's mixing callback; needs no device, so it can be driven directly.
    static void callback(void* userdata, Uint8* stream, int len);

    /// Empties `sounds`; the list is process-wide, so tests need a way back.
    static void ClearSounds();

    std::uint32_t clipLen = 0;  ///< Bytes of sample data.
    std::uint32_t trackPos = 0; ///< Byte offset of the next byte to mix.
    Uint8* data = nullptr;      ///< The samples, in the device format.
    /// As the file declares it, even when the data was converted.
    SDL_AudioSpec spec{};
    bool loop = false;   ///< Wraps to the start at the end.
    bool active = false; ///< Mixed into the output.

    static std::vector<Ref<Clip>> sounds; ///< Every clip loaded, in load order.

private:
    /// Converted data comes from SDL_malloc rather than the WAV loader.
    bool m_converted = false;
};

} // namespace Engine
