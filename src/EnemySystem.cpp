#include "EnemySystem.h"

#include <glm/geometric.hpp>

#include "ECS.h"
#include "RigidBody.h"
#include "Time.h"

namespace Engine {

namespace {
constexpr float ContactMargin = 5.0f;
constexpr glm::vec3 KnockBack{-500.0f, 500.0f, 0.0f};
constexpr double PatrolSpeed = 100.0;
} // namespace

void EnemySystem::Run(EntityID entity) {
    ECS& ecs = ECS::Get();
    Ref<Transform> t = ecs.GetComponent<Transform>(entity);
    Ref<Enemy> e = ecs.GetComponent<Enemy>(entity);

    // Contact uses the positions before this step's move. A player entity without
    // a placement or a body cannot be touched; the enemy still patrols.
    Ref<Transform> p = ecs.GetComponent<Transform>(e->player);
    Ref<RigidBody> b = ecs.GetComponent<RigidBody>(e->player);
    if (p && b) {
        glm::vec3 a = p->position - p->scale / 2.0f;
        glm::vec3 c = t->position - t->scale / 2.0f;
        float d = glm::distance(a, c);
        if (t->scale.x > d && t->position.y + ContactMargin > p->position.y)
            b->velocity = KnockBack;
    }

    double s = e->dir ? -PatrolSpeed : PatrolSpeed;
    t->position.x = static_cast<float>(t->position.x + s * Time::dt);

    if (t->position.x >= PatrolMax || t->position.x <= PatrolMin)
        e->dir = !e->dir;
}

} // namespace Engine
