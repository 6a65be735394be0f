#pragma once

#include <functional>
#include <string>

#include <engine/core/Base.h>
#include <engine/core/Renderer.h>
#include <engine/core/Window.h>

namespace Engine {

class Engine;

/// What a game hands the engine: its scene and the two schedules that run it.
/// Build runs once from Start, Update once per fixed step (Time::dt already
/// set), Draw once per frame between the clear and the buffer swap.
class Scene {
public:
    virtual ~Scene() = default; ///< Scenes are destroyed through the base.

    /// Registers component types and systems and creates the entities. The
    /// shared quad, the glyph rasteriser and the audio device are up by then.
    virtual void Build(Engine& engine) = 0;
    /// One fixed step of the simulation: runs the update systems.
    virtual void Update() = 0;
    /// One frame's drawing: opens the frame on the renderer, runs the renderer
    /// systems, closes it.
    virtual void Draw(const Uni<Renderer>& renderer) = 0;
    /// Drops what the scene holds of GL objects; the context is still current.
    /// The registry has already been emptied.
    virtual void Release() {}
};

/// The engine: owns the window and the renderer, builds the scene and runs the
/// fixed-step loop.
class Engine {
public:
    static constexpr double STEP = 0.01;              ///< Length of a simulation step, seconds.
    static constexpr uint32_t CLEAR_COLOR = 0x262E33; ///< Each frame starts from it (0xRRGGBB).

    /// An engine whose window will be w by h pixels: the camera's view is set to
    /// that size, with the camera's position at its centre.
    Engine(int w, int h, std::string title = "Game");
    ~Engine() = default; ///< Shutdown first: it releases what needs the context.

    /// The scene Start builds and the loop runs; set it before Start.
    void SetScene(Ref<Scene> scene) { m_Scene = std::move(scene); }
    Scene* GetScene() const { return m_Scene.get(); } ///< The scene set, or null.

    /// Opens the window with its OpenGL context and starts the renderer; ends
    /// the process (status 255) when no display can be reached.
    void InitializeGraphicsSubSystem();
    /// The shared quad, the glyph rasteriser and the audio device, then the
    /// scene's Build. Without a renderer it logs and does nothing.
    void Start();
    /// Polls events, runs the steps the elapsed time pays for and one frame,
    /// until the window is closed (or SIGTERM arrives through SDL's quit).
    void MainGameLoop();
    /// Fills the key table from SDL's pending events; sets *quit on a quit event.
    void ProcessInput(bool* quit);
    /// One step: sets Time::dt to dt and runs the scene's Update.
    void Update(double dt);
    /// One frame: clear, the scene's Draw, buffer swap.
    void Render();
    /// Stops the renderer, empties the registry, releases the scene's GL
    /// objects and closes the window, in that order.
    void Shutdown();

    /// One loop iteration after the clock was read: input, the steps the
    /// accumulated time pays for, one frame. Returns whether a quit arrived.
    bool Frame(double frameTime);

    /// Adds frameTime to acc and runs step(dt) while acc holds at least dt;
    /// returns the number of steps. The frame time is not clamped.
    static int Advance(double& acc, double frameTime, double dt,
                       const std::function<void(double)>& step);

    Renderer* GetRenderer() const { return m_Renderer.get(); } ///< Null before the graphics start.
    /// The owner itself, for renderer systems, which keep what it holds.
    Uni<Renderer>& RendererOwner() { return m_Renderer; }
    Window* GetWindow() const { return m_Window.get(); } ///< Null before the graphics start.

private:
    /// Drops every GPU-holding object of the scene while the context is current.
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
