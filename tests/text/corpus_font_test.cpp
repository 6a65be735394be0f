// The shipped font cut off at many lengths, as a failed copy or download
// leaves it, and with stretches of it overwritten by noise: each variant
// either opens and rasterises 256 glyphs that stay inside the atlas, or is
// refused with an FT ERROR line and gives 256 empty glyphs. Never a crash or
// a read outside a buffer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include <engine/text/Font.h>

using namespace Engine;
namespace fs = std::filesystem;

namespace {

class BrokenFont : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in("Assets/SGK100.ttf", std::ios::binary);
        font.assign(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(font.size(), 1000u);
        Font::InitFont();
    }
    void TearDown() override { fs::remove(path); }

    // Rasterises bytes as a font file and checks the outcome.
    void Check(const std::string& bytes) {
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
        testing::internal::CaptureStderr();
        const FontBitmap bitmap = Font::Rasterize(path.c_str());
        const std::string log = testing::internal::GetCapturedStderr();

        ASSERT_EQ(bitmap.glyphs.size(), Font::GLYPH_COUNT);
        if (!bitmap.opened) {
            ++refused;
            EXPECT_NE(log.find("FT ERROR: "), std::string::npos);
            for (const GlyphMetrics& g : bitmap.glyphs)
                EXPECT_EQ(g.region.width * g.region.height, 0.0f);
            return;
        }
        ++opened;
        int outside = 0;
        for (const GlyphMetrics& g : bitmap.glyphs) {
            const float left = g.region.glX * GlyphAtlas::WIDTH;
            outside += left < 0 || left + g.region.width > GlyphAtlas::WIDTH ||
                       g.region.height > GlyphAtlas::HEIGHT || g.region.width < 0 ||
                       g.region.height < 0;
        }
        EXPECT_EQ(outside, 0) << "glyph regions outside the atlas";
    }

    std::string font;
    const fs::path path =
        fs::temp_directory_path() / ("broken_font_" + std::to_string(getpid()) + ".ttf");
    int opened = 0, refused = 0;
};

TEST_F(BrokenFont, CutsOpenInsideTheAtlasOrAreRefused) {
    std::set<size_t> lengths = {0, 1, 12, 100, 1000, font.size() - 1};
    for (size_t k = 1; k < 24; ++k)
        lengths.insert(font.size() * k / 24);
    for (size_t length : lengths) {
        SCOPED_TRACE("first " + std::to_string(length) + " bytes");
        Check(font.substr(0, length));
    }
    std::cout << lengths.size() << " cuts: " << opened << " opened, " << refused << " refused\n";
    EXPECT_GT(refused, 0);
}

// Noise over the table directory, the metrics or the outlines gives faces
// whose glyphs fail to load or come out with wild sizes and bearings.
TEST_F(BrokenFont, NoiseOpensInsideTheAtlasOrIsRefused) {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::set<size_t> offsets = {12, 200, 1000};
    for (size_t k = 0; k < 24; ++k)
        offsets.insert(font.size() * k / 24);
    for (size_t from : offsets) {
        std::string bytes = font;
        for (size_t i = from; i < std::min(from + 64, bytes.size()); ++i)
            bytes[i] = static_cast<char>(byte(rng));
        SCOPED_TRACE("noise from byte " + std::to_string(from));
        Check(bytes);
    }
    std::cout << offsets.size() << " variants: " << opened << " opened, " << refused
              << " refused\n";
    EXPECT_GT(opened, 0);
}

} // namespace
