// The font atlas on the GPU and text drawn through the text renderer, read back
// from a real window.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>
#include <engine/render/Mesh.h>
#include <engine/render/Shader.h>
#include <engine/text/TextMesh.h>

#include "render/GLTexture.h"
#include "support/GLContext.h"

using namespace Engine;
using EngineTest::Pixel;

namespace {

constexpr const char* FONT = "./Assets/SGK100.ttf";
constexpr uint32_t CLEAR = 0x262E33;
const Pixel CLEAR_PIXEL{0x26, 0x2E, 0x33, 255};

class TextDrawTest : public EngineTest::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Font::InitFont();
        ECS::Get().Reset();
    }
    void TearDown() override {
        // GL objects go while the context is still there.
        ECS::Get().Reset();
        shader.reset();
        Mesh::ReleaseQuad();
        GLTest::TearDown();
    }

    Font Load() {
        testing::internal::CaptureStdout();
        Font font = Font::loadFont(FONT);
        loadOutput = testing::internal::GetCapturedStdout();
        return font;
    }

    Ref<Shader> shader;
    std::string loadOutput;
};

} // namespace

TEST_F(TextDrawTest, LoadsTheFontIntoOneSharedAtlas) {
    uint32_t id = 0;
    {
        Font font = Load();
        ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));
        for (const Ref<Glyph>& g : font.glyphs)
            ASSERT_TRUE(g && g->tex);
        id = font.glyphs[0]->tex->getID();
        ASSERT_NE(id, 0u);
        EXPECT_EQ(loadOutput, "texture font: " + std::to_string(id) + "\n");
        for (const Ref<Glyph>& g : font.glyphs)
            EXPECT_EQ(g->tex->getID(), id);
        EXPECT_EQ(GLTextureNames::Users(id), int(Font::GLYPH_COUNT));

        // The atlas holds the coverage in alpha, bottom row first, exactly as
        // rasterised; the colour channels are stored as 0 and read as 1.
        FontBitmap cpu = Font::Rasterize(FONT);
        std::vector<uint8_t> gpu(size_t(GlyphAtlas::WIDTH) * GlyphAtlas::HEIGHT * 4);
        glGetTextureImage(id, 0, GL_RGBA, GL_UNSIGNED_BYTE, GLsizei(gpu.size()), gpu.data());
        size_t mismatched = 0;
        for (size_t i = 0; i < cpu.atlas.Pixels().size(); ++i)
            mismatched += gpu[i * 4 + 3] != cpu.atlas.Pixels()[i];
        EXPECT_EQ(mismatched, 0u);
        GLint swizzle[4] = {};
        glGetTextureParameteriv(id, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        EXPECT_EQ(swizzle[0], GL_ONE);
        EXPECT_EQ(swizzle[1], GL_ONE);
        EXPECT_EQ(swizzle[2], GL_ONE);
        EXPECT_EQ(swizzle[3], GL_ALPHA);

        // A copy keeps the atlas alive after its source is gone.
        Font copy = font;
        font = Font();
        EXPECT_EQ(GLTextureNames::Users(id), int(Font::GLYPH_COUNT));
        EXPECT_TRUE(glIsTexture(id));
    }
    // The last glyph deleted the name, once.
    EXPECT_EQ(GLTextureNames::Users(id), 0);
    EXPECT_FALSE(glIsTexture(id));
}

TEST_F(TextDrawTest, TextRendererDrawsWhiteGlyphsWhereTheyAreLaidOut) {
    shader = CreateRef<Shader>("./Assets/Shaders/basic.shader");
    Mesh::InitQuad();
    Uni<Renderer> ren = Renderer::Create();
    // View = identity: world coordinates are window pixels.
    Camera::Main().transform.position = {640, 360, 0};

    const std::string text = "AD to move, SPACE to jump, get over the vvv fish.";
    const glm::vec3 at{20, 100, 0};
    Font font = Load();
    ECS& ecs = ECS::Get();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<TextMesh>();
    EntityID e = ecs.CreateEntity();
    ecs.AddComponent<TextMesh>(e, TextMesh::CreateTextMesh(font, text));
    ecs.AddComponent<Transform>(e, at, glm::vec3(0), glm::vec3(1, 1, 0));
    Ref<TextRenderer> textRenderer = CreateRef<TextRenderer>(ren, shader);
    SystemID sys = ecs.RegisterSystem(textRenderer);

    ren->SetClearColor(CLEAR);
    ren->Clear();
    ren->RenderInit(shader);
    ecs.RunSystem(sys);
    ren->RenderEnd();
    std::vector<Pixel> image = ReadBack();

    // The expected picture: each glyph's atlas texels blended white over what
    // is below, quad by quad in string order.
    FontBitmap cpu = Font::Rasterize(FONT);
    std::vector<float> expect(1280 * 720, 0.0f); // white's share per pixel
    std::vector<bool> covered(1280 * 720, false);
    font.Layout(TextAlignment::CENTER, text, [&](const PlacedGlyph& p) {
        const Texture& tex = *p.glyph->tex;
        const int x0 = int(at.x + p.quad.position.x), y0 = int(at.y + p.quad.position.y);
        const int w = int(tex.getWidth()), h = int(tex.getHeight());
        const uint32_t off = uint32_t(tex.getInternalX() * GlyphAtlas::WIDTH);
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                if (x0 + i < 0 || x0 + i >= 1280 || y0 + j < 0 || y0 + j >= 720)
                    continue; // off the window: the string is wider than it
                const size_t px = size_t(y0 + j) * 1280 + size_t(x0 + i);
                const float a = cpu.atlas.At(off + i, uint32_t(h - 1 - j)) / 255.0f;
                expect[px] = a + (1 - a) * expect[px];
                covered[px] = true;
            }
    });

    int white = 0, wrong = 0, stray = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const Pixel p = At(image, x, y);
            const size_t px = size_t(y) * 1280 + size_t(x);
            if (!covered[px]) {
                stray += !(p == CLEAR_PIXEL);
                continue;
            }
            const float s = expect[px];
            const Pixel want{uint8_t(255 * s + 0x26 * (1 - s) + 0.5f),
                             uint8_t(255 * s + 0x2E * (1 - s) + 0.5f),
                             uint8_t(255 * s + 0x33 * (1 - s) + 0.5f), 255};
            const bool close = std::abs(p.r - want.r) <= 8 && std::abs(p.g - want.g) <= 8 &&
                               std::abs(p.b - want.b) <= 8;
            wrong += !close;
            white += s == 1.0f && p.r == 255 && p.g == 255 && p.b == 255;
        }
    EXPECT_EQ(stray, 0) << "pixels drawn outside every glyph quad";
    EXPECT_EQ(wrong, 0) << "glyph pixels off the expected blend";
    EXPECT_GT(white, 2000) << "solid white glyph pixels";

    // Characters past the first 256 come from pages of their own: a Cyrillic
    // letter and the euro, between Latin ones, each inks its own quad.
    const std::string wide = "A\xD0\x96\xE2\x82\xAC" "A";
    ren->Clear();
    ren->RenderInit(shader);
    font.renderText(shader, TextAlignment::CENTER, wide, glm::translate(glm::mat4(1.0f), at));
    ren->RenderEnd();
    image = ReadBack();
    std::vector<int> inked;
    std::vector<bool> inQuad(1280 * 720, false);
    font.Layout(TextAlignment::CENTER, wide, [&](const PlacedGlyph& p) {
        const int x0 = int(at.x + p.quad.position.x), y0 = int(at.y + p.quad.position.y);
        int n = 0;
        for (int j = 0; j < int(p.quad.scale.y); ++j)
            for (int i = 0; i < int(p.quad.scale.x); ++i) {
                inQuad[size_t(y0 + j) * 1280 + size_t(x0 + i)] = true;
                n += !(At(image, x0 + i, y0 + j) == CLEAR_PIXEL);
            }
        inked.push_back(n);
    });
    ASSERT_EQ(inked.size(), 4u);
    for (int n : inked)
        EXPECT_GT(n, 300);
    int outside = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x)
            outside += !inQuad[size_t(y) * 1280 + size_t(x)] && !(At(image, x, y) == CLEAR_PIXEL);
    EXPECT_EQ(outside, 0);

    if (const char* shot = std::getenv("TEXT_SHOT")) {
        window->SwapBuffers();
        std::string cmd = std::string("import -window root ") + shot;
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
}

TEST_F(TextDrawTest, MissingFontDrawsNothing) {
    shader = CreateRef<Shader>("./Assets/Shaders/basic.shader");
    Mesh::InitQuad();
    Uni<Renderer> ren = Renderer::Create();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Font font = Font::loadFont("./Assets/missing.ttf");
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("FT ERROR: \"cannot open resource\""), std::string::npos) << err;
    ASSERT_EQ(font.glyphs.size(), size_t(Font::GLYPH_COUNT));

    ren->SetClearColor(CLEAR);
    ren->Clear();
    ren->RenderInit(shader);
    font.renderText(shader, TextAlignment::CENTER, "Nothing to see", glm::mat4(1.0f));
    // A font that was never loaded has no glyphs at all; drawing it is harmless.
    Font().renderText(shader, TextAlignment::RIGHT, "Nothing", glm::mat4(1.0f));
    ren->RenderEnd();
    std::vector<Pixel> image = ReadBack();
    EXPECT_EQ(std::count(image.begin(), image.end(), CLEAR_PIXEL), 1280 * 720);
}
