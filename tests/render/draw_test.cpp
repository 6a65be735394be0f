#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <engine/core/Time.h>

#include "render/GLTexture.h"
#include "support/DrawScene.h"
#include "support/RenderImages.h"

using namespace Engine;
using EngineTest::Pixel;
using EngineTest::Rgba;
using Grid = std::vector<std::vector<int>>;

namespace {

Pixel Px(Rgba c) {
    return {c.r, c.g, c.b, c.a};
}
const Pixel kBackground{38, 46, 51, 255};
const Pixel kRedPx = Px(EngineTest::kRed), kBluePx = Px(EngineTest::kBlue);

// The game's scene registers the animation updater with the renderers.
class DrawTest : public EngineTest::DrawSceneTest {
protected:
    template <typename C, typename... Args> EntityID Add(glm::vec3 pos, Args&&... args) {
        EntityID e = ECS::Get().CreateEntity();
        ECS::Get().AddComponent<C>(e, std::forward<Args>(args)...);
        ECS::Get().AddComponent<Transform>(e, pos, glm::vec3(0), glm::vec3(64, 64, 0));
        return e;
    }

    // 128 x 64: a red 64 x 64 cell, then a blue one.
    std::string TwoCellSheet() {
        std::string path = dir.File("cells.png");
        EngineTest::WritePng(path, 128, 64, [](int x, int) {
            return x < 64 ? EngineTest::kRed : EngineTest::kBlue;
        });
        return path;
    }

    // The rectangle (inclusive) is all colour c, and the pixels just outside
    // its corners are not.
    void ExpectRect(const std::vector<Pixel>& img, int x0, int y0, int x1, int y1, Pixel c) {
        int wrong = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                wrong += !(At(img, x, y) == c);
        EXPECT_EQ(wrong, 0) << x0 << "," << y0 << " - " << x1 << "," << y1;
        for (auto [x, y] : {std::pair{x0 - 1, y0}, {x0, y0 - 1}, {x1 + 1, y1}, {x1, y1 + 1}})
            if (x >= 0 && y >= 0 && x < 1280 && y < 720) {
                EXPECT_FALSE(At(img, x, y) == c) << x << "," << y;
            }
    }

    EngineTest::TempDir dir;
};

} // namespace

// The quad, its attributes and the view-projection are proven by the pixel
// checks below; this covers what pixels cannot show.
TEST_F(DrawTest, ShaderCompilesAndFrameStateIsLeftAsExpected) {
    EXPECT_NE(shaderLog.find("GL SHADER: vertex shader compile status: 1"), std::string::npos)
        << shaderLog;
    EXPECT_NE(shaderLog.find("GL SHADER: fragment shader compile status: 1"), std::string::npos);
    testing::internal::CaptureStderr();
    meshRenderer->RenderInit(ren);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &src);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    meshRenderer->RenderEnd(ren);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(DrawTest, SpriteCoversExactlyItsPixelsUpright) {
    // Three channels in the file, so the texture's alpha must come out as 1.
    std::string path = dir.File("marked.png");
    EngineTest::WritePng(
        path, 64, 64,
        [](int x, int y) {
            if (y == 0)
                return x == 0 ? EngineTest::kRed : x == 63 ? EngineTest::kBlue : EngineTest::kGreen;
            return x == 0 && y == 63 ? EngineTest::kYellow : EngineTest::kGreen;
        },
        3);
    Add<Mesh>({400, 250, 0}, Mesh::CreateMesh(Texture2D::Create(path)));
    auto img = DrawFrame();
    int green = 0;
    for (int y = 250; y < 314; ++y)
        for (int x = 400; x < 464; ++x)
            green += At(img, x, y) == Px(EngineTest::kGreen);
    EXPECT_EQ(green, 64 * 64 - 3);
    EXPECT_EQ(At(img, 400, 250), kRedPx); // the file's top-left at the top-left
    EXPECT_EQ(At(img, 463, 250), kBluePx);
    EXPECT_EQ(At(img, 400, 313), Px(EngineTest::kYellow));
    for (auto [x, y] : {std::pair{399, 280}, {464, 280}, {430, 249}, {430, 314}})
        EXPECT_EQ(At(img, x, y), kBackground) << x << "," << y;
}

TEST_F(DrawTest, SpriteWhoseImageFailedToLoadDrawsNothing) {
    // Another sprite's texture is still bound when the broken one is drawn.
    Add<Mesh>({100, 100, 0}, Mesh::CreateMesh(Texture2D::Create(TwoCellSheet())));
    testing::internal::CaptureStderr();
    Add<Mesh>({400, 250, 0}, Mesh::CreateMesh(Texture2D::Create(dir.File("missing.png"))));
    testing::internal::GetCapturedStderr();
    auto img = DrawFrame();
    EXPECT_EQ(At(img, 110, 110), kRedPx);
    for (auto [x, y] : {std::pair{400, 250}, {430, 280}, {463, 313}})
        EXPECT_EQ(At(img, x, y), kBackground) << x << "," << y;
}

TEST_F(DrawTest, RegionsAndAnimationFramesShowOnlyTheirCell) {
    auto regions = CutSheetRegions(Texture2D::Create(TwoCellSheet()), 64, 64);
    ASSERT_EQ(regions.size(), 2u);
    Add<Mesh>({400, 250, 0}, Mesh::CreateMesh(regions[1]));
    Add<Mesh>({600, 250, 0}, Mesh::CreateMesh(regions[0]));
    Add<Animation>({800, 250, 0}, TwoCellSheet(), 64, 64);
    auto img = DrawFrame();
    ExpectRect(img, 400, 250, 463, 313, kBluePx);
    ExpectRect(img, 600, 250, 663, 313, kRedPx);
    ExpectRect(img, 800, 250, 863, 313, kRedPx); // frame 0 before any update

    Time::dt = 0.01;
    for (int i = 0; i < 11; ++i)
        ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Animation>());
    Time::dt = 0.0;
    ExpectRect(DrawFrame(), 800, 250, 863, 313, kBluePx);
}

TEST_F(DrawTest, TileGridDrawsItsValidCellsFromTheOrigin) {
    // The entity's own position has no effect on where the tiles go.
    EntityID e = Add<TileMap>({300, 300, 0}, TwoCellSheet(), Grid{{0, -1}, {1, 1}}, 64, 64);
    testing::internal::CaptureStderr();
    Add<TileMap>({0, 0, 0}, TwoCellSheet(), Grid{{}, {}, {9, -1, 0}}, 64, 64);
    Add<TileMap>({0, 0, 0}, dir.File("missing.png"), Grid{{0, 0, 0}}, 64, 64);
    testing::internal::GetCapturedStderr();
    auto img = DrawFrame();

    ExpectRect(img, 0, 0, 63, 63, kRedPx);
    EXPECT_EQ(At(img, 10, 100), kBackground);  // the empty cell
    ExpectRect(img, 64, 0, 127, 127, kBluePx); // tile 1 twice, one above the other
    EXPECT_EQ(At(img, 160, 10), kBackground);  // tile number 9 names no tile
    ExpectRect(img, 128, 128, 191, 191, kRedPx);
    EXPECT_EQ(At(img, 10, 200), kBackground); // the map without a sheet drew nothing

    auto t = ECS::Get().GetComponent<Transform>(e);
    EXPECT_EQ(t->position, glm::vec3(64, 64, 0)); // left at the last drawn cell
    EXPECT_EQ(t->scale, glm::vec3(64, 64, 0));
}

TEST_F(DrawTest, SharedTextureNameIsDeletedAfterItsLastUser) {
    auto sheet = Texture2D::Create(TwoCellSheet());
    const uint32_t id = sheet->getID();
    auto regions = CutSheetRegions(sheet, 64, 64);
    EXPECT_EQ(GLTextureNames::Users(id), 3);
    sheet.reset();
    regions.pop_back();
    EXPECT_TRUE(glIsTexture(id));
    regions.clear();
    EXPECT_FALSE(glIsTexture(id));

    // Users left after the context is gone make no GL call.
    auto late = Texture2D::Create(TwoCellSheet());
    auto lateRegions = CutSheetRegions(late, 64, 64);
    TearDown();
    late.reset();
    lateRegions.clear();
}

TEST_F(DrawTest, ShaderFailuresAreReported) {
    testing::internal::CaptureStderr();
    Shader missing(dir.File("none.shader"));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("SHADER: Could not open shader file: "), std::string::npos) << err;

    // A uniform the GLSL never reads is optimised away, which is fatal.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string unused = dir.File("unused.shader");
    std::ofstream(unused) << "#shader vertex\n#version 330 core\nuniform vec2 u_texPos;\n"
                          << "void main() { gl_Position = vec4(0.0); }\n"
                          << "#shader fragment\n#version 330 core\nout vec4 c;\n"
                          << "void main() { c = vec4(1.0); }\n";
    EXPECT_EXIT(Shader(unused).SetUniformFloat2("u_texPos", 0.0f, 0.0f),
                testing::ExitedWithCode(255), "SHADER: Uniform u_texPos does not exist");
}

// A tile row with a round sprite standing on it and a line of text above;
// checked by eye once (RENDER_SHOT_PNG=path writes the frame) and kept as
// these pixel checks.
TEST_F(DrawTest, SceneOfATileRowASpriteAndALineOfText) {
    const Rgba brick{150, 75, 40, 255}, mortar{60, 30, 20, 255}, grass{40, 160, 60, 255},
        soil{90, 60, 30, 255}, boat{240, 200, 40, 255};
    std::string tiles = dir.File("tiles.png"), sheet = dir.File("boat.png");
    EngineTest::WritePng(tiles, 128, 64, [&](int x, int y) {
        if (x < 64)
            return (y % 16 < 2 || x < 2 || x > 61) ? mortar : brick;
        return y < 12 ? grass : soil;
    });
    EngineTest::WritePng(sheet, 128, 64, [&](int x, int y) {
        int dx = x % 64 - 32, dy = y - 32;
        return dx * dx + dy * dy <= 28 * 28 ? boat : Rgba{0, 0, 0, 0};
    });
    Grid grid(20, std::vector<int>(10, -1));
    for (int x = 0; x < 20; ++x)
        grid[x][9] = x % 2; // row 9: world y 576 to 639
    Add<TileMap>({0, 0, 0}, tiles, grid, 64, 64);
    Add<Animation>({600, 520, 0}, sheet, 64, 64);
    Font::InitFont();
    testing::internal::CaptureStdout(); // the font's load line
    const Font font = Font::loadFont("Assets/SGK100.ttf");
    testing::internal::GetCapturedStdout();
    const EntityID text = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<TextMesh>(text, TextMesh::CreateTextMesh(font, "Hello"));
    ECS::Get().AddComponent<Transform>(text, glm::vec3(640, 200, 0), glm::vec3(0),
                                       glm::vec3(1, 1, 0));
    auto img = DrawFrame();
    if (const char* shot = std::getenv("RENDER_SHOT_PNG"))
        stbi_write_png(shot, 1280, 720, 4, img.data(), 1280 * 4);

    EXPECT_EQ(At(img, 5, 575), kBackground);
    EXPECT_EQ(At(img, 0, 600), Px(mortar));
    EXPECT_EQ(At(img, 10, 600), Px(brick));
    EXPECT_EQ(At(img, 64, 580), Px(grass));
    EXPECT_EQ(At(img, 1279, 639), Px(soil)); // column 19 reaches the right edge
    EXPECT_EQ(At(img, 640, 640), kBackground);
    // Animations are drawn over the tiles, which show through transparent texels.
    EXPECT_EQ(At(img, 632, 578), Px(boat));
    EXPECT_EQ(At(img, 601, 521), kBackground);
    EXPECT_EQ(At(img, 601, 582), Px(grass));
    // The text, starting at x 640 with its baseline at y 200: white glyph
    // pixels inside its box, none outside it.
    int white = 0, strayText = 0;
    for (int y = 100; y < 260; ++y)
        for (int x = 0; x < 1280; ++x) {
            const Pixel p = At(img, x, y);
            const bool inBox = x >= 640 && x < 810 && y >= 140 && y < 215;
            if (p == Pixel{255, 255, 255, 255})
                ++white;
            if (!inBox && !(p == kBackground))
                ++strayText;
        }
    EXPECT_GT(white, 300);
    EXPECT_EQ(strayText, 0);
}

// From a camera between pixels, neighbouring see-through tiles still meet
// without a seam: no column blended twice, left out, or sampled from the next
// cell of the sheet.
TEST_F(DrawTest, SeeThroughTilesMeetWithoutSeamsFromAnyCameraPosition) {
    std::string path = dir.File("glass.png");
    EngineTest::WritePng(path, 192, 64, [](int x, int) {
        return x < 64 || x >= 128 ? EngineTest::kRed : EngineTest::Rgba{255, 255, 255, 128};
    });
    Add<TileMap>({0, 0, 0}, path, Grid(40, std::vector<int>{1}), 64, 64);
    for (float x : {640.0f, 640.3f, 640.5f, 900.75f, 1201.49f, 1500.5f, 1888.61f}) {
        for (float y : {360.0f, 360.37f, 360.5f}) {
            Camera::Main().transform.position = {x, y, 0.0f};
            auto img = DrawFrame();
            Pixel inside = At(img, 640, 30);
            int odd = 0;
            for (int row = 2; row < 60; ++row)
                for (int col = 0; col < 1280; ++col)
                    odd += !(At(img, col, row) == inside);
            EXPECT_EQ(odd, 0) << "camera " << x << ", " << y;
        }
    }
}
