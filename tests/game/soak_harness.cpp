// The whole game run in-process for a given time with random keys: the same
// calls as the entry point, the loop driven by the real clock, and SDL key
// events from a fixed-seed schedule pushed into SDL's queue as a player's
// would arrive. Every frame the player's placement must be finite and inside
// the level; resident memory is sampled once a second.
//
// soak_harness [seconds] [seed]   exit status 0 when every check held

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>

#include "game/Level.h"
#include "game/Scene.h"

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Keys the game ignores.
constexpr std::array<SDL_Keycode, 7> kOtherKeys = {SDLK_w,      SDLK_s,      SDLK_e, SDLK_RETURN,
                                                   SDLK_ESCAPE, SDLK_LSHIFT, SDLK_q};
constexpr std::array<SDL_Keycode, 3> kPlayerKeys = {SDLK_a, SDLK_d, SDLK_SPACE};

// A player's hands: runs of holding left or right (or neither) with or
// without jump, each a random length, between them presses of other keys,
// key repeats, and now and then a storm of random presses and releases.
class KeySchedule {
public:
    explicit KeySchedule(unsigned seed) : m_rng(seed) {}

    // Pushes this frame's events; returns how many.
    int Push(double now) {
        int count = 0;
        if (now >= m_until) {
            std::uniform_real_distribution<double> length(0.05, 3.0);
            std::uniform_int_distribution<int> way(0, 4);
            std::bernoulli_distribution jump(0.5);
            m_until = now + length(m_rng);
            const int w = way(m_rng);
            const std::array<bool, 3> held = {w == 0 || w == 1, w == 2 || w == 3, jump(m_rng)};
            for (size_t k = 0; k < held.size(); ++k)
                if (held[k] != m_held[k] || held[k])
                    count += Key(kPlayerKeys[k], held[k], held[k] == m_held[k]);
            m_held = held;
        }
        std::uniform_int_distribution<int> roll(0, 999);
        const int r = roll(m_rng);
        if (r < 20) {
            std::uniform_int_distribution<size_t> pick(0, kOtherKeys.size() - 1);
            count += Key(kOtherKeys[pick(m_rng)], r % 2 == 0, false);
        } else if (r < 22) {
            count += Storm();
        }
        return count;
    }

private:
    int Storm() {
        std::uniform_int_distribution<size_t> pick(0, kOtherKeys.size() + kPlayerKeys.size() - 1);
        std::bernoulli_distribution down(0.5);
        for (int i = 0; i < 200; ++i) {
            const size_t k = pick(m_rng);
            Key(k < kOtherKeys.size() ? kOtherKeys[k] : kPlayerKeys[k - kOtherKeys.size()],
                down(m_rng), false);
        }
        // The hands are where they were before the storm from the next run on.
        m_held = {true, true, true};
        return 200;
    }
    static int Key(SDL_Keycode key, bool down, bool repeat) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        SDL_PushEvent(&event);
        return 1;
    }

    std::mt19937 m_rng;
    double m_until = 0.0;
    std::array<bool, 3> m_held = {false, false, false};
};

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;

    // The level's rectangle, from its own file.
    const Engine::LevelData level = Engine::Level::Load(Engine::Level::PATH);
    size_t rows = 0;
    for (const auto& column : level.board)
        rows = std::max(rows, column.size());
    const float right = static_cast<float>(Engine::Level::CELL * level.board.size());
    const float bottom = static_cast<float>(Engine::Level::CELL * rows);

    Engine::Engine engine(1280, 720);
    engine.InitializeGraphicsSubSystem();
    engine.SetScene(Engine::CreateRef<Engine::GameScene>());
    engine.Start();
    Engine::ECS& ecs = Engine::ECS::Get();
    const Engine::Ref<Engine::Transform> place =
        ecs.GetComponent<Engine::Transform>(Engine::player);
    const Engine::Ref<Engine::RigidBody> body = ecs.GetComponent<Engine::RigidBody>(Engine::player);

    KeySchedule keys(seed);
    long frames = 0, events = 0, outside = 0;
    glm::vec3 lo = place->position, hi = place->position;
    std::vector<long> rss;
    const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
    const Uint64 start = SDL_GetPerformanceCounter();
    Uint64 last = start;
    bool quit = false;
    while (!quit) {
        const Uint64 now = SDL_GetPerformanceCounter();
        const double elapsed = static_cast<double>(now - start) / frequency;
        if (elapsed >= seconds)
            break;
        if (elapsed >= static_cast<double>(rss.size()))
            rss.push_back(ResidentKiB());
        events += keys.Push(elapsed);
        quit = engine.Frame(static_cast<double>(now - last) / frequency);
        last = now;
        ++frames;

        const glm::vec3 p = place->position;
        lo = glm::min(lo, p);
        hi = glm::max(hi, p);
        const bool finite = std::isfinite(p.x) && std::isfinite(p.y) &&
                            std::isfinite(body->velocity.x) && std::isfinite(body->velocity.y);
        // The boat's 64-unit box within the columns, above the bottom row;
        // jumps and draughts may take it above the top one.
        if (!finite || p.x < 0.0f || p.x + 64.0f > right || p.y + 64.0f > bottom) {
            if (outside++ < 5)
                std::fprintf(stderr, "frame %ld, %.2f s: player at (%g, %g), velocity (%g, %g)\n",
                             frames, elapsed, p.x, p.y, body->velocity.x, body->velocity.y);
        }
    }
    engine.Shutdown();

    std::printf("soak: %.0f s, seed %u, %ld frames, %ld key events\n", seconds, seed, frames,
                events);
    std::printf("player x %.1f to %.1f, y %.1f to %.1f (level 0 to %.0f, bottom %.0f)\n", lo.x,
                hi.x, lo.y, hi.y, right, bottom);
    std::printf("VmRSS KiB each minute:");
    for (size_t i = 0; i < rss.size(); i += 60)
        std::printf(" %ld", rss[i]);
    std::printf("\n");
    // After ten seconds of start-up: the first and the last minute, or
    // quarter of a shorter run.
    const size_t skip = std::min<size_t>(10, rss.size());
    const size_t window = std::clamp<size_t>((rss.size() - skip) / 4, 1, 60);
    const auto average = [&](size_t from) {
        double sum = 0;
        size_t n = 0;
        for (size_t i = from; i < from + window && i < rss.size(); ++i, ++n)
            sum += static_cast<double>(rss[i]);
        return n ? sum / static_cast<double>(n) : 0.0;
    };
    if (rss.size() > skip)
        std::printf("VmRSS KiB: average of %zu s after start-up %.0f, of the last %zu s %.0f\n",
                    window, average(skip), window, average(rss.size() - window));
    if (outside)
        std::printf("FAIL: the player left the level in %ld frames\n", outside);
    return outside ? 1 : 0;
}
