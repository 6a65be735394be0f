#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>
#include <unistd.h>

#include <engine/audio/Audio.h>
#include <engine/audio/Clip.h>
#include <engine/audio/Sound.h>

#include "audio/AudioBytes.h"

using Engine::Clip;
using Engine::Ref;
using namespace EngineTest;

namespace {

// `n` bytes of `data` from `from`, wrapping around as a looping clip does.
Bytes Looped(const Bytes& data, size_t from, size_t n) {
    Bytes out;
    for (size_t i = 0; i < n; ++i)
        out.push_back(data[(from + i) % data.size()]);
    return out;
}

// A clip with a copy of `bytes`, in the list as LoadClip would leave it.
Ref<Clip> AddClip(const Bytes& bytes) {
    auto clip = Engine::CreateRef<Clip>();
    clip->data = static_cast<Uint8*>(SDL_malloc(std::max<size_t>(bytes.size(), 1)));
    std::copy(bytes.begin(), bytes.end(), clip->data);
    clip->clipLen = static_cast<std::uint32_t>(bytes.size());
    Clip::sounds.push_back(clip);
    return clip;
}

class ClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clip::ClearSounds();
        dir = std::filesystem::temp_directory_path() /
              ("clip_test_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        Clip::ClearSounds();
        std::filesystem::remove_all(dir);
    }

    std::string Write(const std::string& name, const Bytes& bytes) {
        auto path = dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return path.string();
    }

    std::filesystem::path dir;
};

TEST_F(ClipTest, LoopingClipWrapsAcrossBuffers) {
    const Bytes data = Pattern(20000);
    auto clip = AddClip(data);
    clip->loopClip();
    const std::uint32_t positions[] = {16384, 12768, 9152};
    std::uint32_t from = 0;
    for (std::uint32_t pos : positions) {
        EXPECT_BYTES(Mix(), Looped(data, from, Buffer));
        EXPECT_EQ(clip->trackPos, pos);
        from = pos;
    }
    EXPECT_TRUE(clip->active);
}

TEST_F(ClipTest, ClipEndingAtBufferBoundary) {
    const Bytes data = Pattern(2 * Buffer);
    for (bool loop : {false, true}) {
        Clip::ClearSounds();
        auto clip = AddClip(data);
        loop ? clip->loopClip() : clip->playClip();
        Mix();
        EXPECT_BYTES(Mix(), Looped(data, Buffer, Buffer)) << "loop " << loop;
        EXPECT_EQ(clip->active, loop);
        // An ended clip keeps its position; a looping one starts over.
        EXPECT_EQ(clip->trackPos, loop ? 0u : Buffer);
        EXPECT_BYTES(Mix(), loop ? Looped(data, 0, Buffer) : Bytes(Buffer, 0));
    }
}

TEST_F(ClipTest, EndThenLoopResumesWhereItStopped) {
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0)) << "no clips: silence";
    const Bytes data = Pattern(40000);
    auto clip = AddClip(data);
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0)) << "inactive clip: silence";
    EXPECT_EQ(clip->trackPos, 0u);

    clip->loopClip();
    Mix();
    clip->endClip();
    EXPECT_FALSE(clip->loop);
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    EXPECT_EQ(clip->trackPos, Buffer);

    clip->loopClip();
    EXPECT_BYTES(Mix(), Looped(data, Buffer, Buffer));
    EXPECT_BYTES(Mix(), Looped(data, 2 * Buffer, Buffer));
    EXPECT_EQ(clip->trackPos, 9152u);
}

// A clip shorter than a buffer repeats and never reads past its data
// (AddressSanitizer guards the reads); an empty one must not hang.
TEST_F(ClipTest, ShortAndEmptyLoopingClips) {
    const Bytes data = Pattern(1000);
    auto clip = AddClip(data);
    clip->loopClip();
    EXPECT_BYTES(Mix(), Looped(data, 0, Buffer));
    EXPECT_EQ(clip->trackPos, 384u);
    EXPECT_BYTES(Mix(), Looped(data, 384, Buffer));
    EXPECT_EQ(clip->trackPos, 768u);

    Clip::ClearSounds();
    const Bytes quarter = Pattern(Buffer / 4, 7);
    auto q = AddClip(quarter);
    q->loopClip();
    EXPECT_BYTES(Mix(), Looped(quarter, 0, Buffer));
    EXPECT_EQ(q->trackPos, 0u);

    Clip::ClearSounds();
    AddClip({})->loopClip();
    auto emptyOnce = AddClip({});
    emptyOnce->playClip();
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    EXPECT_FALSE(emptyOnce->active);
}

TEST_F(ClipTest, UnloadableFilesGiveEmptyHandle) {
    auto kept = AddClip(Pattern(100));
    // SDL's loader takes ten channels; the converter does not.
    for (const std::string& path : {(dir / "missing.wav").string(), Write("noise", Pattern(500)),
                                    Write("ten.wav", Wav(10, 44100, 16, Bytes(2000, 0)))}) {
        ::testing::internal::CaptureStderr();
        Ref<Clip> clip = Clip::LoadClip(path);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(clip, nullptr) << path;
        EXPECT_EQ(err.rfind("Could not open audio file: ", 0), 0u) << err;
        EXPECT_GT(err.size(), 28u) << "SDL's reason follows";
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line";
        ASSERT_EQ(Clip::sounds.size(), 1u);
        EXPECT_EQ(Clip::sounds[0], kept);
    }
}

TEST_F(ClipTest, DeviceFormatWavIsMixedUnchanged) {
    const Bytes samples = Pattern(6000, 3);
    Ref<Clip> clip = Clip::LoadClip(Write("stereo.wav", Wav(2, 44100, 16, samples)));
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(Clip::sounds.size(), 1u);
    EXPECT_EQ(Clip::sounds[0], clip);
    EXPECT_EQ(clip->spec.format, AUDIO_S16LSB);
    EXPECT_FALSE(clip->active || clip->loop || clip->trackPos);
    EXPECT_BYTES(Bytes(clip->data, clip->data + clip->clipLen), samples);

    clip->playClip();
    Bytes expected = samples;
    expected.resize(Buffer, 0);
    EXPECT_BYTES(Mix(), expected);
    EXPECT_FALSE(clip->active);
}

// Mono IMA ADPCM of `blocks` silent 65-frame blocks, of which the fact chunk
// declares `frames`, as editors write it: the last block is padded.
Bytes ImaAdpcm(std::uint32_t blocks, std::uint32_t frames) {
    constexpr std::uint32_t blockAlign = 36, perBlock = 65;
    Bytes v;
    auto put = [&](std::uint32_t x, int bytes) { PutLE(v, x, bytes); };
    auto tag = [&](const char* t) { PutTag(v, t); };
    tag("RIFF");
    put(4 + 28 + 12 + 8 + blocks * blockAlign, 4);
    tag("WAVE");
    tag("fmt ");
    put(20, 4);
    put(0x11, 2); // IMA ADPCM
    put(1, 2);
    put(44100, 4);
    put(44100 * blockAlign / perBlock, 4);
    put(blockAlign, 2);
    put(4, 2);
    put(2, 2); // extra bytes: frames per block
    put(perBlock, 2);
    tag("fact");
    put(4, 4);
    put(frames, 4);
    tag("data");
    put(blocks * blockAlign, 4);
    v.resize(v.size() + blocks * blockAlign, 0);
    return v;
}

TEST_F(ClipTest, OtherFormatsAreConvertedOnLoad) {
    // 0.1 s of a 441 Hz sine, mono, unsigned 8 bit, 22050 Hz.
    const int n = 2205;
    Bytes u8(n);
    for (int i = 0; i < n; ++i)
        u8[size_t(i)] = Uint8(std::lround(128 + 100 * std::sin(2 * M_PI * 441.0 * i / 22050)));
    Ref<Clip> clip = Clip::LoadClip(Write("mono8.wav", Wav(1, 22050, 8, u8)));
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->spec.format, AUDIO_U8) << "spec keeps what the file declares";

    // Twice the frames, two channels, two bytes each.
    ASSERT_EQ(clip->clipLen, 8u * n);
    const auto* s16 = reinterpret_cast<const Sint16*>(clip->data);
    const int frames = n * 2;
    double worst = 0;
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(s16[2 * f], s16[2 * f + 1]) << "frame " << f;
        // The resampler rings at the edges; the body must follow the source
        // within about one 8-bit step.
        if (f >= 64 && f < frames - 64)
            worst = std::max(worst, std::abs(s16[2 * f] - 25600 * std::sin(M_PI * f / 50)));
    }
    EXPECT_LT(worst, 300);

    // The converter's working space, several times the sound, is given back.
    EXPECT_LT(malloc_usable_size(clip->data), clip->clipLen + 4096u);

    clip->playClip();
    EXPECT_BYTES(Mix(), Bytes(clip->data, clip->data + Buffer)) << "mixes the converted data";

    // ADPCM plays the frames its fact chunk declares, not the padding of its
    // last block, which would be a gap at every loop.
    Ref<Clip> adpcm = Clip::LoadClip(Write("ima.wav", ImaAdpcm(2, 100)));
    ASSERT_NE(adpcm, nullptr);
    EXPECT_EQ(adpcm->clipLen, 100u * 4);
}

// The whole path through a real device: the disk driver writes exactly what
// the callback produced. A clip loaded while the device runs joins at a
// buffer boundary and loops. Under ThreadSanitizer this also checks the load
// and the flag change against the audio thread.
TEST_F(ClipTest, DiskDeviceCapturesLoopingClip) {
    const auto capture = dir / "capture.raw";
    StartDiskAudio(capture, 2);
    Clip::InitAudio();
    ASSERT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Bytes data = Pattern(20000, 11);
    Ref<Clip> clip = Clip::LoadClip(Write("loop.wav", Wav(2, 44100, 16, data)));
    ASSERT_NE(clip, nullptr);
    clip->loopClip();

    ::testing::internal::CaptureStderr();
    Clip::InitAudio(); // already open
    EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("Couldn't open audio: ", 0), 0u);

    // Whatever was written so far may all be silence from before the load.
    const size_t wanted = Written(capture) + 12 * Buffer;
    // Set while the device mixes; at 1 it leaves the capture as it was.
    Engine::Audio::SetMasterVolume(1.0f);
    AwaitCapture(capture, wanted);
    SDL_CloseAudio();
    SDL_Quit();

    const Bytes out = ReadAll(capture);
    ASSERT_GE(out.size(), wanted);
    const size_t start = FirstSound(out);
    ASSERT_LT(start, out.size()) << "the clip never played";
    EXPECT_EQ(start % Buffer, 0u);
    EXPECT_BYTES(Bytes(out.begin() + long(start), out.end()), Looped(data, 0, out.size() - start));
    EXPECT_EQ(clip->trackPos, (out.size() - start) % data.size());
}

// The master volume scales the whole mix, a sound's voices as well as the
// clips, after they are summed, and leaves it bit for bit as it was at 1.
TEST_F(ClipTest, MasterVolumeScalesTheWholeMix) {
    struct Restore {
        ~Restore() { Engine::Audio::SetMasterVolume(1.0f); }
    } restore;
    // One buffer long and looping, so every buffer mixes the same.
    AddClip(Pattern(Buffer, 5))->loopClip();
    const Bytes clipAlone = Mix();
    std::vector<float> tone(2 * 4096);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.6f * std::sin(0.01f * float(i));
    Ref<Engine::Sound> sound = Engine::Sound::FromSamples(tone, 44100, 2);
    ASSERT_NE(sound, nullptr);
    sound->SetLooping(true);
    sound->Play();
    const Bytes both = Mix();
    ASSERT_NE(both, clipAlone) << "the voice must be heard in the mix";
    ASSERT_EQ(both, Mix()) << "every buffer the same";

    auto scaled = [&](float gain) {
        Bytes out = both;
        for (size_t i = 0; i + 1 < out.size(); i += 2) {
            const auto s = Sint16(out[i] | out[i + 1] << 8);
            const auto v = Uint16(Sint16(std::lrint(s * gain)));
            out[i] = Uint8(v), out[i + 1] = Uint8(v >> 8);
        }
        return out;
    };
    const struct {
        float set, read;
    } cases[] = {{0.5f, 0.5f}, {0.25f, 0.25f}, {1.0f, 1.0f}, {0.0f, 0.0f},
                 {3.0f, 1.0f}, {-1.0f, 0.0f}, {std::nanf(""), 0.0f}};
    for (const auto& c : cases) {
        Engine::Audio::SetMasterVolume(c.set);
        EXPECT_EQ(Engine::Audio::GetMasterVolume(), c.read) << c.set;
        EXPECT_BYTES(Mix(), scaled(c.read)) << c.set;
    }
    Engine::Audio::SetMasterVolume(1.0f);
    EXPECT_BYTES(Mix(), both) << "back at 1, exactly as before";
}

// The game's music plays as it is (no conversion) and loops without a click.
TEST_F(ClipTest, MusicAssetLoopsCleanly) {
    Ref<Clip> music = Clip::LoadClip("./Assets/piano2.wav");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->spec.freq, 44100);
    EXPECT_EQ(music->spec.format, AUDIO_S16LSB);
    EXPECT_EQ(music->spec.channels, 2);
    ASSERT_EQ(music->clipLen % 4, 0u);
    EXPECT_NEAR(music->clipLen / 4 / 44100.0, 12, 4);

    const auto* s = reinterpret_cast<const Sint16*>(music->data);
    const size_t count = music->clipLen / 2;
    for (size_t ch = 0; ch < 2; ++ch) {
        EXPECT_LE(std::abs(s[ch]), 64);
        EXPECT_LE(std::abs(s[count - 2 + ch]), 64);
    }
    int peak = 0;
    for (size_t i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(s[i])));
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_GT(peak, 8000) << "too quiet";
}

} // namespace
