// The view follows the size the engine is made with, and the engine's own
// shader draws by the draw contract: both read back from a real window, with
// nothing of the game.

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/Texture.h>

#include "support/GLContext.h"
#include "support/RenderImages.h"

using namespace Engine;
using EngineTest::Rgba;
using glm::vec3;

namespace {

using Rgb = EngineTest::Pixel;

constexpr Rgb CLEAR{38, 46, 51};

// A scene of squares, each one region of a 4 by 1 sheet of colours, drawn
// through the engine's own shader.
class Squares : public Scene {
public:
    struct Square {
        vec3 at;
        float side;
        int cell;
    };
    Squares(std::string sheet, std::vector<Square> squares)
        : m_sheet(std::move(sheet)), m_squares(std::move(squares)) {}

    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Mesh>();
        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        std::vector<Ref<Texture>> cells = CutSheetRegions(Texture2D::Create(m_sheet), 1, 1);
        ASSERT_EQ(cells.size(), 4u);
        for (const Square& s : m_squares) {
            EntityID e = ecs.CreateEntity();
            ecs.AddComponent<Transform>(e, s.at, vec3(0), vec3(s.side, s.side, 1));
            ecs.AddComponent<Mesh>(e, Mesh::CreateMesh(cells[size_t(s.cell)]));
        }
    }
    void Update() override {}
    void Draw(const Uni<Renderer>& renderer) override {
        m_meshes->RenderInit(renderer);
        ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
        m_meshes->RenderEnd(renderer);
    }
    void Release() override {
        m_meshes.reset();
        m_shader.reset();
    }

private:
    std::string m_sheet;
    std::vector<Square> m_squares;
    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
        // Red, green, blue, and white at half opacity, left to right.
        const Rgba colours[] = {
            EngineTest::kRed, EngineTest::kGreen, EngineTest::kBlue, {255, 255, 255, 128}};
        sheet = dir.File("sheet.png");
        ASSERT_TRUE(EngineTest::WritePng(sheet, 4, 1, [&](int x, int) { return colours[x]; }));
    }

    // Makes an engine of w by h, draws one frame of the squares and reads it
    // back, row 0 at the top.
    std::vector<Rgb> Draw(int w, int h, std::vector<Squares::Square> squares) {
        ::Engine::Engine engine(w, h, "View");
        engine.SetScene(CreateRef<Squares>(sheet, std::move(squares)));
        engine.InitializeGraphicsSubSystem();
        engine.Start();
        int ww = 0, wh = 0;
        SDL_GetWindowSize(engine.GetWindow()->GetNativeWindow(), &ww, &wh);
        EXPECT_EQ(ww, w);
        EXPECT_EQ(wh, h);
        engine.GetRenderer()->SetClearColor(::Engine::Engine::CLEAR_COLOR);
        engine.GetRenderer()->Clear();
        engine.GetScene()->Draw(engine.RendererOwner());
        std::vector<Rgb> image = EngineTest::ReadBack(w, h);
        engine.Shutdown();
        width = w;
        return image;
    }
    Rgb At(const std::vector<Rgb>& image, int x, int y) const {
        return image[size_t(y) * size_t(width) + size_t(x)];
    }

    EngineTest::TempDir dir;
    std::string sheet;
    int width = 0;
};

// The camera at the world origin (where it starts): the origin is drawn at the
// centre of the window, and the view reaches exactly to the window's edges.
// Even sizes only: an odd one puts the centre between two pixels.
TEST_F(ViewTest, ProjectionAndCameraCentreFollowTheEnginesSize) {
    struct Size {
        int w, h;
    };
    for (Size s : {Size{1280, 720}, Size{640, 360}, Size{800, 600}, Size{334, 518}}) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        const float hw = float(s.w) / 2, hh = float(s.h) / 2;
        std::vector<Rgb> img = Draw(s.w, s.h,
                                    {{{0, 0, 0}, 8, 0},             // red at the centre
                                     {{-hw, -hh, 0}, 4, 1},         // green, top-left corner
                                     {{hw - 4, hh - 4, 0}, 4, 2}}); // blue, bottom-right
        EXPECT_EQ(Camera::Main().w, float(s.w));
        EXPECT_EQ(Camera::Main().h, float(s.h));
        const int cx = s.w / 2, cy = s.h / 2;
        EXPECT_EQ(At(img, cx, cy), (Rgb{255, 0, 0}));
        EXPECT_EQ(At(img, cx + 7, cy + 7), (Rgb{255, 0, 0}));
        EXPECT_EQ(At(img, cx - 1, cy - 1), CLEAR);
        EXPECT_EQ(At(img, cx + 8, cy + 8), CLEAR);
        EXPECT_EQ(At(img, 0, 0), (Rgb{0, 255, 0}));
        EXPECT_EQ(At(img, 3, 3), (Rgb{0, 255, 0}));
        EXPECT_EQ(At(img, 4, 4), CLEAR);
        EXPECT_EQ(At(img, s.w - 1, s.h - 1), (Rgb{0, 0, 255}));
        EXPECT_EQ(At(img, s.w - 4, s.h - 4), (Rgb{0, 0, 255}));
        EXPECT_EQ(At(img, s.w - 5, s.h - 5), CLEAR);
    }
}

// Each square shows its own cell of the sheet, whole, and the half-opaque one
// blends over the clear colour.
TEST_F(ViewTest, DefaultShaderDrawsEachRegionAndBlends) {
    std::vector<Rgb> img = Draw(320, 240,
                                {{{-160, -120, 0}, 20, 0},
                                 {{-140, -120, 0}, 20, 1},
                                 {{-120, -120, 0}, 20, 2},
                                 {{-100, -120, 0}, 20, 3}});
    const Rgb expect[] = {{255, 0, 0},
                          {0, 255, 0},
                          {0, 0, 255},
                          // 255 * 128/255 + clear * 127/255, within rounding
                          {147, 151, 153}};
    for (int i = 0; i < 4; ++i)
        for (int x : {0, 10, 19})
            for (int y : {0, 10, 19}) {
                SCOPED_TRACE("cell " + std::to_string(i) + " at " + std::to_string(x) + "," +
                             std::to_string(y));
                const Rgb got = At(img, 20 * i + x, y);
                if (i < 3) {
                    EXPECT_EQ(got, expect[i]);
                } else {
                    EXPECT_NEAR(got.r, expect[i].r, 1);
                    EXPECT_NEAR(got.g, expect[i].g, 1);
                    EXPECT_NEAR(got.b, expect[i].b, 1);
                }
            }
    EXPECT_EQ(At(img, 80, 0), CLEAR);
    EXPECT_EQ(At(img, 0, 20), CLEAR);
}

} // namespace
