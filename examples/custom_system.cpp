// A component and a system of your own: Velocity is a plain record, and
// BounceSystem moves every entity that has a Transform and a Velocity, turning
// it back at the edges of the view and counting the bounces. The registry runs
// the system over exactly those entities.
#include <random>
#include <string>

#include <engine/core/Engine.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/Texture.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;
constexpr float BALL = 32.0f;

// Components are plain values; the registry keeps a copy of each.
struct Velocity {
    glm::vec2 v{0, 0}; // world units a second
};

// A system's signature is its list of component types. Run is called once
// for each entity that carries all of them, whatever else it has.
class BounceSystem : public System<Transform, Velocity> {
public:
    void Run(EntityID entity) override {
        ECS& ecs = ECS::Get();
        // GetComponent hands out the stored record itself: writes stay.
        Ref<Transform> t = ecs.GetComponent<Transform>(entity);
        Ref<Velocity> vel = ecs.GetComponent<Velocity>(entity);
        t->position += glm::vec3(vel->v, 0) * float(Time::dt);
        // The view is the window, with the camera at its centre.
        const Camera& cam = Camera::Main();
        const glm::vec2 low = glm::vec2(cam.transform.position) - glm::vec2(cam.w, cam.h) / 2.0f;
        const glm::vec2 high = low + glm::vec2(cam.w, cam.h) - glm::vec2(t->scale);
        for (int axis = 0; axis < 2; ++axis) {
            if ((t->position[axis] < low[axis] && vel->v[axis] < 0) ||
                (t->position[axis] > high[axis] && vel->v[axis] > 0)) {
                vel->v[axis] = -vel->v[axis];
                ++bounces;
            }
        }
    }

    long bounces = 0;
};

class CustomSystem : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        // Every component type is registered before it is used, the
        // engine's and this program's alike.
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Mesh>();
        ecs.RegisterComponent<Velocity>();

        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        m_bounce = CreateRef<BounceSystem>();
        ecs.RegisterSystem(m_bounce);
        Camera::Main().transform.position = glm::vec3(WIDTH / 2, HEIGHT / 2, 0);

        // Balls with a velocity each; a fixed seed, so every run is the same.
        Ref<Texture2D> ball = Texture2D::Create(EXAMPLE_ASSETS "ball.png");
        std::mt19937 random(11);
        std::uniform_real_distribution<float> x(0, WIDTH - BALL), y(60, HEIGHT - BALL),
            speed(-260, 260);
        for (int i = 0; i < 40; ++i) {
            EntityID e = ecs.CreateEntity();
            ecs.AddComponent<Transform>(e, glm::vec3(x(random), y(random), 0), glm::vec3(0),
                                        glm::vec3(BALL, BALL, 1));
            ecs.AddComponent<Mesh>(e, Mesh::CreateMesh(ball));
            ecs.AddComponent<Velocity>(e, Velocity{{speed(random), speed(random)}});
        }
        // One ball stands still: it has no Velocity, so the system passes it by.
        EntityID still = ecs.CreateEntity();
        ecs.AddComponent<Transform>(still, glm::vec3(WIDTH / 2 - 32, HEIGHT / 2 - 32, 0),
                                    glm::vec3(0), glm::vec3(64, 64, 1));
        ecs.AddComponent<Mesh>(still, Mesh::CreateMesh(ball));
    }

    void Update() override {
        ECS& ecs = ECS::Get();
        // Runs every system whose signature is exactly {Transform, Velocity}.
        ecs.RunSystemArch(ecs.GetArchetype<Transform, Velocity>());
    }

    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        m_meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
        m_meshes->RenderEnd(renderer);
        // The counter over the balls, in screen pixels.
        Draw::Text("bounces: " + std::to_string(m_bounce->bounces), {20, 12}, 26, WHITE);
    }

    void Release() override {
        m_meshes.reset();
        m_shader.reset();
        m_bounce.reset();
    }

private:
    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    Ref<BounceSystem> m_bounce;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<CustomSystem>(), WIDTH, HEIGHT,
                                 "Custom system", {.targetFrameRate = 60});
}
