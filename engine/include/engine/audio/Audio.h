#pragma once

namespace Engine {

/// The audio device as a whole.
namespace Audio {

/// Loudness of everything the device plays (clips, sounds, music and
/// streams together) from 0 (silent) to 1 (as mixed, the default): a
/// game's "sound off" is SetMasterVolume(0). Values outside are clamped,
/// and not a number is silent, as for Sound::SetVolume. Applied to the mix
/// as a whole, after the sources are summed; the sources keep playing, so
/// turning it up again goes on where they are. Safe from any thread, also
/// before the device opens.
void SetMasterVolume(float volume);
/// The loudness SetMasterVolume last set, clamped; 1 until then.
float GetMasterVolume();

} // namespace Audio

} // namespace Engine
