#pragma once

#include "game/Tuning.h"

namespace Engine {

// Tuning of the player's keyboard and pad control; also marks the entity the camera follows.
struct Controller {
    // Velocity change per second while a direction is held.
    float acceleration = Tuning::Acceleration;
    // A held direction adds nothing once the speed its way reaches this.
    float maxSpeed = Tuning::MaxSpeed;
    // Upward speed one jump adds.
    float jumpVelocity = Tuning::JumpVelocity;
};

} // namespace Engine
