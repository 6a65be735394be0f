#include <gtest/gtest.h>

#include <engine/image/Image.h>
#include <engine/render/Texture.h>

#include "support/GLContext.h"

using namespace Engine;
using EngineTest::GLTest;

namespace {
void ExpectCell(const SheetCell& c, float glW, float glH, float glX, float glY) {
    EXPECT_FLOAT_EQ(c.glWidth, glW);
    EXPECT_FLOAT_EQ(c.glHeight, glH);
    EXPECT_FLOAT_EQ(c.glX, glX);
    EXPECT_FLOAT_EQ(c.glY, glY);
}
} // namespace

TEST(CutSheet, RowsFromTheTopLeftToRight) {
    auto cells = CutSheet(128, 64, 32, 32); // 4 columns, 2 rows
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_FLOAT_EQ(cells[1].width, 32.0f);
    EXPECT_FLOAT_EQ(cells[1].height, 32.0f);
    ExpectCell(cells[1], 0.25f, 0.5f, 0.25f, 0.5f); // top row, column 1
    ExpectCell(cells[4], 0.25f, 0.5f, 0.0f, 0.0f);  // bottom row, column 0

    // Play order of a 2 x 2 sheet: top-left, top-right, bottom-left, bottom-right.
    cells = CutSheet(128, 128, 64, 64);
    ASSERT_EQ(cells.size(), 4u);
    const float offsets[4][2] = {{0, 0.5f}, {0.5f, 0.5f}, {0, 0}, {0.5f, 0}};
    for (int i = 0; i < 4; ++i)
        ExpectCell(cells[i], 0.5f, 0.5f, offsets[i][0], offsets[i][1]);

    cells = CutSheet(64, 128, 64, 64); // tile 0 is the top half of the picture
    ASSERT_EQ(cells.size(), 2u);
    ExpectCell(cells[0], 1.0f, 0.5f, 0.0f, 0.5f);
    ExpectCell(cells[1], 1.0f, 0.5f, 0.0f, 0.0f);
}

TEST(CutSheet, LeftoverPixelsAreNeverShown) {
    EXPECT_EQ(CutSheet(100, 32, 32, 32).size(), 3u);
    // One cell, the bottom-left part of the picture.
    auto cells = CutSheet(100, 100, 64, 64);
    ASSERT_EQ(cells.size(), 1u);
    ExpectCell(cells[0], 0.64f, 0.64f, 0.0f, 0.0f);

    // No whole cell, or a cell size that is not positive: no cells at all.
    EXPECT_TRUE(CutSheet(63, 64, 64, 64).empty());
    EXPECT_TRUE(CutSheet(64, 10, 64, 64).empty());
    EXPECT_TRUE(CutSheet(64, 64, 0, 64).empty());
    EXPECT_TRUE(CutSheet(64, 64, 64, -8).empty());
    EXPECT_TRUE(CutSheet(-1, -1, 64, 64).empty());
}

TEST(GLTexture2D, UnreadableImageIsEmptyAndBindsNothing) {
    testing::internal::CaptureStderr();
    auto tex = Texture2D::Create("no/such/image.png");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("GL TEXTURE2D: Could not load image file: no/such/image.png"),
              std::string::npos)
        << err;
    EXPECT_FLOAT_EQ(tex->getWidth(), 0.0f);
    EXPECT_FLOAT_EQ(tex->getHeight(), 0.0f);
    EXPECT_EQ(tex->getID(), 0u);
    tex->Bind(0); // no context here: it must not touch GL
    EXPECT_TRUE(CutSheetRegions(tex, 64, 64).empty());
}

// An image edited in memory reaches its texture right side up; what cannot be
// updated is refused, leaving the pixels as they were.
TEST_F(GLTest, UpdateReplacesTheTexturesPixelsOrRefuses) {
    Image image(3, 2, Image::Rgba(0, 0, 255));
    auto tex = Texture2D::Create(image);
    ASSERT_NE(tex->getID(), 0u);
    image.SetPixel(0, 0, {255, 0, 0}); // the top-left
    image.SetPixel(2, 1, {0, 255, 0}); // the bottom-right
    EXPECT_TRUE(tex->Update(image));
    auto texels = [&] {
        std::vector<unsigned char> t(3 * 2 * 4);
        glGetTextureImage(tex->getID(), 0, GL_RGBA, GL_UNSIGNED_BYTE, GLsizei(t.size()), t.data());
        return t;
    };
    // Texture rows run from the bottom: the top-left is the first texel of the last row.
    const std::vector<unsigned char> expected = {0, 0, 255, 255, 0, 0, 255, 255, 0, 255, 0, 255,
                                                 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    EXPECT_EQ(texels(), expected);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(tex->Update(Image(2, 3)));
    EXPECT_FALSE(tex->Update(Image()));
    auto regions = CutSheetRegions(tex, 3, 2);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_FALSE(std::static_pointer_cast<Texture2D>(regions[0])->Update(image));
    SDL_GL_MakeCurrent(window->GetNativeWindow(), nullptr);
    EXPECT_FALSE(tex->Update(image));
    SDL_GL_MakeCurrent(window->GetNativeWindow(), window->GetContext());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Cannot update a texture of 3x2 with an image of 2x3"), std::string::npos)
        << err;
}
