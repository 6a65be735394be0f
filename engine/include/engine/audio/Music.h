#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <engine/core/Base.h>

namespace Engine {

/// A long piece of music played from its file a piece at a time: loading it
/// reads only the header, and however long the file, the music holds about
/// `BUFFERED_SECONDS` of sound in the device's format plus a small read buffer.
/// Mixed into the one audio device after the clips and sounds.
///
/// The engine's loop tops the buffer up once a frame (UpdateAll), so the audio
/// thread never reads the file. A stall of the loop longer than the buffer is
/// heard as a gap of silence and counted (GetUnderruns); the music then goes on
/// where it was. A file that cannot be read on or converted while the music
/// plays ends it there, with one warning: what was read plays, then IsPlaying
/// turns false; Play tries again from the start. Every call is safe while the
/// device runs.
///
/// Where no device could be opened, music plays unheard: the loop takes its
/// buffers as a device would, so its time passes and it ends as heard music
/// does (and so do Sound's plays).
///
/// Held through Ref: the music is silent from the moment its last owner lets go.
class Music {
public:
    /// Sound kept ready ahead of the device, in seconds: the longest stall of
    /// the loop the music plays through.
    static constexpr double BUFFERED_SECONDS = 0.5;

    /// A WAV file SDL reads. Integer and float samples are read from the file
    /// as they play; other encodings (A-law, mu-law, ADPCM, 24-bit) are decoded
    /// whole as they load and then played the same way. An Ogg Vorbis file
    /// (mono or stereo, told apart by its content) is decoded as it plays.
    /// Null, with a warning, when the file cannot be read or its header makes
    /// no sense.
    static Ref<Music> Load(const std::string& path);
    /// The same from a file's bytes in memory, of which the music keeps a
    /// copy: a tune the program made plays without being written to a file.
    static Ref<Music> LoadFromMemory(const void* data, size_t size);
    /// A tune the program made: samples from -1 to 1, interleaved by channel
    /// (left first), at rate hertz, of which the music keeps a copy. It plays,
    /// loops, seeks and reports its length and time as a float WAV file of
    /// the same samples would; values past -1 and 1 are clipped, ones that
    /// are no number silent, as in Sound::FromSamples. Null, with a warning,
    /// for channels outside 1 to 8, a count that is not whole frames, over
    /// 2 GB of samples, or a rate a file's music is refused: outside 1000 to
    /// 768000 Hz, or one such as 44101 Hz that shares too few factors with
    /// the device's 44100 Hz to be converted in short pieces.
    static Ref<Music> FromSamples(std::span<const float> samples, int rate, int channels = 1);

    Music(const Music&) = delete;            ///< Held through Ref.
    Music& operator=(const Music&) = delete; ///< Held through Ref.
    ~Music();                                ///< Silent at once, then closes the file.

    /// Plays from the start, also when already playing.
    void Play();
    /// Stops and goes back to the start.
    void Stop();
    /// Holds the music where it is; Resume goes on from there.
    void Pause();
    /// See Pause; a stopped music starts where Seek put it, and one that
    /// played to its end stays ended.
    void Resume();
    /// Whether it starts over at the end, seamlessly. Off by default. Up to
    /// `BUFFERED_SECONDS` before the end is already read: looping turned on
    /// that late reads on from what is heard, and turned off that late counts
    /// from the next end.
    void SetLooping(bool loop);
    /// Loudness from 0 (silent) to 1 (as recorded, the default); clamped, and
    /// not a number is silent.
    void SetVolume(float volume);
    /// Plays from `seconds` into the music, clamped to its length; also while
    /// stopped or paused, for the next Resume. Play still starts from the start.
    void Seek(double seconds);

    /// Playing and not paused.
    bool IsPlaying() const;
    /// The music's length in seconds.
    double GetLength() const;
    /// Where the music is, in seconds from its start, as heard: it moves
    /// on smoothly from call to call, not in steps of the device's buffer,
    /// so notes or lyrics drawn at it keep in step with the sound. It counts
    /// each buffer heard from the moment it is mixed; what the system's
    /// sound server and card hold on top (a few to some tens of
    /// milliseconds, by system) is not known to it, for a game's latency
    /// setting to take off. Paused, it runs on through the sound already
    /// mixed, which is still heard, and then holds.
    double GetTimePlayed() const;
    /// Device buffers that found the music's buffer short, since it loaded.
    std::uint64_t GetUnderruns() const;

    /// Tops up the buffer of every music playing. Engine's loop calls it each
    /// frame; call it yourself only from a loop of your own.
    static void UpdateAll();

private:
    friend class AudioStream; // a music fed samples rather than read from a file

    struct Source; // the file, its format and the converter
    // Longest a fed music queues, in seconds.
    static constexpr double FED_SECONDS = 2.0;
    Music(Uni<Source> source, double bufferedSeconds);
    // A music of the source, or null with a warning for its error, or for its
    // converter's when it has none.
    static Ref<Music> Open(Uni<Source> source, std::string error);
    // Puts a music into the list the audio thread mixes.
    static Ref<Music> Link(Uni<Source> source, double bufferedSeconds);
    // A music of samples pushed at rate, or null with the reason.
    static Ref<Music> Fed(int rate, int channels, std::string& error);
    // Takes the whole frames of samples that keep it under FED_SECONDS queued,
    // converts what it can; returns the frames taken.
    std::size_t Feed(std::span<const float> samples);
    // Frames pushed and not yet heard; FED_SECONDS' worth once it failed.
    std::uint64_t QueuedFrames() const;
    // Reads and converts until the buffer is full or the music's end is in it.
    void Refill();
    // Back to `frame` of the file, with an empty buffer.
    void Restart(std::uint64_t frame);
    // Seconds into the music as heard (GetTimePlayed), or as far as mixed.
    double TimePlayed(bool heard) const;

    Uni<Source> m_source;
    // Every music loaded, linked through themselves so that the audio thread
    // walks them without the list ever allocating or being torn down.
    Music* m_prev = nullptr;
    Music* m_next = nullptr;

    // The buffer: a ring of device-format bytes the audio thread mixes from,
    // allocated once. These and the play state are shared with the audio
    // thread, under the device lock.
    std::vector<Uint8> m_ring;
    std::uint32_t m_ringStart = 0, m_ringFilled = 0;
    bool m_playing = false, m_paused = false;
    bool m_endBuffered = false; // the last of the music is in the ring
    bool m_primed = false;      // filled since the last Restart: a short ring is then an underrun
    int m_volume = SDL_MIX_MAXVOLUME;
    std::uint64_t m_framesHeard = 0; // device frames mixed since the last Restart
    std::uint64_t m_framesBefore = 0; // of them, those mixed before the last buffer
    std::uint64_t m_underruns = 0;

    // The main thread's alone.
    double m_startSeconds = 0;    // where the last Restart put the music
    bool m_warnedUnderrun = false;

    /// The audio thread's side: mixes every music playing from its buffer.
    friend void MixMusic(Uint8* stream, std::uint32_t len);
};

} // namespace Engine
