// Tiled world: maps laid out side by side by a world file made with the Tiled editor
// (assets/world/islands.world): two listed with their places, two more found by a pattern over
// the file names of its folder, which give their columns. The camera drifts across the world by
// itself, or goes where the arrow keys send it; only the maps near the view are loaded, and those
// far from it dropped again, as a game too large to hold at once would do, the maps over one tile
// set sharing its texture. Each map is drawn at its place with its own background; each one's
// rectangle is outlined and named, and the cell under the mouse pointer is outlined and named on
// top.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <SDL.h>
#include <glm/glm.hpp>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/tiled/TiledMap.h>
#include <engine/tiled/TiledTileMap.h>
#include <engine/tiled/TiledWorld.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 960, HEIGHT = 540;
// Pixels a second: drifting, and steered.
constexpr float DRIFT = 260, STEER = 600;
// Maps this near the view are loaded before they come into it; those twice as far are dropped.
// The gap between the two keeps a map at the edge from being loaded and dropped by turns.
constexpr float MARGIN = 256;

Rectangle Widened(Rectangle r, float by) {
    return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

// A map of the world in memory, with its pictures on the GPU.
struct Loaded {
    Tiled::Map map;
    Tiled::MapTextures textures;
};

class TiledWorld : public Scene {
public:
    void Build(::Engine::Engine&) override {
        // A world that cannot be read throws, naming the file and what is wrong with it; a map
        // it names that is missing is left out with a warning.
        try {
            m_world = Tiled::LoadWorld(EXAMPLE_ASSETS "world/islands.world");
        } catch (const Tiled::MapError& e) {
            Log::Err("EXAMPLE", "%s", e.what());
        }
        m_loaded.resize(m_world.maps.size());
        m_failed.assign(m_world.maps.size(), false);
        for (size_t i = 0; i < m_world.maps.size(); ++i) {
            const Tiled::WorldMap& m = m_world.maps[i];
            m_left = i ? std::min(m_left, float(m.x)) : float(m.x);
            m_right = i ? std::max(m_right, float(m.x + m.width)) : float(m.x + m.width);
        }
        Camera::Main().transform.position = glm::vec3(m_left + WIDTH / 2.0f, 260, 0);
    }

    void Update() override {
        Camera& cam = Camera::Main();
        const float dt = float(Time::dt);
        const glm::vec2 steer(
            float(Input::IsKeyPressed(SDLK_RIGHT)) - float(Input::IsKeyPressed(SDLK_LEFT)),
            float(Input::IsKeyPressed(SDLK_DOWN)) - float(Input::IsKeyPressed(SDLK_UP)));
        if (steer != glm::vec2(0)) {
            cam.transform.position += glm::vec3(steer * STEER * dt, 0);
            m_drift = steer.x < 0 ? -1.0f : steer.x > 0 ? 1.0f : m_drift;
        } else {
            // Back and forth between the world's ends.
            cam.transform.position.x += m_drift * DRIFT * dt;
            if (cam.transform.position.x > m_right - cam.w / 2)
                m_drift = -1;
            if (cam.transform.position.x < m_left + cam.w / 2)
                m_drift = 1;
        }
        Stream();
        Point();
    }

    void Draw(const Uni<Renderer>&) override {
        // In the world's order: a map listed later covers those before it where they overlap.
        for (size_t i = 0; i < m_world.maps.size(); ++i)
            if (m_loaded[i]) {
                const Tiled::WorldMap& m = m_world.maps[i];
                Tiled::DrawMapAt(m_loaded[i]->map, m_loaded[i]->textures, glm::vec2(m.x, m.y));
            }
        Draw::BeginWorld();
        for (size_t i = 0; i < m_world.maps.size(); ++i) {
            const Tiled::WorldMap& m = m_world.maps[i];
            const Color color = m_loaded[i] ? Color{255, 255, 255, 200} : Color{255, 120, 80, 200};
            Draw::RectLines(m.Bounds(), color, 2);
            Draw::Text(m.fileName, {float(m.x) + 8, float(m.y) + 6}, 16, color);
        }
        if (!m_pointed.empty())
            Draw::RectLines(m_cell, YELLOW, 2);
        Draw::EndWorld();
        // In window pixels, where the camera does not move it.
        int count = 0;
        for (const auto& loaded : m_loaded)
            count += loaded != nullptr;
        Draw::Rect({0, 0, float(WIDTH), 30}, {0, 0, 0, 150});
        Draw::Text("arrow keys move the view, else it drifts     maps loaded: " +
                       std::to_string(count) + " of " + std::to_string(m_world.maps.size()) +
                       m_pointed,
                   {12, 7}, 17, WHITE);
    }

    void Release() override { m_loaded.clear(); }

private:
    // Loads the maps near the view and drops those far from it.
    void Stream() {
        const Camera& cam = Camera::Main();
        const Rectangle view{cam.transform.position.x - cam.w / 2,
                             cam.transform.position.y - cam.h / 2, cam.w, cam.h};
        const Rectangle keep = Widened(view, 2 * MARGIN);
        for (size_t i = 0; i < m_loaded.size(); ++i)
            if (m_loaded[i] && !m_world.maps[i].Bounds().Overlaps(keep))
                m_loaded[i].reset();
        for (const Tiled::WorldMap* m : m_world.MapsIn(Widened(view, MARGIN))) {
            const size_t i = size_t(m - m_world.maps.data());
            if (m_loaded[i] || m_failed[i])
                continue;
            // A map that cannot be read is left out, and not tried again at every step.
            try {
                auto loaded = std::make_unique<Loaded>();
                loaded->map = Tiled::Load(m->path);
                loaded->textures = m_textures.Load(loaded->map);
                m_loaded[i] = std::move(loaded);
            } catch (const Tiled::MapError& e) {
                Log::Warn("EXAMPLE", "%s", e.what());
                m_failed[i] = true;
            }
        }
    }

    // Finds the cell under the pointer on the topmost map there. CellAt works on a map of any
    // orientation (on an isometric or hexagonal one, the diamond or hexagon the pointer is on),
    // and CellBox gives back where that cell is drawn.
    void Point() {
        m_pointed.clear();
        if (!SDL_GetMouseFocus())
            return;
        const glm::vec2 at = Camera::Main().ScreenToWorld(Input::GetMousePosition());
        const Tiled::WorldMap* m = m_world.MapAt(at);
        const size_t i = m ? size_t(m - m_world.maps.data()) : 0;
        if (!m || !m_loaded[i])
            return;
        const Tiled::Map& map = m_loaded[i]->map;
        const Tiled::MapCell cell = map.CellAt(at.x - m->x, at.y - m->y);
        if (cell.column < 0 || cell.column >= map.width || cell.row < 0 || cell.row >= map.height)
            return;
        const Tiled::PixelBox box = map.CellBox(cell.column, cell.row);
        m_cell = {float(m->x + box.x), float(m->y + box.y), float(box.width), float(box.height)};
        m_pointed = "     pointer: " + m->fileName + " cell " + std::to_string(cell.column) +
                    "," + std::to_string(cell.row);
    }

    Tiled::World m_world;
    // The maps share the pictures of their tile sets: each is decoded and uploaded once, and
    // freed with the last map loaded that shows it.
    Tiled::TextureCache m_textures;
    // By the index of the world's map: null while it is not loaded.
    std::vector<std::unique_ptr<Loaded>> m_loaded;
    std::vector<bool> m_failed;
    float m_left = 0, m_right = 0, m_drift = 1;
    // The cell under the pointer and its caption; no caption while it is on no map's cell.
    Rectangle m_cell;
    std::string m_pointed;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<TiledWorld>(), WIDTH, HEIGHT, "Tiled world",
                                 {.targetFrameRate = 60});
}
