#include <gtest/gtest.h>

#include "GLTexture.h"
#include "RenderImages.h"
#include "Texture.h"

using namespace Engine;
using EngineTest::FakeSheet;

namespace {
void ExpectCell(const SheetCell& c, float w, float h, float glW, float glH, float glX, float glY) {
    EXPECT_FLOAT_EQ(c.width, w);
    EXPECT_FLOAT_EQ(c.height, h);
    EXPECT_FLOAT_EQ(c.glWidth, glW);
    EXPECT_FLOAT_EQ(c.glHeight, glH);
    EXPECT_FLOAT_EQ(c.glX, glX);
    EXPECT_FLOAT_EQ(c.glY, glY);
}
} // namespace

TEST(CutSheet, RowsFromTheTopLeftToRight) {
    // 128 x 64 into 32 x 32: 4 columns, 2 rows.
    auto cells = CutSheet(128, 64, 32, 32);
    ASSERT_EQ(cells.size(), 8u);
    ExpectCell(cells[1], 32, 32, 0.25f, 0.5f, 0.25f, 0.5f); // top row, column 1
    ExpectCell(cells[4], 32, 32, 0.25f, 0.5f, 0.0f, 0.0f);  // bottom row, column 0

    // 128 x 128 into 64 x 64 plays top-left, top-right, bottom-left, bottom-right.
    cells = CutSheet(128, 128, 64, 64);
    ASSERT_EQ(cells.size(), 4u);
    const float expected[4][2] = {{0, 0.5f}, {0.5f, 0.5f}, {0, 0}, {0.5f, 0}};
    for (int i = 0; i < 4; ++i)
        ExpectCell(cells[i], 64, 64, 0.5f, 0.5f, expected[i][0], expected[i][1]);

    // 64 x 128: tile 0 is the top half of the picture.
    cells = CutSheet(64, 128, 64, 64);
    ASSERT_EQ(cells.size(), 2u);
    ExpectCell(cells[0], 64, 64, 1.0f, 0.5f, 0.0f, 0.5f);
    ExpectCell(cells[1], 64, 64, 1.0f, 0.5f, 0.0f, 0.0f);
}

TEST(CutSheet, LeftoverPixelsAreNeverShown) {
    // A 100-pixel-wide sheet of 32-pixel cells has 3 columns.
    EXPECT_EQ(CutSheet(100, 32, 32, 32).size(), 3u);
    // 100 x 100 into 64 x 64: one cell, the bottom-left part of the picture.
    auto cells = CutSheet(100, 100, 64, 64);
    ASSERT_EQ(cells.size(), 1u);
    ExpectCell(cells[0], 64, 64, 0.64f, 0.64f, 0.0f, 0.0f);
}

TEST(CutSheet, NoWholeCellGivesNoCells) {
    EXPECT_TRUE(CutSheet(63, 64, 64, 64).empty());
    EXPECT_TRUE(CutSheet(64, 10, 64, 64).empty());
    EXPECT_TRUE(CutSheet(64, 64, 0, 64).empty());
    EXPECT_TRUE(CutSheet(64, 64, 64, -8).empty());
    EXPECT_TRUE(CutSheet(0, 0, 64, 64).empty());
    EXPECT_TRUE(CutSheet(-1, -1, 64, 64).empty());
}

TEST(CutSheetRegions, RegionsNameTheSheetTexture) {
    auto sheet = CreateRef<FakeSheet>(128.0f, 64.0f, 4242);
    auto regions = CutSheetRegions(sheet, 64, 64);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0]->getID(), 4242u);
    EXPECT_EQ(regions[1]->getID(), 4242u);
    EXPECT_FLOAT_EQ(regions[1]->getInternalX(), 0.5f);
    EXPECT_FLOAT_EQ(regions[1]->getInternalWidth(), 0.5f);
    EXPECT_FLOAT_EQ(regions[1]->getWidth(), 64.0f);
    EXPECT_TRUE(CutSheetRegions(nullptr, 64, 64).empty());
    // A plain Texture reports -1 x -1: nothing to cut.
    EXPECT_TRUE(CutSheetRegions(CreateRef<Texture>(), 1, 1).empty());
}

TEST(Texture, BaseTextureIsEmpty) {
    Texture t;
    EXPECT_EQ(t.getID(), 0u);
    for (float v : {t.getWidth(), t.getHeight(), t.getInternalWidth(), t.getInternalHeight(),
                    t.getInternalX(), t.getInternalY()})
        EXPECT_FLOAT_EQ(v, -1.0f);
    t.Bind(0);
    FakeSheet sheet(8, 8);
    EXPECT_EQ(sheet.genClip(1, 2, 3, 4), nullptr);
}

TEST(GLTexture2D, UnreadableImageIsEmptyAndBindsNothing) {
    testing::internal::CaptureStderr();
    GLTexture2D tex("no/such/image.png");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("GL TEXTURE2D: Could not load image file: no/such/image.png"),
              std::string::npos)
        << err;
    EXPECT_FLOAT_EQ(tex.getWidth(), 0.0f);
    EXPECT_FLOAT_EQ(tex.getHeight(), 0.0f);
    EXPECT_EQ(tex.getID(), 0u);
    tex.Bind(0); // no context here: it must not touch GL
    auto sheet = Texture2D::Create("no/such/image.png");
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(CutSheetRegions(sheet, 64, 64).empty());
}

TEST(GLTexture2D, WithoutAContextTheSizeIsKnownButNothingIsCreated) {
    EngineTest::TempDir dir;
    std::string path = dir.File("sheet.png");
    ASSERT_TRUE(EngineTest::WritePng(path, 128, 64, [](int, int) { return EngineTest::kRed; }));
    testing::internal::CaptureStderr();
    GLTexture2D tex(path);
    testing::internal::GetCapturedStderr();
    EXPECT_FLOAT_EQ(tex.getWidth(), 128.0f);
    EXPECT_FLOAT_EQ(tex.getHeight(), 64.0f);
    EXPECT_FLOAT_EQ(tex.getInternalWidth(), 1.0f);
    EXPECT_FLOAT_EQ(tex.getInternalHeight(), 1.0f);
    EXPECT_FLOAT_EQ(tex.getInternalX(), 0.0f);
    EXPECT_FLOAT_EQ(tex.getInternalY(), 0.0f);
    EXPECT_EQ(tex.getID(), 0u);
}

TEST(GLTextureNames, RegionsKeepAnAdoptedNameAlive) {
    const uint32_t id = 90001;
    EXPECT_EQ(GLTextureNames::Users(id), 0);
    GLTextureNames::Adopt(id);
    {
        GLTexture2D a(64, 64, 0.5f, 1, 0, 0, id);
        auto b = CreateRef<GLTexture2D>(64, 64, 0.5f, 1, 0.5f, 0, id);
        EXPECT_EQ(GLTextureNames::Users(id), 3);
        b.reset();
        EXPECT_EQ(GLTextureNames::Users(id), 2);
    }
    EXPECT_EQ(GLTextureNames::Users(id), 1);
    GLTextureNames::Release(id); // the last user; no context, so no GL call
    EXPECT_EQ(GLTextureNames::Users(id), 0);
    GLTextureNames::Release(id); // releasing again is harmless
    EXPECT_EQ(GLTextureNames::Users(id), 0);

    // Names nobody adopted are not counted.
    { GLTexture2D region(1, 1, 1, 1, 0, 0, 90002); }
    EXPECT_EQ(GLTextureNames::Users(90002), 0);
}
