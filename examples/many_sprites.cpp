// Many sprites: balls bouncing around the window as entities, as many as the machine takes.
// Hold SPACE or the left mouse button to add 100 a step (10,000 a second), BACKSPACE or the
// right button to remove the newest 100 a step; ESC quits. The registry's calls for many make them
// (CreateEntities), Each moves and draws them without a reference or a system per ball, and
// Draw sends all the balls to the GPU in a few draw calls.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/render/Draw.h>
#include <engine/render/Texture.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 1280, HEIGHT = 720;
constexpr float SIZE = 16, GRAVITY = 500;
constexpr size_t START = 1000, BATCH = 100;

struct Position {
    glm::vec2 at;
};
struct Velocity {
    glm::vec2 v;
};
struct Tint {
    Color color;
};

// A number from the id alone, so that every run shows the same balls.
uint32_t Hash(uint32_t x, uint32_t salt) {
    x = (x ^ salt) * 0x9E3779B1u;
    x ^= x >> 15;
    x *= 0x85EBCA77u;
    return x ^ (x >> 13);
}
float Unit(EntityID e, uint32_t salt) {
    return float(Hash(e, salt) % 10000) / 10000.0f;
}

class ManySprites : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        m_ball = Texture2D::Create(EXAMPLE_ASSETS "ball.png");
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Position>();
        ecs.RegisterComponent<Velocity>();
        ecs.RegisterComponent<Tint>();
        Add(START, {WIDTH / 2.0f, HEIGHT / 3.0f});
    }

    void Update() override {
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::IsKeyPressed(SDLK_SPACE) || Input::IsMouseButtonDown(SDL_BUTTON_LEFT)) {
            const glm::vec2 mouse = Input::GetMousePosition();
            Add(BATCH, mouse == glm::vec2(0) ? glm::vec2(WIDTH / 2.0f, HEIGHT / 3.0f) : mouse);
        }
        if (Input::IsKeyPressed(SDLK_BACKSPACE) || Input::IsMouseButtonDown(SDL_BUTTON_RIGHT))
            RemoveNewest(BATCH);

        // Every ball at once, straight over the packed records.
        const float dt = float(Time::dt);
        ECS::Get().Each<Position, Velocity>([dt](EntityID, Position& p, Velocity& v) {
            v.v.y += GRAVITY * dt;
            p.at += v.v * dt;
            if ((p.at.x < 0 && v.v.x < 0) || (p.at.x > WIDTH - SIZE && v.v.x > 0))
                v.v.x = -v.v.x;
            if (p.at.y > HEIGHT - SIZE && v.v.y > 0)
                v.v.y = -v.v.y * 0.95f;
            if (p.at.y < 0 && v.v.y < 0)
                v.v.y = -v.v.y;
        });
    }

    void Draw(const Uni<Renderer>&) override {
        ECS::Get().Each<Position, Tint>([this](EntityID, const Position& p, const Tint& t) {
            Draw::Sprite(m_ball, {p.at.x, p.at.y, SIZE, SIZE}, t.color);
        });
        const Draw::Stats stats = Draw::GetStats();
        char line[160];
        std::snprintf(line, sizeof line, "%zu balls   %.0f frames a second   %llu draw calls",
                      m_alive.size(), m_engine->GetFrameRate(),
                      static_cast<unsigned long long>(stats.drawCalls));
        Draw::Rect({0, 0, WIDTH, 40}, Color{0, 0, 0, 170});
        Draw::Text(line, {16, 8}, 22, WHITE);
        Draw::Text("hold SPACE or click to add, BACKSPACE or right click to remove",
                   {WIDTH - 16.0f, 11}, 16, LIGHTGRAY, Draw::Align::Right);
    }

private:
    // n balls thrown from `from` in every direction upwards, each in a colour of its own.
    void Add(size_t n, glm::vec2 from) {
        const EntityRange made = ECS::Get().CreateEntities<Position, Velocity, Tint>(
            n, Position{from - SIZE / 2},
            [](EntityID e) {
                return Velocity{{Unit(e, 1) * 600 - 300, -Unit(e, 2) * 500 - 100}};
            },
            [](EntityID e) {
                return Tint{Color{uint8_t(96 + Hash(e, 3) % 160), uint8_t(96 + Hash(e, 4) % 160),
                                  uint8_t(96 + Hash(e, 5) % 160), 255}};
            });
        m_alive.insert(m_alive.end(), made.begin(), made.end());
    }

    void RemoveNewest(size_t n) {
        const size_t keep = m_alive.size() - std::min(n, m_alive.size());
        ECS::Get().RemoveEntities(std::span(m_alive).subspan(keep));
        m_alive.resize(keep);
    }

    ::Engine::Engine* m_engine = nullptr;
    Ref<Texture> m_ball;
    std::vector<EntityID> m_alive;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<ManySprites>(), WIDTH, HEIGHT, "Many sprites",
                                 {.targetFrameRate = 60});
}
