#include "game/Scene.h"

#include <algorithm>
#include <chrono>

#include <engine/audio/Clip.h>
#include <engine/core/Log.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/CameraSystem.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/Texture.h>
#include <engine/render/TileMap.h>
#include <engine/text/TextMesh.h>
#include <engine/tiled/TiledTileMap.h>

#include "game/Controller.h"
#include "game/ControllerSystem.h"
#include "game/Enemy.h"
#include "game/EnemySystem.h"
#include "game/Tuning.h"

namespace Engine {

Ref<Shader> shader;
EntityID player = 0;
EntityID enemy = 0;
SystemID sysid = 0;
Ref<SystemBase> meshRenderer;
Ref<SystemBase> controllerSystem;
Ref<SystemBase> physicsSystem;
Ref<SystemBase> cameraSystem;
Ref<SystemBase> enemySystem;

namespace {
using namespace SceneFiles;
constexpr int BOAT_FRAME = 64;
constexpr const char* HINT = "AD to move, SPACE to jump, get over the vvv fish.";
} // namespace

Font SceneContent::LoadFont(const char* path) {
    return Font::loadFont(path);
}

Ref<Shader> SceneContent::LoadShader(const std::string& path) {
    return CreateRef<Shader>(path);
}

Ref<Texture2D> SceneContent::LoadTexture(const std::string& path) {
    return Texture2D::Create(path);
}

Ref<Clip> SceneContent::LoadMusic(const std::string& path) {
    return Clip::LoadClip(path);
}

LevelData SceneContent::LoadLevel(const std::string& path) {
    return Level::Load(path);
}

std::vector<Ref<Texture2D>> SceneContent::LoadSheets(const Tiled::Map& map) {
    try {
        return Tiled::LoadSheets(map);
    } catch (const Tiled::MapError& error) {
        throw LevelError(error.what());
    }
}

void RegisterSceneComponents(ECS& ecs) {
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
}

void RegisterSceneSystems(ECS& ecs, Uni<Renderer>& renderer) {
    meshRenderer = CreateRef<MeshRenderer>(renderer, shader);
    sysid = ecs.RegisterSystem(meshRenderer);
    ecs.RegisterSystem(CreateRef<TextRenderer>(renderer, shader));
    ecs.RegisterSystem(CreateRef<TileMapRenderer>(renderer, shader));
    controllerSystem = CreateRef<ControllerSystem>();
    ecs.RegisterSystem(controllerSystem);
    physicsSystem = CreateRef<PhysicsSystem>();
    ecs.RegisterSystem(physicsSystem);
    // One handle, three systems in a row: it ends up holding the last.
    cameraSystem = CreateRef<CameraSystem<Controller>>();
    ecs.RegisterSystem(cameraSystem);
    cameraSystem = CreateRef<AnimationUpdater>();
    ecs.RegisterSystem(cameraSystem);
    cameraSystem = CreateRef<AnimationRenderer>(renderer, shader);
    ecs.RegisterSystem(cameraSystem);
    ecs.RegisterSystem(CreateRef<ForceSystem>());
}

void RunUpdateSchedule() {
    // Without a scene there are no component types to name.
    if (!meshRenderer)
        return;
    ECS& ecs = ECS::Get();
    ecs.RunSystemArch(ecs.GetArchetype<Controller, RigidBody>());
    ecs.RunSystemArch(ecs.GetArchetype<Enemy, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<Controller, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<ForceGenerator, RigidBody>());
    ecs.RunSystemArch(ecs.GetArchetype<RigidBody, Transform, Collider>());
    ecs.RunSystemArch(ecs.GetArchetype<Animation>());
}

void RunFrameSchedule(const Uni<Renderer>& renderer) {
    if (!meshRenderer)
        return;
    ECS& ecs = ECS::Get();
    auto& frame = dynamic_cast<MeshRenderer&>(*meshRenderer);
    frame.RenderInit(renderer);
    ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<TextMesh, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
    frame.RenderEnd(renderer);
}

GameScene::GameScene(Uni<SceneContent> content, std::string levelPath, bool live)
    : m_content(std::move(content)), m_levelPath(std::move(levelPath)), m_live(live),
      m_clock([] {
          using namespace std::chrono;
          return duration<double>(steady_clock::now().time_since_epoch()).count();
      }) {}

void GameScene::Build(Engine& engine) {
    // The order of registration fixes the component type ids 0 to 13.
    ECS& ecs = ECS::Get();
    RegisterSceneComponents(ecs);

    Font font = m_content->LoadFont(FONT);
    shader = m_content->LoadShader(SHADER);

    // The order of registration fixes the system ids 0 to 9.
    RegisterSceneSystems(ecs, engine.RendererOwner());

    player = ecs.CreateEntity();
    ecs.AddComponent<Transform>(player, Tuning::PlayerStart, glm::vec3(0),
                                glm::vec3(BOAT_FRAME, BOAT_FRAME, 0));
    Animation boat(m_content->LoadTexture(BOAT_SHEET), BOAT_FRAME, BOAT_FRAME);
    ecs.AddComponent<Animation>(player, boat);
    ecs.AddComponent<Controller>(player, Controller());
    ecs.AddComponent<RigidBody>(player, RigidBody());
    ecs.AddComponent<Collider>(player, Collider{BOAT_FRAME, BOAT_FRAME, true});
    ecs.AddComponent<ForceGenerator>(player, ForceGenerator{{0, Tuning::Gravity, 0}});

    enemy = ecs.CreateEntity();
    ecs.AddComponent<Transform>(enemy, Tuning::EnemyStart, glm::vec3(0), glm::vec3(64, 64, 0));
    ecs.AddComponent<Mesh>(enemy, Mesh::CreateMesh(m_content->LoadTexture(FISH)));
    ecs.AddComponent<Enemy>(enemy, Enemy(player));
    ecs.AddComponent<RigidBody>(enemy, RigidBody());

    enemySystem = CreateRef<EnemySystem>();
    ecs.RegisterSystem(enemySystem);

    // Music that fails to load leaves the game silent.
    if (Ref<Clip> clip = m_content->LoadMusic(MUSIC))
        clip->loopClip();

    EntityID e2 = ecs.CreateEntity();
    ecs.AddComponent<Transform>(e2, glm::vec3(10, 100, 0), glm::vec3(0), glm::vec3(1, 1, 0));
    ecs.AddComponent<TextMesh>(e2, TextMesh::CreateTextMesh(font, HINT));

    LoadedLevel level;
    try {
        level = LoadLevel();
    } catch (const LevelError& error) {
        // A broken level is the user's content, not a crash: close the window
        // first so the message is the last thing they see.
        engine.Shutdown();
        Log::Err("LEVEL", "Could not load level file %s: %s", m_levelPath.c_str(), error.what());
    }
    PlaceLevel(level);
    if (level.data.playerStart)
        ecs.GetComponent<Transform>(player)->position = *level.data.playerStart;
    if (m_live)
        m_watch.Watch(LevelFiles(level.data));

    if (shader)
        shader->Bind();
}

GameScene::LoadedLevel GameScene::LoadLevel() {
    LoadedLevel level;
    level.data = m_content->LoadLevel(m_levelPath);
    LevelData& data = level.data;
    if (data.map) {
        level.sheets = m_content->LoadSheets(*data.map);
    } else {
        level.sheet = m_content->LoadTexture(data.tilemapPath);
        data.cells = Level::CellsOf(data.board);
        data.cellW = data.cellH = Level::CELL;
    }
    return level;
}

void GameScene::PlaceLevel(LoadedLevel& level) {
    ECS& ecs = ECS::Get();
    const LevelData& data = level.data;
    if (data.map) {
        // One tile map a visible layer, bottom first: drawn in the map's order.
        for (Tiled::LayerTileMap& layer : Tiled::MakeTileMaps(*data.map, level.sheets)) {
            EntityID map = ecs.CreateEntity();
            ecs.AddComponent<TileMap>(map, std::move(layer.tileMap));
            ecs.AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(512, 512, 0));
            m_levelEntities.push_back(map);
        }
    } else {
        EntityID map = ecs.CreateEntity();
        // The board is handed over, not copied: a large level's is megabytes.
        ecs.AddComponent<TileMap>(map, level.sheet, std::move(level.data.board), data.tileW,
                                  data.tileH);
        ecs.AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(512, 512, 0));
        m_levelEntities.push_back(map);
    }
    Level::CreateCells(data.cells, data.cellW, data.cellH, &m_levelEntities);
}

std::vector<std::string> GameScene::LevelFiles(const LevelData& level) const {
    std::vector<std::string> files = {m_levelPath};
    auto add = [&](const std::string& file) {
        if (!file.empty() && std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(file);
    };
    if (level.map) {
        for (const Tiled::Tileset& set : level.map->tilesets) {
            add(set.source);
            add(set.imagePath);
        }
    } else {
        add(level.tilemapPath);
    }
    return files;
}

bool GameScene::ReloadLevel() {
    LoadedLevel level;
    try {
        level = LoadLevel();
    } catch (const LevelError& error) {
        Log::Warn("LEVEL", "Could not reload level file %s: %s; the level plays on as it was",
                  m_levelPath.c_str(), error.what());
        m_watch.Take();
        return false;
    }
    // Everything is read before the running level goes, and all of it goes
    // between two steps: no frame shows half a level, and the collider grid
    // is built anew from the registry at the next step.
    ECS& ecs = ECS::Get();
    ecs.RemoveEntities(m_levelEntities);
    m_levelEntities.clear();
    PlaceLevel(level);
    // The boat keeps its place, unless the level now has it inside a wall.
    Ref<Transform> boat = ecs.GetComponent<Transform>(player);
    Ref<Collider> hull = ecs.GetComponent<Collider>(player);
    if (boat && hull &&
        Level::HitsSolid(level.data.cells, level.data.cellW, level.data.cellH, boat->position,
                         glm::vec2(hull->width, hull->height))) {
        boat->position = level.data.playerStart.value_or(Tuning::PlayerStart);
        if (Ref<RigidBody> body = ecs.GetComponent<RigidBody>(player))
            body->velocity = glm::vec3(0);
    }
    m_watch.Take();
    m_watch.Watch(LevelFiles(level.data));
    Log::Log("LEVEL", "Reloaded level file %s", m_levelPath.c_str());
    return true;
}

void GameScene::WatchLevel(double now) {
    const FileWatch::Report report = m_watch.Poll(now);
    for (const std::string& gone : report.missing)
        Log::Warn("LEVEL", "%s is gone; the level plays on as it was", gone.c_str());
    if (report.changed)
        ReloadLevel();
}

void GameScene::Update() {
    if (m_live)
        WatchLevel(m_clock());
    RunUpdateSchedule();
}

void GameScene::Draw(const Uni<Renderer>& renderer) {
    RunFrameSchedule(renderer);
}

void GameScene::Release() {
    ReleaseSceneHandles();
}

void ReleaseSceneHandles() {
    shader.reset();
    meshRenderer.reset();
    controllerSystem.reset();
    physicsSystem.reset();
    cameraSystem.reset();
    enemySystem.reset();
}

} // namespace Engine
