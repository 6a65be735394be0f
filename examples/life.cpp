// Conway's Life on a 320 by 180 picture: every cell is a pixel of an Image, the
// generations are stepped in it, and the texture made from it is updated each
// frame and shown four times as large, cell for cell. Cells that die leave a
// fading trail. The left mouse button paints living cells, the right one
// clears them; SPACE pauses, R sows a new random field; ESC quits.
#include <random>
#include <string>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/image/Image.h>
#include <engine/render/Draw.h>
#include <engine/render/Texture.h>

namespace {

using namespace Engine;

constexpr int WIDTH = 1280, HEIGHT = 720;
constexpr int CELLS_W = 320, CELLS_H = 180, SCALE = WIDTH / CELLS_W;
// Steps of the engine (100 a second) a generation lasts.
constexpr int STEPS_PER_GENERATION = 3;

const Image::Rgba ALIVE{120, 230, 110};
const Image::Rgba BORN_DEAD{40, 96, 120}; // a cell that has just died
const Image::Rgba GROUND{14, 18, 28};

// A dead cell's colour one generation later: a step closer to the ground.
Image::Rgba Fade(Image::Rgba c) {
    auto fade = [](uint8_t from, uint8_t to) { return uint8_t(to + (from - to) * 7 / 8); };
    return {fade(c.r, GROUND.r), fade(c.g, GROUND.g), fade(c.b, GROUND.b)};
}

class Life : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        Sow();
        m_texture = Texture2D::Create(m_cells);
    }

    void Update() override {
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::WasKeyPressed(SDLK_SPACE))
            m_paused = !m_paused;
        if (Input::WasKeyPressed(SDLK_r))
            Sow();
        // The pointer in cells; a brush of three by three.
        const glm::vec2 mouse = Input::GetMousePosition() / float(SCALE);
        const Image::Area brush{int(mouse.x) - 1, int(mouse.y) - 1, 3, 3};
        if (Input::IsMouseButtonDown(SDL_BUTTON_LEFT))
            m_cells.FillRect(brush, ALIVE);
        if (Input::IsMouseButtonDown(SDL_BUTTON_RIGHT))
            m_cells.FillRect(brush, GROUND);
        if (!m_paused && ++m_steps % STEPS_PER_GENERATION == 0)
            Step();
    }

    void Draw(const Uni<Renderer>&) override {
        m_texture->Update(m_cells);
        Draw::Sprite(m_texture, {0, 0, WIDTH, HEIGHT});
        Draw::Rect({0, 0, WIDTH, 40}, {0, 0, 0, 170});
        const std::string caption = "Life, generation " + std::to_string(m_generation) +
                                    (m_paused ? " (paused)" : "") +
                                    "   mouse: paint / clear   SPACE: pause   R: sow";
        Draw::Text(caption, {16, 8}, 24, WHITE);
    }

private:
    bool Alive(int x, int y) const {
        // The field wraps round at its edges.
        return m_cells.GetPixel((x + CELLS_W) % CELLS_W, (y + CELLS_H) % CELLS_H) == ALIVE;
    }

    void Step() {
        for (int y = 0; y < CELLS_H; ++y)
            for (int x = 0; x < CELLS_W; ++x) {
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        n += (dx || dy) && Alive(x + dx, y + dy);
                const bool alive = Alive(x, y);
                m_next.SetPixel(x, y,
                                n == 3 || (alive && n == 2) ? ALIVE
                                : alive                     ? BORN_DEAD
                                                            : Fade(m_cells.GetPixel(x, y)));
            }
        std::swap(m_cells, m_next);
        ++m_generation;
    }

    // A quarter of the cells alive, at random.
    void Sow() {
        m_cells = Image(CELLS_W, CELLS_H, GROUND);
        m_next = Image(CELLS_W, CELLS_H, GROUND);
        std::bernoulli_distribution alive(0.25);
        for (int y = 0; y < CELLS_H; ++y)
            for (int x = 0; x < CELLS_W; ++x)
                if (alive(m_random))
                    m_cells.SetPixel(x, y, ALIVE);
        m_generation = 0;
    }

    ::Engine::Engine* m_engine = nullptr;
    Image m_cells, m_next;
    Ref<Texture2D> m_texture;
    std::mt19937 m_random{2024};
    long m_steps = 0, m_generation = 0;
    bool m_paused = false;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<Life>(), WIDTH, HEIGHT, "Life",
                                 {.targetFrameRate = 60});
}
