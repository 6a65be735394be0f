// Screens as scenes: a title that waits for a key, a short game of catching falling stars, and a
// game-over screen that goes back to the title. Each screen is a Scene of its own, and one asks
// for the next with Engine::ChangeScene from its Update; the engine makes the change once that
// step is over, so a scene may ask and go on as usual. What a screen hands the next (the score,
// the best) travels in the new scene's constructor. SPACE, ENTER or a click goes on; in the game
// the arrow keys, A/D or the mouse move the basket, and three stars missed end it; ESC quits from
// the title and goes back to it from the others.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Random.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>

namespace {

using namespace Engine;

constexpr int WIDTH = 960, HEIGHT = 540;
constexpr float BASKET_W = 120, BASKET_H = 22, BASKET_Y = HEIGHT - 60, BASKET_SPEED = 700;
constexpr float STAR_RADIUS = 12, SPAWN_EVERY = 0.6f;
constexpr int MISSES = 3;
const Color NIGHT_TOP{12, 16, 40}, NIGHT_BOTTOM{40, 30, 70}, BASKET{230, 90, 40};

bool GoOn() {
    return Input::WasKeyPressed(SDLK_SPACE) || Input::WasKeyPressed(SDLK_RETURN) ||
           Input::WasMousePressed(SDL_BUTTON_LEFT);
}

void Sky() {
    Draw::RectGradient({0, 0, WIDTH, HEIGHT}, NIGHT_TOP, NIGHT_TOP, NIGHT_BOTTOM, NIGHT_BOTTOM);
}

void Caption(const std::string& text, float y, float size, Color color) {
    Draw::Text(text, {WIDTH / 2.0f, y}, size, color, Draw::Align::Center);
}

// Each screen keeps the engine to ask it for the next one.
class Screen : public Scene {
public:
    void Build(::Engine::Engine& engine) override { m_engine = &engine; }

protected:
    ::Engine::Engine* m_engine = nullptr;
};

class Title : public Screen {
public:
    explicit Title(int best) : m_best(best) {}
    void Update() override;
    void Draw(const Uni<Renderer>&) override {
        Sky();
        // Stars twinkling, scattered by a hash of their number so they stay put, and the
        // title moves while it waits.
        const float t = float(Time::elapsed);
        for (uint32_t i = 1; i <= 60; ++i) {
            uint32_t h = i * 0x9E3779B9u;
            h = (h ^ (h >> 16)) * 0x85EBCA6Bu;
            h ^= h >> 13;
            const glm::vec2 at{float(h % WIDTH), float((h >> 12) % 340)};
            const float glow = 0.5f + 0.5f * std::sin(t * 2 + i);
            Draw::Circle(at, 2 + 2 * glow, {255, 230, 150, uint8_t(90 + 160 * glow)});
        }
        Caption("STAR CATCHER", 170, 72, GOLD);
        Caption("SPACE, ENTER or a click to play", 290, 28, WHITE);
        if (m_best > 0)
            Caption("best " + std::to_string(m_best), 340, 24, LIGHTGRAY);
        Caption("ESC quits", 480, 20, GRAY);
    }

private:
    int m_best;
};

class GameOver : public Screen {
public:
    GameOver(int score, int best) : m_score(score), m_best(std::max(best, score)) {}
    void Update() override {
        if (GoOn() || Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->ChangeScene(CreateRef<Title>(m_best));
    }
    void Draw(const Uni<Renderer>&) override {
        Sky();
        Caption("GAME OVER", 160, 64, RED);
        Caption("stars caught: " + std::to_string(m_score), 260, 32, WHITE);
        Caption(m_score == m_best && m_score > 0 ? "a new best!" : "best " + std::to_string(m_best),
                310, 24, GOLD);
        Caption("SPACE, ENTER or a click: back to the title", 420, 24, LIGHTGRAY);
    }

private:
    int m_score, m_best;
};

class Play : public Screen {
public:
    explicit Play(int best) : m_best(best) {}
    void Update() override {
        if (Input::WasKeyPressed(SDLK_ESCAPE)) {
            m_engine->ChangeScene(CreateRef<Title>(m_best));
            return;
        }
        MoveBasket();
        m_spawn -= float(Time::dt);
        if (m_spawn <= 0) {
            m_spawn += SPAWN_EVERY;
            m_stars.push_back({{Random::Float(STAR_RADIUS, WIDTH - STAR_RADIUS), -STAR_RADIUS},
                               Random::Float(160, 300) + 10.0f * float(m_caught)});
        }
        const Rectangle basket = Basket();
        for (Star& star : m_stars) {
            star.at.y += star.speed * float(Time::dt);
            if (basket.Contains(star.at)) {
                ++m_caught;
                star.gone = true;
            } else if (star.at.y - STAR_RADIUS > HEIGHT) {
                ++m_missed;
                star.gone = true;
            }
        }
        std::erase_if(m_stars, [](const Star& s) { return s.gone; });
        // This scene goes on to the end of its step; the engine changes after it.
        if (m_missed >= MISSES)
            m_engine->ChangeScene(CreateRef<GameOver>(m_caught, m_best));
    }
    void Draw(const Uni<Renderer>&) override {
        Sky();
        for (const Star& star : m_stars)
            Draw::Circle(star.at, STAR_RADIUS, GOLD);
        Draw::RectRounded(Basket(), 8, BASKET);
        Draw::Text("caught " + std::to_string(m_caught), {16, 12}, 28, WHITE);
        Draw::Text("missed " + std::to_string(m_missed) + " of " + std::to_string(MISSES),
                   {WIDTH - 16.0f, 12}, 28, WHITE, Draw::Align::Right);
    }

private:
    struct Star {
        glm::vec2 at;
        float speed;
        bool gone = false;
    };

    Rectangle Basket() const { return {m_basket - BASKET_W / 2, BASKET_Y, BASKET_W, BASKET_H}; }
    void MoveBasket() {
        float dir = 0;
        if (Input::IsKeyPressed(SDLK_LEFT) || Input::IsKeyPressed(SDLK_a))
            dir -= 1;
        if (Input::IsKeyPressed(SDLK_RIGHT) || Input::IsKeyPressed(SDLK_d))
            dir += 1;
        m_basket += dir * BASKET_SPEED * float(Time::dt);
        if (Input::GetMouseDelta().x != 0)
            m_basket = Input::GetMousePosition().x;
        m_basket = std::clamp(m_basket, BASKET_W / 2, WIDTH - BASKET_W / 2);
    }

    int m_best;
    float m_basket = WIDTH / 2.0f;
    float m_spawn = 0;
    std::vector<Star> m_stars;
    int m_caught = 0, m_missed = 0;
};

void Title::Update() {
    if (Input::WasKeyPressed(SDLK_ESCAPE))
        m_engine->Quit();
    else if (GoOn())
        m_engine->ChangeScene(CreateRef<Play>(m_best));
}

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<Title>(0), WIDTH, HEIGHT, "Scenes",
                                 {.targetFrameRate = 60});
}
