#include <engine/core/Engine.h>

#include <engine/audio/Clip.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>
#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/text/Font.h>

namespace Engine {

Engine::Engine(int w, int h, std::string title) : sWidth(w), sHeight(h), m_Title(std::move(title)) {
    // The view is the window: one world unit a pixel, the camera at its centre.
    Camera::Main().w = static_cast<float>(w);
    Camera::Main().h = static_cast<float>(h);
}

void Engine::InitializeGraphicsSubSystem() {
    m_Window = CreateUni<Window>(m_Title, sWidth, sHeight);
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
    if (m_Scene)
        m_Scene->Build(*this);
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
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_CONTROLLERAXISMOTION:
            Gamepads::HandleEvent(event);
            break;
        default:
            break;
        }
    }
}

void Engine::Update(double dt) {
    Time::dt = dt;
    if (m_Scene)
        m_Scene->Update();
}

void Engine::Render() {
    m_Renderer->SetClearColor(CLEAR_COLOR);
    m_Renderer->Clear();
    if (m_Scene)
        m_Scene->Draw(m_Renderer);
    Draw::EndFrame();
    m_Window->SwapBuffers();
}

void Engine::ReleaseScene() {
    ECS::Get().Reset();
    if (m_Scene)
        m_Scene->Release();
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
