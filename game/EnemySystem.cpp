#include "game/EnemySystem.h"

#include <glm/geometric.hpp>

#include <engine/core/Gamepad.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/RigidBody.h>

namespace Engine {

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
        if (t->scale.x > d && t->position.y + Tuning::ContactMargin > p->position.y) {
            b->velocity = Tuning::KnockBack;
            // Felt on a pad; a keyboard player has none open.
            Gamepads::Rumble(Tuning::KnockRumble, Tuning::KnockRumble, Tuning::KnockRumbleSeconds);
        }
    }

    float min = PatrolMin, max = PatrolMax;
    // The type is registered by the first level that places a fish of its own.
    if (ecs.HasComponent<Lane>(entity)) {
        Ref<Lane> lane = ecs.GetComponent<Lane>(entity);
        min = lane->min;
        max = lane->max;
        // Patrolling would dither a step each way.
        if (!(max > min))
            return;
    }

    double s = e->dir ? -Tuning::PatrolSpeed : Tuning::PatrolSpeed;
    t->position.x = static_cast<float>(t->position.x + s * Time::dt);

    if (t->position.x >= max || t->position.x <= min)
        e->dir = !e->dir;
}

} // namespace Engine
