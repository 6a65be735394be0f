// Effects: four panels of immediate drawing in a 1280 by 720 window.
// - A small harbour drawn at 320 by 180 into a RenderTarget and shown twice as large through a
//   fragment shader of the program's own (Draw::MakeShader): the picture sways in a wave and
//   shows scanlines; its time uniform is set right after Draw::BeginShader.
// - Sparks from a fountain drawn with Draw::Blend::Additive: where they cross, they glow brighter.
// - Balls bouncing over a tiled floor, their shadows drawn with Draw::Blend::Multiply, so the
//   floor's pattern shows through them.
// - A list of fifty lines in a panel framed by Draw::NineSlice from a 32-pixel picture, clipped
//   to it by Draw::BeginScissor, scrolled by the mouse wheel or the UP and DOWN keys; it drifts
//   by itself until then.
// S switches the shader off and on; ESC quits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Random.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>
#include <engine/render/RenderTarget.h>
#include <engine/render/Shader.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 1280, HEIGHT = 720;
constexpr int ART_W = 320, ART_H = 180;

// Draw's texture coordinate and colour come in; u_Time is the program's own.
const char* WAVE = R"(#version 330 core
in vec2 v_TexCoord;
in vec4 v_Color;
uniform sampler2D u_Texture;
uniform float u_Time;
out vec4 color;
void main() {
    vec2 uv = v_TexCoord;
    uv.x += 0.006 * sin(uv.y * 40.0 + u_Time * 3.0);
    color = texture(u_Texture, uv) * v_Color;
    // Every third row of the window a little darker.
    if (mod(floor(gl_FragCoord.y), 3.0) < 1.0)
        color.rgb *= 0.75;
}
)";

struct Spark {
    glm::vec2 position, velocity;
    float life; // seconds left
    Color color;
};

class Effects : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        m_canvas = RenderTarget::Create(ART_W, ART_H);
        m_wave = Draw::MakeShader(WAVE);
        m_panel = Texture2D::Create(EXAMPLE_ASSETS "panel.png");
        Random::SetSeed(12345); // the same sparks on every run
    }

    void Update() override {
        const float dt = float(Time::dt);
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::WasKeyPressed(SDLK_s))
            m_shaded = !m_shaded;
        // The list: the wheel a line a notch, the keys smoothly; it drifts until touched.
        const float wheel = Input::GetMouseWheelMove();
        const float keys =
            float(Input::IsKeyPressed(SDLK_DOWN)) - float(Input::IsKeyPressed(SDLK_UP));
        if (wheel != 0 || keys != 0)
            m_touched = true;
        m_scroll += -wheel * LINE + keys * 300 * dt + (m_touched ? 0 : 20 * dt);
        m_scroll = std::clamp(m_scroll, 0.0f, LINES * LINE - LIST.height + 8);
        if (!m_touched && m_scroll >= LINES * LINE - LIST.height + 8)
            m_scroll = 0;

        for (int i = 0; i < 2; ++i) {
            const float angle = -1.5708f + (Random::Float(0, 1) - 0.5f) * 0.9f;
            const float speed = 260 + 160 * Random::Float(0, 1);
            const Color colors[] = {{255, 120, 40, 255}, {255, 200, 60, 255}, {90, 160, 255, 255}};
            m_sparks.push_back({FOUNTAIN, speed * glm::vec2(std::cos(angle), std::sin(angle)),
                                1.2f + 0.8f * Random::Float(0, 1), colors[m_sparks.size() % 3]});
        }
        for (Spark& s : m_sparks) {
            s.velocity.y += 400 * dt;
            s.position += s.velocity * dt;
            s.life -= dt;
        }
        std::erase_if(m_sparks, [](const Spark& s) { return s.life <= 0; });
    }

    void Draw(const Uni<Renderer>&) override {
        const float t = float(Time::elapsed);
        Harbour(t);
        Sparks();
        Shadows(t);
        List();
        Draw::Text("S: shader on and off   wheel or UP/DOWN: scroll the list   ESC: quit",
                   {20, HEIGHT - 30}, 20, LIGHTGRAY);
    }

private:
    static constexpr Rectangle SHOWN{20, 50, ART_W * 2, ART_H * 2};
    static constexpr Rectangle GLOW{680, 50, 580, 360};
    static constexpr Rectangle FLOOR{20, 440, 640, 230};
    static constexpr Rectangle LIST{680, 440, 580, 230};
    static constexpr glm::vec2 FOUNTAIN{970, 400};
    static constexpr float LINE = 26;
    static constexpr int LINES = 50;

    static void Caption(const char* text, Rectangle panel) {
        Draw::Text(text, {panel.x, panel.y - 30}, 22, WHITE);
    }

    // A harbour at dusk into the target, then the target through the wave.
    void Harbour(float t) {
        Draw::BeginTarget(m_canvas, {250, 170, 120, 255});
        Draw::RectGradient({0, 0, ART_W, 110}, {60, 50, 110, 255}, {60, 50, 110, 255},
                           {250, 170, 120, 255}, {250, 170, 120, 255});
        Draw::Circle({240, 72}, 14, {255, 230, 170, 255});
        Draw::Rect({0, 100, 120, 10}, {70, 60, 90, 255});
        Draw::Rect({20, 80, 12, 20}, {70, 60, 90, 255});
        Draw::Rect({50, 70, 16, 30}, {70, 60, 90, 255});
        Draw::Rect({0, 110, ART_W, 70}, {40, 70, 120, 255});
        for (int i = 0; i < 8; ++i)
            Draw::Rect({float((i * 47 + int(t * 12)) % ART_W), 118.0f + 7 * i, 24, 1},
                       {140, 170, 220, 255});
        // A boat rocking on the water.
        const float x = 140 + 30 * std::sin(t * 0.4f), y = 104 + 2 * std::sin(t * 2);
        Draw::Triangle({x, y}, {x + 40, y}, {x + 34, y + 10}, {120, 60, 40, 255});
        Draw::Triangle({x, y}, {x + 34, y + 10}, {x + 6, y + 10}, {120, 60, 40, 255});
        Draw::Rect({x + 18, y - 30, 2, 30}, {60, 40, 30, 255});
        Draw::Triangle({x + 20, y - 28}, {x + 36, y - 4}, {x + 20, y - 4}, {245, 240, 230, 255});
        Draw::EndTarget();

        Caption(m_shaded ? "A target through a shader of the program's own (S: off)"
                         : "A target as it is (S: through the shader)",
                SHOWN);
        if (m_shaded && Draw::BeginShader(m_wave)) {
            m_wave->SetUniformFloat1("u_Time", t); // now, before the draws it is for
            Draw::Sprite(m_canvas, SHOWN);
            Draw::EndShader();
        } else {
            Draw::Sprite(m_canvas, SHOWN);
        }
    }

    void Sparks() {
        Caption("Additive sparks", GLOW);
        Draw::Rect(GLOW, {12, 12, 24, 255});
        Draw::BeginScissor(GLOW); // sparks flying out stay in their panel
        Draw::BeginBlend(Draw::Blend::Additive);
        for (const Spark& s : m_sparks) {
            const auto fade = uint8_t(std::min(1.0f, s.life) * 255);
            Color halo = s.color, core = s.color;
            halo.a = uint8_t(fade / 8);
            core.a = fade;
            Draw::Circle(s.position, 9, halo);
            Draw::Circle(s.position, 3, core);
        }
        Draw::EndBlend();
        Draw::EndScissor();
    }

    static void Shadows(float t) {
        Caption("Multiply shadows", FLOOR);
        // A floor of tiles, which shows through the shadows.
        for (int row = 0; row * 40 < FLOOR.height; ++row)
            for (int col = 0; col * 40 < FLOOR.width; ++col)
                Draw::Rect({FLOOR.x + col * 40.0f, FLOOR.y + row * 40.0f, 40,
                            std::min(40.0f, FLOOR.height - row * 40.0f)},
                           (row + col) % 2 ? Color{220, 200, 160, 255} : Color{240, 228, 196, 255});
        const Color colors[] = {RED, SKYBLUE, LIME, GOLD};
        float heights[4];
        for (int i = 0; i < 4; ++i)
            heights[i] = std::abs(std::sin(t * 1.6f + i * 0.8f)) * 90;
        Draw::BeginBlend(Draw::Blend::Multiply);
        for (int i = 0; i < 4; ++i) {
            // Higher up, a smaller and fainter shadow.
            const float x = FLOOR.x + 100 + i * 140.0f, size = 36 - heights[i] / 6;
            const auto shade = uint8_t(80 + heights[i]);
            Draw::RectRounded({x - size, FLOOR.y + 170, size * 2, 14}, 7,
                              {shade, shade, shade, 255});
        }
        Draw::EndBlend();
        for (int i = 0; i < 4; ++i)
            Draw::Circle({FLOOR.x + 100 + i * 140.0f, FLOOR.y + 150 - heights[i]}, 22, colors[i]);
    }

    void List() const {
        Caption("A list clipped to its panel", LIST);
        // The frame's corners, 10 pixels square, stay as drawn; the rest stretches.
        Draw::NineSlice(m_panel, {0, 0, 32, 32}, {10, 10, 10, 10}, LIST);
        Draw::BeginScissor({LIST.x + 4, LIST.y + 4, LIST.width - 8, LIST.height - 8});
        for (int i = 0; i < LINES; ++i) {
            const float y = LIST.y + 8 + i * LINE - m_scroll;
            if (y < LIST.y - LINE || y > LIST.y + LIST.height)
                continue;
            char line[64];
            std::snprintf(line, sizeof line, "%2d. Line number %d of the list", i + 1, i + 1);
            if (i % 2)
                Draw::Rect({LIST.x + 4, y - 2, LIST.width - 8, LINE}, {38, 46, 62, 255});
            Draw::Text(line, {LIST.x + 16, y}, 20, i % 5 == 0 ? GOLD : WHITE);
        }
        Draw::EndScissor();
    }

    ::Engine::Engine* m_engine = nullptr;
    Ref<RenderTarget> m_canvas;
    Ref<Shader> m_wave;
    Ref<Texture> m_panel;
    std::vector<Spark> m_sparks;
    float m_scroll = 0;
    bool m_touched = false;
    bool m_shaded = true;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<Effects>(), WIDTH, HEIGHT, "Effects",
                                 {.targetFrameRate = 60});
}
