// Inputs the fuzzers found that once crashed, hung or misbehaved, each checked
// for the exact outcome now expected.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <engine/audio/Clip.h>
#include <engine/image/Image.h>
#include <engine/render/Texture.h>

using namespace Engine;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes Regression(const std::string& target, const std::string& name) {
    const Bytes bytes =
        ReadFile((std::filesystem::path(FUZZ_DIR) / "regressions" / target / name).string());
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

Image Decode(const Bytes& bytes) {
    return Image::Decode(bytes.data(), bytes.size());
}

Image Decode(const std::string& text) {
    return Image::Decode(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ImageDecode, SixteenBitPnmWidensToRgbaWithoutOverrunning) {
    // Two grey pixels, 0x1234 and 0xABCD, big-endian as the format stores them.
    std::string pgm = "P5\n2 1\n65535\n";
    pgm += std::string("\x12\x34\xAB\xCD", 4);
    Image grey = Decode(pgm);
    ASSERT_FALSE(grey.Empty()) << grey.Error();
    ASSERT_EQ(grey.Width(), 2);
    ASSERT_EQ(grey.Height(), 1);
    const unsigned char expectGrey[8] = {0x12, 0x12, 0x12, 255, 0xAB, 0xAB, 0xAB, 255};
    EXPECT_EQ(std::memcmp(grey.Pixels(), expectGrey, 8), 0);

    // One colour pixel on each of two rows; rows come out bottom first.
    std::string ppm = "P6\n1 2\n65535\n";
    ppm += std::string("\x10\x00\x20\x00\x30\x00\xF0\x00\xE0\x00\xD0\x00", 12);
    Image colour = Decode(ppm);
    ASSERT_FALSE(colour.Empty()) << colour.Error();
    const unsigned char expectColour[8] = {0xF0, 0xE0, 0xD0, 255, 0x10, 0x20, 0x30, 255};
    EXPECT_EQ(std::memcmp(colour.Pixels(), expectColour, 8), 0);

    // The file that first showed the overrun.
    EXPECT_FALSE(Decode(Regression("image", "pgm16-widened-past-buffer.pgm")).Empty());
}

TEST(ImageDecode, BrokenFilesAreRefusedWithAReason) {
    // A JPEG Huffman table of more codes than a table holds.
    Image oversized = Decode(Regression("image", "jpeg-huffman-table-of-257-codes.jpg"));
    EXPECT_TRUE(oversized.Empty());
    EXPECT_TRUE(Contains(oversized.Error(), "codes (at most 256)")) << oversized.Error();
    // This one has such a table too, but an earlier scan already uses an AC
    // table that was never defined.
    Image both = Decode(Regression("image", "jpeg-huffman-table-over-256-codes.jpg"));
    EXPECT_TRUE(both.Empty());
    EXPECT_EQ(both.Error(), "JPEG scan uses a Huffman table that was never defined");
    // A scan naming Huffman tables that no segment defined: the decoder would
    // look codes up in uninitialised memory. The same picture with its tables
    // still decodes, baseline and progressive.
    Image undefined = Decode(Regression("image", "jpeg-scan-with-undefined-tables.jpg"));
    EXPECT_TRUE(undefined.Empty());
    EXPECT_EQ(undefined.Error(), "JPEG scan uses a Huffman table that was never defined");
    for (const char* seed : {"small.jpg", "small.progressive.jpg"})
        EXPECT_FALSE(
            Decode(ReadFile((std::filesystem::path(FUZZ_DIR) / "seeds" / "image" / seed).string()))
                .Empty())
            << seed;
    // A run-length HDR scanline cut short: the decoder would never return.
    Image hdr = Decode(Regression("image", "hdr-scanline-cut-short.hdr"));
    EXPECT_TRUE(hdr.Empty());
    EXPECT_TRUE(Contains(hdr.Error(), "HDR data ends inside scanline")) << hdr.Error();
    // A PNG whose failure the decoder gives no words for.
    Image png = Decode(Regression("image", "png-failure-without-reason.png"));
    EXPECT_TRUE(png.Empty());
    EXPECT_FALSE(png.Error().empty());
    // A header asking for more than a texture holds, with no pixels behind it.
    Image huge = Decode(std::string("P6\n16385 1\n255\n"));
    EXPECT_TRUE(huge.Empty());
    EXPECT_EQ(huge.Error(), "image of 16385x1 pixels is larger than 16384 on a side");
    // Nothing at all.
    Image none = Image::Decode(nullptr, 0);
    EXPECT_TRUE(none.Empty());
    EXPECT_FALSE(none.Error().empty());
}

TEST(ImageDecode, HdrScanlinesThatEndWholeStillDecode) {
    // 8 pixels wide, one run-length scanline: each of the 4 channels one run of 8.
    std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 8\n";
    hdr += std::string("\x02\x02\x00\x08", 4);
    hdr += std::string("\x88\x80\x88\x40\x88\x20\x88\x81", 8);
    Image image = Decode(hdr);
    ASSERT_FALSE(image.Empty()) << image.Error();
    EXPECT_EQ(image.Width(), 8);
    // Cut inside the last channel's run: refused rather than decoded for ever.
    Image cut = Decode(hdr.substr(0, hdr.size() - 2));
    EXPECT_TRUE(cut.Empty());
}

TEST(ImageLoad, ReadsRegularFilesOnlyAndMatchesDecode) {
    const Bytes png = ReadFile("Assets/fish.png");
    Image fromBytes = Decode(png);
    Image fromFile = Image::Load("Assets/fish.png");
    ASSERT_FALSE(fromFile.Empty()) << fromFile.Error();
    ASSERT_EQ(fromFile.Width(), fromBytes.Width());
    ASSERT_EQ(fromFile.Height(), fromBytes.Height());
    EXPECT_EQ(std::memcmp(fromFile.Pixels(), fromBytes.Pixels(),
                          size_t(fromFile.Width()) * size_t(fromFile.Height()) * 4),
              0);

    // A device that never ends, a directory, a missing file: refused at once.
    for (const char* path : {"/dev/zero", "Assets", "no/such/image.png"}) {
        Image image = Image::Load(path);
        EXPECT_TRUE(image.Empty()) << path;
        EXPECT_FALSE(image.Error().empty()) << path;
    }
}

// A RIFF WAV with one fmt chunk (PCM) and one data chunk.
Bytes Wav(int channels, int rate, int bits, const Bytes& samples) {
    Bytes out;
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<unsigned char>(v));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    const auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<unsigned char>(t[i]));
    };
    const uint32_t block = uint32_t(channels) * uint32_t(bits) / 8;
    tag("RIFF");
    u32(uint32_t(4 + 8 + 16 + 8 + samples.size()));
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(uint32_t(channels));
    u32(uint32_t(rate));
    u32(uint32_t(rate) * block);
    u16(block);
    u16(uint32_t(bits));
    tag("data");
    u32(uint32_t(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

Ref<Clip> LoadFromMemory(const Bytes& wav) {
    return Clip::LoadClipRW(SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size())));
}

class ClipMemory : public ::testing::Test {
protected:
    void SetUp() override { Clip::ClearSounds(); }
    void TearDown() override { Clip::ClearSounds(); }
};

TEST_F(ClipMemory, LoadsLikeTheFileLoader) {
    Bytes samples(400);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<unsigned char>(i * 7 + 1);
    const Bytes wav = Wav(2, 44100, 16, samples);
    const std::string path = testing::TempDir() + "clip-memory.wav";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));

    Ref<Clip> fromMemory = LoadFromMemory(wav);
    Ref<Clip> fromFile = Clip::LoadClip(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(fromMemory && fromFile);
    ASSERT_EQ(fromMemory->clipLen, 400u);
    ASSERT_EQ(fromFile->clipLen, 400u);
    EXPECT_EQ(std::memcmp(fromMemory->data, samples.data(), 400), 0);
    EXPECT_EQ(std::memcmp(fromFile->data, samples.data(), 400), 0);
    EXPECT_EQ(Clip::sounds.size(), 2u);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(Clip::LoadClipRW(nullptr));
    EXPECT_TRUE(Contains(testing::internal::GetCapturedStderr(), "Could not open audio file: "));
    EXPECT_EQ(Clip::sounds.size(), 2u);
}

TEST_F(ClipMemory, ARateOfAFewHertzIsRefusedNotGrownToGigabytes) {
    // 1 KiB of 8-bit mono at 1 Hz would take a 722 MB buffer to convert.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadFromMemory(Wav(1, 1, 8, Bytes(1024, 0x80))));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Contains(err, "Could not open audio file: audio data at 1 Hz would grow")) << err;
    EXPECT_TRUE(Clip::sounds.empty());
    // The file that showed it.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadFromMemory(Regression("clip", "one-hertz-grows-to-gigabytes.wav")));
    testing::internal::GetCapturedStderr();

    // Real low rates still convert (here 192-fold, to 25 MB of buffer), and
    // tiny clips at any rate stay allowed.
    Ref<Clip> voice = LoadFromMemory(Wav(1, 4000, 8, Bytes(131072, 0x80)));
    ASSERT_TRUE(voice);
    EXPECT_GT(voice->clipLen, 131072u * 40);
    EXPECT_TRUE(LoadFromMemory(Wav(1, 1, 8, Bytes(16, 0x80))));
}

TEST_F(ClipMemory, APartFrameAtTheEndIsDropped) {
    // Device format, but a block size of 1 byte: SDL keeps all 35 data bytes.
    Ref<Clip> clip = LoadFromMemory(Regression("clip", "part-frame-in-device-format.wav"));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->clipLen, 32u);
    // Looping wraps on a frame: the second buffer starts with the clip's first frame.
    clip->loopClip();
    Bytes out(40);
    Clip::callback(nullptr, out.data(), 40);
    EXPECT_EQ(clip->trackPos, 8u);
    EXPECT_EQ(std::memcmp(out.data() + 32, clip->data, 8), 0);
}

} // namespace
