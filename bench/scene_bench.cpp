// The engine's Update (controller, enemy, camera, force, physics, animation)
// on the game's scene, built by the game's own code without a window, from
// the shipped level file or from a generated level.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <engine/audio/Clip.h>
#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/Camera.h>
#include <engine/render/CameraSystem.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/TileMap.h>
#include <engine/text/TextMesh.h>

#include "LevelGen.h"
#include "game/ControllerSystem.h"
#include "game/EnemySystem.h"
#include "game/Level.h"
#include "game/Scene.h"

using namespace Engine;
using glm::vec3;

namespace {

// A 256 by 192 sheet (the tile set's size) with no GL texture behind it,
// under a made-up name, so that its tiles are cut as a real sheet's.
class NoGLSheet : public Texture2D {
public:
    float getWidth() const override { return 256.0f; }
    float getHeight() const override { return 192.0f; }
    unsigned int getID() const override { return 1; }
};

// The game's content minus GL: sheets without textures, no font, shader or
// music, and the given board as the level.
class NoGLContent : public SceneContent {
public:
    explicit NoGLContent(const BenchLevel::Board& board) : m_board(board) {}
    Font LoadFont(const char*) override { return Font(); }
    Ref<Shader> LoadShader(const std::string&) override { return nullptr; }
    Ref<Texture2D> LoadTexture(const std::string&) override { return m_sheet; }
    Ref<Clip> LoadMusic(const std::string&) override { return nullptr; }
    LevelData LoadLevel(const std::string&, bool) override {
        LevelData level;
        level.board = m_board;
        level.tilemapPath = "tiles";
        level.tileW = level.tileH = 64;
        return level;
    }

private:
    BenchLevel::Board m_board;
    Ref<Texture2D> m_sheet = CreateRef<NoGLSheet>();
};

// The game's own scene on the given board, without a window, in the engine
// that runs its update schedule.
void BuildScene(::Engine::Engine& engine, const BenchLevel::Board& board) {
    ECS::Get().Reset();
    auto scene = CreateRef<GameScene>(CreateUni<NoGLContent>(board));
    engine.SetScene(scene);
    scene->Build(engine);
    Camera::Main().transform.position = vec3(0);
}

void DropScene(::Engine::Engine& engine) {
    ECS::Get().Reset();
    ReleaseSceneHandles();
    engine.SetScene(nullptr);
}

// Steps with SPACE held and D and A taking turns every 400 steps, so the boat
// jumps, lands, rides the draughts and meets the fish near the start of any
// level for as long as the benchmark runs.
void RunUpdates(benchmark::State& state, const BenchLevel::Board& board) {
    ::Engine::Engine engine(1280, 720);
    BuildScene(engine, board);
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
    DropScene(engine);
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
    ::Engine::Engine engine(1280, 720);
    for (auto _ : state) {
        state.PauseTiming();
        BuildScene(engine, board);
        state.ResumeTiming();
        engine.Update(0.01);
    }
    DropScene(engine);
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
    // As the game reads it: the whole file in memory.
    for (auto _ : state)
        benchmark::DoNotOptimize(Level::Parse(std::string_view(text)));
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

// The game's content minus GL again, its level read from a file as the game
// reads it.
class FileContent : public NoGLContent {
public:
    FileContent() : NoGLContent({}) {}
    LevelData LoadLevel(const std::string& path, bool) override { return Level::Load(path); }
    Tiled::MapTextures LoadTextures(const Tiled::Map& map) override {
        return Tiled::CreateTextures(
            std::vector<Ref<Texture2D>>(map.tilesets.size(), CreateRef<NoGLSheet>()),
            Tiled::DecodePictures(map));
    }
};

// A level named on the command line, saved again: the reload itself and the
// step after it, which indexes the new colliders, both on the main thread.
void Reload(benchmark::State& state, const std::string& path) {
    ::Engine::Engine engine(1280, 720);
    ECS::Get().Reset();
    auto scene = CreateRef<GameScene>(CreateUni<FileContent>(), path);
    engine.SetScene(scene);
    scene->Build(engine);
    engine.Update(0.01);
    // Each reload says so on stderr.
    std::fflush(stderr);
    const int kept = dup(STDERR_FILENO);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDERR_FILENO);
    for (auto _ : state) {
        if (!scene->ReloadLevel())
            state.SkipWithError("the level did not reload");
        engine.Update(0.01);
    }
    std::fflush(stderr);
    dup2(kept, STDERR_FILENO);
    close(kept);
    close(quiet);
    state.counters["entities"] = double(ECS::Get().EntityCount());
    DropScene(engine);
}

void BM_Reload_Shipped(benchmark::State& state) {
    Reload(state, "Assets/level1.tmx");
}
BENCHMARK(BM_Reload_Shipped)->Unit(benchmark::kMillisecond);

void BM_Reload_Generated(benchmark::State& state) {
    const BenchLevel::Board board = BenchLevel::Generate(int(state.range(0)));
    const std::string json = "bench-reload.json", tmx = "Assets/bench-reload.tmx";
    BenchLevel::WriteJson(json, board);
    BenchLevel::WriteText(tmx, BenchLevel::TiledLevel(board, "zlib"));
    Reload(state, state.range(1) ? tmx : json);
    std::remove(json.c_str());
    std::remove(tmx.c_str());
}
// The level in the game's own JSON (0) and as a zlib TMX (1).
BENCHMARK(BM_Reload_Generated)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
