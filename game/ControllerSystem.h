#pragma once

#include <engine/ecs/System.h>
#include <engine/physics/RigidBody.h>

#include "game/Controller.h"

namespace Engine {

// A and D accelerate the body sideways up to its top speed; SPACE jumps while grounded.
class ControllerSystem : public System<Controller, RigidBody> {
public:
    // SDL key codes.
    static constexpr int KeyLeft = 97;   // 'a'
    static constexpr int KeyRight = 100; // 'd'
    static constexpr int KeyJump = 32;   // space

    ControllerSystem() = default;
    ~ControllerSystem() override = default;

    void Run(EntityID entity) override;
};

} // namespace Engine
