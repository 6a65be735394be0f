#include <benchmark/benchmark.h>

#include <cmath>

#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
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

} // namespace
