#pragma once

#include <SDL.h>

#include <cstddef>
#include <span>
#include <string>

#include <engine/core/Base.h>

namespace Engine {

class Clip;

/// A sound effect: loaded once, played any number of times at once. Each play
/// is a voice of its own, mixed into the one audio device after the clips; all
/// sounds share a fixed pool of `VOICES` voices. Every call is safe while the
/// device runs: the engine takes the device lock itself.
///
/// Held through Ref: a sound lives while anything holds it, and when the last
/// owner lets go its voices stop before its samples are freed. The device must
/// be open (Engine::Start opens it) for anything to be heard.
class Sound {
public:
    /// Voices playing at once, over all sounds. When all are busy, a new play
    /// takes the one that has played longest among those that do not loop
    /// and are not paused.
    static constexpr int VOICES = 32;
    /// The pitch range, three octaves each way; SetPitch clamps to it.
    static constexpr float MIN_PITCH = 0.125f;
    static constexpr float MAX_PITCH = 8.0f; ///< See MIN_PITCH.

    /// A WAV file in any format SDL reads, or an Ogg Vorbis file (mono or
    /// stereo, told apart by its content), decoded whole and converted to the
    /// device's; null, with a warning, when it cannot be read, or an Ogg one
    /// decodes to over 32 Mi samples (play such a long one as Music).
    static Ref<Sound> Load(const std::string& path);
    /// The same from a file's bytes in memory, which are not kept.
    static Ref<Sound> LoadFromMemory(const void* data, size_t size);
    /// A sound made by the program: samples from -1 to 1, interleaved by
    /// channel (left first), at rate hertz, copied and converted as a file's
    /// are; values past -1 and 1 are clipped, ones that are no number silent.
    /// A beep: a vector of sin(2 pi 440 t) for t in steps of 1 / 22050,
    /// FromSamples(beep, 22050). Null, with a warning, for a rate not above
    /// 0, channels outside 1 to 8 or a count that is not whole frames.
    static Ref<Sound> FromSamples(std::span<const float> samples, int rate, int channels = 1);

    Sound(const Sound&) = delete;            ///< Held through Ref.
    Sound& operator=(const Sound&) = delete; ///< Held through Ref.
    ~Sound();                                ///< Stops its voices, then frees the samples.

    /// Starts a new voice from the start, over those already playing.
    void Play();
    /// The same, this voice alone at its own pitch and volume, clamped and
    /// read as SetPitch and SetVolume read them; the sound's own settings and
    /// its other voices stay as they are. A jump sound a step higher each
    /// time: Play(1.0f + 0.1f * jumps). A later SetPitch or SetVolume sets
    /// this voice too, as it sets every voice.
    void Play(float pitch, float volume = 1.0f);
    /// Stops every voice of this sound, paused ones too.
    void Stop();
    /// Holds every voice of this sound where it is (a game's pause menu);
    /// a Play after it starts a voice that is heard. Paused voices keep
    /// their places in the pool until Resume or Stop.
    void Pause();
    /// Goes on with the voices Pause held, from where they were.
    void Resume();
    /// Whether voices start over at the end; also for the voices playing.
    void SetLooping(bool loop);
    /// Loudness from 0 (silent) to 1 (as recorded, the default); also for
    /// the voices playing. Values outside are clamped.
    void SetVolume(float volume);
    /// Speed of play, which moves the pitch with it: 1 as recorded (the
    /// default), 0.5 an octave down and twice as long, 2 an octave up and half
    /// as long. Clamped to MIN_PITCH..MAX_PITCH; not a number is 1. Also for
    /// the voices playing, which go on from where they are.
    void SetPitch(float pitch);
    /// Where the sound sits, from -1 (left) through 0 (centre, as recorded,
    /// the default) to 1 (right); clamped, and not a number is the centre.
    /// A balance: the side it moves away from fades linearly, silent at -1 or
    /// 1, while the near side stays as recorded, so nothing gets louder. A
    /// stereo file keeps its two sides (a mono one plays the same on both).
    /// A mono output device ignores it. Also for the voices playing.
    void SetPan(float pan);
    /// Whether any voice of this sound is playing and not paused.
    bool IsPlaying() const;
    /// How long one play lasts at the current pitch, in seconds.
    double GetLength() const;

private:
    explicit Sound(Ref<Clip> samples);
    /// Load's and LoadFromMemory's work; name is for the warning.
    static Ref<Sound> Read(SDL_RWops* source, const std::string& name);

    Ref<Clip> m_samples; // read by the clip reader, not in Clip::sounds
    bool m_loop = false;
    float m_volume = 1.0f;
    float m_pitch = 1.0f;
    float m_pan = 0.0f;
};

} // namespace Engine
