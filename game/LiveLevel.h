#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <engine/core/FileWatch.h>
#include <engine/ecs/System.h>
#include <engine/ecs/Types.h>
#include <engine/physics/Transform.h>
#include <engine/render/Mesh.h>

#include "game/Level.h"

namespace Engine {

// Draws each Foreground layer; the frame schedule runs it after the boat.
class ForegroundRenderer : public System<Foreground> {
public:
    void Run(EntityID entity) override;
};

// The level in play, over its whole life: read and placed, its files watched,
// read again and put in place of itself, the boat sent back when it would be
// inside a wall.
class LiveLevel {
public:
    // The level at path, read through content (which must outlive it): a
    // named one told apart by content, else read as the game's own format
    // (LevelContent::LoadLevel). A watched level is played again whenever one
    // of its files is saved; one read from a pipe or a device is not watched.
    LiveLevel(LevelContent& content, std::string path, bool named, bool watched);

    // Reads the level and places it, the boat at its start. fish is the
    // designed fish, placed already: it swims on a level that places no fish
    // of its own, else it goes and the level's fish, made like it, swim.
    // Throws LevelError for a level that cannot be used, having placed
    // nothing.
    void Load(EntityID boat, EntityID fish = 0);
    // Reads the level again and puts its layers and cells in place of the
    // running level's. Fish the level places as before swim on; otherwise
    // they are placed anew. The boat keeps its place unless it would overlap a
    // solid cell (touching one edge to edge is no overlap): then it goes back
    // to the new level's start, still. A level that cannot be used leaves the
    // running one as it was, with a warning naming the file and the reason.
    // Returns whether it reloaded.
    bool Reload();
    // Plays the level at path in place of the running one, as if it had been
    // named on the command line: told apart by content, watched, the boat at
    // its start, still, its fish placed anew. A level that cannot be used, a
    // pipe or a device among them, leaves the running one as it was, still
    // watched, with a warning naming the file and the reason. Returns
    // whether it plays.
    bool Open(const std::string& path);
    // What a reload or Open since the last call said, in its log line's
    // words: why a level could not be used, or which now plays. Empty when
    // nothing happened; the latest when several did.
    struct News {
        std::string message;
        bool failed = false;
    };
    std::optional<News> TakeNews() { return std::exchange(m_news, std::nullopt); }
    // Looks at the level's files, `now` in seconds on a steady clock, and
    // reloads once a saved change has settled; warns once of a file gone.
    // Does nothing for a level that is not watched.
    void Poll(double now);

    const std::string& Path() const { return m_path; }
    bool Watched() const { return m_watched; }
    const FileWatch& Watch() const { return m_watch; }
    // Where the boat starts on the running level.
    glm::vec3 Start() const { return m_start; }
    // The entities of the running level: its layers bottom first, then its cells.
    const std::vector<EntityID>& Entities() const { return m_entities; }
    // The fish swimming, in the order the level places them.
    const std::vector<EntityID>& Fish() const { return m_fish; }

private:
    // The level at path; `names` gets the level file and every file it names
    // as soon as they are known, also when what they hold cannot be used.
    LoadedLevel Read(const std::string& path, bool named, std::vector<std::string>& names);
    void Place(LoadedLevel& level);
    // Puts fish at places, or the designed fish for nothing, in place of
    // those swimming.
    void PlaceFish(const std::optional<std::vector<FishPlace>>& places);
    // Reads the level at path and puts it in place of the running one. The
    // boat goes back to the new start, still, unless keepBoat and it has
    // room where it is. A level that cannot be used leaves everything as it
    // was, with a warning that it could not <doing> it. The files the level
    // is read from, or nothing; `names` as Read gives them.
    std::optional<std::vector<std::string>> Replace(const std::string& path, bool named,
                                                    const char* doing, bool keepBoat,
                                                    std::vector<std::string>& names);
    // Logs message under "LEVEL", a warning when failed, and keeps it as news.
    void Tell(std::string message, bool failed);
    // The warning that the level at path could not be <doing>: its reason.
    void Refuse(const std::string& path, const char* doing, const std::string& reason);
    // Whether the file at path is one a save can change: not a pipe or a device.
    static bool Saveable(const std::string& path);

    LevelContent& m_content;
    std::string m_path;
    bool m_named;
    bool m_watched;
    EntityID m_boat = 0;
    FileWatch m_watch;
    std::vector<EntityID> m_entities;
    std::vector<EntityID> m_fish;
    std::optional<std::vector<FishPlace>> m_fishPlaces;
    // The designed fish's records, which every fish is made of; none when
    // there was no designed fish to copy.
    struct FishLook {
        Transform placement;
        std::optional<Mesh> mesh;
        Enemy enemy;
        bool body;
    };
    std::optional<FishLook> m_fishLook;
    glm::vec3 m_start{0.0f};
    std::optional<News> m_news;
};

} // namespace Engine
