#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include <glm/vec2.hpp>

#include <engine/core/Base.h>
#include <engine/core/Renderer.h>
#include <engine/core/Window.h>

namespace Engine {

class Engine;

/// What a game hands the engine: its scene and the two schedules that run it.
/// Build runs once from Start (or when the loop changes to the scene, see
/// Engine::ChangeScene), Update once per fixed step (Time::dt already set),
/// Draw once per frame between the clear and the buffer swap.
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

/// How Engine::Run sets up the window and the loop; the defaults are those of
/// an engine set up by hand.
struct RunOptions {
    bool resizable = false;  ///< The user may resize the window.
    /// Keep the view at the window's size as made, scaled to fit with bars
    /// when the window is resized or full screen (Window::SetViewSize).
    bool letterbox = false;
    /// With letterbox, scale the view by whole numbers only, for crisp pixel
    /// art (Window::SetViewSize's wholeMultiples).
    bool wholeMultiples = false;
    bool vsync = false;      ///< Swap in step with the display (see Engine::SetVSync).
    int targetFrameRate = 0; ///< A frame-rate cap (see Engine::SetTargetFrameRate); 0 for none.
};

/// The engine: owns the window and the renderer, builds the scene and runs the
/// fixed-step loop.
///
/// By default the loop never waits: it draws as fast as swapping the buffers
/// lets it. A program can ask for vsync or a frame-rate cap instead.
///
/// The class shares its namespace's name: after `using namespace Engine;`
/// call it `::Engine::Engine`, since a bare `Engine::Engine` names both the
/// namespace and the class, which clang refuses as ambiguous (GCC lets it
/// pass, so the error shows only when the compiler changes).
class Engine {
public:
    static constexpr double STEP = 0.01;              ///< Length of a simulation step, seconds.
    /// Each frame starts from it (0xRRGGBB), unless SetClearColor says otherwise.
    static constexpr uint32_t CLEAR_COLOR = 0x262E33;

    /// The whole life of a program: makes an engine with a window of width by
    /// height pixels, sets the scene, opens the window, applies the options,
    /// builds the scene, runs the loop until the window is closed or Quit is
    /// called, and shuts down. Returns the exit status for main, 0.
    static int Run(Ref<Scene> scene, int width, int height, std::string title,
                   const RunOptions& options = {});

    /// An engine whose window will be w by h pixels: the camera's view is set to
    /// that size, with the camera's position at its centre.
    Engine(int w, int h, std::string title = "Game");
    ~Engine() = default; ///< Shutdown first: it releases what needs the context.

    /// The scene Start builds and the loop runs. Once Start has built a
    /// scene, the same as ChangeScene.
    void SetScene(Ref<Scene> scene);
    /// Asks the loop to run next instead of the current scene, from a scene's
    /// Update or Draw or between frames. Nothing changes during the call:
    /// asked from Update, the change follows that step (the frame's steps
    /// still owed are dropped); from Draw, it follows the frame; between
    /// frames, it opens the next one, whose steps are dropped. The registry is
    /// then emptied, the old scene released (Scene::Release) and let go, and next
    /// built. The new scene starts afresh: no time owed (the accumulator and,
    /// in MainGameLoop, the clock start again after its Build, so a slow Build
    /// is not caught up on), the main camera back at its default (the view's
    /// size kept, the engine's), no presses, releases, text or drops latched
    /// before the change (keys held stay held). Time::elapsed goes on
    /// counting. Of several calls before the change, the last wins; with
    /// null the old scene is released and the loop runs on with none (call
    /// Quit to end it). Build may ask too: that change waits for the
    /// next end of a step or frame.
    void ChangeScene(Ref<Scene> next);
    Scene* GetScene() const { return m_Scene.get(); } ///< The scene running, or null.

    /// Opens the window with its OpenGL context and starts the renderer; ends
    /// the process (status 255) when no display can be reached.
    void InitializeGraphicsSubSystem();
    /// The shared quad, the glyph rasteriser and the audio device, then the
    /// scene's Build. Without a renderer it logs and does nothing.
    void Start();
    /// Polls events, runs the steps the elapsed time pays for and one frame,
    /// until the window is closed (or SIGTERM arrives through SDL's quit) or
    /// Quit is called; under a frame-rate cap it then sleeps until the next
    /// frame is due.
    void MainGameLoop();
    /// Fills the key table, the typed text, the mouse and the pads from SDL's pending events;
    /// sets *quit on a quit event.
    void ProcessInput(bool* quit);
    /// One step: sets Time::dt to dt and runs the scene's Update, with the
    /// input edges latched since the last step readable (Input::BeginStep).
    void Update(double dt);
    /// One frame: clear, the scene's Draw, buffer swap. When the window's
    /// drawable size has changed since the last frame, the viewport and the
    /// main camera's view follow it first, one world unit a pixel; or, when
    /// the window keeps its view's size (Window::SetViewSize), the viewport
    /// is the view's letterbox on the drawable and the camera's view keeps
    /// the view's size (the clear colour shows on the bars). Nothing before
    /// InitializeGraphicsSubSystem, so Frame steps a scene without a window.
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

    /// Ends the loop once the current iteration has stepped and drawn, as
    /// closing the window does.
    void Quit() { m_QuitAsked = true; }
    /// Whether buffer swaps wait for the display's refresh. Needs the window:
    /// returns whether the driver took the setting, and false before
    /// InitializeGraphicsSubSystem.
    bool SetVSync(bool on);
    /// Caps the loop at fps frames a second by sleeping until each frame is
    /// due, deadlines fps apart so that the rate holds however long a frame
    /// takes; 0 (the default) for no cap. Steps still run at their own pace.
    void SetTargetFrameRate(int fps);
    int GetTargetFrameRate() const { return m_TargetFps; } ///< 0 when there is no cap.
    /// The colour each frame starts from, 0xRRGGBB, behind the scene and on a
    /// letterboxed view's bars; it stays through scene changes.
    void SetClearColor(uint32_t rgb) { m_ClearColor = rgb; }
    uint32_t GetClearColor() const { return m_ClearColor; } ///< CLEAR_COLOR until set.
    /// Frames drawn a second, measured over the last half second or so; 0
    /// until then.
    double GetFrameRate() const { return m_FrameRate; }
    /// Frames drawn since the engine was made.
    uint64_t GetFrameCount() const { return m_FrameCount; }

private:
    using Clock = std::chrono::steady_clock;

    /// Drops every GPU-holding object of the scene while the context is current.
    void ReleaseScene();
    /// The steps the frame time pays for, a change asked for, the frame, and
    /// a change asked for meanwhile. Returns whether the scene changed.
    bool StepAndDraw(double frameTime);
    /// Makes the change ChangeScene asked for, if any; returns whether it did.
    bool SwitchScene();
    /// The viewport, the camera's view and the mouse to the window's
    /// letterbox, when it changed.
    void FollowDrawable();
    /// Counts a frame drawn and measures the rate.
    void CountFrame();
    /// Under a cap, sleeps until the next frame is due.
    void Pace();

    Uni<Renderer> m_Renderer;
    Uni<Window> m_Window;
    int sWidth;
    int sHeight;
    std::string m_Title;
    double m_Acc = 0.0;
    Ref<Scene> m_Scene;
    /// Whether Start has built the scene: SetScene then changes it safely.
    bool m_Started = false;
    bool m_ChangeAsked = false;
    Ref<Scene> m_Next; ///< The scene ChangeScene asked for.
    bool m_QuitAsked = false;
    /// What the viewport and the camera's view were last set to.
    Letterbox m_Shown;
    int m_TargetFps = 0;
    uint32_t m_ClearColor = CLEAR_COLOR;
    Clock::time_point m_Due;
    uint64_t m_FrameCount = 0;
    uint64_t m_RateFrames = 0;
    Clock::time_point m_RateFrom;
    double m_FrameRate = 0.0;
};

} // namespace Engine
