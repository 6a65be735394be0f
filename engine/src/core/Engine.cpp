#include <engine/core/Engine.h>

#include <algorithm>
#include <thread>

#include <engine/audio/Clip.h>
#include <engine/audio/Music.h>
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

namespace {

// The default camera over a view of w by h pixels: one world unit a pixel.
void ResetMainCamera(int w, int h) {
    Camera& camera = Camera::Main();
    camera = Camera();
    camera.w = static_cast<float>(w);
    camera.h = static_cast<float>(h);
}

} // namespace

Engine::Engine(int w, int h, std::string title)
    : sWidth(w), sHeight(h), m_Title(std::move(title)),
      m_Shown{{0, 0}, {w, h}, {w, h}} {
    // The view is the window, the camera at its centre, not where an engine
    // before this one in the process left it.
    ResetMainCamera(w, h);
    Time::elapsed = 0.0;
}

int Engine::Run(Ref<Scene> scene, int width, int height, std::string title,
                const RunOptions& options) {
    Engine engine(width, height, std::move(title));
    engine.SetScene(std::move(scene));
    engine.InitializeGraphicsSubSystem();
    if (options.resizable)
        engine.m_Window->SetResizable(true);
    if (options.letterbox)
        engine.m_Window->SetViewSize({width, height}, options.wholeMultiples);
    if (options.vsync && !engine.SetVSync(true))
        Log::Warn("ENGINE", "The driver would not swap in step with the display: %s",
                  SDL_GetError());
    engine.SetTargetFrameRate(options.targetFrameRate);
    engine.Start();
    engine.MainGameLoop();
    engine.Shutdown();
    return 0;
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
    m_Started = true;
    if (m_Scene)
        m_Scene->Build(*this);
}

void Engine::SetScene(Ref<Scene> scene) {
    if (m_Started)
        ChangeScene(std::move(scene));
    else
        m_Scene = std::move(scene);
}

void Engine::ChangeScene(Ref<Scene> next) {
    m_Next = std::move(next);
    m_ChangeAsked = true;
}

bool Engine::SwitchScene() {
    if (!m_ChangeAsked)
        return false;
    m_ChangeAsked = false;
    ECS::Get().Reset();
    if (m_Scene)
        m_Scene->Release();
    // The old scene goes here, outside any call of its own.
    m_Scene = std::move(m_Next);
    m_Acc = 0.0;
    ResetMainCamera(m_Shown.view.x, m_Shown.view.y);
    // What was pressed for the old scene and not yet stepped is dropped with it.
    Input::DropPending();
    if (m_Scene)
        m_Scene->Build(*this);
    return true;
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

bool Engine::StepAndDraw(double frameTime) {
    // Once a change is asked for, the steps still owed belong to neither scene.
    Advance(m_Acc, frameTime, STEP, [this](double dt) {
        if (!m_ChangeAsked)
            Update(dt);
    });
    const bool changed = SwitchScene();
    Render();
    Music::UpdateAll();
    return SwitchScene() || changed;
}

bool Engine::Frame(double frameTime) {
    bool quit = false;
    ProcessInput(&quit);
    StepAndDraw(frameTime);
    return quit || m_QuitAsked;
}

void Engine::MainGameLoop() {
    bool quit = false;
    Uint64 currTime = SDL_GetPerformanceCounter();
    m_Acc = 0.0;
    m_Due = Clock::now();
    while (!quit) {
        ProcessInput(&quit);
        Uint64 newTime = SDL_GetPerformanceCounter();
        double frameTime = static_cast<double>(newTime - currTime) /
                           static_cast<double>(SDL_GetPerformanceFrequency());
        currTime = newTime;
        // The new scene's clock starts after its Build, however long that took.
        if (StepAndDraw(frameTime))
            currTime = SDL_GetPerformanceCounter();
        quit = quit || m_QuitAsked;
        Pace();
    }
    m_QuitAsked = false;
    SDL_StopTextInput();
}

bool Engine::SetVSync(bool on) {
    if (!m_Window || !m_Window->GetContext())
        return false;
    return SDL_GL_SetSwapInterval(on ? 1 : 0) == 0;
}

void Engine::SetTargetFrameRate(int fps) {
    m_TargetFps = fps > 0 ? fps : 0;
    m_Due = Clock::now();
}

void Engine::Pace() {
    if (m_TargetFps == 0)
        return;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / m_TargetFps));
    m_Due += period;
    const Clock::time_point now = Clock::now();
    // More than a frame behind (a stall, a slow machine): start afresh from
    // now rather than rush out the frames missed.
    if (m_Due + period < now) {
        m_Due = now;
        return;
    }
    // Events that come meanwhile are fetched every 2 ms, so that each is
    // stamped near its time (Input::SecondsSinceKeyPressed); more often costs
    // more wake-ups than it gains.
    for (Clock::time_point at = now; at < m_Due; at = Clock::now()) {
        SDL_PumpEvents();
        std::this_thread::sleep_until(std::min(m_Due, at + std::chrono::milliseconds(2)));
    }
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
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
            Input::HandleEvent(event);
            break;
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
            Input::HandleEvent(event);
            SDL_free(event.drop.file);
            break;
        case SDL_JOYDEVICEADDED:
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEREMAPPED:
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
    Time::elapsed += dt;
    Input::BeginStep();
    if (m_Scene)
        m_Scene->Update();
    Input::EndStep();
}

void Engine::Render() {
    // No window yet (or ever, for a program that steps its scene headless):
    // nothing to draw on.
    if (!m_Renderer || !m_Window)
        return;
    FollowDrawable();
    m_Renderer->SetClearColor(m_ClearColor);
    m_Renderer->Clear();
    if (m_Scene)
        m_Scene->Draw(m_Renderer);
    Draw::EndFrame();
    m_Window->SwapBuffers();
    CountFrame();
}

void Engine::FollowDrawable() {
    const Letterbox shown = m_Window->GetLetterbox();
    // A minimised window has no pixels; the view stays as it was.
    if (shown == m_Shown || shown.Empty())
        return;
    m_Shown = shown;
    const glm::ivec2 drawable = m_Window->GetDrawableSize();
    // GL counts the viewport's rows from the bottom.
    m_Renderer->SetViewport(shown.origin.x, drawable.y - shown.origin.y - shown.size.y,
                            shown.size.x, shown.size.y, shown.view.x, shown.view.y);
    Camera::Main().w = static_cast<float>(shown.view.x);
    Camera::Main().h = static_cast<float>(shown.view.y);
    if (m_Window->GetViewSize() == glm::ivec2(0, 0)) {
        Input::SetMouseLetterbox({});
        return;
    }
    // SDL reports the mouse in window coordinates, which are fewer than the
    // drawable's pixels on a high-density screen.
    int w = 0, h = 0;
    SDL_GetWindowSize(m_Window->GetNativeWindow(), &w, &h);
    const glm::vec2 pixelsPerPoint =
        w > 0 && h > 0 ? glm::vec2(drawable) / glm::vec2(w, h) : glm::vec2(1.0f, 1.0f);
    Input::SetMouseLetterbox(shown, pixelsPerPoint);
}

void Engine::CountFrame() {
    ++m_FrameCount;
    const Clock::time_point now = Clock::now();
    if (m_RateFrames == 0) {
        m_RateFrom = now;
        m_RateFrames = m_FrameCount;
        return;
    }
    const std::chrono::duration<double> span = now - m_RateFrom;
    if (span.count() >= 0.5) {
        m_FrameRate = static_cast<double>(m_FrameCount - m_RateFrames) / span.count();
        m_RateFrom = now;
        m_RateFrames = m_FrameCount;
    }
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
    // A change asked for and never made: the scene was never built.
    m_Next.reset();
    m_ChangeAsked = false;
    m_Started = false;
    if (m_Window)
        m_Window->Shutdown();
    Input::SetMouseLetterbox({});
}

} // namespace Engine
