#include "game/ControllerSystem.h"

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>

namespace Engine {

ControllerSystem::ControllerSystem() {
    m_moves.BindKey(MoveLeft, KeyLeft);
    m_moves.BindKey(MoveRight, KeyRight);
    m_moves.BindKey(MoveJump, KeyJump);
    m_moves.BindKey(MoveLeft, ArrowLeft);
    m_moves.BindKey(MoveRight, ArrowRight);
    m_moves.BindKey(MoveJump, ArrowJump);
    m_moves.BindPad(MoveLeft, PadInput::Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT));
    m_moves.BindPad(MoveRight, PadInput::Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT));
    m_moves.BindPad(MoveLeft, PadInput::AxisNegative(SDL_CONTROLLER_AXIS_LEFTX));
    m_moves.BindPad(MoveRight, PadInput::AxisPositive(SDL_CONTROLLER_AXIS_LEFTX));
    // SDL's A is the south button once the window asks for buttons by place.
    m_moves.BindPad(MoveJump, PadInput::Button(SDL_CONTROLLER_BUTTON_A));
}

void ControllerSystem::Run(EntityID entity) {
    ECS& ecs = ECS::Get();
    Ref<Controller> ctl = ecs.GetComponent<Controller>(entity);
    Ref<RigidBody> rb = ecs.GetComponent<RigidBody>(entity);
    const float dt = static_cast<float>(Time::dt);

    // The cap is tested before the change, so a step may end a little past it.
    if (m_moves.IsHeld(MoveLeft) && ctl->maxSpeed > -rb->velocity.x)
        rb->velocity.x = rb->velocity.x + (-ctl->acceleration * dt);
    if (m_moves.IsHeld(MoveRight) && ctl->maxSpeed > rb->velocity.x)
        rb->velocity += glm::vec3(ctl->acceleration * dt, 0.0f, 0.0f);

    if (m_jumpWaits && !m_moves.IsHeld(MoveJump))
        m_jumpWaits = false;
    // Kept in this unsimplified form: single-precision rounding at the boundary
    // must decide as it always has.
    if (!m_jumpWaits && m_moves.IsHeld(MoveJump) && rb->grounded) {
        float s = (-rb->velocity.y) + ctl->jumpVelocity;
        if (s < 1.1f * ctl->jumpVelocity)
            rb->velocity += glm::vec3(0.0f, -ctl->jumpVelocity, 0.0f);
    }
}

} // namespace Engine
