// Breakout: knock every brick out of the wall with a ball kept in play by a paddle. The paddle
// follows the arrow keys, A/D or the mouse; where the ball meets it sets the angle it leaves at.
// SPACE, ENTER or a click serves, and starts a new game once the last ball is lost; ESC quits.
// Everything is drawn by Draw's immediate calls, and every hit has a sound. The best score is kept
// in the player's data folder between runs.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include <glm/glm.hpp>

#include <engine/audio/Sound.h>
#include <engine/core/Engine.h>
#include <engine/core/Files.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 800, HEIGHT = 600;
constexpr float TOP = 50; // the ceiling; the score and the lives are above it
constexpr int COLUMNS = 10, ROWS = 6, LIVES = 3;
constexpr float BRICK_W = 72, BRICK_H = 24, GAP = 4, WALL_Y = 80;
constexpr float WALL_X = (WIDTH - COLUMNS * (BRICK_W + GAP) + GAP) / 2;
constexpr float PADDLE_W = 110, PADDLE_H = 14, PADDLE_Y = HEIGHT - 44, PADDLE_SPEED = 640;
// Pixels a second. A step moves the ball less than its radius, so it never passes through a
// brick or the paddle between two steps.
constexpr float RADIUS = 8, SPEED = 400, SPEED_UP = 5, SPEED_MAX = 760;
constexpr float STEEPEST = 1.05f; // radians off vertical, off the paddle's very end
const Color ROW_COLORS[ROWS] = {RED, ORANGE, GOLD, LIME, SKYBLUE, PURPLE};

enum class State { Serve, Play, Over, Won };

// Whether a disc overlaps a rectangle: its nearest point to the centre is within the radius.
bool Touches(glm::vec2 center, float radius, Rectangle r) {
    const glm::vec2 nearest =
        glm::clamp(center, glm::vec2(r.x, r.y), glm::vec2(r.x + r.width, r.y + r.height));
    return glm::distance(nearest, center) <= radius;
}

class Breakout : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        // A sound that cannot be read is null, and the game goes on without it.
        m_blip = Sound::Load(EXAMPLE_ASSETS "blip.wav");
        m_brick = Sound::Load(EXAMPLE_ASSETS "coin.wav");
        m_lost = Sound::Load(EXAMPLE_ASSETS "hit.wav");
        LoadBest();
        NewGame();
    }
    // Closing the window mid-game keeps a score that beat the best too.
    ~Breakout() override { KeepBest(); }

    void Update() override {
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        MovePaddle();
        // Edges, not held keys: a tap serves once, however short.
        const bool go = Input::WasKeyPressed(SDLK_SPACE) || Input::WasKeyPressed(SDLK_RETURN) ||
                        Input::WasMousePressed(SDL_BUTTON_LEFT);
        switch (m_state) {
        case State::Serve:
            m_ball = {m_paddle, PADDLE_Y - RADIUS};
            if (go) {
                // Up and a little aside, to the left and the right by turns.
                const float angle = (m_lives % 2 ? 0.35f : -0.35f);
                m_velocity = m_speed * glm::vec2(std::sin(angle), -std::cos(angle));
                m_state = State::Play;
            }
            break;
        case State::Play:
            MoveBall();
            break;
        case State::Over:
        case State::Won:
            KeepBest();
            if (go)
                NewGame();
            break;
        }
    }

    void Draw(const Uni<Renderer>&) override {
        for (int i = 0; i < COLUMNS * ROWS; ++i)
            if (m_bricks[i])
                Draw::Rect(Brick(i), ROW_COLORS[i / COLUMNS]);
        Draw::Rect({0, TOP - 3, WIDTH, 3}, GRAY);
        Draw::Rect(Paddle(), LIGHTGRAY);
        if (m_state == State::Serve || m_state == State::Play)
            Draw::Circle(m_ball, RADIUS, WHITE);

        Draw::Text("SCORE " + std::to_string(m_score), {16, 10}, 28, WHITE);
        Draw::Text("BEST " + std::to_string(std::max(m_best, m_score)), {WIDTH / 2, 10}, 28, GOLD,
                   Draw::Align::Center);
        Draw::Text("LIVES " + std::to_string(m_lives), {WIDTH - 16, 10}, 28, WHITE,
                   Draw::Align::Right);
        const glm::vec2 middle(WIDTH / 2, 330);
        if (m_state == State::Serve)
            Draw::Text("SPACE or click to serve", middle, 26, LIGHTGRAY, Draw::Align::Center);
        if (m_state == State::Over || m_state == State::Won) {
            Draw::Text(m_state == State::Won ? "YOU WIN" : "GAME OVER", middle - glm::vec2(0, 50),
                       56, m_state == State::Won ? GOLD : RED, Draw::Align::Center);
            Draw::Text("SPACE or click to play again", middle + glm::vec2(0, 30), 26, LIGHTGRAY,
                       Draw::Align::Center);
        }
    }

private:
    static Rectangle Brick(int i) {
        return {WALL_X + float(i % COLUMNS) * (BRICK_W + GAP),
                WALL_Y + float(i / COLUMNS) * (BRICK_H + GAP), BRICK_W, BRICK_H};
    }
    Rectangle Paddle() const { return {m_paddle - PADDLE_W / 2, PADDLE_Y, PADDLE_W, PADDLE_H}; }

    static void Play(const Ref<Sound>& sound) {
        if (sound)
            sound->Play();
    }

    // A file that is missing or holds no number is a best of 0. Without a data folder the best
    // lasts until the program ends.
    void LoadBest() {
        const std::string dir = Files::DataDir("keel-breakout");
        if (dir.empty())
            return;
        m_bestPath = dir + "/best-score";
        if (const auto text = Files::LoadText(m_bestPath, 64))
            std::from_chars(text->data(), text->data() + text->size(), m_best);
    }
    // Saved when a game ends or the window closes, not at every brick: a save waits for the disk.
    void KeepBest() {
        if (m_score <= m_best)
            return;
        m_best = m_score;
        if (!m_bestPath.empty())
            Files::SaveText(m_bestPath, std::to_string(m_best) + "\n");
    }

    void NewGame() {
        m_bricks.fill(true);
        m_score = 0;
        m_lives = LIVES;
        m_speed = SPEED;
        m_state = State::Serve;
    }

    // Keys move the paddle; so does the mouse, whenever it has moved.
    void MovePaddle() {
        const float dir = float(Input::IsKeyPressed(SDLK_RIGHT) || Input::IsKeyPressed(SDLK_d)) -
                          float(Input::IsKeyPressed(SDLK_LEFT) || Input::IsKeyPressed(SDLK_a));
        m_paddle += dir * PADDLE_SPEED * float(Time::dt);
        const glm::vec2 mouse = Input::GetMousePosition();
        if (mouse != m_mouse)
            m_paddle = mouse.x;
        m_mouse = mouse;
        m_paddle = std::clamp(m_paddle, PADDLE_W / 2, WIDTH - PADDLE_W / 2);
    }

    void MoveBall() {
        m_ball += m_velocity * float(Time::dt);
        // The walls and the ceiling turn the ball back, only if it is heading into them.
        if ((m_ball.x < RADIUS && m_velocity.x < 0) ||
            (m_ball.x > WIDTH - RADIUS && m_velocity.x > 0)) {
            m_velocity.x = -m_velocity.x;
            Play(m_blip);
        }
        if (m_ball.y < TOP + RADIUS && m_velocity.y < 0) {
            m_velocity.y = -m_velocity.y;
            Play(m_blip);
        }
        // Off the paddle at an angle set by where it lands: straight up from the middle,
        // steeper to the side towards either end.
        if (m_velocity.y > 0 && m_ball.y < PADDLE_Y + PADDLE_H &&
            Touches(m_ball, RADIUS, Paddle())) {
            const float along = std::clamp((m_ball.x - m_paddle) / (PADDLE_W / 2), -1.0f, 1.0f);
            m_velocity =
                m_speed * glm::vec2(std::sin(along * STEEPEST), -std::cos(along * STEEPEST));
            m_ball.y = PADDLE_Y - RADIUS;
            Play(m_blip);
        }
        HitBrick();
        if (m_ball.y - RADIUS > HEIGHT) {
            Play(m_lost);
            m_state = --m_lives > 0 ? State::Serve : State::Over;
        }
    }

    // At most one brick a step: of two that the ball touches at their seam, one goes and the
    // ball turns away from both.
    void HitBrick() {
        for (int i = 0; i < COLUMNS * ROWS; ++i) {
            const Rectangle b = Brick(i);
            if (!m_bricks[i] || !Touches(m_ball, RADIUS, b))
                continue;
            m_bricks[i] = false;
            m_score += 10 * (ROWS - i / COLUMNS); // higher rows are worth more
            Play(m_brick);
            // The ball came in through the side it overlaps least; it leaves away from the
            // brick's middle along that axis.
            const float overlapX =
                std::min(m_ball.x + RADIUS - b.x, b.x + b.width - m_ball.x + RADIUS);
            const float overlapY =
                std::min(m_ball.y + RADIUS - b.y, b.y + b.height - m_ball.y + RADIUS);
            if (overlapX < overlapY)
                m_velocity.x = std::copysign(m_velocity.x, m_ball.x - (b.x + b.width / 2));
            else
                m_velocity.y = std::copysign(m_velocity.y, m_ball.y - (b.y + b.height / 2));
            // Faster as the wall thins.
            m_speed = std::min(m_speed + SPEED_UP, SPEED_MAX);
            m_velocity = glm::normalize(m_velocity) * m_speed;
            if (std::find(m_bricks.begin(), m_bricks.end(), true) == m_bricks.end())
                m_state = State::Won;
            return;
        }
    }

    ::Engine::Engine* m_engine = nullptr;
    Ref<Sound> m_blip, m_brick, m_lost;
    std::array<bool, COLUMNS * ROWS> m_bricks{};
    State m_state = State::Serve;
    int m_score = 0, m_lives = LIVES, m_best = 0;
    std::string m_bestPath; // empty without a data folder
    float m_paddle = WIDTH / 2, m_speed = SPEED;
    glm::vec2 m_ball{0, 0}, m_velocity{0, 0}, m_mouse{0, 0};
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<Breakout>(), WIDTH, HEIGHT, "Breakout",
                                 {.targetFrameRate = 60});
}
