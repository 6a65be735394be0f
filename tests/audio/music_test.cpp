// Music streamed from its file or memory: the same sound as a whole-file
// conversion, seamless loops, underruns heard as silence and counted, hostile
// files, and a real (disk) device mixing while the loop refills. Streams the
// program feeds, which are musics of pushed samples. Ogg Vorbis sounds and
// music against oggdec's decoding of the same files.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <atomic>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <engine/audio/AudioStream.h>
#include <engine/audio/Clip.h>
#include <engine/audio/Music.h>
#include <engine/audio/Sound.h>

#include "audio/AudioBytes.h"
#include "audio/Mixer.h"

using Engine::AudioStream;
using Engine::Clip;
using Engine::Music;
using Engine::Ref;
using Engine::Sound;
using namespace EngineTest;

namespace {

namespace fs = std::filesystem;

constexpr size_t Frame = 4; // device bytes a frame

// Stereo 16-bit samples of a sine, right the negative of left; never 0 at the
// start, where a capture's silence ends.
Bytes Tone(size_t frames, int period) {
    Bytes out;
    for (size_t i = 0; i < frames; ++i) {
        const int v = int(9000 * std::sin(6.2831853 * (double(i % size_t(period)) + 0.5) / period));
        PutLE(out, std::uint16_t(std::int16_t(v)), 2);
        PutLE(out, std::uint16_t(std::int16_t(-v)), 2);
    }
    return out;
}

int Sample(const Bytes& b, size_t i) {
    return std::int16_t(b[2 * i] | b[2 * i + 1] << 8);
}

// The largest difference of two samples; -1 when the lengths differ.
int Worst(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size())
        return -1;
    int worst = 0;
    for (size_t i = 0; i < a.size() / 2; ++i)
        worst = std::max(worst, std::abs(Sample(a, i) - Sample(b, i)));
    return worst;
}

// The mixer's clock, as a test sets it.
Uint64 s_clock = 0;

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A second passes at each reading, past any buffer: the time played
        // is as far as mixed, exactly.
        Engine::SetMixClock([] { return s_clock += SDL_GetPerformanceFrequency(); });
        Clip::ClearSounds();
        dir = fs::temp_directory_path() / ("music_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        Engine::SetMixClock(nullptr);
        Clip::ClearSounds();
        fs::remove_all(dir);
    }
    fs::path Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    // `buffers` device buffers of what plays, the loop refilling after each.
    static Bytes Play(int buffers) {
        Bytes out;
        for (int i = 0; i < buffers; ++i) {
            const Bytes b = Mix();
            out.insert(out.end(), b.begin(), b.end());
            Music::UpdateAll();
        }
        return out;
    }
    fs::path dir;
};

// At other rates, music comes out as the whole file converted at once, and a
// loop sounds as the file converted twice over: no click, no gap at the seam.
TEST_F(MusicTest, StreamsAsWholeConversionAndLoopsSeamlessly) {
    for (const std::uint32_t rate : {48000u, 22050u, 96000u, 32000u}) {
        SCOPED_TRACE(rate);
        const Bytes tone = Tone(rate * 3 / 4, 97); // 0.75 s, longer than the buffer
        Bytes twice = tone;
        twice.insert(twice.end(), tone.begin(), tone.end());
        const Bytes onceFile = Wav(2, rate, 16, tone);
        const fs::path once = Write("once.wav", onceFile);

        Ref<Sound> whole = Sound::Load(Write("twice.wav", Wav(2, rate, 16, twice)).string());
        ASSERT_NE(whole, nullptr);
        whole->Play();
        const Bytes expected = Play(16); // 1.49 s, most of the two plays
        whole->Stop();

        Ref<Music> music = Music::Load(once.string());
        ASSERT_NE(music, nullptr);
        const double length = double(rate * 3 / 4) / rate;
        EXPECT_DOUBLE_EQ(music->GetLength(), length);
        music->SetLooping(true);
        music->Play();
        const Bytes streamed = Play(16);
        ASSERT_EQ(streamed.size(), expected.size());
        EXPECT_LE(Worst(streamed, expected), 1);
        EXPECT_EQ(music->GetUnderruns(), 0u);
        EXPECT_NEAR(music->GetTimePlayed(), std::fmod(16 * 4096 / 44100.0, length), 1e-9);
        music.reset();

        // From memory, the bytes are the file's: the same sound.
        Ref<Music> held = Music::LoadFromMemory(onceFile.data(), onceFile.size());
        ASSERT_NE(held, nullptr);
        held->SetLooping(true);
        held->Play();
        EXPECT_BYTES(Play(16), streamed);
    }
    // Decoded whole as it loads, from memory too.
    const Bytes deep = Wav(2, 44100, 24, Pattern(6 * 30000));
    const fs::path deepPath = Write("deep.wav", deep);
    Ref<Music> fromFile = Music::Load(deepPath.string());
    ASSERT_NE(fromFile, nullptr);
    fromFile->Play();
    const Bytes expected = Play(3);
    fromFile.reset();
    Ref<Music> fromMemory = Music::LoadFromMemory(deep.data(), deep.size());
    ASSERT_NE(fromMemory, nullptr);
    fromMemory->Play();
    EXPECT_BYTES(Play(3), expected);
}

// A loop that stalls past the buffer: the rest of the device buffer is
// silent, the stall counted, and the music goes on where it was. Then it ends.
TEST_F(MusicTest, UnderrunIsSilenceAndCounted) {
    // At the device's rate the stream is the file's own bytes.
    const Bytes tone = Tone(40000, 101);
    Ref<Music> music = Music::Load(Write("tone.wav", Wav(2, 44100, 16, tone)).string());
    ASSERT_NE(music, nullptr);
    music->Play();
    Bytes out;
    for (int i = 0; i < 6; ++i) { // no refill: 6 x 4096 frames over 22050 buffered
        const Bytes b = Mix();
        out.insert(out.end(), b.begin(), b.end());
    }
    const size_t buffered = 22050 * Frame;
    EXPECT_BYTES(Bytes(out.begin(), out.begin() + long(buffered)),
                 Bytes(tone.begin(), tone.begin() + long(buffered)));
    EXPECT_BYTES(Bytes(out.begin() + long(buffered), out.end()),
                 Bytes(out.size() - buffered, 0));
    EXPECT_EQ(music->GetUnderruns(), 1u);
    EXPECT_TRUE(music->IsPlaying());

    ::testing::internal::CaptureStderr();
    Music::UpdateAll();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("ran short"), std::string::npos);
    const Bytes rest = Play(5);
    EXPECT_BYTES(Bytes(rest.begin(), rest.begin() + long(tone.size() - buffered)),
                 Bytes(tone.begin() + long(buffered), tone.end()));
    EXPECT_FALSE(music->IsPlaying());
    EXPECT_EQ(music->GetUnderruns(), 1u) << "the end is no underrun";
    EXPECT_DOUBLE_EQ(music->GetTimePlayed(), music->GetLength());
    music->Resume();
    EXPECT_FALSE(music->IsPlaying()) << "ended music plays on Resume";

    // Stopped, moved, and resumed: it plays on from there.
    music->Stop();
    music->Seek(0.5);
    music->Resume();
    EXPECT_TRUE(music->IsPlaying());
    EXPECT_BYTES(Mix(), Bytes(tone.begin() + 22050 * Frame, tone.begin() + (22050 + 4096) * Frame));
}

// Looping turned on once a short tune's end is read, at once or part way:
// it plays on from what was heard, and over the seam.
TEST_F(MusicTest, LateLoopingPlaysOn) {
    const Bytes jingle = Tone(7000, 101); // shorter than the buffer
    Bytes thrice = jingle;
    for (int i = 0; i < 2; ++i)
        thrice.insert(thrice.end(), jingle.begin(), jingle.end());
    // The clock stopped as the buffer is mixed: heard lags mixed by a buffer.
    Engine::SetMixClock([] { return Uint64(0); });
    for (const int before : {0, 1}) {
        Ref<Music> music = Music::Load(Write("jingle.wav", Wav(2, 44100, 16, jingle)).string());
        ASSERT_NE(music, nullptr);
        music->Play();
        Bytes out = Play(before);
        music->SetLooping(true);
        const Bytes after = Play(4);
        out.insert(out.end(), after.begin(), after.end());
        EXPECT_BYTES(out, Bytes(thrice.begin(), thrice.begin() + long(out.size()))) << before;
        EXPECT_TRUE(music->IsPlaying());
    }
}

// The time played counts on by the clock from the buffer being heard, never
// past what was mixed; paused, it runs out the buffer mixed and holds.
TEST_F(MusicTest, TimePlayedMovesBetweenBuffers) {
    Engine::SetMixClock([] { return s_clock; });
    Ref<Music> music = Music::Load(Write("tone.wav", Wav(2, 44100, 16, Tone(44100, 101))).string());
    ASSERT_NE(music, nullptr);
    const double buffer = 4096 / 44100.0, tick = 1.0 / double(SDL_GetPerformanceFrequency());
    const auto after = [&](double seconds) {
        s_clock += Uint64(seconds / tick);
        return music->GetTimePlayed();
    };
    music->Play();
    Mix();
    EXPECT_EQ(music->GetTimePlayed(), 0.0);
    EXPECT_NEAR(after(buffer / 2), buffer / 2, 2 * tick);
    EXPECT_DOUBLE_EQ(after(buffer), buffer) << "past what was mixed";
    Mix();
    EXPECT_DOUBLE_EQ(music->GetTimePlayed(), buffer);
    music->Pause();
    EXPECT_NEAR(after(buffer / 2), 1.5 * buffer, 2 * tick) << "the buffer mixed plays out";
    Mix();
    EXPECT_DOUBLE_EQ(after(buffer), 2 * buffer);
    music->Resume();
    Mix();
    EXPECT_NEAR(after(buffer / 2), 2.5 * buffer, 2 * tick);
}

// No device could be opened: music and sounds play unheard, their time
// passing as the loop runs, and end.
TEST_F(MusicTest, WithoutADeviceTimeStillPasses) {
    Engine::SetMixClock([] { return s_clock; });
    const char* was = std::getenv("SDL_AUDIODRIVER");
    const std::string driver = was ? was : "";
    setenv("SDL_AUDIODRIVER", "nowhere", 1);
    ::testing::internal::CaptureStderr();
    Clip::InitAudio();
    EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("Couldn't open audio: ", 0), 0u);
    driver.empty() ? unsetenv("SDL_AUDIODRIVER") : setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
    Ref<Music> music = Music::Load(Write("tone.wav", Wav(2, 44100, 16, Tone(22050, 101))).string());
    Ref<Sound> sound = Sound::Load(Write("beep.wav", Wav(2, 44100, 16, Tone(4410, 101))).string());
    ASSERT_NE(music, nullptr);
    ASSERT_NE(sound, nullptr);
    music->Play();
    sound->Play();
    const auto seconds = [](double s) { return Uint64(s * double(SDL_GetPerformanceFrequency())); };
    Music::UpdateAll();
    s_clock += seconds(0.2);
    Music::UpdateAll();
    EXPECT_NEAR(music->GetTimePlayed(), 0.2, 1e-6);
    EXPECT_FALSE(sound->IsPlaying());
    s_clock += seconds(1);
    Music::UpdateAll();
    EXPECT_FALSE(music->IsPlaying());
    EXPECT_DOUBLE_EQ(music->GetTimePlayed(), 0.5);
    Engine::SetNoDevice(false);
    SDL_Quit();
}

// Files that lie or break: nothing read past what the file holds, no music
// from a header that makes no sense, one warning when the file goes bad
// while playing.
TEST_F(MusicTest, HostileFiles) {
    const Bytes tone = Tone(30000, 50);
    Bytes lying = Wav(2, 44100, 16, tone);
    lying[40] = lying[41] = lying[42] = 0xFF; // the data chunk claims 16 MB
    lying[43] = 0x00;
    Ref<Music> music = Music::Load(Write("lying.wav", lying).string());
    ASSERT_NE(music, nullptr);
    EXPECT_DOUBLE_EQ(music->GetLength(), 30000 / 44100.0);

    struct Case {
        const char* name;
        Bytes file;
    };
    Bytes truncated = Wav(2, 44100, 16, tone);
    truncated.resize(30);
    auto withRate = [&](std::uint32_t rate, unsigned channels) {
        return Wav(channels, rate, 16, Bytes(64, 1));
    };
    // A second format chunk, of 24-bit samples, sends the file to SDL's
    // loader, which reads the first.
    Bytes twoFormats = withRate(5, 2);
    const Bytes second = Wav(2, 44100, 24, {});
    twoFormats.insert(twoFormats.begin() + 36, second.begin() + 12, second.begin() + 36);
    const std::vector<Case> bad = {{"truncated", truncated},      {"rate0", withRate(0, 2)},
                                   {"rate5", withRate(5, 2)},     {"rate1G", withRate(1u << 30, 2)},
                                   {"channels0", withRate(44100, 0)},
                                   {"channels200", withRate(44100, 200)},
                                   {"twoFormats", twoFormats},    {"noise", Pattern(500)}};
    ::testing::internal::CaptureStderr();
    for (const Case& c : bad)
        EXPECT_EQ(Music::Load(Write(c.name, c.file).string()), nullptr) << c.name;
    EXPECT_EQ(Music::Load((dir / "missing.wav").string()), nullptr);
    // A pipe is refused at once, not waited on for a writer that never comes;
    // should a load wait, a writer opened and closed by a watchdog frees it.
    // (The loads stay on this thread: SDL keeps an error buffer for each
    // thread that sets an error, and never frees another thread's.)
    const std::string pipe = (dir / "pipe.wav").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::atomic<bool> done{false}, waited{false};
    std::thread watchdog([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done) {
            if (std::chrono::steady_clock::now() > until) {
                waited = true;
                ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const bool refused = !Music::Load(pipe) && !Sound::Load(pipe) && !Clip::LoadClip(pipe);
    done = true;
    watchdog.join();
    EXPECT_FALSE(waited) << "a load waited on a pipe";
    EXPECT_TRUE(refused) << "a pipe gave a sound";
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Could not load the music " + (dir / "rate5").string() + ": a rate of 5 Hz"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find((dir / "twoFormats").string() + ": a rate of 5 Hz"), std::string::npos) << err;

    // Cut short while it plays: what was read plays, then it ends, once warned.
    const fs::path path = Write("shrinks.wav", Wav(2, 44100, 16, Tone(80000, 50)));
    Ref<Music> shrinks = Music::Load(path.string());
    ASSERT_NE(shrinks, nullptr);
    shrinks->SetLooping(true);
    shrinks->Play();
    fs::resize_file(path, 1000);
    ::testing::internal::CaptureStderr();
    Play(12);
    const std::string stopped = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(shrinks->IsPlaying());
    EXPECT_EQ(stopped.find("stopped early"), stopped.rfind("stopped early")) << stopped;
    EXPECT_NE(stopped.find("stopped early"), std::string::npos) << stopped;
}

// A stream fed as it plays sounds as its samples converted whole; running dry is silence and counted; pushes stop at the
// cap; Pause holds and Stop drops what is queued.
TEST_F(MusicTest, FedStreamPlaysAsItsSamplesConverted) {
    struct Case {
        int rate, channels;
    };
    for (const Case c : {Case{44100, 2}, Case{48000, 2}, Case{22050, 1}}) {
        SCOPED_TRACE(c.rate);
        std::vector<float> signal(size_t(c.rate * c.channels));
        for (size_t i = 0; i < signal.size(); ++i)
            signal[i] = 0.7f * float(std::sin(0.05 * double(i))) * (i % 2 ? -1.0f : 1.0f);
        signal[101] = NAN; // cleaned as FromSamples cleans
        signal[202] = 1.5f;
        Ref<Sound> whole = Sound::FromSamples(signal, c.rate, c.channels);
        ASSERT_NE(whole, nullptr);
        whole->Play();
        const Bytes expected = Play(8);
        whole->Stop();

        Ref<AudioStream> stream = AudioStream::Create(c.rate, c.channels);
        ASSERT_NE(stream, nullptr);
        stream->Play();
        size_t pushed = 0;
        Bytes out;
        for (int i = 0; i < 8; ++i) {
            // Odd pieces, kept a little ahead of the device.
            while (stream->GetQueued() < 0.15) {
                const size_t n = std::min<size_t>(997 * size_t(c.channels), signal.size() - pushed);
                ASSERT_EQ(stream->Push({signal.data() + pushed, n}), n / size_t(c.channels));
                pushed += n;
            }
            const Bytes b = Mix();
            out.insert(out.end(), b.begin(), b.end());
        }
        EXPECT_EQ(stream->GetUnderruns(), 0u);
        // SDL rounds floats to 16 bits in its vector loop but truncates at a
        // buffer's ends, so a piece may end one step away from the whole.
        EXPECT_LE(Worst(out, expected), 1);
    }

    // At the device's rate nothing waits: the rest plays, then silence, counted.
    std::vector<float> ramp(2 * 10000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = float(i % 2000) / 2000.0f - 0.5f;
    Ref<Sound> whole = Sound::FromSamples(ramp, 44100, 2);
    whole->Play();
    const Bytes expected = Play(3);
    whole->Stop();
    Ref<AudioStream> stream = AudioStream::Create(44100, 2);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Push(ramp), 10000u);
    stream->Play();
    const Bytes out = Play(3);
    EXPECT_LE(Worst(Bytes(out.begin(), out.begin() + 10000 * Frame),
                    Bytes(expected.begin(), expected.begin() + 10000 * Frame)),
              1);
    EXPECT_BYTES(Bytes(out.begin() + 10000 * Frame, out.end()), Bytes(out.size() - 10000 * Frame, 0));
    EXPECT_EQ(stream->GetUnderruns(), 1u);
    EXPECT_TRUE(stream->IsPlaying());

    // Paused, it holds its place; resumed, it goes on; stopped, it drops all.
    EXPECT_EQ(stream->Push(std::span(ramp).first(2 * 8192)), 8192u);
    EXPECT_LE(Worst(Mix(), Bytes(expected.begin(), expected.begin() + long(Buffer))), 1);
    stream->Pause();
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    EXPECT_DOUBLE_EQ(stream->GetQueued(), 4096 / 44100.0);
    stream->Resume();
    EXPECT_LE(Worst(Mix(), Bytes(expected.begin() + long(Buffer), expected.begin() + long(2 * Buffer))),
              1);
    EXPECT_EQ(stream->Push(ramp), 10000u);
    stream->Stop();
    EXPECT_EQ(stream->GetQueued(), 0.0);
    stream->Play();
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));

    // The cap: two seconds queued, taken as far as they fit, also while stopped.
    const std::vector<float> long3s(3 * 22050, 0.25f);
    Ref<AudioStream> capped = AudioStream::Create(22050);
    ASSERT_NE(capped, nullptr);
    EXPECT_EQ(capped->Push(long3s), 44100u);
    EXPECT_DOUBLE_EQ(capped->GetQueued(), AudioStream::MAX_QUEUED_SECONDS);
    EXPECT_EQ(capped->Push(long3s), 0u);
    capped->Play();
    EXPECT_NEAR(capped->GetQueued(), 2.0, 1e-3);
    Mix();
    EXPECT_NEAR(double(capped->Push(long3s)), 2048.0, 2.0);
    EXPECT_EQ(capped->GetUnderruns(), 0u);

    ::testing::internal::CaptureStderr();
    for (const Case c : {Case{500, 1}, Case{44100, 0}, Case{44100, 9}, Case{44101, 1}})
        EXPECT_EQ(AudioStream::Create(c.rate, c.channels), nullptr) << c.rate << " " << c.channels;
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Could not make an audio stream: a rate of 500 Hz"),
              std::string::npos);
}

// A music of the program's samples is a float WAV of them: the same sound
// across the loop's seam and after a seek, the same length and time, past 1
// clipped and no number silent; its own copy, and the shapes refused.
TEST_F(MusicTest, FromSamplesPlaysAsItsFloatWav) {
    struct Case {
        int rate, channels;
    };
    for (const Case c : {Case{44100, 2}, Case{22050, 1}, Case{48000, 2}}) {
        SCOPED_TRACE(c.rate);
        // 0.75 s, longer than the buffer.
        std::vector<float> signal(size_t(c.rate * c.channels) * 3 / 4);
        for (size_t i = 0; i < signal.size(); ++i)
            signal[i] = 0.8f * float(std::sin(0.031 * double(i)));
        // The file holds them clipped, before the resampler reaches them.
        signal[7] = 1.0f;
        signal[8] = -1.0f;
        signal[9] = 0.0f;
        Bytes data(signal.size() * sizeof(float));
        std::memcpy(data.data(), signal.data(), data.size());
        signal[7] = 1.5f;
        signal[8] = -3.0f;
        signal[9] = NAN;
        const Bytes file = Wav(unsigned(c.channels), std::uint32_t(c.rate), 32, data, 3);

        Ref<Music> made = Music::FromSamples(signal, c.rate, c.channels);
        Ref<Music> loaded = Music::LoadFromMemory(file.data(), file.size());
        ASSERT_NE(made, nullptr);
        ASSERT_NE(loaded, nullptr);
        std::fill(signal.begin(), signal.end(), 0.0f);
        EXPECT_DOUBLE_EQ(made->GetLength(), loaded->GetLength());
        auto heard = [](const Ref<Music>& music) {
            music->SetLooping(true);
            music->Play();
            Bytes out = Play(12); // over the seam
            music->Seek(0.6);
            const Bytes after = Play(4); // and over it again
            out.insert(out.end(), after.begin(), after.end());
            const double time = music->GetTimePlayed();
            music->Stop();
            return std::make_pair(out, time);
        };
        const auto [expected, expectedTime] = heard(loaded);
        const auto [out, time] = heard(made);
        EXPECT_BYTES(out, expected);
        EXPECT_DOUBLE_EQ(time, expectedTime);
    }

    // Nothing to play: it loads, and ends at once.
    Ref<Music> empty = Music::FromSamples({}, 44100);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetLength(), 0.0);
    empty->Play();
    EXPECT_BYTES(Mix(), Bytes(Buffer, 0));
    EXPECT_FALSE(empty->IsPlaying());

    const std::vector<float> three(3, 0.5f);
    ::testing::internal::CaptureStderr();
    for (const Case c : {Case{0, 1}, Case{-44100, 1}, Case{500, 1}, Case{44100, 0}, Case{44100, 9},
                         Case{44100, 2}, Case{44101, 1}})
        EXPECT_EQ(Music::FromSamples(three, c.rate, c.channels), nullptr)
            << c.rate << " " << c.channels;
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Could not load the music of samples: 3 samples, which are no whole "
                       "frames of 2 channels"),
              std::string::npos)
        << err;
}

// Through a real device: the music starts with what Play buffered, while the
// loop refills, pauses, seeks and lets go of it; under ThreadSanitizer that
// shows the locking.
TEST_F(MusicTest, DiskDevicePlaysWhileTheLoopRefills) {
    const fs::path capture = dir / "capture.raw";
    StartDiskAudio(capture, 5);
    Clip::InitAudio();
    ASSERT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);

    const Bytes tone = Tone(44100, 77);
    Ref<Music> music = Music::Load(Write("tone.wav", Wav(2, 44100, 16, tone)).string());
    ASSERT_NE(music, nullptr);
    const size_t before = Written(capture);
    music->SetLooping(true);
    music->Play();
    AwaitCapture(capture, before + 4 * Buffer);
    // And a stream fed meanwhile, quietly, from this thread.
    Ref<AudioStream> stream = AudioStream::Create(22050, 1);
    ASSERT_NE(stream, nullptr);
    stream->Play();
    const std::vector<float> hum(300, 0.01f);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
        Music::UpdateAll();
        if (i % 7 == 0)
            music->Pause();
        if (i % 7 == 1)
            music->Resume();
        if (i % 11 == 0)
            music->Seek(0.25);
        music->SetVolume(i % 2 ? 1.0f : 0.5f);
        if (stream->GetQueued() < 0.2)
            stream->Push(hum);
        if (i % 13 == 0)
            stream->Pause();
        if (i % 13 == 2)
            stream->Resume();
        (void)music->GetTimePlayed();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    music.reset();
    stream.reset();
    SDL_CloseAudio();
    SDL_Quit();

    const Bytes out = ReadAll(capture);
    const size_t start = FirstSound(out);
    ASSERT_LE(start + Buffer, out.size()) << "the music never played";
    EXPECT_BYTES(Bytes(out.begin() + long(start), out.begin() + long(start + Buffer)),
                 Bytes(tone.begin(), tone.begin() + long(Buffer)));
}


// The freedesktop sound theme's Ogg Vorbis files (Debian's
// sound-theme-freedesktop), decoded by oggdec (vorbis-tools) as the oracle.
const fs::path Theme = "/usr/share/sounds/freedesktop/stereo";

// oggdec's 16-bit WAV of `ogg` written to `wav`, given 10 s.
bool Oggdec(const fs::path& ogg, const fs::path& wav) {
    const std::string command =
        "timeout 10 oggdec -Q -o '" + wav.string() + "' '" + ogg.string() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// Sets the checksum of the Ogg page at `at` of `file`, which runs to its end.
void SealLastPage(Bytes& file, size_t at) {
    std::fill(file.begin() + long(at) + 22, file.begin() + long(at) + 26, 0);
    std::uint32_t crc = 0;
    for (size_t i = at; i < file.size(); ++i) {
        crc ^= std::uint32_t(file[i]) << 24;
        for (int k = 0; k < 8; ++k)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04c11db7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        file[at + 22 + size_t(i)] = Uint8(crc >> 8 * i);
}

class OggTest : public MusicTest {
protected:
    void SetUp() override {
        MusicTest::SetUp();
        if (!fs::exists(Theme / "bell.oga") || std::system("command -v oggdec >/dev/null") != 0)
            GTEST_SKIP() << "needs sound-theme-freedesktop and vorbis-tools";
    }
    // oggdec's WAV of a theme file.
    fs::path Decoded(const std::string& name) {
        const fs::path wav = dir / (name + ".wav");
        EXPECT_TRUE(Oggdec(Theme / (name + ".oga"), wav)) << name;
        return wav;
    }
    // What a sound plays, `buffers` device buffers of it.
    static Bytes PlaySound(const Ref<Sound>& sound, int buffers) {
        sound->Play();
        const Bytes out = Play(buffers);
        sound->Stop();
        return out;
    }
};

// Mono and stereo at 8 to 96 kHz: a sound decodes the samples oggdec does, and
// music streams them, both converted to the device as their WAV is; the
// length is oggdec's to the frame, the time played where the device is.
TEST_F(OggTest, SoundAndMusicDecodeAsOggdec) {
    for (const char* name : {"bell", "audio-channel-front-left", "camera-shutter",
                             "phone-outgoing-calling", "service-login"}) {
        SCOPED_TRACE(name);
        const fs::path ogg = Theme / (std::string(name) + ".oga");
        const fs::path wav = Decoded(name);
        Ref<Music> wavMusic = Music::Load(wav.string());
        ASSERT_NE(wavMusic, nullptr);
        const double length = wavMusic->GetLength();
        const int buffers = int(length * 44100 / 4096) + 2; // to its end and past it

        Ref<Sound> sound = Sound::Load(ogg.string());
        Ref<Sound> wavSound = Sound::Load(wav.string());
        ASSERT_NE(sound, nullptr);
        ASSERT_NE(wavSound, nullptr);
        EXPECT_DOUBLE_EQ(sound->GetLength(), wavSound->GetLength());
        EXPECT_LE(Worst(PlaySound(sound, buffers), PlaySound(wavSound, buffers)), 1);

        const Bytes bytes = ReadAll(ogg);
        Ref<Music> music = Music::LoadFromMemory(bytes.data(), bytes.size());
        ASSERT_NE(music, nullptr);
        EXPECT_DOUBLE_EQ(music->GetLength(), length);
        music->Play();
        const Bytes streamed = Play(buffers);
        EXPECT_FALSE(music->IsPlaying());
        const double played = music->GetTimePlayed();
        music.reset();
        wavMusic->Play();
        EXPECT_LE(Worst(streamed, Play(buffers)), 1);
        EXPECT_DOUBLE_EQ(played, wavMusic->GetTimePlayed());
    }
}

// Seeking and looping from a file go where the WAV of the same samples goes,
// across the seam without a gap.
TEST_F(OggTest, SeeksAndLoopsAsItsWav) {
    for (const char* name : {"complete", "phone-outgoing-busy"}) {
        SCOPED_TRACE(name);
        Ref<Music> wav = Music::Load(Decoded(name).string());
        Ref<Music> ogg = Music::Load((Theme / (std::string(name) + ".oga")).string());
        ASSERT_NE(wav, nullptr);
        ASSERT_NE(ogg, nullptr);
        const double length = wav->GetLength();
        ASSERT_DOUBLE_EQ(ogg->GetLength(), length);
        auto heard = [&](const Ref<Music>& music, double at) {
            music->SetLooping(true);
            music->Play();
            music->Seek(at);
            const Bytes out = Play(int(length * 44100 / 4096) + 4); // over the seam
            const double played = music->GetTimePlayed();
            music->Stop();
            return std::make_pair(out, played);
        };
        for (const double at : {0.0, 0.37, length * 0.8, length}) {
            SCOPED_TRACE(at);
            const auto [expected, expectedTime] = heard(wav, at);
            const auto [streamed, time] = heard(ogg, at);
            EXPECT_LE(Worst(streamed, expected), 1);
            EXPECT_DOUBLE_EQ(time, expectedTime);
        }
    }
}

// Pages laid out against what the decoder's bisecting seek assumes (here the
// last page not flagged as last) make a seek decode from the start instead: it
// lands where the seek of the good file does, to the sample.
TEST_F(OggTest, SeeksByDecodingWherePagesMislead) {
    const Bytes good = ReadAll(Theme / "complete.oga");
    std::string text(good.begin(), good.end());
    const size_t lastPage = text.rfind("OggS");
    ASSERT_NE(lastPage, std::string::npos);
    Bytes unflagged = good;
    unflagged[lastPage + 5] &= Uint8(~4);
    SealLastPage(unflagged, lastPage);
    Ref<Music> bisected = Music::LoadFromMemory(good.data(), good.size());
    Ref<Music> decoded = Music::LoadFromMemory(unflagged.data(), unflagged.size());
    ASSERT_NE(bisected, nullptr);
    ASSERT_NE(decoded, nullptr);
    const double length = bisected->GetLength();
    ASSERT_DOUBLE_EQ(decoded->GetLength(), length);
    for (const double at : {0.37, length * 0.8}) {
        SCOPED_TRACE(at);
        bisected->Play();
        bisected->Seek(at);
        const Bytes expected = Play(4);
        const double time = bisected->GetTimePlayed();
        bisected->Stop();
        decoded->Play();
        decoded->Seek(at);
        EXPECT_EQ(Play(4), expected);
        EXPECT_DOUBLE_EQ(decoded->GetTimePlayed(), time);
        decoded->Stop();
    }
}

// Streams that are not Ogg Vorbis, break off or lie: null with a warning for
// both, or for a length that lies, what the data holds; all within seconds.
TEST_F(OggTest, RefusesBrokenStreams) {
    alarm(30); // a hang fails the test rather than stalling the run
    const Bytes good = ReadAll(Theme / "complete.oga");
    // Three pages of headers, then audio: the last page's granule position is
    // bytes 6 to 13 of the last "OggS".
    std::string text(good.begin(), good.end());
    const size_t lastPage = text.rfind("OggS");
    ASSERT_NE(lastPage, std::string::npos);
    Bytes huge = good;
    for (int i = 0; i < 4; ++i)
        huge[lastPage + 6 + size_t(i)] = 0xF0;
    SealLastPage(huge, lastPage);
    Bytes garbage = {'O', 'g', 'g', 'S'};
    const Bytes noise = Pattern(4000);
    garbage.insert(garbage.end(), noise.begin(), noise.end());
    Bytes zeros = {'O', 'g', 'g', 'S'};
    zeros.resize(4000);
    const Bytes headersOnly(good.begin(), good.begin() + 200);
    // Its headers, then 4 MB of audio pages whose packets are page heads, each
    // claiming a page of some 15 kB that a search for hidden pages would checksum.
    size_t audio = 0;
    while (!good[audio + 6]) // the headers' pages have granule position 0
        audio += 27 + good[audio + 26] +
                 std::accumulate(&good[audio + 27], &good[audio + 27 + good[audio + 26]], size_t(0));
    Bytes heads(good.begin(), good.begin() + long(audio));
    for (Uint32 page = 1; heads.size() < (4u << 20); ++page) {
        const size_t at = heads.size();
        heads.insert(heads.end(), good.begin() + long(audio), good.begin() + long(audio) + 27);
        const bool last = heads.size() + 2 * (27 + 255 + 254 * 255 + 100) > (4u << 20);
        heads[at + 5] = last ? 4 : 0;
        for (int i = 0; i < 4; ++i) {
            heads[at + 6 + size_t(i)] = Uint8(page * 1024 >> 8 * i);
            heads[at + 18 + size_t(i)] = Uint8((page + 2) >> 8 * i);
        }
        heads[at + 26] = 255;
        heads.insert(heads.end(), 254, 255);
        heads.push_back(100); // one packet, ending on the page
        const char head[] = "OggS\0\xff\xff\xff";
        heads.push_back(0);
        for (size_t i = 1; i < 254 * 255 + 100; ++i)
            heads.push_back(Uint8(head[(i - 1) % 8]));
        SealLastPage(heads, at);
        if (last)
            break;
    }
    const Bytes half(good.begin(), good.begin() + long(good.size() / 2));

    // Six channels, which are not read.
    const fs::path raw = dir / "six.raw", six = dir / "six.ogg";
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(noise.data()), 3600);
    const std::string encode = "timeout 10 oggenc -Q --raw --raw-chan=6 -o '" + six.string() +
                               "' '" + raw.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(encode.c_str()), 0);
    const Bytes sixChannels = ReadAll(six);

    struct Case {
        const char* name;
        const Bytes& file;
        bool sound, music; // loads
        bool ends;         // the music stops early, warned
    };
    const Case cases[] = {{"garbage", garbage, false, false, false},
                          {"zeros", zeros, false, false, false},
                          {"headersOnly", headersOnly, false, false, false},
                          {"six", sixChannels, false, false, false},
                          {"half", half, true, true, false}, // as long as its last page says
                          {"huge", huge, true, true, true},
                          {"heads", heads, true, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::testing::internal::CaptureStderr();
        Ref<Sound> sound = Sound::LoadFromMemory(c.file.data(), c.file.size());
        Ref<Music> music = Music::LoadFromMemory(c.file.data(), c.file.size());
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(sound != nullptr, c.sound) << err;
        EXPECT_EQ(music != nullptr, c.music) << err;
        EXPECT_EQ(err.find("Could not load the sound in memory: ") != std::string::npos, !c.sound)
            << err;
        EXPECT_EQ(err.find("Could not load the music in memory: ") != std::string::npos, !c.music)
            << err;
        if (music) {
            // What the data holds plays, then it ends.
            ::testing::internal::CaptureStderr();
            music->Play();
            Play(20);
            const std::string stopped = ::testing::internal::GetCapturedStderr();
            EXPECT_FALSE(music->IsPlaying());
            EXPECT_EQ(stopped.find("stopped early") != std::string::npos, c.ends) << stopped;
        }
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Music::LoadFromMemory(sixChannels.data(), sixChannels.size()), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("6 channels"), std::string::npos);
    alarm(0);
}

} // namespace
