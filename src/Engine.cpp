#include "Engine.h"

#include "Animation.h"
#include "CameraSystem.h"
#include "Clip.h"
#include "Collider.h"
#include "Controller.h"
#include "ControllerSystem.h"
#include "ECS.h"
#include "Enemy.h"
#include "EnemySystem.h"
#include "Font.h"
#include "ForceApplier.h"
#include "ForceGenerator.h"
#include "ForceSystem.h"
#include "Input.h"
#include "Level.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshRenderer.h"
#include "PhysicsSystem.h"
#include "RigidBody.h"
#include "Shader.h"
#include "TextMesh.h"
#include "Texture.h"
#include "TileMap.h"
#include "Time.h"
#include "Transform.h"

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

Engine::Engine(int w, int h) : sWidth(w), sHeight(h) {}

void Engine::InitializeGraphicsSubSystem() {
    m_Window = CreateUni<Window>("Game", sWidth, sHeight);
    if (!m_Window->Init())
        Log::Err("ENGINE", "Cannot run without a window and an OpenGL context; is a display "
                           "available?");
    m_Renderer = Renderer::Create();
    m_Renderer->Init();
}

void Engine::Start() {
    if (!m_Renderer) {
        Log::Log("ENGINE", "%s", "No Graphics Subsystem initialized");
        // Everything below needs a GL context; without one there is no scene.
        return;
    }
    Mesh::InitQuad();
    Font::InitFont();
    Clip::InitAudio();

    // The order of registration fixes the component type ids 0 to 13.
    ECS& ecs = ECS::Get();
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

    Font font = Font::loadFont("./Assets/SGK100.ttf");
    shader = CreateRef<Shader>("./Assets/Shaders/basic.shader");

    // The order of registration fixes the system ids 0 to 9.
    meshRenderer = CreateRef<MeshRenderer>(m_Renderer, shader);
    sysid = ecs.RegisterSystem(meshRenderer);
    ecs.RegisterSystem(CreateRef<TextRenderer>(m_Renderer, shader));
    ecs.RegisterSystem(CreateRef<TileMapRenderer>(m_Renderer, shader));
    controllerSystem = CreateRef<ControllerSystem>();
    ecs.RegisterSystem(controllerSystem);
    physicsSystem = CreateRef<PhysicsSystem>();
    ecs.RegisterSystem(physicsSystem);
    cameraSystem = CreateRef<CameraSystem>();
    ecs.RegisterSystem(cameraSystem);
    cameraSystem = CreateRef<AnimationUpdater>();
    ecs.RegisterSystem(cameraSystem);
    cameraSystem = CreateRef<AnimationRenderer>(m_Renderer, shader);
    ecs.RegisterSystem(cameraSystem);
    ecs.RegisterSystem(CreateRef<ForceSystem>());

    player = ecs.CreateEntity();
    ecs.AddComponent<Transform>(player, glm::vec3(250, 0, 0), glm::vec3(0), glm::vec3(64, 64, 0));
    Animation boat("./Assets/boat-sheet.png", 64, 64);
    ecs.AddComponent<Animation>(player, boat);
    ecs.AddComponent<Controller>(player, Controller());
    ecs.AddComponent<RigidBody>(player, RigidBody());
    ecs.AddComponent<Collider>(player, Collider{64, 64, true});
    ecs.AddComponent<ForceGenerator>(player, ForceGenerator{{0, 1960, 0}});

    enemy = ecs.CreateEntity();
    ecs.AddComponent<Transform>(enemy, glm::vec3(400, 250, 0), glm::vec3(0), glm::vec3(64, 64, 0));
    ecs.AddComponent<Mesh>(enemy, Mesh::CreateMesh(Texture2D::Create("./Assets/fish.png")));
    ecs.AddComponent<Enemy>(enemy, Enemy(player));
    ecs.AddComponent<RigidBody>(enemy, RigidBody());

    enemySystem = CreateRef<EnemySystem>();
    ecs.RegisterSystem(enemySystem);

    // Music that fails to load leaves the game silent.
    if (Ref<Clip> clip = Clip::LoadClip("./Assets/piano2.wav"))
        clip->loopClip();

    EntityID e2 = ecs.CreateEntity();
    ecs.AddComponent<Transform>(e2, glm::vec3(10, 100, 0), glm::vec3(0), glm::vec3(1, 1, 0));
    ecs.AddComponent<TextMesh>(
        e2, TextMesh::CreateTextMesh(font, "AD to move, SPACE to jump, get over the vvv fish."));

    LevelData level;
    try {
        level = Level::Load(Level::PATH);
    } catch (const LevelError& error) {
        // A broken level is the user's content, not a crash: close the window
        // first so the message is the last thing they see.
        Shutdown();
        Log::Err("LEVEL", "Could not load level file %s: %s", Level::PATH, error.what());
    }
    EntityID map = ecs.CreateEntity();
    ecs.AddComponent<TileMap>(map, level.tilemapPath, level.board, level.tileW, level.tileH);
    ecs.AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(512, 512, 0));
    Level::CreateCells(level.board);

    shader->Bind();
}

int Engine::Advance(double& acc, double frameTime, double dt,
                    const std::function<void(double)>& step) {
    int steps = 0;
    acc += frameTime;
    while (acc >= dt) {
        step(dt);
        acc -= dt;
        ++steps;
    }
    return steps;
}

bool Engine::Frame(double frameTime) {
    bool quit = false;
    ProcessInput(&quit);
    Advance(m_Acc, frameTime, STEP, [this](double dt) { Update(dt); });
    Render();
    return quit;
}

void Engine::MainGameLoop() {
    bool quit = false;
    Uint64 currTime = SDL_GetPerformanceCounter();
    m_Acc = 0.0;
    while (!quit) {
        ProcessInput(&quit);
        Uint64 newTime = SDL_GetPerformanceCounter();
        double frameTime = static_cast<double>(newTime - currTime) /
                           static_cast<double>(SDL_GetPerformanceFrequency());
        currTime = newTime;
        Advance(m_Acc, frameTime, STEP, [this](double dt) { Update(dt); });
        Render();
    }
    SDL_StopTextInput();
}

void Engine::ProcessInput(bool* quit) {
    SDL_StartTextInput();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            *quit = true;
            break;
        case SDL_KEYDOWN:
            Input::UpdateKey(event.key.keysym.sym, true);
            break;
        case SDL_KEYUP:
            Input::UpdateKey(event.key.keysym.sym, false);
            break;
        default:
            break;
        }
    }
}

void Engine::Update(double dt) {
    Time::dt = dt;
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

void Engine::Render() {
    m_Renderer->SetClearColor(CLEAR_COLOR);
    m_Renderer->Clear();
    if (meshRenderer) {
        ECS& ecs = ECS::Get();
        auto& frame = dynamic_cast<MeshRenderer&>(*meshRenderer);
        frame.RenderInit(m_Renderer);
        ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<TextMesh, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
        frame.RenderEnd(m_Renderer);
    }
    m_Window->SwapBuffers();
}

void Engine::ReleaseScene() {
    ECS::Get().Reset();
    shader.reset();
    meshRenderer.reset();
    controllerSystem.reset();
    physicsSystem.reset();
    cameraSystem.reset();
    enemySystem.reset();
    Mesh::ReleaseQuad();
}

void Engine::Shutdown() {
    if (m_Renderer)
        m_Renderer->Shutdown();
    ReleaseScene();
    if (m_Window)
        m_Window->Shutdown();
}

} // namespace Engine
