// Editing images in memory, without a window: coordinates from the top-left,
// clipping at every edge, blits with alpha, and the picture turned about.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include <engine/image/Image.h>
#include <engine/render/Draw.h>

using namespace Engine;
using Rgba = Image::Rgba;

namespace {

// A picture whose every pixel is distinct: red is x, green is y.
Image Numbered(int w, int h) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetPixel(x, y, {uint8_t(x), uint8_t(y), 7, 255});
    return image;
}

// The picture as rows of letters, top row first: '.' clear, else the colour's
// first letter of Draw's RED, GREEN, BLUE, WHITE, or 'x'.
std::string Rows(const Image& image) {
    std::string out;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const Rgba p = image.GetPixel(x, y);
            out += p.a == 0          ? '.'
                   : p == Rgba(RED)   ? 'r'
                   : p == Rgba(GREEN) ? 'g'
                   : p == Rgba(BLUE)  ? 'b'
                   : p == Rgba(WHITE) ? 'w'
                                      : 'x';
        }
        out += '/';
    }
    return out;
}

bool Same(const Image& a, const Image& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Empty() != b.Empty())
        return false;
    return a.Empty() ||
           std::memcmp(a.Pixels(), b.Pixels(), size_t(a.Width()) * size_t(a.Height()) * 4) == 0;
}

} // namespace

TEST(ImageEdit, ClipsAtEveryEdgeBlendsAndTurnsAboutToItself) {
    Image blank(4, 3);
    Image red(2, 2, RED); // Draw's colours convert
    struct Case {
        const char* what;
        std::function<void(Image&)> edit;
        const char* rows;
    } cases[] = {
        {"a pixel at the top-left", [](Image& i) { i.SetPixel(0, 0, BLUE); }, "b.../..../..../"},
        {"pixels outside are ignored",
         [](Image& i) {
             for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {INT_MIN, INT_MAX}})
                 i.SetPixel(x, y, BLUE);
         },
         "..../..../..../"},
        {"fill past the left and top", [](Image& i) { i.FillRect({-5, -5, 6, 7}, GREEN); },
         "g.../g.../..../"},
        {"fill past the right and bottom", [](Image& i) { i.FillRect({3, 1, 100, 100}, GREEN); },
         "..../...g/...g/"},
        {"fill of a huge area", [](Image& i) { i.FillRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, GREEN); },
         "..../..../..../"},
        {"fill from Draw's rectangle, rounded",
         [](Image& i) { i.FillRect(Rectangle{0.6f, 0.4f, 2.0f, 0.9f}, WHITE); }, ".ww./..../..../"},
        {"fill from a rectangle of NaN and infinities",
         [](Image& i) { i.FillRect(Rectangle{NAN, -INFINITY, INFINITY, NAN}, WHITE); },
         "..../..../..../"},
        {"blit past the right and bottom", [&](Image& i) { i.Draw(red, 3, 2); }, "..../..../...r/"},
        {"blit from a source past its picture's top-left",
         [&](Image& i) { i.Draw(red, {-1, -1, 2, 2}, {0, 0, 2, 2}); }, "..../.r../..../"},
        {"blit stretched", [&](Image& i) { i.Draw(red, {0, 0, 1, 1}, {1, 0, 3, 2}); },
         ".rrr/.rrr/..../"},
        {"blit of an empty source rectangle", [&](Image& i) { i.Draw(red, {0, 0, 0, 2}, {0, 0, 2, 2}); },
         "..../..../..../"},
        {"blit of itself, overlapping",
         [](Image& i) {
             i.SetPixel(0, 0, RED);
             i.SetPixel(1, 0, GREEN);
             i.Draw(i, {0, 0, 2, 1}, {1, 0, 2, 1});
         },
         "rrg./..../..../"},
    };
    for (const Case& c : cases) {
        Image image = blank.Cropped({0, 0, 4, 3});
        c.edit(image);
        EXPECT_EQ(Rows(image), c.rows) << c.what;
    }
    // Stored bottom row first, as every image is.
    Image marked(2, 2);
    marked.SetPixel(0, 0, RED);
    EXPECT_EQ(marked.Pixels()[8], 255);
    EXPECT_EQ(Rows(Numbered(3, 2).Cropped({1, 1, 5, 5})), "xx/");
    EXPECT_EQ(Numbered(3, 2).Cropped({1, 1, 5, 5}).GetPixel(1, 0), Rgba(2, 1, 7));
    EXPECT_EQ(Numbered(3, 2).GetPixel(3, 0), Rgba(0, 0, 0, 0));

    // Blending by alpha.
    Image dst(1, 1, {0, 0, 200, 255});
    dst.Draw(Image(1, 1, {255, 0, 0, 0}), 0, 0); // clear: nothing
    EXPECT_EQ(dst.GetPixel(0, 0), Rgba(0, 0, 200, 255));
    dst.Draw(Image(1, 1, {255, 0, 0, 128}), 0, 0); // half over opaque
    EXPECT_EQ(dst.GetPixel(0, 0), Rgba(128, 0, 100, 255));
    Image clear(1, 1);
    clear.Draw(Image(1, 1, {255, 0, 0, 128}), 0, 0); // over nothing: the colour itself
    EXPECT_EQ(clear.GetPixel(0, 0), Rgba(255, 0, 0, 128));
    Image half(1, 1, {0, 0, 255, 128});
    half.Draw(Image(1, 1, {255, 0, 0, 128}), 0, 0);
    EXPECT_EQ(half.GetPixel(0, 0), Rgba(170, 0, 85, 192));

    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {5, 7}}) {
        const Image p = Numbered(w, h);
        EXPECT_TRUE(Same(p.RotatedCW().RotatedCCW(), p)) << w << "x" << h;
        EXPECT_TRUE(Same(p.RotatedCW().RotatedCW(), p.FlippedHorizontal().FlippedVertical()));
        EXPECT_TRUE(Same(p.FlippedHorizontal().FlippedHorizontal(), p));
        EXPECT_TRUE(Same(p.Resized(w * 3, h * 2).Resized(w, h), p));
    }
    // A quarter clockwise: the left column, read upwards, is the top row.
    const Image cw = Numbered(3, 2).RotatedCW();
    ASSERT_EQ(cw.Width(), 2);
    EXPECT_EQ(cw.GetPixel(0, 0), Rgba(0, 1, 7));
    EXPECT_EQ(cw.GetPixel(1, 2), Rgba(2, 0, 7));
    EXPECT_EQ(Numbered(3, 2).RotatedCCW().GetPixel(0, 0), Rgba(2, 0, 7));

    // Empty images and sizes out of range give empty images, with a reason.
    const Image none;
    for (const Image& e :
         {none.RotatedCW(), none.Cropped({0, 0, 1, 1}), Numbered(2, 2).Cropped({2, 0, 1, 1}),
          Numbered(2, 2).Resized(0, 5), Numbered(2, 2).Resized(Image::MAX_SIDE + 1, 1),
          Image(-3, 4, RED), Image(1 << 20, 1 << 20, RED)}) {
        EXPECT_TRUE(e.Empty());
        EXPECT_FALSE(e.Error().empty());
    }
    Image moved = Numbered(2, 2), empty = std::move(moved);
    moved.SetPixel(0, 0, RED); // left 0 by 0, not pointing at nothing
    EXPECT_EQ(moved.Width(), 0);
    empty = Image();
    empty.FillRect({0, 0, 5, 5}, RED);
    empty.Draw(Numbered(2, 2), 0, 0);
    EXPECT_EQ(empty.GetPixel(0, 0), Rgba(0, 0, 0, 0));
}
