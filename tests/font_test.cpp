// Glyph atlas packing, FreeType loading into memory and the FreeType check;
// none of it needs a display.

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "Font.h"

using namespace Engine;

namespace {

constexpr float W = GlyphAtlas::WIDTH;

// A bW by bH bitmap whose byte at (column c, row r from the top) is r * 16 + c + 1.
std::vector<uint8_t> Numbered(int bW, int bH) {
    std::vector<uint8_t> b(size_t(bW) * bH);
    for (int r = 0; r < bH; ++r)
        for (int c = 0; c < bW; ++c)
            b[size_t(r) * bW + c] = uint8_t(r * 16 + c + 1);
    return b;
}

} // namespace

TEST(GlyphAtlas, GlyphsAreOffsetByTheAdvancesBeforeThem) {
    GlyphAtlas atlas;
    std::vector<uint8_t> wide(30 * 20, 100), other(30 * 20, 50), narrow(10 * 20, 7), dot(1, 9);
    EXPECT_EQ(atlas.Add(wide.data(), 30, 20, 30, 20).glX, 0.0f);
    EXPECT_EQ(atlas.Add(other.data(), 30, 20, 30, 0).glX, 20 / W);
    EXPECT_EQ(atlas.Add(narrow.data(), 10, 20, 10, 12).glX, 20 / W);
    EXPECT_EQ(atlas.Add(dot.data(), 1, 1, 1, 41).glX, 32 / W);
    EXPECT_EQ(atlas.NextColumn(), 73u);

    // Each glyph starts at the previous pen advance, not past its bitmap, so
    // later glyphs overwrite the columns they share with earlier ones.
    EXPECT_EQ(atlas.At(19, 0), 100);
    EXPECT_EQ(atlas.At(20, 19), 7);
    EXPECT_EQ(atlas.At(30, 0), 50);
    EXPECT_EQ(atlas.At(32, 0), 9);
    EXPECT_EQ(atlas.At(49, 19), 50);
    EXPECT_EQ(atlas.At(50, 0), 0);
    EXPECT_EQ(atlas.At(10, 20), 0);
}

TEST(GlyphAtlas, EmptyBitmapStillAdvances) {
    GlyphAtlas atlas;
    AtlasRegion space = atlas.Add(nullptr, 0, 0, 0, 18);
    EXPECT_EQ(space.width, 0.0f);
    EXPECT_EQ(space.height, 0.0f);
    EXPECT_EQ(space.glWidth, 0.0f);
    EXPECT_EQ(space.glHeight, 0.0f);
    EXPECT_EQ(space.glX, 0.0f);
    std::vector<uint8_t> bm(4, 9);
    EXPECT_EQ(atlas.Add(bm.data(), 2, 2, 2, 5).glX, 18 / W);
    EXPECT_EQ(atlas.At(18, 0), 9);
    EXPECT_EQ(atlas.At(17, 0), 0);
}

TEST(GlyphAtlas, CopiesBottomRowFirst) {
    GlyphAtlas atlas;
    atlas.Add(nullptr, 0, 0, 0, 7);
    std::vector<uint8_t> bm = Numbered(3, 2);
    AtlasRegion r = atlas.Add(bm.data(), 3, 2, 3, 4);
    EXPECT_EQ(r.width, 3.0f);
    EXPECT_EQ(r.height, 2.0f);
    EXPECT_EQ(r.glWidth, 3 / W);
    EXPECT_EQ(r.glHeight, 2 / 64.0f);
    EXPECT_EQ(r.glX, 7 / W);
    EXPECT_EQ(r.glY, 0.0f);
    // Atlas row 0 is the bitmap's bottom row.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(atlas.At(7 + c, 0), 16 + c + 1);
        EXPECT_EQ(atlas.At(7 + c, 1), c + 1);
        EXPECT_EQ(atlas.At(7 + c, 2), 0);
    }
    EXPECT_EQ(atlas.At(10, 0), 0);
}

TEST(GlyphAtlas, RowPitchAndUpwardFlowAreHonoured) {
    // Rows padded to 4 bytes: the padding never reaches the atlas.
    std::vector<uint8_t> padded = {1, 2, 3, 99, 4, 5, 6, 99};
    GlyphAtlas down;
    down.Add(padded.data(), 3, 2, 4, 3);
    EXPECT_EQ(down.At(0, 1), 1);
    EXPECT_EQ(down.At(2, 0), 6);
    EXPECT_EQ(down.At(3, 0), 0);

    // Negative pitch: the buffer holds the bottom row first.
    std::vector<uint8_t> upward = {4, 5, 6, 1, 2, 3};
    GlyphAtlas up;
    up.Add(upward.data(), 3, 2, -3, 3);
    EXPECT_EQ(up.At(0, 1), 1);
    EXPECT_EQ(up.At(0, 0), 4);
    EXPECT_EQ(up.At(2, 0), 6);
}

TEST(GlyphAtlas, FortyRowGlyphFillsRowsZeroToThirtyNine) {
    GlyphAtlas atlas;
    std::vector<uint8_t> bm = Numbered(2, 40);
    AtlasRegion r = atlas.Add(bm.data(), 2, 40, 2, 2);
    EXPECT_EQ(r.glHeight, 0.625f);
    EXPECT_EQ(r.height, 40.0f);
    EXPECT_EQ(atlas.At(0, 39), 1);                   // top row of the bitmap
    EXPECT_EQ(atlas.At(0, 0), uint8_t(39 * 16 + 1)); // bottom row
    EXPECT_EQ(atlas.At(0, 40), 0);
}

TEST(GlyphAtlas, TallGlyphKeepsItsTopSixtyFourRows) {
    GlyphAtlas atlas;
    std::vector<uint8_t> bm(size_t(70) * 2);
    bm[0] = 111;          // top row
    bm[63 * 2] = 163;     // 64th row from the top
    bm[64 * 2] = 164;     // first row dropped
    bm[69 * 2 + 1] = 169; // bottom row, dropped
    AtlasRegion r = atlas.Add(bm.data(), 2, 70, 2, 2);
    EXPECT_EQ(r.height, 64.0f);
    EXPECT_EQ(r.glHeight, 1.0f);
    EXPECT_EQ(atlas.At(0, 63), 111);
    EXPECT_EQ(atlas.At(0, 0), 163);
    for (uint32_t y = 0; y < GlyphAtlas::HEIGHT; ++y) {
        EXPECT_NE(atlas.At(0, y), 164);
        EXPECT_NE(atlas.At(1, y), 169);
    }
}

TEST(GlyphAtlas, GlyphsPastTheRightEdgeAreClipped) {
    GlyphAtlas atlas;
    atlas.Add(nullptr, 0, 0, 0, GlyphAtlas::WIDTH - 3);
    std::vector<uint8_t> bm(10 * 2, 7);
    AtlasRegion r = atlas.Add(bm.data(), 10, 2, 10, 10);
    EXPECT_EQ(r.width, 3.0f);
    EXPECT_EQ(r.glWidth, 3 / W);
    EXPECT_EQ(r.glX + r.glWidth, 1.0f);
    EXPECT_EQ(atlas.At(GlyphAtlas::WIDTH - 1, 1), 7);

    // Entirely beyond the atlas: nothing is stored and nothing is shown.
    AtlasRegion beyond = atlas.Add(bm.data(), 10, 2, 10, 10);
    EXPECT_EQ(beyond.width, 0.0f);
    EXPECT_EQ(beyond.glWidth, 0.0f);
    EXPECT_EQ(atlas.Pixels().size(), size_t(GlyphAtlas::WIDTH) * GlyphAtlas::HEIGHT);
}

class FreeTypeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Font::InitFont();
        ASSERT_NE(Font::FT, nullptr);
    }
};

TEST_F(FreeTypeTest, RasterisesTheGameFont) {
    FontBitmap font = Font::Rasterize("./Assets/SGK100.ttf");
    ASSERT_TRUE(font.opened);
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));

    int sum = 0;
    for (uint32_t k = 0; k < Font::GLYPH_COUNT; ++k) {
        const GlyphMetrics& g = font.glyphs[k];
        EXPECT_EQ(g.region.glX, sum / W) << "code " << k;
        EXPECT_EQ(g.region.glY, 0.0f);
        EXPECT_EQ(g.region.glHeight, g.region.height / 64.0f);
        EXPECT_EQ(g.region.glWidth, g.region.width / W);
        sum += g.advance;
    }
    EXPECT_EQ(font.atlas.NextColumn(), uint32_t(sum));
    EXPECT_LE(sum, int(GlyphAtlas::WIDTH));

    const GlyphMetrics& space = font.glyphs[' '];
    EXPECT_EQ(space.region.width, 0.0f);
    EXPECT_GT(space.advance, 0);

    // A capital stands on the baseline, so its bottom row is atlas row 0, and
    // its ink lies within its own region.
    const GlyphMetrics& h = font.glyphs['H'];
    EXPECT_GT(h.region.height, 30.0f);
    EXPECT_LT(h.region.height, 64.0f);
    EXPECT_EQ(h.top, int(h.region.height));
    const uint32_t x0 = uint32_t(h.region.glX * W);
    const uint32_t mid = x0 + uint32_t(h.region.width) / 2;
    EXPECT_GT(font.atlas.At(x0 + 2, 0), 200);                          // left stem, bottom
    EXPECT_GT(font.atlas.At(mid, uint32_t(h.region.height) / 2), 200); // bar
    EXPECT_EQ(font.atlas.At(x0 + 2, uint32_t(h.region.height)), 0);
}

TEST_F(FreeTypeTest, MissingFileIsLoggedAndGivesEmptyGlyphs) {
    testing::internal::CaptureStderr();
    FontBitmap font = Font::Rasterize("./Assets/no-such-font.ttf");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(font.opened);
    EXPECT_NE(err.find("FT ERROR: \"cannot open resource\" in function FT_New_Face("),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("src/Font.cpp:"), std::string::npos) << err;
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));
    for (const GlyphMetrics& g : font.glyphs) {
        EXPECT_EQ(g.region.width, 0.0f);
        EXPECT_EQ(g.advance, 0);
    }
}

TEST(FTLogCall, ReportsErrorCallFileAndLine) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(FTLogCall(0, "FT_Done_Face(face)", "src/Font.cpp", 7));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    testing::internal::CaptureStderr();
    EXPECT_FALSE(FTLogCall(0x01, "FT_New_Face(FT, path, 0, &face)", "src/Font.cpp", 45));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "FT ERROR: \"cannot open resource\" in function FT_New_Face(FT, path, 0, &face) "
              "src/Font.cpp:45\n");

    // A code FreeType has no text for still gives a readable line.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(FTLogCall(0xEE, "f()", "a.cpp", 3));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "FT ERROR: \"FreeType error 238\" in function f() a.cpp:3\n");
}

TEST(Font, LoadingWithoutALibraryGivesTwoHundredFiftySixEmptyGlyphs) {
    // Before InitFont the library handle is null; nothing may crash.
    FT_LibraryRec_* saved = Font::FT;
    Font::FT = nullptr;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Font font = Font::loadFont("./Assets/SGK100.ttf");
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    Font::FT = saved;
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("FT ERROR: "), std::string::npos);
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));
    for (const Ref<Glyph>& g : font.glyphs) {
        ASSERT_TRUE(g && g->tex);
        EXPECT_EQ(g->tex->getWidth(), 0.0f);
        EXPECT_EQ(g->tex->getHeight(), 0.0f);
        EXPECT_EQ(g->tex->getID(), 0u);
    }
    EXPECT_TRUE(font.singleTex);
}
