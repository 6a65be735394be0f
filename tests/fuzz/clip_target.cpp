#include <algorithm>
#include <cstring>
#include <vector>

#include <engine/audio/Clip.h>
#include <engine/audio/Music.h>

#include "FuzzTargets.h"

using namespace Engine;

namespace EngineFuzz {

namespace {

constexpr int DeviceBuffer = Clip::DeviceSamples * Clip::DeviceChannels * 2;

// Runs the callback as the device would, checking it stays inside the buffer
// (ASan watches the clip's data) and never lets the position pass the end.
void Mix(const Ref<Clip>& clip, std::vector<Uint8>& out, int len) {
    Clip::callback(nullptr, out.data(), len);
    FUZZ_CHECK(clip->trackPos <= clip->clipLen);
}

// Ogg Vorbis also streams as music: played through its start, then from a
// seek to its middle, looping, a few buffers each.
void StreamOgg(const uint8_t* data, size_t size) {
    if (size < 4 || std::memcmp(data, "OggS", 4))
        return;
    Ref<Music> music = Music::LoadFromMemory(data, size);
    if (!music)
        return;
    std::vector<Uint8> out(DeviceBuffer);
    music->Play();
    for (int i = 0; i < 4; ++i) {
        Clip::callback(nullptr, out.data(), DeviceBuffer);
        Music::UpdateAll();
    }
    music->SetLooping(true);
    music->Seek(music->GetLength() / 2);
    for (int i = 0; i < 4; ++i) {
        Clip::callback(nullptr, out.data(), DeviceBuffer);
        Music::UpdateAll();
    }
    FUZZ_CHECK(music->GetTimePlayed() <= music->GetLength());
}

} // namespace

int FuzzClip(const uint8_t* data, size_t size) {
    Clip::ClearSounds();
    StreamOgg(data, size);
    Ref<Clip> clip = Clip::LoadClipRW(SDL_RWFromConstMem(data, static_cast<int>(size)));
    if (!clip) {
        FUZZ_CHECK(Clip::sounds.empty());
        return 0;
    }
    FUZZ_CHECK(Clip::sounds.size() == 1 && Clip::sounds[0] == clip);
    // Whole frames of the device format, whatever the file held.
    FUZZ_CHECK(clip->clipLen % 4 == 0);
    FUZZ_CHECK(clip->clipLen == 0 || clip->data);

    std::vector<Uint8> out(DeviceBuffer);
    // Looping: whole device buffers until the clip has wrapped twice, then
    // odd lengths (a buffer may be any size) that wrap mid-frame.
    clip->loopClip();
    const uint64_t twice = 2ull * clip->clipLen;
    for (uint64_t mixed = 0; mixed <= twice && mixed < 64ull * DeviceBuffer; mixed += DeviceBuffer)
        Mix(clip, out, DeviceBuffer);
    const int odd[] = {1, 3, 4097, DeviceBuffer - 1, 2};
    for (int len : odd)
        Mix(clip, out, len);

    // Once through from wherever it stopped: it must end and fall silent.
    clip->endClip();
    clip->playClip();
    for (int i = 0; i < 64 && clip->active; ++i)
        Mix(clip, out, DeviceBuffer);
    if (clip->clipLen <= 64u * DeviceBuffer)
        FUZZ_CHECK(!clip->active);
    if (!clip->active) {
        Mix(clip, out, DeviceBuffer);
        FUZZ_CHECK(std::all_of(out.begin(), out.end(), [](Uint8 b) { return b == 0; }));
    }

    Clip::ClearSounds();
    return 0;
}

} // namespace EngineFuzz
