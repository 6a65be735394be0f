// Sounds: voices of one sound mixed over each other, at their volume, pitch
// and pan, after the clips, through the callback and through a real (disk)
// device.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include <engine/audio/Clip.h>
#include <engine/audio/Sound.h>

#include "audio/AudioBytes.h"

using Engine::Clip;
using Engine::Ref;
using Engine::Sound;
using namespace EngineTest;

namespace {

constexpr size_t Samples = Buffer / 2; // 16-bit samples in a device buffer

// `count` samples, sample i being f(i).
Bytes S16(size_t count, const std::function<int(size_t)>& f) {
    Bytes out(count * 2);
    for (size_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint16_t>(static_cast<int16_t>(f(i)));
        out[2 * i] = static_cast<Uint8>(v);
        out[2 * i + 1] = static_cast<Uint8>(v >> 8);
    }
    return out;
}

int SampleAt(const Bytes& b, size_t i) {
    return i * 2 + 1 < b.size() ? int16_t(b[2 * i] | b[2 * i + 1] << 8) : 0;
}

// Plays of `data` that started `starts` samples ago, each at volume (0 to
// 128) as SDL scales it, summed: what the device must get for samples
// [from, from + count).
Bytes Expected(const Bytes& data, std::vector<size_t> starts, size_t from, size_t count,
               int volume = SDL_MIX_MAXVOLUME) {
    return S16(count, [&](size_t i) {
        int sum = 0;
        for (size_t start : starts)
            if (from + i >= start)
                sum += SampleAt(data, from + i - start) * volume / SDL_MIX_MAXVOLUME;
        return std::clamp(sum, -32768, 32767);
    });
}

// A sound of the samples, stereo at the device's rate.
Ref<Sound> Make(const Bytes& samples) {
    const Bytes wav = Wav(2, 44100, 16, samples);
    return Sound::LoadFromMemory(wav.data(), wav.size());
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { Clip::ClearSounds(); }
    void TearDown() override { Clip::ClearSounds(); }
};

// Each play is a voice of its own, summed with the others and with the clips;
// volume, Stop and Pause reach the voices playing; a sound let go is silent at once,
// however many voices it had; a full pool gives the newest play the oldest
// voice.
TEST_F(SoundTest, VoicesOfOneSoundOverlap) {
    // Three buffers of a ramp, small enough that sums never clip.
    const Bytes ramp = S16(3 * Samples, [](size_t i) { return 1 + int(i % 3000); });
    Ref<Sound> sound = Make(ramp);
    ASSERT_NE(sound, nullptr);
    EXPECT_FALSE(sound->IsPlaying());
    // Two samples a frame, 44,100 frames a second.
    EXPECT_DOUBLE_EQ(sound->GetLength(), 3.0 * Samples / 2 / 44100);

    sound->Play();
    EXPECT_TRUE(sound->IsPlaying());
    EXPECT_BYTES(Mix(), Expected(ramp, {0}, 0, Samples));
    sound->Play();
    EXPECT_BYTES(Mix(), Expected(ramp, {0, Samples}, Samples, Samples));
    sound->SetVolume(0.5f);
    EXPECT_BYTES(Mix(), Expected(ramp, {0, Samples}, 2 * Samples, Samples, 64));
    // The first voice has ended; the second plays on, and so does a third.
    sound->Play();
    EXPECT_BYTES(Mix(), Expected(ramp, {0, Samples, 3 * Samples}, 3 * Samples, Samples, 64));
    sound->Stop();
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    // Paused, a voice keeps its place and goes on from it.
    sound->SetVolume(1.0f);
    sound->Play();
    EXPECT_BYTES(Mix(), Expected(ramp, {0}, 0, Samples));
    sound->Pause();
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    sound->Resume();
    EXPECT_TRUE(sound->IsPlaying());
    EXPECT_BYTES(Mix(), Expected(ramp, {0}, Samples, Samples));
    sound->Stop();

    // A looping voice wraps, mixed after a clip.
    auto clip = Engine::CreateRef<Clip>();
    const Bytes clipData = S16(Samples, [](size_t) { return 5; });
    clip->data = static_cast<Uint8*>(SDL_malloc(clipData.size()));
    std::copy(clipData.begin(), clipData.end(), clip->data);
    clip->clipLen = std::uint32_t(clipData.size());
    Clip::sounds.push_back(clip);
    clip->playClip();
    const Bytes shortRamp = S16(1000, [](size_t i) { return int(i); });
    Ref<Sound> loop = Make(shortRamp);
    loop->SetLooping(true);
    loop->Play();
    EXPECT_BYTES(Mix(), S16(Samples, [](size_t i) { return 5 + int(i % 1000); }));
    EXPECT_TRUE(loop->IsPlaying());

    // Letting go: its voices stop before its samples go (AddressSanitizer
    // would see the callback read them).
    loop->Play();
    loop.reset();
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));

    // 32 voices of a constant 1000; a 33rd play of a constant 7 takes one.
    sound = Make(S16(Samples, [](size_t) { return 1000; }));
    Ref<Sound> other = Make(S16(Samples, [](size_t) { return 7; }));
    for (int i = 0; i < Sound::VOICES; ++i)
        sound->Play();
    other->Play();
    EXPECT_BYTES(Mix(), S16(Samples, [](size_t) { return 31 * 1000 + 7; }));
    // Nor is a paused voice taken, though it is the first in the pool.
    sound->Stop();
    other->Play();
    other->Pause();
    for (int i = 0; i < Sound::VOICES; ++i)
        sound->Play();
    other->Resume();
    EXPECT_BYTES(Mix(), S16(Samples, [](size_t) { return 31 * 1000 + 7; }));

    // What cannot be read is no sound.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Sound::Load("no such file.wav"), nullptr);
    const Bytes noise = Pattern(100);
    EXPECT_EQ(Sound::LoadFromMemory(noise.data(), noise.size()), nullptr);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("AUDIO: Could not load the sound no such file.wav: "), std::string::npos)
        << err;
    EXPECT_NE(err.find("AUDIO: Could not load the sound in memory: "), std::string::npos) << err;
    EXPECT_TRUE(Clip::sounds.size() == 1) << "sounds are not clips";

    // Samples of the program's own: mono on both channels, clipped past -1
    // and 1, silent where no number; part frames or no rate make no sound.
    sound.reset();
    other.reset();
    const float made[] = {0.5f, -0.25f, 2.0f, -3.0f, NAN, 0.25f};
    Ref<Sound> own = Sound::FromSamples(made, 44100);
    ASSERT_NE(own, nullptr);
    EXPECT_DOUBLE_EQ(own->GetLength(), 6.0 / 44100);
    own->Play();
    const Bytes mixed = Mix();
    const int want[] = {16383, -8191, 32767, -32767, 0, 8191};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_NEAR(SampleAt(mixed, 2 * i + 1), want[i], 1) << i; // the right channel
    own.reset();
    // Resampled, a NaN would spread over its neighbours.
    std::vector<float> holed(2000, 0.0f);
    holed[1000] = NAN;
    own = Sound::FromSamples(holed, 22050);
    ASSERT_NE(own, nullptr);
    own->Play();
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Sound::FromSamples(std::span(made, 5), 44100, 2), nullptr);
    EXPECT_EQ(Sound::FromSamples(made, 0), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                  "AUDIO: Could not make a sound of samples: "),
              std::string::npos);
}

// Pitch and pan, each case a fresh play of a ramp mixed into one buffer:
// frame i holds 8(i+1) on the left and its negative on the right, so every
// value a pitch in powers of two reads between two frames is whole.
TEST_F(SoundTest, PitchResamplesAndPanBalances) {
    constexpr size_t Frames = Samples / 2; // output frames in a buffer
    auto left = [](size_t i) { return 8 * int(i + 1); };
    struct Case {
        const char* what;
        float pitch, pan;
        bool loop;
        size_t frames; // of the sound
        // What output frame k must hold, left and right.
        std::function<std::pair<int, int>(size_t k, size_t n)> expect;
        bool playingAfter;
        double lengthFrames; // GetLength in frames of the device
    } cases[] = {
        {"as recorded", 1, 0, false, 3000,
         [&](size_t k, size_t n) {
             return k < n ? std::pair{left(k), -left(k)} : std::pair{0, 0};
         },
         false, 3000},
        {"not a number is as recorded", NAN, NAN, false, 3000,
         [&](size_t k, size_t n) {
             return k < n ? std::pair{left(k), -left(k)} : std::pair{0, 0};
         },
         false, 3000},
        {"an octave up plays half the frames", 2, 0, false, 3001,
         [&](size_t k, size_t n) {
             return 2 * k < n ? std::pair{left(2 * k), -left(2 * k)} : std::pair{0, 0};
         },
         false, 1500.5},
        {"an octave down, looping, reads between frames and from the last to the first", 0.5f, 0,
         true, 1000,
         [&](size_t k, size_t n) {
             const size_t i = k / 2 % n, next = (i + 1) % n;
             const int l = k % 2 ? (left(i) + left(next)) / 2 : left(i);
             return std::pair{l, -l};
         },
         true, 2000},
        {"infinity is the highest pitch", INFINITY, 0, false, 3000,
         [&](size_t k, size_t n) {
             return 8 * k < n ? std::pair{left(8 * k), -left(8 * k)} : std::pair{0, 0};
         },
         false, 375},
        {"below zero is the lowest pitch", -5, 0, false, 3000,
         [&](size_t k, size_t) {
             return std::pair{int(k) + 8, -int(k) - 8};
         },
         true, 24000},
        {"full left silences the right", 1, -1, false, 3000,
         [&](size_t k, size_t n) {
             return k < n ? std::pair{left(k), 0} : std::pair{0, 0};
         },
         false, 3000},
        {"half right halves the left", 1, 0.5f, false, 3000,
         [&](size_t k, size_t n) {
             return k < n ? std::pair{left(k) / 2, -left(k)} : std::pair{0, 0};
         },
         false, 3000},
        {"beyond the right is full right, at any pitch", 2, INFINITY, false, 3000,
         [&](size_t k, size_t n) {
             return 2 * k < n ? std::pair{0, -left(2 * k)} : std::pair{0, 0};
         },
         false, 1500},
    };
    for (const Case& c : cases) {
        Ref<Sound> sound =
            Make(S16(2 * c.frames, [&](size_t i) { return i % 2 ? -left(i / 2) : left(i / 2); }));
        sound->SetPitch(c.pitch);
        sound->SetPan(c.pan);
        sound->SetLooping(c.loop);
        sound->Play();
        EXPECT_BYTES(Mix(), S16(Samples,
                                [&](size_t i) {
                                    const auto [l, r] = c.expect(i / 2, c.frames);
                                    return i % 2 ? r : l;
                                }))
            << c.what;
        EXPECT_EQ(sound->IsPlaying(), c.playingAfter) << c.what;
        EXPECT_DOUBLE_EQ(sound->GetLength() * 44100, c.lengthFrames) << c.what;
    }

    // A voice playing takes a new pitch and pan from where it is.
    const Bytes ramp = S16(6 * Samples, [](size_t i) { return int(i / 2 % 1000); });
    Ref<Sound> sound = Make(ramp);
    sound->Play();
    EXPECT_BYTES(Mix(), Expected(ramp, {0}, 0, Samples));
    sound->SetPitch(2);
    sound->SetPan(-1);
    EXPECT_BYTES(Mix(),
                 S16(Samples, [](size_t i) { return i % 2 ? 0 : int((Frames + i) % 1000); }));

    // A play at its own pitch and volume, clamped as the setters clamp, over
    // one at the sound's own settings, which it leaves as they were.
    const struct {
        float pitch, volume;
        size_t step;
        int halves; // its volume, in halves
    } owns[] = {{2, 0.5f, 2, 1}, {NAN, 3, 1, 2}, {INFINITY, NAN, 8, 0}};
    sound->Stop();
    for (const auto& own : owns) {
        Ref<Sound> jump = Make(ramp);
        jump->Play();
        jump->Play(own.pitch, own.volume);
        EXPECT_BYTES(Mix(), S16(Samples, [&](size_t i) {
                         const size_t k = i / 2;
                         return int(k % 1000) + int(own.step * k % 1000) * own.halves / 2;
                     })) << own.pitch;
        EXPECT_DOUBLE_EQ(jump->GetLength() * 44100, 3.0 * Samples) << own.pitch;
    }
}

// Through a real device: a second play of a sound joins the first, mixed,
// at a buffer boundary. Then sounds are made, played, stopped and let go
// while the device mixes; under ThreadSanitizer that shows the locking.
TEST_F(SoundTest, DiskDeviceGetsOverlappingPlaysMixed) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("sound_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto capture = dir / "capture.raw";
    StartDiskAudio(capture, 5);
    Clip::InitAudio();
    ASSERT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);

    // Forty buffers long, so that the second play still overlaps the first
    // when a loaded machine holds this thread back for a while.
    constexpr size_t Length = 40;
    const Bytes ramp = S16(Length * Samples, [](size_t i) { return 1 + int(i % 2000); });
    Ref<Sound> sound = Make(ramp);
    ASSERT_NE(sound, nullptr);
    const size_t before = Written(capture);
    sound->Play();
    AwaitCapture(capture, before + 3 * Buffer);
    sound->Play();
    const size_t wanted = Written(capture) + 12 * Buffer;
    AwaitCapture(capture, wanted);
    const Bytes out = ReadAll(capture);
    ASSERT_GE(out.size(), wanted);

    const size_t start = FirstSound(out);
    ASSERT_LT(start, out.size()) << "the sound never played";
    ASSERT_EQ(start % Buffer, 0u);
    const Bytes played(out.begin() + long(start), out.end());
    // Where the second play joined: the first buffer unlike the first play alone.
    size_t joined = 0;
    while (joined < Length && FirstMismatch(Bytes(played.begin() + long(joined * Buffer),
                                              played.begin() + long((joined + 1) * Buffer)),
                                        Expected(ramp, {0}, joined * Samples, Samples)) == -1)
        ++joined;
    EXPECT_GE(joined, 1u) << "the plays started together";
    EXPECT_LT(joined, Length) << "the plays did not overlap";
    EXPECT_BYTES(played, Expected(ramp, {0, joined * Samples}, 0, played.size() / 2));

    // A tenth of a second of sounds coming and going while the device mixes.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
        Ref<Sound> s = Make(S16(Samples, [i](size_t) { return i; }));
        s->SetLooping(i % 2);
        s->Play();
        s->Play();
        s->SetVolume(0.25f);
        if (i % 3 == 0)
            s->Stop();
        sound->Play();
        EXPECT_TRUE(sound->IsPlaying());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SDL_CloseAudio();
    SDL_Quit();
    std::filesystem::remove_all(dir);
}

} // namespace
