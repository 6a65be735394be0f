// The engine's Update (controller, enemy, camera, force, physics, animation)
// on the game's scene, built without a window: the same component types and
// systems in the same order, the player and the enemy with their components,
// and the level's cells through Level::CreateCells, from the shipped level
// file or from a generated level.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Animation.h"
#include "Camera.h"
#include "CameraSystem.h"
#include "Clip.h"
#include "Collider.h"
#include "ControllerSystem.h"
#include "ECS.h"
#include "EnemySystem.h"
#include "Engine.h"
#include "ForceApplier.h"
#include "ForceGenerator.h"
#include "ForceSystem.h"
#include "Input.h"
#include "Level.h"
#include "LevelGen.h"
#include "MeshRenderer.h"
#include "PhysicsSystem.h"
#include "RigidBody.h"
#include "TextMesh.h"
#include "TileMap.h"
#include "Time.h"
#include "Transform.h"

using namespace Engine;
using glm::vec3;

namespace {

// A 256 by 192 sheet (the tile set's size) with no GL texture behind it.
class NoGLSheet : public Texture2D {
public:
    float getWidth() const override { return 256.0f; }
    float getHeight() const override { return 192.0f; }
};

// Scene assembly of the engine minus GL: returns the player.
EntityID BuildScene(const BenchLevel::Board& board) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<Mesh>();
    ecs.RegisterComponent<Texture2D>();
    ecs.RegisterComponent<Texture>();
    ecs.RegisterComponent<TextMesh>();
    ecs.RegisterComponent<Clip>();
    ecs.RegisterComponent<Controller>();
    ecs.RegisterComponent<RigidBody>();
    ecs.RegisterComponent<Collider>();
    ecs.RegisterComponent<ForceGenerator>();
    ecs.RegisterComponent<ForceApplier>();
    ecs.RegisterComponent<TileMap>();
    ecs.RegisterComponent<Animation>();
    ecs.RegisterComponent<Enemy>();

    Uni<Renderer> noRenderer;
    Ref<Shader> noShader;
    meshRenderer = CreateRef<MeshRenderer>(noRenderer, noShader);
    sysid = ecs.RegisterSystem(meshRenderer);
    ecs.RegisterSystem(CreateRef<TextRenderer>(noRenderer, noShader));
    ecs.RegisterSystem(CreateRef<TileMapRenderer>(noRenderer, noShader));
    ecs.RegisterSystem(CreateRef<ControllerSystem>());
    ecs.RegisterSystem(CreateRef<PhysicsSystem>());
    ecs.RegisterSystem(CreateRef<CameraSystem>());
    ecs.RegisterSystem(CreateRef<AnimationUpdater>());
    ecs.RegisterSystem(CreateRef<AnimationRenderer>(noRenderer, noShader));
    ecs.RegisterSystem(CreateRef<ForceSystem>());

    Ref<Texture2D> sheet = CreateRef<NoGLSheet>();
    player = ecs.CreateEntity();
    ecs.AddComponent<Transform>(player, vec3(250, 0, 0), vec3(0), vec3(64, 64, 0));
    Animation boat(sheet, 64, 64);
    ecs.AddComponent<Animation>(player, boat);
    ecs.AddComponent<Controller>(player, Controller());
    ecs.AddComponent<RigidBody>(player, RigidBody());
    ecs.AddComponent<Collider>(player, Collider{64, 64, true});
    ecs.AddComponent<ForceGenerator>(player, ForceGenerator{{0, 1960, 0}});

    enemy = ecs.CreateEntity();
    ecs.AddComponent<Transform>(enemy, vec3(400, 250, 0), vec3(0), vec3(64, 64, 0));
    ecs.AddComponent<Mesh>(enemy, Mesh::CreateMesh(sheet));
    ecs.AddComponent<Enemy>(enemy, Enemy(player));
    ecs.AddComponent<RigidBody>(enemy, RigidBody());
    ecs.RegisterSystem(CreateRef<EnemySystem>());

    EntityID text = ecs.CreateEntity();
    ecs.AddComponent<Transform>(text, vec3(10, 100, 0), vec3(0), vec3(1, 1, 0));
    ecs.AddComponent<TextMesh>(text, TextMesh());

    EntityID map = ecs.CreateEntity();
    ecs.AddComponent<TileMap>(map, sheet, board, 64, 64);
    ecs.AddComponent<Transform>(map, vec3(0), vec3(0), vec3(512, 512, 0));
    Level::CreateCells(board);
    Camera::Main().transform.position = vec3(0);
    return player;
}

// Steps with SPACE held and D and A taking turns every 400 steps, so the boat
// jumps, lands, rides the draughts and meets the fish near the start of any
// level for as long as the benchmark runs.
void RunUpdates(benchmark::State& state, const BenchLevel::Board& board) {
    BuildScene(board);
    Engine::Engine engine(1280, 720);
    Input::Clear();
    Input::UpdateKey(ControllerSystem::KeyJump, true);
    long step = 0;
    for (auto _ : state) {
        if (step % 400 == 0) {
            bool right = step % 800 == 0;
            Input::UpdateKey(ControllerSystem::KeyRight, right);
            Input::UpdateKey(ControllerSystem::KeyLeft, !right);
        }
        engine.Update(0.01);
        ++step;
    }
    state.counters["entities"] = double(ECS::Get().EntityCount());
    Input::Clear();
    meshRenderer.reset();
    ECS::Get().Reset();
}

void BM_SceneUpdate_Shipped(benchmark::State& state) {
    LevelData level;
    try {
        level = Level::Load(Level::PATH);
    } catch (const LevelError& e) {
        state.SkipWithError("run from the repository root: no ./Assets/level1.json");
        return;
    }
    RunUpdates(state, level.board);
}
BENCHMARK(BM_SceneUpdate_Shipped)->Unit(benchmark::kMicrosecond);

void BM_SceneUpdate_Generated(benchmark::State& state) {
    RunUpdates(state, BenchLevel::Generate(int(state.range(0))));
}
BENCHMARK(BM_SceneUpdate_Generated)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The first step after the level is made, which also indexes its colliders.
void BM_SceneFirstUpdate_Generated(benchmark::State& state) {
    const BenchLevel::Board board = BenchLevel::Generate(int(state.range(0)));
    Engine::Engine engine(1280, 720);
    for (auto _ : state) {
        state.PauseTiming();
        BuildScene(board);
        state.ResumeTiming();
        engine.Update(0.01);
    }
    meshRenderer.reset();
    ECS::Get().Reset();
}
BENCHMARK(BM_SceneFirstUpdate_Generated)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

// The two halves of a large level's start: reading its file, and making one
// entity per cell.
void BM_LevelParse(benchmark::State& state) {
    std::ostringstream file;
    {
        const std::string path = "bench-level-parse.json";
        BenchLevel::WriteJson(path, BenchLevel::Generate(int(state.range(0))));
        std::ifstream in(path);
        file << in.rdbuf();
        std::remove(path.c_str());
    }
    const std::string text = file.str();
    for (auto _ : state) {
        std::istringstream in(text);
        benchmark::DoNotOptimize(Level::Parse(in));
    }
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_LevelParse)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LevelCells(benchmark::State& state) {
    const BenchLevel::Board board = BenchLevel::Generate(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Collider>();
        ecs.RegisterComponent<ForceApplier>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(Level::CreateCells(board));
    }
    ECS::Get().Reset();
}
BENCHMARK(BM_LevelCells)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
