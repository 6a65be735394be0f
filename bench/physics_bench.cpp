#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/CellGrid.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/render/CameraSystem.h>

#include "game/ControllerSystem.h"
#include "game/EnemySystem.h"

using namespace Engine;
using glm::vec3;

namespace {

// A level of `cells` solid 64-unit cells laid out in rows of 100 below the
// player, a floor under it and a few force zones; returns the player.
EntityID BuildLevel(int cells) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<RigidBody>();
    ecs.RegisterComponent<Collider>();
    ecs.RegisterComponent<ForceGenerator>();
    ecs.RegisterComponent<ForceApplier>();
    ecs.RegisterComponent<Controller>();
    ecs.RegisterComponent<Enemy>();
    for (int i = 0; i < cells; ++i) {
        EntityID e = ecs.CreateEntity();
        vec3 p(64.0f * float(i % 100 - 10), 64.0f * float(1 + i / 100), 0.0f);
        ecs.AddComponent<Transform>(e, p, vec3(0), vec3(64, 64, 0));
        ecs.AddComponent<Collider>(e, Collider{64, 64, true});
    }
    for (int i = 0; i < 8; ++i) {
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, vec3(640.0f + 64.0f * float(i), 0, 0), vec3(0),
                                    vec3(64, 64, 0));
        ecs.AddComponent<Collider>(e, Collider{64, 64, false});
        ecs.AddComponent<ForceApplier>(e, ForceApplier{{0, -2400, 0}});
    }
    EntityID player = ecs.CreateEntity();
    ecs.AddComponent<Transform>(player, vec3(0, 0, 0), vec3(0), vec3(64, 64, 0));
    ecs.AddComponent<Collider>(player, Collider{64, 64, true});
    ecs.AddComponent<RigidBody>(player, RigidBody{});
    ecs.AddComponent<Controller>(player, Controller{});
    ecs.AddComponent<ForceGenerator>(player, ForceGenerator{{0, 1960, 0}});
    Time::dt = 0.01;
    return player;
}

// One body resting on the floor (a contact with search every step).
void BM_PhysicsStep(benchmark::State& state) {
    EntityID player = BuildLevel(int(state.range(0)));
    Ref<PhysicsSystem> physics = CreateRef<PhysicsSystem>();
    Ref<RigidBody> rb = ECS::Get().GetComponent<RigidBody>(player);
    Ref<Transform> t = ECS::Get().GetComponent<Transform>(player);
    for (auto _ : state) {
        t->position = {100, 0, 0};
        rb->velocity = {150, 19.6f, 0};
        physics->Run(player);
    }
    state.counters["cells"] = double(state.range(0));
    ECS::Get().Reset();
}
BENCHMARK(BM_PhysicsStep)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The five simulation systems in the game's order, with the player running and
// jumping across the level and an enemy patrolling.
void BM_UpdateStep(benchmark::State& state) {
    EntityID player = BuildLevel(int(state.range(0)));
    ECS& ecs = ECS::Get();
    EntityID enemy = ecs.CreateEntity();
    ecs.AddComponent<Transform>(enemy, vec3(400, 0, 0), vec3(0), vec3(64, 64, 0));
    ecs.AddComponent<Enemy>(enemy, player);
    std::vector<Ref<SystemBase>> systems = {
        CreateRef<ControllerSystem>(), CreateRef<PhysicsSystem>(),
        CreateRef<CameraSystem<Controller>>(), CreateRef<ForceSystem>(), CreateRef<EnemySystem>()};
    for (Ref<SystemBase>& s : systems)
        ecs.RegisterSystem(s);
    const Archetype schedule[] = {
        ecs.GetArchetype<Controller, RigidBody>(), ecs.GetArchetype<Enemy, Transform>(),
        ecs.GetArchetype<Controller, Transform>(), ecs.GetArchetype<ForceGenerator, RigidBody>(),
        ecs.GetArchetype<RigidBody, Transform, Collider>()};
    Input::Clear();
    Input::UpdateKey(100, true);
    Input::UpdateKey(32, true);
    for (auto _ : state)
        for (const Archetype& arch : schedule)
            ecs.RunSystemArch(arch);
    Input::Clear();
    ecs.Reset();
}
BENCHMARK(BM_UpdateStep)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Boxes falling into a heap on a floor of 1,000 cells, the force and physics
// steps of each round: what many bodies meeting each other cost. Bodies find
// each other through a grid, so 2,000 boxes cost about ten times 200, not a
// hundred.
void BM_ManyBodies(benchmark::State& state) {
    BuildLevel(1000);
    ECS& ecs = ECS::Get();
    for (int i = 0; i < int(state.range(0)); ++i) {
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, vec3(40.0f * float(i % 50), -40.0f * float(1 + i / 50), 0),
                                    vec3(0), vec3(32, 32, 0));
        ecs.AddComponent<Collider>(e, Collider{32, 32, true});
        ecs.AddComponent<RigidBody>(e, RigidBody{});
        ecs.AddComponent<ForceGenerator>(e, ForceGenerator{{0, 1960, 0}});
    }
    for (Ref<SystemBase> s :
         {Ref<SystemBase>(CreateRef<ForceSystem>()), Ref<SystemBase>(CreateRef<PhysicsSystem>())})
        ecs.RegisterSystem(s);
    const Archetype forces = ecs.GetArchetype<ForceGenerator, RigidBody>();
    const Archetype bodies = ecs.GetArchetype<RigidBody, Transform, Collider>();
    for (auto _ : state) {
        ecs.RunSystemArch(forces);
        ecs.RunSystemArch(bodies);
    }
    state.counters["bodies"] = double(state.range(0));
    ecs.Reset();
}
BENCHMARK(BM_ManyBodies)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

// A ray across a 1,000 by 1,000 grid of open 16-unit cells, about 2,000 cells
// crossed, through CastRay and through the plainest walk over the same bytes:
// the price of exact corners, slopes and the sides beyond the grid is their ratio.
constexpr int RAY_GRID = 1000;
const glm::vec2 RAY_FROM{8.5f, 3.25f}, RAY_TO{15990.0f, 15100.0f};

void BM_CastRayLong(benchmark::State& state) {
    const CellGrid grid(RAY_GRID, RAY_GRID, 16, 16);
    for (auto _ : state)
        benchmark::DoNotOptimize(CastRay(grid, RAY_FROM, RAY_TO));
}
BENCHMARK(BM_CastRayLong)->Unit(benchmark::kMicrosecond);

// Amanatides and Woo's walk as one would write it in a hurry: no sides, no
// floors, corners as rounding falls.
int PlainDda(const std::vector<uint8_t>& cells, int n, float size, glm::vec2 a, glm::vec2 b) {
    const glm::vec2 d = b - a;
    int x = int(a.x / size), y = int(a.y / size);
    const int sx = d.x > 0 ? 1 : -1, sy = d.y > 0 ? 1 : -1;
    const float dtx = std::abs(size / d.x), dty = std::abs(size / d.y);
    float tx = ((sx > 0 ? x + 1 : x) * size - a.x) / d.x,
          ty = ((sy > 0 ? y + 1 : y) * size - a.y) / d.y;
    while (x >= 0 && y >= 0 && x < n && y < n && std::min(tx, ty) <= 1) {
        if (cells[size_t(y) * size_t(n) + size_t(x)])
            return y * n + x;
        if (tx < ty) {
            x += sx;
            tx += dtx;
        } else {
            y += sy;
            ty += dty;
        }
    }
    return -1;
}

void BM_PlainDdaLong(benchmark::State& state) {
    const std::vector<uint8_t> cells(size_t(RAY_GRID) * RAY_GRID, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainDda(cells, RAY_GRID, 16, RAY_FROM, RAY_TO));
}
BENCHMARK(BM_PlainDdaLong)->Unit(benchmark::kMicrosecond);

} // namespace
