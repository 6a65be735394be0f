// A Tiled map drawn by the engine, read back from the window, against
// tmxrasterizer's picture of it (Tiled's own renderer): the rich map through
// the tile maps pixel for pixel, and the eight orientations of a tile as
// Tiled defines them; ten of Tiled's examples, of every orientation, and
// fixtures of every feature as DrawMap draws them. TILED_SHOT_DIR=dir keeps
// the pictures for a look.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <set>
#include <tuple>

#include <engine/ecs/ECS.h>
#include <engine/image/Image.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/text/Font.h>
#include <engine/text/SystemFont.h>
#include <engine/tiled/TiledTileMap.h>
#include <engine/tiled/TiledWorld.h>

#include "support/GLContext.h"
#include "tiled/TiledTestData.h"

using namespace Engine;
using EngineTest::Pixel;

namespace {

constexpr uint32_t kClear = 0x262E33;
const Pixel kBackground{38, 46, 51, 255};

// Tiled's picture of the map at path, written to png with tmxrasterizer's
// options; empty when tmxrasterizer fails or takes more than 30 seconds.
Image Rasterize(const std::string& path, const std::string& png, const std::string& options = "") {
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout -k 5 30 tmxrasterizer "
                                "--no-smoothing " +
                                options + " '" + path + "' '" + png + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? Image::Load(png) : Image();
}

// A frame read back, written to TILED_SHOT_DIR/name when that is set.
void Keep(const std::vector<Pixel>& image, const std::string& name) {
    const char* dir = std::getenv("TILED_SHOT_DIR");
    if (!dir)
        return;
    EngineTest::WritePng(std::string(dir) + "/" + name, 1280, 720, [&](int x, int y) {
        const Pixel p = image[size_t(y) * 1280 + size_t(x)];
        return EngineTest::Rgba{p.r, p.g, p.b, 255};
    });
}

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

    Uni<Renderer> ren;
    Ref<Shader> shader;
    Uni<MeshRenderer> meshRenderer;
};

TEST_F(TiledDraw, RichMapDrawsAsTmxrasterizerDrawsIt) {
    if (std::system("command -v tmxrasterizer >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tmxrasterizer (Debian package tiled) is not installed";
    TiledTest::DataCopy copy;
    // The tile maps draw no object layer.
    const Image tiled =
        Rasterize(copy.File("rich.tmx"), copy.File("tiled.png"), "--hide-layer objects");
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

// Maps over one sheet share its texture through a TextureCache while any of
// them holds it; a colour key, or the file saved anew, makes another.
TEST_F(TiledDraw, MapsOfACacheShareTheirSheets) {
    TiledTest::DataCopy copy;
    auto map = [&](const std::string& name, const std::string& tileset) {
        TiledTest::WriteText(copy.File(name),
                             R"(<map version="1.8" orientation="orthogonal" width="2" height="1" )"
                             R"(tilewidth="64" tileheight="64">)" +
                                 tileset +
                                 R"(<layer id="1" name="l" width="2" height="1">)"
                                 R"(<data encoding="csv">1,2</data></layer><objectgroup id="2" )"
                                 R"(name="o"><object id="1"><text fontfamily="monospace">a)"
                                 R"(</text></object><object id="2"><text fontfamily="DejaVu )"
                                 R"(Sans Mono">b</text></object></objectgroup></map>)");
        return Tiled::Load(copy.File(name));
    };
    const std::string marks = R"(<tileset firstgid="1" source="marks.tsx"/>)";
    const std::string keyed =
        R"(<tileset firstgid="1" name="k" tilewidth="64" tileheight="64" spacing="3" margin="2" )"
        R"(tilecount="6" columns="3"><image source="marks.png" trans="ff00ff"/></tileset>)";
    const Tiled::Map a = map("a.tmx", marks), b = map("b.tmx", marks), k = map("k.tmx", keyed);
    Tiled::TextureCache cache;
    std::optional<Tiled::MapTextures> ta = cache.Load(a), tb = cache.Load(b);
    ASSERT_TRUE(ta->sheets[0]);
    EXPECT_EQ(ta->sheets[0], tb->sheets[0]);
    EXPECT_EQ(cache.Size(), 1u);
    // Fonts too, one for each file's face: both families are DejaVu Sans Mono here.
    if (FindSystemFont("DejaVu Sans Mono") == FindSystemFont("monospace")) {
        const auto font = [](const Tiled::MapTextures& t, const char* family) {
            const auto it = t.fonts.find({family, false, false});
            return it == t.fonts.end() ? nullptr : it->second.font;
        };
        EXPECT_TRUE(font(*ta, "monospace"));
        EXPECT_EQ(font(*ta, "monospace"), font(*ta, "DejaVu Sans Mono"));
        EXPECT_EQ(font(*ta, "monospace"), font(*tb, "monospace"));
    }
    const Tiled::MapTextures tk = cache.Load(k);
    EXPECT_NE(tk.sheets[0], ta->sheets[0]);
    EXPECT_EQ(cache.Size(), 2u);

    // The file saved anew: maps loaded after show the new pixels.
    const std::weak_ptr<Texture> before = ta->sheets[0];
    EngineTest::WritePng(copy.File("marks.png"), 200, 134, TiledTest::MarkPixel);
    std::filesystem::last_write_time(copy.File("marks.png"),
                                     std::filesystem::last_write_time(copy.File("marks.png")) +
                                         std::chrono::seconds(2));
    const Tiled::MapTextures saved = cache.Load(b);
    EXPECT_NE(saved.sheets[0], before.lock());
    EXPECT_EQ(saved.sheets[0]->getHeight(), 134.0f);
    // Another picture of the same bytes' count moved in with the old time of
    // change kept, as mv and rsync -a keep it.
    const auto solid = [](uint8_t r) {
        return [r](int, int) { return EngineTest::Rgba{r, 0, 0, 255}; };
    };
    EngineTest::WritePng(copy.File("marks.png"), 200, 134, solid(200));
    const Tiled::MapTextures red = cache.Load(b);
    EngineTest::WritePng(copy.File("other.png"), 200, 134, solid(100));
    ASSERT_EQ(std::filesystem::file_size(copy.File("other.png")),
              std::filesystem::file_size(copy.File("marks.png")));
    std::filesystem::last_write_time(copy.File("other.png"),
                                     std::filesystem::last_write_time(copy.File("marks.png")));
    std::filesystem::rename(copy.File("other.png"), copy.File("marks.png"));
    EXPECT_NE(cache.Load(b).sheets[0], red.sheets[0]) << "stale pixels of the file moved away";

    // Held by the maps alone: dropped with the last of them.
    ta.reset(), tb.reset();
    EXPECT_FALSE(before.lock());
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

// A copy of the TMX map at path beside it, as the engine draws it: without
// the shape and text objects that tmxrasterizer outlines and the engine
// leaves to the game, and with its templates detached by the real Tiled
// (tmxrasterizer shows a tile object made from a template as a small square).
std::string AsDrawn(const std::string& path) {
    testing::internal::CaptureStderr();
    const Tiled::Map map = Tiled::Load(path);
    testing::internal::GetCapturedStderr();
    std::set<std::string> marks;
    for (const Tiled::ObjectGroup& group : map.objectGroups)
        for (const Tiled::Object& object : group.objects)
            if (!(object.gid & Tiled::GID_MASK))
                marks.insert(" id=\"" + std::to_string(object.id) + "\"");
    const std::string text = TiledTest::ReadText(path);
    std::string out;
    size_t at = 0;
    for (size_t start; (start = text.find("<object ", at)) != std::string::npos;) {
        const size_t close = text.find('>', start);
        const std::string tag = text.substr(start, close - start + 1);
        const size_t end = tag.ends_with("/>")
                               ? close + 1
                               : text.find("</object>", close) + sizeof "</object>" - 1;
        const size_t id = tag.find(" id=\"");
        const bool mark =
            id != std::string::npos && marks.count(tag.substr(id, tag.find('"', id + 5) - id + 1));
        out += text.substr(at, start - at) + (mark ? "" : text.substr(start, end - start));
        at = end;
    }
    const std::string stem = path.substr(0, path.size() - 4);
    TiledTest::WriteText(stem + ".marks.tmx", out + text.substr(at));
    if (map.templates.empty())
        return stem + ".marks.tmx";
    EXPECT_TRUE(TiledTest::TiledExport(stem + ".marks.tmx", stem + ".drawn.tmx", "tmx", "map",
                                       "--detach-templates"));
    return stem + ".drawn.tmx";
}

// Whole maps as DrawMap draws them, against Tiled's pictures of them.
class MapDraw : public EngineTest::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!TiledTest::HaveTiled() || std::system("command -v tmxrasterizer >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "tiled and tmxrasterizer (Debian package tiled) are not installed";
        Mesh::InitQuad();
    }
    void TearDown() override {
        if (!IsSkipped())
            Mesh::ReleaseQuad();
        GLTest::TearDown();
    }

    // The map, or only one of its layers, seen with the view centred on centre.
    std::vector<Pixel> Frame(const Tiled::Map& map, const Tiled::MapTextures& textures,
                             glm::ivec2 centre, std::optional<Tiled::LayerRef> layer = {}) {
        Camera::Main().transform.position = {centre.x, centre.y, 0};
        renderer->SetClearColor(kClear);
        renderer->Clear();
        if (layer)
            Tiled::DrawLayer(map, textures, *layer);
        else
            Tiled::DrawMap(map, textures);
        Draw::EndFrame();
        return ReadBack();
    }

    // The map at path drawn by DrawMap, its ink in each of `colors` (the box
    // of the pixels well inked in it) within 4 pixels of the ink of Tiled's
    // picture (the rasterisers differ), loaded without a warning; the frame.
    std::vector<Pixel> ExpectInkedAsTiled(const std::string& path, const std::string& name,
                                          const std::vector<Pixel>& colors) {
        const Image tiled = Rasterize(path, path + ".png");
        EXPECT_FALSE(tiled.Empty()) << tiled.Error();
        const int w = tiled.Width(), h = tiled.Height();
        EXPECT_TRUE(w <= 1280 && h <= 720);
        testing::internal::CaptureStderr();
        const Tiled::Map map = Tiled::Load(path);
        const std::vector<Pixel> drawn = Frame(map, Tiled::LoadTextures(map), {640, 360});
        const std::string warnings = testing::internal::GetCapturedStderr();
        EXPECT_EQ(warnings.find("TILED"), std::string::npos) << warnings;
        // Tiled's picture over the clear colour, as the engine's frame.
        std::vector<Pixel> want(1280 * 720, kBackground);
        for (int y = 0; y < std::min(h, 720); ++y)
            for (int x = 0; x < std::min(w, 1280); ++x) {
                // Image rows run from the bottom of the picture.
                const unsigned char* p =
                    tiled.Pixels() + (size_t(h - 1 - y) * size_t(w) + size_t(x)) * 4;
                want[size_t(y) * 1280 + size_t(x)] = {Over(p[0], p[3], 38), Over(p[1], p[3], 46),
                                                      Over(p[2], p[3], 51), 255};
            }
        Keep(drawn, name + "-engine.png");
        Keep(want, name + "-tiled.png");
        // Each channel of c's far above the background, each other near it.
        auto ink = [](const std::vector<Pixel>& image, Pixel c) {
            glm::ivec4 b(1 << 20, 1 << 20, -1, -1);
            for (int y = 0; y < 720; ++y)
                for (int x = 0; x < 1280; ++x) {
                    const Pixel p = At(image, x, y);
                    auto is = [](int v, int c, int bg) { return c ? v - bg > 100 : v - bg < 25; };
                    if (is(p.r, c.r, 38) && is(p.g, c.g, 46) && is(p.b, c.b, 51))
                        b = {std::min(b.x, x), std::min(b.y, y), std::max(b.z, x),
                             std::max(b.w, y)};
                }
            return b;
        };
        for (Pixel color : colors) {
            const glm::ivec4 engine = ink(drawn, color), theirs = ink(want, color);
            SCOPED_TRACE(testing::PrintToString(color));
            EXPECT_GE(theirs.z, theirs.x);
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(engine[k], theirs[k], 4)
                    << testing::PrintToString(engine) << " against "
                    << testing::PrintToString(theirs);
        }
        return drawn;
    }

    // The pixels drawn by view(centre), in views of the window side by side
    // from `from` (in the picture's pixels, whose top-left corner lies at
    // `origin` in the world), that differ from Tiled's picture put over
    // under(x, y), the colour beneath its pixel (x, y), as the engine draws
    // them: their count, and the first few. Tiled keeps its picture
    // premultiplied in 8 bits and the engine blends in 8 bits; where
    // translucent layers stack each rounds on its own, so a channel may be 3 off.
    template <class View, class Under>
    std::pair<int, std::string> Wrong(const Image& tiled, glm::ivec2 origin, glm::ivec2 from,
                                      glm::ivec2 step, View view, Under under,
                                      const std::string& name) {
        const int w = tiled.Width(), h = tiled.Height();
        int wrong = 0;
        std::string first;
        for (int vy = from.y; vy < h; vy += step.y)
            for (int vx = from.x; vx < w; vx += step.x) {
                const std::vector<Pixel> drawn = view(origin + glm::ivec2(vx + 640, vy + 360));
                Keep(drawn, name + "-" + std::to_string(vx) + "-" + std::to_string(vy) + ".png");
                for (int y = std::max(0, -vy); y < 720 && vy + y < h; ++y)
                    for (int x = std::max(0, -vx); x < 1280 && vx + x < w; ++x) {
                        // Image rows run from the bottom of the picture.
                        const unsigned char* p =
                            tiled.Pixels() +
                            (size_t(h - 1 - vy - y) * size_t(w) + size_t(vx + x)) * 4;
                        const Pixel a = At(drawn, x, y), back = under(vx + x, vy + y);
                        const Pixel want{Over(p[0], p[3], back.r), Over(p[1], p[3], back.g),
                                         Over(p[2], p[3], back.b)};
                        if (std::abs(a.r - want.r) <= 3 && std::abs(a.g - want.g) <= 3 &&
                            std::abs(a.b - want.b) <= 3)
                            continue;
                        if (++wrong <= 5)
                            first += "\n  at " + std::to_string(vx + x) + "," +
                                     std::to_string(vy + y) + ": engine " +
                                     testing::PrintToString(a) + ", Tiled " +
                                     testing::PrintToString(want);
                    }
            }
        return {wrong, first};
    }

    static unsigned char Over(int c, int a, int under) {
        return static_cast<unsigned char>((c * a + under * (255 - a) + 127) / 255);
    }
    // A map's background colour over the clear colour; the clear colour for none.
    static Pixel Back(const Tiled::Map& map) {
        const uint32_t bg = map.backgroundColor.value_or(0);
        const int a = int(bg >> 24);
        return {Over(int(bg >> 16) & 255, a, 38), Over(int(bg >> 8) & 255, a, 46),
                Over(int(bg) & 255, a, 51), 255};
    }

    // The map drawn in views side by side from the world's origin (or in the
    // one view centred on its parallax origin, where parallax moves nothing),
    // against Tiled's picture of it over its background colour.
    std::pair<int, std::string> Wrong(const Tiled::Map& map, const Tiled::MapTextures& textures,
                                      const Image& tiled, bool atParallaxOrigin,
                                      const std::string& name) {
        const Pixel back = Back(map);
        const glm::ivec2 from =
            atParallaxOrigin ? glm::ivec2(map.parallaxOriginX - 640, map.parallaxOriginY - 360)
                             : glm::ivec2(0);
        const glm::ivec2 step = atParallaxOrigin
                                    ? glm::ivec2(tiled.Width() + 1280, tiled.Height() + 720)
                                    : glm::ivec2(1280, 720);
        return Wrong(
            tiled, glm::ivec2(0), from, step,
            [&](glm::ivec2 centre) { return Frame(map, textures, centre); },
            [&](int, int) { return back; }, name);
    }

    // The world at path drawn map by map at their places, each over its own
    // background, as Tiled draws the world; the views frame it as
    // tmxrasterizer does, from the top-left corner of its maps' rectangles;
    // `count` maps placed, over `sheets` tile sets' sheets.
    void ExpectWorldAsTiledDrawsIt(const std::string& path, size_t count, size_t sheets) {
        SCOPED_TRACE(path);
        const Image tiled = Rasterize(path, path + ".png");
        ASSERT_FALSE(tiled.Empty()) << tiled.Error();
        testing::internal::CaptureStderr();
        const Tiled::World world = Tiled::LoadWorld(path);
        std::vector<Tiled::Map> maps;
        std::vector<Tiled::MapTextures> textures;
        // Loaded as a world's maps are, sharing their tile sets' sheets.
        Tiled::TextureCache cache;
        for (const Tiled::WorldMap& placed : world.maps) {
            maps.push_back(Tiled::Load(placed.path));
            textures.push_back(cache.Load(maps.back()));
        }
        const std::string warnings = testing::internal::GetCapturedStderr();
        ASSERT_EQ(maps.size(), count) << warnings;
        EXPECT_EQ(cache.Size(), sheets);
        glm::ivec2 low(1 << 30), high(-(1 << 30));
        for (const Tiled::WorldMap& placed : world.maps) {
            // Its size as Tiled gives it: that of Tiled's picture of it alone.
            const Image alone = Rasterize(placed.path, placed.path + ".png");
            EXPECT_EQ(glm::ivec2(placed.width, placed.height),
                      glm::ivec2(alone.Width(), alone.Height()))
                << placed.fileName;
            low = glm::min(low, glm::ivec2(placed.x, placed.y));
            high = glm::max(high, glm::ivec2(placed.x + placed.width, placed.y + placed.height));
        }
        ASSERT_EQ(high - low, glm::ivec2(tiled.Width(), tiled.Height()));
        // Beneath a pixel, the background of the last map over it that has one.
        auto under = [&](int x, int y) {
            for (size_t i = maps.size(); i-- > 0;)
                if (maps[i].backgroundColor &&
                    world.maps[i].Bounds().Contains(glm::vec2(low + glm::ivec2(x, y))))
                    return Back(maps[i]);
            return kBackground;
        };
        auto view = [&](glm::ivec2 centre) {
            Camera::Main().transform.position = {centre.x, centre.y, 0};
            renderer->SetClearColor(kClear);
            renderer->Clear();
            for (size_t i = 0; i < maps.size(); ++i)
                Tiled::DrawMapAt(maps[i], textures[i],
                                 glm::vec2(world.maps[i].x, world.maps[i].y), 0.0);
            Draw::EndFrame();
            return ReadBack();
        };
        const auto [wrong, first] = Wrong(tiled, low, glm::ivec2(0), glm::ivec2(1280, 720), view,
                                          under, "world");
        EXPECT_EQ(wrong, 0) << first;
    }

    // The map at path drawn as Tiled draws it, but for at most `allowed` pixels.
    void ExpectAsTiledDrawsIt(const std::string& path, bool atParallaxOrigin, int allowed) {
        SCOPED_TRACE(path);
        const std::string drawn = AsDrawn(path);
        const Image tiled = Rasterize(drawn, drawn + ".png");
        ASSERT_FALSE(tiled.Empty()) << tiled.Error();
        testing::internal::CaptureStderr();
        const Tiled::Map map = Tiled::Load(drawn);
        const Tiled::MapTextures textures = Tiled::LoadTextures(map);
        testing::internal::GetCapturedStderr();
        const auto [wrong, first] =
            Wrong(map, textures, tiled, atParallaxOrigin, std::filesystem::path(path).stem());
        EXPECT_LE(wrong, allowed) << first;
    }
};

TEST_F(MapDraw, TiledsExamplesAndAWorldDrawAsTmxrasterizerDrawsThem) {
    if (!std::filesystem::is_directory(TiledTest::TiledExamples::kDir))
        GTEST_SKIP() << TiledTest::TiledExamples::kDir << " is not installed";
    const TiledTest::TiledExamples examples;
    for (const char* map : {"desert.tmx", "sewers.tmx", "perspective_walls.tmx", "rpg/island.tmx",
                            "orthogonal-outside.tmx"})
        ExpectAsTiledDrawsIt(examples.File(map), false, 0);
    // Along the rims of its objects turned by 10 degrees or stretched by
    // sizes of no whole ratio, Qt and GL round the texel they show apart.
    ExpectAsTiledDrawsIt(examples.File("sticker-knight/map/sandbox.tmx"), false, 50);
    // Every other orientation: diamonds, staggered rows of them (an infinite
    // map), hexagons staggered along y and along x.
    for (const char* map : {"isometric_grass_and_water.tmx",
                            "isometric_staggered_grass_and_water.tmx", "hexagonal-mini.tmx"})
        ExpectAsTiledDrawsIt(examples.File(map), false, 0);
    // Tile objects on the isometric map: placed where their isometric point
    // projects to, bottom-centred on it, one flipped and one stretched.
    const std::string iso = TiledTest::ReadText(examples.File("isometric_grass_and_water.tmx"));
    TiledTest::WriteText(
        examples.File("iso-objects.tmx"),
        iso.substr(0, iso.rfind("</map>")) +
            R"(<objectgroup id="9" name="o"><object id="1" gid="5" x="100" y="200" width="64" )"
            R"(height="64"/><object id="2" gid="2147483658" x="320" y="64" width="64" height="64"/>)"
            R"(<object id="3" gid="12" x="400" y="410" width="128" height="128"/></objectgroup></map>)");
    ExpectAsTiledDrawsIt(examples.File("iso-objects.tmx"), false, 0);
    // Eight of its hexagons of 60 pixels are turned by 60 to 300 degrees:
    // along their rims and the edges of their arrows and dots (about 400
    // pixels each) Qt and GL round the texel they show apart; the upright
    // and flipped ones match pixel for pixel.
    ExpectAsTiledDrawsIt(examples.File("test_hexagonal_tile_60x60x30.tmx"), false, 3300);

    // A world of their tile sets: a map listed with a translucent background,
    // an isometric one sized by its own header whose tiles overhang it
    // upwards, and two found by a pattern, the later one over the isometric
    // map's corner; gaps between them.
    const std::string dir = examples.File("world/");
    std::filesystem::create_directory(dir);
    auto map = [&](const std::string& name, const std::string& attributes,
                   const std::string& tileset, int w, int h, const std::string& csv) {
        TiledTest::WriteText(dir + name,
                             "<map version=\"1.8\" renderorder=\"right-down\" " + attributes +
                                 " width=\"" + std::to_string(w) + "\" height=\"" +
                                 std::to_string(h) + "\">" + tileset +
                                 "<layer id=\"1\" name=\"l\" width=\"" + std::to_string(w) +
                                 "\" height=\"" + std::to_string(h) +
                                 "\"><data encoding=\"csv\">" + csv + "</data></layer></map>");
    };
    const std::string desert = R"(<tileset firstgid="1" source="../desert.tsx"/>)";
    const std::string orthogonal = R"(orientation="orthogonal" tilewidth="32" tileheight="32")";
    map("sand.tmx", orthogonal + R"( backgroundcolor="#a0306090")", desert, 6, 3,
        "30,30,2,3,0,30,9,10,11,30,30,0,17,18,19,0,30,46");
    map("grass.tmx",
        R"(orientation="isometric" tilewidth="64" tileheight="32" backgroundcolor="#304020")",
        R"(<tileset firstgid="1" name="iso" tilewidth="64" tileheight="64" tilecount="24" )"
        R"(columns="4"><image source="../isometric_grass_and_water.png" width="256" )"
        R"(height="384"/></tileset>)",
        4, 4, "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0");
    map("part_0_0.tmx", orthogonal, desert, 3, 2, "1,2,3,9,0,11");
    map("part_1_0.tmx", orthogonal, desert, 3, 2, "25,0,27,33,34,35");
    TiledTest::WriteText(dir + "parts.world", R"({"type":"world","maps":[
        {"fileName":"sand.tmx","x":-260,"y":-140,"width":192,"height":96},
        {"fileName":"grass.tmx","x":40,"y":20}],
      "patterns":[{"regexp":"^part_(\\d+)_(\\d+)\\.tmx$","multiplierX":150,"multiplierY":1,
                   "offsetX":20,"offsetY":120}]})");
    // Three maps over one tile set, one over another.
    ExpectWorldAsTiledDrawsIt(dir + "parts.world", 4, 2);
}

// Infinite maps in a world, as Tiled writes them (chunks of 16 cells): one
// listed whose chunks reach left of and above its cell (0, 0), which lies at
// its place in the world, and one found by a pattern whose chunks start away
// from it; an empty one is skipped.
TEST_F(MapDraw, InfiniteMapsInAWorldDrawAsTmxrasterizerDrawsThem) {
    TiledTest::DataCopy copy;
    const std::string path = copy.File("world/chunks.world");
    ExpectWorldAsTiledDrawsIt(path, 3, 1);
    testing::internal::CaptureStderr();
    const Tiled::World world = Tiled::LoadWorld(path);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_NE(warnings.find("hill_2_2.tmx\" skipped: an infinite map without chunks"),
              std::string::npos)
        << warnings;
    // Over the chunks up and left of the cave's cell (0, 0) only.
    const auto found = world.MapsIn({300, 100, 50, 50});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->fileName, "cave.tmx");
}

// Maps the real Tiled wrote: tile sets of tiles larger and smaller than the
// cells, with margins, offsets and a transparent colour, an image
// collection, every flip, an animated tile, overlapping tiles in left-up
// order, a tinted half-transparent layer in a tinted group, a repeated image
// layer with parallax and a tint, a background colour; tile objects
// stretched, flipped, turned, aligned by their tile set, in both drawing
// orders. And the parallax as the view moves.
TEST_F(MapDraw, EveryFeatureDrawsAsTmxrasterizerDrawsIt) {
    TiledTest::DataCopy copy;
    // The half-transparent middle of a tile of the tinted sky, three times in
    // view (16 x 16 pixels each): Tiled's tint lightens pixels by how
    // see-through they are, which the engine's does not.
    ExpectAsTiledDrawsIt(copy.File("layers.tmx"), true, 3 * 16 * 16);
    // Along the rims of the objects turned by 30 and 45 degrees, and across
    // the latter, Qt and GL round the texel they show apart.
    ExpectAsTiledDrawsIt(copy.File("objects.tmx"), false, 800);

    // With the view moved, a layer of parallax 0.5 moves on screen half as
    // far as the view, the repeated picture filling it still.
    testing::internal::CaptureStderr();
    const Tiled::Map map = Tiled::Load(copy.File("layers.tmx"));
    const Tiled::MapTextures textures = Tiled::LoadTextures(map);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(map.layerOrder.at(0).kind, Tiled::LayerKind::Image);
    const glm::ivec2 origin(map.parallaxOriginX, map.parallaxOriginY), moved(200, 100);
    const std::vector<Pixel> still = Frame(map, textures, origin, map.layerOrder[0]);
    const std::vector<Pixel> away = Frame(map, textures, origin + moved, map.layerOrder[0]);
    int wrong = 0;
    for (int y = 0; y + moved.y / 2 < 720; ++y)
        for (int x = 0; x + moved.x / 2 < 1280; ++x)
            wrong += !(At(away, x, y) == At(still, x + moved.x / 2, y + moved.y / 2));
    EXPECT_EQ(wrong, 0);

    // Tiles drawn at the grid's size (Tiled 1.9, which tmxrasterizer 1.8
    // knows nothing of): stretched over their cell, or fitted into it and
    // kept in its middle, their tile offset scaled with them (64 pixels of a
    // tile of 64 are 32 in a cell of 32). A tile object of a fitted tile set
    // is fitted into its box too. Cells of 32 at the view's top-left corner.
    const Tiled::Map grid = Tiled::Parse(
        R"(<map orientation="orthogonal" width="3" height="1" tilewidth="32" tileheight="32">)"
        R"(<tileset firstgid="1" name="a" tilewidth="64" tileheight="64" tilerendersize="grid">)"
        R"(<image source="tiles.png" width="256" height="192"/></tileset>)"
        R"(<tileset firstgid="13" name="b" tilewidth="64" tileheight="32" tilerendersize="grid" )"
        R"(fillmode="preserve-aspect-fit"><image source="tiles.png" width="256" height="192"/>)"
        R"(</tileset><tileset firstgid="37" name="c" tilewidth="64" tileheight="64" )"
        R"(tilerendersize="grid"><tileoffset x="64" y="0"/>)"
        R"(<image source="tiles.png" width="256" height="192"/></tileset>)"
        R"(<layer name="l" width="3" height="1"><data encoding="csv">5,21,41</data></layer>)"
        R"(<objectgroup name="o"><object id="1" gid="21" x="128" y="128" width="64" height="64"/>)"
        R"(</objectgroup></map>)",
        copy.File("grid.tmx"));
    const std::vector<Pixel> fitted = Frame(grid, Tiled::LoadTextures(grid), {640, 360});
    // Brick, opaque all over: tile 4 of the one set, 8 (its top half) of the other.
    for (auto [x, y, covered] : {std::tuple{0, 0, true},
                                 {31, 31, true},
                                 {32, 0, false},
                                 {40, 7, false},
                                 {40, 8, true},
                                 {63, 23, true},
                                 {40, 24, false},
                                 {64, 10, false},
                                 {100, 10, true},
                                 {127, 31, true},
                                 {130, 10, false},
                                 {140, 70, false},
                                 {140, 80, true},
                                 {191, 111, true},
                                 {140, 112, false}})
        EXPECT_EQ(!(At(fitted, x, y) == kBackground), covered) << x << "," << y;

    // One tile drawn anywhere, as its tile object is drawn: fitted where its
    // set asks; stretched and transposed, it fills its box all the same.
    const Tiled::MapTextures gridTextures = Tiled::LoadTextures(grid);
    auto tiles = [&](std::vector<std::pair<uint32_t, Rectangle>> draws) {
        renderer->Clear();
        Draw::BeginWorld();
        for (const auto& [gid, dest] : draws)
            Tiled::DrawTile(grid, gridTextures, gid, dest);
        Draw::EndFrame();
        return ReadBack();
    };
    EXPECT_EQ(tiles({{21, {128, 64, 64, 64}}}),
              Frame(grid, gridTextures, {640, 360}, grid.layerOrder.back()));
    const uint32_t turned = 5 | Tiled::FLIPPED_DIAGONALLY | Tiled::FLIPPED_HORIZONTALLY;
    const std::vector<Pixel> placed = tiles({{turned, {300, 200, 50, 20}}, {0, {0, 0, 9, 9}}});
    for (auto [x, y, covered] : {std::tuple{300, 200, true},
                                 {349, 219, true},
                                 {299, 210, false},
                                 {350, 210, false},
                                 {320, 199, false},
                                 {320, 220, false},
                                 {4, 4, false}})
        EXPECT_EQ(!(At(placed, x, y) == kBackground), covered) << x << "," << y;

    // Offsets and parallax factors add and multiply through groups past any
    // number: a repeated picture moved that far is nowhere to be seen.
    const Tiled::Map far = Tiled::Parse(
        R"(<map orientation="orthogonal" width="1" height="1" tilewidth="32" tileheight="32">)"
        R"(<group name="g" offsetx="1e308"><imagelayer name="a" offsetx="1e308" repeatx="1" )"
        R"(repeaty="1"><image source="tiles.png"/></imagelayer></group><group name="h" )"
        R"(parallaxy="1e200"><imagelayer name="b" parallaxy="1e200" repeatx="1" repeaty="1">)"
        R"(<image source="tiles.png"/></imagelayer></group></map>)",
        copy.File("far.tmx"));
    const std::vector<Pixel> nowhere = Frame(far, Tiled::LoadTextures(far), {640, 360});
    EXPECT_EQ(std::count(nowhere.begin(), nowhere.end(), kBackground), 1280 * 720);

    // A picture of 2 by 2 pixels repeated both ways fills the view in a few
    // large copies, not one a picture (230,400 draws made a frame take 100 ms).
    EngineTest::WritePng(copy.File("dots.png"), 2, 2, [](int x, int y) {
        return (x + y) % 2 ? EngineTest::kWhite : TiledTest::kMagenta;
    });
    const Tiled::Map dots = Tiled::Parse(
        R"(<map orientation="orthogonal" width="1" height="1" tilewidth="32" tileheight="32">)"
        R"(<imagelayer name="a" offsetx="1" repeatx="1" repeaty="1"><image source="dots.png"/>)"
        R"(</imagelayer></map>)",
        copy.File("dots.tmx"));
    const std::vector<Pixel> dotted = Frame(dots, Tiled::LoadTextures(dots), {640, 360});
    EXPECT_LE(Draw::GetStats().quads, 40u);
    const Pixel white{255, 255, 255}, magenta{255, 0, 255};
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {640, 359}, {1279, 719}})
        EXPECT_EQ(At(dotted, x, y), (x + y) % 2 ? magenta : white) << x << "," << y;
}

// Text objects in the engine's own font: in their colour (times the layer's
// tint), inside their box as aligned, wrapped at its width where they ask.
TEST_F(MapDraw, TextObjectsStandInTheirBoxesInTheirColours) {
    TiledTest::DataCopy copy;
    const Tiled::Map map = Tiled::Parse(
        R"(<map orientation="orthogonal" width="10" height="10" tilewidth="8" tileheight="8">)"
        R"(<objectgroup name="o" tintcolor="#ffff00">)"
        R"(<object id="1" x="100" y="100" width="300" height="40"><text color="#ff0000">Left top</text></object>)"
        R"(<object id="2" x="500" y="100" width="300" height="100"><text color="#00ff00" )"
        R"(halign="right" valign="bottom">Right bottom</text></object>)"
        R"(<object id="3" x="100" y="300" width="90" height="200"><text color="#ffffff" wrap="1" )"
        R"(pixelsize="20">one two three four</text></object></objectgroup></map>)",
        copy.File("text.tmx"));
    const std::vector<Pixel> drawn = Frame(map, Tiled::LoadTextures(map), {640, 360});
    // Where pixels of a colour are: their box on screen.
    auto bounds = [&](auto is) {
        glm::ivec4 b(1 << 20, 1 << 20, -1, -1);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x)
                if (is(At(drawn, x, y)))
                    b = {std::min(b.x, x), std::min(b.y, y), std::max(b.z, x), std::max(b.w, y)};
        return b;
    };
    const glm::ivec4 red = bounds([](Pixel p) { return p.r > 200 && p.g < 60 && p.b < 60; });
    const glm::ivec4 green = bounds([](Pixel p) { return p.g > 200 && p.r < 60 && p.b < 60; });
    // White tinted yellow.
    const glm::ivec4 yellow = bounds([](Pixel p) { return p.r > 200 && p.g > 200 && p.b < 60; });
    EXPECT_TRUE(red.x >= 100 && red.x < 104 && red.y >= 100 && red.y < 106 && red.z < 400 &&
                red.w < 140)
        << testing::PrintToString(red);
    EXPECT_TRUE(green.x > 600 && green.z <= 800 && green.z > 795 && green.w < 200 &&
                green.w > 190 && green.y > 160)
        << testing::PrintToString(green);
    // Four lines of about 23 pixels: no two words fit in 90.
    EXPECT_TRUE(yellow.x >= 100 && yellow.z < 190 && yellow.y >= 300 && yellow.w > 300 + 3 * 20 &&
                yellow.w < 300 + 4 * 25)
        << testing::PrintToString(yellow);
}

} // namespace

// Turned, bold, italic, underlined, struck out and justified text objects:
// each object's ink, in a colour of its own, within a few pixels of the ink
// of Tiled's picture (the rasterisers differ; Tiled's bold is a face of its
// own), and the turned object's ink inside its turned box.
TEST_F(MapDraw, StyledTextObjectsInkWhereTiledInksThem) {
    TiledTest::DataCopy copy;
    const std::string path = copy.File("styled.tmx");
    TiledTest::WriteText(
        path,
        R"(<map orientation="orthogonal" width="40" height="30" tilewidth="16" tileheight="16">)"
        R"(<objectgroup name="o">)"
        R"(<object id="1" x="40" y="20" width="240" height="40"><text pixelsize="24" )"
        R"(color="#ff0000" bold="1">Bold sign</text></object>)"
        R"(<object id="2" x="40" y="70" width="240" height="40"><text pixelsize="24" )"
        R"(color="#00ff00" italic="1">Italic sign</text></object>)"
        R"(<object id="3" x="40" y="120" width="240" height="40"><text pixelsize="24" )"
        R"(color="#0000ff" underline="1">Underlined</text></object>)"
        R"(<object id="4" x="40" y="170" width="240" height="40"><text pixelsize="24" )"
        R"(color="#ffff00" strikeout="1">Struck out</text></object>)"
        R"(<object id="5" x="400" y="40" width="200" height="40" rotation="30"><text )"
        R"(pixelsize="24" color="#ff00ff">Turned sign</text></object>)"
        R"(<object id="6" x="300" y="260" width="220" height="200"><text pixelsize="20" )"
        R"(color="#00ffff" wrap="1" halign="justify">The quick brown fox jumps over the )"
        R"(lazy dog and runs.&#10;Short line&#10;then a long line that wraps again</text></object>)"
        R"(<object id="7" x="40" y="300" width="200" height="40" rotation="90"><text )"
        R"(pixelsize="24" color="#ffffff" underline="1" italic="1">Turned 90</text></object>)"
        R"(</objectgroup></map>)");
    // The engine's plain text runs a pixel wider in ten letters than Tiled's.
    const std::vector<Pixel> drawn = ExpectInkedAsTiled(
        path, "styled",
        {Pixel{255, 0, 0}, Pixel{0, 255, 0}, Pixel{0, 0, 255}, Pixel{255, 255, 0},
         Pixel{255, 0, 255}, Pixel{0, 255, 255}, Pixel{255, 255, 255}});
    // The object turned by 30 degrees inks only inside its box turned about (400, 40).
    const float c = std::cos(glm::radians(30.0f)), s = std::sin(glm::radians(30.0f));
    int outside = 0, inside = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x)
            if (const Pixel p = At(drawn, x, y); p.r > 100 && p.b > 100 && p.g < 60) {
                const glm::vec2 d(float(x) + 0.5f - 400.0f, float(y) + 0.5f - 40.0f);
                const glm::vec2 local(d.x * c + d.y * s, -d.x * s + d.y * c);
                ++(local.x > -1 && local.x < 201 && local.y > -1 && local.y < 41 ? inside
                                                                                 : outside);
            }
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
}

// Lines that wrapping ended reach the box's right edge as Tiled draws them:
// justified ones with a single word spread between its letters, the spaces
// where a line breaks hanging past it (justified or right-aligned).
TEST_F(MapDraw, WrappedLinesEndAtTheBoxEdge) {
    TiledTest::DataCopy copy;
    const Tiled::Map map = Tiled::Parse(
        R"(<map orientation="orthogonal" width="10" height="10" tilewidth="8" tileheight="8">)"
        R"(<objectgroup name="o">)"
        R"(<object id="1" x="60" y="100" width="150" height="120"><text pixelsize="20" )"
        R"(color="#ff0000" halign="justify" wrap="1">Single Extraordinarily word a  b   c    )"
        R"(d e f</text></object>)"
        R"(<object id="2" x="400" y="100" width="140" height="80"><text pixelsize="20" )"
        R"(color="#00ff00" halign="right" wrap="1">Right aligned    spaces       many here)"
        R"(</text></object></objectgroup></map>)",
        copy.File("wrapped.tmx"));
    const std::vector<Pixel> drawn = Frame(map, Tiled::LoadTextures(map), {640, 360});
    const Font& font = Font::Default();
    const float line = float(font.lineHeight) * 20.0f / float(font.pixelSize);
    // The right end of the ink of line k of the box from x0 to x1 at y.
    auto end = [&](int x0, int x1, int y, int k) {
        int right = -1;
        for (int py = y + int(line * float(k)) + 2; py < y + int(line * float(k + 1)) - 2; ++py)
            for (int px = x0; px < x1 + 20; ++px)
                if (At(drawn, px, py) != kBackground)
                    right = std::max(right, px);
        return right;
    };
    for (auto [x0, x1, k] : {std::tuple{60, 210, 0}, {60, 210, 2}, {400, 540, 0}, {400, 540, 1}}) {
        const int right = end(x0, x1, 100, k);
        EXPECT_TRUE(right >= x1 - 3 && right < x1) << x0 << " line " << k << " ends at " << right;
    }
}

// Text objects in the desktop's fonts of the families they name, as Tiled
// finds them: DejaVu Serif's own bold and italic faces (or, without its
// italic installed, its plain face slanted, as Tiled slants it), DejaVu Sans
// Mono, and "monospace", one of fontconfig's generic names.
TEST_F(MapDraw, TextObjectsInkInTheirFamiliesWhereTiledInksThem) {
    if (!FindSystemFont("DejaVu Serif") || !FindSystemFont("DejaVu Sans Mono"))
        GTEST_SKIP() << "DejaVu Serif and Sans Mono (fonts-dejavu-core) are not installed";
    TiledTest::DataCopy copy;
    const std::vector<Pixel> drawn =
        ExpectInkedAsTiled(copy.File("fonts.tmx"), "fonts",
                           {Pixel{255, 0, 0}, Pixel{0, 255, 0}, Pixel{0, 0, 255},
                            Pixel{255, 255, 0}, Pixel{255, 0, 255}, Pixel{0, 255, 255}});
    // Not the engine's own font: the mono sign's i's are as wide as its m's.
    const float sans = Draw::MeasureText(Font::Default(), "Mono sign: iiiii", 28);
    int right = -1;
    for (int y = 200; y < 240; ++y)
        for (int x = 0; x < 640; ++x)
            if (const Pixel p = At(drawn, x, y); p.r > 200 && p.g > 200 && p.b < 60)
                right = std::max(right, x);
    EXPECT_GT(float(right - 40), sans + 20.0f);
}
