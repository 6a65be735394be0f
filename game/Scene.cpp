#include "game/Scene.h"

#include <chrono>

#include <engine/audio/Audio.h>
#include <engine/audio/Clip.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>
#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/core/Window.h>
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

#include "game/BoatFrame.h"
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
constexpr const char* HINT = "AD to move, SPACE to jump, get over the vvv fish.";

// SDL's event watch, on the thread that queues the event.
int ForwardEvent(void* scene, SDL_Event* event) {
    static_cast<GameScene*>(scene)->HandleEvent(*event);
    return 0;
}
} // namespace

Font SceneContent::LoadFont(const char* path) {
    return Font::loadFont(path);
}

Ref<Shader> SceneContent::LoadShader(const std::string& path) {
    return CreateRef<Shader>(path);
}

Ref<Clip> SceneContent::LoadMusic(const std::string& path) {
    return Clip::LoadClip(path);
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
    // A Tiled map's background and layers go behind the fish, the hint and
    // the boat, as Tiled shows layers beneath the boat's start; the layers
    // above it in front. Their types exist once a level has placed such layers.
    const bool tiled = ecs.IsComponentRegistered<Tiled::MapLayer>();
    auto& frame = dynamic_cast<MeshRenderer&>(*meshRenderer);
    frame.RenderInit(renderer);
    if (tiled) {
        ecs.RunSystemArch(ecs.GetArchetype<Tiled::MapBackground>());
        ecs.RunSystemArch(ecs.GetArchetype<Tiled::MapLayer>());
    }
    ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<TextMesh, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
    ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
    if (ecs.IsComponentRegistered<Foreground>())
        ecs.RunSystemArch(ecs.GetArchetype<Foreground>());
    frame.RenderEnd(renderer);
}

GameScene::GameScene(Uni<SceneContent> content, std::optional<std::string> levelPath, bool live)
    : m_content(std::move(content)),
      m_level(*m_content, levelPath.value_or(Level::PATH), levelPath.has_value(), live),
      m_clock([] {
          using namespace std::chrono;
          return duration<double>(steady_clock::now().time_since_epoch()).count();
      }) {
    m_soundKeys.BindKey(0, SoundKey);
    m_soundKeys.BindPad(0, SoundButton);
}

GameScene::~GameScene() {
    if (m_watching)
        SDL_DelEventWatch(ForwardEvent, this);
}

void GameScene::HandleEvent(const SDL_Event& event) {
    if (event.type != SDL_WINDOWEVENT)
        return;
    if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
        m_pause.FocusChanged(true);
    else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
        m_pause.FocusChanged(false);
}

void GameScene::WatchFocus() {
    if (m_watching || !m_window)
        return;
    // The watch sees events as they are queued; a focus gained before it
    // began is read from the window.
    if (SDL_GetWindowFlags(m_window->GetNativeWindow()) & SDL_WINDOW_INPUT_FOCUS)
        m_pause.FocusChanged(true);
    SDL_AddEventWatch(ForwardEvent, this);
    m_watching = true;
}

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
    ecs.AddComponent<Transform>(enemy, Tuning::EnemyStart, glm::vec3(0),
                                glm::vec3(Tuning::FishSize, Tuning::FishSize, 0));
    ecs.AddComponent<Mesh>(enemy, Mesh::CreateMesh(m_content->LoadTexture(FISH)));
    ecs.AddComponent<Enemy>(enemy, Enemy(player));
    ecs.AddComponent<RigidBody>(enemy, RigidBody());

    enemySystem = CreateRef<EnemySystem>();
    ecs.RegisterSystem(enemySystem);

    // Music that fails to load leaves the game silent.
    m_music = m_content->LoadMusic(MUSIC);
    if (m_music)
        m_music->loopClip();

    EntityID e2 = ecs.CreateEntity();
    ecs.AddComponent<Transform>(e2, glm::vec3(10, 100, 0), glm::vec3(0), glm::vec3(1, 1, 0));
    ecs.AddComponent<TextMesh>(e2, TextMesh::CreateTextMesh(font, HINT));

    try {
        m_level.Load(player, enemy);
    } catch (const LevelError& error) {
        // A broken level is the user's content, not a crash: close the window
        // first so the message is the last thing they see.
        engine.Shutdown();
        Log::Err("LEVEL", "Could not load level file %s: %s", m_level.Path().c_str(), error.what());
    }

    if (shader)
        shader->Bind();
    m_window = engine.GetWindow();
}

void ToggleFullscreenOnKeys(Window& window) {
    // Alt pressed in this step counts too: a quick chord may have let it go
    // again before the step runs.
    auto down = [](int key) { return Input::IsKeyPressed(key) || Input::WasKeyPressed(key); };
    const bool alt = down(SDLK_LALT) || down(SDLK_RALT);
    const bool enter = Input::WasKeyPressed(SDLK_RETURN) || Input::WasKeyPressed(SDLK_KP_ENTER);
    if (Input::WasKeyPressed(SDLK_F11) || (alt && enter) ||
        (Input::WasKeyPressed(SDLK_ESCAPE) && window.IsFullscreen()))
        window.ToggleFullscreen();
}

void GameScene::SetSound(bool on) {
    Audio::SetMasterVolume(on ? 1.0f : 0.0f);
    // A failure showing stays: its reason is shown nowhere else.
    if (m_notice.Text().empty() || !m_notice.Failed())
        m_notice.Show(on ? "Sound on" : "Sound off", false);
}

void GameScene::Update() {
    bool chose = false;
    if (m_window) {
        const bool full = m_window->IsFullscreen();
        ToggleFullscreenOnKeys(*m_window);
        chose = m_window->IsFullscreen() != full;
    }
    // Of several files dropped at once, the last is played, as if they had
    // been dropped one after another.
    const std::vector<std::string>& dropped = Input::GetDroppedFiles();
    if (!dropped.empty())
        m_level.Open(dropped.back());
    if (m_level.Watched())
        m_level.Poll(m_clock());
    // The notice counts down while paused too: it is read, not played.
    m_notice.Step(Time::dt);
    if (std::optional<LiveLevel::News> news = m_level.TakeNews())
        m_notice.Show(std::move(news->message), news->failed);
    if (m_soundKeys.WasPressed(0)) {
        SetSound(Audio::GetMasterVolume() == 0.0f);
        chose = true;
    }
    if (chose && m_chosen)
        m_chosen();
    if (m_watchingPads && Gamepads::WasRemoved())
        m_pause.PadRemoved();
    const bool runs = m_pause.Step(dynamic_cast<ControllerSystem*>(controllerSystem.get()));
    // The music stops where it is and goes on from there.
    if (m_pause.Changed() && m_music) {
        if (m_pause.IsPaused())
            m_music->endClip();
        else
            m_music->loopClip();
    }
    if (runs)
        RunUpdateSchedule();
}

void GameScene::Draw(const Uni<Renderer>& renderer) {
    RunFrameSchedule(renderer);
    if (m_window) {
        const glm::ivec2 view = m_window->GetLetterbox().view;
        m_pause.Draw(view);
        m_notice.Draw(view);
    }
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
