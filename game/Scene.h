#pragma once

#include <functional>
#include <string>
#include <vector>

#include <engine/core/Base.h>
#include <engine/core/Engine.h>
#include <engine/core/FileWatch.h>
#include <engine/ecs/SystemBase.h>
#include <engine/ecs/Types.h>
#include <engine/text/Font.h>

#include "game/Level.h"

namespace Engine {

class Clip;
class ECS;
class Shader;
class Texture2D;

// Handles of the scene, written while it is built and read by its schedules.
extern Ref<Shader> shader;
extern EntityID player;
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

// Where the scene's content comes from. The game reads the files under
// ./Assets; benchmarks and tests without a GL context hand in stand-ins.
class SceneContent {
public:
    virtual ~SceneContent() = default;
    virtual Font LoadFont(const char* path);
    virtual Ref<Shader> LoadShader(const std::string& path);
    virtual Ref<Texture2D> LoadTexture(const std::string& path);
    // Empty when the file cannot be played.
    virtual Ref<Clip> LoadMusic(const std::string& path);
    // Throws LevelError for a level that cannot be used.
    virtual LevelData LoadLevel(const std::string& path);
    // The sheets of a Tiled map's tile sets, in their order; throws LevelError
    // for one that cannot be used.
    virtual std::vector<Ref<Texture2D>> LoadSheets(const Tiled::Map& map);
};

// The fourteen component types, in the order that gives them ids 0 to 13.
void RegisterSceneComponents(ECS& ecs);
// The systems with ids 0 to 8, drawing with `shader`; sets the system handles
// and `sysid`. The enemy's system follows once the enemy exists.
void RegisterSceneSystems(ECS& ecs, Uni<Renderer>& renderer);
// One simulation step: control, enemy, camera, forces, physics, animation.
void RunUpdateSchedule();
// One frame's drawing: sprites, text, tiles, then the animated player, between
// the mesh renderer's opening and closing of the frame.
void RunFrameSchedule(const Uni<Renderer>& renderer);
// Empties the handles above, dropping the shader and the systems they hold.
void ReleaseSceneHandles();

// The boat, the fish, the hint text, the music and the level.
class GameScene : public Scene {
public:
    // levelPath: a level of the game's own format or a Tiled map. When live,
    // the level's files are watched, and the level is played again in place
    // of the running one as soon as one of them is saved.
    explicit GameScene(Uni<SceneContent> content = CreateUni<SceneContent>(),
                       std::string levelPath = Level::PATH, bool live = false);

    // A level file that cannot be used shuts the engine down and ends the
    // program with the reason.
    void Build(Engine& engine) override;
    // A live scene looks at its level's files first (WatchLevel).
    void Update() override;
    void Draw(const Uni<Renderer>& renderer) override;
    void Release() override;

    const std::string& LevelPath() const { return m_levelPath; }

    // Reads the level again and puts its tile maps and cells in place of the
    // running level's. The boat, the fish and the camera stay where they are;
    // a boat the new level has inside a solid cell goes back to its start. A
    // level that cannot be used leaves the running one as it was, with a
    // warning naming the file and the reason. Returns whether it reloaded.
    bool ReloadLevel();
    // Looks at the level's files, `now` in seconds on a steady clock, and
    // reloads once a saved change has settled; warns once of a file gone.
    void WatchLevel(double now);
    const FileWatch& Watch() const { return m_watch; }
    // The clock Update hands WatchLevel: seconds on a steady clock, unless a
    // test sets its own.
    void SetClock(std::function<double()> clock) { m_clock = std::move(clock); }
    // The entities of the running level: its tile maps, then its cells.
    const std::vector<EntityID>& LevelEntities() const { return m_levelEntities; }

private:
    // A level read with everything it needs, before any of it is placed.
    struct LoadedLevel {
        LevelData data;
        std::vector<Ref<Texture2D>> sheets; // a Tiled map's
        Ref<Texture2D> sheet;               // the game's own format's
    };
    // Throws LevelError.
    LoadedLevel LoadLevel();
    void PlaceLevel(LoadedLevel& level);
    // The level file and every file it names, the names as read.
    std::vector<std::string> LevelFiles(const LevelData& level) const;

    Uni<SceneContent> m_content;
    std::string m_levelPath;
    bool m_live = false;
    FileWatch m_watch;
    std::function<double()> m_clock;
    std::vector<EntityID> m_levelEntities;
};

} // namespace Engine
