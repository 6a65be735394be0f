#include "game/ControllerSystem.h"

#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>

namespace Engine {

void ControllerSystem::Run(EntityID entity) {
    ECS& ecs = ECS::Get();
    Ref<Controller> ctl = ecs.GetComponent<Controller>(entity);
    Ref<RigidBody> rb = ecs.GetComponent<RigidBody>(entity);
    const float dt = static_cast<float>(Time::dt);

    // The cap is tested before the change, so a step may end a little past it.
    if (Input::IsKeyPressed(KeyLeft) && ctl->maxSpeed > -rb->velocity.x)
        rb->velocity.x = rb->velocity.x + (-ctl->acceleration * dt);
    if (Input::IsKeyPressed(KeyRight) && ctl->maxSpeed > rb->velocity.x)
        rb->velocity += glm::vec3(ctl->acceleration * dt, 0.0f, 0.0f);

    // Kept in this unsimplified form: single-precision rounding at the boundary
    // must decide as it always has.
    if (Input::IsKeyPressed(KeyJump) && rb->grounded) {
        float s = (-rb->velocity.y) + ctl->jumpVelocity;
        if (s < 1.1f * ctl->jumpVelocity)
            rb->velocity += glm::vec3(0.0f, -ctl->jumpVelocity, 0.0f);
    }
}

} // namespace Engine
