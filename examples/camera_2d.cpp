// A 2D camera: a world of 4000 by 3000 units, larger than the window, seen
// through Camera::Main() zoomed and turned. The wheel zooms about the pointer
// (the world point under it stays there), Q and E turn the view, the arrow
// keys or a drag with the right or middle button pan, a left click drops a
// marker where it lands in the world, R puts the camera back. A minimap in the
// corner shows the whole world through a second camera, drawn into a
// RenderTarget, with the window's view outlined on it, and the frame rate
// below it. ESC quits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/RenderTarget.h>
#include <engine/render/Texture.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 1280, HEIGHT = 720;
constexpr float WORLD_W = 4000, WORLD_H = 3000;
constexpr int MAP_W = 256, MAP_H = 192; // the minimap, a world unit in 15.6 pixels

// Scattered things, the same on every run.
struct Thing {
    glm::vec2 at;
    float size;
    int kind; // 0 box, 1 disc, 2 triangle
    Color color;
};

class Camera2D : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        m_walker = CutSheetRegions(Texture2D::Create(EXAMPLE_ASSETS "walker.png"), 64, 64);
        m_map = RenderTarget::Create(MAP_W, MAP_H);
        m_mini.w = MAP_W;
        m_mini.h = MAP_H;
        m_mini.zoom = std::min(MAP_W / WORLD_W, MAP_H / WORLD_H);
        m_mini.transform.position = {WORLD_W / 2, WORLD_H / 2, 0};
        const Color palette[] = {RED, ORANGE, GOLD, LIME, SKYBLUE, PINK, VIOLET, BEIGE};
        unsigned seed = 7;
        auto next = [&seed](unsigned n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % n;
        };
        for (int i = 0; i < 160; ++i)
            m_things.push_back({{float(next(3800) + 100), float(next(2800) + 100)},
                                float(40 + next(120)), int(next(3)), palette[next(8)]});
        Reset();
    }

    void Update() override {
        Camera& cam = Camera::Main();
        const float dt = float(Time::dt);
        const glm::vec2 mouse = Input::GetMousePosition();
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::WasKeyPressed(SDLK_r))
            Reset();
        // Zoom about the pointer: move the camera so that the world point under
        // the pointer before the zoom is under it again after.
        if (const float wheel = Input::GetMouseWheelMove(); wheel != 0) {
            const glm::vec2 before = cam.ScreenToWorld(mouse);
            cam.zoom = std::clamp(cam.zoom * std::pow(1.15f, wheel), 0.1f, 8.0f);
            Pan(before - cam.ScreenToWorld(mouse));
        }
        if (Input::IsKeyPressed(SDLK_q))
            cam.rotation -= 60 * dt;
        if (Input::IsKeyPressed(SDLK_e))
            cam.rotation += 60 * dt;
        // The arrow keys move the view across the screen, however it is turned.
        glm::vec2 push{0, 0};
        push.x = float(Input::IsKeyPressed(SDLK_RIGHT)) - float(Input::IsKeyPressed(SDLK_LEFT));
        push.y = float(Input::IsKeyPressed(SDLK_DOWN)) - float(Input::IsKeyPressed(SDLK_UP));
        const glm::vec2 centre{cam.w / 2, cam.h / 2};
        if (push != glm::vec2(0, 0))
            Pan(cam.ScreenToWorld(centre + push * 600.0f * dt) - cam.ScreenToWorld(centre));
        // A drag holds the world point it started on under the pointer: the
        // point where the pointer was a step ago moves to where it is now.
        if (Input::IsMouseButtonDown(SDL_BUTTON_RIGHT) ||
            Input::IsMouseButtonDown(SDL_BUTTON_MIDDLE))
            Pan(cam.ScreenToWorld(mouse - Input::GetMouseDelta()) - cam.ScreenToWorld(mouse));
        if (Input::WasMousePressed(SDL_BUTTON_LEFT))
            m_markers.push_back(cam.ScreenToWorld(mouse));
    }

    void Draw(const Uni<Renderer>&) override {
        const Camera& cam = Camera::Main();
        const float t = float(Time::elapsed);
        Draw::BeginWorld();
        World(t, 1.0f / cam.zoom, 100);
        Markers(1.0f / cam.zoom, 10);
        Draw::EndWorld();

        // The minimap: the whole world through its own camera, the window's
        // view as the four world points at its corners.
        Draw::BeginTarget(m_map, {20, 24, 28, 255});
        Draw::BeginWorld(m_mini);
        const float unit = 1.0f / m_mini.zoom; // a minimap pixel, in world units
        World(t, unit, 500);
        Markers(unit, 3);
        const glm::vec2 view[] = {cam.ScreenToWorld({0, 0}), cam.ScreenToWorld({cam.w, 0}),
                                  cam.ScreenToWorld({cam.w, cam.h}),
                                  cam.ScreenToWorld({0, cam.h})};
        Draw::PolygonLines(view, WHITE, 2 * unit);
        Draw::EndWorld();
        Draw::EndTarget();
        const Rectangle corner{WIDTH - MAP_W - 16.0f, 16, MAP_W, MAP_H};
        Draw::RectLines({corner.x - 2, corner.y - 2, corner.width + 4, corner.height + 4}, WHITE,
                        2);
        Draw::Sprite(m_map, corner);
        Draw::Rect({corner.x - 2, corner.y + corner.height + 6, 88, 28}, {0, 0, 0, 160});
        Draw::FPS(*m_engine, corner.x + 4, corner.y + corner.height + 8);

        const glm::vec2 under = cam.ScreenToWorld(Input::GetMousePosition());
        char line[160];
        std::snprintf(line, sizeof line, "zoom %.2f  turn %.0f deg  pointer at world (%.0f, %.0f)",
                      cam.zoom, cam.rotation, under.x, under.y);
        Draw::Rect({0, 0, 760, 64}, {0, 0, 0, 160});
        Draw::Text("wheel: zoom   Q/E: turn   arrows or right drag: pan   click: mark   R: reset",
                   {12, 8}, 20, WHITE);
        Draw::Text(line, {12, 36}, 20, WHITE);
    }

private:
    void Reset() {
        Camera& cam = Camera::Main();
        cam.transform.position = {WORLD_W / 2, WORLD_H / 2, 0};
        cam.zoom = 1;
        cam.rotation = 0;
    }

    static void Pan(glm::vec2 by) {
        Camera::Main().transform.position += glm::vec3(by, 0);
    }

    // The world in its own units; pixel is a screen pixel in world units, so
    // lines stay visible at any zoom; a grid line every step units.
    void World(float t, float pixel, int step) const {
        Draw::Rect({0, 0, WORLD_W, WORLD_H}, {44, 62, 58, 255});
        for (int x = 0; x <= int(WORLD_W); x += step)
            Draw::Line({float(x), 0}, {float(x), WORLD_H}, {70, 96, 90, 255}, pixel);
        for (int y = 0; y <= int(WORLD_H); y += step)
            Draw::Line({0, float(y)}, {WORLD_W, float(y)}, {70, 96, 90, 255}, pixel);
        Draw::RectLines({0, 0, WORLD_W, WORLD_H}, GOLD, 4 * pixel);
        for (const Thing& th : m_things) {
            const glm::vec2 p = th.at;
            const float s = th.size;
            if (th.kind == 0)
                Draw::Rect({p.x - s / 2, p.y - s / 2, s, s}, th.color);
            else if (th.kind == 1)
                Draw::Circle(p, s / 2, th.color);
            else
                Draw::Triangle({p.x, p.y - s / 2}, {p.x + s / 2, p.y + s / 2},
                               {p.x - s / 2, p.y + s / 2}, th.color);
        }
        // A sail turning at the world's centre, and walkers pacing across it.
        const glm::vec2 c{WORLD_W / 2, WORLD_H / 2};
        for (int i = 0; i < 4; ++i) {
            const float a = t * 0.8f + float(i) * 1.5708f;
            const glm::vec2 tip = c + 220.0f * glm::vec2(std::cos(a), std::sin(a));
            const glm::vec2 side = c + 160.0f * glm::vec2(std::cos(a + 0.4f), std::sin(a + 0.4f));
            Draw::Triangle(c, tip, side, i % 2 ? WHITE : MAROON);
        }
        Draw::Circle(c, 24, DARKGRAY);
        if (m_walker.empty())
            return;
        for (int i = 0; i < 5; ++i) {
            const float x = c.x - 600 + std::fmod(t * 90 + float(i) * 260, 1200.0f);
            Draw::Sprite(m_walker[size_t(t * 8 + float(i)) % m_walker.size()],
                         {x, c.y + 300 + float(i) * 70, 64, 64});
        }
    }

    // The markers clicked, radius screen pixels across, whatever the zoom.
    void Markers(float pixel, float radius) const {
        for (glm::vec2 m : m_markers) {
            Draw::Circle(m, radius * pixel, RED);
            Draw::CircleLines(m, (radius + 3) * pixel, WHITE, 2 * pixel);
        }
    }

    ::Engine::Engine* m_engine = nullptr;
    std::vector<Ref<Texture>> m_walker;
    std::vector<Thing> m_things;
    std::vector<glm::vec2> m_markers;
    Ref<RenderTarget> m_map;
    Camera m_mini;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<Camera2D>(), WIDTH, HEIGHT, "Camera 2D",
                                 {.resizable = true, .letterbox = true, .targetFrameRate = 60});
}
