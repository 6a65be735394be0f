#pragma once

#include <SDL.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <engine/audio/Clip.h>

namespace Engine {

// Lock guard for SDL's audio device lock; a no-op while no device is open.
struct AudioLock {
    AudioLock() { SDL_LockAudio(); }
    ~AudioLock() { SDL_UnlockAudio(); }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;
};

// SDL_RWFromFile for a file of sound, refusing a pipe or a device with SDL's
// error set: opening a pipe waits for a writer, and a device may never end.
SDL_RWops* OpenSoundFile(const std::string& path);

// Sample rates a real recording has, in files of either kind; a rate of a
// few hertz would turn each frame read into seconds of device sound.
inline constexpr int MinRate = 1000, MaxRate = 768000;

// Bytes of one sample frame in the device format.
inline constexpr std::uint32_t DeviceFrame =
    Clip::DeviceChannels * SDL_AUDIO_BITSIZE(Clip::DeviceFormat) / 8;

// Appends samples a program made, clipped to -1..1 and with a NaN made 0,
// ready for SDL's converter.
void AppendCleanSamples(std::vector<float>& out, std::span<const float> samples);

// Adds `len` bytes of samples in the device format at `pos` of data (dataLen
// bytes) onto stream at volume (0 to SDL_MIX_MAXVOLUME), advancing pos and
// wrapping to the start as often as needed when looping. False when a sound
// that does not loop reached its end; pos then stays where this buffer found it.
bool MixFrom(Uint8* stream, std::uint32_t len, const Uint8* data, std::uint32_t dataLen,
             std::uint32_t& pos, bool loop, int volume);

// Adds every voice of every Sound onto stream. Runs on the audio thread under
// the device lock.
void MixVoices(Uint8* stream, std::uint32_t len);

// Adds every Music playing onto stream, from what its buffer holds; a buffer
// short of sound leaves the rest silent and counts an underrun. Runs on the
// audio thread under the device lock.
void MixMusic(Uint8* stream, std::uint32_t len);

// The clock each mix is timed by, which Music::GetTimePlayed counts on from:
// SDL_GetPerformanceCounter, or null for it; tests stop it to read times
// exactly.
void SetMixClock(Uint64 (*now)());

// Whether InitAudio found no device to open; the loop then mixes music and
// sounds into nothing as a device would take them (Music::UpdateAll).
void SetNoDevice(bool none);

// Scales the finished mix by the master volume (Audio::SetMasterVolume);
// leaves it untouched at 1. Runs on the audio thread.
void ApplyMasterVolume(Uint8* stream, std::uint32_t len);

// Whether the device is known to end in one channel, where panning would only
// change loudness; voices then ignore their pan. Set as the device opens.
void SetMonoOutput(bool mono);

} // namespace Engine
