// Immediate drawing (Draw::...) read back from a real window: shapes, sprites
// and text on their pixels, and batches against the renderer systems.

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include <engine/core/Window.h>
#include <engine/ecs/ECS.h>
#include <engine/image/Image.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Overlap.h>
#include <engine/render/RenderTarget.h>
#include <engine/render/Shader.h>
#include <engine/render/TileMap.h>
#include <engine/text/Font.h>

#include "support/GLContext.h"
#include "support/RenderImages.h"

using namespace Engine;
using EngineTest::Pixel;

namespace {

const Pixel BG{38, 46, 51};

Pixel Px(Color c) {
    return {c.r, c.g, c.b};
}

struct Probe {
    int x, y;
    Pixel expected;
};

class ImmediateDrawTest : public EngineTest::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Mesh::InitQuad();
        ECS::Get().Reset();
        // A 2 x 2 picture: red, green on top; blue, white below.
        const EngineTest::Rgba texels[2][2] = {{EngineTest::kRed, EngineTest::kGreen},
                                               {EngineTest::kBlue, EngineTest::kWhite}};
        const std::string path = dir.File("quarters.png");
        ASSERT_TRUE(EngineTest::WritePng(path, 2, 2, [&](int x, int y) { return texels[y][x]; }));
        quarters = Texture2D::Create(path);
    }
    void TearDown() override {
        // GL objects go while the context is still there; Draw's go with the quad.
        ECS::Get().Reset();
        quarters.reset();
        Mesh::ReleaseQuad();
        GLTest::TearDown();
    }

    // One frame: clear, draw, end the frame; read back.
    std::vector<Pixel> Frame(const std::function<void()>& draw) {
        renderer->SetClearColor(0x262E33);
        renderer->Clear();
        draw();
        Draw::EndFrame();
        return ReadBack();
    }

    void Check(const std::vector<Pixel>& img, const std::vector<Probe>& probes) {
        for (const Probe& p : probes)
            EXPECT_EQ(At(img, p.x, p.y), p.expected) << "at " << p.x << "," << p.y;
    }

    EngineTest::TempDir dir;
    Ref<Texture> quarters;
};

// The box of pixels that differ from the background, as x0, y0, x1, y1.
std::array<int, 4> Ink(const std::vector<Pixel>& img, int x0, int y0, int x1, int y1) {
    std::array<int, 4> box{x1, y1, x0, y0};
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (!(img[size_t(y) * 1280 + size_t(x)] == BG))
                box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x),
                       std::max(box[3], y)};
    return box;
}

} // namespace

TEST_F(ImmediateDrawTest, ShapesSpritesAndTextLandOnTheirPixels) {
    const Color halfRed{255, 0, 0, 128};
    const std::string yellow = dir.File("yellow.png");
    ASSERT_TRUE(EngineTest::WritePng(yellow, 1, 1, [](int, int) { return EngineTest::kYellow; }));
    std::vector<Pixel> img = Frame([&] {
        Draw::Rect({10, 10, 20, 10}, RED);
        Draw::RectLines({40, 10, 20, 20}, LIME, 2);
        Draw::Line({70, 15}, {90, 15}, BLUE);
        Draw::Line({100, 10}, {100, 30}, YELLOW);
        Draw::Circle({150, 50}, 10, WHITE);
        Draw::Sprite(quarters, {200, 10, 20, 20});
        Draw::Sprite(quarters, {230, 10, 20, 20}, WHITE, Draw::Flip::Horizontal);
        Draw::Sprite(quarters, {260, 10, 20, 20}, WHITE, Draw::Flip::Vertical);
        Draw::Sprite(quarters, {290, 10, 20, 20}, RED);
        Draw::Sprite(quarters, {320, 10, 20, 20}, halfRed);
        // A quarter turn clockwise about its centre, which sits at (360, 20).
        Draw::Sprite(quarters, {0, 0, 2, 2}, {360, 20, 20, 20}, {10, 10}, 90);
        // The top-right texel by source rectangle, and the bottom-right cell as
        // a region at its own size.
        Draw::Sprite(quarters, {1, 0, 1, 1}, {380, 10, 10, 10}, {0, 0}, 0);
        Draw::Sprite(CutSheetRegions(quarters, 1, 1)[3], 395, 10);
        // A texture whose only owner is the call: still drawn with its picture
        // after the next sprite's texture takes its place in the batch.
        Draw::Sprite(Texture2D::Create(yellow), {410, 10, 4, 4});
        Draw::Sprite(quarters, {420, 10, 4, 4});
        // Triangles of either winding; a polygon with a notch; a bow tie, whose
        // edges cross; a polygon past the cap, refused.
        Draw::Triangle({500, 10}, {540, 10}, {500, 50}, RED);
        Draw::Triangle({560, 10}, {560, 50}, {600, 10}, LIME);
        const glm::vec2 arch[] = {{620, 10}, {680, 10}, {680, 50}, {660, 50},
                                  {660, 30}, {640, 30}, {640, 50}, {620, 50}};
        Draw::Polygon(arch, BLUE);
        const glm::vec2 bowTie[] = {{700, 10}, {740, 50}, {740, 10}, {700, 50}};
        Draw::Polygon(bowTie, WHITE);
        std::vector<glm::vec2> many(Draw::MAX_POLYGON_POINTS + 1);
        for (size_t i = 0; i < many.size(); ++i)
            many[i] = glm::vec2(720, 100) + 20.0f * glm::vec2(std::cos(0.1f * float(i)),
                                                              std::sin(0.1f * float(i)));
        Draw::Polygon(many, WHITE);
        Draw::RectGradient({760, 10, 40, 40}, RED, LIME, BLUE, WHITE);
        Draw::RectRounded({820, 10, 40, 40}, 10, ORANGE);
        Draw::RectRoundedLines({820, 60, 40, 40}, 10, ORANGE, 2);
        Draw::TriangleLines({880, 10}, {940, 10}, {880, 70}, SKYBLUE, 3);
        // A polyline ends before its last point, as Line does; closed, it does not.
        const glm::vec2 corner[] = {{500, 70}, {540, 70}, {540, 100}};
        Draw::PolygonLines(corner, YELLOW, 1, false);
        const glm::vec2 square[] = {{560, 70}, {600, 70}, {600, 100}, {560, 100}};
        Draw::PolygonLines(square, PINK);
    });
    const Pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    // clang-format off
    Check(img, {
        // filled rectangle: 20 x 10 from its corner
        {10, 10, red}, {29, 19, red}, {9, 10, BG}, {30, 10, BG}, {10, 20, BG},
        // outline, 2 pixels inside the edges
        {40, 10, green}, {41, 11, green}, {42, 12, BG}, {59, 29, green},
        {58, 28, green}, {57, 27, BG}, {60, 29, BG},
        // lines from the first pixel up to the last one
        {70, 15, blue}, {89, 15, blue}, {90, 15, BG}, {70, 14, BG}, {70, 16, BG},
        {100, 10, Px(YELLOW)}, {100, 29, Px(YELLOW)}, {100, 30, BG}, {99, 20, BG},
        {101, 20, BG},
        // disc: pixel centres within 10 of (150, 50)
        {150, 50, white}, {140, 50, white}, {159, 50, white}, {150, 40, white},
        {150, 59, white}, {156, 56, white}, {139, 50, BG}, {160, 50, BG},
        {150, 39, BG}, {150, 60, BG}, {157, 57, BG},
        // sprite upright, mirrored across, mirrored down
        {200, 10, red}, {219, 10, green}, {200, 29, blue}, {219, 29, white},
        {220, 10, BG}, {230, 10, green}, {249, 10, red}, {260, 10, blue},
        {260, 29, red},
        // tint multiplies each texel
        {290, 10, red}, {309, 10, {0, 0, 0}}, {309, 29, red},
        // turned: the red quarter is now top right
        {365, 15, red}, {355, 15, blue}, {355, 25, white}, {365, 25, green},
        {349, 10, BG},
        // source rectangle and region
        {380, 10, green}, {389, 19, green}, {395, 10, white}, {396, 10, BG},
        {410, 10, Px(YELLOW)}, {413, 13, Px(YELLOW)}, {420, 10, red},
        // triangles: pixel centres up to the slanted edge, either winding
        {500, 10, red}, {530, 15, red}, {535, 15, BG}, {499, 20, BG}, {500, 50, BG},
        {560, 10, green}, {570, 15, green}, {595, 15, BG}, {559, 20, BG},
        // the arch's legs and top filled, its notch left empty
        {630, 40, blue}, {670, 40, blue}, {650, 20, blue}, {650, 40, BG}, {640, 30, BG},
        {681, 20, BG}, {720, 100, BG},
        // rounded corners cut off, the bands whole
        {820, 10, BG}, {821, 11, BG}, {823, 13, Px(ORANGE)}, {840, 10, Px(ORANGE)},
        {820, 30, Px(ORANGE)}, {859, 49, BG},
        // and their outline, round inside its edges too
        {820, 60, BG}, {821, 61, BG}, {823, 63, Px(ORANGE)}, {825, 65, BG},
        {840, 60, Px(ORANGE)}, {840, 61, Px(ORANGE)}, {840, 62, BG}, {820, 80, Px(ORANGE)},
        {821, 80, Px(ORANGE)}, {822, 80, BG}, {840, 99, Px(ORANGE)}, {840, 80, BG},
        // a triangle's outline inside its edges
        {890, 12, Px(SKYBLUE)}, {890, 13, BG}, {882, 30, Px(SKYBLUE)}, {883, 30, BG},
        {895, 25, BG}, {879, 30, BG},
        // polylines through their pixels, the corner once
        {500, 70, Px(YELLOW)}, {540, 70, Px(YELLOW)}, {540, 99, Px(YELLOW)}, {540, 100, BG},
        {541, 70, BG}, {499, 70, BG}, {520, 71, BG},
        {560, 70, Px(PINK)}, {600, 70, Px(PINK)}, {600, 100, Px(PINK)}, {560, 100, Px(PINK)},
        {601, 85, BG}, {580, 85, BG},
    });
    // clang-format on
    // The bow tie draws within its box; the gradient's corners are their own
    // colours (half a pixel in), its centre their mean.
    const auto tie = Ink(img, 695, 5, 745, 55);
    EXPECT_TRUE(tie[0] >= 700 && tie[1] >= 10 && tie[2] <= 739 && tie[3] <= 49) << tie[0];
    const std::pair<Pixel, Pixel> shades[] = {{At(img, 760, 10), red},
                                              {At(img, 799, 10), green},
                                              {At(img, 799, 49), blue},
                                              {At(img, 760, 49), white},
                                              {At(img, 780, 30), {128, 128, 128}}};
    for (const auto& [got, want] : shades) {
        EXPECT_NEAR(got.r, want.r, 16);
        EXPECT_NEAR(got.g, want.g, 16);
        EXPECT_NEAR(got.b, want.b, 16);
    }
    // The half-opaque tint, allowing for the rounding of the blend.
    const Pixel half = At(img, 335, 25);
    EXPECT_NEAR(half.r, 147, 1);
    EXPECT_NEAR(half.g, 23, 1);
    EXPECT_NEAR(half.b, 25, 1);

    // Text in the engine's own font: the ink of "H" is its glyph's box, hung
    // from the line's top by the ascender, and wherever the alignment puts it.
    const Font& font = Font::Default();
    ASSERT_TRUE(font.Loaded());
    ASSERT_GT(font.ascender, 40);
    const Glyph& h = *font.glyphs['H'];
    const int w = int(h.tex->getWidth()), hh = int(h.tex->getHeight());
    const int top = font.ascender - h.top;
    img = Frame([&] {
        Draw::Text("H", {100, 100}, 64, MAGENTA);
        Draw::Text("H", {400, 100}, 64, MAGENTA, Draw::Align::Right);
        Draw::Text("H", {600, 100}, 64, MAGENTA, Draw::Align::Center);
        Draw::Text("H\nH", {800, 100}, 32, MAGENTA);
    });
    struct Expect {
        int x0, y0, x1, y1;
    };
    const int lineStep = font.lineHeight / 2;
    for (Expect e : {Expect{100 + h.left, 100 + top, 100 + h.left + w - 1, 100 + top + hh - 1},
                     Expect{400 - w, 100 + top, 399, 100 + top + hh - 1},
                     Expect{600 - (h.left + w) / 2 + h.left, 100 + top, 0, 0},
                     Expect{800 + h.left / 2, 100 + top / 2, 800 + (h.left + w) / 2,
                            100 + top / 2 + lineStep + hh / 2}}) {
        if (e.x1 == 0) {
            e.x1 = e.x0 + w - 1;
            e.y1 = e.y0 + hh - 1;
        }
        SCOPED_TRACE("text expected at " + std::to_string(e.x0) + "," + std::to_string(e.y0));
        const auto ink = Ink(img, e.x0 - 30, e.y0 - 30, e.x1 + 30, e.y1 + 30);
        EXPECT_NEAR(ink[0], e.x0, 1);
        EXPECT_NEAR(ink[1], e.y0, 1);
        EXPECT_NEAR(ink[2], e.x1, 1);
        EXPECT_NEAR(ink[3], e.y1, 1);
    }
    // A stem of the unscaled H is fully covered: the colour itself.
    EXPECT_EQ(At(img, 100 + h.left + 2, 100 + top + hh / 2), Px(MAGENTA));

    // Scaled text takes nothing from the glyphs beside it in the atlas: the
    // right edge of "A" halfway up is empty, though "B", whose stem is its
    // first column, lies next to it there.
    const Glyph& a = *font.glyphs['A'];
    for (float x : {100.0f, 100.3f, 100.5f, 100.8f}) {
        img = Frame([&] { Draw::Text("A", {x, 100}, 40, WHITE); });
        const float s = 40.0f / 64.0f;
        const int edge = int(std::floor(x + (float(a.left) + a.tex->getWidth()) * s - 0.5f));
        const int mid = 100 + int(float(font.ascender - a.top) * s + a.tex->getHeight() * s / 2);
        EXPECT_EQ(At(img, edge, mid), BG) << "A drawn at " << x;
    }

    // Small text keeps its strokes at any place: the top bar of "F" at 12
    // pixels is a row of bright pixels, not lost between the texels sampled.
    for (float y : {100.0f, 100.25f, 100.5f, 100.75f}) {
        img = Frame([&] { Draw::Text("F", {100, y}, 12, WHITE); });
        const auto ink = Ink(img, 90, 90, 120, 120);
        int widest = 0;
        for (int row = ink[1]; row <= ink[1] + 2; ++row) {
            int bright = 0;
            for (int col = ink[0]; col <= ink[2]; ++col)
                bright += At(img, col, row).r > 0xA0;
            widest = std::max(widest, bright);
        }
        EXPECT_GE(widest, 4) << "F drawn at y " << y;
    }
    // and each of its letters starts on a whole pixel: four "l" from any x
    // are four stems alike, a bright column each, not smeared over two.
    for (float x : {100.0f, 100.3f, 100.5f}) {
        img = Frame([&] { Draw::Text("llll", {x, 100}, 12, WHITE); });
        const auto ink = Ink(img, 90, 90, 130, 120);
        int stems = 0;
        for (int col = ink[0]; col <= ink[2]; ++col)
            stems += At(img, col, (ink[1] + ink[3]) / 2).r > 0xC0;
        EXPECT_EQ(stems, 4) << "llll drawn at x " << x;
    }

    // Wrapped text typed out a character at a time: each one shown where the
    // whole text puts it, centred lines too, counted past the breaks and
    // across multibyte characters; all of them shown is the whole text.
    const std::string typed = "Caf\xC3\xA9 \xCE\xA3\xCE\xB1 and words to wrap\nnext";
    const auto wrapped = [&](size_t shown) {
        return Frame([&] {
            Draw::TextWrapped(typed, {100, 100}, 20, 90, WHITE, Draw::Align::Center, shown);
        });
    };
    const std::vector<Pixel> whole = wrapped(SIZE_MAX);
    EXPECT_EQ(wrapped(Font::Codes(typed).size()), whole);
    for (size_t shown : {size_t(4), size_t(9), size_t(16), size_t(29)}) {
        img = wrapped(shown);
        size_t drawn = 0, wrong = 0;
        for (size_t i = 0; i < img.size(); ++i) {
            drawn += !(img[i] == BG);
            wrong += !(img[i] == BG) && !(img[i] == whole[i]);
        }
        EXPECT_GT(drawn, 0u) << shown;
        EXPECT_EQ(wrong, 0u) << shown;
    }
    // The last line only once the break before it is counted.
    const int last =
        100 + int(float(Draw::WrapText(typed, 20, 90).size() - 1) * Draw::LineHeight(20)) + 2;
    const auto below = [&](const std::vector<Pixel>& frame) {
        const auto ink = Ink(frame, 40, last, 250, last + 40);
        return ink[2] >= ink[0];
    };
    ASSERT_TRUE(below(whole));
    EXPECT_FALSE(below(wrapped(Font::Codes(typed).size() - 4)));

    // Text is UTF-8: "é" is one glyph, as its Latin-1 byte alone is; past the
    // first 256 a character is the font's own glyph (the box where it has
    // none); a broken sequence is its bytes.
    const std::pair<const char*, std::u32string> texts[] = {
        {"Caf\xC3\xA9", U"Caf\u00E9"}, {"\xE2\x82\xAC!", U"\u20AC!"},
        {"\xF0\x9F\x99\x82.", U"\U0001F642."}, {"\xC3(", U"\u00C3("},
        {"\xE2\x82", U"\u00E2\u0082"}, {"\xC0\xAF", U"\u00C0\u00AF"}};
    for (const auto& [text, same] : texts)
        EXPECT_EQ(Draw::MeasureText(text, 64), font.TextWidth(same)) << text;
    EXPECT_NE(font.GlyphOf(0x20AC).advance, font.glyphs['?']->advance);

    // Screen pixels follow the viewport: a 640 x 360 one at the bottom left.
    glViewport(0, 0, 640, 360);
    img = Frame([&] {
        Draw::Rect({0, 0, 4, 4}, RED);
        Draw::Rect({636, 356, 4, 4}, LIME);
    });
    glViewport(0, 0, 1280, 720);
    Check(img, {{0, 360, red},
                {3, 363, red},
                {0, 359, BG},
                {639, 719, green},
                {636, 716, green},
                {635, 715, BG}});
}

// A framed 9 x 9 picture, its nine parts in nine colours (borders 2, 3, 3, 2),
// drawn half see-through: a pixel lit twice shows, as does one left out or
// one of the wrong part.
TEST_F(ImmediateDrawTest, NineSlicesKeepTheirCornersAndMeetEdgeToEdge) {
    using EngineTest::Rgba;
    const Rgba parts[3][3] = {{{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}},
                              {{255, 255, 0, 255}, {255, 0, 255, 255}, {0, 255, 255, 255}},
                              {{255, 255, 255, 255}, {255, 128, 0, 255}, {128, 0, 255, 255}}};
    const int cuts[4] = {0, 2, 6, 9}, rowCuts[4] = {0, 3, 7, 9};
    auto band = [](const int(&c)[4], int i) { return i < c[1] ? 0 : i < c[2] ? 1 : 2; };
    // Sampled nearest both ways: a texture file's would blend texels where
    // GL takes a part stretched one way only for one made smaller.
    const Ref<RenderTarget> frame = RenderTarget::Create(9, 9);
    Frame([&] {
        ASSERT_TRUE(Draw::BeginTarget(frame));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                const Rgba c = parts[band(rowCuts, y)][band(cuts, x)];
                Draw::Rect({float(x), float(y), 1, 1}, {c.r, c.g, c.b, 255});
            }
        Draw::EndTarget();
    });
    const Rectangle source{0, 0, 9, 9};
    const Draw::Borders borders{2, 3, 3, 2};
    const Color half{255, 255, 255, 128};
    auto once = [](Rgba c) {
        auto mix = [](int c, int d) { return uint8_t((c * 128 + d * 127 + 127) / 255); };
        return Pixel{mix(c.r, BG.r), mix(c.g, BG.g), mix(c.b, BG.b)};
    };
    auto near = [](Pixel a, Pixel b) {
        return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
    };

    // dest, and the pixel columns and rows where its bands begin and end
    // (x3, y3 the first past it); an empty dest has none.
    struct Case {
        const char* what;
        Rectangle dest;
        std::array<int, 4> xs, ys;
    };
    const Case cases[] = {
        {"larger", {20, 20, 30, 25}, {20, 22, 47, 50}, {20, 23, 43, 45}},
        {"source size", {70, 20, 9, 9}, {70, 72, 76, 79}, {20, 23, 27, 29}},
        {"narrower than its borders", {120, 20, 4, 4}, {120, 122, 122, 124}, {20, 22, 22, 24}},
        {"fractional", {170.25f, 20.75f, 30.5f, 25.5f}, {170, 172, 198, 201}, {21, 24, 44, 46}},
        {"no width", {230, 20, 0, 10}, {}, {}},
        {"negative height", {280, 20, 10, -5}, {}, {}},
        {"not a number", {330, 20, NAN, 10}, {}, {}},
    };
    const Rectangle onTies{400.5f, 20.5f, 30, 25}, bigBorders{460, 20, 30, 24};
    const std::vector<Pixel> img = Frame([&] {
        for (const Case& c : cases)
            Draw::NineSlice(frame, source, borders, c.dest, half);
        Draw::Sprite(frame, source, {70, 60, 9, 9}, {0, 0}, 0, half);
        // Every edge on pixel centres, where only the sharing of edges keeps
        // each pixel to one part.
        Draw::NineSlice(frame, source, borders, onTies, half);
        // Borders far past the source shrink to it, half each way.
        Draw::NineSlice(frame, source, {100, 100, 100, 100}, bigBorders, half);
    });
    // One texture, one draw call; the parts of no size are left out.
    EXPECT_EQ(Draw::GetStats().drawCalls, 1u);
    EXPECT_EQ(Draw::GetStats().quads, 9u + 9 + 4 + 9 + 1 + 9 + 9);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int x0 = int(c.dest.x) - 3, y0 = int(c.dest.y) - 3;
        int wrong = 0;
        for (int y = y0; y < y0 + 35; ++y)
            for (int x = x0; x < x0 + 40; ++x) {
                Pixel want = BG;
                for (int row = 0; row < 3; ++row)
                    for (int col = 0; col < 3; ++col)
                        if (x >= c.xs[col] && x < c.xs[col + 1] && y >= c.ys[row] &&
                            y < c.ys[row + 1])
                            want = once(parts[row][col]);
                if (!near(At(img, x, y), want) && wrong++ == 0)
                    ADD_FAILURE() << "first wrong pixel at " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
    }
    // At its own size it is the sprite.
    for (int y = 20; y < 29; ++y)
        for (int x = 70; x < 79; ++x)
            ASSERT_EQ(At(img, x, y), At(img, x, y + 40)) << x << "," << y;

    // Ties and shrunk borders: the ink is dest's size, every pixel of it one
    // part's colour laid once; the big borders' corners are the corners.
    for (const Rectangle& r : {onTies, bigBorders}) {
        const auto ink =
            Ink(img, int(r.x) - 3, int(r.y) - 3, int(r.x + r.width) + 3, int(r.y + r.height) + 3);
        EXPECT_EQ(ink[2] - ink[0] + 1, r.width) << r.x;
        EXPECT_EQ(ink[3] - ink[1] + 1, r.height) << r.x;
        int wrong = 0;
        for (int y = ink[1]; y <= ink[3]; ++y)
            for (int x = ink[0]; x <= ink[2]; ++x)
                wrong += std::none_of(&parts[0][0], &parts[0][0] + 9,
                                      [&](Rgba c) { return near(At(img, x, y), once(c)); });
        EXPECT_EQ(wrong, 0) << r.x;
    }
    EXPECT_TRUE(near(At(img, 460, 20), once(parts[0][0])));
    EXPECT_TRUE(near(At(img, 489, 20), once(parts[0][2])));
    EXPECT_TRUE(near(At(img, 460, 43), once(parts[2][0])));
    EXPECT_TRUE(near(At(img, 489, 43), once(parts[2][2])));
}

// Styled text: turned, its ink is the plain ink's box turned about its
// position; italic leans the top of a stem right of its foot; underline and
// strike-out are bands as wide as the line (MeasureText), the one under the
// baseline, the other through the lower case; bold and the bands add no draw
// call per glyph.
TEST_F(ImmediateDrawTest, StyledTextTurnsLeansAndStrikes) {
    const Font& font = Font::Default();
    ASSERT_TRUE(font.Loaded());
    const int x = 400, y = 300, baseline = y + font.ascender;
    auto frame = [&](const std::string& text, const Draw::TextStyle& style) {
        return Frame([&] { Draw::Text(text, {float(x), float(y)}, 64, WHITE, style); });
    };
    std::vector<Pixel> img = frame("Hill", {});
    const auto plain = Ink(img, 300, 200, 700, 420);
    const uint64_t plainCalls = Draw::GetStats().drawCalls;
    // A quarter turn clockwise takes (dx, dy) from the position to (-dy, dx).
    img = frame("Hill", {.rotation = 90});
    const auto turned = Ink(img, 200, 200, 600, 700);
    const std::array<int, 4> want{x - (plain[3] + 1 - y), y + (plain[0] - x),
                                  x - (plain[1] - y) - 1, y + (plain[2] + 1 - x) - 1};
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(turned[k], want[k], 1) << k;

    img = frame("l", {.italic = true});
    const auto stem = Ink(img, 300, 200, 700, 420);
    const int top = Ink(img, 300, stem[1], 700, stem[1])[0];
    const int foot = Ink(img, 300, stem[3], 700, stem[3])[0];
    EXPECT_NEAR(top - foot, 0.2126 * (stem[3] - stem[1]), 2);
    EXPECT_NEAR(foot, plain[0], 1); // the foot stays on the baseline

    const float width = Draw::MeasureText("Hill", 64);
    img = frame("Hill", {.bold = true, .underline = true, .strikeout = true});
    EXPECT_EQ(Draw::GetStats().drawCalls, plainCalls + 1);
    const float wide = Draw::MeasureText(font, "Hill", 64, {.bold = true});
    EXPECT_NEAR(wide - width, 3 * 64 / 14.0f, 0.01f);
    EXPECT_EQ(Draw::MeasureText("Hill", 64, {.bold = true}), wide); // the engine's own font
    const auto under = Ink(img, 300, baseline + 2, 700, baseline + 20);
    EXPECT_NEAR(under[0], x, 1);
    EXPECT_NEAR(under[2], x + wide - 1, 1);
    EXPECT_NEAR(under[1], baseline + 4, 1);
    EXPECT_NEAR(under[3], baseline + 7, 1);
    // Across the gaps between the letters, the strike's row is inked throughout.
    const int strike = baseline - font.ascender / 3;
    for (int px = x + 1; px < x + int(wide) - 1; ++px)
        ASSERT_NE(At(img, px, strike), BG) << px;

    // The pen pushed on by bold or wider spaces reaches a tab pushed too: the
    // text after the tab starts past the end of the text before it.
    for (const Draw::TextStyle& spread :
         {Draw::TextStyle{.bold = true}, Draw::TextStyle{.wordSpacing = 30}}) {
        for (std::string before = "W"; before.size() < 24; before += " W") {
            const float after = Draw::MeasureText(font, before + "\tW", 64, spread) -
                                Draw::MeasureText(font, "W", 64, spread);
            EXPECT_GE(after, Draw::MeasureText(font, before, 64, spread) - 2) << before;
        }
    }
}

// Draw calls between and among the renderer systems keep their order, leave
// the systems drawing as before with the design's own shader, line up with a
// tile map in world mode, and are counted per frame.
TEST_F(ImmediateDrawTest, BatchesKeepTheirOrderAmongRendererSystems) {
    ECS& ecs = ECS::Get();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<Mesh>();
    ecs.RegisterComponent<TileMap>();
    Uni<Renderer> owner = CreateUni<GLRenderer>();
    Ref<Shader> shader = CreateRef<Shader>("Assets/Shaders/basic.shader");
    auto meshes = CreateRef<MeshRenderer>(owner, shader);
    auto tiles = CreateRef<TileMapRenderer>(owner, shader);
    ecs.RegisterSystem(meshes);
    ecs.RegisterSystem(tiles);
    // A camera between pixels, whose view the renderer rounds to (-1, -1):
    // Draw must round it alike.
    Camera::Main().w = 1280;
    Camera::Main().h = 720;
    Camera::Main().transform.position = {640.6f, 360.7f, 0};

    const EntityID sprite = ecs.CreateEntity();
    ecs.AddComponent<Transform>(sprite, glm::vec3(20, 20, 0), glm::vec3(0), glm::vec3(40, 40, 0));
    ecs.AddComponent<Mesh>(sprite, Mesh::CreateMesh(quarters));
    // The picture's four texels as 8 x 8 tiles in a row at world (160, 240).
    std::vector<Ref<Texture>> cells = CutSheetRegions(quarters, 1, 1);
    std::vector<std::vector<int>> grid(24, std::vector<int>(31, -1));
    for (int i = 0; i < 4; ++i)
        grid[size_t(20 + i)][30] = i;
    const EntityID map = ecs.CreateEntity();
    ecs.AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(1));
    ecs.AddComponent<TileMap>(map, TileMap(cells, grid, 8, 8, {}));

    const Archetype meshArch = ecs.GetArchetype<Mesh, Transform>();
    const Archetype tileArch = ecs.GetArchetype<TileMap, Transform>();
    std::vector<Pixel> img = Frame([&] {
        Draw::Rect({0, 0, 100, 100}, BLUE);
        meshes->RenderInit(owner);
        ecs.RunSystemArch(meshArch);
        Draw::Rect({50, 50, 100, 100}, LIME);
        ecs.RunSystemArch(tileArch);
        // The same tiles through Draw, one row further down.
        Draw::BeginWorld();
        for (int i = 0; i < 4; ++i)
            Draw::Sprite(cells[size_t(i)], {160.0f + 8.0f * float(i), 248, 8, 8});
        Draw::EndWorld();
        meshes->RenderEnd(owner);
    });
    const Pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    // The mesh is drawn through the camera, one pixel up and left.
    Check(img, {{5, 5, blue},
                {25, 25, red},   // the mesh over the first rectangle
                {55, 25, green}, // its top-right quarter, not covered
                {55, 55, green}, // the second rectangle over the mesh
                {45, 45, white}, // the mesh's bottom-right quarter, outside the second
                {120, 120, green},
                {159, 239, red},
                {166, 246, red},
                {167, 246, green},
                {158, 239, BG}});
    // World mode: Draw's row of tiles (rows 247 to 254) shows exactly what the
    // tile map's shows (rows 239 to 246), with nothing around either.
    for (int x = 150; x < 200; ++x) {
        for (int y = 239; y < 247; ++y)
            ASSERT_EQ(At(img, x, y), At(img, x, y + 8)) << x << "," << y;
        ASSERT_EQ(At(img, x, 238), BG) << x;
        ASSERT_EQ(At(img, x, 255), BG) << x;
    }
    // Each Draw batch is one call; each quad of the renderer systems another.
    const Draw::Stats mixed = Draw::GetStats();
    EXPECT_EQ(mixed.drawCalls, 1u + 1u + 4u + 1u + 1u);
    EXPECT_EQ(mixed.quads, 1u + 1u + 4u + 1u + 4u);

    // 20,000 sprites of one texture in two calls; a change of texture or of
    // mode starts another batch. Nothing drawn, nothing counted.
    Frame([&] {
        for (int i = 0; i < 20000; ++i)
            Draw::Sprite(quarters, float(i % 1000), float(i / 1000));
        Draw::Rect({0, 0, 1, 1}, RED);
        Draw::Sprite(quarters, 0, 0);
        Draw::BeginWorld();
        Draw::Sprite(quarters, 0, 0);
    });
    EXPECT_EQ(Draw::GetStats().drawCalls, 5u);
    EXPECT_EQ(Draw::GetStats().quads, 20003u);
    Frame([] {});
    EXPECT_EQ(Draw::GetStats().drawCalls, 0u);
}

// A screenshot is the frame being made, the right way up and opaque, with the
// draws still batched; the file holds the same picture; an unwritable path
// fails; without its context current the window reads nothing.
TEST_F(ImmediateDrawTest, ScreenshotIsTheFrameBeingMade) {
    renderer->SetClearColor(0x262E33);
    renderer->Clear();
    const Rectangle box{100, 50, 30, 20};
    Draw::Rect(box, {255, 0, 0, 128});
    const Image shot = window->Capture();
    ASSERT_EQ(shot.Width(), 1280);
    ASSERT_EQ(shot.Height(), 720);
    const Pixel blend{147, 23, 25}; // half red over the clear colour
    int wrong = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const unsigned char* p = shot.Pixels() + (size_t(719 - y) * 1280 + size_t(x)) * 4;
            const Pixel want = box.Contains({x + 0.5f, y + 0.5f}) ? blend : BG;
            if (std::abs(p[0] - want.r) > 1 || std::abs(p[1] - want.g) > 1 ||
                std::abs(p[2] - want.b) > 1 || p[3] != 255)
                ++wrong;
        }
    EXPECT_EQ(wrong, 0);

    const std::string file = dir.File("shot.png");
    ASSERT_TRUE(window->TakeScreenshot(file));
    const Image back = Image::Load(file);
    ASSERT_EQ(back.Width(), 1280);
    ASSERT_EQ(back.Height(), 720);
    EXPECT_EQ(std::memcmp(back.Pixels(), shot.Pixels(), size_t(1280) * 720 * 4), 0);
    EXPECT_FALSE(window->TakeScreenshot(dir.File("missing/shot.png")));
    EXPECT_FALSE(Image().SavePng(file));
    Draw::EndFrame();

    SDL_GL_MakeCurrent(window->GetNativeWindow(), nullptr);
    EXPECT_TRUE(window->Capture().Empty());
    SDL_GL_MakeCurrent(window->GetNativeWindow(), window->GetContext());
}

// A target holds what is drawn into it at its own pixels, in screen and world
// mode, and shows it upright and crisp when drawn; the window's drawing goes
// on where it would have, in whatever framebuffer and viewport it had; targets
// nest; a target left open is ended at the frame's end with a warning.
TEST_F(ImmediateDrawTest, TargetsHoldTheirDrawsAndPutTheWindowBack) {
    // Pixel (x, y) from the top of a capture, which holds the bottom row first.
    auto in = [](const Image& image, int x, int y) {
        const unsigned char* p =
            image.Pixels() +
            (size_t(image.Height() - 1 - y) * size_t(image.Width()) + size_t(x)) * 4;
        return Pixel{p[0], p[1], p[2], p[3]};
    };
    Ref<RenderTarget> target = RenderTarget::Create(64, 32);
    Ref<RenderTarget> inner = RenderTarget::Create(4, 4);
    ASSERT_NE(target->getID(), 0u);
    Camera::Main().transform.position = {100, 100, 0};
    std::vector<Pixel> img = Frame([&] {
        Draw::Rect({0, 0, 4, 4}, RED); // batched for the window when the target begins
        ASSERT_TRUE(Draw::BeginTarget(target, BLANK));
        Draw::Rect({0, 0, 8, 4}, LIME);
        Draw::Rect({56, 28, 8, 4}, YELLOW);
        Draw::Rect({20, 0, 4, 4}, {255, 0, 0, 128});
        ASSERT_TRUE(Draw::BeginTarget(inner, BLUE));
        Draw::Rect({3, 3, 1, 1}, WHITE);
        Draw::EndTarget();
        Draw::BeginWorld(); // the camera's position at the target's centre
        Draw::Rect({100, 100, 2, 2}, WHITE);
        Draw::EndWorld();
        Draw::EndTarget();
        Draw::Rect({4, 0, 4, 4}, BLUE);
        Draw::Sprite(target, {100, 100, 128, 64});
    });
    const Pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    Check(img, {{0, 0, red},
                {3, 3, red},
                {4, 0, blue},
                {7, 3, blue},
                {8, 0, BG},
                {0, 4, BG},
                // the target twice its size, its top row on top, texels hard-edged
                {100, 100, green},
                {115, 107, green},
                {116, 100, BG},
                {100, 108, BG},
                {212, 156, Px(YELLOW)},
                {227, 163, Px(YELLOW)},
                {211, 163, BG},
                {164, 132, white},
                {167, 135, white},
                {163, 132, BG},
                {168, 132, BG}});
    const Image held = target->Capture();
    ASSERT_EQ(held.Width(), 64);
    ASSERT_EQ(held.Height(), 32);
    const Pixel clear{0, 0, 0, 0};
    for (auto [x, y, want] : {std::tuple{0, 0, green},
                              {7, 3, green},
                              {8, 0, clear},
                              {63, 31, Px(YELLOW)},
                              {32, 16, white},
                              {33, 17, white},
                              {31, 16, clear}}) {
        const Pixel got = in(held, x, y);
        EXPECT_EQ(got, want) << x << "," << y;
        EXPECT_EQ(got.a, want == clear ? 0 : 255) << x << "," << y;
    }
    // Half see-through over a clear target stays half see-through.
    EXPECT_NEAR(in(held, 20, 0).a, 128, 1);
    const Image small = inner->Capture();
    ASSERT_FALSE(small.Empty());
    EXPECT_EQ(in(small, 0, 0), blue);
    EXPECT_EQ(in(small, 3, 3), white);

    // Begun on a framebuffer and viewport of the program's own, ended back there.
    GLuint own = 0;
    glCreateFramebuffers(1, &own);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, own);
    glViewport(10, 20, 600, 300);
    ASSERT_TRUE(Draw::BeginTarget(target));
    Draw::EndTarget();
    GLint bound = 0, viewport[4] = {};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(GLuint(bound), own);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{10, 20, 600, 300}));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &own);
    glViewport(0, 0, 1280, 720);

    // Left open, and its last owner gone: drawn into all the same, ended by
    // the frame with a warning; the window's drawing is the window's again.
    testing::internal::CaptureStderr();
    img = Frame([&] {
        ASSERT_TRUE(Draw::BeginTarget(target, RED));
        target.reset();
        Draw::Rect({0, 0, 2, 2}, WHITE);
    });
    EXPECT_NE(testing::internal::GetCapturedStderr().find("still open"), std::string::npos);
    img = Frame([&] { Draw::Rect({0, 0, 2, 2}, WHITE); });
    EXPECT_EQ(At(img, 1, 1), white);
    testing::internal::CaptureStderr();
    Draw::EndTarget();
    EXPECT_FALSE(Draw::BeginTarget(nullptr));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("without a target"), std::string::npos);

    // Once the window is gone, a target neither draws nor reads, and goes
    // without a GL call.
    target = RenderTarget::Create(8, 8);
    quarters.reset();
    Mesh::ReleaseQuad();
    window->Shutdown();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Draw::BeginTarget(target));
    EXPECT_TRUE(target->Capture().Empty());
    EXPECT_EQ(RenderTarget::Create(8, 8)->getID(), 0u);
    testing::internal::GetCapturedStderr();
    target.reset();
    inner.reset();
}

// Scissors clip to their box in the window, in a scaled view and in a target,
// and nest as intersections; blend modes give their sums over a known pixel;
// a shader of a fragment stage takes its uniforms after BeginShader, and the
// renderer systems keep theirs; each ends back at the default, also when the
// frame ends it; a bad source gives no shader.
TEST_F(ImmediateDrawTest, ScissorsBlendsAndShadersEndWhereTheyBegan) {
    const Pixel red{255, 0, 0}, blue{0, 0, 255};
    Ref<RenderTarget> target = RenderTarget::Create(16, 16);
    std::vector<Pixel> img = Frame([&] {
        Draw::BeginScissor({100, 100, 50, 40});
        Draw::Rect({0, 0, 400, 400}, RED);
        Draw::BeginScissor({120, 110, 100, 100}); // shares (120, 110) to (150, 140)
        Draw::Rect({0, 0, 400, 400}, BLUE);
        ASSERT_TRUE(Draw::BeginTarget(target, BLANK)); // not clipped by the window's
        Draw::Rect({0, 0, 16, 16}, LIME);
        Draw::BeginScissor({2, 3, 4, 5});
        Draw::Rect({0, 0, 16, 16}, RED);
        Draw::EndTarget(); // ends the target's scissor, with a warning
        Draw::EndScissor();
        Draw::Rect({0, 0, 400, 400}, WHITE); // back in the outer box only
        Draw::EndScissor();
        Draw::Rect({300, 300, 4, 4}, RED);
    });
    Check(img, {{100, 100, Px(WHITE)},
                {149, 139, Px(WHITE)},
                {99, 100, BG},
                {150, 120, BG},
                {120, 140, BG},
                {302, 302, red}});
    const Image held = target->Capture();
    auto in = [&](int x, int y) {
        const unsigned char* p = held.Pixels() + (size_t(15 - y) * 16 + size_t(x)) * 4;
        return Pixel{p[0], p[1], p[2]};
    };
    EXPECT_EQ(in(0, 0), Px(LIME));
    EXPECT_EQ(in(15, 15), Px(LIME));
    EXPECT_EQ(in(2, 3), red);
    EXPECT_EQ(in(5, 7), red);
    EXPECT_EQ(in(6, 7), Px(LIME));
    EXPECT_EQ(in(5, 8), Px(LIME));

    // A 320 x 240 view shown three times over from x = 160.
    renderer->SetViewport(160, 0, 960, 720, 320, 240);
    img = Frame([&] {
        Draw::BeginScissor({10, 20, 30, 40});
        Draw::Rect({0, 0, 320, 240}, RED);
        Draw::EndScissor();
    });
    renderer->SetViewport(0, 0, 1280, 720, 1280, 720);
    Check(img, {{190, 60, red},
                {279, 179, red},
                {189, 60, BG},
                {280, 100, BG},
                {200, 59, BG},
                {200, 180, BG}});

    // Over the background (38, 46, 51).
    img = Frame([&] {
        Draw::BeginBlend(Draw::Blend::Additive);
        Draw::Rect({0, 0, 10, 10}, {100, 100, 100, 255});
        Draw::Rect({10, 0, 10, 10}, {200, 200, 200, 128});
        Draw::BeginBlend(Draw::Blend::Multiply);
        Draw::Rect({20, 0, 10, 10}, {255, 0, 128, 0});
        Draw::EndBlend();
        Draw::BeginBlend(Draw::Blend::Premultiplied);
        Draw::Rect({30, 0, 10, 10}, {50, 0, 0, 128});
        Draw::EndBlend();
        Draw::EndBlend();
        Draw::Rect({40, 0, 10, 10}, {255, 0, 0, 128});
    });
    for (auto [x, want] : {std::pair{5, Pixel{138, 146, 151}},
                           {15, Pixel{138, 146, 151}},
                           {25, Pixel{38, 0, 26}},
                           {35, Pixel{69, 23, 25}},
                           {45, Pixel{147, 23, 25}}}) {
        const Pixel got = At(img, x, 5);
        EXPECT_TRUE(std::abs(got.r - want.r) <= 1 && std::abs(got.g - want.g) <= 1 &&
                    std::abs(got.b - want.b) <= 1)
            << x << ": " << testing::PrintToString(got);
    }

    // Red and blue swapped, times a gain of the program's own.
    Ref<Shader> swap = Draw::MakeShader(R"(#version 330 core
in vec4 v_Color;
uniform float u_Gain;
out vec4 color;
void main() { color = vec4(v_Color.bgr * u_Gain, v_Color.a); }
)");
    ASSERT_TRUE(swap);
    Ref<Shader> own = Shader::CreateDefault();
    Mesh mesh = Mesh::CreateMesh(quarters);
    Camera::Main().w = 1280;
    Camera::Main().h = 720;
    Camera::Main().transform.position = {640, 360, 0};
    auto at = [](float x) {
        return glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(x, 25, 0)),
                          glm::vec3(10, 10, 1));
    };
    img = Frame([&] {
        renderer->RenderInit(own);
        ASSERT_TRUE(Draw::BeginShader(swap));
        swap->SetUniformFloat1("u_Gain", 1.0f);
        Draw::Rect({0, 0, 10, 10}, RED);
        ASSERT_TRUE(Draw::BeginShader(swap)); // a batch break: 0.5 must not reach the first
        swap->SetUniformFloat1("u_Gain", 0.5f);
        Draw::Rect({30, 0, 10, 10}, RED);
        Draw::EndShader();
        // A renderer system's quad amid them is drawn with its own program.
        renderer->Render(mesh, own, at(20));
        Draw::EndShader();
        Draw::Rect({40, 0, 10, 10}, RED);
        renderer->Render(mesh, own, at(120));
        renderer->RenderEnd();
    });
    Check(img, {{5, 5, blue}, {45, 5, red}});
    // A renderer system that makes its program current while a shader is open
    // keeps it past EndShader, for its quads after.
    const std::vector<Pixel> kept = Frame([&] {
        glUseProgram(0);
        ASSERT_TRUE(Draw::BeginShader(swap));
        swap->SetUniformFloat1("u_Gain", 1.0f);
        Draw::Rect({0, 0, 10, 10}, RED);
        renderer->RenderInit(own);
        Draw::EndShader();
        renderer->Render(mesh, own, at(20));
        renderer->RenderEnd();
    });
    EXPECT_EQ(At(kept, 5, 5), blue);
    EXPECT_EQ(At(kept, 25, 30), At(img, 25, 30));
    // A renderer system's opaque quad in an additive blend adds to what is under it.
    const std::vector<Pixel> added = Frame([&] {
        Draw::BeginBlend(Draw::Blend::Additive);
        renderer->RenderInit(own);
        renderer->Render(mesh, own, at(20));
        renderer->RenderEnd();
        Draw::EndBlend();
    });
    for (int y = 25; y < 35; ++y)
        for (int x = 20; x < 30; ++x) {
            const Pixel alone = At(img, x, y), sum = At(added, x, y);
            ASSERT_EQ(sum, (Pixel{uint8_t(std::min(alone.r + BG.r, 255)),
                                  uint8_t(std::min(alone.g + BG.g, 255)),
                                  uint8_t(std::min(alone.b + BG.b, 255))}))
                << x << "," << y;
        }
    EXPECT_EQ(At(img, 35, 5).r, 0);
    EXPECT_NEAR(At(img, 35, 5).b, 128, 1);
    for (int y = 25; y < 35; ++y)
        for (int x = 20; x < 30; ++x) {
            ASSERT_EQ(At(img, x, y), At(img, x + 100, y)) << x << "," << y;
            ASSERT_NE(At(img, x, y), BG) << x << "," << y;
        }

    // Left open: ended with the frame, so the next one is drawn as ever and
    // its clear reaches every pixel.
    testing::internal::CaptureStderr();
    Frame([&] {
        Draw::BeginScissor({0, 0, 1, 1});
        Draw::BeginBlend(Draw::Blend::Additive);
        ASSERT_TRUE(Draw::BeginShader(swap));
        Draw::Rect({0, 0, 10, 10}, RED);
    });
    const std::string warned = testing::internal::GetCapturedStderr();
    for (const char* kind : {"scissor", "blend mode", "shader"})
        EXPECT_NE(warned.find(std::string(kind) + "(s) still open"), std::string::npos) << kind;
    img = Frame([&] { Draw::Rect({10, 10, 10, 10}, RED); });
    Check(img, {{15, 15, red}, {5, 5, BG}});
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));

    testing::internal::CaptureStderr();
    Draw::EndScissor();
    Draw::EndBlend();
    Draw::EndShader();
    EXPECT_FALSE(Draw::BeginShader(nullptr));
    EXPECT_FALSE(Draw::MakeShader("#version 330 core\nvoid main() { nonsense; }\n"));
    const std::string refused = testing::internal::GetCapturedStderr();
    for (const char* what : {"EndScissor without", "EndBlend without", "EndShader without",
                             "Cannot draw through no shader", "Cannot make"})
        EXPECT_NE(refused.find(what), std::string::npos) << what;
}

// Through a zoomed and turned camera, a sprite entity and a world-mode sprite
// at the same place cover the same pixels; a marker drawn at ScreenToWorld of
// a pixel's centre lights that pixel alone, through the main camera, a
// camera of the program's own (put back after a target) and, in a target, a
// minimap's camera.
TEST_F(ImmediateDrawTest, ZoomedTurnedCamerasPutTheWorldUnderItsPixels) {
    ECS& ecs = ECS::Get();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<Mesh>();
    Uni<Renderer> owner = CreateUni<GLRenderer>();
    Ref<Shader> shader = CreateRef<Shader>("Assets/Shaders/basic.shader");
    auto meshes = CreateRef<MeshRenderer>(owner, shader);
    ecs.RegisterSystem(meshes);
    Camera& main = Camera::Main();
    main = Camera();
    main.transform.position = {310.1f, 200.6f, 0}; // the view rounded by half a pixel
    main.zoom = 2;
    main.rotation = 30;
    const EntityID sprite = ecs.CreateEntity();
    ecs.AddComponent<Transform>(sprite, glm::vec3(280, 190, 0), glm::vec3(0), glm::vec3(40, 40, 0));
    ecs.AddComponent<Mesh>(sprite, Mesh::CreateMesh(quarters));
    const std::vector<Pixel> byEntity = Frame([&] {
        meshes->RenderInit(owner);
        ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
        meshes->RenderEnd(owner);
    });
    const std::vector<Pixel> byDraw = Frame([&] {
        Draw::BeginWorld();
        Draw::Sprite(quarters, {280, 190, 40, 40});
        Draw::EndWorld();
    });
    const std::array<int, 4> box = Ink(byDraw, 0, 0, 1279, 719);
    EXPECT_EQ(Ink(byEntity, 0, 0, 1279, 719), box);
    EXPECT_GT(box[2] - box[0], 80); // 40 units at zoom 2, turned
    int differ = 0;
    for (size_t i = 0; i < byDraw.size(); ++i)
        differ += !(byEntity[i] == byDraw[i]);
    EXPECT_EQ(differ, 0);

    Camera own;
    own.transform.position = {-50, 20, 0};
    own.zoom = 3.5f;
    own.rotation = -45;
    Camera mini;
    mini.w = 64;
    mini.h = 32;
    mini.zoom = 0.5f;
    mini.rotation = 90;
    mini.transform.position = {10, 10, 0};
    Ref<RenderTarget> map = RenderTarget::Create(64, 32);
    auto marker = [](const Camera& camera, glm::vec2 pixel) {
        Draw::Circle(camera.ScreenToWorld(pixel + 0.5f), 0.6f / camera.zoom, WHITE);
    };
    // The right half of a split screen: its view shown in a place of the window.
    const Rectangle place{640, 360, 640, 360};
    Camera half = own;
    half.w = place.width;
    half.h = place.height;
    half.rotation = 60;
    const glm::vec2 inPlace[] = {{13, 24}, {600, 300}};
    const glm::vec2 viaMain[] = {{100, 100}, {640, 360}, {1000, 650}};
    const glm::vec2 viaOwn[] = {{7, 713}, {1272, 5}, {400, 500}};
    const glm::vec2 corner(place.x, place.y);
    const glm::vec2 viaPlace[] = {corner + inPlace[0], corner + inPlace[1]};
    Camera unsized = half; // the place's size is taken over the camera's
    unsized.w = unsized.h = 100;
    const std::vector<Pixel> img = Frame([&] {
        Draw::BeginWorld();
        for (glm::vec2 p : viaMain)
            marker(main, p);
        Draw::BeginWorld(own);
        ASSERT_TRUE(Draw::BeginTarget(map, BLANK));
        Draw::BeginWorld(mini);
        marker(mini, {5, 20});
        Draw::EndTarget();
        for (glm::vec2 p : viaOwn)
            marker(own, p);
        Draw::BeginWorld(unsized, place);
        for (glm::vec2 p : inPlace)
            marker(half, p);
        Draw::EndWorld();
    });
    for (const auto& set : {std::span<const glm::vec2>(viaMain), std::span<const glm::vec2>(viaOwn),
                            std::span<const glm::vec2>(viaPlace)})
        for (glm::vec2 p : set) {
            const int x = int(p.x), y = int(p.y);
            EXPECT_EQ(Ink(img, std::max(0, x - 4), std::max(0, y - 4), std::min(1279, x + 4),
                          std::min(719, y + 4)),
                      (std::array<int, 4>{x, y, x, y}))
                << x << "," << y;
        }
    const Image held = map->Capture();
    ASSERT_EQ(held.Width(), 64);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            EXPECT_EQ(held.Pixels()[(size_t(31 - y) * 64 + size_t(x)) * 4 + 3],
                      x == 5 && y == 20 ? 255 : 0)
                << x << "," << y;
    map.reset();
}

// Tiles of a sheet drawn smaller than their texels, as a camera zoomed out
// shows a map, and turned: only their own texels show, never a seam of the
// tile beside them, which linear sampling reaches at their edges.
TEST_F(ImmediateDrawTest, SheetPartsDrawnSmallerShowOnlyTheirOwnTexels) {
    Image sheet(16, 16, {0, 255, 0});
    sheet.FillRect({0, 0, 8, 8}, {255, 0, 0});
    const Ref<Texture> tiles = Texture2D::Create(sheet);
    Camera turned;
    turned.zoom = 0.9f;
    turned.rotation = 30;
    const std::vector<Pixel> img = Frame([&] {
        Draw::Sprite(tiles, {0, 0, 8, 8}, {9.9f, 9.9f, 7, 7}, {0, 0}, 0);
        Draw::BeginWorld(turned);
        for (int i = 0; i < 400; ++i)
            Draw::Sprite(tiles, {0, 0, 8, 8}, {float(i % 20) * 8, float(i / 20) * 8, 8, 8}, {0, 0},
                         0);
        Draw::EndWorld();
    });
    int red = 0, other = 0;
    for (const Pixel& p : img) {
        red += p == Px(RED);
        other += !(p == Px(RED) || p == BG);
    }
    EXPECT_EQ(other, 0);
    EXPECT_GT(red, 49 + 20000); // 7 x 7, and 144 x 144 turned
}

// What a draw depends on, changed between two draws of a batch, changes only
// the second: a texture's pixels, the main camera (parallax layers), the
// viewport (a split screen).
TEST_F(ImmediateDrawTest, ChangesBetweenDrawsLeaveTheDrawsBefore) {
    Image red(1, 1), blue(1, 1);
    red.FillRect({0, 0, 1, 1}, {255, 0, 0, 255});
    blue.FillRect({0, 0, 1, 1}, {0, 0, 255, 255});
    Ref<Texture2D> changing = Texture2D::Create(red);
    Camera& main = Camera::Main();
    main = Camera();
    main.transform.position = {640, 360, 0}; // world units are the window's pixels
    const std::vector<Pixel> img = Frame([&] {
        Draw::Sprite(changing, {0, 0, 10, 10});
        ASSERT_TRUE(changing->Update(blue));
        Draw::Sprite(changing, {20, 0, 10, 10});
        Draw::BeginWorld();
        Draw::Rect({0, 20, 10, 10}, RED);
        main.transform.position.x += 100;
        Draw::Rect({120, 20, 10, 10}, BLUE);
        Draw::EndWorld();
        renderer->SetViewport(0, 0, 640, 720, 640, 720);
        Draw::Rect({0, 40, 10, 10}, RED);
        renderer->SetViewport(640, 0, 640, 720, 640, 720);
        Draw::Rect({0, 60, 10, 10}, BLUE);
    });
    renderer->SetViewport(0, 0, 1280, 720, 1280, 720);
    const Pixel r{255, 0, 0}, b{0, 0, 255};
    Check(
        img,
        {{5, 5, r}, {25, 5, b}, {5, 25, r}, {25, 25, b}, {5, 45, r}, {645, 45, BG}, {645, 65, b}});
}

// Half-open rectangles: edges that touch do not overlap; no size, no point.
TEST(RectangleTest, ContainsOverlapsAndIntersection) {
    const Rectangle r{10, 20, 30, 40}; // x 10..40, y 20..60
    const std::pair<glm::vec2, bool> points[] = {
        {{10, 20}, true},  {{39.9f, 59.9f}, true}, {{40, 30}, false},
        {{20, 60}, false}, {{9.9f, 30}, false},    {{20, 19.9f}, false},
    };
    for (const auto& [p, in] : points)
        EXPECT_EQ(r.Contains(p), in) << p.x << "," << p.y;
    struct Case {
        Rectangle other;
        Rectangle shared; // width 0: none
    };
    const Case cases[] = {
        {{0, 0, 100, 100}, r},                // around it
        {{30, 50, 20, 20}, {30, 50, 10, 10}}, // a corner
        {{40, 20, 10, 40}, {}},               // touching on the right
        {{10, 0, 30, 20}, {}},                // touching on top
        {{41, 20, 10, 10}, {}},               // apart
        {{20, 30, 0, 10}, {}},                // no width, inside
        {{40, 60, -20, -20}, {}},             // negative size, not mirrored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.other.x) + "," + std::to_string(c.other.y));
        EXPECT_EQ(r.Overlaps(c.other), c.shared.width > 0);
        EXPECT_EQ(c.other.Overlaps(r), c.shared.width > 0);
        const Rectangle got = r.Intersection(c.other);
        auto sides = [](const Rectangle& a) { return std::array{a.x, a.y, a.width, a.height}; };
        EXPECT_EQ(sides(got), sides(c.shared));
    }
    EXPECT_FALSE((Rectangle{0, 0, -5, 5}).Contains({-1, 1}));
}

// The overlap tests at their edges: touching is not overlapping, triangles
// and polygons are half-open as a rectangle is, segments include their ends,
// and degenerate shapes answer without a NaN.
TEST(OverlapTest, ShapesMeetAtTheirEdges) {
    using namespace Overlap;
    struct Case {
        const char* what;
        bool got, expected;
    };
    const glm::vec2 arch[] = {{0, 0}, {60, 0}, {60, 40}, {40, 40}, {40, 20}, {20, 20}, {20, 40},
                              {0, 40}};
    const glm::vec2 bowTie[] = {{0, 0}, {40, 40}, {40, 0}, {0, 40}};
    const Rectangle r{10, 20, 30, 40};
    const Case cases[] = {
        {"point on a rim", PointInCircle({3, 4}, {0, 0}, 5), false},
        {"point just in", PointInCircle({3, 3.99f}, {0, 0}, 5), true},
        {"radius 0", PointInCircle({0, 0}, {0, 0}, 0), false},
        {"circles touching", Circles({0, 0}, 3, {5, 0}, 2), false},
        {"circles just in", Circles({0, 0}, 3, {5, 0}, 2.01f), true},
        {"one circle of radius 0", Circles({0, 0}, 0, {0, 0}, 2), false},
        {"circle touching a right edge", CircleRect({45, 30}, 5, r), false},
        {"circle past a right edge", CircleRect({45, 30}, 5.01f, r), true},
        {"circle short of a corner", CircleRect({5, 15}, 7.07f, r), false},
        {"circle past a corner", CircleRect({5, 15}, 7.08f, r), true},
        {"circle inside", CircleRect({20, 30}, 0.1f, r), true},
        {"empty rectangle", CircleRect({0, 0}, 10, {0, 0, 0, 5}), false},
        {"triangle, left edge", PointInTriangle({0, 5}, {0, 0}, {10, 0}, {0, 10}), true},
        {"triangle, top edge", PointInTriangle({5, 0}, {0, 0}, {0, 10}, {10, 0}), true},
        {"triangle, slanted right edge", PointInTriangle({5, 5}, {0, 0}, {10, 0}, {0, 10}), false},
        {"triangle, corner away", PointInTriangle({10, 0}, {0, 0}, {0, 10}, {10, 0}), false},
        {"triangle in a line", PointInTriangle({5, 5}, {0, 0}, {5, 5}, {10, 10}), false},
        {"arch's leg", PointInPolygon({10, 30}, arch), true},
        {"arch's notch", PointInPolygon({30, 30}, arch), false},
        {"notch's top edge", PointInPolygon({30, 20}, arch), false},
        {"bow tie's lobe", PointInPolygon({5, 20}, bowTie), true},
        {"bow tie's waist, below", PointInPolygon({20, 25}, bowTie), false},
        {"two points", PointInPolygon({0, 0}, std::span(bowTie, 2)), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.expected) << c.what;

    // A rectangle as a polygon of either winding holds what Contains holds; a
    // square cut along its diagonal puts every point of it in one half.
    const glm::vec2 box[] = {{10, 20}, {40, 20}, {40, 60}, {10, 60}};
    const glm::vec2 xob[] = {{10, 20}, {10, 60}, {40, 60}, {40, 20}};
    for (float y = 18; y <= 62; y += 0.5f)
        for (float x = 8; x <= 42; x += 0.5f) {
            EXPECT_EQ(PointInPolygon({x, y}, box), r.Contains({x, y})) << x << "," << y;
            EXPECT_EQ(PointInPolygon({x, y}, xob), r.Contains({x, y})) << x << "," << y;
            const glm::vec2 p = glm::vec2(x, y) - glm::vec2(10, 20);
            if (p.x < 20 && p.y < 20 && p.x >= 0 && p.y >= 0) {
                EXPECT_NE(PointInTriangle(p, {0, 0}, {20, 0}, {20, 20}),
                          PointInTriangle(p, {0, 0}, {20, 20}, {0, 20}))
                    << p.x << "," << p.y;
            }
        }

    struct Cut {
        const char* what;
        glm::vec2 a1, a2, b1, b2;
        std::optional<glm::vec2> at;
    };
    const Cut cuts[] = {
        {"crossing", {0, 0}, {10, 10}, {0, 10}, {10, 0}, glm::vec2(5, 5)},
        {"crossing off the grid", {0, 0}, {7, 3}, {0, 3}, {7, 0}, glm::vec2(3.5f, 1.5f)},
        {"an end on the other", {0, 0}, {10, 0}, {5, 0}, {5, 5}, glm::vec2(5, 0)},
        {"apart", {0, 0}, {10, 0}, {5, 1}, {5, 5}, std::nullopt},
        {"parallel", {0, 0}, {10, 0}, {0, 1}, {10, 1}, std::nullopt},
        {"along, overlapping", {0, 0}, {10, 0}, {15, 0}, {5, 0}, glm::vec2(5, 0)},
        {"along, start inside", {6, 0}, {10, 0}, {15, 0}, {5, 0}, glm::vec2(6, 0)},
        {"along, end to end", {0, 0}, {5, 0}, {5, 0}, {9, 0}, glm::vec2(5, 0)},
        {"along, apart", {0, 0}, {4, 0}, {5, 0}, {9, 0}, std::nullopt},
        {"a point on it", {3, 3}, {3, 3}, {0, 0}, {6, 6}, glm::vec2(3, 3)},
        {"a point off it", {0, 0}, {6, 6}, {3, 4}, {3, 4}, std::nullopt},
        {"one point twice", {2, 2}, {2, 2}, {2, 2}, {2, 2}, glm::vec2(2, 2)},
        {"two points", {2, 2}, {2, 2}, {2, 3}, {2, 3}, std::nullopt},
        {"an end at infinity", {0, 0}, {INFINITY, 0}, {5, -5}, {5, 5}, std::nullopt},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.what);
        const auto got = Segments(c.a1, c.a2, c.b1, c.b2);
        ASSERT_EQ(got.has_value(), c.at.has_value());
        if (got) {
            EXPECT_EQ(*got, *c.at);
        }
        // Either way round, the same answer where there is one point.
        EXPECT_EQ(Segments(c.b1, c.b2, c.a1, c.a2).has_value(), c.at.has_value());
    }
}
