#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <engine/core/Base.h>

namespace Engine {

class Music;

/// Sound the program makes as it runs, such as a synthesiser's or an
/// emulator's: it pushes samples and they play as they come, mixed with the
/// music. What is pushed is converted to the device's format as it is pushed,
/// just as Sound::FromSamples converts a whole sound, so the audio thread only
/// copies it.
///
///     stream = AudioStream::Create(22050);
///     stream->Play();
///     // each frame: keep about 0.1 s ahead
///     while (stream->GetQueued() < 0.1) stream->Push(NextSamples());
///
/// Running dry is heard as silence and counted (GetUnderruns); what comes
/// next plays on from there. At a rate other than the device's, the last few
/// milliseconds pushed wait for the next push, since converting them needs
/// what follows. Create and let go of streams on the thread that runs the
/// loop; the other calls may come from any one thread at a time.
///
/// Should converting what is pushed fail, the stream says why in one warning,
/// plays what it had converted and stops for good: IsPlaying turns false,
/// Play does nothing, Push takes nothing and GetQueued reports
/// MAX_QUEUED_SECONDS, so a loop like the one above ends. Make a new stream.
///
/// Held through Ref: the stream is silent from the moment its last owner
/// lets go.
class AudioStream {
public:
    /// Most sound a stream holds, in seconds; Push takes no more.
    static constexpr double MAX_QUEUED_SECONDS = 2.0;

    /// A stream of samples at `rate` hertz (1000 to 768000) in `channels`
    /// (1 to 8) interleaved, left first. Null, with a warning, outside those
    /// or at a rate with no short whole-frame pieces at the device's rate.
    static Ref<AudioStream> Create(int rate, int channels = 1);

    AudioStream(const AudioStream&) = delete;            ///< Held through Ref.
    AudioStream& operator=(const AudioStream&) = delete; ///< Held through Ref.
    ~AudioStream();                                      ///< Silent at once.

    /// Queues samples from -1 to 1, interleaved; values past -1 and 1 are
    /// clipped and ones that are no number silent, as in Sound::FromSamples.
    /// Takes whole frames while fewer than MAX_QUEUED_SECONDS are queued and
    /// returns how many frames it took, not samples: push the rest, from
    /// sample frames * channels on, again later. Also while
    /// stopped or paused, to be played from the next Play. None once the
    /// stream failed.
    std::size_t Push(std::span<const float> samples);
    /// Seconds pushed and not yet heard; MAX_QUEUED_SECONDS once it failed.
    double GetQueued() const;

    /// Plays what is queued and whatever comes; nothing if already playing
    /// or failed.
    void Play();
    /// Stops and drops what is queued.
    void Stop();
    /// Holds what is queued; Resume goes on from there.
    void Pause();
    void Resume(); ///< See Pause; the same as Play.
    /// Loudness from 0 (silent) to 1 (as pushed, the default); clamped, and
    /// not a number is silent.
    void SetVolume(float volume);

    /// Playing and not paused.
    bool IsPlaying() const;
    /// Device buffers that found the stream short while it played.
    std::uint64_t GetUnderruns() const;

private:
    AudioStream(Ref<Music> music, int rate);
    Ref<Music> m_music; // a music fed by Push
    int m_rate;
};

} // namespace Engine
