// Pixels edited in memory and uploaded each frame, under the current X display.
// Run from anywhere:
//
//   pixels_bench [--rounds R] [--reps N]
//       Texture2D::Update of a 320 x 180 and a 1280 x 720 image, N times a
//       round followed by glFinish, against the yardstick in the same run: a
//       bare glTextureSubImage2D of the same bytes into a texture made by hand.
//       Then the editing calls on a 320 x 180 image against a plain loop over a
//       std::vector<uint32_t> doing the same writes: SetPixel over every
//       pixel, FillRect of the whole picture, Draw of a half-clear picture over
//       it (blended), and RotatedCW. Prints the medians over all rounds, in
//       microseconds a call, and their ratio.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/image/Image.h>
#include <engine/render/Texture.h>

#include "core/GLUtil.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace Engine;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Microseconds a call of f, over reps calls, then finish() once.
double Time(int reps, const std::function<void()>& f, const std::function<void()>& finish) {
    const auto start = Clock::now();
    for (int i = 0; i < reps; ++i)
        f();
    finish();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / reps;
}

// Medians of a and b timed in turn, round by round, and their ratio.
void Row(const char* name, int rounds, int reps, const std::function<void()>& a,
         const std::function<void()>& b, const std::function<void()>& finish) {
    std::vector<double> ta, tb;
    for (int r = 0; r < rounds; ++r) {
        ta.push_back(Time(reps, a, finish));
        tb.push_back(Time(reps, b, finish));
    }
    const double ma = Median(ta), mb = Median(tb);
    std::printf("%-28s %10.1f %10.1f %7.2f\n", name, ma, mb, ma / mb);
}

// The same blend as Image::Draw's, on packed pixels (little-endian RGBA).
uint32_t BlendPacked(uint32_t dst, uint32_t src) {
    const unsigned sa = src >> 24;
    if (sa == 255)
        return src;
    if (sa == 0)
        return dst;
    const unsigned da = ((dst >> 24) * (255 - sa) + 127) / 255, out = sa + da;
    uint32_t result = out << 24;
    for (int c = 0; c < 24; c += 8)
        result |= (((src >> c & 255) * sa + (dst >> c & 255) * da + out / 2) / out) << c;
    return result;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 7, reps = 100;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--reps"))
            reps = std::max(1, std::atoi(argv[++i]));
    }
    ::Engine::Engine engine(640, 360, "Pixels");
    engine.InitializeGraphicsSubSystem();
    std::printf("GL: %s, %s\n", glGetString(GL_RENDERER), glGetString(GL_VERSION));
    std::printf("%d rounds of %d calls; medians, us a call\n", rounds, reps);
    std::printf("%-28s %10s %10s %7s\n", "", "engine", "yardstick", "ratio");

    const auto finish = [] { glFinish(); };
    for (auto [w, h] : {std::pair{320, 180}, {1280, 720}}) {
        Image image(w, h, Image::Rgba(10, 20, 30));
        auto tex = Texture2D::Create(image);
        GLuint bare = 0;
        glCreateTextures(GL_TEXTURE_2D, 1, &bare);
        glTextureStorage2D(bare, 1, GL_RGBA8, w, h);
        int frame = 0;
        // A pixel changed between uploads, as a program's edits would.
        const auto edit = [&] {
            ++frame;
            image.SetPixel(frame % w, 0, {uint8_t(frame), 0, 0});
        };
        char name[64];
        std::snprintf(name, sizeof name, "Update %dx%d", w, h);
        Row(name, rounds, reps, [&] { edit(), tex->Update(image); },
            [&] {
                edit();
                glTextureSubImage2D(bare, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE,
                                    image.Pixels());
            },
            finish);
        glDeleteTextures(1, &bare);
    }

    constexpr int W = 320, H = 180;
    Image image(W, H, Image::Rgba(0, 0, 0));
    Image half(W, H, Image::Rgba(200, 100, 50, 128));
    std::vector<uint32_t> plain(size_t(W) * H), plainHalf(plain.size(), 0x803264C8u);
    volatile uint32_t sink = 0;
    const auto none = [&] { sink = sink + image.Pixels()[0] + plain[0]; };
    uint8_t shade = 0;
    Row("SetPixel every pixel", rounds, reps,
        [&] {
            ++shade;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    image.SetPixel(x, y, {uint8_t(x), uint8_t(y), shade});
        },
        [&] {
            ++shade;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    plain[size_t(H - 1 - y) * W + size_t(x)] =
                        uint32_t(x & 255) | uint32_t(y & 255) << 8 | uint32_t(shade) << 16 |
                        0xFF000000u;
        },
        none);
    Row("FillRect whole picture", rounds, reps,
        [&] { image.FillRect({0, 0, W, H}, {++shade, 0, 0}); },
        [&] { std::fill(plain.begin(), plain.end(), 0xFF000000u | ++shade); }, none);
    Row("Draw blended", rounds, reps, [&] { image.Draw(half, 0, 0); },
        [&] {
            for (size_t i = 0; i < plain.size(); ++i)
                plain[i] = BlendPacked(plain[i], plainHalf[i]);
        },
        none);
    std::vector<uint32_t> turned(plain.size());
    Row("RotatedCW", rounds, reps, [&] { sink = sink + image.RotatedCW().Pixels()[0]; },
        [&] {
            // New (x, y) takes old (y, H - 1 - x), rows bottom first in both.
            for (int y = 0; y < W; ++y)
                for (int x = 0; x < H; ++x)
                    turned[size_t(W - 1 - y) * H + size_t(x)] =
                        plain[size_t(x) * W + size_t(y)];
            sink = sink + turned[0];
        },
        none);
    return 0;
}
