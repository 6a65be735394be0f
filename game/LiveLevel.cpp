#include "game/LiveLevel.h"

#include <filesystem>

#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/TileMap.h>

#include "game/Tuning.h"

namespace Engine {

void ForegroundRenderer::Run(EntityID entity) {
    const Ref<Foreground> drawn = ECS::Get().GetComponent<Foreground>(entity);
    if (drawn && drawn->layer.map && drawn->layer.textures)
        Tiled::DrawLayer(*drawn->layer.map, *drawn->layer.textures, drawn->layer.layer,
                         Time::elapsed);
}

LiveLevel::LiveLevel(LevelContent& content, std::string path, bool named, bool watched)
    : m_content(content), m_path(std::move(path)), m_named(named), m_watched(watched) {}

LoadedLevel LiveLevel::Read(const std::string& path, bool named, std::vector<std::string>& names) {
    glm::vec2 boatSize(0.0f);
    if (Ref<Collider> hull = ECS::Get().GetComponent<Collider>(m_boat))
        boatSize = glm::vec2(hull->width, hull->height);
    LevelData data = m_content.LoadLevel(path, named);
    // Known before its pictures are read: should one be missing or broken,
    // the save that mends it must be seen.
    names = {path};
    if (data.map) {
        const std::vector<std::string> files = data.map->Files();
        names.insert(names.end(), files.begin(), files.end());
    } else if (!data.tilemapPath.empty()) {
        names.push_back(data.tilemapPath);
    }
    return Level::Prepare(std::move(data), path, m_content, boatSize);
}

void LiveLevel::Place(LoadedLevel& level) {
    ECS& ecs = ECS::Get();
    for (LevelLayer& layer : level.layers) {
        EntityID e = ecs.CreateEntity();
        // The renderers place everything themselves; the registry runs each
        // over its layers in the order they were made, bottom first.
        struct Placer {
            ECS& ecs;
            EntityID e;
            void operator()(TileMap& tiles) const {
                ecs.AddComponent<TileMap>(e, std::move(tiles));
                ecs.AddComponent<Transform>(e, glm::vec3(0), glm::vec3(0), glm::vec3(512, 512, 0));
            }
            // A Tiled map's kinds of layer are registered by the first level
            // that has them, after the scene's own types and systems.
            void operator()(Tiled::MapBackground& background) const {
                Tiled::RegisterMapDrawing(ecs);
                ecs.AddComponent<Tiled::MapBackground>(e, background);
            }
            void operator()(Tiled::MapLayer& drawn) const {
                Tiled::RegisterMapDrawing(ecs);
                ecs.AddComponent<Tiled::MapLayer>(e, std::move(drawn));
            }
            void operator()(Foreground& drawn) const {
                if (!ecs.IsComponentRegistered<Foreground>()) {
                    ecs.RegisterComponent<Foreground>();
                    ecs.RegisterSystem(CreateRef<ForegroundRenderer>());
                }
                ecs.AddComponent<Foreground>(e, std::move(drawn));
            }
        };
        std::visit(Placer{ecs, e}, layer);
        m_entities.push_back(e);
    }
    Level::CreateCells(level.cells, level.cellW, level.cellH, &m_entities);
    m_start = level.start;
}

void LiveLevel::PlaceFish(const std::optional<std::vector<FishPlace>>& places) {
    ECS& ecs = ECS::Get();
    ecs.RemoveEntities(m_fish);
    m_fish.clear();
    m_fishPlaces = places;
    if (!m_fishLook)
        return;
    auto make = [&](glm::vec3 start) {
        const EntityID e = ecs.CreateEntity();
        Transform placement = m_fishLook->placement;
        placement.position = start;
        ecs.AddComponent<Transform>(e, placement);
        if (m_fishLook->mesh)
            ecs.AddComponent<Mesh>(e, *m_fishLook->mesh);
        ecs.AddComponent<Enemy>(e, m_fishLook->enemy);
        if (m_fishLook->body)
            ecs.AddComponent<RigidBody>(e, RigidBody());
        m_fish.push_back(e);
        return e;
    };
    if (!places) {
        make(Tuning::EnemyStart);
        return;
    }
    // Registered by the first level that needs it: the designed game's
    // component types stay as they are.
    ecs.RegisterComponent<Lane>();
    for (const FishPlace& place : *places)
        ecs.AddComponent<Lane>(make(place.start), place.lane);
}

void LiveLevel::Load(EntityID boat, EntityID fish) {
    m_boat = boat;
    std::vector<std::string> names;
    LoadedLevel level = Read(m_path, m_named, names);
    Place(level);
    ECS& ecs = ECS::Get();
    if (ecs.HasComponent<Transform>(fish) && ecs.HasComponent<Enemy>(fish)) {
        std::optional<Mesh> mesh;
        if (ecs.HasComponent<Mesh>(fish))
            mesh = *ecs.GetComponent<Mesh>(fish);
        m_fishLook = FishLook{*ecs.GetComponent<Transform>(fish), std::move(mesh),
                              Enemy(ecs.GetComponent<Enemy>(fish)->player),
                              ecs.HasComponent<RigidBody>(fish)};
        m_fish = {fish};
    }
    // The designed fish swims on as the scene made it.
    if (level.fish)
        PlaceFish(level.fish);
    if (Ref<Transform> place = ECS::Get().GetComponent<Transform>(m_boat))
        place->position = m_start;
    if (!Saveable(m_path))
        m_watched = false;
    if (m_watched)
        m_watch.Watch(level.files);
}

bool LiveLevel::Saveable(const std::string& path) {
    // A level read from a pipe or a device is not saved over, and reading it
    // again would find it empty or wait for a writer: it is played as read.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

std::optional<std::vector<std::string>> LiveLevel::Replace(const std::string& path, bool named,
                                                           const char* doing, bool keepBoat,
                                                           std::vector<std::string>& names) {
    LoadedLevel level;
    try {
        level = Read(path, named, names);
    } catch (const LevelError& error) {
        Refuse(path, doing, error.what());
        return std::nullopt;
    }
    // Everything is read before the running level goes, and all of it goes
    // between two steps: no frame shows half a level, and the collider grid
    // is built anew from the registry at the next step.
    ECS& ecs = ECS::Get();
    ecs.RemoveEntities(m_entities);
    m_entities.clear();
    Place(level);
    if (!keepBoat || level.fish != m_fishPlaces)
        PlaceFish(level.fish);
    Ref<Transform> boat = ecs.GetComponent<Transform>(m_boat);
    Ref<Collider> hull = ecs.GetComponent<Collider>(m_boat);
    if (boat && (!keepBoat || (hull && Level::HitsSolid(level.cells, level.cellW, level.cellH,
                                                        boat->position,
                                                        glm::vec2(hull->width, hull->height))))) {
        boat->position = m_start;
        if (Ref<RigidBody> body = ecs.GetComponent<RigidBody>(m_boat))
            body->velocity = glm::vec3(0);
    }
    return std::move(level.files);
}

bool LiveLevel::Open(const std::string& path) {
    // A pipe or a device dropped by mistake could hold the game waiting for
    // a writer, or for an end that never comes.
    if (!Saveable(path)) {
        Refuse(path, "play", "not a regular file");
        return false;
    }
    std::vector<std::string> names;
    const std::optional<std::vector<std::string>> files = Replace(path, true, "play", false, names);
    if (!files)
        return false;
    m_path = path;
    m_named = true;
    m_watched = true;
    // Files of the old level that the new one shares are taken afresh too.
    m_watch = FileWatch();
    m_watch.Watch(*files);
    Tell("Playing level file " + m_path, false);
    return true;
}

bool LiveLevel::Reload() {
    std::vector<std::string> names;
    const std::optional<std::vector<std::string>> files =
        Replace(m_path, m_named, "reload", true, names);
    m_watch.Take();
    if (!files) {
        // A file the saved level names anew, missing or broken, reloads it
        // once saved, as the level's own files do.
        if (!names.empty())
            m_watch.Watch(names);
        return false;
    }
    m_watch.Watch(*files);
    Tell("Reloaded level file " + m_path, false);
    return true;
}

void LiveLevel::Tell(std::string message, bool failed) {
    if (failed)
        Log::Warn("LEVEL", "%s", message.c_str());
    else
        Log::Log("LEVEL", "%s", message.c_str());
    m_news = News{std::move(message), failed};
}

void LiveLevel::Refuse(const std::string& path, const char* doing, const std::string& reason) {
    Tell(std::string("Could not ") + doing + " level file " + path + ": " + reason +
             "; the level plays on as it was",
         true);
}

void LiveLevel::Poll(double now) {
    if (!m_watched)
        return;
    const FileWatch::Report report = m_watch.Poll(now);
    for (const std::string& gone : report.missing)
        Tell(gone + " is gone; the level plays on as it was", true);
    if (report.changed)
        Reload();
}

} // namespace Engine
