// Falling boxes: crates drop from above, land on a tile floor and pile up, with
// a counter in the corner; once all have settled the rain starts over. Shows
// bodies, forces and colliders and a tile map, drawn with the engine's own
// shader, and a line of text in its own font. Its images are in assets/,
// beside this file.
#include <random>
#include <string>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/Texture.h>
#include <engine/render/TileMap.h>

// The build names the assets' directory; by hand, start the program in the
// directory that holds assets/.
#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace Engine {

namespace {

// The view is the window's size, one world unit a pixel.
constexpr int WIDTH = 1280;
constexpr int HEIGHT = 720;
constexpr int TILE = 64;
constexpr int COLUMNS = WIDTH / TILE;
constexpr int ROWS = HEIGHT / TILE + 1; // the last row is only half on screen

// Cells of assets/tiles.png, a row of four tiles.
constexpr int GRASS = 0, DIRT = 1, STONE = 2, CRATE = 3;

constexpr size_t MAX_BOXES = 30;
constexpr double SPAWN_EVERY = 0.3; // seconds
constexpr double REST = 3.0;        // seconds all boxes lie still before the next rain
constexpr float GRAVITY = 1960.0f;  // pixels per second squared; y grows downwards

class FallingBoxes : public Scene {
public:
    void Build(Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Mesh>();
        ecs.RegisterComponent<TileMap>();
        ecs.RegisterComponent<RigidBody>();
        ecs.RegisterComponent<Collider>();
        ecs.RegisterComponent<ForceGenerator>();

        // Renderer systems keep their own handle on the shader: it must exist first.
        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        ecs.RegisterSystem(CreateRef<TileMapRenderer>(engine.RendererOwner(), m_shader));
        ecs.RegisterSystem(CreateRef<ForceSystem>());
        ecs.RegisterSystem(CreateRef<PhysicsSystem>());

        // The camera's position is shown at the centre of the screen; put there,
        // world coordinates are window pixels.
        Camera::Main().transform.position = glm::vec3(WIDTH / 2, HEIGHT / 2, 0);

        // Without the image there are no regions: boxes then draw nothing but still fall.
        Ref<Texture2D> sheet = Texture2D::Create(EXAMPLE_ASSETS "tiles.png");
        std::vector<Ref<Texture>> tiles = CutSheetRegions(sheet, TILE, TILE);
        m_crate = tiles.size() > CRATE ? tiles[CRATE] : nullptr;

        // The tile map only draws; each block of it also gets one still collider
        // (no RigidBody), which is what stops the boxes.
        std::vector<std::vector<int>> board(COLUMNS, std::vector<int>(ROWS, -1));
        auto block = [&](int x, int y, int w, int h, int top, int below) {
            for (int i = x; i < x + w; ++i)
                for (int j = y; j < y + h; ++j)
                    board[i][j] = j == y ? top : below;
            EntityID e = ecs.CreateEntity();
            ecs.AddComponent<Transform>(e, glm::vec3(x * TILE, y * TILE, 0), glm::vec3(0),
                                        glm::vec3(1));
            ecs.AddComponent<Collider>(e, Collider{float(w * TILE), float(h * TILE), true});
        };
        block(0, 9, COLUMNS, ROWS - 9, GRASS, DIRT);
        block(3, 7, 2, 2, STONE, STONE);
        block(13, 8, 3, 1, STONE, STONE);
        EntityID map = ecs.CreateEntity();
        ecs.AddComponent<TileMap>(map, sheet, board, TILE, TILE);
        ecs.AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(1));
    }

    void Update() override {
        ECS& ecs = ECS::Get();
        // Forces change velocities, then the physics step moves the bodies by them.
        ecs.RunSystemArch(ecs.GetArchetype<ForceGenerator, RigidBody>());
        ecs.RunSystemArch(ecs.GetArchetype<RigidBody, Transform, Collider>());

        // The physics step sets `grounded` on bodies that stand on something solid.
        size_t landed = 0;
        for (EntityID box : m_boxes)
            landed += ecs.GetComponent<RigidBody>(box)->grounded ? 1 : 0;

        m_clock += Time::dt;
        if (m_boxes.size() < MAX_BOXES) {
            if (m_clock >= SPAWN_EVERY) {
                Spawn(ecs);
                m_clock = 0.0;
            }
        } else if (landed < MAX_BOXES) {
            m_clock = 0.0;
        } else if (m_clock >= REST) {
            for (EntityID box : m_boxes)
                ecs.RemoveEntity(box);
            m_boxes.clear();
            landed = 0;
            m_clock = 0.0;
        }
        m_landed = landed;
    }

    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        // The mesh renderer opens and closes the frame for every renderer system.
        m_meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
        m_meshes->RenderEnd(renderer);
        // Text in screen pixels, in the engine's own font, over the world.
        Draw::Text("boxes: " + std::to_string(m_boxes.size()) +
                       "   landed: " + std::to_string(m_landed),
                   {24, 18}, 32, WHITE);
    }

    void Release() override {
        m_meshes.reset();
        m_shader.reset();
        m_crate.reset();
    }

private:
    // A crate just above the top edge, falling under its own constant force.
    void Spawn(ECS& ecs) {
        glm::vec3 start(m_column(m_random), -TILE, 0);
        EntityID box = ecs.CreateEntity();
        ecs.AddComponent<Transform>(box, start, glm::vec3(0), glm::vec3(TILE, TILE, 1));
        ecs.AddComponent<Mesh>(box, Mesh::CreateMesh(m_crate));
        ecs.AddComponent<RigidBody>(box, RigidBody());
        ecs.AddComponent<Collider>(box, Collider{TILE, TILE, true});
        ecs.AddComponent<ForceGenerator>(box, ForceGenerator{{0, GRAVITY, 0}});
        m_boxes.push_back(box);
    }

    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    Ref<Texture> m_crate;
    std::vector<EntityID> m_boxes;
    size_t m_landed = 0;
    double m_clock = 0.0;
    // A fixed seed: every run rains the same way.
    std::mt19937 m_random{7};
    std::uniform_real_distribution<float> m_column{0.0f, float(WIDTH - TILE)};
};

} // namespace

} // namespace Engine

int main() {
    return Engine::Engine::Run(Engine::CreateRef<Engine::FallingBoxes>(), Engine::WIDTH,
                               Engine::HEIGHT, "Falling boxes", {.targetFrameRate = 60});
}
