#include "Engine.h"

#include "ECS.h"
#include "Input.h"
#include "Log.h"
#include "Time.h"

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
    if (!m_Renderer)
        Log::Log("ENGINE", "%s", "No Graphics Subsystem initialized");
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
}

void Engine::Render() {
    m_Renderer->SetClearColor(CLEAR_COLOR);
    m_Renderer->Clear();
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
}

void Engine::Shutdown() {
    if (m_Renderer)
        m_Renderer->Shutdown();
    ReleaseScene();
    if (m_Window)
        m_Window->Shutdown();
}

} // namespace Engine
