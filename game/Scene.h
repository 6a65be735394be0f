#pragma once

#include <functional>
#include <string>
#include <vector>

#include <engine/core/Base.h>
#include <engine/core/Engine.h>
#include <engine/ecs/SystemBase.h>
#include <engine/ecs/Types.h>
#include <engine/text/Font.h>

#include "game/Level.h"
#include "game/LiveLevel.h"
#include "game/Notice.h"
#include "game/Pause.h"

namespace Engine {

class Clip;
class ECS;
class Shader;
class Texture2D;

// Handles of the scene, written while it is built and read by its schedules.
extern Ref<Shader> shader;
extern EntityID player;
// The designed fish as the scene makes it; a level that places fish of its
// own takes it away (LiveLevel::Fish).
extern EntityID enemy;
extern SystemID sysid;
extern Ref<SystemBase> meshRenderer;
extern Ref<SystemBase> controllerSystem;
extern Ref<SystemBase> physicsSystem;
extern Ref<SystemBase> cameraSystem;
extern Ref<SystemBase> enemySystem;

// The files the scene reads, besides the level (Level::PATH) and the tile set
// it names.
namespace SceneFiles {
constexpr const char* FONT = "./Assets/SGK100.ttf";
constexpr const char* SHADER = "./Assets/Shaders/basic.shader";
constexpr const char* BOAT_SHEET = "./Assets/boat-sheet.png";
constexpr const char* FISH = "./Assets/fish.png";
constexpr const char* MUSIC = "./Assets/piano2.wav";
} // namespace SceneFiles

// Where the scene's content comes from: the level's files (LevelContent) and
// the rest. The game reads the files under ./Assets; benchmarks and tests
// without a GL context hand in stand-ins.
class SceneContent : public LevelContent {
public:
    virtual Font LoadFont(const char* path);
    virtual Ref<Shader> LoadShader(const std::string& path);
    // Empty when the file cannot be played.
    virtual Ref<Clip> LoadMusic(const std::string& path);
};

// The fourteen component types, in the order that gives them ids 0 to 13.
void RegisterSceneComponents(ECS& ecs);
// The systems with ids 0 to 8, drawing with `shader`; sets the system handles
// and `sysid`. The enemy's system follows once the enemy exists.
void RegisterSceneSystems(ECS& ecs, Uni<Renderer>& renderer);
// One simulation step: control, enemy, camera, forces, physics, animation.
void RunUpdateSchedule();
// One frame's drawing: sprites, text, tiles, then the animated player, between
// the mesh renderer's opening and closing of the frame. A Tiled map's layers
// are drawn in the tiles' place, its background colour before everything.
void RunFrameSchedule(const Uni<Renderer>& renderer);
// Empties the handles above, dropping the shader and the systems they hold.
void ReleaseSceneHandles();
// F11 and Alt+Enter switch the window to full screen and back; Esc only
// leaves full screen. Reads the key edges of the step running.
void ToggleFullscreenOnKeys(Window& window);

// The boat, the fish, the hint text, the music and the level.
class GameScene : public Scene {
public:
    // Turn the sound off and on (Audio::SetMasterVolume), also while paused.
    static constexpr int SoundKey = SDLK_m;
    static constexpr PadInput SoundButton = PadInput::Button(SDL_CONTROLLER_BUTTON_BACK);

    // levelPath: a level someone named, of the game's own format or a Tiled
    // map, told apart by content; without one, the game's own level
    // (Level::PATH) in its own format. When live, the level's files are
    // watched, and the level is played again in place of the running one as
    // soon as one of them is saved. A level dropped on the window is played
    // in its place, live.
    explicit GameScene(Uni<SceneContent> content = CreateUni<SceneContent>(),
                       std::optional<std::string> levelPath = std::nullopt, bool live = false);
    ~GameScene() override; ///< Ends WatchFocus's watch.

    // A level file that cannot be used shuts the engine down and ends the
    // program with the reason.
    void Build(Engine& engine) override;
    // A level file dropped on the window is played first (LiveLevel::Open;
    // of several, the last); a live scene then looks at its level's files
    // (LiveLevel::Poll). What came of either is shown in the notice. These
    // and the full-screen keys work while the game is paused (P or a pad's
    // Start), which holds the simulation and the music, and so do M and a
    // pad's Back, which turn the sound off and on and say so in the notice
    // (but for a failure showing, which stays).
    void Update() override;
    // The frame schedule, then, paused, the picture dimmed with how to
    // resume, and the notice over all.
    void Draw(const Uni<Renderer>& renderer) override;
    void Release() override;

    LiveLevel& GetLevel() { return m_level; }
    // What the window shows of a level saved or dropped.
    const Notice& GetNotice() const { return m_notice; }
    bool IsPaused() const { return m_pause.IsPaused(); }
    const Pause& GetPause() const { return m_pause; }
    // An SDL event as SDL queues it: the window losing the focus it had
    // pauses the game at the next step, as P does; getting it back does not
    // go on. Other events are ignored, on any thread.
    void HandleEvent(const SDL_Event& event);
    // From now on SDL hands the built scene every event it queues
    // (HandleEvent), the window counting as focused if it is now. The game
    // does this; tests that play on a display shared with other windows,
    // which take the focus as they open, do not.
    void WatchFocus();
    // From now on a pad pulled out (Gamepads::WasRemoved) pauses the running
    // game at the next step, as P does, and the pause picture says so;
    // plugging it in again does not go on. The game does this; tests, which
    // may run where someone pulls a pad of their own, watch only if they ask.
    void WatchPads() { m_watchingPads = true; }
    // Turns the sound on or off and says so in the notice, as M does (but
    // for a failure showing, which stays).
    void SetSound(bool on);
    // Shows a problem the player should know of, as a level's failure is
    // shown (the settings file ignored).
    void ShowProblem(std::string text) { m_notice.Show(std::move(text), true); }
    // Called on each step in which the player turned the sound off or on, or
    // the window to full screen or back, once that is done: the game keeps
    // the player's choices.
    void OnChoice(std::function<void()> chosen) { m_chosen = std::move(chosen); }
    // LiveLevel::Reload.
    bool ReloadLevel() { return m_level.Reload(); }
    // The clock Update hands LiveLevel::Poll: seconds on a steady clock,
    // unless a test sets its own.
    void SetClock(std::function<double()> clock) { m_clock = std::move(clock); }

private:
    Uni<SceneContent> m_content;
    LiveLevel m_level;
    Notice m_notice;
    std::function<double()> m_clock;
    std::function<void()> m_chosen;
    Pause m_pause;
    bool m_watching = false;
    bool m_watchingPads = false;
    ActionMap m_soundKeys;
    // Null when the music could not be loaded.
    Ref<Clip> m_music;
    // Null without a window: the keys for full screen do nothing then.
    Window* m_window = nullptr;
};

} // namespace Engine
