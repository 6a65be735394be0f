#pragma once

#include <functional>

#include "Base.h"
#include "Renderer.h"
#include "SystemBase.h"
#include "Types.h"
#include "Window.h"

namespace Engine {

class Shader;

// Scene handles of the engine's unit: written by Start, read by the frame.
extern Ref<Shader> shader;
extern EntityID player;
extern EntityID enemy;
extern SystemID sysid;
extern Ref<SystemBase> meshRenderer;
extern Ref<SystemBase> controllerSystem;
extern Ref<SystemBase> physicsSystem;
extern Ref<SystemBase> cameraSystem;
extern Ref<SystemBase> enemySystem;

class Engine {
public:
    static constexpr double STEP = 0.01;
    static constexpr uint32_t CLEAR_COLOR = 0x262E33;

    Engine(int w, int h);
    ~Engine() = default;

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
    Window* GetWindow() const { return m_Window.get(); }

private:
    // Drops every GPU-holding object of the scene while the context is current.
    void ReleaseScene();

    Uni<Renderer> m_Renderer;
    Uni<Window> m_Window;
    int sWidth;
    int sHeight;
    double m_Acc = 0.0;
};

} // namespace Engine
