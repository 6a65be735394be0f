// Tiled platformer: a map made with the Tiled editor (assets/platformer.tmx, with its tile set
// platformer.tsx and sheet platformer.png) drawn layer by layer, and a walker that runs and
// jumps across it under a small controller of this program's own: its own gravity, and its box
// moved against the map's cells with MoveBox. Which cells stop it, the map says: the tile set
// gives those tiles the class "solid". Past the crates stands a grassy hill: its ramps' slopes
// are collision shapes drawn on their tiles (Tiled's Tile Collision Editor), and MoveBox walks
// the box up and down them with no code here of its own. The camera follows. A line of sight
// runs from the walker toward the mouse pointer, stopped where CastRay says it meets the map.
// Arrow keys or A/D run, SPACE jumps.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include <SDL.h>
#include <glm/glm.hpp>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/CellGrid.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/Camera.h>
#include <engine/render/CameraSystem.h>
#include <engine/render/Draw.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/TileMap.h>
#include <engine/tiled/TiledMap.h>
#include <engine/tiled/TiledTileMap.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 960, HEIGHT = 540;
// The walker is drawn 48 pixels square; its box, which meets the map, is its body and feet.
constexpr float SPRITE = 48, BOX_X = 10, BOX_Y = 6, BOX_W = 28, BOX_H = 39;
// Pixels and seconds; y grows downwards.
constexpr float RUN = 240, GRAVITY = 1900, JUMP = 650, FALL_MAX = 900;

// The player's state, kept by this program; the camera follows what carries it.
struct Runner {
    float x = 0, y = 0, vx = 0, vy = 0; // the box's top-left corner, and its velocity
    bool onGround = false, facingLeft = false;
};

class TiledPlatformer : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<TileMap>();
        ecs.RegisterComponent<Animation>();
        ecs.RegisterComponent<Runner>();
        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        ecs.RegisterSystem(CreateRef<TileMapRenderer>(engine.RendererOwner(), m_shader));
        ecs.RegisterSystem(CreateRef<AnimationRenderer>(engine.RendererOwner(), m_shader));
        ecs.RegisterSystem(CreateRef<AnimationUpdater>());
        ecs.RegisterSystem(CreateRef<CameraSystem<Runner>>());

        // A map that cannot be read throws, naming the file and what is wrong with it.
        try {
            m_map = Tiled::Load(EXAMPLE_ASSETS "platformer.tmx");
            // One entity for each visible tile layer, bottom first: drawn in that order.
            Tiled::CreateTileMapEntities(m_map, Tiled::LoadSheets(m_map));
            // Which cells are solid is the map's to say: a tile of the class "solid", on any
            // layer shown. The map's sides are walls; above and below it is open.
            m_solid = Tiled::SolidCells(m_map, {.tileClass = "solid"});
        } catch (const Tiled::MapError& e) {
            Log::Err("EXAMPLE", "%s", e.what());
        }
        // The map marks where the walker starts: a point at the middle of its feet, shown
        // moved with its layer.
        const Tiled::Object* start = m_map.FindObject("start");
        const Rectangle feet = start ? m_map.ShownBoxOf(*start)
                                     : Rectangle{2.5f * float(m_map.tileWidth), float(m_map.tileHeight)};
        m_startX = feet.x - BOX_W / 2;
        m_startY = feet.y - BOX_H;

        m_player = ecs.CreateEntity();
        ecs.AddComponent<Transform>(m_player, glm::vec3(0), glm::vec3(0),
                                    glm::vec3(SPRITE, SPRITE, 1));
        ecs.AddComponent<Animation>(m_player, EXAMPLE_ASSETS "walker.png", 64, 64);
        ecs.AddComponent<Runner>(m_player, Runner{m_startX, m_startY});
        Camera::Main().offset.position = glm::vec3(SPRITE / 2, -40, 0);
    }

    void Update() override {
        ECS& ecs = ECS::Get();
        Runner& r = *ecs.GetComponent<Runner>(m_player);
        const float dt = float(Time::dt);

        auto held = [](int key, int other) {
            return Input::IsKeyPressed(key) || Input::IsKeyPressed(other) ? 1.0f : 0.0f;
        };
        // Quick to get going and to stop on the ground, slower to turn in the air.
        const float dir = held(SDLK_RIGHT, SDLK_d) - held(SDLK_LEFT, SDLK_a);
        r.vx += (dir * RUN - r.vx) * std::min(1.0f, (r.onGround ? 20.0f : 6.0f) * dt);
        r.facingLeft = dir < 0 || (dir == 0 && r.facingLeft);
        // A jump when SPACE goes down on the ground: holding it does not jump again.
        if (Input::WasKeyPressed(SDLK_SPACE) && r.onGround)
            r.vy = -JUMP;
        r.vy = std::min(r.vy + GRAVITY * dt, FALL_MAX);

        // The box moved as far as the solid cells let it; what it meets stops it.
        const BoxMove move = MoveBox(m_solid, {r.x, r.y, BOX_W, BOX_H}, {r.vx * dt, r.vy * dt});
        r.x = move.box.x;
        r.y = move.box.y;
        if (move.hitLeft || move.hitRight)
            r.vx = 0;
        if (move.hitTop || move.hitBottom)
            r.vy = 0;
        r.onGround = move.hitBottom;
        // Fallen into a gap: back to the start.
        if (r.y > m_map.Bounds().height + 200)
            r = Runner{m_startX, m_startY};

        // The sprite, mirrored about its middle when it runs left.
        Ref<Transform> t = ecs.GetComponent<Transform>(m_player);
        t->position = glm::vec3(r.x - BOX_X + (r.facingLeft ? SPRITE : 0), r.y - BOX_Y, 0);
        t->scale.x = r.facingLeft ? -SPRITE : SPRITE;
        // The legs move while it runs on the ground.
        if (r.onGround && std::abs(r.vx) > 20)
            ecs.RunSystemArch(ecs.GetArchetype<Animation>());
        ecs.RunSystemArch(ecs.GetArchetype<Transform, Runner>());
        // The camera stays over the map.
        Camera::Main().ClampTo(m_map.Bounds());
    }

    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        m_meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
        m_meshes->RenderEnd(renderer);
        // The line of sight, from the walker's eyes: what of the map it meets first ends it.
        const Runner& r = *ecs.GetComponent<Runner>(m_player);
        const glm::vec2 eyes{r.x + BOX_W / 2, r.y + 8};
        const glm::vec2 pointer = Camera::Main().ScreenToWorld(Input::GetMousePosition());
        const std::optional<RayHit> hit = CastRay(m_solid, eyes, pointer);
        Draw::BeginWorld();
        Draw::Line(eyes, hit ? hit->point : pointer, YELLOW);
        if (hit)
            Draw::Circle(hit->point, 3, RED);
        Draw::EndWorld();
        // Text in screen pixels, where the camera does not move it.
        Draw::Text(
            std::string("arrows or A/D run, SPACE jumps: over the crates to the hill     ") +
                (ecs.GetComponent<Runner>(m_player)->onGround ? "on solid ground" : "in the air"),
            {16, 18}, 19, WHITE);
    }

    void Release() override {
        m_meshes.reset();
        m_shader.reset();
    }

private:
    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    Tiled::Map m_map;
    CellGrid m_solid;
    float m_startX = 0, m_startY = 0;
    EntityID m_player = 0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<TiledPlatformer>(), WIDTH, HEIGHT,
                                 "Tiled platformer", {.targetFrameRate = 60});
}
