// Pixel art: a dusk landscape drawn at 320 by 180 pixels into a RenderTarget and shown four
// times as large, texel for texel, in a 1280 by 720 window. Hills scroll past at three speeds
// behind a walker on a path; clouds drift. The text is drawn in window pixels over it, and the
// target is shown once more at its own size in the corner. L switches the target between crisp
// (nearest) and blended (linear) scaling; ESC quits.
#include <cmath>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>
#include <engine/render/RenderTarget.h>
#include <engine/render/Texture.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 1280, HEIGHT = 720;
constexpr int ART_W = 320, ART_H = 180;
constexpr int GROUND = 150; // the path's top row, in the picture's pixels

// A colour between a and b, t from 0 to 1.
Color Mix(Color a, Color b, float t) {
    auto mix = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * t)); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), 255};
}

// A ridge's height above the path at world column x: a few waves, in whole pixels.
int Ridge(float x, float base, float amplitude, float seed) {
    const float h = std::sin(x * 0.021f + seed) + 0.5f * std::sin(x * 0.053f + 2 * seed) +
                    0.25f * std::sin(x * 0.13f + 3 * seed);
    return int(base + amplitude * h);
}

class PixelArt : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        m_walker = CutSheetRegions(Texture2D::Create(EXAMPLE_ASSETS "walker.png"), 64, 64);
        m_canvas = RenderTarget::Create(ART_W, ART_H);
    }

    void Update() override {
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::WasKeyPressed(SDLK_l)) {
            m_linear = !m_linear;
            m_canvas = RenderTarget::Create(ART_W, ART_H,
                                            m_linear ? RenderTarget::Filter::Linear
                                                     : RenderTarget::Filter::Nearest);
        }
    }

    void Draw(const Uni<Renderer>&) override {
        const float t = float(Time::elapsed);
        Draw::BeginTarget(m_canvas, {38, 28, 74, 255});
        Sky(t);
        // Far to near: each ridge moves faster and is darker against the sky.
        Hills(t * 6, 58, 16, 0.0f, {112, 70, 120, 255});
        Hills(t * 14, 34, 12, 1.7f, {74, 52, 98, 255});
        Hills(t * 30, 14, 8, 4.1f, {42, 58, 72, 255});
        Trees(t * 30);
        Path(t * 48);
        // The walker, half its sheet's size, on the path.
        if (!m_walker.empty())
            Draw::Sprite(m_walker[size_t(t * 8) % m_walker.size()],
                         {ART_W / 3.0f, GROUND - 31.0f, 32, 32});
        Draw::EndTarget();

        Draw::Sprite(m_canvas, {0, 0, WIDTH, HEIGHT});
        Draw::Text(m_linear ? "320 x 180, scaled 4x, linear (L: nearest)"
                            : "320 x 180, scaled 4x, nearest (L: linear)",
                   {16, 12}, 24, WHITE);
        // The picture as drawn, at its own size, framed.
        const Rectangle corner{WIDTH - ART_W - 16.0f, HEIGHT - ART_H - 16.0f, ART_W, ART_H};
        Draw::RectLines({corner.x - 2, corner.y - 2, corner.width + 4, corner.height + 4}, WHITE,
                        2);
        Draw::Sprite(m_canvas, corner);
    }

private:
    static void Sky(float t) {
        // Bands of whole pixels from the night above to the glow at the horizon.
        const Color top{38, 28, 74, 255}, low{246, 150, 96, 255};
        for (int y = 0; y < GROUND; y += 6)
            Draw::Rect({0, float(y), ART_W, 6}, Mix(top, low, float(y) / GROUND));
        // The sun, bobbing slowly behind the hills, with its halo.
        const glm::vec2 sun{236, 96 + 6 * std::sin(t * 0.2f)};
        Draw::Circle(sun, 22, {250, 178, 110, 255});
        Draw::Circle(sun, 16, {255, 214, 140, 255});
        Draw::Circle(sun, 11, {255, 240, 190, 255});
        // Clouds of a few discs each, drifting left and coming round again.
        const Color cloud{255, 190, 170, 255};
        for (int i = 0; i < 4; ++i) {
            const float x = std::fmod(400 + i * 110 - t * (5 + i), 440.0f) - 60;
            const float y = 22.0f + float((i * 37) % 50);
            Draw::Circle({x, y}, 7, cloud);
            Draw::Circle({x + 9, y - 4}, 9, cloud);
            Draw::Circle({x + 20, y}, 6, cloud);
            Draw::Rect({x - 7, y, 34, 6}, cloud);
        }
    }

    // One ridge, column by column, base pixels above the path give or take amplitude.
    static void Hills(float scroll, float base, float amplitude, float seed, Color color) {
        for (int x = 0; x < ART_W; ++x) {
            const int h = Ridge(float(x) + scroll, base, amplitude, seed);
            Draw::Rect({float(x), float(GROUND - h), 1, float(h)}, color);
        }
    }

    // Pines on the nearest ridge, every 23 world pixels.
    static void Trees(float scroll) {
        const Color pine{22, 44, 46, 255};
        const int first = int(std::floor(scroll / 23));
        for (int i = first; i < first + ART_W / 23 + 2; ++i) {
            if (i % 3 == 1)
                continue;
            const float wx = float(i) * 23 + float((i * 7) % 11);
            const int x = int(std::lround(wx - scroll));
            const int foot = GROUND - Ridge(wx, 14, 8, 4.1f) + 2;
            const int tall = 12 + (i * 5) % 9;
            Draw::Rect({float(x), float(foot - 3), 2, 3}, pine);
            // Rows narrowing upwards: a stepped cone.
            for (int r = 0; r < tall; ++r) {
                const int half = 1 + (tall - r) / 3;
                Draw::Rect({float(x + 1 - half), float(foot - 3 - r), float(2 * half), 1}, pine);
            }
        }
    }

    // Grass along the top of the path, stones in the dirt below moving with it.
    static void Path(float scroll) {
        Draw::Rect({0, GROUND, ART_W, ART_H - GROUND}, {92, 62, 50, 255});
        Draw::Rect({0, GROUND, ART_W, 3}, {104, 168, 72, 255});
        Draw::Rect({0, GROUND + 3, ART_W, 1}, {62, 112, 56, 255});
        const int offset = int(scroll) % 16;
        for (int x = -offset; x < ART_W; x += 16) {
            const int blade = (x + int(scroll)) / 16;
            Draw::Rect({float(x + 5), GROUND - 1.0f, 1, 1}, {134, 198, 92, 255});
            Draw::Rect({float(x + 9 + blade % 3), float(GROUND + 9 + (blade * 5) % 14), 3, 2},
                       {128, 96, 78, 255});
        }
    }

    ::Engine::Engine* m_engine = nullptr;
    Ref<RenderTarget> m_canvas;
    std::vector<Ref<Texture>> m_walker;
    bool m_linear = false;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<PixelArt>(), WIDTH, HEIGHT, "Pixel art",
                                 {.targetFrameRate = 60});
}
