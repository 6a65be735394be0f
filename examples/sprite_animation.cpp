// Sprite animation: a little walker, cut from a sheet of four frames, strolls
// along a tiled floor far wider than the window, and the camera eases after
// it. Crates along the way show the scrolling; a line of text stays on screen.
#include <cstdio>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/Camera.h>
#include <engine/render/CameraSystem.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/Texture.h>
#include <engine/render/TileMap.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

// A window of another size than the game's: the view follows it.
constexpr int WIDTH = 800;
constexpr int HEIGHT = 450;
constexpr int TILE = 64;
constexpr int COLUMNS = 60; // the floor, much wider than the window
constexpr int GRASS = 0, DIRT = 1, CRATE = 3;
constexpr float FLOOR = 6 * TILE; // the top of the grass, in world units

// What the camera follows: a component of this program's own, with the
// walker's speed in world units a second.
struct Walker {
    float speed = 160.0f;
};

class SpriteAnimation : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Mesh>();
        ecs.RegisterComponent<TileMap>();
        ecs.RegisterComponent<Animation>();
        ecs.RegisterComponent<Walker>();

        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        ecs.RegisterSystem(CreateRef<TileMapRenderer>(engine.RendererOwner(), m_shader));
        ecs.RegisterSystem(CreateRef<AnimationRenderer>(engine.RendererOwner(), m_shader));
        // Updates: frames advance every 0.1 s; the camera eases after Walker.
        ecs.RegisterSystem(CreateRef<AnimationUpdater>());
        ecs.RegisterSystem(CreateRef<CameraSystem<Walker>>());

        // Two rows of floor, crates every few columns.
        Ref<Texture2D> tiles = Texture2D::Create(EXAMPLE_ASSETS "tiles.png");
        std::vector<std::vector<int>> board(COLUMNS, std::vector<int>(8, -1));
        for (int x = 0; x < COLUMNS; ++x) {
            board[x][6] = GRASS;
            board[x][7] = DIRT;
            if (x % 7 == 3)
                board[x][5] = CRATE;
        }
        EntityID map = ecs.CreateEntity();
        ecs.AddComponent<TileMap>(map, tiles, board, TILE, TILE);
        ecs.AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(1));

        // The sheet is cut into 64 by 64 frames; the transform's scale is the
        // drawn size, its position the top-left corner.
        m_walker = ecs.CreateEntity();
        ecs.AddComponent<Transform>(m_walker, glm::vec3(0, FLOOR - TILE, 0), glm::vec3(0),
                                    glm::vec3(TILE, TILE, 1));
        ecs.AddComponent<Animation>(m_walker, EXAMPLE_ASSETS "walker.png", TILE, TILE);
        ecs.AddComponent<Walker>(m_walker, Walker{});
        // The walker a little left of and below the view's centre.
        Camera::Main().offset.position = glm::vec3(120, -60, 0);
        Camera::Main().transform.position = glm::vec3(120, FLOOR - 124, 0);
    }

    void Update() override {
        ECS& ecs = ECS::Get();
        // Walk right; past the last column start again from the left.
        Ref<Transform> t = ecs.GetComponent<Transform>(m_walker);
        t->position.x += ecs.GetComponent<Walker>(m_walker)->speed * float(Time::dt);
        if (t->position.x > (COLUMNS - 1) * TILE) {
            t->position.x = 0;
            Camera::Main().transform.position.x = t->position.x + Camera::Main().offset.position.x;
        }
        ecs.RunSystemArch(ecs.GetArchetype<Animation>());
        ecs.RunSystemArch(ecs.GetArchetype<Transform, Walker>());
    }

    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        m_meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
        m_meshes->RenderEnd(renderer);

        // Text in screen pixels stays where it is on the window as the camera moves.
        char line[64];
        std::snprintf(line, sizeof line, "frame %d   x %.0f",
                      ecs.GetComponent<Animation>(m_walker)->m_currentFrame,
                      ecs.GetComponent<Transform>(m_walker)->position.x);
        Draw::Text(line, {16, 12}, 19, WHITE);
    }

    void Release() override {
        m_meshes.reset();
        m_shader.reset();
    }

private:
    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    EntityID m_walker = 0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<SpriteAnimation>(), WIDTH, HEIGHT,
                                 "Sprite animation", {.targetFrameRate = 60});
}
