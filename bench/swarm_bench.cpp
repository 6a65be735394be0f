// A tower defence's step at scale, through the registry and, as the yardstick
// in the same run, through plain std::vectors doing the same: enemies made a
// few a step, walking across the field and removed at its end or when killed;
// towers finding the nearest enemy in range through a bucket grid built each
// step; bullets made, flown and removed on a hit. Ratios, not times, are what
// to compare (docs/performance.md).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include <glm/glm.hpp>

#include <engine/ecs/ECS.h>

using namespace Engine;

namespace {

constexpr float WIDTH = 1280, HEIGHT = 720, RANGE = 100, HIT = 8, DT = 0.01f;
constexpr float SPEED = 100, BULLET_SPEED = 400, BULLET_LIFE = 0.3f, HP = 30, DAMAGE = 10;
constexpr int COOLDOWN = 5; // steps
// Steps an enemy takes to cross, so `alive` / this enemies a step keep `alive` walking.
constexpr int CROSSING = int(WIDTH / (SPEED * DT));

struct Pos {
    glm::vec2 p;
};
struct Enemy {
    float hp;
};
struct Tower {
    int timer;
};
struct Bullet {
    glm::vec2 v;
    float life;
};

// Where an enemy walks: its lane from a number of its own.
float Lane(uint32_t n) {
    n *= 0x9E3779B1u;
    return float((n ^ (n >> 15)) % uint32_t(HEIGHT));
}

// The enemies' positions sorted into buckets of RANGE, each step anew.
template <typename Handle> struct Bins {
    static constexpr int COLS = int(WIDTH / RANGE) + 1, ROWS = int(HEIGHT / RANGE) + 1;
    struct Item {
        Handle h;
        glm::vec2 p;
    };
    std::vector<uint32_t> start, fill;
    std::vector<Item> raw, items;
    static int Bin(glm::vec2 p) {
        return std::clamp(int(p.y / RANGE), 0, ROWS - 1) * COLS + std::clamp(int(p.x / RANGE), 0, COLS - 1);
    }
    void Clear() { raw.clear(); }
    void Add(Handle h, glm::vec2 p) { raw.push_back({h, p}); }
    void Sort() {
        start.assign(COLS * ROWS + 1, 0);
        for (const Item& it : raw)
            ++start[Bin(it.p) + 1];
        for (int i = 0; i < COLS * ROWS; ++i)
            start[i + 1] += start[i];
        fill.assign(start.begin(), start.end() - 1);
        items.resize(raw.size());
        for (const Item& it : raw)
            items[fill[Bin(it.p)]++] = it;
    }
    // visit(item) for the items of the buckets the square around `at` meets.
    template <typename F> void Near(glm::vec2 at, float r, F&& visit) const {
        const int x0 = std::max(0, int((at.x - r) / RANGE)), x1 = std::min(COLS - 1, int((at.x + r) / RANGE));
        const int y0 = std::max(0, int((at.y - r) / RANGE)), y1 = std::min(ROWS - 1, int((at.y + r) / RANGE));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                for (uint32_t i = start[y * COLS + x]; i < start[y * COLS + x + 1]; ++i)
                    if (!visit(items[i]))
                        return;
    }
    // The position of the nearest item within RANGE of `at`, if any.
    std::optional<glm::vec2> Nearest(glm::vec2 at) const {
        float best = RANGE * RANGE;
        std::optional<glm::vec2> found;
        Near(at, RANGE, [&](const Item& it) {
            const float d = glm::dot(it.p - at, it.p - at);
            if (d < best) {
                best = d;
                found = it.p;
            }
            return true;
        });
        return found;
    }
};

// Ten by six towers over the field.
template <typename Place> void Towers(Place place) {
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 10; ++c)
            place(glm::vec2{64 + c * 128.0f, 60 + r * 120.0f}, (r * 10 + c) % COOLDOWN);
}

// The registry: components, Each, removal inside the walks.
class Registry {
public:
    explicit Registry(int alive) : m_spawn(std::max(1, alive / CROSSING)) {
        m_ecs.RegisterComponent<Pos>();
        m_ecs.RegisterComponent<Enemy>();
        m_ecs.RegisterComponent<Tower>();
        m_ecs.RegisterComponent<Bullet>();
        Towers([&](glm::vec2 p, int timer) { m_ecs.CreateEntities<Pos, Tower>(1, Pos{p}, Tower{timer}); });
    }
    void Step() {
        ECS& ecs = m_ecs;
        ecs.CreateEntities<Pos, Enemy>(m_spawn, [](EntityID e) { return Pos{{0, Lane(e)}}; }, Enemy{HP});
        ecs.Each<Pos, Enemy>([&](EntityID e, Pos& p, Enemy&) {
            p.p.x += SPEED * DT;
            if (p.p.x >= WIDTH)
                ecs.RemoveEntity(e);
        });
        m_bins.Clear();
        ecs.Each<Pos, Enemy>([&](EntityID e, Pos& p, Enemy&) { m_bins.Add(e, p.p); });
        m_bins.Sort();
        ecs.Each<Tower, Pos>([&](EntityID, Tower& t, Pos& tp) {
            if (--t.timer > 0)
                return;
            const std::optional<glm::vec2> target = m_bins.Nearest(tp.p);
            if (!target)
                return;
            t.timer = COOLDOWN;
            const glm::vec2 v = glm::normalize(*target - tp.p) * BULLET_SPEED;
            ecs.CreateEntities<Pos, Bullet>(1, Pos{tp.p}, Bullet{v, BULLET_LIFE});
        });
        ecs.Each<Bullet, Pos>([&](EntityID b, Bullet& bu, Pos& bp) {
            bp.p += bu.v * DT;
            bu.life -= DT;
            bool spent = bu.life <= 0;
            m_bins.Near(bp.p, HIT, [&](const auto& it) {
                if (spent)
                    return false;
                if (glm::dot(it.p - bp.p, it.p - bp.p) > HIT * HIT || !ecs.HasComponent<Enemy>(it.h))
                    return true;
                spent = true;
                Ref<Enemy> enemy = ecs.GetComponent<Enemy>(it.h);
                if ((enemy->hp -= DAMAGE) <= 0) {
                    ecs.RemoveEntity(it.h);
                    ++kills;
                }
                return false;
            });
            if (spent)
                ecs.RemoveEntity(b);
        });
    }
    size_t Alive() const { return m_ecs.EntityCount(); }
    size_t kills = 0;

private:
    ECS m_ecs;
    size_t m_spawn;
    Bins<EntityID> m_bins;
};

// The yardstick: the same in vectors, an enemy removed by moving the last
// into its place, a killed one marked and swept after the bullets' pass.
class Vectors {
public:
    explicit Vectors(int alive) : m_spawn(std::max(1, alive / CROSSING)) {
        Towers([&](glm::vec2 p, int timer) { m_towers.push_back({p, timer}); });
    }
    void Step() {
        for (size_t k = 0; k < m_spawn; ++k)
            m_enemies.push_back({{0, Lane(++m_made)}, HP});
        for (size_t i = 0; i < m_enemies.size();) {
            m_enemies[i].p.x += SPEED * DT;
            if (m_enemies[i].p.x >= WIDTH) {
                m_enemies[i] = m_enemies.back();
                m_enemies.pop_back();
                continue;
            }
            ++i;
        }
        m_bins.Clear();
        for (size_t i = 0; i < m_enemies.size(); ++i)
            m_bins.Add(uint32_t(i), m_enemies[i].p);
        m_bins.Sort();
        for (TowerAt& t : m_towers) {
            if (--t.timer > 0)
                continue;
            const std::optional<glm::vec2> target = m_bins.Nearest(t.p);
            if (!target)
                continue;
            t.timer = COOLDOWN;
            m_bullets.push_back({t.p, glm::normalize(*target - t.p) * BULLET_SPEED, BULLET_LIFE});
        }
        for (size_t i = 0; i < m_bullets.size();) {
            Shot& b = m_bullets[i];
            b.p += b.v * DT;
            b.life -= DT;
            bool spent = b.life <= 0;
            m_bins.Near(b.p, HIT, [&](const auto& it) {
                if (spent)
                    return false;
                Walker& enemy = m_enemies[it.h];
                if (glm::dot(it.p - b.p, it.p - b.p) > HIT * HIT || enemy.hp <= 0)
                    return true;
                spent = true;
                if ((enemy.hp -= DAMAGE) <= 0)
                    ++kills;
                return false;
            });
            if (spent) {
                b = m_bullets.back();
                m_bullets.pop_back();
                continue;
            }
            ++i;
        }
        std::erase_if(m_enemies, [](const Walker& w) { return w.hp <= 0; });
    }
    size_t Alive() const { return m_towers.size() + m_enemies.size() + m_bullets.size(); }
    size_t kills = 0;

private:
    struct Walker {
        glm::vec2 p;
        float hp;
    };
    struct TowerAt {
        glm::vec2 p;
        int timer;
    };
    struct Shot {
        glm::vec2 p, v;
        float life;
    };
    size_t m_spawn;
    uint32_t m_made = 0;
    std::vector<Walker> m_enemies;
    std::vector<TowerAt> m_towers;
    std::vector<Shot> m_bullets;
    Bins<uint32_t> m_bins;
};

// One step a round, after enough steps for the first enemies to have crossed.
template <typename World> void BM_Step(benchmark::State& state) {
    World world(int(state.range(0)));
    size_t kills = 0;
    for (int i = 0; i < 2 * CROSSING; ++i)
        world.Step();
    kills = world.kills;
    for (auto _ : state)
        world.Step();
    state.counters["alive"] = double(world.Alive());
    state.counters["kills_a_step"] =
        benchmark::Counter(double(world.kills - kills) / double(state.iterations()));
}

} // namespace

BENCHMARK_TEMPLATE(BM_Step, Vectors)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Step, Registry)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);
