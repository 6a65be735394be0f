#pragma once

namespace Engine {

// Tuning of the player's keyboard control; also marks the entity the camera follows.
struct Controller {
    // Velocity change per second while a direction key is held.
    float acceleration = 5000.0f;
    // A direction key adds nothing once the speed its way reaches this.
    float maxSpeed = 150.0f;
    // Upward speed one jump adds.
    float jumpVelocity = 1000.0f;
};

} // namespace Engine
