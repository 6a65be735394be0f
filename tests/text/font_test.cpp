// Glyph atlas packing, FreeType loading into memory and the FreeType check;
// none of it needs a display.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <engine/render/Draw.h>
#include <engine/text/Font.h>

#include "core/FTCheck.h"
#include "text/ExtraGlyphs.h"

using namespace Engine;

namespace {
constexpr float W = GlyphAtlas::WIDTH;
}

TEST(GlyphAtlas, GlyphsStartAtTheSumOfTheAdvancesBeforeThem) {
    GlyphAtlas atlas;
    std::vector<uint8_t> wide(30 * 20, 100), other(30 * 20, 50), dot(1, 9);
    EXPECT_EQ(atlas.Add(wide.data(), 30, 20, 30, 20).glX, 0.0f);
    AtlasRegion space = atlas.Add(nullptr, 0, 0, 0, 5);
    EXPECT_EQ(space.glX, 20 / W);
    EXPECT_EQ(space.width, 0.0f);
    EXPECT_EQ(space.glWidth, 0.0f);
    EXPECT_EQ(atlas.Add(other.data(), 30, 20, 30, 12).glX, 25 / W);
    EXPECT_EQ(atlas.Add(dot.data(), 1, 1, 1, 41).glX, 37 / W);
    EXPECT_EQ(atlas.NextColumn(), 78u);
    // A bitmap wider than its advance is overwritten where the next one lands.
    EXPECT_EQ(atlas.At(24, 0), 100);
    EXPECT_EQ(atlas.At(25, 19), 50);
    EXPECT_EQ(atlas.At(37, 0), 9);
    EXPECT_EQ(atlas.At(55, 0), 0);
    EXPECT_EQ(atlas.At(10, 20), 0);
}

TEST(GlyphAtlas, RowsAreStoredBottomFirst) {
    // Column c of row r from the top holds r * 16 + c + 1; rows padded to 3 bytes.
    std::vector<uint8_t> bm(3 * 40, 99);
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 2; ++c)
            bm[r * 3 + c] = uint8_t(r * 16 + c + 1);
    GlyphAtlas atlas;
    atlas.Add(nullptr, 0, 0, 0, 7);
    AtlasRegion r = atlas.Add(bm.data(), 2, 40, 3, 2);
    EXPECT_EQ(r.width, 2.0f);
    EXPECT_EQ(r.height, 40.0f);
    EXPECT_EQ(r.glWidth, 2 / W);
    EXPECT_EQ(r.glHeight, 0.625f);
    EXPECT_EQ(r.glX, 7 / W);
    EXPECT_EQ(r.glY, 0.0f);
    EXPECT_EQ(atlas.At(7, 39), 1); // the top row
    EXPECT_EQ(atlas.At(8, 39), 2);
    EXPECT_EQ(atlas.At(7, 0), uint8_t(39 * 16 + 1));
    EXPECT_EQ(atlas.At(7, 40), 0);
    EXPECT_EQ(atlas.At(9, 0), 0); // padding stays out

    // A negative pitch means the buffer holds the bottom row first.
    std::vector<uint8_t> upward = {4, 5, 1, 2};
    GlyphAtlas up;
    up.Add(upward.data(), 2, 2, -2, 2);
    EXPECT_EQ(up.At(0, 1), 1);
    EXPECT_EQ(up.At(1, 0), 5);
}

TEST(GlyphAtlas, GlyphsThatDoNotFitAreClipped) {
    GlyphAtlas atlas;
    // 70 rows: the top 64 are kept, so the top bearing still holds.
    std::vector<uint8_t> tall(size_t(70) * 2);
    tall[0] = 111;
    tall[63 * 2] = 163;
    AtlasRegion r = atlas.Add(tall.data(), 2, 70, 2, GlyphAtlas::WIDTH - 5);
    EXPECT_EQ(r.height, 64.0f);
    EXPECT_EQ(r.glHeight, 1.0f);
    EXPECT_EQ(atlas.At(0, 63), 111);
    EXPECT_EQ(atlas.At(0, 0), 163);

    // Past the right edge: only the columns inside are kept and shown.
    std::vector<uint8_t> bm(10 * 2, 7);
    r = atlas.Add(bm.data(), 10, 2, 10, 10);
    EXPECT_EQ(r.width, 5.0f);
    EXPECT_EQ(r.glX + r.glWidth, 1.0f);
    EXPECT_EQ(atlas.At(GlyphAtlas::WIDTH - 1, 1), 7);
    r = atlas.Add(bm.data(), 10, 2, 10, 10);
    EXPECT_EQ(r.width, 0.0f);
    EXPECT_EQ(r.glWidth, 0.0f);
}

TEST(GlyphAtlas, RegionsStopWhereTheNextGlyphOverwritesThem) {
    GlyphAtlas atlas;
    std::vector<uint8_t> bm(41 * 4, 1);
    std::vector<GlyphMetrics> g(4);
    g[0].region = atlas.Add(bm.data(), 41, 4, 41, 39); // wider than its advance
    g[1].region = atlas.Add(nullptr, 0, 0, 0, 10);     // empty: overwrites nothing
    g[2].region = atlas.Add(bm.data(), 30, 4, 30, 20); // next to g[3], not under it
    g[3].region = atlas.Add(bm.data(), 41, 4, 41, 0);  // last: nothing follows
    TrimOverwritten(g);
    EXPECT_EQ(g[0].region.width, 41.0f); // g[2] starts at 49
    EXPECT_EQ(g[2].region.width, 20.0f);
    EXPECT_EQ(g[2].region.glWidth, 20 / W);
    EXPECT_EQ(g[2].region.glX, 49 / W);
    EXPECT_EQ(g[3].region.width, 41.0f);
}

TEST(FreeType, RasterisesTheGameFont) {
    Font::InitFont();
    FontBitmap font = Font::Rasterize("./Assets/SGK100.ttf");
    ASSERT_TRUE(font.opened);
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));
    int sum = 0;
    for (uint32_t k = 0; k < Font::GLYPH_COUNT; ++k) {
        EXPECT_EQ(font.glyphs[k].region.glX, sum / W) << "code " << k;
        sum += GlyphAtlas::Step(int(font.glyphs[k].region.width));
    }
    EXPECT_LE(sum, int(GlyphAtlas::WIDTH));
    // Each glyph starts a block, an empty block after the last one's, so that
    // small text, drawn from the mipmaps, shows no piece of a neighbour; and
    // all of a glyph shows ('T' is 41 wide, advance 39).
    const int block = GlyphAtlas::BLOCK;
    int free = 0;
    for (const GlyphMetrics& g : font.glyphs)
        if (g.region.width > 0) {
            const int column = int(g.region.glX * W);
            EXPECT_EQ(column % block, 0);
            EXPECT_GE(column, free);
            free = (column + int(g.region.width) + block - 1) / block * block + block;
        }
    EXPECT_EQ(font.glyphs['T'].region.width, 41.0f);
    EXPECT_EQ(font.glyphs[' '].region.width, 0.0f);
    EXPECT_GT(font.glyphs[' '].advance, 0);

    // 'H' stands on the baseline: its bottom row is atlas row 0.
    const GlyphMetrics& h = font.glyphs['H'];
    EXPECT_EQ(h.top, int(h.region.height));
    const uint32_t x0 = uint32_t(h.region.glX * W), rows = uint32_t(h.region.height);
    EXPECT_GT(font.atlas.At(x0 + 2, 0), 200);
    EXPECT_GT(font.atlas.At(x0 + uint32_t(h.region.width) / 2, rows / 2), 200);
    EXPECT_EQ(font.atlas.At(x0 + 2, rows), 0);

    // The same font with its character maps all marked as symbol ones, which
    // FreeType does not pick by itself: it shows the same glyphs, not glyphs
    // picked by their number.
    std::ifstream in("./Assets/SGK100.ttf", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const auto u16 = [&](size_t at) {
        return size_t(uint8_t(bytes[at])) << 8 | uint8_t(bytes[at + 1]);
    };
    const auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
    size_t cmap = 0;
    for (size_t i = 0; i < u16(4); ++i)
        if (bytes.compare(12 + 16 * i, 4, "cmap") == 0)
            cmap = u32(12 + 16 * i + 8);
    ASSERT_GT(cmap, 0u);
    for (size_t i = 0; i < u16(cmap + 2); ++i)
        bytes.replace(cmap + 4 + 8 * i, 4, std::string("\0\3\0\0", 4));
    const FontBitmap symbol =
        Font::Rasterize(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    ASSERT_TRUE(symbol.opened);
    for (unsigned char c : std::string("Ag5!~")) {
        EXPECT_EQ(symbol.glyphs[c].advance, font.glyphs[c].advance) << c;
        EXPECT_EQ(symbol.glyphs[c].region.height, font.glyphs[c].region.height) << c;
        EXPECT_EQ(symbol.glyphs[c].top, font.glyphs[c].top) << c;
    }
}

// A font of bitmaps only (BDF, PCF, bitmap OpenType) has no 64-pixel size to
// ask for: it keeps its own, with its metrics, and text scales from that.
TEST(FreeType, BitmapFontKeepsItsOwnSize) {
    std::string bdf =
        "STARTFONT 2.1\nFONT -keel-test-medium-r-normal--16-160-75-75-c-80-iso10646-1\n"
        "SIZE 16 75 75\nFONTBOUNDINGBOX 8 16 0 -3\nSTARTPROPERTIES 5\nPIXEL_SIZE 16\n"
        "FONT_ASCENT 13\nFONT_DESCENT 3\nCHARSET_REGISTRY \"ISO10646\"\n"
        "CHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 1\nSTARTCHAR A\n"
        "ENCODING 65\nSWIDTH 500 0\nDWIDTH 9 0\nBBX 8 16 0 -3\nBITMAP\n";
    for (int row = 0; row < 16; ++row)
        bdf += "FF\n";
    bdf += "ENDCHAR\nENDFONT\n";
    Font::InitFont();
    testing::internal::CaptureStderr();
    FontBitmap bitmap =
        Font::Rasterize(reinterpret_cast<const unsigned char*>(bdf.data()), bdf.size());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(bitmap.opened);
    EXPECT_EQ(bitmap.pixelSize, 16);
    EXPECT_EQ(bitmap.ascender, 13);
    EXPECT_EQ(bitmap.lineHeight, 16);
    const GlyphMetrics& a = bitmap.glyphs['A'];
    EXPECT_EQ(a.region.width, 8.0f);
    EXPECT_EQ(a.region.height, 16.0f);
    EXPECT_EQ(a.top, 13);
    EXPECT_EQ(a.advance, 9);
    EXPECT_EQ(bitmap.atlas.At(uint32_t(a.region.glX * W), 0), 255);

    testing::internal::CaptureStderr(); // no GL context here: a warning
    const Font font = Font::Upload(bitmap);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(font.pixelSize, 16);
    EXPECT_EQ(Draw::MeasureText(font, "AA", 32), 2 * (9.0f + 8.0f));
}

TEST(FreeType, ErrorsAreLoggedWithCallFileAndLine) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(FTLogCall(0, "FT_Done_Face(face)", "engine/src/text/Font.cpp", 7));
    EXPECT_FALSE(
        FTLogCall(0x01, "FT_New_Face(FT, path, 0, &face)", "engine/src/text/Font.cpp", 45));
    // A code FreeType has no text for still gives a readable line.
    EXPECT_FALSE(FTLogCall(0xEE, "f()", "a.cpp", 3));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "FT ERROR: \"cannot open resource\" in function FT_New_Face(FT, path, 0, &face) "
              "engine/src/text/Font.cpp:45\n"
              "FT ERROR: \"FreeType error 238\" in function f() a.cpp:3\n");
}

TEST(FreeType, UnopenableFontGivesEmptyGlyphs) {
    Font::InitFont();
    testing::internal::CaptureStderr();
    FontBitmap missing = Font::Rasterize("./Assets/no-such-font.ttf");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(missing.opened);
    EXPECT_NE(err.find("FT ERROR: \"cannot open resource\" in function FT_New_Face("),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("engine/src/text/Font.cpp:"), std::string::npos) << err;

    // A face the file does not have: past its one, or negative (FreeType's
    // count of the faces, which opens one that cannot rasterise).
    for (int face : {1, 99, -1, -2}) {
        SCOPED_TRACE(face);
        testing::internal::CaptureStderr();
        const FontBitmap none = Font::Rasterize("./Assets/SGK100.ttf", face);
        testing::internal::GetCapturedStderr();
        EXPECT_FALSE(none.opened);
        EXPECT_EQ(none.glyphs.size(), size_t(Font::GLYPH_COUNT));
    }

    // Without the library (before InitFont) loading makes no GL texture at all.
    FT_LibraryRec_* saved = Font::FT;
    Font::FT = nullptr;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Font font = Font::loadFont("./Assets/SGK100.ttf");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("FT ERROR: "), std::string::npos);
    Font::FT = saved;
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));
    for (const Ref<Glyph>& g : font.glyphs) {
        ASSERT_TRUE(g && g->tex);
        EXPECT_EQ(g->tex->getWidth(), 0.0f);
        EXPECT_EQ(g->advance, 0);
        EXPECT_EQ(g->tex->getID(), 0u);
    }

    // With the library but without a GL context (no window here), as a
    // scene's member loads it before the window opens: a warning, no upload.
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    font = Font::loadFont("./Assets/SGK100.ttf");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::string err2 = testing::internal::GetCapturedStderr();
    EXPECT_NE(err2.find("FONT: No OpenGL context to load the font into"), std::string::npos)
        << err2;
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));
    EXPECT_GT(font.glyphs['H']->tex->getWidth(), 0.0f);
    EXPECT_EQ(font.glyphs['H']->tex->getID(), 0u);
}

// Past the first 256 a character is drawn with the face's own glyph, made on
// first use (here without a GL context: metrics only), shared by copies.
TEST(FreeType, CharactersPast255UseTheFacesOwnGlyphsUpToTheCap) {
    Font::InitFont();
    const char* path = "./Assets/SGK100.ttf";
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(Font::FT, path, 0, &face), 0);
    FT_Set_Pixel_Sizes(face, Font::PIXEL_SIZE, Font::PIXEL_SIZE);
    const auto advance = [&](FT_UInt index) {
        FT_Load_Glyph(face, index, FT_LOAD_DEFAULT);
        return int32_t(face->glyph->advance.x >> 6);
    };
    // From bytes the caller frees at once: the font keeps its own copy.
    std::ifstream in(path, std::ios::binary);
    auto bytes = std::make_unique<std::vector<unsigned char>>(std::istreambuf_iterator<char>(in),
                                                              std::istreambuf_iterator<char>());
    testing::internal::CaptureStderr();
    Font font = Font::Upload(Font::Rasterize(bytes->data(), bytes->size()));
    bytes.reset();
    Font copy = font;
    // Euro, Cyrillic Zhe, omega, Polish l with stroke, right arrow.
    for (char32_t c : {0x20AC, 0x416, 0x3C9, 0x142, 0x2192}) {
        const Glyph& g = font.GlyphOf(c);
        EXPECT_EQ(g.advance, advance(FT_Get_Char_Index(face, c))) << uint32_t(c);
        EXPECT_GT(g.tex->getWidth(), 0.0f) << uint32_t(c);
        EXPECT_EQ(&copy.GlyphOf(c), &g) << uint32_t(c);
    }
    // Draw reads UTF-8: "Ж€x" is three characters.
    const float zhe = float(font.GlyphOf(0x416).advance), euro = float(font.GlyphOf(0x20AC).advance);
    EXPECT_EQ(Draw::MeasureText(font, "\xD0\x96\xE2\x82\xAC" "x", 64),
              zhe + euro + font.TextWidth("x"));
    // A character the face lacks (CJK) is its missing-glyph box, drawn and
    // measured alike.
    const Glyph& box = font.GlyphOf(0x4E00);
    EXPECT_EQ(&font.GlyphOf(0x9FA5), &box);
    EXPECT_EQ(box.advance, advance(0));
    EXPECT_GT(box.tex->getWidth(), 0.0f);
    EXPECT_EQ(Draw::MeasureText(font, "\xE4\xB8\x80" "x", 64),
              float(box.advance) + font.TextWidth("x"));

    // New glyphs past the cap are the box; those kept stay.
    char32_t last = 0;
    for (char32_t c = 0x100, made = 0; made < Font::EXTRA_GLYPHS + 50; ++c)
        if (FT_Get_Char_Index(face, c) != 0) {
            font.GlyphOf(c);
            last = c;
            ++made;
        }
    EXPECT_EQ(font.extra->Count(), size_t(Font::EXTRA_GLYPHS));
    EXPECT_EQ(&font.GlyphOf(last), &box);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("characters past the first 256: the rest show as the missing-glyph box"),
              std::string::npos)
        << err;
    EXPECT_EQ(&font.GlyphOf(0x416), &copy.GlyphOf(0x416));
    EXPECT_EQ(font.GlyphOf(0x416).advance, advance(FT_Get_Char_Index(face, 0x416)));
    FT_Done_Face(face);
}
