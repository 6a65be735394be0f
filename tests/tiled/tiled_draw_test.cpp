// A Tiled map drawn by the engine, read back from the window: the rich map
// pixel for pixel against tmxrasterizer's picture of it (Tiled's own
// renderer), and the eight orientations of a tile as Tiled defines them.
// TILED_SHOT_DIR=dir keeps both pictures for a look.

#include <gtest/gtest.h>

#include <cstdlib>

#include <engine/ecs/ECS.h>
#include <engine/image/Image.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/tiled/TiledTileMap.h>

#include "support/GLContext.h"
#include "tiled/TiledTestData.h"

using namespace Engine;
using EngineTest::Pixel;

namespace {

constexpr uint32_t kClear = 0x262E33;
const Pixel kBackground{38, 46, 51, 255};

// The engine's drawing set up as a program on it would: the shared quad, the
// shader, TileMap and Transform registered, the tile-map renderer, and the
// camera putting world coordinates on window pixels.
class TiledDraw : public EngineTest::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ren = CreateUni<GLRenderer>();
        Mesh::InitQuad();
        testing::internal::CaptureStderr();
        shader = CreateRef<Shader>("Assets/Shaders/basic.shader");
        testing::internal::GetCapturedStderr();
        Camera::Main().transform.position = {640, 360, 0};
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<TileMap>();
        ecs.RegisterSystem(CreateRef<TileMapRenderer>(ren, shader));
        meshRenderer = CreateUni<MeshRenderer>(ren, shader);
    }
    void TearDown() override {
        ECS::Get().Reset();
        meshRenderer.reset();
        shader.reset();
        Mesh::ReleaseQuad();
        GLTest::TearDown();
    }

    std::vector<Pixel> Frame() {
        ren->SetClearColor(kClear);
        ren->Clear();
        meshRenderer->RenderInit(ren);
        ECS::Get().RunSystemArch(ECS::Get().GetArchetype<TileMap, Transform>());
        meshRenderer->RenderEnd(ren);
        return ReadBack();
    }

    // The map's visible layers as the engine draws them.
    std::vector<Pixel> DrawMap(const std::string& path) {
        const Tiled::Map map = Tiled::Load(path);
        testing::internal::CaptureStderr();
        const auto sheets = Tiled::LoadSheets(map);
        const auto layers = Tiled::CreateTileMapEntities(map, sheets);
        // Its tile object alone is not drawn: its layer is no part of either picture.
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find("not drawn yet: tile objects"), std::string::npos) << err;
        EXPECT_EQ(layers.size(), 3u);
        return Frame();
    }

    static void Keep(const std::vector<Pixel>& image, const std::string& name) {
        const char* dir = std::getenv("TILED_SHOT_DIR");
        if (!dir)
            return;
        EngineTest::WritePng(std::string(dir) + "/" + name, 1280, 720, [&](int x, int y) {
            const Pixel p = At(image, x, y);
            return EngineTest::Rgba{p.r, p.g, p.b, 255};
        });
    }

    Uni<Renderer> ren;
    Ref<Shader> shader;
    Uni<MeshRenderer> meshRenderer;
};

TEST_F(TiledDraw, RichMapDrawsAsTmxrasterizerDrawsIt) {
    if (std::system("command -v tmxrasterizer >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tmxrasterizer (Debian package tiled) is not installed";
    TiledTest::DataCopy copy;
    const std::string reference = copy.File("tiled.png");
    // Object layers are Tiled's editing aids, not part of the level's picture.
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout -k 5 30 tmxrasterizer "
                                "--no-smoothing --hide-layer objects '" +
                                copy.File("rich.tmx") + "' '" + reference + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Image tiled = Image::Load(reference);
    ASSERT_FALSE(tiled.Empty()) << tiled.Error();
    ASSERT_EQ(tiled.Width(), 1024);
    ASSERT_EQ(tiled.Height(), 640);

    const std::vector<Pixel> drawn = DrawMap(copy.File("rich.tmx"));
    // Tiled's picture over the clear colour, as the engine blends its tiles.
    std::vector<Pixel> want(1280 * 720, kBackground);
    for (int y = 0; y < 640; ++y)
        for (int x = 0; x < 1024; ++x) {
            // Image rows run from the bottom of the picture.
            const unsigned char* p = tiled.Pixels() + (size_t(639 - y) * 1024 + size_t(x)) * 4;
            auto over = [&](int c, int bg) {
                return static_cast<unsigned char>((c * p[3] + bg * (255 - p[3]) + 127) / 255);
            };
            want[size_t(y) * 1280 + size_t(x)] = {over(p[0], 38), over(p[1], 46), over(p[2], 51),
                                                  255};
        }
    Keep(drawn, "engine.png");
    Keep(want, "tiled.png");
    // Two levels of rounding: the engine blends in 8 bits, Tiled's picture
    // keeps its colours premultiplied.
    int wrong = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const Pixel a = At(drawn, x, y), b = At(want, x, y);
            const bool close =
                std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
            if (!close && ++wrong <= 10) {
                ADD_FAILURE() << "pixel " << x << "," << y << " cell " << x / 64 << "," << y / 64
                              << ": engine " << testing::PrintToString(a) << ", Tiled "
                              << testing::PrintToString(b);
            }
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(TiledDraw, EightOrientationsOfATileAsTiledDefinesThem) {
    TiledTest::DataCopy copy;
    const std::vector<Pixel> drawn = DrawMap(copy.File("rich.tmx"));
    Keep(drawn, "orientations.png");
    // Row 1, columns 1 to 8 of the decoration layer: marks tile 0 with the
    // flags H, V, D counting up (H first). The pixel at (sx, sy) of a cell
    // shows the tile's own pixel found by undoing the flips in reverse order:
    // vertical, then horizontal, then the transpose.
    for (int i = 0; i < 8; ++i) {
        const bool h = i & 1, v = i & 2, d = i & 4;
        int wrong = 0;
        for (int sy = 0; sy < 64; ++sy)
            for (int sx = 0; sx < 64; ++sx) {
                int x = sx, y = sy;
                if (v)
                    y = 63 - y;
                if (h)
                    x = 63 - x;
                if (d)
                    std::swap(x, y);
                const EngineTest::Rgba m = TiledTest::MarkPixel(2 + x, 2 + y);
                wrong += !(At(drawn, 64 * (1 + i) + sx, 64 + sy) == Pixel{m.r, m.g, m.b, 255});
            }
        EXPECT_EQ(wrong, 0) << "orientation " << i;
    }
    // And every tile of the sheet upright, cut past its margin and spacing.
    for (int k = 0; k < 6; ++k)
        for (auto [sx, sy] : {std::pair{0, 0}, {63, 0}, {0, 63}, {63, 63}, {20, 30}}) {
            const EngineTest::Rgba m =
                TiledTest::MarkPixel(2 + 67 * (k % 3) + sx, 2 + 67 * (k / 3) + sy);
            EXPECT_EQ(At(drawn, 64 * (10 + k) + sx, 64 + sy), (Pixel{m.r, m.g, m.b, 255}))
                << "tile " << k << " at " << sx << "," << sy;
        }
}

} // namespace
