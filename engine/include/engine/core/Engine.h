#pragma once

#include <functional>
#include <string>

#include <engine/core/Base.h>
#include <engine/core/Renderer.h>
#include <engine/core/Window.h>

namespace Engine {

class Engine;

// What a game hands the engine: its scene and the two schedules that run it.
// Build runs once from Start, Update once per fixed step (Time::dt already
// set), Draw once per frame between the clear and the buffer swap.
class Scene {
public:
    virtual ~Scene() = default;

    // Registers component types and systems and creates the entities. The
    // shared quad, the glyph rasteriser and the audio device are up by then.
    virtual void Build(Engine& engine) = 0;
    virtual void Update() = 0;
    virtual void Draw(const Uni<Renderer>& renderer) = 0;
    // Drops what the scene holds of GL objects; the context is still current.
    // The registry has already been emptied.
    virtual void Release() {}
};

class Engine {
public:
    static constexpr double STEP = 0.01;
    static constexpr uint32_t CLEAR_COLOR = 0x262E33;

    Engine(int w, int h, std::string title = "Game");
    ~Engine() = default;

    // The scene Start builds and the loop runs; set it before Start.
    void SetScene(Ref<Scene> scene) { m_Scene = std::move(scene); }
    Scene* GetScene() const { return m_Scene.get(); }

    void InitializeGraphicsSubSystem();
    void Start();
    void MainGameLoop();
    void ProcessInput(bool* quit);
    void Update(double dt);
    void Render();
    void Shutdown();

    // One loop iteration after the clock was read: input, the steps the
    // accumulated time pays for, one frame. Returns whether a quit arrived.
    bool Frame(double frameTime);

    // Adds frameTime to acc and runs step(dt) while acc holds at least dt;
    // returns the number of steps. The frame time is not clamped.
    static int Advance(double& acc, double frameTime, double dt,
                       const std::function<void(double)>& step);

    Renderer* GetRenderer() const { return m_Renderer.get(); }
    // The owner itself, for renderer systems, which keep what it holds.
    Uni<Renderer>& RendererOwner() { return m_Renderer; }
    Window* GetWindow() const { return m_Window.get(); }

private:
    // Drops every GPU-holding object of the scene while the context is current.
    void ReleaseScene();

    Uni<Renderer> m_Renderer;
    Uni<Window> m_Window;
    int sWidth;
    int sHeight;
    std::string m_Title;
    double m_Acc = 0.0;
    Ref<Scene> m_Scene;
};

} // namespace Engine
